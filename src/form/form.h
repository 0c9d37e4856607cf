// The form model: the controls of the division form, by name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/value.h"

namespace fenban::form {

// List box: its entries, the chosen position (-1 when none) and its value,
// which is Null (nullopt) when nothing is chosen.
class ListBox {
 public:
  void AddItem(const std::string& item) { items_.push_back(item); }
  void Clear() { items_.clear(); listIndex_ = -1; }
  int32_t ListCount() const { return static_cast<int32_t>(items_.size()); }
  const std::string& List(int32_t index) const { return items_.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Items() const { return items_; }
  int32_t ListIndex() const { return listIndex_; }
  // -1 or a valid position; anything else raises error 380-like run-time error 1004.
  void SetListIndex(int32_t index);
  std::optional<std::string> Value() const;

 private:
  std::vector<std::string> items_;
  int32_t listIndex_ = -1;
};

// Text box and check box: a value as the control holds it.
struct TextBox {
  host::Value value;
};
struct CheckBox {
  host::Value value = host::Value::Boolean(false);
};

class Form {
 public:
  std::string caption = "分班";
  bool resizable = false;
  bool minimisable = false;

  ListBox ltbBiao;
  TextBox txtFenBan, txtYouXiu, txtJiGe, txtNMing;
  CheckBox chbXingBie, chbZuXiao, chbYingJie;

  // Controls by name; an unknown name raises run-time error 438-like 1004.
  TextBox& Text(const std::string& name);
  CheckBox& Check(const std::string& name);
};

}  // namespace fenban::form
