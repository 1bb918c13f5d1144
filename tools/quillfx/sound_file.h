// Sound files through libsndfile, read and written in the effects' own
// sample layout (interleaved frames of one sample kind, 8-bit unsigned), so
// that the samples reach the engines exactly as stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/audio_format.h"

struct sf_private_tag;

namespace quill {

// "pcm8", "pcm16", "pcm32", "float", "double"; none for another text.
std::optional<SampleKind> ParseKind(const std::string& text);
const char* KindName(SampleKind kind);

class SoundReader {
 public:
  SoundReader() = default;
  SoundReader(const SoundReader&) = delete;
  SoundReader& operator=(const SoundReader&) = delete;
  ~SoundReader();

  // Opens `path` and settles the kind to process: the file's own when it
  // is one the effects take, else `convertTo`, else an error that says what
  // the file holds and what to do. More than two channels are refused.
  bool Open(const std::string& path, std::optional<SampleKind> convertTo, std::string& error);

  const AudioFormat& Format() const { return format_; }
  SampleKind Kind() const { return kind_; }
  std::int64_t Frames() const { return frames_; }  // -1 when the file does not say
  // What the file holds, for messages: "WAV, 24-bit PCM".
  const std::string& Description() const { return description_; }
  bool Converted() const { return converted_; }

  // Up to `frames` frames into `out` (room for them); the count read, 0 at
  // the end, -1 on a read error (message in `error`).
  std::int64_t Read(std::uint8_t* out, std::uint32_t frames, std::string& error);

 private:
  sf_private_tag* file_ = nullptr;
  AudioFormat format_{};
  SampleKind kind_ = SampleKind::Pcm16;
  std::int64_t frames_ = -1;
  std::string description_;
  bool converted_ = false;
  std::string path_;
};

class SoundWriter {
 public:
  SoundWriter() = default;
  SoundWriter(const SoundWriter&) = delete;
  SoundWriter& operator=(const SoundWriter&) = delete;
  ~SoundWriter();

  // Creates `path` as a file of `type` (a container name such as "wav",
  // "flac", "aiff", "ogg"; empty: from the path's extension) holding
  // samples of `format`'s kind. Refuses, with a message, a container that
  // cannot hold that kind unchanged; compressed containers (Ogg, Opus, MP3)
  // encode, which their names ask for.
  bool Open(const std::string& path, const std::string& type, const AudioFormat& format, std::string& error);

  bool Write(const std::uint8_t* frames, std::uint32_t count, std::string& error);
  // Finishes the file; false with a message if that failed.
  bool Close(std::string& error);

 private:
  sf_private_tag* file_ = nullptr;
  AudioFormat format_{};
  SampleKind kind_ = SampleKind::Pcm16;
  std::string path_;
};

}  // namespace quill
