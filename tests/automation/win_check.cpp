#include "automation/win_check.h"

#include <cstdio>

#include "automation/com_text.h"

namespace fenban::wincheck {

namespace {
int checks = 0;
int failures = 0;

bool Record(bool ok) {
  ++checks;
  if (!ok) ++failures;
  std::fflush(stdout);
  return ok;
}
}  // namespace

bool Check(bool ok, const char* expression, const char* file, int line) {
  if (!ok) std::printf("FAIL %s:%d: %s\n", file, line, expression);
  return Record(ok);
}

bool CheckHr(HRESULT hr, HRESULT expected, const char* expression, const char* file, int line) {
  const bool ok = hr == expected;
  if (!ok) {
    std::printf("FAIL %s:%d: %s gave 0x%08lX, expected 0x%08lX\n", file, line, expression,
                static_cast<unsigned long>(hr), static_cast<unsigned long>(expected));
  }
  return Record(ok);
}

bool CheckText(const std::wstring& actual, const std::wstring& expected, const char* expression, const char* file,
               int line) {
  const bool ok = actual == expected;
  if (!ok) {
    std::printf("FAIL %s:%d: %s is \"%s\", expected \"%s\"\n", file, line, expression,
                automation::WideToUtf8(actual).c_str(), automation::WideToUtf8(expected).c_str());
  }
  return Record(ok);
}

int Summary(const char* program) {
  std::printf("%s: %d checks, %d failed\n", program, checks, failures);
  if (failures == 0) std::printf("WINCHECK PASS %s\n", program);
  std::fflush(stdout);
  return failures == 0 ? 0 : 1;
}

}  // namespace fenban::wincheck
