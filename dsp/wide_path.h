// Whether the 256-bit vector loops can run. They are built only for x86-64
// outside Windows: the Windows compilers do not keep the stack aligned for
// 256-bit spills, so there the portable loops run. The wide loops do the same
// double operations in the same order as the portable ones, only four at a
// time, and never enable FMA (which would fuse a product and a sum into one
// rounding).
#pragma once

#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#define QUILL_WIDE_PATH 1
#define QUILL_WIDE __attribute__((target("avx2")))
#else
#define QUILL_WIDE_PATH 0
#endif

namespace quill {

// [any thread] True when this build has the wide loops and the processor runs them.
inline bool WidePathRuns() {
#if QUILL_WIDE_PATH
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

}  // namespace quill
