// How far long work has come: the stages of a run (reading the lists,
// dividing, refining, writing, checking) and, while refining, the worst
// figure as it improves. Commands tell the platform's sink (see
// PlatformServices::Progress) at each stage boundary; the refinement tells
// it now and then. How it is shown (a terminal line, the page) is the front end's.
#pragma once

#include <optional>
#include <string>

namespace fenban::host {

enum class WorkStage { Reading, Dividing, Refining, Writing, Checking };

// The stage as the user reads it: "读取名单" ...
const char* StageText(WorkStage stage);

// The refinement's worst figure: the largest difference of `name` between classes.
struct ProgressFigure {
  std::string name;
  double value = 0;
};

// What a progress line says: "分班…", "优化… 总分最大差 3.2".
std::string ProgressText(WorkStage stage, const std::optional<ProgressFigure>& figure);

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Stage(WorkStage stage) = 0;
  // The worst figure of the refinement so far ("最大差" of `name`). May be
  // called from more than one thread; a sink keeps it cheap.
  virtual void Figure(const std::string& name, double value) = 0;
  // The long work is over (the files are saved): whatever showed it goes.
  virtual void Done() {}
};

}  // namespace fenban::host
