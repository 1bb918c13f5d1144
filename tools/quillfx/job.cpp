#include "tools/quillfx/job.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "tools/quillfx/sound_file.h"

namespace quill {

namespace {

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
  return text;
}

std::string Clock(double seconds) {
  const long long centi = static_cast<long long>(seconds * 100.0 + 0.5);
  char text[40];
  std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", centi / 6000, centi / 100 % 60, centi % 100);
  return text;
}

// The progress line on standard error, redrawn at most five times a second.
class Progress {
 public:
  Progress(bool on, double rate, std::int64_t totalFrames) : on_(on), rate_(rate), total_(totalFrames) {}

  // A line is on the screen without its newline.
  bool Shown() const { return drawn_; }

  void Update(std::uint64_t in, std::uint64_t out, std::uint64_t clipped, bool last) {
    if (!on_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - shown_ < std::chrono::milliseconds(200)) return;
    shown_ = now;
    drawn_ = !last;
    std::string line = "\rquillfx: ";
    char text[64];
    if (total_ > 0) {
      std::snprintf(text, sizeof text, "%5.1f %% ",
                    std::min(100.0, 100.0 * static_cast<double>(in) / static_cast<double>(total_)));
      line += text;
      line += " in " + Clock(in / rate_) + " of " + Clock(total_ / rate_);
    } else {
      line += "in " + Clock(in / rate_);
    }
    std::snprintf(text, sizeof text, "  out %s  clipped %llu ", Clock(out / rate_).c_str(),
                  static_cast<unsigned long long>(clipped));
    line += text;
    std::fputs(line.c_str(), stderr);
    if (last) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  bool on_;
  double rate_;
  std::int64_t total_;
  std::chrono::steady_clock::time_point shown_{};
  bool drawn_ = false;
};

// Watches the chain's output: its peak, and how many frames at its end lie
// below the quiet level.
class OutputWatch {
 public:
  // -96 dBFS: below a 16-bit step, so 16-bit output must reach zero.
  static constexpr double kQuiet = 1.5848931924611134e-5;

  explicit OutputWatch(const AudioFormat& format) : kind_(*SampleKindOf(format)), channels_(format.channels) {}

  void See(const std::uint8_t* data, std::uint32_t frames) {
    switch (kind_) {
      case SampleKind::Pcm8:
        return ScanInts<std::uint8_t>(data, frames, 128.0, 128);
      case SampleKind::Pcm16:
        return ScanInts<std::int16_t>(data, frames, 32768.0);
      case SampleKind::Pcm32:
        return ScanInts<std::int32_t>(data, frames, 2147483648.0);
      case SampleKind::Float32:
        return ScanFloats<float, std::int32_t>(data, frames);
      case SampleKind::Float64:
        return ScanFloats<double, std::int64_t>(data, frames);
    }
  }

  double Peak() const { return peak_; }
  std::uint64_t QuietRun() const { return quietRun_; }

 private:
  template <class T>
  static T Load(const std::uint8_t* data, std::size_t i) {
    T s;
    std::memcpy(&s, data + i * sizeof(T), sizeof(T));
    return s;
  }

  // Integer kinds: the largest magnitude comes from the block's extremes,
  // found in the sample's own width. An integer distance from the zero is
  // above the quiet level exactly when it is above the level's whole part.
  template <class T>
  void ScanInts(const std::uint8_t* data, std::uint32_t frames, double fullScale, int zero = 0) {
    const std::size_t n = static_cast<std::size_t>(frames) * channels_;
    T lo = std::numeric_limits<T>::max(), hi = std::numeric_limits<T>::min();
    for (std::size_t i = 0; i < n; ++i) {
      const T s = Load<T>(data, i);
      lo = s < lo ? s : lo;
      hi = s > hi ? s : hi;
    }
    const std::int64_t loudest = std::max<std::int64_t>({0, std::int64_t{hi} - zero, zero - std::int64_t{lo}});
    peak_ = std::max(peak_, static_cast<double>(loudest) / fullScale);
    const auto steps = static_cast<std::int64_t>(kQuiet * fullScale);
    const auto quietLo = static_cast<T>(zero - steps), quietHi = static_cast<T>(zero + steps);
    std::size_t end = n;
    while (end > 0) {
      const T s = Load<T>(data, end - 1);
      if (s < quietLo || s > quietHi) break;
      --end;
    }
    CountQuiet(frames, end);
  }

