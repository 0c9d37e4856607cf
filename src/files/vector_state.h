// ISA-L's inflate, deflate and CRC routines use AVX2/AVX-512 and may return
// with the upper halves of the vector registers still in use. Until a
// vzeroupper, every later SSE instruction (all scalar double arithmetic in
// the rest of the program, e.g. the balance search) pays a transition or
// false-dependency penalty on Intel processors: the refinement of 2,000
// students ran twice as long after a workbook had been read with ISA-L.
#pragma once

namespace fenban::files {

// Marks the upper vector state clean again (vzeroupper) where the processor
// has AVX; does nothing elsewhere.
inline void ClearUpperVectorState() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  static const bool avx = __builtin_cpu_supports("avx");
  if (avx) __asm__ volatile("vzeroupper" ::: "memory");
#endif
}

}  // namespace fenban::files
