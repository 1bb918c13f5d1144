// One block of line memory that an engine keeps across its set-ups. The
// stream's start reserves what the largest set-up its format allows can
// need; every set-up after that, on the streaming thread, takes its memory
// from the block and allocates nothing.
#pragma once

#include <cstddef>

namespace quill {

// What a reservation holds back at most. Only rates no real stream has ask
// for more; the set-ups that need more then take it when they are made.
inline constexpr std::size_t kLineReserveCap = std::size_t{64} << 20;

class LineBuffer {
 public:
  LineBuffer() = default;
  ~LineBuffer() { Release(); }
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  // Holds at least `bytes` (up to kLineReserveCap: a larger wish holds that
  // much), keeping what it holds when that is enough. False if the memory
  // could not be had; what was held stays.
  bool Reserve(std::size_t bytes);

  // `bytes` of zeros, 16-byte aligned, from what is held when it is enough
  // (only what earlier users may have written is cleared), else from a new
  // block; null if that cannot be had, and what was held stays.
  void* Zeroed(std::size_t bytes);

  // Gives the memory back.
  void Release();

  std::size_t Capacity() const { return capacity_; }
  // What is held, as it is (null when nothing is).
  void* Data() const { return data_; }

 private:
  bool Replace(std::size_t bytes);

  void* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t written_ = 0;  // bytes handed out since the block was last all zero
};

}  // namespace quill
