// Minimal RIFF WAVE reading and writing for the tools: integer PCM and IEEE
// float, the formats the effects take.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "include/quillfx1.h"

namespace quill {

struct WavData {
  AudioFormat format{};
  std::vector<std::uint8_t> bytes;  // interleaved frames
  std::uint32_t Frames() const { return format.blockAlign != 0 ? static_cast<std::uint32_t>(bytes.size() / format.blockAlign) : 0; }
};

// Reads a WAVE file; false with a message in `error` when it cannot.
bool ReadWav(const std::string& path, WavData& out, std::string& error);

// What a WAVE file's header says, as stored, without reading its samples.
struct WavHeader {
  std::uint32_t sampleRate = 0;
  std::uint16_t blockAlign = 0;
  bool haveData = false;
  std::uint32_t dataBytes = 0;  // what the data chunk claims to hold
};
// False unless the file is RIFF WAVE with a format chunk.
bool ReadWavHeader(const std::string& path, WavHeader& out);
// Writes a WAVE file (format tag 1 or 3, extensible headers not needed).
bool WriteWav(const std::string& path, const WavData& data, std::string& error);

AudioFormat MakeFormat(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);

}  // namespace quill
