// Numeric constants of the host object model that the commands pass.
#pragma once

#include <cstdint>

namespace fenban::host {

inline constexpr int32_t kMaxRows = 1048576;
inline constexpr int32_t kMaxColumns = 16384;

// Shift directions of Delete / Insert.
inline constexpr int32_t kShiftUp = -4162;
inline constexpr int32_t kShiftDown = -4121;
inline constexpr int32_t kShiftToLeft = -4159;
inline constexpr int32_t kShiftToRight = -4161;

// PasteSpecial: values only.
inline constexpr int32_t kPasteValues = -4163;

// Sort orders and header flag.
inline constexpr int32_t kAscending = 1;
inline constexpr int32_t kDescending = 2;
inline constexpr int32_t kHeaderYes = 1;
inline constexpr int32_t kHeaderNo = 2;

// Replace look-at.
inline constexpr int32_t kLookAtWhole = 1;
inline constexpr int32_t kLookAtPart = 2;

// Alignments.
inline constexpr int32_t kAlignGeneral = 1;
inline constexpr int32_t kAlignLeft = -4131;
inline constexpr int32_t kAlignCenter = -4108;
inline constexpr int32_t kAlignRight = -4152;
inline constexpr int32_t kAlignTop = -4160;
inline constexpr int32_t kAlignBottom = -4107;

// Border indexes and line styles.
inline constexpr int32_t kEdgeLeft = 7;
inline constexpr int32_t kEdgeTop = 8;
inline constexpr int32_t kEdgeBottom = 9;
inline constexpr int32_t kEdgeRight = 10;
inline constexpr int32_t kInsideVertical = 11;
inline constexpr int32_t kInsideHorizontal = 12;
inline constexpr int32_t kLineNone = -4142;
inline constexpr int32_t kLineContinuous = 1;
inline constexpr int32_t kLineDouble = -4119;

// Colours: ColorIndex "none", and Font.Color as a BGR long (255 = red).
inline constexpr int32_t kColorIndexNone = -4142;
inline constexpr int32_t kColorAutomatic = -1;

// Message box styles.
inline constexpr int32_t kMsgPlain = 0;
inline constexpr int32_t kMsgCritical = 16;
inline constexpr int32_t kMsgExclamation = 48;
// A notice: the command goes on after it (front ends show it without
// counting it as a refusal).
inline constexpr int32_t kMsgInformation = 64;

// Page orientation.
inline constexpr int32_t kPortrait = 1;
inline constexpr int32_t kLandscape = 2;
// PageSetup.PaperSize: the paper sizes named by the code.
inline constexpr int32_t kPaperLetter = 1;
inline constexpr int32_t kPaperA4 = 9;

// Validation.
inline constexpr int32_t kValidateList = 3;
inline constexpr int32_t kValidAlertStop = 1;
inline constexpr int32_t kValidBetween = 1;

// Sheet visibility.
inline constexpr int32_t kSheetVisible = -1;
inline constexpr int32_t kSheetHidden = 0;
inline constexpr int32_t kSheetVeryHidden = 2;

}  // namespace fenban::host
