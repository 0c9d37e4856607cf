// The rows a swap's change of cost reads (two students' features, and the
// two classes' deviations, scales, free bands and present penalties with
// the features' weights), and that change worked out four features at a
// time with 256-bit arithmetic where the processor has it.
#pragma once

#include <cstddef>

namespace fenban::division {

struct CostRows {
  const double *xi, *xl;  // the students leaving class a and class b
  const double *da, *db, *sa, *sb, *la, *lb, *ha, *hb, *pa, *pb;
  const double *w, *e;
  size_t f;
};

// True when CostDeltaWide may run here (x86-64 with AVX, the operating
// system saving its registers).
bool WideArithmeticAvailable();

// The change of cost exactly as SearchState::CostDelta adds it up: the
// reduction there runs in two lanes (features of even and of odd index,
// each summed in order, the last of an odd count in the even lane) that
// are added at the end; this computes four terms at a time and feeds them
// to the same two lanes in the same order, so every figure is the same to
// the last bit. Only where WideArithmeticAvailable().
double CostDeltaWide(const CostRows& rows);

}  // namespace fenban::division
