// A soak of QUILLFX1.DLL under Wine: every filter created through its class
// factory, queried and released to a count of zero, many times; then put in
// a real graph and run through start, pause, flush and stop cycles with
// buffers flowing, from the test's thread and from a streaming thread of its
// own; and at the end the module unloadable and the process no bigger than
// after a warm-up round.
//
// The counts are small enough for every CI run; QUILL_SOAK=long raises them
// for a soak by hand (see the README).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/win_support.h"
#include "tools/common/effect_catalog.h"

// After the platform's headers, which it needs.
#include <psapi.h>

namespace quill::test {
namespace {

struct SoakCounts {
  int rounds;           // measured rounds, after one warm-up round of the same size
  int createsPerRound;  // create, query and release, per filter
  int cyclesPerRound;   // start/stop cycles in one graph, per filter, of each kind
};

SoakCounts Counts() {
  const char* mode = std::getenv("QUILL_SOAK");
  if (mode != nullptr && std::strcmp(mode, "long") == 0) return {10, 200, 100};
  return {2, 50, 10};
}

// What the process holds: its private bytes, and the bytes its heaps have
// handed out and not had back, which are exact where pages are not.
struct Footprint {
  std::size_t privateBytes = 0;
  std::size_t heapBusy = 0;
};

Footprint Measure() {
  Footprint f;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  // Wine fills only the basic counters and leaves PrivateUsage at 0; its
  // PagefileUsage, like Windows', is the private commit, so that stands in.
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    f.privateBytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < count && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) f.heapBusy += entry.cbData;
    HeapUnlock(heaps[i]);
  }
  return f;
}

// {1B5C0E47-3D9A-4E8B-A0F2-6C71D4E95B30}
constexpr CLSID kCountingSinkClass = {0x1b5c0e47, 0x3d9a, 0x4e8b, {0xa0, 0xf2, 0x6c, 0x71, 0xd4, 0xe9, 0x5b, 0x30}};

