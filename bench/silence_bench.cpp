// What silence after a sound costs against noise, for every effect in every
// sample kind: decaying state must cost no more once it has died away
// (flushed to zero rather than left subnormal), so a long quiet stretch
// takes no longer than the same length of sound.
//
// Each run streams a sound (a tenth of a second of noise) and then SECONDS
// of silence, or SECONDS of noise, mono at 44.1 kHz in buffers of 4096
// frames, and times the whole stream. The two runs alternate REPEAT times,
// so that a busy machine slows both alike, and the medians are compared. A
// line per effect and kind gives both medians and their ratio; the exit
// status is 1 when a ratio passes the limit.
//
// usage: silence_bench [--seconds=N] [--repeat=N] [--limit=R] [--only=EFFECT]
//        (defaults: an hour, 3, 1.2, every effect)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/copying_loop.h"
#include "dsp/frame_outlet.h"
#include "framework/in_place_stream.h"
#include "tools/common/wav_file.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"

namespace quill {
namespace {

constexpr std::uint32_t kBlock = 4096;
constexpr std::uint32_t kRate = 44100;

std::vector<double> Noise(std::size_t n) {
  std::vector<double> v(n);
  std::uint32_t seed = 12345;
  for (double& x : v) {
    seed = seed * 1103515245u + 12345u;
    x = static_cast<std::int32_t>(seed) / 2147483648.0 * 0.5;
  }
  return v;
}

// A buffer of noise and one of silence in the kind's own samples.
template <class Kind>
struct Material {
  std::vector<typename Kind::Sample> noise, silence;
  Material() : noise(kBlock), silence(kBlock, Kind::silence) {
    const std::vector<double> n = Noise(kBlock);
    for (std::uint32_t i = 0; i < kBlock; ++i) noise[i] = Kind::FromEngine(n[i]);
  }
};

AudioFormat FormatOf(SampleKind kind) {
  switch (kind) {
    case SampleKind::Pcm8:
      return MakeFormat(1, 1, kRate, 8);
    case SampleKind::Pcm16:
      return MakeFormat(1, 1, kRate, 16);
    case SampleKind::Pcm32:
      return MakeFormat(1, 1, kRate, 32);
    case SampleKind::Float32:
      return MakeFormat(3, 1, kRate, 32);
    default:
      return MakeFormat(3, 1, kRate, 64);
  }
}

using Clock = std::chrono::steady_clock;

// Seconds for `frames` frames of noise or, after a tenth of a second of it,
// of silence, through block(quiet), which streams one buffer; -1 if a
// buffer fails.
template <class Block>
double TimeStream(const Block& block, std::uint64_t frames, bool silence) {
  if (silence)
    for (std::uint32_t f = 0; f < kRate / 10; f += kBlock) block(false);
  const auto start = Clock::now();
  for (std::uint64_t f = 0; f < frames; f += kBlock)
    if (FAILED(block(silence))) return -1.0;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds to stream `frames` of the kind's noise or, after a tenth of a
// second of it, of silence, through an in-place engine.
template <class Engine, class Kind>
double InPlace(int preset, std::uint64_t frames, bool silence) {
  const AudioFormat format = FormatOf(Kind::kind);
  const Material<Kind> m;
  std::vector<typename Kind::Sample> work(kBlock);
  Engine engine;
  engine.ApplyPreset(preset);
  InPlaceStream<Engine> stream(engine);
  if (FAILED(stream.Start(&format))) return -1.0;
  const auto block = [&](bool quiet) {
    work = quiet ? m.silence : m.noise;
    std::uint32_t n = kBlock;
    return stream.Receive(work.data(), &n);
  };
  return TimeStream(block, frames, silence);
}

// The same through a copying engine and the copying loop; the output goes
// nowhere.
template <class Engine, class Kind>
double Copying(int preset, std::uint64_t frames, bool silence) {
  const AudioFormat format = FormatOf(Kind::kind);
  const Material<Kind> m;
  std::vector<typename Kind::Sample> work(kBlock);
  Engine engine;
  engine.ApplyPreset(preset);
  if (FAILED(engine.SelectFormat(&format))) return -1.0;
  FrameOutlet outlet;
  outlet.SetBuffer(4 * kBlock * format.blockAlign, format.blockAlign);
  const FrameSink sink = [](std::uint8_t*, std::uint32_t) -> HRESULT { return S_OK; };
  outlet.SetSink(&sink);
  CopyingLoop loop(engine, outlet);
  loop.SetFormats(&format, &format);
  bool first = true;
  const auto block = [&](bool quiet) {
    work = quiet ? m.silence : m.noise;
    InputSample in;
    in.data = reinterpret_cast<std::uint8_t*>(work.data());
    in.length = kBlock * format.blockAlign;
    in.discontinuity = first;
    first = false;
    return loop.Receive(in);
  };
  return TimeStream(block, frames, silence);
}

using Timer = double (*)(int, std::uint64_t, bool);

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t h = v.size() / 2;
  return v.size() % 2 != 0 ? v[h] : (v[h - 1] + v[h]) / 2;
}

struct Effect {
  const char* name;
  const char* preset;
  int index;
  Timer kinds[5];  // pcm8, pcm16, pcm32, float32, float64
};

template <template <class, class> class Drive, class Engine>
Effect Of(const char* name, const char* preset, int index) {
  return {name,
          preset,
          index,
          {[](int p, std::uint64_t f, bool s) { return Drive<Engine, Pcm8>::Time(p, f, s); },
           [](int p, std::uint64_t f, bool s) { return Drive<Engine, Pcm16>::Time(p, f, s); },
           [](int p, std::uint64_t f, bool s) { return Drive<Engine, Pcm32>::Time(p, f, s); },
           [](int p, std::uint64_t f, bool s) { return Drive<Engine, Float32>::Time(p, f, s); },
           [](int p, std::uint64_t f, bool s) { return Drive<Engine, Float64>::Time(p, f, s); }}};
}

template <class Engine, class Kind>
struct InPlaceDrive {
  static double Time(int p, std::uint64_t f, bool s) { return InPlace<Engine, Kind>(p, f, s); }
};
template <class Engine, class Kind>
struct CopyingDrive {
  static double Time(int p, std::uint64_t f, bool s) { return Copying<Engine, Kind>(p, f, s); }
};

}  // namespace
}  // namespace quill

