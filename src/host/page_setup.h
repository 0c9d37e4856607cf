// Page set-up and window view: the print and view settings of a sheet.
#pragma once

#include <cstdint>
#include <string>

#include "host/constants.h"

namespace fenban::host {

// The page set-up object of a sheet. Any setter may refuse (raise a run-time
// error); callers that must go on wrap each statement in SkipOnError.
class PageSetup {
 public:
  virtual ~PageSetup() = default;
  virtual void SetOrientation(int32_t orientation) = 0;  // kPortrait / kLandscape
  virtual void SetTopMargin(double points) = 0;
  virtual void SetBottomMargin(double points) = 0;
  virtual void SetHeaderMargin(double points) = 0;
  virtual void SetFooterMargin(double points) = 0;
  virtual void SetLeftMargin(double points) = 0;
  virtual void SetRightMargin(double points) = 0;
  virtual void SetCenterFooter(const std::string& text) = 0;
  virtual void SetZoom(int32_t percent) = 0;
  virtual void SetPaperSize(int32_t paperSize) = 0;  // kPaperA4, ...
  virtual void SetCenterHorizontally(bool center) = 0;
  virtual void SetPrintTitleRows(const std::string& rows) = 0;  // "$1:$2", "" clears
};

// The values a model sheet keeps for its page set-up. Margins in points.
struct PageSetupData {
  int32_t orientation = 0;  // 0 default, 1 portrait, 2 landscape
  double topMargin = 54, bottomMargin = 54, headerMargin = 21.6, footerMargin = 21.6;
  double leftMargin = 50.4, rightMargin = 50.4;
  bool marginsSet = false;
  std::string centerHeader, centerFooter;
  int32_t zoom = 100;
  bool centerHorizontally = false;
  int32_t paperSize = kPaperA4;  // the paper a sheet without a set-up of its own prints on
  int32_t printTitleFirstRow = 0, printTitleLastRow = 0;  // 0 = none
  bool operator==(const PageSetupData&) const = default;
};

// The window view that a model sheet keeps (written to the file's sheet view).
struct SheetView {
  int32_t scrollRow = 1, scrollColumn = 1;  // top-left visible cell
  int32_t splitRow = 0, splitColumn = 0;    // rows / columns above / left of the split
  bool freezePanes = false;
  int32_t zoom = 100;
  bool operator==(const SheetView&) const = default;
};

// The application's active window: acts on the active sheet of the active workbook.
class Window {
 public:
  virtual ~Window() = default;
  virtual void SetScrollRow(int32_t row) = 0;
  virtual void SetScrollColumn(int32_t column) = 0;
  virtual void SetTabRatio(double ratio) = 0;
  virtual void SetSplitRow(int32_t rows) = 0;
  virtual void SetSplitColumn(int32_t columns) = 0;
  virtual void SetFreezePanes(bool freeze) = 0;
  virtual void SetZoom(int32_t percent) = 0;
  virtual int32_t ScrollRow() const = 0;
  virtual int32_t ScrollColumn() const = 0;
  virtual double TabRatio() const = 0;
  virtual int32_t SplitRow() const = 0;
  virtual int32_t SplitColumn() const = 0;
  virtual bool FreezePanes() const = 0;
  virtual int32_t Zoom() const = 0;
};

}  // namespace fenban::host
