#include "tools/quillfx/wav_out.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace quill {

namespace {

static_assert(std::endian::native == std::endian::little, "samples are copied to the file as they lie in memory");

constexpr std::size_t kBufferBytes = 1u << 20;
constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
constexpr std::uint32_t kDs64Bytes = 28;  // three 64-bit sizes and an empty table

void Add(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
  out.insert(out.end(), tag, tag + 4);
}

template <class T>
void Add(std::vector<std::uint8_t>& out, T value) {
  std::uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.insert(out.end(), bytes, bytes + sizeof(T));
}

}  // namespace

bool WavOut::Begin(int fd, SampleWord word, int channels, std::uint32_t rate, const std::string& name,
                   std::string& error) {
  fd_ = fd;
  word_ = word;
  channels_ = channels;
  rate_ = rate;
  name_ = name;
  dataBytes_ = 0;
  struct stat st;
  const off_t at = lseek(fd, 0, SEEK_CUR);
  const int flags = fcntl(fd, F_GETFL);
  seekable_ = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && at >= 0 && flags >= 0 && (flags & O_APPEND) == 0;
  start_ = seekable_ ? at : 0;
  buffer_.reserve(kBufferBytes);
  const std::vector<std::uint8_t> header = Header(false);
  return Put(header.data(), header.size(), error);
}

std::vector<std::uint8_t> WavOut::Header(bool rf64) const {
  const std::uint16_t bytesPerSample = word_.bits / 8;
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels_ * bytesPerSample);
  const std::uint64_t frames = dataBytes_ / blockAlign;
  const std::uint32_t fmtBytes = word_.isFloat ? 18 : 16;
  // The header's own length, for the RIFF size: it does not depend on the sizes.
  const std::uint32_t headerBytes = 12 + (seekable_ ? 8 + kDs64Bytes : 0) + 8 + fmtBytes + (word_.isFloat ? 12 : 0) + 8;
  const std::uint64_t riff = headerBytes - 8 + dataBytes_ + (dataBytes_ & 1);
  const bool known = seekable_ && !rf64;

  std::vector<std::uint8_t> h;
  Add(h, rf64 ? "RF64" : "RIFF");
  Add(h, known ? static_cast<std::uint32_t>(riff) : kUnknown);
  Add(h, "WAVE");
  if (seekable_) {
    Add(h, rf64 ? "ds64" : "JUNK");
    Add(h, kDs64Bytes);
    Add(h, rf64 ? riff : std::uint64_t{0});
    Add(h, rf64 ? dataBytes_ : std::uint64_t{0});
    Add(h, rf64 ? frames : std::uint64_t{0});
    Add(h, std::uint32_t{0});
  }
  Add(h, "fmt ");
  Add(h, fmtBytes);
  Add(h, static_cast<std::uint16_t>(word_.isFloat ? 3 : 1));
  Add(h, static_cast<std::uint16_t>(channels_));
  Add(h, rate_);
  Add(h, rate_ * blockAlign);
  Add(h, blockAlign);
  Add(h, word_.bits);
  if (word_.isFloat) {
    Add(h, std::uint16_t{0});
    // Formats other than integer PCM carry their length in frames.
    Add(h, "fact");
    Add(h, std::uint32_t{4});
    Add(h, known && frames <= kUnknown ? static_cast<std::uint32_t>(frames) : kUnknown);
  }
  Add(h, "data");
  Add(h, known ? static_cast<std::uint32_t>(dataBytes_) : kUnknown);
  return h;
}

bool WavOut::Put(const std::uint8_t* bytes, std::size_t count, std::string& error) {
  while (count > 0) {
    const ssize_t n = ::write(fd_, bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = "writing " + name_ + ": " + std::strerror(errno);
      return false;
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WavOut::Flush(std::string& error) {
  const bool ok = Put(buffer_.data(), buffer_.size(), error);
  buffer_.clear();
  return ok;
}

bool WavOut::Write(const std::uint8_t* bytes, std::size_t count, std::string& error) {
  dataBytes_ += count;
  if (buffer_.size() + count > kBufferBytes && !Flush(error)) return false;
  // Large blocks go straight to the file instead of through the buffer.
  if (count >= kBufferBytes) return Put(bytes, count, error);
  buffer_.insert(buffer_.end(), bytes, bytes + count);
  return true;
}

bool WavOut::WriteInts(const std::int32_t* samples, std::size_t count, std::string& error) {
  const std::size_t width = word_.bits / 8;
  encoded_.resize(count * width);
  std::uint8_t* out = encoded_.data();
  switch (word_.bits) {
    case 8:
      for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(samples[i] + 0x80);
      break;
    case 16:
      for (std::size_t i = 0; i < count; ++i) {
        const auto s = static_cast<std::int16_t>(samples[i]);
        std::memcpy(out + 2 * i, &s, 2);
      }
      break;
    case 24:
      for (std::size_t i = 0; i < count; ++i) std::memcpy(out + 3 * i, &samples[i], 3);
      break;
    default:
      std::memcpy(out, samples, count * 4);
      break;
  }
  return Write(out, encoded_.size(), error);
}

bool WavOut::WriteDoubles(const double* samples, std::size_t count, std::string& error) {
  if (word_.bits == 64) return Write(reinterpret_cast<const std::uint8_t*>(samples), count * sizeof(double), error);
  encoded_.resize(count * sizeof(float));
  for (std::size_t i = 0; i < count; ++i) {
    const auto f = static_cast<float>(samples[i]);
    std::memcpy(encoded_.data() + 4 * i, &f, 4);
  }
  return Write(encoded_.data(), encoded_.size(), error);
}

bool WavOut::Finish(bool& rf64, std::string& error) {
  rf64 = false;
  if (!Flush(error)) return false;
  // On a stream the sizes cannot be given, and a pad byte would read as a sample.
  if (!seekable_) return true;
  const std::uint8_t pad = 0;
  if ((dataBytes_ & 1) != 0 && !Put(&pad, 1, error)) return false;
  const std::vector<std::uint8_t> small = Header(false);
  rf64 = small.size() - 8 + dataBytes_ + (dataBytes_ & 1) > kRiffLimit;
  const std::vector<std::uint8_t> header = rf64 ? Header(true) : small;
  if (pwrite(fd_, header.data(), header.size(), start_) != static_cast<ssize_t>(header.size())) {
    error = "writing the header of " + name_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace quill
