// Cell formats the model keeps.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/constants.h"

namespace fenban::host {

// Line style of one edge: 0 none, kLineContinuous, kLineDouble (other host
// line styles are kept as their numbers).
struct CellStyle {
  double fontSize = 11;
  bool bold = false;
  int32_t fontColor = kColorAutomatic;          // BGR long as Font.Color (255 = red)
  int32_t fillColorIndex = kColorIndexNone;     // palette index as Interior.ColorIndex
  std::array<int32_t, 4> borders{0, 0, 0, 0};   // left, top, bottom, right
  int32_t horizontalAlignment = kAlignGeneral;
  int32_t verticalAlignment = kAlignBottom;
  bool wrapText = false;
  std::string numberFormat = "General";

  bool operator==(const CellStyle&) const = default;
};

enum BorderSide { kSideLeft = 0, kSideTop = 1, kSideBottom = 2, kSideRight = 3 };

// RGB (0xRRGGBB) of a colour index of the standard 56-colour palette; -1 when outside 1..56.
int32_t PaletteRgb(int32_t colorIndex);
// The palette index whose colour is exactly rgb (0xRRGGBB), or 0 when none.
int32_t PaletteIndexOfRgb(int32_t rgb);
// 0xRRGGBB of a Font.Color BGR long.
int32_t BgrToRgb(int32_t bgr);
int32_t RgbToBgr(int32_t rgb);

}  // namespace fenban::host
