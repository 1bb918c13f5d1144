// The copying filters' buffer loop over fake samples and a fake output pin:
// how input buffers turn into output buffers, where time stamps and sync
// points land, the flush at the end of the stream, and the failure paths.
#include "dsp/copying_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "tests/native/copying_rig.h"

namespace quill {
namespace {

struct FakeSample : OutputSample {
  std::vector<std::uint8_t> buffer;
  std::uint32_t length = 0;
  bool discontinuity = false, sync = false, timeSet = false, mediaTimeSet = false;
  std::int64_t times[4] = {};  // start, stop, media start, media stop
  explicit FakeSample(std::uint32_t size) : buffer(size) {}
  std::uint8_t* Data() override { return buffer.data(); }
  std::uint32_t Size() override { return static_cast<std::uint32_t>(buffer.size()); }
  HRESULT SetActualLength(std::uint32_t bytes) override { return length = bytes, S_OK; }
  HRESULT SetDiscontinuity(bool on) override { return discontinuity = on, S_OK; }
  HRESULT SetSyncPoint(bool on) override { return sync = on, S_OK; }
  HRESULT Stamp(bool& set, std::int64_t* to, const std::int64_t* a, const std::int64_t* b) {
    set = a != nullptr;
    to[0] = a != nullptr ? *a : 0;
    to[1] = b != nullptr ? *b : 0;
    return S_OK;
  }
  HRESULT SetTime(const std::int64_t* a, const std::int64_t* b) override { return Stamp(timeSet, times, a, b); }
  HRESULT SetMediaTime(const std::int64_t* a, const std::int64_t* b) override {
    return Stamp(mediaTimeSet, times + 2, a, b);
  }
};

// Records what is delivered; can fail its n-th buffer request or delivery.
struct FakeOutlet : SampleOutlet {
  std::uint32_t size;
  std::set<FakeSample*> live;
  std::vector<FakeSample> delivered;
  int requests = 0, deliveries = 0, attached = 0, endOfStream = 0, failRequest = -1, failDelivery = -1;
  explicit FakeOutlet(std::uint32_t bytes) : size(bytes) {}
  ~FakeOutlet() override {
    for (FakeSample* s : live) delete s;
  }
  HRESULT GetDeliveryBuffer(OutputSample** sample) override {
    if (requests++ == failRequest) return E_OUTOFMEMORY;
    *sample = *live.insert(new FakeSample(size)).first;
    return S_OK;
  }
  HRESULT Deliver(OutputSample* sample) override {
    EXPECT_EQ(endOfStream, 0) << "nothing after the end of the stream";
    if (deliveries++ == failDelivery) return E_FAIL;
    delivered.push_back(*static_cast<FakeSample*>(sample));
    return S_OK;
  }
  void Release(OutputSample* sample) override {
    EXPECT_EQ(live.erase(static_cast<FakeSample*>(sample)), 1u) << "released twice or never taken";
    delete static_cast<FakeSample*>(sample);
  }
  HRESULT AttachMediaType(OutputSample*) override { return ++attached, S_OK; }
  HRESULT DeliverEndOfStream() override { return ++endOfStream, S_OK; }
  // Buffers delivered and requested, ends of stream passed on, and whether every buffer was released.
  std::tuple<std::size_t, int, int, bool> Counts() const { return {delivered.size(), requests, endOfStream, live.empty()}; }
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
  CopyingLoop loop{engine, outlet};
  TimeFilterRig(std::uint16_t channels, double finalTenths, std::uint32_t outBytes)
      : format(MakeFormat(1, channels, 8000, 16)), outlet(outBytes) {
    const TimeParams p = test::Time(16, finalTenths);
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
  std::size_t Frames() const { return outlet.Bytes().size() / format.blockAlign; }
};

TEST(CopyingLoop, ExpansionFillsWholeBuffersAndMatchesOneLargeBuffer) {
  for (std::uint16_t ch : {1, 2}) {
    TimeFilterRig rig(ch, 5000.0, 512);  // r = 5: S = 40
    const std::uint32_t align = 2u * ch, room = 512 / align;
    auto a = rig.Samples(150), b = rig.Samples(850, 150), c = rig.Samples(777, 1000);
    ASSERT_EQ(rig.loop.Receive(TimeFilterRig::Input(a)), S_OK);
    EXPECT_EQ(rig.outlet.Counts(), std::tuple(0u, 1, 0, true));  // less than a window: nothing yet
    ASSERT_EQ(rig.loop.Receive(TimeFilterRig::Input(b)), S_OK);
    // 1 + (1000 - 400) / 40 windows of 200 frames are made.
    EXPECT_GE(rig.outlet.delivered.size(), 3200u / room - 1);
    for (std::size_t i = 0; i + 1 < rig.outlet.delivered.size(); ++i)
      ASSERT_EQ(rig.outlet.delivered[i].length, room * align) << i;
    ASSERT_EQ(rig.loop.Receive(TimeFilterRig::Input(c)), S_OK);
    ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
    EXPECT_EQ(rig.outlet.endOfStream, 1);
    EXPECT_TRUE(rig.outlet.live.empty());
    test::TimeRig<Pcm16> direct(ch, 8000, test::Time(16, 5000.0));
    std::vector<std::int16_t> all(a);
    all.insert(all.end(), b.begin(), b.end());
    all.insert(all.end(), c.begin(), c.end());
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
  ASSERT_EQ(rig.Feed(399, 400), S_OK);
  EXPECT_EQ(std::tuple(rig.outlet.delivered.size(), rig.outlet.requests), std::tuple(1u, 2));
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
  ASSERT_EQ(rig.loop.Receive(later), S_OK);
  ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
  ASSERT_GE(rig.outlet.delivered.size(), 2u);
  const FakeSample& first = rig.outlet.delivered[0];
  EXPECT_TRUE(first.discontinuity && first.sync && first.timeSet && first.mediaTimeSet);
  EXPECT_EQ((std::vector<std::int64_t>(first.times, first.times + 4)), (std::vector<std::int64_t>{1000, 2000, 10, 20}));
  for (std::size_t i = 1; i < rig.outlet.delivered.size(); ++i) {
    const FakeSample& s = rig.outlet.delivered[i];
    EXPECT_FALSE(s.discontinuity || s.sync || s.timeSet || s.mediaTimeSet) << i;
  }
  EXPECT_FALSE(rig.loop.PendingDiscontinuity() || rig.loop.PendingSync());
  EXPECT_EQ(rig.Frames(), 450u);  // r = 1: every input frame comes out once
}

TEST(CopyingLoop, EndOfStreamFlushesInAsManyBuffersAsNeededThenPassesTheEndOn) {
  TimeFilterRig rig(1, 1000.0, 64);  // 32 frames per buffer
  auto v = rig.Samples(150);
  ASSERT_EQ(rig.loop.Receive(TimeFilterRig::Input(v)), S_OK);
  ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
  EXPECT_EQ(std::tuple(rig.outlet.delivered.size(), rig.outlet.endOfStream, rig.outlet.live.empty()),
            std::tuple(5u, 1, true));  // 4 x 32 + 22
  EXPECT_TRUE(rig.outlet.Bytes() == std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(v.data()),
                                                               reinterpret_cast<std::uint8_t*>(v.data() + 150)));
  // Nothing left, or a stream that never filled a window: only the end goes on.
  TimeFilterRig fresh(2, 1100.0, 64);
  for (TimeFilterRig* r : {&rig, &fresh}) {
    FakeOutlet quiet(64);
    r->loop.SetOutlet(&quiet);
    ASSERT_EQ(r->loop.EndOfStream(), S_OK);
    EXPECT_EQ(quiet.Counts(), std::tuple(0u, 1, 1, true));
  }
  // Without an output pin or its format there is nothing to do.
  rig.loop.SetOutlet(nullptr);
  EXPECT_EQ(rig.loop.EndOfStream(), S_OK);
  EXPECT_EQ(rig.Feed(10), VFW_E_NOT_CONNECTED);
  FakeOutlet unused(64);
  rig.loop.SetOutlet(&unused);
  rig.loop.SetFormats(&rig.format, nullptr);
  EXPECT_EQ(rig.Feed(10), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(unused.requests, 0);  // refused before taking a buffer
}

TEST(CopyingLoop, FailuresAreReturnedAndEveryBufferIsReleased) {
  const struct {
    std::uint32_t outBytes;
    int failRequest, failDelivery;
    HRESULT hr;
    std::size_t delivered;
  } cases[] = {{512, 0, -1, E_OUTOFMEMORY, 0}, {512, -1, 0, E_FAIL, 0},
               {64, 2, -1, E_OUTOFMEMORY, 2}};  // 32 frames per buffer: the request after the second delivery
  for (const auto& c : cases) {
    TimeFilterRig rig(1, 1000.0, c.outBytes);
    std::tie(rig.outlet.failRequest, rig.outlet.failDelivery) = std::tuple(c.failRequest, c.failDelivery);
    EXPECT_EQ(rig.Feed(500), c.hr);
    EXPECT_EQ(rig.outlet.delivered.size(), c.delivered);
    EXPECT_TRUE(rig.outlet.live.empty());
  }
  for (const bool failDelivery : {false, true}) {
    // At the end: a failed request is not passed on, a failed delivery is.
    TimeFilterRig rig(1, 1000.0, failDelivery ? 64 : 512);
    ASSERT_EQ(rig.Feed(150), S_OK);
    (failDelivery ? rig.outlet.failDelivery : rig.outlet.failRequest) = failDelivery ? 1 : rig.outlet.requests;
    EXPECT_EQ(rig.loop.EndOfStream(), failDelivery ? E_FAIL : E_OUTOFMEMORY);
    EXPECT_EQ(rig.outlet.endOfStream, failDelivery ? 1 : 0);
    EXPECT_TRUE(rig.outlet.live.empty());
  }
  // Output buffers that cannot hold a frame stall the engine: refused, not a hang.
  TimeFilterRig rig(2, 1000.0, 3);
  EXPECT_EQ(rig.Feed(400), S_OK);  // fills the window
  EXPECT_EQ(rig.Feed(10), E_UNEXPECTED);
  EXPECT_TRUE(rig.outlet.live.empty());
  // A trailing partial frame is left out: 400 whole frames of three bytes more.
  TimeFilterRig partial(2, 1000.0, 4096);
  auto v = partial.Samples(401);
  InputSample in = TimeFilterRig::Input(v);
  in.length -= 1;
  ASSERT_EQ(partial.loop.Receive(in), S_OK);
  ASSERT_EQ(partial.loop.EndOfStream(), S_OK);
  EXPECT_EQ(partial.Frames(), 400u);
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

TEST(CopyingLoop, PreFilterOnceDifferingFormatsTaggedAndAnEmptyBufferFilledFurther) {
  ScriptedEngine engine;
  FakeOutlet outlet{512};
  CopyingLoop loop{engine, outlet};
  const AudioFormat stereo = MakeFormat(1, 2, 8000, 16), mono = MakeFormat(1, 1, 8000, 16);
  loop.SetFormats(&stereo, &stereo);
  std::vector<std::uint8_t> bytes(400);
  InputSample in;
  in.data = bytes.data();
  in.length = 400;
  in.discontinuity = true;
  ASSERT_EQ(loop.Receive(in), S_OK);
  EXPECT_EQ(engine.preFilters, (std::vector<std::pair<ProcessMode, std::uint32_t>>{{ProcessMode::Discontinuity, 100}}));
  EXPECT_EQ(engine.processes, engine.preFilters);
  EXPECT_EQ(outlet.attached, 0);
  loop.SetFormats(&stereo, &mono);
  in.discontinuity = false;
  engine.takeAtMost = 30;  // takes input in small bites and emits nothing
  ASSERT_EQ(loop.Receive(in), S_OK);
  EXPECT_EQ(outlet.attached, 1);
  ASSERT_EQ(engine.processes.size(), 5u);  // 100 frames: 30, 30, 30, 10
  EXPECT_EQ(engine.processes[4], std::pair(ProcessMode::Continue, 10u));
  EXPECT_EQ(outlet.requests, 2);  // one buffer per input buffer, never delivered
  engine.preFilterResult = E_OUTOFMEMORY;
  EXPECT_EQ(loop.Receive(in), E_OUTOFMEMORY);
  EXPECT_EQ(engine.processes.size(), 5u);  // nothing processed after a failed pre-filter
  EXPECT_TRUE(outlet.live.empty());
}

}  // namespace
}  // namespace quill
