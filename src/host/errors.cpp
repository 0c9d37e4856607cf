#include "host/errors.h"

namespace fenban::host {

std::string DefaultDescription(int32_t number) {
  switch (number) {
    case 3: return "无 GoSub 返回";
    case 5: return "无效的过程调用或参数";
    case 6: return "溢出";
    case 7: return "内存不足";
    case 9: return "下标越界";
    case 11: return "除数为零";
    case 13: return "类型不匹配";
    case 28: return "堆栈空间不足";
    case 52: return "文件名或文件号错误";
    case 53: return "文件未找到";
    case 57: return "设备 I/O 错误";
    case 61: return "磁盘已满";
    case 70: return "拒绝的权限";
    case 75: return "路径/文件访问错误";
    case 76: return "路径未找到";
    case 91: return "对象变量或 With 块变量未设置";
    case 94: return "无效使用 Null";
    case 424: return "要求对象";
    case 438: return "对象不支持该属性或方法";
    case 1004: return "应用程序定义或对象定义错误";
    case 1005: return "无法读写工作簿文件";
    default: return "应用程序定义或对象定义错误";
  }
}

void Raise(int32_t number) { throw RuntimeError(number, DefaultDescription(number)); }

void Raise(int32_t number, std::string description) { throw RuntimeError(number, std::move(description)); }

}  // namespace fenban::host
