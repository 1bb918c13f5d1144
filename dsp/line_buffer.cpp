#include "dsp/line_buffer.h"

#include <algorithm>
#include <cstring>

#include "dsp/line_memory.h"

namespace quill {

bool LineBuffer::Replace(std::size_t bytes) {
  void* block = AllocLine(bytes, 1);
  if (block == nullptr) return false;
  FreeLine(data_);
  data_ = block;
  capacity_ = bytes;
  written_ = 0;
  return true;
}

bool LineBuffer::Reserve(std::size_t bytes) {
  bytes = std::min(bytes, kLineReserveCap);
  if (bytes <= capacity_ && data_ != nullptr) return true;
  return Replace(std::max<std::size_t>(bytes, 16));
}

void* LineBuffer::Zeroed(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (data_ == nullptr || bytes > capacity_) {
    // A fresh block is zero-filled, and left untouched so that a large
    // line is not paged in before it is used.
    if (!Replace(bytes)) return nullptr;
  } else {
    std::memset(data_, 0, std::min(bytes, written_));
  }
  written_ = std::max(written_, bytes);
  return data_;
}

void LineBuffer::Release() {
  FreeLine(data_);
  data_ = nullptr;
  capacity_ = 0;
  written_ = 0;
}

}  // namespace quill
