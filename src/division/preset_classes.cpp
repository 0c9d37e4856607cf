// Preset classes: a student with a preset class swaps places with the
// closest-scoring member of that class who is free to leave it.
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "division/division.h"
#include "division/preset_text.h"
#include "host/cell_values.h"
#include "host/constants.h"
#include "host/value.h"
#include "sheets/lookups.h"

namespace fenban::division {
namespace {

using sheets::kWarningTitle;

struct Candidate {
  int32_t row = 0;
  int32_t gap = 0;  // |total difference|, to the nearest whole number
};

// The preset class of every row (index = row); 0 for none.
using Presets = std::vector<int32_t>;

bool HasClass(const host::Worksheet& work, int32_t row, int32_t classNo) {
  return host::CellNumber(work, row, 1) == static_cast<double>(classNo);
}

int32_t ScoreGap(const host::Worksheet& work, int32_t row, int32_t otherRow, int32_t totalColumn) {
  const double own = host::CellNumber(work, row, totalColumn);
  const double other = host::CellNumber(work, otherRow, totalColumn);
  return host::RoundToLong(std::fabs(other - own));
}

// The first row from `from` towards `to` (step +1 or -1) in class classNo
// that may leave it: a student preset to that class stays where it is.
std::optional<Candidate> FindMember(const host::Worksheet& work, const Presets& presets, int32_t row, int32_t from,
                                    int32_t to, int32_t step, int32_t classNo, int32_t totalColumn) {
  for (int32_t other = from; step > 0 ? other <= to : other >= to; other += step) {
    if (presets[static_cast<size_t>(other)] == classNo) continue;
    if (HasClass(work, other, classNo)) return Candidate{other, ScoreGap(work, row, other, totalColumn)};
  }
  return std::nullopt;
}

Presets ReadPresets(const host::Worksheet& work, int32_t presetCol, int32_t rowCount) {
  Presets presets(static_cast<size_t>(std::max(rowCount, 1)) + 1, 0);
  for (int32_t row = 2; row <= rowCount; ++row) {
    const int32_t preset = host::CellLong(work, row, presetCol);
    presets[static_cast<size_t>(row)] = preset > 0 ? preset : 0;
  }
  return presets;
}

// Shows one message for every class that more students are preset to than
// it holds, and returns false; true when every class has room.
bool CheckRoom(host::Application& app, const host::Worksheet& work, const Presets& presets, int32_t totalColumn,
               int32_t rowCount) {
  std::map<int32_t, int32_t> sizes;
  std::map<int32_t, std::vector<int32_t>> presetRows;
  for (int32_t row = 2; row <= rowCount; ++row) {
    const double label = host::CellNumber(work, row, 1);
    if (label == std::floor(label) && std::fabs(label) < 2e9) ++sizes[static_cast<int32_t>(label)];
    const int32_t preset = presets[static_cast<size_t>(row)];
    if (preset > 0) presetRows[preset].push_back(row);
  }
  const int32_t nameColumn = sheets::FindHeaderColumn(work, kNameHeader);
  std::string report;
  for (const auto& [classNo, rows] : presetRows) {
    const int32_t room = sizes[classNo];
    if (static_cast<int32_t>(rows.size()) <= room) continue;
    std::vector<std::string> students;
    for (int32_t row : rows) {
      const std::string name = ShownText(work, row, nameColumn);
      students.push_back((name.empty() ? "" : name + " ") + "总分 " + ShownText(work, row, totalColumn));
    }
    report += "\n第" + std::to_string(classNo) + "班只有 " + std::to_string(room) + " 人，预设到该班的却有 " +
              std::to_string(rows.size()) + " 人：" + JoinListed(students, "、");
  }
  if (report.empty()) return true;
  app.MsgBox("预设班的人数超过了班级人数，不能分班。请减少这些班的预设后再分班：" + report, host::kMsgExclamation,
             kWarningTitle);
  return false;
}

}  // namespace

bool ApplyPresetClasses(host::Application& app, host::Worksheet& work, int32_t totalColumn, int32_t rowCount) {
  const int32_t presetCol = sheets::FindHeaderColumn(work, kPresetHeader);
  if (presetCol == 0) return true;
  const Presets presets = ReadPresets(work, presetCol, rowCount);
  if (!CheckRoom(app, work, presets, totalColumn, rowCount)) return false;

  // Rows are visited top to bottom. A partner is never a student preset to
  // the class it is in, so a student once placed in its preset class stays
  // there; with room for every preset, a free partner always exists.
  for (int32_t row = 2; row <= rowCount; ++row) {
    const int32_t preset = presets[static_cast<size_t>(row)];
    if (preset <= 0) continue;
    const int32_t own = host::CellLong(work, row, 1);
    if (own == preset) continue;
    const std::optional<Candidate> below =
        FindMember(work, presets, row, row + 1, rowCount, 1, preset, totalColumn);
    const std::optional<Candidate> above = FindMember(work, presets, row, row - 1, 2, -1, preset, totalColumn);
    std::optional<Candidate> partner;
    if (below && above) {
      partner = below->gap > above->gap ? above : below;  // equal gaps choose the row below
    } else {
      partner = below ? below : above;
    }
    if (partner) work.SetCellValue(partner->row, 1, own);
    work.SetCellValue(row, 1, preset);
  }
  return true;
}

}  // namespace fenban::division