// Counts what arrives, from whichever thread delivers it; keeps nothing, so
// that the sink itself does not grow with the soak.
class CountingSink final : public SinkFilter {
 public:
  CountingSink() : SinkFilter(L"Counter", kCountingSinkClass, nullptr) {}
  HRESULT CheckType(const AM_MEDIA_TYPE& type) override {
    return type.majortype == MEDIATYPE_Audio ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT OnSample(IMediaSample*) override {
    ++samples;
    return S_OK;
  }
  HRESULT OnStreamEnd() override {
    ++ends;
    return S_OK;
  }
  std::atomic<long> samples{0}, ends{0};
};

// The same reference chain every time: the class object, the filter's
// inner unknown and every interface a host asks for, each Release counting
// down to the last, which must return zero; a save and a load and a preset
// on the way, as a host does when it opens a filter.
void CreateQueryRelease(const HostEffect& effect, int times) {
  const IID* const iids[] = {&IID_IBaseFilter, effect.paramsIid, &IID_IPersistStream, &IID_IEffectPresets,
                             &IID_ISpecifyPropertyPages};
  for (int i = 0; i < times; ++i) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(Quill().getClassObject(*effect.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    ASSERT_EQ(factory->Release(), 0u);
    IUnknown* held[std::size(iids)] = {};
    for (size_t k = 0; k < std::size(iids); ++k)
      ASSERT_EQ(object->QueryInterface(*iids[k], reinterpret_cast<void**>(&held[k])), S_OK) << k;
    auto* presets = static_cast<IEffectPresets*>(held[3]);
    std::int32_t presetCount = 0;
    ASSERT_EQ(presets->GetPresetCount(&presetCount), S_OK);
    ASSERT_GT(presetCount, 0);
    ASSERT_EQ(presets->ApplyPreset(i % presetCount), S_OK);
    auto* persist = static_cast<IPersistStream*>(held[2]);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
    EXPECT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(persist->Load(stream), S_OK);
    EXPECT_EQ(stream->Release(), 0u);
    for (size_t k = 0; k < std::size(iids); ++k)
      ASSERT_EQ(held[k]->Release(), static_cast<ULONG>(std::size(iids) - k)) << k;
    ASSERT_EQ(object->Release(), 0u);
    ASSERT_EQ(Quill().canUnloadNow(), S_OK) << "after creation " << i;
  }
}

constexpr long kBufferBytes = 4096;  // 1024 frames of 16-bit stereo

// The push source, the module's filter and the counting sink in a graph
// without a clock, connected; torn down with every count checked.
class SoakGraph {
 public:
  // The graph with the source and the sink, and no effect yet.
  void Open() {
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&graph_)),
              S_OK);
    ComRef<IMediaFilter> clockless;
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaFilter, clockless.PutVoid()), S_OK);
    ASSERT_EQ(clockless->SetSyncSource(nullptr), S_OK);
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaControl, control_.PutVoid()), S_OK);
    source_ = new PushSource(MakeAudioType(WAVE_FORMAT_PCM, 2, 44100, 16), kBufferBytes, false);
    source_->NonDelegatingAddRef();
    sink_ = new CountingSink();
    sink_->NonDelegatingAddRef();
    ASSERT_EQ(graph_->AddFilter(source_, L"Source"), S_OK);
    ASSERT_EQ(graph_->AddFilter(sink_, L"Sink"), S_OK);
  }

  // A new filter of the module's, between the source and the sink.
  void Insert(const HostEffect& effect) {
    ASSERT_EQ(CreateFromModule(*effect.clsid, IID_IBaseFilter, reinterpret_cast<void**>(&effect_)), S_OK);
    ASSERT_EQ(effect_->QueryInterface(IID_IEffectPresets, presets_.PutVoid()), S_OK);
    ASSERT_EQ(presets_->GetPresetCount(&presetCount_), S_OK);
    ASSERT_EQ(graph_->AddFilter(effect_, L"Effect"), S_OK);
    ComRef<IPin> in, out;
    ASSERT_EQ(effect_->FindPin(L"Input", in.Put()), S_OK);
    ASSERT_EQ(effect_->FindPin(L"Output", out.Put()), S_OK);
    ASSERT_EQ(graph_->ConnectDirect(&source_->Output(), in.Get(), nullptr), S_OK);
    ASSERT_EQ(graph_->ConnectDirect(out.Get(), &sink_->Input(), nullptr), S_OK);
  }

  // The filter out of the graph, which disconnects it, and its last
  // reference returning zero.
  void Remove() {
    presets_.Reset();
    ASSERT_EQ(graph_->RemoveFilter(effect_), S_OK);
    ASSERT_EQ(std::exchange(effect_, nullptr)->Release(), 0u);
  }

  // The graph goes first and must let go of every filter; then the filter's
  // own last reference returns zero and the module has nothing alive.
  void Release() {
    if (control_) control_->Stop();  // a failed cycle may leave it running
    presets_.Reset();
    control_.Reset();
    if (graph_ != nullptr) {
      EXPECT_EQ(std::exchange(graph_, nullptr)->Release(), 0u);
    }
    if (effect_ != nullptr) {
      EXPECT_EQ(std::exchange(effect_, nullptr)->Release(), 0u);
    }
    if (source_ != nullptr) {
      EXPECT_EQ(std::exchange(source_, nullptr)->NonDelegatingRelease(), 0u);
    }
    if (sink_ != nullptr) {
      EXPECT_EQ(std::exchange(sink_, nullptr)->NonDelegatingRelease(), 0u);
    }
    EXPECT_EQ(Quill().canUnloadNow(), S_OK);
  }
  ~SoakGraph() { Release(); }

  // Running, a few buffers and the end of the stream (which lets the time
  // filter give what it holds), stopped.
  void RunOnce(std::uint32_t seed) {
    const long before = sink_->samples;
    ASSERT_TRUE(SUCCEEDED(control_->Run()));
    for (std::uint32_t k = 0; k < 4; ++k) ASSERT_EQ(Push(seed + k), S_OK);
    ASSERT_EQ(source_->PushEnd(), S_OK);
    ASSERT_EQ(control_->Stop(), S_OK);
    ASSERT_GT(sink_->samples, before);
  }

  HRESULT Push(std::uint32_t seed) {
    const std::vector<std::int16_t> noise = Noise(kBufferBytes / 2, seed);
    return source_->Push(noise.data(), kBufferBytes);
  }

  // Stopped, a preset (a full set-up, as a host that changes presets
  // between runs causes); running, buffers; paused, one more and a flush,
  // as a seek brings; running again, buffers and the end of the stream,
  // which each effect must pass on once with its tail before it; stopped.
  void Cycle(int n) {
    ASSERT_EQ(presets_->ApplyPreset(n % presetCount_), S_OK);
    const long before = sink_->samples;
    sink_->ends = 0;
    ASSERT_TRUE(SUCCEEDED(control_->Run()));
    for (std::uint32_t k = 0; k < 3; ++k) ASSERT_EQ(Push(n * 8 + k), S_OK);
    ASSERT_TRUE(SUCCEEDED(control_->Pause()));
    ASSERT_EQ(Push(n * 8 + 3), S_OK);
    ASSERT_EQ(source_->Output().DeliverBeginFlush(), S_OK);
    EXPECT_EQ(Push(n * 8 + 4), S_FALSE);  // refused while flushing
    ASSERT_EQ(source_->Output().DeliverEndFlush(), S_OK);
    ASSERT_TRUE(SUCCEEDED(control_->Run()));
    for (std::uint32_t k = 5; k < 8; ++k) ASSERT_EQ(Push(n * 8 + k), S_OK);
    ASSERT_EQ(source_->PushEnd(), S_OK);
    EXPECT_EQ(sink_->ends, 1) << "cycle " << n;
    EXPECT_GT(sink_->samples, before) << "cycle " << n;
    ASSERT_EQ(control_->Stop(), S_OK);
  }

  // A streaming thread pushes without a pause while this thread runs,
  // pauses, flushes and stops the graph under it: every state change must
  // return while a buffer may be inside the filter, and buffers must flow
  // again after each.
  void RacedCycles(int cycles) {
    std::atomic<bool> quit{false};
    std::thread pusher([&] {
      for (std::uint32_t n = 0; !quit; ++n)
        if (Push(n) != S_OK) Sleep(1);  // stopped or flushing: the allocator or the filter refuses
    });
    ControlUnderPusher(cycles);
    quit = true;
    pusher.join();
  }

 private:
  void ControlUnderPusher(int cycles) {
    for (int n = 0; n < cycles; ++n) {
      ASSERT_TRUE(SUCCEEDED(control_->Run()));
      ASSERT_NO_FATAL_FAILURE(WaitForMore("running"));
      ASSERT_TRUE(SUCCEEDED(control_->Pause()));
      ASSERT_EQ(source_->Output().DeliverBeginFlush(), S_OK);
      ASSERT_EQ(source_->Output().DeliverEndFlush(), S_OK);
      ASSERT_TRUE(SUCCEEDED(control_->Run()));
      ASSERT_NO_FATAL_FAILURE(WaitForMore("after the flush"));
      ASSERT_EQ(control_->Stop(), S_OK);
    }
  }

  // Two buffers more than now within a few seconds, or a failure.
  void WaitForMore(const char* when) {
    const long target = sink_->samples + 2;
    for (int waited = 0; sink_->samples < target; ++waited) {
      ASSERT_LT(waited, 5000) << "no buffers flow " << when;
      Sleep(1);
    }
  }

  IGraphBuilder* graph_ = nullptr;
  ComRef<IMediaControl> control_;
  ComRef<IEffectPresets> presets_;
  std::int32_t presetCount_ = 1;
  PushSource* source_ = nullptr;
  CountingSink* sink_ = nullptr;
  IBaseFilter* effect_ = nullptr;
};

