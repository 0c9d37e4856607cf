// A stand-in word processor for the Windows tests, registered for this
// process under "Word.Application" while a TestWordRegistration lives: every
// instance is a new object with Visible and Documents.Open, and the log
// keeps what was asked of them.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace fenban::wintest {

struct WordLog {
  int instances = 0;
  std::vector<std::wstring> calls;  // per instance: "new", "put Visible TRUE", "open PATH"
  bool openFails = false;           // Documents.Open raises error 5174
};

class TestWordRegistration {
 public:
  explicit TestWordRegistration(WordLog& log);
  ~TestWordRegistration();
  TestWordRegistration(const TestWordRegistration&) = delete;
  TestWordRegistration& operator=(const TestWordRegistration&) = delete;

 private:
  class Factory : public IClassFactory {
   public:
    explicit Factory(WordLog& log) : log_(&log) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override;

   private:
    WordLog* log_;
  };
  Factory factory_;
  DWORD cookie_ = 0;
};

}  // namespace fenban::wintest
