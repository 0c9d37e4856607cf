// Translation of the model's cell formats to libxlsxwriter formats.
#include <xlsxwriter.h>

#include "files/xlsx_writer_internal.h"
#include "host/constants.h"
#include "host/style.h"

namespace fenban::files {

namespace {

// libxlsxwriter reads 0 as "no colour"; black has its own value.
lxw_color_t ColorOf(int32_t rgb) {
  return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : static_cast<lxw_color_t>(rgb);
}

uint8_t BorderOf(int32_t lineStyle) {
  if (lineStyle == 0 || lineStyle == host::kLineNone) return LXW_BORDER_NONE;
  if (lineStyle == host::kLineDouble) return LXW_BORDER_DOUBLE;
  return LXW_BORDER_THIN;
}

uint8_t HorizontalOf(int32_t alignment) {
  switch (alignment) {
    case host::kAlignLeft: return LXW_ALIGN_LEFT;
    case host::kAlignCenter: return LXW_ALIGN_CENTER;
    case host::kAlignRight: return LXW_ALIGN_RIGHT;
    case 5: return LXW_ALIGN_FILL;
    case -4130: return LXW_ALIGN_JUSTIFY;
    case 7: return LXW_ALIGN_CENTER_ACROSS;
    case -4117: return LXW_ALIGN_DISTRIBUTED;
    default: return LXW_ALIGN_NONE;
  }
}

uint8_t VerticalOf(int32_t alignment) {
  switch (alignment) {
    case host::kAlignTop: return LXW_ALIGN_VERTICAL_TOP;
    case host::kAlignCenter: return LXW_ALIGN_VERTICAL_CENTER;
    case -4130: return LXW_ALIGN_VERTICAL_JUSTIFY;
    case -4117: return LXW_ALIGN_VERTICAL_DISTRIBUTED;
    default: return LXW_ALIGN_NONE;
  }
}

void Fill(lxw_format* format, const host::CellStyle& style) {
  if (style.fontSize != 11 && style.fontSize > 0 && style.fontSize < 410) format_set_font_size(format, style.fontSize);
  if (style.bold) format_set_bold(format);
  if (style.fontColor != host::kColorAutomatic && style.fontColor >= 0) {
    format_set_font_color(format, ColorOf(host::BgrToRgb(style.fontColor)));
  }
  const int32_t fill = host::PaletteRgb(style.fillColorIndex);
  if (fill >= 0) {
    format_set_pattern(format, LXW_PATTERN_SOLID);
    format_set_bg_color(format, ColorOf(fill));
  }
  const uint8_t left = BorderOf(style.borders[host::kSideLeft]);
  const uint8_t top = BorderOf(style.borders[host::kSideTop]);
  const uint8_t bottom = BorderOf(style.borders[host::kSideBottom]);
  const uint8_t right = BorderOf(style.borders[host::kSideRight]);
  if (left != LXW_BORDER_NONE) format_set_left(format, left);
  if (top != LXW_BORDER_NONE) format_set_top(format, top);
  if (bottom != LXW_BORDER_NONE) format_set_bottom(format, bottom);
  if (right != LXW_BORDER_NONE) format_set_right(format, right);
  const uint8_t horizontal = HorizontalOf(style.horizontalAlignment);
  if (horizontal != LXW_ALIGN_NONE) format_set_align(format, horizontal);
  const uint8_t vertical = VerticalOf(style.verticalAlignment);
  if (vertical != LXW_ALIGN_NONE) format_set_align(format, vertical);
  if (style.wrapText) format_set_text_wrap(format);
  if (!style.numberFormat.empty() && style.numberFormat != "General") {
    format_set_num_format(format, style.numberFormat.c_str());
  }
}

}  // namespace

lxw_format* FormatCache::Get(uint32_t index) {
  if (index == 0 || index >= pool_.Size()) return nullptr;
  if (formats_.size() < pool_.Size()) formats_.resize(pool_.Size(), nullptr);
  lxw_format*& format = formats_[index];
  if (format == nullptr) {
    format = workbook_add_format(workbook_);
    if (format != nullptr) Fill(format, pool_.Get(index));
  }
  return format;
}

void FormatCache::RegisterAll() {
  for (uint32_t index = 1; index < pool_.Size(); ++index) {
    lxw_format* format = Get(index);
    if (format != nullptr) lxw_format_get_xf_index(format);
  }
}

}  // namespace fenban::files
