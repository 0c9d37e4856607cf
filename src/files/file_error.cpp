#include "files/file_error.h"

#include "host/errors.h"

namespace fenban::files {

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void RaiseReadError(const std::string& path, const std::string& what) {
  host::Raise(host::kErrFile, "无法读取文件“" + FileNameOf(path) + "”：" + what);
}

void RaiseWriteError(const std::string& path, const std::string& what) {
  host::Raise(host::kErrFile, "无法保存文件“" + FileNameOf(path) + "”：" + what);
}

}  // namespace fenban::files
