// Memory that runs out: every engine's start (and anything after it) run
// with one allocation refused, each of them in turn. Each refusal must come
// back as a failure code, never a crash or a silent wrong result, and a
// later start with memory must sound exactly as an engine that never saw a
// refusal.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "dsp/copying_loop.h"
#include "dsp/frame_outlet.h"
#include "dsp/line_memory.h"
#include "framework/in_place_stream.h"
#include "tests/native/engine_harness.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"

namespace quill {
namespace {

// Counts line allocations and refuses the one numbered `refuse` (from 1;
// 0 refuses none).
struct Faults {
  static inline long calls = 0;
  static inline long refuse = 0;
  static void* Allocate(std::size_t count, std::size_t size) {
    return ++calls == refuse ? nullptr : std::calloc(count, size);
  }
};

class FaultyLines {
 public:
  explicit FaultyLines(long refuse) : previous_(SetLineAllocator(&Faults::Allocate)) {
    Faults::calls = 0;
    Faults::refuse = refuse;
  }
  ~FaultyLines() { SetLineAllocator(previous_); }

 private:
  LineAllocFn previous_;
};

bool CleanFailure(HRESULT hr) {
  return hr == E_OUTOFMEMORY || hr == E_FAIL;
}

// What a stream made and what its calls answered.
struct Run {
  std::vector<std::uint8_t> out;
  int failures = 0;  // calls answered with a failure code
  int strange = 0;   // calls answered with anything else that is not success
};

void Note(Run& run, HRESULT hr) {
  if (SUCCEEDED(hr)) return;
  ++(CleanFailure(hr) ? run.failures : run.strange);
}

// One in-place stream: the first preset, a start, buffers of noise, the
// last preset as an edit, a discontinuity, and the tail.
template <class Engine>
Run InPlace(Engine& e, const AudioFormat& f) {
  Run run;
  Note(run, e.ApplyPreset(0));
  InPlaceStream<Engine> stream(e);
  Note(run, stream.Start(&f));
  const auto noise = test::Noise(800 * f.channels, 0.5);
  std::vector<std::uint8_t> block(800u * f.blockAlign);
  const auto feed = [&](bool discontinuity) {
    for (std::size_t i = 0; i < noise.size(); ++i) {
      const std::int16_t v = Pcm16::FromEngine(noise[i]);
      std::memcpy(block.data() + 2 * i, &v, 2);
    }
    std::uint32_t n = 800;
    Note(run, stream.Receive(block.data(), &n, discontinuity));
    run.out.insert(run.out.end(), block.begin(), block.end());
  };
  feed(false);
  feed(false);
  Note(run, e.ApplyPreset(Engine::PresetCount() - 1));
  feed(false);
  feed(true);
  std::vector<std::uint8_t> tail(1024u * f.blockAlign);
  int buffers = 0;
  Note(run, stream.PlayTail([&](const auto& fill) {
    std::uint32_t frames = 0;
    const HRESULT hr = fill(tail.data(), static_cast<std::uint32_t>(tail.size()), &frames);
    run.out.insert(run.out.end(), tail.begin(), tail.begin() + frames * f.blockAlign);
    return ++buffers < 8 ? hr : S_FALSE;
  }));
  return run;
}

// The same for a copying engine, through the copying loop.
template <class Engine>
Run Copying(Engine& e, const AudioFormat& f) {
  Run run;
  Note(run, e.ApplyPreset(0));
  Note(run, e.SelectFormat(&f));
  FrameOutlet outlet;
  outlet.SetBuffer(4096u * f.blockAlign, f.blockAlign);
  const FrameSink sink = [&](std::uint8_t* data, std::uint32_t frames) -> HRESULT {
    run.out.insert(run.out.end(), data, data + frames * f.blockAlign);
    return S_OK;
  };
  outlet.SetSink(&sink);
  CopyingLoop loop(e, outlet);
  loop.SetFormats(&f, &f);
  const auto noise = test::Noise(800 * f.channels, 0.5);
  std::vector<std::int16_t> block(noise.size());
  const auto feed = [&](bool discontinuity) {
    for (std::size_t i = 0; i < noise.size(); ++i) block[i] = Pcm16::FromEngine(noise[i]);
    InputSample in;
    in.data = reinterpret_cast<std::uint8_t*>(block.data());
    in.length = static_cast<std::uint32_t>(block.size() * sizeof block[0]);
    in.discontinuity = discontinuity;
    Note(run, loop.Receive(in));
  };
  feed(true);
  feed(false);
  Note(run, e.ApplyPreset(Engine::PresetCount() - 1));
  feed(false);
  feed(true);
  Note(run, loop.EndOfStream());
  return run;
}

// Every allocation of a stream refused in turn, in a new engine each time
// (made under the refusal too): the refusal is reported with a failure code
// or made good at once, so that the stream is the untroubled one's, and the
// same engine's next stream, with memory, is the untroubled one's.
template <class Engine>
void EveryAllocationRefusedInTurn(const char* what, const std::function<Run(Engine&, const AudioFormat&)>& stream,
                                  std::uint16_t channels) {
  SCOPED_TRACE(what);
  const AudioFormat f = test::FormatFor<Pcm16>(channels, 44100);
  Run clean;
  long calls;
  {
    FaultyLines count(0);
    Engine e;
    clean = stream(e, f);
    calls = Faults::calls;
  }
  ASSERT_EQ(clean.failures + clean.strange, 0);
  ASSERT_GT(calls, 0);
  for (long k = 1; k <= calls; ++k) {
    SCOPED_TRACE(testing::Message() << "allocation " << k << " of " << calls);
    std::unique_ptr<Engine> e;
    {
      FaultyLines faults(k);
      e = std::make_unique<Engine>();
      const Run hurt = stream(*e, f);
      EXPECT_EQ(hurt.strange, 0);
      EXPECT_TRUE(hurt.failures > 0 || hurt.out == clean.out);
    }
    const Run again = stream(*e, f);
    EXPECT_EQ(again.failures + again.strange, 0);
    EXPECT_TRUE(again.out == clean.out);
  }
}

TEST(MemoryFaults, EveryAllocationOfEveryEngineRefusedInTurn) {
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(testing::Message() << channels << " channels");
    EveryAllocationRefusedInTurn<SimpleDelayEngine>("simple delay", InPlace<SimpleDelayEngine>, channels);
    EveryAllocationRefusedInTurn<MultiTapEngine>("multi-tap delay", InPlace<MultiTapEngine>, channels);
    EveryAllocationRefusedInTurn<ReverbEngine>("reverb", InPlace<ReverbEngine>, channels);
    EveryAllocationRefusedInTurn<ChorusEngine>("chorus", InPlace<ChorusEngine>, channels);
    EveryAllocationRefusedInTurn<TimeEngine>("time", Copying<TimeEngine>, channels);
    EveryAllocationRefusedInTurn<PitchEngine>("pitch", Copying<PitchEngine>, channels);
  }
}

}  // namespace
}  // namespace quill
