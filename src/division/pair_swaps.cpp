#include "division/pair_swaps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace fenban::division {
namespace {

// Pairs of swaps between two classes: two students of one class trade
// places with two of another. A double swap changes the two classes by the
// difference of two pair sums, so for two classes every pair of one is
// compared with every pair of the other under a quadratic model of the cost
// (weighted squared distance to the change that evens the two classes out),
// through inner products of single students, at O(1) per comparison. The
// pairs of one class are sorted along the axis where its members are spread
// widest, so that each pair of the other looks only at those near it there.
// The few closest are tried with the true cost and the best that lowers it
// is taken.
class PairSwapSearch {
 public:
  PairSwapSearch(SearchState& state, const BalanceProblem& problem, CapState* caps)
      : state_(state), problem_(problem), caps_(caps) {
    f_ = static_cast<size_t>(problem.featureCount);
    root_.resize(f_);
    for (size_t j = 0; j < f_; ++j) root_[j] = std::sqrt(state.ModelWeight(j));
  }

  // Tries classes a and b (free members A and B); returns true when a
  // double swap was taken.
  bool TryClasses(size_t a, size_t b, const std::vector<int32_t>& A, const std::vector<int32_t>& B) {
    work_ = 0;
    if (A.size() < 2 || B.size() < 2) return false;
    Prepare(a, b, A, B);
    FindClosest(A, B);
    return TakeBest();
  }

  // What the last TryClasses cost, in the budget's units.
  int64_t Work() const { return work_; }

 private:
  // Scaled feature vectors y (√weight · class scale · x) of both classes,
  // the change t that evens them out, and the inner products the
  // comparisons need.
  void Prepare(size_t a, size_t b, const std::vector<int32_t>& A, const std::vector<int32_t>& B) {
    const size_t na = A.size(), nb = B.size(), f = f_;
    ya_.assign(na * f, 0.0);
    yb_.assign(nb * f, 0.0);
    t_.assign(f, 0.0);
    factor_.assign(f, 0.0);
    for (size_t j = 0; j < f; ++j) {
      const double scale = state_.Scale(a, j);
      t_[j] = root_[j] * (state_.Dev(b, j) * state_.Scale(b, j) - state_.Dev(a, j) * scale) / 2;
      factor_[j] = root_[j] * scale;
    }
    auto scaled = [&](const std::vector<int32_t>& members, std::vector<double>& y) {
      for (size_t p = 0; p < members.size(); ++p) {
        const double* x = &problem_.features[static_cast<size_t>(members[p]) * f];
        double* row = &y[p * f];
        for (size_t j = 0; j < f; ++j) row[j] = factor_[j] * x[j];
      }
    };
    scaled(A, ya_);
    scaled(B, yb_);
    gab_.assign(na * nb, 0.0);
    normA_.assign(na, 0.0);
    ta_.assign(na, 0.0);
    for (size_t p = 0; p < na; ++p) {
      Dots(&ya_[p * f], yb_.data(), 0, nb, &gab_[p * nb]);
      normA_[p] = Dot(&ya_[p * f], &ya_[p * f]);
      ta_[p] = Dot(&ya_[p * f], t_.data());
    }
    std::vector<double> normB(nb);
    tb_.assign(nb, 0.0);
    for (size_t q = 0; q < nb; ++q) {
      normB[q] = Dot(&yb_[q * f], &yb_[q * f]);
      tb_[q] = Dot(&yb_[q * f], t_.data());
    }
    // The pairs of B with |y_q + y_r|², sorted along the axis (feature) on
    // which B's members are spread widest.
    axis_ = 0;
    double widest = -1;
    for (size_t j = 0; j < f; ++j) {
      double sum = 0, square = 0;
      for (size_t q = 0; q < nb; ++q) {
        sum += yb_[q * f + j];
        square += yb_[q * f + j] * yb_[q * f + j];
      }
      const double spread = square - sum * sum / static_cast<double>(nb);
      if (spread > widest) {
        widest = spread;
        axis_ = j;
      }
    }
    pairsB_.clear();
    products_.resize(std::max(na, nb));
    for (size_t q = 0; q < nb; ++q) {
      Dots(&yb_[q * f], yb_.data(), q + 1, nb, products_.data());
      for (size_t r = q + 1; r < nb; ++r) {
        pairsB_.push_back({yb_[q * f + axis_] + yb_[r * f + axis_], normB[q] + normB[r] + 2 * products_[r],
                           static_cast<int32_t>(q), static_cast<int32_t>(r)});
      }
    }
    std::sort(pairsB_.begin(), pairsB_.end(), [](const PairOfB& x, const PairOfB& y) { return x.key < y.key; });
    keys_.resize(pairsB_.size());
    for (size_t x = 0; x < pairsB_.size(); ++x) keys_[x] = pairsB_[x].key;
    tt_ = Dot(t_.data(), t_.data());
  }

