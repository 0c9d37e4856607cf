#include "division/cost_rows.h"

// Not on Windows: there GCC does not align the stack for spilled 256-bit
// registers (GCC bug 54412), and the narrow sum gives the same figures.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define FENBAN_WIDE_COST 1
#include <immintrin.h>
#endif

#include <algorithm>

namespace fenban::division {

#if defined(FENBAN_WIDE_COST)

bool WideArithmeticAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx");
}

namespace {

// One feature's term, in the order of SearchState::Penalty and CostDelta.
__attribute__((target("avx"))) inline __m256d Penalties(__m256d sum, __m256d scale, __m256d low, __m256d high,
                                                        __m256d weight, __m256d excessWeight) {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d v = _mm256_mul_pd(sum, scale);
  const __m256d excess = _mm256_add_pd(_mm256_max_pd(_mm256_sub_pd(low, v), zero), _mm256_max_pd(_mm256_sub_pd(v, high), zero));
  return _mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(weight, v), v),
                       _mm256_mul_pd(_mm256_mul_pd(excessWeight, excess), excess));
}

double Penalty(double sum, double scale, double low, double high, double weight, double excessWeight) {
  const double v = sum * scale;
  const double excess = std::max(0.0, low - v) + std::max(0.0, v - high);
  return weight * v * v + excessWeight * excess * excess;
}

}  // namespace

__attribute__((target("avx"))) double CostDeltaWide(const CostRows& r) {
  __m128d lanes = _mm_setzero_pd();
  size_t j = 0;
  for (; j + 4 <= r.f; j += 4) {
    const __m256d w = _mm256_loadu_pd(r.w + j), e = _mm256_loadu_pd(r.e + j);
    const __m256d d = _mm256_sub_pd(_mm256_loadu_pd(r.xl + j), _mm256_loadu_pd(r.xi + j));
    const __m256d gained = Penalties(_mm256_add_pd(_mm256_loadu_pd(r.da + j), d), _mm256_loadu_pd(r.sa + j),
                                     _mm256_loadu_pd(r.la + j), _mm256_loadu_pd(r.ha + j), w, e);
    const __m256d lost = Penalties(_mm256_sub_pd(_mm256_loadu_pd(r.db + j), d), _mm256_loadu_pd(r.sb + j),
                                   _mm256_loadu_pd(r.lb + j), _mm256_loadu_pd(r.hb + j), w, e);
    const __m256d terms = _mm256_sub_pd(
        _mm256_add_pd(_mm256_sub_pd(gained, _mm256_loadu_pd(r.pa + j)), lost), _mm256_loadu_pd(r.pb + j));
    lanes = _mm_add_pd(lanes, _mm256_castpd256_pd128(terms));
    lanes = _mm_add_pd(lanes, _mm256_extractf128_pd(terms, 1));
  }
  double lane[2];
  _mm_storeu_pd(lane, lanes);
  for (; j < r.f; ++j) {
    const double d = r.xl[j] - r.xi[j];
    lane[j & 1] += Penalty(r.da[j] + d, r.sa[j], r.la[j], r.ha[j], r.w[j], r.e[j]) - r.pa[j] +
                   Penalty(r.db[j] - d, r.sb[j], r.lb[j], r.hb[j], r.w[j], r.e[j]) - r.pb[j];
  }
  return lane[0] + lane[1];
}

#else

bool WideArithmeticAvailable() { return false; }
double CostDeltaWide(const CostRows&) { return 0; }

#endif

}  // namespace fenban::division
