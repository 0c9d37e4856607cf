// libFuzzer target: any input given to the workbook reader either reads or
// raises the file error; a workbook that reads is written out again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "files/workbook_files.h"
#include "host/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using fenban::host::RuntimeError;
  // Compound files go to FreeXL in a child process, which contains its own
  // faults; they are not this target's subject and would only add noise.
  static const unsigned char kCompoundFile[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (size >= sizeof kCompoundFile && std::memcmp(data, kCompoundFile, sizeof kCompoundFile) == 0) return 0;
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
