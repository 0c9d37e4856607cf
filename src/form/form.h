// The form as the commands see it: its controls by name. Two implementations:
// FormModel (the program's own form, below) and a real user form reached
// through its automation interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/errors.h"
#include "host/value.h"

namespace fenban::form {

class Form {
 public:
  virtual ~Form() = default;
  virtual std::string Caption() = 0;
  // List boxes: add an entry; the chosen position (-1 when none); the chosen
  // entry's text, Null (nullopt) when nothing is chosen.
  virtual void AddItem(const std::string& listBox, const std::string& item) = 0;
  virtual int32_t ListIndex(const std::string& listBox) = 0;
  virtual std::optional<std::string> ListValue(const std::string& listBox) = 0;
  // Text and check boxes: the control's value as it holds it.
  virtual host::Value ControlValue(const std::string& control) = 0;
  virtual void SetControlValue(const std::string& control, const host::Value& value) = 0;
  // Where a text box's entry came from, for the messages that name it:
  // "DTB!C2" when start-up loaded it, a command-line option such as
  // "--classes 8"; "" when it was typed on the form or the form does not
  // keep it. Setting a control's value forgets its source.
  virtual std::string ControlSource(const std::string& /*control*/) { return ""; }
  virtual void SetControlSource(const std::string& /*control*/, const std::string& /*source*/) {}
  // Gives the form's window a sizing border and a minimise button when
  // `caption` names it; otherwise nothing changes.
  virtual void MakeResizable(const std::string& caption) = 0;
};

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
  // Where the entry came from (see Form::ControlSource).
  std::string source;
};
struct CheckBox {
  host::Value value = host::Value::Boolean(false);
};

// The form model: the division form's controls in memory.
class FormModel : public Form {
 public:
  std::string caption = "分班";
  bool resizable = false;
  bool minimisable = false;

  ListBox ltbBiao;
  TextBox txtFenBan, txtYouXiu, txtJiGe, txtNMing;
  CheckBox chbXingBie, chbZuXiao, chbYingJie;
  CheckBox chbYouHua;  // refine the dealt classes
  TextBox txtJunHeng;  // extra category columns to spread evenly ("均衡列")
  TextBox txtZongFenLie;   // the header of the total column ("" for "总分"), stored in "DTB"
  TextBox txtBiaoTouHang;  // the header row the teacher confirmed for this division (empty for none)
  CheckBox chbSuanZongFen; // add up the subjects into a "总分" column before this division

  // Controls by name; an unknown name raises run-time error 438-like 1004.
  TextBox& Text(const std::string& name);
  CheckBox& Check(const std::string& name);

  std::string Caption() override { return caption; }
  void AddItem(const std::string& listBox, const std::string& item) override { List(listBox).AddItem(item); }
  int32_t ListIndex(const std::string& listBox) override { return List(listBox).ListIndex(); }
  std::optional<std::string> ListValue(const std::string& listBox) override { return List(listBox).Value(); }
  host::Value ControlValue(const std::string& control) override { return Slot(control); }
  void SetControlValue(const std::string& control, const host::Value& value) override;
  std::string ControlSource(const std::string& control) override { return Text(control).source; }
  void SetControlSource(const std::string& control, const std::string& source) override {
    Text(control).source = source;
  }
  void MakeResizable(const std::string& caption) override;

 private:
  ListBox& List(const std::string& name);
  // The value of a text or check box.
  host::Value& Slot(const std::string& name);
};

// A numeric option box's value as a signed 32-bit whole number, as the
// commands read it. A text box holds text, so an empty box is no number:
// it raises error 13 like a text that is not one; a number beyond 32 bits
// raises error 6. The description names the box, where its entry came from
// and the entry: "类型不匹配：文本框“班级数”（txtFenBan，来自 DTB!C2）是空的".
int32_t TextBoxLong(Form& form, const std::string& control);
// Raises the error again with its description naming the box as above.
[[noreturn]] void RaiseAtTextBox(const host::RuntimeError& error, Form& form, const std::string& control);

}  // namespace fenban::form
