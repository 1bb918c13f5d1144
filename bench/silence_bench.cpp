// Frames per second of the in-place engines on silence that follows a
// sound, against noise: decaying lines must cost no more once they have
// died away (flushed to zero rather than left subnormal). Mono float64 at
// 44.1 kHz; before timing, a tenth of a second of noise and then minutes of
// silence let every line decay as far as it will.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/wav_file.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"

namespace quill {
namespace {

constexpr std::uint32_t kBlock = 4096;
constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kSettleSeconds = 300;

std::vector<double> Noise(std::size_t n) {
  std::vector<double> v(n);
  std::uint32_t seed = 12345;
  for (double& x : v) {
    seed = seed * 1103515245u + 12345u;
    x = static_cast<std::int32_t>(seed) / 2147483648.0 * 0.5;
  }
  return v;
}

template <class Engine>
void Run(benchmark::State& state, int preset, bool silence) {
  const AudioFormat format = MakeFormat(3, 1, kRate, 64);
  const std::vector<double> noise = Noise(kBlock);
  std::vector<double> work(kBlock);
  Engine engine;
  engine.ApplyPreset(preset);
  engine.SetFormat(&format);
  if (FAILED(engine.Restart())) state.SkipWithError("restart failed");
  const auto block = [&](bool quiet) {
    if (quiet)
      std::fill(work.begin(), work.end(), 0.0);
    else
      work = noise;
    std::uint32_t n = kBlock;
    engine.Process(SampleKind::Float64, ProcessMode::Continue, work.data(), &n);
  };
  if (silence) {
    for (std::uint32_t f = 0; f < kRate / 10; f += kBlock) block(false);
    for (std::uint64_t f = 0; f < std::uint64_t{kSettleSeconds} * kRate; f += kBlock) block(true);
  }
  for (auto _ : state) {
    block(silence);
    benchmark::DoNotOptimize(work.data());
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBlock, benchmark::Counter::kIsRate);
}

template <class Engine>
void Register(const char* name, int preset) {
  const std::string n = name;
  benchmark::RegisterBenchmark((n + "/noise").c_str(), Run<Engine>, preset, false);
  benchmark::RegisterBenchmark((n + "/silence").c_str(), Run<Engine>, preset, true);
}

}  // namespace
}  // namespace quill

int main(int argc, char** argv) {
  using namespace quill;
  Register<SimpleDelayEngine>("SimpleDelay/EchoChamber", 1);
  Register<MultiTapEngine>("MultiTap/Cathedral1", 16);
  Register<ChorusEngine>("Chorus/HardFlange", 20);
  Register<ReverbEngine>("Reverb/Default", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
