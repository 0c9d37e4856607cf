// A small check harness for the Windows test programs run under wine: each
// failed check prints its place; Summary() prints the marker line the test
// script requires and gives the exit status.
#pragma once

#include <windows.h>

#include <string>

namespace fenban::wincheck {

bool Check(bool ok, const char* expression, const char* file, int line);
bool CheckHr(HRESULT hr, HRESULT expected, const char* expression, const char* file, int line);
bool CheckText(const std::wstring& actual, const std::wstring& expected, const char* expression, const char* file,
               int line);
// Prints "<program>: N checks, M failed" and "WINCHECK PASS <program>" when none failed.
int Summary(const char* program);

}  // namespace fenban::wincheck

#define CHECK(cond) ::fenban::wincheck::Check(static_cast<bool>(cond), #cond, __FILE__, __LINE__)
#define CHECK_HR(expr, expected) ::fenban::wincheck::CheckHr((expr), (expected), #expr, __FILE__, __LINE__)
#define CHECK_TEXT(actual, expected) \
  ::fenban::wincheck::CheckText((actual), (expected), #actual, __FILE__, __LINE__)
