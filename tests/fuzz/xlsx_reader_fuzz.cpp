// libFuzzer target: any input given to the workbook reader either reads or
// raises the file error; a workbook that reads is written out again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/workbook_files.h"
#include "host/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using fenban::host::RuntimeError;
  std::unique_ptr<fenban::host::ModelWorkbook> book;
  try {
    book = fenban::files::ReadWorkbookFromMemory(data, size, "fuzz.xlsx");
  } catch (const RuntimeError& error) {
    if (error.Number() != fenban::host::kErrFile) __builtin_trap();
    return 0;
  }
  static const std::string output = "/tmp/fenban-fuzz-" + std::to_string(::getpid()) + ".xlsx";
  try {
    fenban::files::WriteXlsx(*book, output);
    fenban::files::ReadWorkbook(output);
  } catch (const RuntimeError& error) {
    if (error.Number() != fenban::host::kErrFile) __builtin_trap();
  }
  return 0;
}
