// A counted reference to a COM interface: AddRef on copy, Release on destruction.
#pragma once

#include <windows.h>

#include <utility>

namespace fenban::automation {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a reference the caller already owns (as returned by QueryInterface or a factory).
  static ComPtr Adopt(T* raw) {
    ComPtr p;
    p.raw_ = raw;
    return p;
  }
  // Shares a reference the caller keeps: adds one of our own.
  static ComPtr Share(T* raw) {
    if (raw) raw->AddRef();
    return Adopt(raw);
  }
  ComPtr(const ComPtr& other) : raw_(other.raw_) {
    if (raw_) raw_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : raw_(std::exchange(other.raw_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(raw_, other.raw_);
    return *this;
  }
  ~ComPtr() {
    if (raw_) raw_->Release();
  }

  T* Get() const { return raw_; }
  T* operator->() const { return raw_; }
  explicit operator bool() const { return raw_ != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  T** Out() {
    *this = ComPtr();
    return &raw_;
  }
  T* Detach() { return std::exchange(raw_, nullptr); }

 private:
  T* raw_ = nullptr;
};

}  // namespace fenban::automation
