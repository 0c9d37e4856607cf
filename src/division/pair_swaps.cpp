#include "division/pair_swaps.h"

#include <algorithm>
#include <cmath>
#include <limits>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
// GCC on x86-64 Linux also compiles the pair scan for AVX2 and picks it at
// run time.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
#define FENBAN_PAIR_SCAN_AVX2 1
#include <immintrin.h>
#endif

namespace fenban::division {
namespace {

// Pairs of swaps between two classes: two students of one class trade
// places with two of another. A double swap changes the two classes by the
// difference of two pair sums, so for two classes every pair of one is
// compared with every pair of the other under a quadratic model of the cost
// (weighted squared distance to the change that evens the two classes out),
// through inner products of single students, at O(1) per comparison. The
// few closest are tried with the true cost and the best that lowers it is
// taken.
class PairSwapSearch {
 public:
  PairSwapSearch(SearchState& state, const BalanceProblem& problem) : state_(state), problem_(problem) {
    f_ = static_cast<size_t>(problem.featureCount);
    root_.resize(f_);
    for (size_t j = 0; j < f_; ++j) root_[j] = std::sqrt(state.ModelWeight(j));
#if defined(FENBAN_PAIR_SCAN_AVX2)
    avx2_ = __builtin_cpu_supports("avx2");
#endif
  }

  // Tries classes a and b (free members A and B); returns true when a
  // double swap was taken.
  bool TryClasses(size_t a, size_t b, const std::vector<int32_t>& A, const std::vector<int32_t>& B) {
    if (A.size() < 2 || B.size() < 2) return false;
    Prepare(a, b, A, B);
    FindClosest(A, B);
    return TakeBest();
  }

 private:
  // Scaled feature vectors y (√weight · class scale · x) of both classes,
  // the change t that evens them out, and the inner products the
  // comparisons need.
  void Prepare(size_t a, size_t b, const std::vector<int32_t>& A, const std::vector<int32_t>& B) {
    const size_t na = A.size(), nb = B.size(), f = f_;
    ya_.assign(na * f, 0.0);
    yb_.assign(nb * f, 0.0);
    t_.assign(f, 0.0);
    for (size_t j = 0; j < f; ++j) {
      const double scale = state_.Scale(a, j);
      t_[j] = root_[j] * (state_.Dev(b, j) * state_.Scale(b, j) - state_.Dev(a, j) * scale) / 2;
      for (size_t p = 0; p < na; ++p) {
        ya_[p * f + j] = root_[j] * scale * problem_.features[static_cast<size_t>(A[p]) * f + j];
      }
      for (size_t q = 0; q < nb; ++q) {
        yb_[q * f + j] = root_[j] * scale * problem_.features[static_cast<size_t>(B[q]) * f + j];
      }
    }
    gab_.assign(na * nb, 0.0);
    normA_.assign(na, 0.0);
    ta_.assign(na, 0.0);
    for (size_t p = 0; p < na; ++p) {
      for (size_t q = 0; q < nb; ++q) gab_[p * nb + q] = Dot(&ya_[p * f], &yb_[q * f]);
      normA_[p] = Dot(&ya_[p * f], &ya_[p * f]);
      ta_[p] = Dot(&ya_[p * f], t_.data());
    }
    std::vector<double> normB(nb);
    tb_.assign(nb, 0.0);
    for (size_t q = 0; q < nb; ++q) {
      normB[q] = Dot(&yb_[q * f], &yb_[q * f]);
      tb_[q] = Dot(&yb_[q * f], t_.data());
    }
    // |y_q + y_r|² for the pairs of B, exact and as float rows padded to
    // whole blocks of four with +inf where r <= q, so that each row's
    // minimum is one vector loop.
    stride_ = (nb + 3) / 4 * 4;
    nbb_.assign(nb * nb, 0.0);
    nbbf_.assign(nb * stride_, std::numeric_limits<float>::infinity());
    for (size_t q = 0; q < nb; ++q) {
      for (size_t r = q + 1; r < nb; ++r) {
        nbb_[q * nb + r] = normB[q] + normB[r] + 2 * Dot(&yb_[q * f], &yb_[r * f]);
        nbbf_[q * stride_ + r] = static_cast<float>(nbb_[q * nb + r]);
      }
    }
    tt_ = Dot(t_.data(), t_.data());
  }

