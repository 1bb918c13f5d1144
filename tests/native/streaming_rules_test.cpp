// What the streaming thread may not do, checked on every engine: allocate or
// free memory while it streams or picks up an edit, and let decaying state
// sink into subnormal numbers during silence. Its own binary, because it
// replaces the global allocation functions to count them.
#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
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

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
std::atomic<long> g_frees{0};
std::atomic<long> g_lines{0};

void* Allocate(std::size_t n) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n != 0 ? n : 1);
}

void Free(void* p) {
  if (p != nullptr && g_counting.load(std::memory_order_relaxed)) g_frees.fetch_add(1, std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void operator delete(void* p) noexcept {
  Free(p);
}
void operator delete[](void* p) noexcept {
  Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Free(p);
}

namespace quill {
namespace {

using test::FormatFor;

// Counts allocations and frees, of lines too, between Begin and End.
class AllocationWatch {
 public:
  AllocationWatch() : previous_(SetLineAllocator(&CountedLine)) {}
  ~AllocationWatch() {
    g_counting = false;
    SetLineAllocator(previous_);
  }
  void Begin() { g_counting = true; }
  void End() { g_counting = false; }
  long Heap() const { return g_allocations + g_frees; }
  long Lines() const { return g_lines; }
  // What was seen, for a failure's message; counting starts again.
  std::string Seen() {
    const std::string s = std::to_string(g_allocations.exchange(0)) + " allocations, " +
                          std::to_string(g_frees.exchange(0)) + " frees, " + std::to_string(g_lines.exchange(0)) +
                          " lines";
    return s;
  }

 private:
  static void* CountedLine(std::size_t count, std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed)) g_lines.fetch_add(1, std::memory_order_relaxed);
    return std::calloc(count, size);
  }
  LineAllocFn previous_;
};

template <class Params>
int PresetNamed(std::span<const Preset<Params>> table, const char* name) {
  for (std::size_t i = 0; i < table.size(); ++i)
    if (std::strcmp(table[i].name, name) == 0) return static_cast<int>(i);
  ADD_FAILURE() << "no preset " << name;
  return 0;
}

// --- Allocation ------------------------------------------------------------

// The edits a stream goes through besides the presets: each sets one Full
// field (or a whole block) to its extremes, in turn, so that every size of
// line a set-up can ask for is asked for while streaming.
template <class Engine>
using Edit = void (*)(Engine&, int);
constexpr int kEdits = 4;

// An in-place engine streamed in stereo 16-bit: buffers, every preset in turn
// as an edit between buffers with the extra edits after it and a
// discontinuity, then the tail. Only the engine's own calls are watched; the
// stream was started (StartStream) before. Neither the heap nor the line
// memory is touched.
template <class Engine>
void StreamWithoutAllocating(Engine& engine, PresetTable<typename Engine::Params> presets, Edit<Engine> extraEdits) {
  g_allocations = 0;
  g_frees = 0;
  g_lines = 0;
  const AudioFormat format = FormatFor<Pcm16>(2, 44100);
  InPlaceStream<Engine> stream(engine);
  ASSERT_EQ(stream.Start(&format), S_OK);
  const auto noise = test::Noise(2 * 4096, 0.5);
  std::vector<std::int16_t> block(noise.size());
  AllocationWatch watch;
  const auto feed = [&](int times, bool discontinuity = false) {
    for (int t = 0; t < times; ++t) {
      for (std::size_t i = 0; i < block.size(); ++i) block[i] = Pcm16::FromEngine(noise[i]);
      std::uint32_t n = 4096;
      watch.Begin();
      const HRESULT hr = stream.Receive(block.data(), &n, discontinuity && t == 0);
      watch.End();
      ASSERT_EQ(hr, S_OK);
    }
  };
  feed(3);
  for (std::size_t p = 0; p < presets.size(); ++p) {
    ASSERT_EQ(engine.SetParams(&presets[p].params), S_OK);
    feed(2);
    for (int e = 0; e < kEdits; ++e) {
      extraEdits(engine, e);
      feed(1);
    }
    feed(2, true);
    EXPECT_EQ(watch.Heap() + watch.Lines(), 0) << "with preset " << presets[p].name << ": " << watch.Seen();
    watch.Seen();
  }
  std::vector<std::uint8_t> tail(4096 * format.blockAlign);
  watch.Begin();
  const HRESULT hr = stream.PlayTail([&](const auto& fill) {
    std::uint32_t frames = 0;
    return fill(tail.data(), static_cast<std::uint32_t>(tail.size()), &frames);
  });
  watch.End();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(watch.Heap() + watch.Lines(), 0) << "in the tail: " << watch.Seen();
}

TEST(NoAllocationWhileStreaming, InPlaceEngines) {
  {
    SCOPED_TRACE("simple delay, shortest and longest delays");
    SimpleDelayEngine e;
    StreamWithoutAllocating<SimpleDelayEngine>(e, SimpleDelayPresets(), [](SimpleDelayEngine& d, int edit) {
      constexpr std::int32_t kDelays[] = {1, 5000, 250, 4999};
      d.SetDelay(kDelays[edit]);
    });
  }
  {
    SCOPED_TRACE("multi-tap delay, all taps and depth at their ends");
    MultiTapEngine e;
    StreamWithoutAllocating<MultiTapEngine>(e, MultiTapPresets(), [](MultiTapEngine& m, int edit) {
      MultiTapParams p;
      m.GetParams(&p);
      p.tapCount = edit % 2 == 0 ? 8 : 1;
      p.modDepth = edit < 2 ? 100 : 0;
      for (auto& d : p.tapDelayMs) d = edit % 2 == 0 ? 2500 : 1;
      m.SetParams(&p);
    });
  }
  {
    SCOPED_TRACE("reverb, modes, styles and pre-delays");
    ReverbEngine e;
    StreamWithoutAllocating<ReverbEngine>(e, ReverbPresets(), [](ReverbEngine& r, int edit) {
      r.SetReverbMode(edit * 6);
      r.SetEarlyStyle(9 - edit * 3);
      r.SetPreDelay(edit % 2 == 0 ? 200 : 0);
    });
  }
  {
    SCOPED_TRACE("chorus, with rate edits");
    ChorusEngine e;
    // Its lines and sine caches come with the engine; the sweep's period
    // follows the rate: slowest, fastest and between.
    StreamWithoutAllocating<ChorusEngine>(e, ChorusPresets(), [](ChorusEngine& c, int edit) {
      constexpr std::int32_t kRates[] = {1, 100, 7, 1};
      c.SetModRate(kRates[edit]);
    });
  }
}

// A copying engine through the copying loop: mono 16-bit in and out, every
// preset as an edit between buffers with the extra edits after it and a
// discontinuity, then the end of the stream. Neither the heap nor the line
// memory is touched once the stream has started. The outlet keeps its
// buffers after the first use, as the platform's allocator does.
template <class Engine>
void CopyWithoutAllocating(PresetTable<typename Engine::Params> presets, Edit<Engine> extraEdits) {
  g_allocations = 0;
  g_frees = 0;
  g_lines = 0;
  Engine engine;
  const AudioFormat format = FormatFor<Pcm16>(1, 44100);
  ASSERT_EQ(engine.SelectFormat(&format), S_OK);
  FrameOutlet outlet;
  outlet.SetBuffer(4 * 4096 * format.blockAlign, format.blockAlign);
  const FrameSink sink = [](std::uint8_t*, std::uint32_t) -> HRESULT { return S_OK; };
  outlet.SetSink(&sink);
  CopyingLoop loop(engine, outlet);
  loop.SetFormats(&format, &format);
  const auto noise = test::Noise(4096, 0.5);
  std::vector<std::int16_t> block(noise.size());
  AllocationWatch watch;
  bool first = true;
  const auto feed = [&](int times, bool discontinuity = false) {
    for (int t = 0; t < times; ++t) {
      for (std::size_t i = 0; i < block.size(); ++i) block[i] = Pcm16::FromEngine(noise[i]);
      InputSample in;
      in.data = reinterpret_cast<std::uint8_t*>(block.data());
      in.length = static_cast<std::uint32_t>(block.size() * sizeof block[0]);
      in.discontinuity = first || (discontinuity && t == 0);
      // The first buffer makes the outlet's pool; from then on it is reused.
      if (!first) watch.Begin();
      const HRESULT hr = loop.Receive(in);
      watch.End();
      first = false;
      ASSERT_EQ(hr, S_OK);
    }
  };
  feed(3);
  for (std::size_t p = 0; p < presets.size(); ++p) {
    ASSERT_EQ(engine.SetParams(&presets[p].params), S_OK);
    feed(3);
    for (int e = 0; e < kEdits; ++e) {
      extraEdits(engine, e);
      feed(1);
    }
    feed(2, true);
    EXPECT_EQ(watch.Heap() + watch.Lines(), 0) << "with preset " << presets[p].name << ": " << watch.Seen();
    watch.Seen();
  }
  watch.Begin();
  const HRESULT hr = loop.EndOfStream();
  watch.End();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(watch.Heap() + watch.Lines(), 0) << "at the end of the stream: " << watch.Seen();
}

TEST(NoAllocationWhileStreaming, CopyingEngines) {
  {
    SCOPED_TRACE("time, widest and narrowest windows");
    CopyWithoutAllocating<TimeEngine>(TimePresets(), [](TimeEngine& t, int edit) {
      constexpr std::int32_t kModes[] = {0, 18, 9, 4};
      t.SetMode(kModes[edit]);
    });
  }
  {
    SCOPED_TRACE("pitch, the duration kept and not, every kernel");
    CopyWithoutAllocating<PitchEngine>(PitchPresets(), [](PitchEngine& p, int edit) {
      p.SetPreserve(edit % 2 == 0 ? 1 : 0);
      p.SetAccuracy(1 + edit % 3);
      p.SetMode(edit * 6);
    });
  }
}

// The watch itself sees what it must.
TEST(NoAllocationWhileStreaming, WatchCountsAllocations) {
  g_allocations = 0;
  g_frees = 0;
  g_lines = 0;
  AllocationWatch watch;
  watch.Begin();
  auto* v = new std::vector<int>(100);
  delete v;
  void* line = AllocLine(16, 8);
  watch.End();
  FreeLine(line);
  EXPECT_EQ(watch.Heap(), 4);  // the vector and its storage, both freed
  EXPECT_EQ(watch.Lines(), 1);
}

// --- Silence ---------------------------------------------------------------

// A burst of noise and then long silence through an engine in float64, whose
// output shows every value the lines hold: each sample must be zero or a
// normal number, never a subnormal one.
template <class Engine>
void DecaysWithoutSubnormals(const typename Engine::Params& p, std::uint32_t seconds) {
  constexpr std::uint32_t kRate = 44100;
  test::EngineHarness<Engine, Float64> h(1, kRate, p);
  const auto noise = test::Noise(kRate / 10, 0.5);
  h.Run(
      kRate / 10, [&](std::uint32_t f, std::uint32_t) { return noise[f]; }, 4410);
  std::uint32_t subnormals = 0, last = 0;
  for (std::uint32_t s = 0; s < seconds; ++s) {
    const std::vector<double> out = h.Silence(kRate);
    for (double v : out)
      if (v != 0.0 && std::fabs(v) < DBL_MIN) ++subnormals;
    if (subnormals == 0) last = s;
  }
  EXPECT_EQ(subnormals, 0u) << "first in second " << last + 1;
}

TEST(SilenceAfterSound, LinesNeverHoldSubnormals) {
  {
    // The shortest decay gets there soonest: below the smallest normal
    // number in under a minute.
    SCOPED_TRACE("reverb");
    ReverbParams p = ReverbPresets()[0].params;
    p.decayTenths = 5;
    DecaysWithoutSubnormals<ReverbEngine>(p, 60);
  }
  {
    SCOPED_TRACE("chorus");
    DecaysWithoutSubnormals<ChorusEngine>(ChorusPresets()[PresetNamed(ChorusPresets(), "Hard flange")].params, 10);
  }
}

}  // namespace
}  // namespace quill
