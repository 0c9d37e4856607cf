// The help button: "help.doc" beside the host workbook, opened by the platform.
#include <string>

#include "form/form_routines.h"

namespace fenban::form {

void OpenHelpDocument(host::Application& app) {
  const std::string path = app.ThisWorkbook().Path() + kPathSeparator + kHelpDocumentName;
  app.Services().OpenDocument(path);
}

}  // namespace fenban::form
