// A text dump of the embedded model's workbooks, cell by cell with formats,
// page set-up, breaks, merges, validation and view: two runs that leave the
// same dump left the same workbooks.
#pragma once

#include <string>

namespace fenban::host {
class ModelApplication;
class ModelWorkbook;
}  // namespace fenban::host

namespace fenban::automation::testing {

std::string DumpWorkbook(const host::ModelWorkbook& book);
// Every open workbook in order, with the active one named.
std::string DumpApplication(host::ModelApplication& app);

}  // namespace fenban::automation::testing