  // The kKeep pairs of pairs closest under the model: for the pair (p, p2)
  // of A and (q, r) of B the distance is
  // |y_p + y_p2 + t|² + |y_q + y_r|² − 2·(h[q] + h[r]), with
  // h[q] = <y_q, y_p + y_p2 + t>.
  void FindClosest(const std::vector<int32_t>& A, const std::vector<int32_t>& B) {
    const size_t na = A.size(), nb = B.size(), f = f_;
    h_.assign(nb, 0.0);
    h2_.assign(stride_, 0.0f);
    best_.clear();
    double worst = std::numeric_limits<double>::infinity();
    for (size_t p = 0; p < na; ++p) {
      for (size_t p2 = p + 1; p2 < na; ++p2) {
        const double nA = normA_[p] + normA_[p2] + tt_ + 2 * Dot(&ya_[p * f], &ya_[p2 * f]) + 2 * ta_[p] + 2 * ta_[p2];
        for (size_t q = 0; q < nb; ++q) {
          h_[q] = gab_[p * nb + q] + gab_[p2 * nb + q] + tb_[q];
          h2_[q] = static_cast<float>(2 * h_[q]);
        }
#if defined(FENBAN_PAIR_SCAN_AVX2)
        if (avx2_) {
          ScanRowsAvx2(nA, A[p], A[p2], B, worst);
          continue;
        }
#endif
        ScanRows(nA, A[p], A[p2], B, worst);
      }
    }
  }

  // Every row q of B for the pair of A at hand: a row whose float minimum
  // cannot beat the kept candidates is skipped, the others are checked with
  // the exact sums.
  void ScanRows(double nA, int32_t i1, int32_t i2, const std::vector<int32_t>& B, double& worst) {
    for (size_t q = 0; q + 1 < B.size(); ++q) {
      const double base = nA - 2 * h_[q];
      if (base + RowMinimum(&nbbf_[q * stride_], h2_.data(), (q + 1) / 4 * 4, stride_) < worst) {
        CheckRow(q, base, i1, i2, B, worst);
      }
    }
  }
#if defined(FENBAN_PAIR_SCAN_AVX2)
  // The same with eight floats at a time, for processors that have AVX2.
  // The minimum is exact in either width, so both choose alike.
  __attribute__((target("avx2"))) void ScanRowsAvx2(double nA, int32_t i1, int32_t i2, const std::vector<int32_t>& B,
                                                    double& worst) {
    const float* h2 = h2_.data();
    for (size_t q = 0; q + 1 < B.size(); ++q) {
      const double base = nA - 2 * h_[q];
      const float* row = &nbbf_[q * stride_];
      __m256 lowest = _mm256_set1_ps(std::numeric_limits<float>::infinity());
      size_t r = (q + 1) / 4 * 4;
      for (; r + 8 <= stride_; r += 8) {
        lowest = _mm256_min_ps(lowest, _mm256_sub_ps(_mm256_loadu_ps(row + r), _mm256_loadu_ps(h2 + r)));
      }
      __m128 four = _mm_min_ps(_mm256_castps256_ps128(lowest), _mm256_extractf128_ps(lowest, 1));
      if (r < stride_) four = _mm_min_ps(four, _mm_sub_ps(_mm_loadu_ps(row + r), _mm_loadu_ps(h2 + r)));
      four = _mm_min_ps(four, _mm_movehl_ps(four, four));
      four = _mm_min_ss(four, _mm_shuffle_ps(four, four, 1));
      const float least = _mm_cvtss_f32(four);
      if (base + (least - 1e-3 * (1 + std::fabs(least))) < worst) CheckRow(q, base, i1, i2, B, worst);
    }
  }
#endif

  void CheckRow(size_t q, double base, int32_t i1, int32_t i2, const std::vector<int32_t>& B, double& worst) {
    const size_t nb = B.size();
    const double* exact = &nbb_[q * nb];
    for (size_t r = q + 1; r < nb; ++r) {
      const double d = base + exact[r] - 2 * h_[r];
      if (d < worst) {
        Insert(d, i1, i2, B[q], B[r]);
        worst = best_.size() < kKeep ? std::numeric_limits<double>::infinity() : best_.back().distance;
      }
    }
  }

