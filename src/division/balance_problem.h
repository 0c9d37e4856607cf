// The balance search's problem and result: students with their classes as
// dealt, the features whose class means or counts are to come alike, the
// groups to keep apart or together, and what the search gives back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace fenban::division {

struct StudentList;

// How one feature's class deviations cost. A class's deviation v is its
// mean minus the year's mean (a count feature: its count minus the count its
// size gives it). It costs weight·v² + excessWeight·e², e being how far v
// lies outside the free band: ±allowance for a mean; for a count, the whole
// counts next to the year's count per class, so that counts within one of
// each other cost no excess.
struct FeatureShape {
  bool count = false;
  double weight = 1.0;
  double allowance = 0.0;
  double excessWeight = 0.0;
  // A count that must end inside its band whenever a swap can bring it
  // there, whatever it costs the other features (the categories).
  bool strict = false;
  // A mean over each class's `quota` best students (the features are zero
  // outside them): the class sum is divided by the smaller of the quota and
  // the class size instead of by the size. 0: a mean over the whole class.
  int32_t quota = 0;
  // A figure of the statistics sheet's tables that BalanceProblem::capped
  // holds as well: the last polish leaves it to its cap (WholeClassProblem).
  bool capped = false;
};

// Columns of figures a teacher reads (the statistics sheet's): per class a
// count, or an average over the class's best students, whose largest
// difference between the shown classes may not exceed a cap. The search
// holds them once it has done its balancing (see CapState).
struct CappedColumns {
  std::vector<double> cap;     // per column: the largest difference allowed
  std::vector<int32_t> quota;  // per column: 0, the class sum; q, the class sum over min(q, class size)
  // Per student, the columns it adds to in ascending order and what it adds
  // to each: entries start[s] .. start[s + 1] - 1 of column and value.
  std::vector<int32_t> start, column;
  std::vector<double> value;
  // A ladder of count columns ladderFirst .. ladderFirst + ladderSteps - 1
  // (the score bands): a student adds 1 to every one from ladderFirst +
  // ladderFrom[s] on (ladderFrom[s] == ladderSteps: to none).
  int32_t ladderFirst = 0, ladderSteps = 0;
  std::vector<int32_t> ladderFrom;
  std::vector<uint8_t> shown;  // per class: 1 when its figure is compared; empty: every class
  size_t Count() const { return cap.size(); }
};

struct BalanceProblem {
  int32_t classCount = 0;
  // Per student: the class index 0..classCount-1 as dealt.
  std::vector<int32_t> classOf;
  // Per student, featureCount values in a row (row-major). Each feature is
  // already divided by the class-mean difference it may show, so all
  // features weigh alike.
  int32_t featureCount = 0;
  std::vector<double> features;
  // Per feature: how its class deviations are weighed. Empty: every feature
  // is a mean with weight 1 and no free band.
  std::vector<FeatureShape> shapes;
  // Per student: the value that orders students for near-neighbour swaps
  // and for picking the partner of a keep-together move (the total).
  std::vector<double> score;
  // Per student: true when the student never moves (a preset class).
  std::vector<uint8_t> fixed;
  // Groups of student indices. Members of an apart group go to different
  // classes, members of a together group to one class. Same-name groups are
  // kept apart when they can be; they never make the problem impossible.
  std::vector<std::vector<int32_t>> apartGroups;
  std::vector<std::vector<int32_t>> togetherGroups;
  std::vector<std::vector<int32_t>> sameNameGroups;
  // Figures that must not end further apart than their caps; none: no caps.
  CappedColumns capped;
  // The list the problem was built from (BuildBalanceProblem), which must
  // outlive the search: the result's statistics sheet may show no "最大差"
  // above the deal's (see sheet_guard.h). None: no such check.
  const StudentList* sheetList = nullptr;
  uint64_t seed = 0;
  // Candidate swaps the annealing tries, and pair comparisons the double
  // swaps may make; 0 chooses a budget from the list's size.
  int64_t moveBudget = 0;
  int64_t pairBudget = 0;
  // Threads for the runs of a small list, or for the double swaps of a single
  // run (see SolveBalance); 0: two when the machine has them. The division is
  // the same with any number.
  int32_t threads = 0;
  // Told now and then, from any of the search's threads, of the best
  // classes found so far; empty when nobody listens. Kept cheap by the
  // listener (it may be called thousands of times a second).
  std::function<void(const std::vector<int32_t>& classOf)> onProgress;
};

// A constraint that cannot be met, with the students it concerns.
struct ConstraintProblem {
  enum class Kind {
    TogetherTooLarge,     // a together group larger than any class can take
    TogetherPresets,      // members of one together group preset to different classes
    ApartTooLarge,        // an apart group with more members than classes
    ApartPresets,         // two members of an apart group preset to one class
    ApartAndTogether,     // two students that are both in one apart and one together group
    ApartUnmet,           // the search ended with two members of an apart group in one class
    TogetherUnmet,        // the search could not gather a together group into one class
  };
  Kind kind;
  int32_t group = 0;  // index into apartGroups or togetherGroups
  std::vector<int32_t> students;
};

struct BalanceResult {
  std::vector<int32_t> classOf;
  std::vector<ConstraintProblem> problems;  // constraints that cannot be met: the deal is returned
  // Groups the result leaves apart or together against their wish (ApartUnmet,
  // TogetherUnmet), the others being met: the fixed students left no way.
  std::vector<ConstraintProblem> unmet;
  double costBefore = 0;                    // balance cost of the deal as given
  double costAfter = 0;
  int64_t pairsBefore = 0;  // same-class pairs in apart, same-name groups and split together groups
  int64_t pairsAfter = 0;
  // The search's classes left a column of the statistics sheet further apart
  // than the deal did and no swap brought it back: an earlier state (the deal
  // with its groups met, or the deal) is returned.
  bool sheetFallback = false;
  // Some column of the statistics sheet still ends further apart than the
  // deal's (a count by more than one): only states breaking more groups met it.
  bool sheetAbove = false;
};

}  // namespace fenban::division
