#include "host/rect.h"

#include <string>

#include "host/errors.h"

namespace fenban::host {

std::string ColumnLetters(int32_t column) {
  std::string letters;
  while (column > 0) {
    const int32_t rest = (column - 1) % 26;
    letters.insert(letters.begin(), static_cast<char>('A' + rest));
    column = (column - 1) / 26;
  }
  return letters;
}

void CheckRect(const Rect& r) {
  if (r.row1 < 1 || r.col1 < 1 || r.row2 > kMaxRows || r.col2 > kMaxColumns || r.row1 > r.row2 ||
      r.col1 > r.col2) {
    Raise(kErrHost, "单元格地址超出工作表范围");
  }
}

std::string RectAddress(const Rect& r) {
  std::string first = ColumnLetters(r.col1) + std::to_string(r.row1);
  if (r.row1 == r.row2 && r.col1 == r.col2) return first;
  return first + ":" + ColumnLetters(r.col2) + std::to_string(r.row2);
}

}  // namespace fenban::host
