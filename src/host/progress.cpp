#include "host/progress.h"

#include <cstdio>

namespace fenban::host {

const char* StageText(WorkStage stage) {
  switch (stage) {
    case WorkStage::Reading: return "读取名单";
    case WorkStage::Dividing: return "分班";
    case WorkStage::Refining: return "优化";
    case WorkStage::Writing: return "写入";
    case WorkStage::Checking: return "检查";
  }
  return "";
}

std::string ProgressText(WorkStage stage, const std::optional<ProgressFigure>& figure) {
  std::string text = std::string(StageText(stage)) + "…";
  if (stage == WorkStage::Refining && figure) {
    char value[32];
    std::snprintf(value, sizeof value, "%.1f", figure->value);
    text += " " + figure->name + "最大差 " + value;
  }
  return text;
}

}  // namespace fenban::host