// One round: every filter through creations, then its own graph for the
// cycles, then the graph gone.
void Round(const SoakCounts& counts, int round) {
  for (const HostEffect& effect : HostEffects()) {
    SCOPED_TRACE(testing::Message() << effect.name << ", round " << round);
    ASSERT_NO_FATAL_FAILURE(CreateQueryRelease(effect, counts.createsPerRound));
    SoakGraph graph;
    ASSERT_NO_FATAL_FAILURE(graph.Open());
    ASSERT_NO_FATAL_FAILURE(graph.Insert(effect));
    for (int n = 0; n < counts.cyclesPerRound; ++n)
      ASSERT_NO_FATAL_FAILURE(graph.Cycle(round * counts.cyclesPerRound + n));
    ASSERT_NO_FATAL_FAILURE(graph.RacedCycles(counts.cyclesPerRound));
  }
}

long long Growth(std::size_t from, std::size_t to) {
  return static_cast<long long>(to) - static_cast<long long>(from);
}

TEST(Soak, FiltersComeAndGoAndCycleInGraphsWithNothingLeftAliveAndNoGrowth) {
  const SoakCounts counts = Counts();
  const DWORD started = GetTickCount();
  // The warm-up round lets the platform's allocators, Wine's own caches and
  // the C runtime's heaps reach their working size; only growth after it
  // counts.
  ASSERT_NO_FATAL_FAILURE(Round(counts, 0));
  const Footprint warm = Measure();
  for (int round = 1; round <= counts.rounds; ++round) ASSERT_NO_FATAL_FAILURE(Round(counts, round));
  const Footprint last = Measure();
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
  const int perFilter = counts.rounds * counts.createsPerRound, cycles = counts.rounds * counts.cyclesPerRound;
  std::printf("soak: per filter after the warm-up %d creations, %d cycles and %d raced cycles in %d graphs; %lu ms\n",
              perFilter, cycles, cycles, counts.rounds, GetTickCount() - started);
  std::printf("soak: private bytes %zu after the warm-up, %zu after the last round (%+lld)\n", warm.privateBytes,
              last.privateBytes, Growth(warm.privateBytes, last.privateBytes));
  std::printf("soak: heap busy bytes %zu after the warm-up, %zu after the last round (%+lld)\n", warm.heapBusy,
              last.heapBusy, Growth(warm.heapBusy, last.heapBusy));
  ASSERT_GT(warm.privateBytes, 0u) << "the process's private bytes cannot be read";
  ASSERT_GT(warm.heapBusy, 0u) << "the heaps cannot be walked";
  // Private bytes move in whole pages as the heaps grow their arenas: after
  // the warm-up they moved by under 1 MiB in every run here, long or short.
  // A lost engine line or sample buffer (tens of KiB and more, per creation
  // or per run) passes 2 MiB within a round.
  EXPECT_LT(Growth(warm.privateBytes, last.privateBytes), 2LL << 20);
  // The busy bytes are exact. Wine's graph manager keeps 48 bytes of every
  // graph it releases, whatever is in it; beyond that, a few KiB of slack
  // for the platform's lazily made objects. A block lost per creation or
  // per cycle passes it at once.
  const long long graphs = counts.rounds * static_cast<long long>(HostEffects().size());
  EXPECT_LT(Growth(warm.heapBusy, last.heapBusy), 64 * graphs + (4LL << 10));
}

