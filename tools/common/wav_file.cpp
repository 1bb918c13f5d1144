#include "tools/common/wav_file.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

namespace quill {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}

}  // namespace

AudioFormat MakeFormat(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  AudioFormat f{};
  f.formatTag = tag;
  f.channels = channels;
  f.sampleRate = rate;
  f.bitsPerSample = bits;
  f.blockAlign = static_cast<std::uint16_t>(bits / 8 * channels);
  f.avgBytesPerSec = f.blockAlign * rate;
  return f;
}

bool ReadWav(const std::string& path, WavData& out, std::string& error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<std::uint8_t> all;
  std::uint8_t buf[65536];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, file.get())) > 0) all.insert(all.end(), buf, buf + got);
  if (all.size() < 12 || std::memcmp(all.data(), "RIFF", 4) != 0 || std::memcmp(all.data() + 8, "WAVE", 4) != 0) {
    error = path + " is not a RIFF WAVE file";
    return false;
  }
  bool haveFormat = false, haveData = false;
  std::size_t at = 12;
  while (at + 8 <= all.size()) {
    const std::uint32_t size = Le32(&all[at + 4]);
    const std::uint8_t* body = &all[at + 8];
    const std::size_t avail = all.size() - at - 8;
    if (std::memcmp(&all[at], "fmt ", 4) == 0 && size >= 16 && avail >= 16) {
      std::uint16_t tag = Le16(body);
      if (tag == 0xFFFE && size >= 40 && avail >= 40) tag = Le16(body + 24);  // extensible: sub-format
      out.format = MakeFormat(tag, Le16(body + 2), Le32(body + 4), Le16(body + 14));
      haveFormat = true;
    } else if (std::memcmp(&all[at], "data", 4) == 0) {
      const std::size_t n = size <= avail ? size : avail;
      out.bytes.assign(body, body + n);
      haveData = true;
    }
    at += 8 + size + (size & 1);
  }
  if (!haveFormat || !haveData) {
    error = path + " has no format or no data chunk";
    return false;
  }
  if (out.format.blockAlign == 0) {
    error = path + " has an unusable format";
    return false;
  }
  out.bytes.resize(out.bytes.size() / out.format.blockAlign * out.format.blockAlign);
  return true;
}

bool ReadWavHeader(const std::string& path, WavHeader& out) {
  File file(std::fopen(path.c_str(), "rb"));
  std::uint8_t head[24];
  if (!file || std::fread(head, 1, 12, file.get()) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return false;
  bool haveFormat = false;
  while (!out.haveData && std::fread(head, 1, 8, file.get()) == 8) {
    const std::uint32_t size = Le32(head + 4);
    std::uint64_t skip = std::uint64_t{size} + (size & 1);
    if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16) {
      if (std::fread(head + 8, 1, 16, file.get()) != 16) break;
      out.sampleRate = Le32(head + 12);
      out.blockAlign = Le16(head + 20);
      haveFormat = true;
      skip -= 16;
    } else if (std::memcmp(head, "data", 4) == 0) {
      out.haveData = true;
      out.dataBytes = size;
    }
    // Forward only: a chunk that claims more than a seek can take ends the walk.
    if (skip > static_cast<std::uint64_t>(LONG_MAX) || std::fseek(file.get(), static_cast<long>(skip), SEEK_CUR) != 0)
      break;
  }
  return haveFormat;
}

bool WriteWav(const std::string& path, const WavData& data, std::string& error) {
  std::vector<std::uint8_t> head;
  const auto dataBytes = static_cast<std::uint32_t>(data.bytes.size());
  head.insert(head.end(), {'R', 'I', 'F', 'F'});
  Put32(head, 36 + dataBytes + (dataBytes & 1));
  head.insert(head.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(head, 16);
  Put16(head, data.format.formatTag);
  Put16(head, data.format.channels);
  Put32(head, data.format.sampleRate);
  Put32(head, data.format.avgBytesPerSec);
  Put16(head, data.format.blockAlign);
  Put16(head, data.format.bitsPerSample);
  head.insert(head.end(), {'d', 'a', 't', 'a'});
  Put32(head, dataBytes);
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  const std::uint8_t pad = 0;
  bool ok = std::fwrite(head.data(), 1, head.size(), file.get()) == head.size() &&
            std::fwrite(data.bytes.data(), 1, data.bytes.size(), file.get()) == data.bytes.size() &&
            ((dataBytes & 1) == 0 || std::fwrite(&pad, 1, 1, file.get()) == 1);
  ok = (std::fclose(file.release()) == 0) && ok;
  if (!ok) error = "cannot write " + path;
  return ok;
}

}  // namespace quill
