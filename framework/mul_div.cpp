#include "framework/mul_div.h"

#include <cstdlib>
#include <limits>

namespace quill {

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  const std::uint64_t num = static_cast<std::uint64_t>(std::llabs(product));
  const std::uint64_t den = static_cast<std::uint64_t>(std::llabs(static_cast<std::int64_t>(c)));
  const std::uint64_t q = (num + den / 2) / den;
  if (q > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return -1;
  return negative ? -static_cast<std::int32_t>(q) : static_cast<std::int32_t>(q);
}

}  // namespace quill
