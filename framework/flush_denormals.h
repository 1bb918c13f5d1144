// Flush-to-zero and denormals-are-zero for the length of one processing
// call. Feedback lines and filter states that decay in silence sink into
// subnormal numbers, which x86 processors handle in microcode at many times
// the cost of ordinary arithmetic: a reverb left running on silence would
// use far more time than on sound. A subnormal is far below anything a
// sample word can hold, so flushing it changes no output. The component runs
// on the host's thread, so the caller's floating-point state comes back on
// the way out. Elsewhere this is a no-op.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#define QUILL_FLUSH_DENORMALS_MXCSR 1
#endif

namespace quill {

class FlushDenormals {
 public:
#if defined(QUILL_FLUSH_DENORMALS_MXCSR)
  FlushDenormals() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | kFtz | kDaz);
  }
  ~FlushDenormals() {
    _mm_setcsr(saved_);
  }
#else
  FlushDenormals() = default;
#endif
  FlushDenormals(const FlushDenormals&) = delete;
  FlushDenormals& operator=(const FlushDenormals&) = delete;

 private:
#if defined(QUILL_FLUSH_DENORMALS_MXCSR)
  static constexpr unsigned kFtz = 0x8000;  // results that would be subnormal become zero
  static constexpr unsigned kDaz = 0x0040;  // subnormal operands read as zero
  unsigned saved_;
#endif
};

}  // namespace quill
