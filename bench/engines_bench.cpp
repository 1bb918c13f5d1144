// Frames per second of every engine's processing routine, by sample kind,
// mono and stereo, at 44.1 and 96 kHz, and the same as a real-time factor
// (frames per second over the run's sample rate: 100 is a hundred times
// faster than real time). Each iteration processes one block of 4096 frames
// of plucked material (copied in first, so that in-place engines never feed
// on their own output); the time and pitch engines are measured in input
// frames consumed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tools/common/demo_material.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twpitchs/transpose.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"
#include "tools/common/wav_file.h"

namespace quill {
namespace {

constexpr std::uint32_t kBlock = 4096;

// The long material in the benchmark's format: `frames` frames of it,
// converted from 16-bit to the kind.
template <class Kind>
std::vector<typename Kind::Sample> Material(std::uint16_t channels, std::uint32_t rate, std::uint32_t frames) {
  const WavData src = MakeLongMaterial((frames + rate - 1) / rate, channels, rate);
  std::vector<typename Kind::Sample> out(static_cast<std::size_t>(frames) * channels);
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::int16_t s;
    std::memcpy(&s, src.bytes.data() + 2 * i, 2);
    out[i] = Kind::FromEngine(s / 32768.0);
  }
  return out;
}

template <class Kind>
AudioFormat FormatFor(std::uint16_t channels, std::uint32_t rate) {
  const bool isFloat = Kind::kind == SampleKind::Float32 || Kind::kind == SampleKind::Float64;
  return MakeFormat(isFloat ? 3 : 1, channels, rate, static_cast<std::uint16_t>(8 * sizeof(typename Kind::Sample)));
}

// Input frames processed per second, and the real-time factor at `rate`.
void Rates(benchmark::State& state, double frames, std::uint32_t rate) {
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["x realtime"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}

template <class Engine, class Kind>
void InPlace(benchmark::State& state, int preset) {
  const auto channels = static_cast<std::uint16_t>(state.range(0));
  const auto rate = static_cast<std::uint32_t>(state.range(1));
  const AudioFormat format = FormatFor<Kind>(channels, rate);
  // Ten seconds of material, walked through block by block.
  const auto source = Material<Kind>(channels, rate, 10 * rate);
  const std::size_t blocks = source.size() / (kBlock * channels);
  std::vector<typename Kind::Sample> work(static_cast<std::size_t>(kBlock) * channels);
  Engine engine;
  engine.ApplyPreset(preset);
  engine.SetFormat(&format);
  if (FAILED(engine.StartStream())) state.SkipWithError("start failed");
  std::size_t at = 0;
  for (auto _ : state) {
    std::memcpy(work.data(), source.data() + at * work.size(), work.size() * sizeof work[0]);
    at = (at + 1) % blocks;
    std::uint32_t n = kBlock;
    engine.Process(Kind::kind, ProcessMode::Continue, work.data(), &n);
    benchmark::DoNotOptimize(work.data());
  }
  Rates(state, static_cast<double>(state.iterations()) * kBlock, rate);
}

// A copying engine (time, pitch) fed as the copying filter feeds it: each
// input block goes through PreFilter (which may filter it in place, hence
// the copy) and then through engine calls until it is taken.
template <class Kind>
void Copying(benchmark::State& state, FrameProcessor& engine, const AudioFormat& format) {
  const std::uint16_t channels = format.channels;
  const auto source = Material<Kind>(channels, format.sampleRate, 10 * format.sampleRate);
  const std::uint32_t frames = static_cast<std::uint32_t>(source.size() / channels);
  std::vector<typename Kind::Sample> work(static_cast<std::size_t>(kBlock) * channels);
  std::vector<typename Kind::Sample> out(static_cast<std::size_t>(4 * kBlock) * channels);
  std::uint32_t at = 0;
  std::uint64_t consumed = 0;
  for (auto _ : state) {
    std::uint32_t left = std::min(kBlock, frames - at);
    std::memcpy(work.data(), source.data() + static_cast<std::size_t>(at) * channels,
                static_cast<std::size_t>(left) * channels * sizeof work[0]);
    if (FAILED(engine.PreFilter(ProcessMode::Continue, work.data(), left))) {
      state.SkipWithError("pre-filter failed");
      break;
    }
    const typename Kind::Sample* in = work.data();
    while (left > 0) {
      std::uint32_t inFrames = left, outFrames = 4 * kBlock;
      if (FAILED(engine.Process(ProcessMode::Continue, in, &inFrames, out.data(), &outFrames))) {
        state.SkipWithError("processing failed");
        return;
      }
      benchmark::DoNotOptimize(out.data());
      in += static_cast<std::size_t>(inFrames) * channels;
      left -= inFrames;
      consumed += inFrames;
      at += inFrames;
    }
    if (at >= frames) at = 0;
  }
  Rates(state, static_cast<double>(consumed), format.sampleRate);
}

template <class Kind>
void Time(benchmark::State& state, double finalTenths) {
  const AudioFormat format = FormatFor<Kind>(static_cast<std::uint16_t>(state.range(0)),
                                             static_cast<std::uint32_t>(state.range(1)));
  TimeEngine engine;
  engine.SetFinal(finalTenths);
  if (FAILED(engine.SelectFormat(&format))) return state.SkipWithError("format refused");
  Copying<Kind>(state, engine, format);
}

// A shift by whole semitones with the duration kept, the ratio set as the
// settings page sets it.
template <class Kind>
void Pitch(benchmark::State& state, int semitones) {
  const AudioFormat format = FormatFor<Kind>(static_cast<std::uint16_t>(state.range(0)),
                                             static_cast<std::uint32_t>(state.range(1)));
  PitchEngine engine;
  if (FAILED(engine.SetSemitones(semitones)) || FAILED(engine.SetRatio(PageRatio(semitones, 0))) ||
      FAILED(engine.SetPreserve(1)))
    return state.SkipWithError("parameters refused");
  if (FAILED(engine.SelectFormat(&format))) return state.SkipWithError("format refused");
  Copying<Kind>(state, engine, format);
}

// Mono and stereo at 44.1 and 96 kHz.
void Formats(benchmark::internal::Benchmark* b) {
  for (int channels : {1, 2})
    for (int rate : {44100, 96000}) b->Args({channels, rate});
  b->ArgNames({"ch", "rate"});
}

template <class Kind>
void RegisterKind(const char* kind) {
  const std::string k = kind;
  benchmark::RegisterBenchmark(("SimpleDelay/" + k).c_str(), InPlace<SimpleDelayEngine, Kind>, 1)->Apply(Formats);
  benchmark::RegisterBenchmark(("MultiTap/" + k).c_str(), InPlace<MultiTapEngine, Kind>, 13)->Apply(Formats);
  benchmark::RegisterBenchmark(("Chorus/" + k).c_str(), InPlace<ChorusEngine, Kind>, 8)->Apply(Formats);
  benchmark::RegisterBenchmark(("Reverb/" + k).c_str(), InPlace<ReverbEngine, Kind>, 5)->Apply(Formats);
  benchmark::RegisterBenchmark(("Time110/" + k).c_str(), Time<Kind>, 1100.0)->Apply(Formats);
  benchmark::RegisterBenchmark(("PitchUp7/" + k).c_str(), Pitch<Kind>, 7)->Apply(Formats);
  benchmark::RegisterBenchmark(("PitchDown7/" + k).c_str(), Pitch<Kind>, -7)->Apply(Formats);
}

}  // namespace
}  // namespace quill

int main(int argc, char** argv) {
  using namespace quill;
  RegisterKind<Pcm8>("pcm8");
  RegisterKind<Pcm16>("pcm16");
  RegisterKind<Pcm32>("pcm32");
  RegisterKind<Float32>("float");
  RegisterKind<Float64>("double");
  benchmark::RegisterBenchmark("Time50/pcm16", Time<Pcm16>, 500.0)->Apply(Formats);
  benchmark::RegisterBenchmark("Time500/pcm16", Time<Pcm16>, 5000.0)->Apply(Formats);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