  // Takes the candidate whose true change of both swaps together (apart
  // breaches, strict excess, cost) is best, if it is an improvement. The
  // change is counted for the pair: the first swap alone may add a breach
  // that the second removes.
  bool TakeBest() {
    Standing bestChange{0, 0.0, -1e-9};
    const Candidate* chosen = nullptr;
    for (const Candidate& c : best_) {
      Standing change{state_.PairDelta(c.i1, c.l1), state_.StrictExcessDelta(c.i1, c.l1), state_.CostDelta(c.i1, c.l1)};
      state_.Swap(c.i1, c.l1);
      change.breaches += state_.PairDelta(c.i2, c.l2);
      change.strict += state_.StrictExcessDelta(c.i2, c.l2);
      change.cost += state_.CostDelta(c.i2, c.l2);
      state_.Swap(c.i1, c.l1);
      if (change.BetterThan(bestChange)) {
        bestChange = change;
        chosen = &c;
      }
    }
    if (chosen == nullptr) return false;
    state_.Swap(chosen->i1, chosen->l1);
    state_.Swap(chosen->i2, chosen->l2);
    return true;
  }

  double Dot(const double* x, const double* y) const {
    double d = 0;
    for (size_t j = 0; j < f_; ++j) d += x[j] * y[j];
    return d;
  }

  struct Candidate {
    double distance;
    int32_t i1, i2, l1, l2;
  };
  static constexpr size_t kKeep = 16;
  void Insert(double d, int32_t i1, int32_t i2, int32_t l1, int32_t l2) {
    Candidate c{d, i1, i2, l1, l2};
    auto at = std::upper_bound(best_.begin(), best_.end(), d, [](double x, const Candidate& y) { return x < y.distance; });
    best_.insert(at, c);
    if (best_.size() > kKeep) best_.pop_back();
  }

  // The smallest row[r] - h2[r] for r in [from, to), both multiples of four.
  static double RowMinimum(const float* row, const float* h2, size_t from, size_t to) {
#if defined(__SSE2__) || defined(_M_X64)
    __m128 lowest = _mm_set1_ps(std::numeric_limits<float>::infinity());
    for (size_t r = from; r < to; r += 4) lowest = _mm_min_ps(lowest, _mm_sub_ps(_mm_loadu_ps(row + r), _mm_loadu_ps(h2 + r)));
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, lowest);
    const float least = std::min(std::min(lanes[0], lanes[1]), std::min(lanes[2], lanes[3]));
    // Slack for float rounding: the rows only screen, the exact sums decide.
    return least - 1e-3 * (1 + std::fabs(least));
#else
    float least = std::numeric_limits<float>::infinity();
    for (size_t r = from; r < to; ++r) least = std::min(least, row[r] - h2[r]);
    return least - 1e-3 * (1 + std::fabs(least));
#endif
  }

  SearchState& state_;
  const BalanceProblem& problem_;
  size_t f_ = 0;
  std::vector<double> root_;              // per feature: √ of its model weight
  std::vector<double> ya_, yb_, t_;       // scaled vectors of A and B, the change wanted
  std::vector<double> gab_;               // <y_p, y_q> for p in A, q in B
  std::vector<double> normA_, ta_, tb_;   // |y_p|², <y_p, t>, <y_q, t>
  std::vector<double> nbb_, h_;           // |y_q + y_r|² for pairs of B; h of the pair of A at hand
  std::vector<float> nbbf_, h2_;          // the same as float rows, and 2·h
  size_t stride_ = 0;
  double tt_ = 0;
  std::vector<Candidate> best_;
  bool avx2_ = false;
};

// What comparing two classes costs besides the pair comparisons (inner
// products, the true cost of the closest candidates), in pair comparisons:
// it dominates for classes of ten or so.
constexpr int64_t kAttemptCost = 50'000;

}  // namespace

int64_t PairSwaps(SearchState& state, const BalanceProblem& problem, const std::vector<int32_t>& freeStudents,
                  SplitMix& random, int64_t& budget) {
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
  const size_t limit = std::max<size_t>(4, k);
  PairSwapSearch search(state, problem);
  int64_t taken = 0;
  std::vector<int32_t> A, B;
  auto pick = [&](const std::vector<int32_t>& all, std::vector<int32_t>& out) {
    out = all;
    if (out.size() <= kPairSwapSample) return;
    for (size_t t = 0; t < kPairSwapSample; ++t) std::swap(out[t], out[t + static_cast<size_t>(random.Below(static_cast<int32_t>(out.size() - t)))]);
    out.resize(kPairSwapSample);
  };
  for (const auto& [gap, ab] : order) {
    if (budget <= 0) break;
    const auto [a, b] = ab;
    pick(members[a], A);
    pick(members[b], B);
    budget -= static_cast<int64_t>(A.size() * (A.size() - 1) / 2 * B.size() * (B.size() - 1) / 2) + kAttemptCost;
    if (search.TryClasses(a, b, A, B)) {
      if (static_cast<size_t>(++taken) >= limit) break;
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