  // Float kinds, on the bit patterns with the sign cleared (I is the
  // signed integer of the float's width): these order as the magnitudes
  // do, and every NaN lies above infinity, so it counts as the loudest.
  template <class F, class I>
  void ScanFloats(const std::uint8_t* data, std::uint32_t frames) {
    constexpr I kMagnitude = std::numeric_limits<I>::max();
    const std::size_t n = static_cast<std::size_t>(frames) * channels_;
    I hi = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const I m = Load<I>(data, i) & kMagnitude;
      hi = m > hi ? m : hi;
    }
    const I infinity = std::bit_cast<I>(std::numeric_limits<F>::infinity());
    peak_ = std::max(peak_, hi > infinity ? HUGE_VAL : static_cast<double>(std::bit_cast<F>(hi)));
    // The largest F not above the level: a magnitude above it is above the level.
    F level = static_cast<F>(kQuiet);
    if (level > kQuiet) level = std::nextafter(level, F{0});
    const I quiet = std::bit_cast<I>(level);
    std::size_t end = n;
    while (end > 0 && (Load<I>(data, end - 1) & kMagnitude) <= quiet) --end;
    CountQuiet(frames, end);
  }

  // `loudEnd` is one past the last sample above the quiet level, 0 for none.
  void CountQuiet(std::uint32_t frames, std::size_t loudEnd) {
    if (loudEnd == 0)
      quietRun_ += frames;
    else
      quietRun_ = frames - 1 - (loudEnd - 1) / channels_;
  }

  SampleKind kind_;
  std::uint32_t channels_;
  double peak_ = 0.0;
  std::uint64_t quietRun_ = 0;
};

}  // namespace

bool BuildChain(const std::vector<EffectRequest>& requests, std::uint32_t block, std::vector<ChainLink>& links,
                std::string& error, int& status) {
  links.clear();
  for (const EffectRequest& r : requests) {
    ChainLink link;
    link.effect = r.effect;
    link.stage = r.effect->create(block);
    const std::string name = r.effect->catalog->name;
    if (!r.preset.empty()) {
      const HRESULT hr = ApplyPresetArg(link.stage->Presets(), r.preset, link.presetName);
      if (hr == E_INVALIDARG) {
        std::vector<std::string> names;
        PresetNames(link.stage->Presets(), names);
        error = NoPresetText(*r.effect->catalog, names, r.preset,
                             std::string("quillfx --presets ") + r.effect->catalog->alias);
        status = kExitUsage;
        return false;
      }
      if (FAILED(hr)) {
        error = name + ": applying preset " + r.preset + " failed, " + Hex(hr);
        status = kExitProcessing;
        return false;
      }
    }
    std::vector<FieldEdit> notable;
    std::string step;
    const HRESULT hr = ApplyFieldEdits(*r.effect->catalog, link.stage->Params(), r.edits, notable, step);
    if (FAILED(hr)) {
      error = name + ": " + step + " failed, " + Hex(hr);
      status = kExitProcessing;
      return false;
    }
    // Values are checked against their ranges before they get here; an
    // effect that still changes one is a fault worth stopping for.
    if (!notable.empty()) {
      error = name + ": " + NotableText(notable.front());
      status = kExitUsage;
      return false;
    }
    links.push_back(std::move(link));
  }
  return true;
}

