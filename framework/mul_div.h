#pragma once

#include <cstdint>

namespace quill {

// a * b / c with a 64-bit intermediate, rounded half away from zero, as the
// platform's MulDiv: -1 when c is 0 or the result does not fit 32 bits.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

}  // namespace quill
