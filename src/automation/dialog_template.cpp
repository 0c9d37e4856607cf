#include "automation/dialog_template.h"

namespace fenban::automation {

DialogTemplate::DialogTemplate(DWORD style, const std::wstring& title, short width, short height,
                               const std::wstring& font, WORD pointSize) {
  Word(1);       // dlgVer
  Word(0xFFFF);  // signature: the extended form
  Dword(0);      // helpID
  Dword(0);      // exStyle
  Dword(style | DS_SETFONT);
  countAt_ = words_.size();
  Word(0);  // cDlgItems, set as controls are added
  Word(0);  // x
  Word(0);  // y
  Word(static_cast<WORD>(width));
  Word(static_cast<WORD>(height));
  Word(0);  // no menu
  Word(0);  // the predefined dialog class
  Text(title);
  Word(pointSize);
  Word(FW_NORMAL);
  Word(0);  // italic 0, charset DEFAULT_CHARSET (1) in the high byte
  words_.back() = static_cast<WORD>(DEFAULT_CHARSET << 8);
  Text(font);
}

void DialogTemplate::AddControl(DialogClass kind, DWORD style, const std::wstring& text, WORD id, short x, short y,
                                short width, short height, DWORD extendedStyle) {
  Align();
  Dword(0);  // helpID
  Dword(extendedStyle);
  Dword(style | WS_CHILD | WS_VISIBLE);
  Word(static_cast<WORD>(x));
  Word(static_cast<WORD>(y));
  Word(static_cast<WORD>(width));
  Word(static_cast<WORD>(height));
  Dword(id);
  Word(0xFFFF);
  Word(static_cast<WORD>(kind));
  Text(text);
  Word(0);  // no creation data
  words_[countAt_] = ++count_;
}

const DLGTEMPLATE* DialogTemplate::Get() { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

// Items start on a DWORD boundary; the vector's storage is suitably aligned.
void DialogTemplate::Align() {
  if (words_.size() % 2 != 0) words_.push_back(0);
}

void DialogTemplate::Word(WORD value) { words_.push_back(value); }

void DialogTemplate::Dword(DWORD value) {
  words_.push_back(LOWORD(value));
  words_.push_back(HIWORD(value));
}

void DialogTemplate::Text(const std::wstring& text) {
  for (wchar_t c : text) words_.push_back(static_cast<WORD>(c));
  words_.push_back(0);
}

}  // namespace fenban::automation
