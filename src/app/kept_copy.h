// A data workbook that fenban cannot save over (an .xls list, or a workbook
// with parts the model does not keep) is saved beside it as
// "名单(fenban).xlsx". Choosing the original again would replace that file,
// and with it every division kept there.
#pragma once

#include "host/model_workbook.h"

namespace fenban::app {

// Ends the command with an AppError when the workbook's save would go beside
// the original and a file of that name exists already.
void RefuseToReplaceTheKeptCopy(const host::ModelWorkbook& book);

}  // namespace fenban::app
