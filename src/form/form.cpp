// The form model's controls by name and the list box's chosen entry.
#include "form/form.h"

#include "host/cell_values.h"
#include "host/errors.h"

namespace fenban::form {

void ListBox::SetListIndex(int32_t index) {
  if (index < -1 || index >= ListCount()) host::Raise(host::kErrHost, "无效的属性值：列表位置超出范围");
  listIndex_ = index;
}

std::optional<std::string> ListBox::Value() const {
  if (listIndex_ < 0) return std::nullopt;
  return items_.at(static_cast<size_t>(listIndex_));
}

TextBox& FormModel::Text(const std::string& name) {
  if (name == "txtFenBan") return txtFenBan;
  if (name == "txtYouXiu") return txtYouXiu;
  if (name == "txtJiGe") return txtJiGe;
  if (name == "txtNMing") return txtNMing;
  if (name == "txtJunHeng") return txtJunHeng;
  if (name == "txtZongFenLie") return txtZongFenLie;
  if (name == "txtBiaoTouHang") return txtBiaoTouHang;
  host::Raise(host::kErrHost, "窗体上没有名为 " + name + " 的文本框");
}

CheckBox& FormModel::Check(const std::string& name) {
  if (name == "chbXingBie") return chbXingBie;
  if (name == "chbZuXiao") return chbZuXiao;
  if (name == "chbYingJie") return chbYingJie;
  if (name == "chbYouHua") return chbYouHua;
  if (name == "chbSuanZongFen") return chbSuanZongFen;
  host::Raise(host::kErrHost, "窗体上没有名为 " + name + " 的复选框");
}

ListBox& FormModel::List(const std::string& name) {
  if (name == "ltbBiao") return ltbBiao;
  host::Raise(host::kErrHost, "窗体上没有名为 " + name + " 的列表框");
}

host::Value& FormModel::Slot(const std::string& name) {
  if (name.rfind("chb", 0) == 0) return Check(name).value;
  return Text(name).value;
}

void FormModel::SetControlValue(const std::string& control, const host::Value& value) {
  Slot(control) = value;
  if (control.rfind("txt", 0) == 0) Text(control).source.clear();
}

int32_t TextBoxLong(Form& form, const std::string& control) {
  const host::Value value = form.ControlValue(control);
  try {
    if (value.IsEmpty()) host::Raise(host::kErrTypeMismatch);
    return value.ToLong();
  } catch (const host::RuntimeError& error) {
    RaiseAtTextBox(error, form, control);
  }
}

void RaiseAtTextBox(const host::RuntimeError& error, Form& form, const std::string& control) {
  std::string caption;
  if (control == "txtFenBan") caption = "“班级数”";
  if (control == "txtYouXiu") caption = "“优秀人数”";
  if (control == "txtJiGe") caption = "“及格人数”";
  if (control == "txtNMing") caption = "“前N名”";
  std::string name = "文本框" + caption + "（" + control;
  const std::string source = form.ControlSource(control);
  if (!source.empty()) name += "，来自 " + source;
  host::Raise(error.Number(), error.Description() + "：" + name + "）" + host::ValueClause(form.ControlValue(control)));
}

void FormModel::MakeResizable(const std::string& windowCaption) {
  // The form model is its own window, found by its (non-empty) caption.
  if (windowCaption.empty() || windowCaption != caption) return;
  resizable = true;
  minimisable = true;
}

}  // namespace fenban::form
