#include "dsp/line_pool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dsp/line_memory.h"

namespace quill {

// The header sits at the start of each chunk's memory; data follows it.
struct LinePool::Chunk {
  Chunk* next;
  std::size_t size;  // data bytes
  std::size_t used;  // data bytes handed out since the last Reset
  std::size_t pad;   // keeps the data 16-byte aligned
  unsigned char* Data() { return reinterpret_cast<unsigned char*>(this + 1); }
};

namespace {
constexpr std::size_t kAlign = 16;
}

LinePool::LinePool(std::size_t initialBytes) : initialBytes_(initialBytes) {
  first_ = NewChunk(initialBytes > sizeof(Chunk) ? initialBytes - sizeof(Chunk) : kAlign);
}

LinePool::~LinePool() {
  Reset();
  FreeLine(first_);
}

LinePool::Chunk* LinePool::NewChunk(std::size_t dataBytes) {
  static_assert(sizeof(Chunk) % kAlign == 0, "data stays 16-byte aligned");
  void* block = AllocLine(sizeof(Chunk) + dataBytes, 1);
  if (block == nullptr) return nullptr;
  auto* chunk = static_cast<Chunk*>(block);
  chunk->next = nullptr;
  chunk->size = dataBytes;
  chunk->used = 0;
  return chunk;
}

std::size_t LinePool::BytesFor(std::size_t count) {
  return (count * sizeof(double) + kAlign - 1) / kAlign * kAlign;
}

bool LinePool::Reserve(std::size_t bytes) {
  Reset();
  if (first_ != nullptr && first_->size >= bytes) return true;
  // Also makes the first chunk of a pool that could not have one when it was made.
  Chunk* bigger = NewChunk(std::max<std::size_t>((bytes + kAlign - 1) / kAlign * kAlign, kAlign));
  if (bigger == nullptr) return false;
  FreeLine(first_);
  first_ = bigger;
  return true;
}

double* LinePool::AllocDoubles(std::size_t count) {
  if (first_ == nullptr) return nullptr;
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max() / 2;
  if (count == 0 || count > kMax / sizeof(double)) return nullptr;
  const std::size_t bytes = BytesFor(count);

  Chunk* last = nullptr;
  for (Chunk* c = first_; c != nullptr; c = c->next) {
    if (c->size - c->used >= bytes) {
      unsigned char* p = c->Data() + c->used;
      c->used += bytes;
      // Blocks are reused across rebuilds, so clear what the last lines left.
      std::memset(p, 0, bytes);
      return reinterpret_cast<double*>(p);
    }
    last = c;
  }
  Chunk* grown = NewChunk(bytes > initialBytes_ ? bytes : initialBytes_);
  if (grown == nullptr) return nullptr;
  last->next = grown;
  grown->used = bytes;
  // A fresh chunk is zero-filled already; leaving it untouched also keeps a
  // large line from being paged in before it is used.
  return reinterpret_cast<double*>(grown->Data());
}

void LinePool::Reset() {
  if (first_ == nullptr) return;
  Chunk* c = first_->next;
  while (c != nullptr) {
    Chunk* next = c->next;
    FreeLine(c);
    c = next;
  }
  first_->next = nullptr;
  first_->used = 0;
}

std::size_t LinePool::ChunkCount() const {
  std::size_t n = 0;
  for (const Chunk* c = first_; c != nullptr; c = c->next) ++n;
  return n;
}

std::size_t LinePool::BytesHeld() const {
  std::size_t n = 0;
  for (const Chunk* c = first_; c != nullptr; c = c->next) n += sizeof(Chunk) + c->size;
  return n;
}

}  // namespace quill