  // The kKeep pairs of pairs closest under the model: for the pair (p, p2)
  // of A and (q, r) of B the distance is
  // |y_p + y_p2 + t|² + |y_q + y_r|² − 2·(h[q] + h[r]), with
  // h[q] = <y_q, y_p + y_p2 + t>. It is at least the square of the two
  // pairs' difference on the axis, so each pair of A looks at the pairs of
  // B outwards from its own place on the axis, and stops on either side
  // where that square alone reaches the kKeep-th best distance so far.
  void FindClosest(const std::vector<int32_t>& A, const std::vector<int32_t>& B) {
    const size_t na = A.size(), nb = B.size(), f = f_;
    h_.assign(nb, 0.0);
    double* h = h_.data();
    const PairOfB* pairs = pairsB_.data();
    const size_t pairCount = pairsB_.size();
    bestCount_ = 0;
    double worst = std::numeric_limits<double>::infinity();
    int64_t looked = 0;
    for (size_t p = 0; p < na; ++p) {
      Dots(&ya_[p * f], ya_.data(), p + 1, na, products_.data());
      for (size_t p2 = p + 1; p2 < na; ++p2) {
        const double nA = normA_[p] + normA_[p2] + tt_ + 2 * products_[p2] + 2 * ta_[p] + 2 * ta_[p2];
        const double* rowP = &gab_[p * nb];
        const double* rowP2 = &gab_[p2 * nb];
        for (size_t q = 0; q < nb; ++q) h[q] = rowP[q] + rowP2[q] + tb_[q];
        const double key = ya_[p * f + axis_] + ya_[p2 * f + axis_] + t_[axis_];
        const size_t middle = LowerBound(key);
        auto look = [&](const PairOfB& pair) {
          const double d = nA + pair.norm - 2 * (h[static_cast<size_t>(pair.q)] + h[static_cast<size_t>(pair.r)]);
          if (d < worst) {
            Insert(d, A[p], A[p2], B[static_cast<size_t>(pair.q)], B[static_cast<size_t>(pair.r)]);
            worst = bestCount_ < kKeep ? std::numeric_limits<double>::infinity() : best_[kKeep - 1].distance;
          }
        };
        // The looks counted once a side ends, not one by one: a count kept
        // in memory across the loop held up every step.
        size_t x = middle;
        for (; x < pairCount && (pairs[x].key - key) * (pairs[x].key - key) <= worst; ++x) look(pairs[x]);
        looked += static_cast<int64_t>(x - middle);
        x = middle;
        for (; x > 0 && (key - pairs[x - 1].key) * (key - pairs[x - 1].key) <= worst; --x) look(pairs[x - 1]);
        looked += static_cast<int64_t>(middle - x);
      }
    }
    const int64_t pairsA = static_cast<int64_t>(na * (na - 1) / 2);
    const int64_t products = static_cast<int64_t>((na * nb + pairsB_.size() + na + nb) * f);
    work_ = kLookCost * looked + kPairOfACost * pairsA * static_cast<int64_t>(nb) +
            kSortCost * static_cast<int64_t>(pairsB_.size()) + kProductCost * products;
  }

