#include "dsp/line_memory.h"

#include <atomic>
#include <cstdlib>

namespace quill {

namespace {

void* DefaultAlloc(std::size_t count, std::size_t size) { return std::calloc(count, size); }

std::atomic<LineAllocFn> g_alloc{&DefaultAlloc};

}  // namespace

void* AllocLine(std::size_t count, std::size_t size) { return g_alloc.load()(count, size); }

void FreeLine(void* block) { std::free(block); }

LineAllocFn SetLineAllocator(LineAllocFn fn) {
  return g_alloc.exchange(fn != nullptr ? fn : &DefaultAlloc);
}

}  // namespace quill
