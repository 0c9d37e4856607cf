// An immutable text shared by reference count, one pointer wide. Cells keep
// their texts and formulas in it so that a cell stays small and copying a
// cell only counts one more holder of the same text.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace fenban::host {

class SharedText {
 public:
  // No text: false, and Str() gives "".
  SharedText() = default;
  explicit SharedText(std::string text);
  explicit SharedText(std::string_view text) : SharedText(std::string(text)) {}
  explicit SharedText(const char* text) : SharedText(std::string(text)) {}

  // Copies share the text. The count is atomic: threads may copy the same
  // text at once, as long as none of them assigns to or destroys the object
  // the others copy from. A moved-from SharedText holds no text.
  SharedText(const SharedText& other) noexcept : block_(other.block_) { AddHolder(); }
  SharedText(SharedText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  SharedText& operator=(const SharedText& other) noexcept {
    if (block_ != other.block_) {
      // Count the new text before letting go of the old one.
      Block* old = block_;
      block_ = other.block_;
      AddHolder();
      Release(old);
    }
    return *this;
  }
  SharedText& operator=(SharedText&& other) noexcept {
    if (this != &other) {
      Block* old = block_;
      block_ = other.block_;
      other.block_ = nullptr;
      Release(old);
    }
    return *this;
  }
  ~SharedText() { Release(block_); }

  // The text; "" when there is none.
  const std::string& Str() const { return block_ != nullptr ? block_->text : EmptyText(); }
  const std::string& operator*() const { return Str(); }
  const std::string* operator->() const { return &Str(); }
  explicit operator bool() const { return block_ != nullptr; }

  // Drops the text.
  void Reset() noexcept {
    Block* old = block_;
    block_ = nullptr;
    Release(old);
  }
  // How many SharedText objects hold this text; 0 when there is none.
  size_t UseCount() const { return block_ != nullptr ? block_->holders.load(std::memory_order_acquire) : 0; }

 private:
  struct Block {
    std::atomic<size_t> holders;
    std::string text;
  };

  void AddHolder() noexcept {
    // A new holder is made from an existing one, which keeps the block alive
    // meanwhile, so the increment needs no ordering.
    if (block_ != nullptr) block_->holders.fetch_add(1, std::memory_order_relaxed);
  }
  // The last holder frees the block; acquire-release makes every holder's
  // reads of the text happen before the delete.
  static void Release(Block* block) noexcept {
    if (block != nullptr && block->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block;
  }
  static const std::string& EmptyText();

  Block* block_ = nullptr;
};

}  // namespace fenban::host