  // Takes the candidate whose true change of both swaps together (apart
  // breaches, strict excess, cost) is best, if it is an improvement. The
  // change is counted for the pair: the first swap alone may add a breach
  // that the second removes.
  bool TakeBest() {
    Standing bestChange{0, 0.0, -1e-9};
    const Candidate* chosen = nullptr;
    for (size_t n = 0; n < bestCount_; ++n) {
      const Candidate& c = best_[n];
      Standing change{state_.PairDelta(c.i1, c.l1), state_.StrictExcessDelta(c.i1, c.l1), state_.CostDelta(c.i1, c.l1)};
      state_.Swap(c.i1, c.l1);
      change.breaches += state_.PairDelta(c.i2, c.l2);
      change.strict += state_.StrictExcessDelta(c.i2, c.l2);
      change.cost += state_.CostDelta(c.i2, c.l2);
      state_.Swap(c.i1, c.l1);
      if (change.BetterThan(bestChange) && (caps_ == nullptr || !caps_->Delta(c.i1, c.i2, c.l1, c.l2).grows)) {
        bestChange = change;
        chosen = &c;
      }
    }
    if (chosen == nullptr) return false;
    if (caps_ != nullptr) {
      caps_->Swap(chosen->i1, chosen->l1);
      caps_->Swap(chosen->i2, chosen->l2);
    }
    state_.Swap(chosen->i1, chosen->l1);
    state_.Swap(chosen->i2, chosen->l2);
    return true;
  }

  // The first place in keys_ (sorted, not empty) whose key is not below
  // `key`, as std::lower_bound finds it, without branches on the keys.
  size_t LowerBound(double key) const {
    const double* base = keys_.data();
    size_t n = keys_.size();
    while (n > 1) {
      const size_t half = n / 2;
      base = base[half] < key ? base + half : base;
      n -= half;
    }
    return static_cast<size_t>(base - keys_.data()) + (*base < key ? 1 : 0);
  }

  double Dot(const double* x, const double* y) const {
    double d = 0;
    for (size_t j = 0; j < f_; ++j) d += x[j] * y[j];
    return d;
  }
  // out[r] = Dot(x, row r of `rows`) for r in from..to-1. Four rows at a
  // time, each summed in the same order as Dot (so the same figures), but
  // as four chains of additions side by side instead of one after another.
  void Dots(const double* x, const double* rows, size_t from, size_t to, double* out) const {
    const size_t f = f_;
    size_t r = from;
    for (; r + 4 <= to; r += 4) {
      const double* y0 = rows + r * f;
      const double* y1 = y0 + f;
      const double* y2 = y1 + f;
      const double* y3 = y2 + f;
      double d0 = 0, d1 = 0, d2 = 0, d3 = 0;
      for (size_t j = 0; j < f; ++j) {
        d0 += x[j] * y0[j];
        d1 += x[j] * y1[j];
        d2 += x[j] * y2[j];
        d3 += x[j] * y3[j];
      }
      out[r] = d0;
      out[r + 1] = d1;
      out[r + 2] = d2;
      out[r + 3] = d3;
    }
    for (; r < to; ++r) out[r] = Dot(x, rows + r * f);
  }

  struct Candidate {
    double distance;
    int32_t i1, i2, l1, l2;
  };
  static constexpr size_t kKeep = 16;
  // Keeps the kKeep closest, a later one after an earlier one of the same
  // distance; in place, with no call out of the search's inner loop.
  void Insert(double d, int32_t i1, int32_t i2, int32_t l1, int32_t l2) {
    size_t at = bestCount_;
    while (at > 0 && d < best_[at - 1].distance) --at;
    if (at == kKeep) return;
    const size_t last = std::min(bestCount_, kKeep - 1);
    for (size_t n = last; n > at; --n) best_[n] = best_[n - 1];
    best_[at] = Candidate{d, i1, i2, l1, l2};
    bestCount_ = std::min(bestCount_ + 1, kKeep);
  }

  SearchState& state_;
  const BalanceProblem& problem_;
  CapState* caps_;
  size_t f_ = 0;
  std::vector<double> root_;              // per feature: √ of its model weight
  std::vector<double> ya_, yb_, t_;       // scaled vectors of A and B, the change wanted
  std::vector<double> factor_;            // per feature: √weight · class scale
  std::vector<double> products_;          // one student's inner products with others
  std::vector<double> gab_;               // <y_p, y_q> for p in A, q in B
  std::vector<double> normA_, ta_, tb_;   // |y_p|², <y_p, t>, <y_q, t>
  std::vector<double> h_;                 // h of the pair of A at hand
  // A pair of B: its place on the axis, |y_q + y_r|², and its members.
  struct PairOfB {
    double key, norm;
    int32_t q, r;
  };
  std::vector<PairOfB> pairsB_;           // sorted by key
  std::vector<double> keys_;              // their keys, in the same order
  size_t axis_ = 0;
  double tt_ = 0;
  std::array<Candidate, kKeep> best_{};  // the closest first
  size_t bestCount_ = 0;
  int64_t work_ = 0;
  // The budget's units (about 0.3 ns of one core): one pair of B looked at,
  // the inner products for one pair of A against every member of B, one
  // pair of B sorted, one product in the inner products between students.
  static constexpr int64_t kLookCost = 8, kPairOfACost = 2, kSortCost = 30, kProductCost = 3;
};

// What comparing two classes costs besides its counted work (the feature
// vectors, the true cost of the closest candidates), in the same units: it
// dominates for classes of ten or so.
constexpr int64_t kAttemptCost = 50'000;

}  // namespace

