// A model application with one workbook and one sheet, for the host tests.
#pragma once

#include <gtest/gtest.h>

#include "host/errors.h"
#include "host/model_application.h"
#include "host/range.h"
#include "support/model_builder.h"
#include "support/recording_services.h"

namespace fenban::host {

class HostTest : public ::testing::Test {
 protected:
  HostTest() : app(services), book(testing::AddBook(app, "host.xlsx", "/data")), sheet(book.AppendSheet("S")) {}

  testing::RecordingServices services;
  ModelApplication app;
  ModelWorkbook& book;
  ModelWorksheet& sheet;
};

// Runs the statement and returns the number of the run-time error it raised (0 when none).
template <class F>
int32_t ErrorNumberOf(F&& statement) {
  try {
    statement();
  } catch (const RuntimeError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace fenban::host
