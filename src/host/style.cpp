#include "host/style.h"

#include <array>

namespace fenban::host {

namespace {

// The standard 56-colour palette, index 1 first.
constexpr std::array<int32_t, 56> kPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

}  // namespace

int32_t PaletteRgb(int32_t colorIndex) {
  if (colorIndex < 1 || colorIndex > 56) return -1;
  return kPalette[static_cast<size_t>(colorIndex - 1)];
}

int32_t PaletteIndexOfRgb(int32_t rgb) {
  for (size_t i = 0; i < kPalette.size(); ++i) {
    if (kPalette[i] == rgb) return static_cast<int32_t>(i) + 1;
  }
  return 0;
}

int32_t BgrToRgb(int32_t bgr) {
  const int32_t red = bgr & 0xFF;
  const int32_t green = (bgr >> 8) & 0xFF;
  const int32_t blue = (bgr >> 16) & 0xFF;
  return (red << 16) | (green << 8) | blue;
}

int32_t RgbToBgr(int32_t rgb) { return BgrToRgb(rgb); }

}  // namespace fenban::host
