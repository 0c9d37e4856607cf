// The form model's controls by name and the list box's chosen entry.
#include "form/form.h"

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
  host::Raise(host::kErrHost, "窗体上没有名为 " + name + " 的文本框");
}

CheckBox& FormModel::Check(const std::string& name) {
  if (name == "chbXingBie") return chbXingBie;
  if (name == "chbZuXiao") return chbZuXiao;
  if (name == "chbYingJie") return chbYingJie;
  if (name == "chbYouHua") return chbYouHua;
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

void FormModel::MakeResizable(const std::string& windowCaption) {
  // The form model is its own window, found by its (non-empty) caption.
  if (windowCaption.empty() || windowCaption != caption) return;
  resizable = true;
  minimisable = true;
}

}  // namespace fenban::form