int main(int argc, char** argv) {
  using namespace quill;
  double seconds = 3600.0, limit = 1.2;
  int repeat = 3;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seconds=", 10) == 0) {
      seconds = std::atof(argv[i] + 10);
    } else if (std::strncmp(argv[i], "--repeat=", 9) == 0) {
      repeat = std::atoi(argv[i] + 9);
    } else if (std::strncmp(argv[i], "--limit=", 8) == 0) {
      limit = std::atof(argv[i] + 8);
    } else if (std::strncmp(argv[i], "--only=", 7) == 0) {
      only = argv[i] + 7;
    } else {
      std::fprintf(stderr, "usage: silence_bench [--seconds=N] [--repeat=N] [--limit=R] [--only=EFFECT]\n");
      return 2;
    }
  }
  if (!(seconds > 0.0) || !(limit > 0.0) || repeat < 1) {
    std::fprintf(stderr, "silence_bench: --seconds, --repeat and --limit take positive numbers\n");
    return 2;
  }
  const Effect effects[] = {
      Of<InPlaceDrive, SimpleDelayEngine>("twechos", SimpleDelayPresets()[1].name, 1),
      Of<InPlaceDrive, MultiTapEngine>("twechomt", MultiTapPresets()[16].name, 16),
      Of<InPlaceDrive, ChorusEngine>("twchorus", ChorusPresets()[20].name, 20),
      Of<InPlaceDrive, ReverbEngine>("twreverb", ReverbPresets()[0].name, 0),
      Of<CopyingDrive, TimeEngine>("twtime", TimePresets()[1].name, 1),
      Of<CopyingDrive, PitchEngine>("twpitchs", PitchPresets()[2].name, 2),
  };
  const char* const kinds[] = {"pcm8", "pcm16", "pcm32", "float32", "float64"};
  const auto frames = static_cast<std::uint64_t>(seconds * kRate);
  std::printf("%-9s %-32s %-8s %10s %10s %7s\n", "effect", "preset", "kind", "noise s", "silence s", "ratio");
  int over = 0;
  for (const Effect& e : effects) {
    if (!only.empty() && only != e.name) continue;
    for (int k = 0; k < 5; ++k) {
      std::vector<double> noises, silences;
      for (int r = 0; r < repeat; ++r) {
        noises.push_back(e.kinds[k](e.index, frames, false));
        silences.push_back(e.kinds[k](e.index, frames, true));
      }
      const double noise = Median(noises), silence = Median(silences);
      if (*std::min_element(noises.begin(), noises.end()) < 0.0 ||
          *std::min_element(silences.begin(), silences.end()) < 0.0) {
        std::printf("%-9s %-32s %-8s failed to stream\n", e.name, e.preset, kinds[k]);
        ++over;
        continue;
      }
      const double ratio = silence / noise;
      const bool bad = ratio > limit;
      over += bad ? 1 : 0;
      std::printf("%-9s %-32s %-8s %10.2f %10.2f %7.2f%s\n", e.name, e.preset, kinds[k], noise, silence, ratio,
                  bad ? "  over the limit" : "");
      std::fflush(stdout);
    }
  }
  std::printf("%s: %d of the ratios above %.2f\n", over == 0 ? "ok" : "FAILED", over, limit);
  return over == 0 ? 0 : 1;
}
