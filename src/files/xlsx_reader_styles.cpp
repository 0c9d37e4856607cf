// The styles part: number formats, fonts, fills, borders and the cell
// formats (cellXfs) that cells refer to, translated to the model's CellStyle.
#include <array>
#include <cstring>
#include <unordered_map>

#include "files/xlsx_conversions.h"
#include "files/xlsx_reader_internal.h"
#include "files/xml_parser.h"
#include "host/constants.h"
#include "host/style_pool.h"

namespace fenban::files {

namespace {

struct FontSpec {
  double size = 11;
  bool bold = false;
  int32_t color = host::kColorAutomatic;  // BGR
};

struct BorderSpec {
  std::array<int32_t, 4> sides{0, 0, 0, 0};  // left, top, bottom, right
};

struct ColorSpec {
  bool present = false;
  bool automatic = false;
  bool background = false;  // the system background colour
  int32_t rgb = 0;
};

ColorSpec ReadColor(const char** attrs) {
  ColorSpec color;
  color.present = true;
  double tint = 0;
  if (const char* tintText = FindAttr(attrs, "tint")) {
    const auto value = ParseFileNumber(tintText);
    if (value) tint = *value;
  }
  if (AttrTrue(FindAttr(attrs, "auto"))) {
    color.automatic = true;
  } else if (const char* rgb = FindAttr(attrs, "rgb")) {
    const auto value = ParseArgb(rgb);
    if (value) {
      color.rgb = ApplyTint(*value, tint);
    } else {
      color.automatic = true;
    }
  } else if (const char* indexed = FindAttr(attrs, "indexed")) {
    const auto index = ParseFileInteger(indexed);
    if (!index || *index == 64) {
      color.automatic = true;
    } else if (*index == 65) {
      color.background = true;
    } else if (*index >= 0 && *index < 8) {
      color.rgb = host::PaletteRgb(*index + 1);
    } else if (*index >= 8 && *index <= 63) {
      color.rgb = host::PaletteRgb(*index - 7);
    } else {
      color.automatic = true;
    }
  } else if (const char* theme = FindAttr(attrs, "theme")) {
    const auto index = ParseFileInteger(theme);
    const int32_t themeRgb = index ? ThemeRgb(*index) : -1;
    if (themeRgb < 0 || (*index == 1 && tint == 0)) {
      color.automatic = true;  // the theme's text colour is the automatic one
    } else {
      color.rgb = ApplyTint(themeRgb, tint);
    }
  } else {
    color.present = false;
  }
  return color;
}

int32_t LineStyleOf(const char* style) {
  if (style == nullptr || std::strcmp(style, "none") == 0) return 0;
  if (std::strcmp(style, "double") == 0) return host::kLineDouble;
  return host::kLineContinuous;
}

int32_t HorizontalOf(const char* value) {
  if (value == nullptr) return host::kAlignGeneral;
  const std::string_view text(value);
  if (text == "left") return host::kAlignLeft;
  if (text == "center") return host::kAlignCenter;
  if (text == "right") return host::kAlignRight;
  if (text == "fill") return 5;
  if (text == "justify") return -4130;
  if (text == "centerContinuous") return 7;
  if (text == "distributed") return -4117;
  return host::kAlignGeneral;
}

int32_t VerticalOf(const char* value) {
  if (value == nullptr) return host::kAlignBottom;
  const std::string_view text(value);
  if (text == "top") return host::kAlignTop;
  if (text == "center") return host::kAlignCenter;
  if (text == "justify") return -4130;
  if (text == "distributed") return -4117;
  return host::kAlignBottom;
}

struct XfSpec {
  int32_t numFmt = 0, font = 0, fill = 0, border = 0;
  int32_t horizontal = host::kAlignGeneral, vertical = host::kAlignBottom;
  bool wrap = false;
};

class StylesHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    if (depth_ == 1) section_ = std::string(name);
    ++depth_;
    if (section_ == "numFmts" && name == "numFmt") {
      const char* id = FindAttr(attrs, "numFmtId");
      const char* code = FindAttr(attrs, "formatCode");
      if (id != nullptr && code != nullptr) {
        const auto value = ParseFileInteger(id);
        if (value) {
          std::string text(code);
          DecodeXmlEscapes(text);
          numFmts[*value] = std::move(text);
        }
      }
    } else if (section_ == "fonts") {
      if (name == "font") {
        fonts.emplace_back();
      } else if (!fonts.empty()) {
        FontSpec& font = fonts.back();
        if (name == "sz") {
          const char* value = FindAttr(attrs, "val");
          const auto size = value != nullptr ? ParseFileNumber(value) : std::nullopt;
          if (size && *size > 0 && *size < 1000) font.size = *size;
        } else if (name == "b") {
          const char* value = FindAttr(attrs, "val");
          font.bold = value == nullptr || AttrTrue(value);
        } else if (name == "color") {
          const ColorSpec color = ReadColor(attrs);
          font.color = (!color.present || color.automatic || color.background) ? host::kColorAutomatic
                                                                                : host::RgbToBgr(color.rgb);
        }
      }
    } else if (section_ == "fills") {
      if (name == "fill") {
        fills.push_back(host::kColorIndexNone);
        pattern_.clear();
      } else if (name == "patternFill" && !fills.empty()) {
        const char* type = FindAttr(attrs, "patternType");
        pattern_ = type != nullptr ? type : "";
      } else if (name == "fgColor" && !fills.empty() && !pattern_.empty() && pattern_ != "none") {
        const ColorSpec color = ReadColor(attrs);
        if (color.present && !color.automatic && !color.background) fills.back() = NearestPaletteIndex(color.rgb);
      }
    } else if (section_ == "borders") {
      if (name == "border") {
        borders.emplace_back();
      } else if (!borders.empty() && depth_ == 4) {
        const int32_t style = LineStyleOf(FindAttr(attrs, "style"));
        auto& sides = borders.back().sides;
        if (name == "left" || name == "start") sides[host::kSideLeft] = style;
        if (name == "top") sides[host::kSideTop] = style;
        if (name == "bottom") sides[host::kSideBottom] = style;
        if (name == "right" || name == "end") sides[host::kSideRight] = style;
      }
    } else if (section_ == "cellXfs") {
      if (name == "xf") {
        XfSpec xf;
        auto number = [attrs](const char* attr) {
          const char* value = FindAttr(attrs, attr);
          const auto parsed = value != nullptr ? ParseFileInteger(value) : std::nullopt;
          return parsed ? *parsed : 0;
        };
        xf.numFmt = number("numFmtId");
        xf.font = number("fontId");
        xf.fill = number("fillId");
        xf.border = number("borderId");
        xfs.push_back(xf);
      } else if (name == "alignment" && !xfs.empty()) {
        XfSpec& xf = xfs.back();
        xf.horizontal = HorizontalOf(FindAttr(attrs, "horizontal"));
        xf.vertical = VerticalOf(FindAttr(attrs, "vertical"));
        xf.wrap = AttrTrue(FindAttr(attrs, "wrapText"));
      }
    }
  }

