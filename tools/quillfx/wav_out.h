// WAV output written here rather than by libsndfile, for two things it does
// not do: a file that outgrows the 4 GiB a RIFF header can count becomes
// RF64 in place, and a stream (a pipe) gets a header whose sizes say
// "unknown", as other tools write it, instead of being refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/quillfx/sample_words.h"

namespace quill {

class WavOut {
 public:
  // Starts a WAV of `word` samples on `fd`, which stays the caller's. On a
  // seekable file the header keeps room for RF64's 64-bit sizes (as a JUNK
  // chunk, which every reader skips) and Finish fills in the sizes; on a pipe
  // or an appending file the sizes stay "unknown".
  bool Begin(int fd, SampleWord word, int channels, std::uint32_t rate, const std::string& name, std::string& error);

  // Samples already in the file's encoding (little-endian; 8-bit offset).
  bool Write(const std::uint8_t* bytes, std::size_t count, std::string& error);
  // Integers of the file's width, or full-scale doubles for a float file.
  bool WriteInts(const std::int32_t* samples, std::size_t count, std::string& error);
  bool WriteDoubles(const double* samples, std::size_t count, std::string& error);

  // Writes what is buffered and, where it can, the sizes. `rf64` tells
  // whether the file went past 4 GiB and so became RF64.
  bool Finish(bool& rf64, std::string& error);

  // The largest RIFF size field; a file whose size beyond the first 8 bytes
  // is larger becomes RF64.
  static constexpr std::uint64_t kRiffLimit = 0xFFFFFFFFu;

 private:
  bool Flush(std::string& error);
  bool Put(const std::uint8_t* bytes, std::size_t count, std::string& error);
  std::vector<std::uint8_t> Header(bool rf64) const;

  int fd_ = -1;
  bool seekable_ = false;
  std::int64_t start_ = 0;  // where the header begins in the file
  SampleWord word_{};
  int channels_ = 0;
  std::uint32_t rate_ = 0;
  std::uint64_t dataBytes_ = 0;
  std::string name_;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::uint8_t> encoded_;
};

}  // namespace quill