int64_t PairSwaps(SearchState& state, const BalanceProblem& problem, const std::vector<int32_t>& freeStudents,
                  SplitMix& random, int64_t& budget, HelperThread* helper, CapState* caps) {
  if (caps != nullptr) helper = nullptr;
  const size_t k = static_cast<size_t>(problem.classCount);
  std::vector<std::vector<int32_t>> members(k);
  for (int32_t s : freeStudents) members[static_cast<size_t>(state.ClassOf(s))].push_back(s);
  // Class pairs, the most uneven first (weighted squared difference of the class deviations).
  const size_t f = static_cast<size_t>(problem.featureCount);
  std::vector<std::pair<double, std::pair<size_t, size_t>>> order;
  for (size_t a = 0; a < k; ++a) {
    for (size_t b = a + 1; b < k; ++b) {
      double gap = 0;
      for (size_t j = 0; j < f; ++j) {
        const double d = state.Dev(b, j) * state.Scale(b, j) - state.Dev(a, j) * state.Scale(a, j);
        gap += state.ModelWeight(j) * d * d;
      }
      order.push_back({-gap, {a, b}});
    }
  }
  std::sort(order.begin(), order.end());
  // After as many double swaps as there are classes the order is stale.
  const int64_t limit = static_cast<int64_t>(std::max<size_t>(4, k));
  PairSwapSearch searches[2] = {PairSwapSearch(state, problem, caps), PairSwapSearch(state, problem, caps)};
  std::vector<int32_t> A[2], B[2];
  auto pick = [&](const std::vector<int32_t>& all, std::vector<int32_t>& out) {
    out = all;
    if (out.size() <= kPairSwapSample) return;
    for (size_t t = 0; t < kPairSwapSample; ++t) std::swap(out[t], out[t + static_cast<size_t>(random.Below(static_cast<int32_t>(out.size() - t)))]);
    out.resize(kPairSwapSample);
  };
  std::vector<uint8_t> tried(order.size(), 0);
  size_t front = 0;
  int64_t taken = 0;
  while (budget > 0 && taken < limit) {
    while (front < order.size() && tried[front]) ++front;
    if (front == order.size()) break;
    std::pair<size_t, size_t> wave[2] = {order[front].second, {0, 0}};
    size_t count = 1;
    tried[front] = 1;
    for (size_t x = front + 1; x < order.size(); ++x) {
      const auto [a, b] = order[x].second;
      if (tried[x] || a == wave[0].first || a == wave[0].second || b == wave[0].first || b == wave[0].second) continue;
      wave[count++] = order[x].second;
      tried[x] = 1;
      break;
    }
    bool took[2] = {false, false};
    for (size_t w = 0; w < count; ++w) {
      pick(members[wave[w].first], A[w]);
      pick(members[wave[w].second], B[w]);
    }
    auto attempt = [&](size_t w) { took[w] = searches[w].TryClasses(wave[w].first, wave[w].second, A[w], B[w]); };
    if (count == 2 && helper != nullptr) {
      helper->Start([&] { attempt(1); });
      attempt(0);
      helper->Wait();
    } else {
      for (size_t w = 0; w < count; ++w) attempt(w);
    }
    for (size_t w = 0; w < count; ++w) {
      budget -= searches[w].Work() + kAttemptCost;
      if (!took[w]) continue;
      ++taken;
      const auto [a, b] = wave[w];
      members[a].clear();
      members[b].clear();
      for (int32_t s : freeStudents) {
        const size_t c = static_cast<size_t>(state.ClassOf(s));
        if (c == a || c == b) members[c].push_back(s);
      }
    }
  }
  return taken;
}

}  // namespace fenban::division
