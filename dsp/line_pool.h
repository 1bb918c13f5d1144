// A private pool for one engine's delay lines. Memory comes from the line
// allocator in chunks (the first one when the pool is made, more only when
// a set-up needs them) and is handed out zero-filled. An engine that rebuilds
// gives every line back at once with Reset and then takes its new lines; the
// first chunk stays for the next rebuild, the rest go back straight away so
// a large line does not stay held after a smaller set-up replaced it.
// One streaming thread owns the pool, so it takes no lock.
#pragma once

#include <cstddef>

namespace quill {

class LinePool {
 public:
  // Valid() is false if the first chunk could not be had.
  explicit LinePool(std::size_t initialBytes);
  ~LinePool();
  LinePool(const LinePool&) = delete;
  LinePool& operator=(const LinePool&) = delete;

  bool Valid() const { return first_ != nullptr; }

  // count zero-filled doubles, 16-byte aligned; null if the allocator fails
  // or the size cannot be represented. The block lives until Reset.
  double* AllocDoubles(std::size_t count);

  // [streaming start] Takes back every block and makes the first chunk hold
  // at least `bytes` (as BytesFor counts blocks), so that set-ups up to that
  // size take nothing new; a pool without a first chunk gets one. False if
  // the memory could not be had; the pool keeps its chunk.
  bool Reserve(std::size_t bytes);

  // What AllocDoubles(count) takes from a chunk.
  static std::size_t BytesFor(std::size_t count);

  // Takes back every block handed out; keeps only the first chunk.
  void Reset();

  std::size_t ChunkCount() const;
  std::size_t BytesHeld() const;

 private:
  struct Chunk;
  Chunk* NewChunk(std::size_t dataBytes);

  std::size_t initialBytes_;
  Chunk* first_ = nullptr;
};

}  // namespace quill