// A filter that joined a graph, connected, streamed and left must give back
// every block it took. One graph, with the source and the sink kept, takes
// a new filter of each kind in and out, so that the graph's own cost does
// not count: the busy bytes must not grow by a block per filter.
TEST(Soak, AFilterThatJoinedAGraphAndStreamedGivesBackEveryBlock) {
  constexpr int kSwaps = 50;
  for (const HostEffect& effect : HostEffects()) {
    SCOPED_TRACE(effect.name);
    SoakGraph graph;
    ASSERT_NO_FATAL_FAILURE(graph.Open());
    auto swap = [&](int n) {
      ASSERT_NO_FATAL_FAILURE(graph.Insert(effect));
      ASSERT_NO_FATAL_FAILURE(graph.RunOnce(static_cast<std::uint32_t>(n) * 4));
      ASSERT_NO_FATAL_FAILURE(graph.Remove());
    };
    for (int n = 0; n < 5; ++n) ASSERT_NO_FATAL_FAILURE(swap(n));  // warm-up
    const std::size_t before = Measure().heapBusy;
    for (int n = 0; n < kSwaps; ++n) ASSERT_NO_FATAL_FAILURE(swap(n));
    const long long growth = Growth(before, Measure().heapBusy);
    std::printf("soak: %s in and out of one graph %d times: heap busy bytes %+lld\n", effect.name, kSwaps, growth);
    // The smallest block a heap hands out is 8 bytes or more.
    EXPECT_LT(growth, 8 * kSwaps);
  }
}

}  // namespace
}  // namespace quill::test