  void End(std::string_view) override {
    --depth_;
    if (depth_ == 1) section_.clear();
  }

  std::unordered_map<int32_t, std::string> numFmts;
  std::vector<FontSpec> fonts;
  std::vector<int32_t> fills;
  std::vector<BorderSpec> borders;
  std::vector<XfSpec> xfs;

 private:
  int depth_ = 0;
  std::string section_, pattern_;
};

}  // namespace

std::string StyleTable::BuiltinNumberFormat(int32_t id) {
  switch (id) {
    case 0: return "General";
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 9: return "0%";
    case 10: return "0.00%";
    case 11: return "0.00E+00";
    case 12: return "# ?/?";
    case 13: return "# ?\?/??";
    case 14: return "yyyy/m/d";
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return "yyyy/m/d h:mm";
    case 27: case 36: case 50: case 52: case 53: return "yyyy\"年\"m\"月\"";
    case 28: case 29: case 54: return "m\"月\"d\"日\"";
    case 30: return "m-d-yy";
    case 31: return "yyyy\"年\"m\"月\"d\"日\"";
    case 32: return "h\"时\"mm\"分\"";
    case 33: return "h\"时\"mm\"分\"ss\"秒\"";
    case 34: return "上午/下午h\"时\"mm\"分\"";
    case 35: return "上午/下午h\"时\"mm\"分\"ss\"秒\"";
    case 37: return "#,##0 ;(#,##0)";
    case 38: return "#,##0 ;[Red](#,##0)";
    case 39: return "#,##0.00;(#,##0.00)";
    case 40: return "#,##0.00;[Red](#,##0.00)";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mmss.0";
    case 48: return "##0.0E+0";
    case 49: return "@";
    default: return "";
  }
}

void StyleTable::Read(const ZipArchive& zip, const std::string& part) {
  StylesHandler handler;
  ParseXmlEntry(zip, part, handler);
  const FontSpec defaultFont = handler.fonts.empty() ? FontSpec() : handler.fonts.front();
  formats_.clear();
  formats_.reserve(handler.xfs.size());
  for (const XfSpec& xf : handler.xfs) {
    host::CellStyle style;
    const FontSpec& font =
        xf.font >= 0 && static_cast<size_t>(xf.font) < handler.fonts.size() ? handler.fonts[static_cast<size_t>(xf.font)]
                                                                           : defaultFont;
    style.fontSize = font.size;
    style.bold = font.bold;
    style.fontColor = font.color;
    if (xf.fill >= 0 && static_cast<size_t>(xf.fill) < handler.fills.size()) {
      style.fillColorIndex = handler.fills[static_cast<size_t>(xf.fill)];
    }
    if (xf.border >= 0 && static_cast<size_t>(xf.border) < handler.borders.size()) {
      style.borders = handler.borders[static_cast<size_t>(xf.border)].sides;
    }
    style.horizontalAlignment = xf.horizontal;
    style.verticalAlignment = xf.vertical;
    style.wrapText = xf.wrap;
    const auto custom = handler.numFmts.find(xf.numFmt);
    if (custom != handler.numFmts.end()) {
      style.numberFormat = custom->second;
    } else {
      const std::string builtin = BuiltinNumberFormat(xf.numFmt);
      style.numberFormat = builtin.empty() ? "General" : builtin;
    }
    formats_.push_back(std::move(style));
  }
  poolIndex_.assign(formats_.size(), UINT32_MAX);
}

uint32_t StyleTable::PoolIndex(uint32_t xf, host::StylePool& pool) {
  if (xf >= formats_.size()) return 0;
  if (poolIndex_.size() != formats_.size()) poolIndex_.assign(formats_.size(), UINT32_MAX);
  uint32_t& index = poolIndex_[xf];
  if (index == UINT32_MAX) index = pool.Intern(formats_[xf]);
  return index;
}

}  // namespace fenban::files
