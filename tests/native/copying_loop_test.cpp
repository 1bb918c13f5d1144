// The copying filters' buffer loop over fake samples and a fake output pin:
// how input buffers turn into output buffers, where time stamps and sync
// points land, the flush at the end of the stream, and every failure path.
#include "dsp/copying_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "tests/native/copying_rig.h"
#include "twtime/time_engine.h"
#include "tools/common/wav_file.h"

namespace quill {
namespace {

struct FakeSample : OutputSample {
  std::vector<std::uint8_t> buffer;
  std::uint32_t length = 0;
  bool discontinuity = false, sync = false, timeSet = false, mediaTimeSet = false;
  std::int64_t start = 0, stop = 0, mediaStart = 0, mediaStop = 0;
  explicit FakeSample(std::uint32_t size) : buffer(size) {}
  std::uint8_t* Data() override { return buffer.data(); }
  std::uint32_t Size() override { return static_cast<std::uint32_t>(buffer.size()); }
  HRESULT SetActualLength(std::uint32_t bytes) override { return length = bytes, S_OK; }
  HRESULT SetDiscontinuity(bool on) override { return discontinuity = on, S_OK; }
  HRESULT SetSyncPoint(bool on) override { return sync = on, S_OK; }
  static HRESULT Stamp(bool& set, std::int64_t& to, std::int64_t& end, const std::int64_t* a, const std::int64_t* b) {
    set = a != nullptr;
    to = a != nullptr ? *a : 0;
    end = b != nullptr ? *b : 0;
    return S_OK;
  }
  HRESULT SetTime(const std::int64_t* a, const std::int64_t* b) override { return Stamp(timeSet, start, stop, a, b); }
  HRESULT SetMediaTime(const std::int64_t* a, const std::int64_t* b) override {
    return Stamp(mediaTimeSet, mediaStart, mediaStop, a, b);
  }
};

// Records what is delivered; can fail its n-th buffer request or delivery.
struct FakeOutlet : SampleOutlet {
  std::uint32_t size;
  std::set<FakeSample*> live;
  std::vector<FakeSample> delivered;
  int requests = 0, deliveries = 0, attached = 0, endOfStream = 0;
  int failRequest = -1, failDelivery = -1;
  explicit FakeOutlet(std::uint32_t bytes) : size(bytes) {}
  ~FakeOutlet() override {
    for (FakeSample* s : live) delete s;
  }
  HRESULT GetDeliveryBuffer(OutputSample** sample) override {
    if (requests++ == failRequest) return E_OUTOFMEMORY;
    auto* s = new FakeSample(size);
    live.insert(s);
    *sample = s;
    return S_OK;
  }
  HRESULT Deliver(OutputSample* sample) override {
    EXPECT_EQ(endOfStream, 0) << "nothing after the end of the stream";
    if (deliveries++ == failDelivery) return E_FAIL;
    delivered.push_back(*static_cast<FakeSample*>(sample));
    return S_OK;
  }
  void Release(OutputSample* sample) override {
    auto* s = static_cast<FakeSample*>(sample);
    EXPECT_EQ(live.erase(s), 1u) << "released twice or never taken";
    delete s;
  }
  HRESULT AttachMediaType(OutputSample*) override { return ++attached, S_OK; }
  HRESULT DeliverEndOfStream() override { return ++endOfStream, S_OK; }
  // Buffers delivered and requested, ends of stream passed on, and whether every buffer was released.
  std::tuple<std::size_t, int, int, bool> Counts() const {
    return {delivered.size(), requests, endOfStream, live.empty()};
  }
  std::uint32_t Frames(std::uint32_t align) const {
    std::uint32_t n = 0;
    for (const auto& s : delivered) n += s.length / align;
    return n;
  }
  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> all;
    for (const auto& s : delivered) all.insert(all.end(), s.buffer.begin(), s.buffer.begin() + s.length);
    return all;
  }
};

// A time engine on 16-bit PCM at 8000 Hz, row 16 (N = 400, H = 200), behind the loop.
struct TimeFilterRig {
  AudioFormat format;
  TimeEngine engine;
  FakeOutlet outlet;
  CopyingLoop loop;
  TimeFilterRig(std::uint16_t channels, double finalTenths, std::uint32_t outBytes)
      : format(MakeFormat(1, channels, 8000, 16)), outlet(outBytes), loop(engine, outlet) {
    const TimeParams p{finalTenths, 16, 1200, 2646000.0, 0, 0};
    engine.SetParams(&p);
    EXPECT_EQ(engine.SelectFormat(&format), S_OK);
    loop.SetFormats(&format, &format);
  }
  std::vector<std::int16_t> Samples(std::uint32_t frames, std::uint32_t from = 0) const {
    std::vector<std::int16_t> v(static_cast<std::size_t>(frames) * format.channels);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::int16_t>(1000 + ((i + from) * 37) % 2000);
    return v;
  }
  static InputSample Input(std::vector<std::int16_t>& v) {
    InputSample in;
    in.data = reinterpret_cast<std::uint8_t*>(v.data());
    in.length = static_cast<std::uint32_t>(v.size() * sizeof(std::int16_t));
    return in;
  }
  HRESULT Feed(std::uint32_t frames, std::uint32_t from = 0) {
    auto v = Samples(frames, from);
    return loop.Receive(Input(v));
  }
};

TEST(CopyingLoop, AFirstBufferShorterThanTheWindowDeliversNothing) {
  TimeFilterRig rig(1, 1100.0, 512);
  EXPECT_EQ(rig.Feed(150), S_OK);
  EXPECT_EQ(rig.outlet.Counts(), std::tuple(0u, 1, 0, true));
}

TEST(CopyingLoop, ExpansionFillsSeveralBuffersAndTheWholeStreamMatchesTheEngine) {
  for (std::uint16_t ch : {1, 2}) {
    TimeFilterRig rig(ch, 5000.0, 512);  // r = 5: S = 40
    const std::uint32_t align = 2u * ch, room = 512 / align;
    auto a = rig.Samples(1000), b = rig.Samples(777, 1000);
    ASSERT_EQ(rig.loop.Receive(TimeFilterRig::Input(a)), S_OK);
    // 1 + (1000 - 400) / 40 windows of 200 frames are made.
    EXPECT_GE(rig.outlet.delivered.size(), 3200u / room - 1);
    for (std::size_t i = 0; i + 1 < rig.outlet.delivered.size(); ++i)
      ASSERT_EQ(rig.outlet.delivered[i].length, room * align) << i;
    ASSERT_EQ(rig.loop.Receive(TimeFilterRig::Input(b)), S_OK);
    ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
    EXPECT_EQ(rig.outlet.endOfStream, 1);
    EXPECT_TRUE(rig.outlet.live.empty());
    // The same stream straight through an engine with one large buffer.
    test::TimeRig<Pcm16> direct(ch, 8000, 16, 5000.0);
    std::vector<std::int16_t> all(a);
    all.insert(all.end(), b.begin(), b.end());
    const auto expected = direct.Stream(all, 1777, 1 << 20);
    const auto bytes = rig.outlet.Bytes();
    ASSERT_EQ(bytes.size(), expected.size() * sizeof(std::int16_t));
    EXPECT_EQ(std::memcmp(bytes.data(), expected.data(), bytes.size()), 0) << ch;
  }
}

TEST(CopyingLoop, CompressionCanUseABufferUpWithoutDeliveringAndKeepsTheSample) {
  TimeFilterRig rig(1, 500.0, 4096);  // r = 0.5: S = N = 400, one window per 400 frames
  ASSERT_EQ(rig.Feed(400), S_OK);
  ASSERT_EQ(rig.outlet.delivered.size(), 1u);
  EXPECT_EQ(rig.outlet.delivered[0].length, 400u);  // H = 200 frames
  const int before = rig.outlet.requests;
  ASSERT_EQ(rig.Feed(399, 400), S_OK);
  EXPECT_EQ(rig.outlet.delivered.size(), 1u);
  EXPECT_EQ(rig.outlet.requests, before + 1);
}

TEST(CopyingLoop, DiscontinuityStampsAndSyncPointsGoOnTheFirstOutputOnly) {
  TimeFilterRig rig(2, 1000.0, 256);  // 64 stereo frames per buffer
  auto a = rig.Samples(150);
  InputSample in = TimeFilterRig::Input(a);
  in.discontinuity = in.syncPoint = in.hasTime = in.hasMediaTime = true;
  std::tie(in.start, in.stop, in.mediaStart, in.mediaStop) = std::tuple(1000, 2000, 10, 20);
  ASSERT_EQ(rig.loop.Receive(in), S_OK);
  EXPECT_TRUE(rig.outlet.delivered.empty());
  EXPECT_TRUE(rig.loop.PendingDiscontinuity() && rig.loop.PendingSync());
  auto b = rig.Samples(300, 300);
  InputSample later = TimeFilterRig::Input(b);
  later.hasTime = true;  // not a discontinuity: its stamps are not used
  later.start = 7777;
  later.stop = 8888;
  ASSERT_EQ(rig.loop.Receive(later), S_OK);
  ASSERT_GE(rig.outlet.delivered.size(), 2u);
  const FakeSample& first = rig.outlet.delivered[0];
  EXPECT_TRUE(first.discontinuity && first.sync && first.timeSet && first.mediaTimeSet);
  EXPECT_EQ(std::tuple(first.start, first.stop, first.mediaStart, first.mediaStop), std::tuple(1000, 2000, 10, 20));
  for (std::size_t i = 1; i < rig.outlet.delivered.size(); ++i) {
    const FakeSample& s = rig.outlet.delivered[i];
    EXPECT_FALSE(s.discontinuity || s.sync || s.timeSet || s.mediaTimeSet) << i;
  }
  EXPECT_FALSE(rig.loop.PendingDiscontinuity() || rig.loop.PendingSync());
  const std::size_t streamed = rig.outlet.delivered.size();
  ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
  for (std::size_t i = streamed; i < rig.outlet.delivered.size(); ++i)
    EXPECT_FALSE(rig.outlet.delivered[i].timeSet || rig.outlet.delivered[i].discontinuity) << i;
  // r = 1: every input frame comes out once.
  EXPECT_EQ(rig.outlet.Frames(4), 450u);
}

TEST(CopyingLoop, EndOfStreamFlushesInAsManyBuffersAsNeededThenPassesTheEndOn) {
  TimeFilterRig rig(1, 1000.0, 64);  // 32 frames per buffer
  auto v = rig.Samples(150);
  ASSERT_EQ(rig.loop.Receive(TimeFilterRig::Input(v)), S_OK);
  ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
  ASSERT_EQ(rig.outlet.delivered.size(), 5u);  // 4 x 32 + 22
  EXPECT_EQ(rig.outlet.delivered[4].length, 44u);
  EXPECT_EQ(rig.outlet.endOfStream, 1);
  const auto bytes = rig.outlet.Bytes();
  EXPECT_EQ(std::memcmp(bytes.data(), v.data(), bytes.size()), 0);  // copied without fade-in
  EXPECT_TRUE(rig.outlet.live.empty());
  // Nothing left: only the end of the stream goes on.
  FakeOutlet quiet(64);
  rig.loop.SetOutlet(&quiet);
  ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
  EXPECT_EQ(quiet.Counts(), std::tuple(0u, 1, 1, true));
  // A stream that never filled a window: the engine answers once with
  // nothing and then reports the end.
  TimeFilterRig fresh(2, 1100.0, 64);
  ASSERT_EQ(fresh.loop.EndOfStream(), S_OK);
  EXPECT_EQ(fresh.outlet.Counts(), std::tuple(0u, 1, 1, true));
  // Without an output pin there is nothing to do.
  rig.loop.SetOutlet(nullptr);
  EXPECT_EQ(rig.loop.EndOfStream(), S_OK);
  EXPECT_EQ(rig.Feed(10), VFW_E_NOT_CONNECTED);
  rig.loop.SetOutlet(&quiet);
  rig.loop.SetFormats(&rig.format, nullptr);  // no output format yet
  EXPECT_EQ(rig.Feed(10), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(quiet.requests, 1);  // refused before taking a buffer
}

TEST(CopyingLoop, FailuresAreReturnedAndEveryBufferIsReleased) {
  {
    TimeFilterRig rig(1, 1000.0, 512);
    rig.outlet.failRequest = 0;
    EXPECT_EQ(rig.Feed(500), E_OUTOFMEMORY);
    EXPECT_EQ(rig.engine.Stretcher().Fill(), 0);  // the engine never saw the buffer
  }
  {
    TimeFilterRig rig(1, 1000.0, 512);
    rig.outlet.failDelivery = 0;
    EXPECT_EQ(rig.Feed(500), E_FAIL);
    EXPECT_TRUE(rig.outlet.live.empty());
  }
  {
    TimeFilterRig rig(1, 1000.0, 64);  // 32 frames per buffer: several per window
    rig.outlet.failRequest = 2;        // the buffer after the second delivery
    EXPECT_EQ(rig.Feed(500), E_OUTOFMEMORY);
    EXPECT_EQ(rig.outlet.delivered.size(), 2u);
    EXPECT_TRUE(rig.outlet.live.empty());
  }
  for (const bool failDelivery : {false, true}) {
    // At the end: a failed request is not passed on, a failed delivery is.
    TimeFilterRig rig(1, 1000.0, failDelivery ? 64 : 512);
    ASSERT_EQ(rig.Feed(150), S_OK);
    if (failDelivery) rig.outlet.failDelivery = 1;
    else rig.outlet.failRequest = rig.outlet.requests;
    EXPECT_EQ(rig.loop.EndOfStream(), failDelivery ? E_FAIL : E_OUTOFMEMORY);
    EXPECT_EQ(rig.outlet.endOfStream, failDelivery ? 1 : 0);
    EXPECT_TRUE(!failDelivery || rig.outlet.live.empty());
  }
  // Output buffers that cannot hold a frame stall the engine: refused, not a hang.
  TimeFilterRig rig(2, 1000.0, 3);
  EXPECT_EQ(rig.Feed(400), S_OK);  // fills the window
  EXPECT_EQ(rig.Feed(10), E_UNEXPECTED);
  EXPECT_TRUE(rig.outlet.live.empty());
}

TEST(CopyingLoop, ATrailingPartialFrameIsLeftOut) {
  TimeFilterRig rig(2, 1000.0, 4096);
  auto v = rig.Samples(401);
  InputSample in = TimeFilterRig::Input(v);
  in.length -= 1;  // 400 whole frames and three bytes
  ASSERT_EQ(rig.loop.Receive(in), S_OK);
  EXPECT_EQ(rig.outlet.Frames(4), 200u);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 200);  // 400 taken, one hop handed out
}

// Records the calls the loop makes of its engine.
struct ScriptedEngine : FrameProcessor {
  HRESULT preFilterResult = S_OK;
  std::uint32_t takeAtMost = 0xFFFFFFFFu;  // input frames taken per call
  std::vector<std::pair<ProcessMode, std::uint32_t>> preFilters, processes;
  HRESULT PreFilter(ProcessMode mode, void*, std::uint32_t frames) override {
    preFilters.emplace_back(mode, frames);
    return preFilterResult;
  }
  HRESULT Process(ProcessMode mode, const void*, std::uint32_t* in, void*, std::uint32_t* out) override {
    processes.emplace_back(mode, in != nullptr ? *in : 0);
    if (in != nullptr) *in = std::min(*in, takeAtMost);
    if (out != nullptr) *out = 0;
    return mode == ProcessMode::Tail ? S_FALSE : S_OK;
  }
};

// The loop over a scripted engine, with a buffer of silence to feed it.
struct ScriptedRig {
  ScriptedEngine engine;
  FakeOutlet outlet{512};
  CopyingLoop loop{engine, outlet};
  const AudioFormat stereo = MakeFormat(1, 2, 8000, 16), mono = MakeFormat(1, 1, 8000, 16);
  const AudioFormat format;  // the loop keeps pointers to the formats
  std::vector<std::uint8_t> bytes;
  InputSample in;
  ScriptedRig(const AudioFormat& f, std::uint32_t length) : format(f), bytes(length) {
    loop.SetFormats(&format, &format);
    in.data = bytes.data();
    in.length = length;
  }
};

TEST(CopyingLoop, PreFilterSeesEachBufferOnceAndDifferingFormatsAreTagged) {
  ScriptedRig rig(MakeFormat(1, 2, 8000, 16), 400);
  auto& [engine, outlet, loop, stereo, mono, format, bytes, in] = rig;
  in.discontinuity = true;
  ASSERT_EQ(loop.Receive(in), S_OK);
  ASSERT_EQ(engine.preFilters.size(), 1u);
  EXPECT_EQ(engine.preFilters[0].first, ProcessMode::Discontinuity);
  EXPECT_EQ(engine.preFilters[0].second, 100u);
  ASSERT_EQ(engine.processes.size(), 1u);
  EXPECT_EQ(engine.processes[0].first, ProcessMode::Discontinuity);
  EXPECT_EQ(outlet.attached, 0);
  loop.SetFormats(&stereo, &mono);
  in.discontinuity = false;
  ASSERT_EQ(loop.Receive(in), S_OK);
  EXPECT_EQ(outlet.attached, 1);
  EXPECT_EQ(engine.processes.back().first, ProcessMode::Continue);
  engine.preFilterResult = E_OUTOFMEMORY;
  const std::size_t calls = engine.processes.size();
  EXPECT_EQ(loop.Receive(in), E_OUTOFMEMORY);
  EXPECT_EQ(engine.processes.size(), calls);  // nothing processed after a failed pre-filter
  EXPECT_TRUE(outlet.live.empty());
}

TEST(CopyingLoop, AnOutputBufferThatReceivedNothingIsFilledFurther) {
  ScriptedRig rig(MakeFormat(1, 1, 8000, 16), 200);
  rig.engine.takeAtMost = 30;  // takes input in small bites and emits nothing
  ASSERT_EQ(rig.loop.Receive(rig.in), S_OK);
  ASSERT_EQ(rig.engine.processes.size(), 4u);  // 100 frames: 30, 30, 30, 10
  EXPECT_EQ(rig.engine.processes[3].second, 10u);
  EXPECT_EQ(rig.outlet.requests, 1);
  EXPECT_TRUE(rig.outlet.live.empty());
}

}  // namespace
}  // namespace quill
