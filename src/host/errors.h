// Run-time errors of the embedded spreadsheet: a number and a short description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace fenban::host {

// Error numbers the commands meet.
enum ErrorNumber : int32_t {
  kErrInvalidCall = 5,       // 无效的过程调用或参数
  kErrOverflow = 6,          // 溢出
  kErrSubscript = 9,         // 下标越界
  kErrDivisionByZero = 11,   // 除数为零
  kErrTypeMismatch = 13,     // 类型不匹配
  kErrInvalidNull = 94,      // 无效使用 Null
  kErrHost = 1004,           // the host refused an operation
  kErrFile = 1005,           // a workbook file could not be read or written
};

// A run-time error. Thrown by the host model and by commands; caught only by
// MyFun's error box and by the routines that skip failing statements.
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}
  int32_t Number() const { return number_; }
  const std::string& Description() const { return description_; }

 private:
  int32_t number_;
  std::string description_;
};

// The standard description of an error number, in Chinese.
std::string DefaultDescription(int32_t number);
// Throws RuntimeError(number, DefaultDescription(number)).
[[noreturn]] void Raise(int32_t number);
// Throws RuntimeError(number, description).
[[noreturn]] void Raise(int32_t number, std::string description);

// Runs one statement; a RuntimeError it raises is swallowed. Used by the
// routines that skip failing statements instead of ending.
template <class F>
bool SkipOnError(F&& statement) {
  try {
    statement();
    return true;
  } catch (const RuntimeError&) {
    return false;
  }
}

}  // namespace fenban::host
