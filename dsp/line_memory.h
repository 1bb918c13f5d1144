// Zero-filled memory for delay lines and filter state. Allocation goes
// through a replaceable function so that tests can make it fail.
#pragma once

#include <cstddef>

namespace quill {

using LineAllocFn = void* (*)(std::size_t count, std::size_t size);

// Zero-filled block of count * size bytes, or null.
void* AllocLine(std::size_t count, std::size_t size);
void FreeLine(void* block);

// Replaces the allocator (null restores the default); returns the previous one.
LineAllocFn SetLineAllocator(LineAllocFn fn);

}  // namespace quill
