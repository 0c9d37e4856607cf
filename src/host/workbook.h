// The narrow interface of a workbook and its Worksheets collection.
#pragma once

#include <cstdint>
#include <string>

#include "host/worksheet.h"

namespace fenban::host {

class Application;

class Workbook {
 public:
  virtual ~Workbook() = default;
  virtual Application& Parent() = 0;
  // File name with extension ("示例.xlsx"); the key in the Workbooks collection.
  virtual const std::string& Name() const = 0;
  // The folder that holds the file, without a trailing separator.
  virtual const std::string& Path() const = 0;
  virtual void Activate() = 0;

  virtual int32_t SheetCount() const = 0;
  // 1-based; outside raises error 9.
  virtual Worksheet& SheetAt(int32_t index) = 0;
  // Exact name; nullptr when missing.
  virtual Worksheet* FindSheet(const std::string& name) = 0;
  // Adds a sheet before the active one (after == nullptr) or after the given
  // sheet, with a default name; it becomes the active sheet.
  virtual Worksheet& AddSheet(Worksheet* after) = 0;
  virtual Worksheet& ActiveSheet() = 0;
  virtual double TabRatio() const = 0;
  virtual void SetTabRatio(double ratio) = 0;
};

// The Worksheets collection of a workbook, as a cheap value.
class Worksheets {
 public:
  explicit Worksheets(Workbook& book) : book_(&book) {}
  int32_t Count() const { return book_->SheetCount(); }
  Worksheet& operator()(int32_t index) const { return book_->SheetAt(index); }
  // Exact name; a missing sheet raises error 9.
  Worksheet& operator()(const std::string& name) const;
  Worksheet& Add() const { return book_->AddSheet(nullptr); }
  Worksheet& Add(Worksheet& after) const { return book_->AddSheet(&after); }

 private:
  Workbook* book_;
};

inline Worksheets SheetsOf(Workbook& book) { return Worksheets(book); }

}  // namespace fenban::host
