// Sound files through libsndfile, read and written in the effects' own
// sample layout (interleaved frames of one sample kind, 8-bit unsigned).
// Samples reach the engines exactly as stored when the kind allows it; any
// other conversion keeps the level (full scale is full scale in every word)
// and says what it did.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/audio_format.h"
#include "tools/quillfx/output_file.h"
#include "tools/quillfx/sample_words.h"

struct sf_private_tag;

namespace quill {

class WavOut;

// "pcm8", "pcm16", "pcm32", "float", "double"; none for another text.
std::optional<SampleKind> ParseKind(const std::string& text);
const char* KindName(SampleKind kind);

class SoundReader {
 public:
  SoundReader() = default;
  SoundReader(const SoundReader&) = delete;
  SoundReader& operator=(const SoundReader&) = delete;
  ~SoundReader();

  // Opens `path` for reading only and settles the kind to process:
  // `processAs` when given; else the file's own word when the effects take
  // it (8-, 16-, 32-bit integer, 32-, 64-bit float); else 32-bit integer for
  // wider integer words (24-bit: exact); else 32-bit float. A conversion to
  // a shorter integer word rounds to nearest, with triangular dither when
  // `dither` is set, and clamps at full scale. More than two channels are
  // refused.
  bool Open(const std::string& path, std::optional<SampleKind> processAs, bool dither, std::string& error);

  const AudioFormat& Format() const { return format_; }
  SampleKind Kind() const { return kind_; }
  std::int64_t Frames() const { return frames_; }  // -1 when the file does not say
  // The frames a WAVE header claims when the file holds fewer (Frames()); -1 otherwise.
  std::int64_t ClaimedFrames() const { return claimed_; }
  // What the file holds: its word (bits 0 for coded data) and, for messages,
  // "WAV, 24-bit PCM".
  SampleWord FileWord() const { return fileWord_; }
  const std::string& Description() const { return description_; }
  // "32-bit float converted to 16-bit integer, dithered"; empty when every
  // sample reaches the engines with its value unchanged.
  const std::string& ConversionNote() const { return note_; }
  // Samples clamped at full scale so far (or not numbers), by a conversion
  // to integers.
  std::uint64_t Clipped() const;

  // Up to `frames` frames into `out` (room for them); the count read, 0 at
  // the end, -1 on a read error (message in `error`).
  std::int64_t Read(std::uint8_t* out, std::uint32_t frames, std::string& error);

 private:
  sf_private_tag* file_ = nullptr;
  AudioFormat format_{};
  SampleKind kind_ = SampleKind::Pcm16;
  SampleWord fileWord_{};
  std::int64_t frames_ = -1;
  std::int64_t claimed_ = -1;
  std::string description_;
  std::string note_;
  std::string path_;
  std::optional<Quantizer> quantizer_;  // set when reading through doubles
  std::vector<double> doubles_;
  std::vector<std::int32_t> ints_;
  std::vector<short> shorts_;
};

// The output's container and sample word, as asked on the command line.
struct OutputRequest {
  std::string type;              // container name; empty: from the extension (WAV for "-")
  std::optional<unsigned> bits;  // 8, 16, 24, 32, 64
  std::optional<bool> isFloat;   // encoding: float or signed integer
  bool dither = true;            // on every reduction of word length
};

// Whether -b and -e name a word a file can hold (8, 16, 24, 32-bit integer;
// 32, 64-bit float); false with a message otherwise.
bool CheckWordRequest(std::optional<unsigned> bits, std::optional<bool> isFloat, std::string& error);

class SoundWriter {
 public:
  SoundWriter();
  SoundWriter(const SoundWriter&) = delete;
  SoundWriter& operator=(const SoundWriter&) = delete;
  // Without Commit, the same as Abandon.
  ~SoundWriter();

  // Prepares to write frames of `format` (the processing kind) to `path`:
  // "-" is standard output; a device or FIFO is written as a stream; any
  // other path gets a temporary file beside it, which Commit renames over
  // it. The word written is the request's; else `inputWord` when the
  // container holds it; else the processing kind's. Shortening the word
  // dithers (unless the request says not to) and clamps at full scale. A
  // container that cannot hold the word, or a stream of a type that cannot
  // be streamed, is refused with a message saying what can.
  bool Open(const std::string& path, const OutputRequest& request, const AudioFormat& format,
            std::optional<SampleWord> inputWord, std::string& error);

  SampleWord Word() const { return word_; }  // bits 0 for coded data (Vorbis, MP3)
  // "32-bit integer converted to 24-bit integer, dithered"; empty when every
  // sample is written with the value the engines left.
  const std::string& ConversionNote() const { return note_; }
  // Samples clamped at full scale so far (or not numbers) on the way to an
  // integer word.
  std::uint64_t Clipped() const;

  bool Write(const std::uint8_t* frames, std::uint32_t count, std::string& error);

  // Finishes the file and puts it in place; false with a message (and
  // nothing left behind) if that failed.
  bool Commit(std::string& error);
  // After Commit, something the user should know: "over 4 GiB: written as RF64".
  const std::string& CommitNote() const { return commitNote_; }
  // Drops the output: a temporary file is removed and an earlier file at the
  // path is left as it was. What went to a stream stays there.
  void Abandon();

 private:
  enum class Path { Direct, Widen, Quantize, Doubles };

  bool Emit(const std::int32_t* ints, std::size_t samples, std::string& error);
  bool Emit(const double* samples, std::size_t count, std::string& error);
  void CloseAll();

  OutputFile file_;
  int fd_ = -1;
  int ownedFd_ = -1;  // a device or FIFO opened here
  sf_private_tag* sf_ = nullptr;
  std::unique_ptr<WavOut> wav_;
  AudioFormat format_{};
  SampleKind kind_ = SampleKind::Pcm16;
  SampleWord word_{};
  Path path_ = Path::Direct;
  std::optional<Quantizer> quantizer_;
  std::string name_;
  std::string note_;
  std::string commitNote_;
  std::vector<double> doubles_;
  std::vector<std::int32_t> ints_;
  std::vector<short> shorts_;
};

}  // namespace quill
