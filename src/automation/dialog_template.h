// A dialog template built in memory (DLGTEMPLATEEX with DLGITEMTEMPLATEEX
// items), so the dialog's texts are UTF-16 from the source and its sizes are
// dialog units, which follow the font and the display's scaling.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fenban::automation {

// The predefined window classes' atoms in a dialog template.
enum class DialogClass : WORD { Button = 0x0080, Edit = 0x0081, Static = 0x0082, ListBox = 0x0083 };

class DialogTemplate {
 public:
  // The dialog itself: style (DS_SETFONT is added), title, size in dialog units, font.
  DialogTemplate(DWORD style, const std::wstring& title, short width, short height, const std::wstring& font,
                 WORD pointSize);
  void AddControl(DialogClass kind, DWORD style, const std::wstring& text, WORD id, short x, short y, short width,
                  short height, DWORD extendedStyle = 0);
  // The finished template, for DialogBoxIndirectParamW.
  const DLGTEMPLATE* Get();

 private:
  void Align();
  void Word(WORD value);
  void Dword(DWORD value);
  void Text(const std::wstring& text);

  std::vector<WORD> words_;
  size_t countAt_ = 0;
  WORD count_ = 0;
};

}  // namespace fenban::automation
