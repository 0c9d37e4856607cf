// Preset classes: a student with a preset class swaps places with the
// closest-scoring member of that class.
#include <cmath>
#include <optional>

#include "division/division.h"
#include "host/value.h"
#include "sheets/lookups.h"

namespace fenban::division {
namespace {

constexpr const char* kPresetHeader = "预设班";

struct Candidate {
  int32_t row = 0;
  int32_t gap = 0;  // |total difference|, to the nearest whole number
};

bool HasClass(const host::Worksheet& work, int32_t row, int32_t classNo) {
  return work.CellValue(row, 1).ToDouble() == static_cast<double>(classNo);
}

int32_t ScoreGap(const host::Worksheet& work, int32_t row, int32_t otherRow, int32_t totalColumn) {
  const double own = work.CellValue(row, totalColumn).ToDouble();
  const double other = work.CellValue(otherRow, totalColumn).ToDouble();
  return host::RoundToLong(std::fabs(other - own));
}

// The first row from `from` towards `to` (step +1 or -1) in class classNo.
std::optional<Candidate> FindMember(const host::Worksheet& work, int32_t row, int32_t from, int32_t to,
                                    int32_t step, int32_t classNo, int32_t totalColumn) {
  for (int32_t other = from; step > 0 ? other <= to : other >= to; other += step) {
    if (HasClass(work, other, classNo)) return Candidate{other, ScoreGap(work, row, other, totalColumn)};
  }
  return std::nullopt;
}

}  // namespace

void ApplyPresetClasses(host::Worksheet& work, int32_t totalColumn, int32_t rowCount) {
  const int32_t presetCol = sheets::FindHeaderColumn(work, kPresetHeader);
  if (presetCol == 0) return;
  for (int32_t row = 2; row <= rowCount; ++row) {
    const int32_t preset = work.CellValue(row, presetCol).ToLong();
    if (preset <= 0) continue;
    const int32_t own = work.CellValue(row, 1).ToLong();
    if (own == preset) continue;
    const std::optional<Candidate> below = FindMember(work, row, row + 1, rowCount, 1, preset, totalColumn);
    const std::optional<Candidate> above = FindMember(work, row, row - 1, 2, -1, preset, totalColumn);
    std::optional<Candidate> partner;
    if (below && above) {
      partner = below->gap > above->gap ? above : below;  // equal gaps choose the row below
    } else {
      partner = below ? below : above;
    }
    if (partner) work.SetCellValue(partner->row, 1, own);
    work.SetCellValue(row, 1, preset);
  }
}

}  // namespace fenban::division