JobResult RunJob(const RunOptions& options, const std::string& input, const std::string& output, bool progress) {
  const auto started = std::chrono::steady_clock::now();
  JobResult job;
  job.input = input;
  job.output = output;
  const auto finish = [&](int status, std::string error) {
    job.status = status;
    job.error = std::move(error);
    job.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return job;
  };

  std::vector<ChainLink> links;
  std::string error;
  int status = 0;
  if (!BuildChain(options.effects, options.block, links, error, status)) return finish(status, error);

  SoundReader reader;
  if (!reader.Open(input, options.kind, options.dither, error)) return finish(kExitInput, error);
  if (reader.ClaimedFrames() >= 0)
    job.warnings.push_back(input + " is cut short: its header claims " + std::to_string(reader.ClaimedFrames()) +
                           " frames, the file holds " + std::to_string(reader.Frames()) + "; processing those");
  const AudioFormat format = reader.Format();
  job.sampleRate = format.sampleRate;
  job.channels = format.channels;
  job.kind = KindName(reader.Kind());

  SoundWriter writer;
  const OutputRequest request{options.type, options.word.bits, options.word.isFloat, options.dither};
  if (!writer.Open(output, request, format, reader.FileWord(), error)) return finish(kExitOutput, error);
  job.word = WordText(writer.Word());
  Progress meter(progress, format.sampleRate, reader.Frames());
  // A failed run leaves no half-written output behind, and an earlier file
  // at the output's path as it was.
  const auto fail = [&](int status, const std::string& message) {
    if (meter.Shown()) std::fputc('\n', stderr);
    writer.Abandon();
    return finish(status, message);
  };

  OutputWatch watch(format);
  bool writeFailed = false;
  Chain chain(links, [&](std::uint8_t* data, std::uint32_t frames) -> HRESULT {
    watch.See(data, frames);
    if (!writer.Write(data, frames, error)) {
      writeFailed = true;
      return E_FAIL;
    }
    job.framesOut += frames;
    return S_OK;
  });
  std::string failed;
  HRESULT hr = chain.Start(&format, failed);
  if (FAILED(hr)) return fail(kExitProcessing, failed + ": streaming start failed, " + Hex(hr));

  const std::size_t blockBytes = static_cast<std::size_t>(options.block) * format.blockAlign;
  std::vector<std::uint8_t> buffer(blockBytes);
  const auto feed = [&](std::uint32_t frames) -> int {
    hr = chain.Feed(buffer.data(), frames, failed);
    if (writeFailed) return kExitOutput;
    if (FAILED(hr)) {
      error = failed + ": processing failed, " + Hex(hr);
      return kExitProcessing;
    }
    meter.Update(job.framesIn + job.padFrames + job.quietFrames, job.framesOut, chain.Clipped(), false);
    return 0;
  };
  for (;;) {
    const std::int64_t got = reader.Read(buffer.data(), options.block, error);
    if (got < 0) return fail(kExitInput, error);
    if (got == 0) break;
    job.framesIn += static_cast<std::uint64_t>(got);
    if (const int s = feed(static_cast<std::uint32_t>(got))) return fail(s, error);
  }

  // Silence after the input: the zero of the processing kind, refilled
  // before each block since the in-place effects write into it.
  const std::uint8_t zero = reader.Kind() == SampleKind::Pcm8 ? 0x80 : 0x00;
  const auto silence = [&](std::uint32_t frames) {
    std::memset(buffer.data(), zero, static_cast<std::size_t>(frames) * format.blockAlign);
    return feed(frames);
  };
  const auto padTotal = static_cast<std::uint64_t>(std::llround(options.padSeconds * format.sampleRate));
  while (job.padFrames < padTotal) {
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(options.block, padTotal - job.padFrames));
    job.padFrames += n;
    if (const int s = silence(n)) return fail(s, error);
  }
  if (options.tailAuto) {
    const auto quietNeeded = static_cast<std::uint64_t>(std::ceil(0.1 * format.sampleRate));
    const auto cap = static_cast<std::uint64_t>(std::llround(options.tailCapSeconds * format.sampleRate));
    while (watch.QuietRun() < quietNeeded) {
      if (job.quietFrames >= cap) {
        job.tailCapped = true;
        break;
      }
      const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(options.block, cap - job.quietFrames));
      job.quietFrames += n;
      if (const int s = silence(n)) return fail(s, error);
    }
  }

  hr = chain.Finish(failed);
  if (writeFailed) return fail(kExitOutput, error);
  if (FAILED(hr)) return fail(kExitProcessing, failed + ": the end of the stream failed, " + Hex(hr));
  if (!writer.Commit(error)) return fail(kExitOutput, error);
  meter.Update(job.framesIn + job.padFrames + job.quietFrames, job.framesOut, chain.Clipped(), true);

  for (const std::string* note : {&reader.ConversionNote(), &writer.ConversionNote(), &writer.CommitNote()})
    if (!note->empty()) job.notes.push_back(*note);
  if (reader.Clipped() > 0)
    job.notes.push_back(std::to_string(reader.Clipped()) + " input samples clipped at full scale by the conversion");
  if (writer.Clipped() > 0)
    job.notes.push_back(std::to_string(writer.Clipped()) + " output samples clipped at full scale by the conversion");
  job.convertClipped = reader.Clipped() + writer.Clipped();
  if (job.tailCapped)
    job.notes.push_back("the output was still above -96 dBFS after " + Clock(options.tailCapSeconds) +
                        " of added silence (--tail-cap)");
  for (const ChainLink& link : links)
    if (link.cleared > 0)
      job.notes.push_back(std::string(link.effect->catalog->name) +
                          ": a NaN or an infinity reached its lines or filters in " + std::to_string(link.cleared) +
                          " block(s); they were cleared and the effect played on");
  job.peak = watch.Peak();
  for (const ChainLink& link : links) job.stages.push_back(StageCount{link.effect->catalog->name, link.clipped});
  return finish(0, {});
}

namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string JsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

std::string PeakDb(double peak) {
  if (peak <= 0.0) return "-inf dBFS";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(peak));
  return text;
}

}  // namespace

std::string JobsJson(const std::vector<JobResult>& jobs) {
  std::string out = "{\n  \"files\": [";
  bool first = true;
  for (const JobResult& j : jobs) {
    out += first ? "\n" : ",\n";
    first = false;
    out += "    {\"input\": " + JsonString(j.input) + ", \"output\": " + JsonString(j.output) +
           ", \"status\": " + std::to_string(j.status);
    if (j.status != 0) out += ", \"error\": " + JsonString(j.error);
    out += ", \"sampleRate\": " + std::to_string(j.sampleRate) + ", \"channels\": " + std::to_string(j.channels) +
           ", \"kind\": " + JsonString(j.kind) + ", \"outputWord\": " + JsonString(j.word) + ", \"framesIn\": " + std::to_string(j.framesIn) +
           ", \"padFrames\": " + std::to_string(j.padFrames) + ", \"quietFrames\": " + std::to_string(j.quietFrames) +
           ", \"tailCapped\": " + (j.tailCapped ? "true" : "false") +
           ", \"framesOut\": " + std::to_string(j.framesOut);
    const long long tail = static_cast<long long>(j.framesOut) - static_cast<long long>(j.framesIn);
    out += ", \"tailFrames\": " + std::to_string(tail) + ", \"peak\": " + JsonNumber(j.peak) +
           ", \"peakDbfs\": " + (j.peak > 0.0 ? JsonNumber(20.0 * std::log10(j.peak)) : "null") + ", \"effects\": [";
    for (std::size_t k = 0; k < j.stages.size(); ++k)
      out += (k ? ", " : "") + std::string("{\"effect\": ") + JsonString(j.stages[k].effect) +
             ", \"clipped\": " + std::to_string(j.stages[k].clipped) + "}";
    out += "], \"conversionClipped\": " + std::to_string(j.convertClipped) + ", \"warnings\": [";
    for (std::size_t k = 0; k < j.warnings.size(); ++k) out += (k ? ", " : "") + JsonString(j.warnings[k]);
    out += "], \"notes\": [";
    for (std::size_t k = 0; k < j.notes.size(); ++k) out += (k ? ", " : "") + JsonString(j.notes[k]);
    out += "], \"seconds\": " + JsonNumber(j.seconds) + "}";
  }
  return out + "\n  ]\n}\n";
}

std::string JobSummary(const JobResult& j) {
  std::string line = j.input + " -> " + j.output + ": ";
  if (j.status != 0) return line + "failed: " + j.error;
  line += std::to_string(j.framesIn) + " frames in, " + std::to_string(j.framesOut) + " out";
  if (j.framesOut >= j.framesIn) line += " (" + std::to_string(j.framesOut - j.framesIn) + " of tail)";
  std::uint64_t clipped = j.convertClipped;
  for (const StageCount& s : j.stages) clipped += s.clipped;
  char text[64];
  std::snprintf(text, sizeof text, ", peak %s, %llu clipped, %.2f s", PeakDb(j.peak).c_str(),
                static_cast<unsigned long long>(clipped), j.seconds);
  return line + text;
}

}  // namespace quill
