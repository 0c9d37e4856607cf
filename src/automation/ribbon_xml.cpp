#include "automation/ribbon_xml.h"

namespace fenban::automation {

std::wstring RibbonXml() {
  return std::wstring(
             L"<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\">"
             L"<ribbon><tabs>"
             L"<tab id=\"VantrelFenBanTab\" label=\"分班\">"
             L"<group id=\"VantrelFenBanGroup\" label=\"分班\">"
             L"<button id=\"VantrelFenBanButton\" label=\"分班\" "
             L"screentip=\"分班\" supertip=\"打开分班窗口：选择名单、设置选项、分班、统计、删除、登记表、帮助\" "
             L"onAction=\"") +
         kRibbonCallbackName +
         L"\"/>"
         L"</group></tab>"
         L"</tabs></ribbon></customUI>";
}

}  // namespace fenban::automation
