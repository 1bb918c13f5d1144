// The copying filters' buffer loop over fake samples and a fake output pin: stamps, flush, failures.
#include "dsp/copying_loop.h"

#include <gtest/gtest.h>

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
  std::vector<std::int64_t> times = std::vector<std::int64_t>(4);  // start, stop, media start, media stop
  explicit FakeSample(std::uint32_t size) : buffer(size) {}
  std::uint8_t* Data() override { return buffer.data(); }
  std::uint32_t Size() override { return static_cast<std::uint32_t>(buffer.size()); }
  HRESULT SetActualLength(std::uint32_t bytes) override { return length = bytes, S_OK; }
  HRESULT SetDiscontinuity(bool on) override { return discontinuity = on, S_OK; }
  HRESULT SetSyncPoint(bool on) override { return sync = on, S_OK; }
  HRESULT Stamp(bool& set, int at, const std::int64_t* a, const std::int64_t* b) {
    set = a != nullptr;
    times[at] = a != nullptr ? *a : 0, times[at + 1] = b != nullptr ? *b : 0;
    return S_OK;
  }
  HRESULT SetTime(const std::int64_t* a, const std::int64_t* b) override { return Stamp(timeSet, 0, a, b); }
  HRESULT SetMediaTime(const std::int64_t* a, const std::int64_t* b) override { return Stamp(mediaTimeSet, 2, a, b); }
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
  std::tuple<std::size_t, int, int, bool> Counts() const {
    return {delivered.size(), requests, endOfStream, live.empty()};
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
  CopyingLoop loop{engine, outlet};
  std::vector<std::int16_t> samples;
  TimeFilterRig(std::uint16_t channels, double finalTenths, std::uint32_t outBytes)
      : format(MakeFormat(1, channels, 8000, 16)), outlet(outBytes) {
    const TimeParams p = test::Time(16, finalTenths);
    engine.SetParams(&p);
    EXPECT_EQ(engine.SelectFormat(&format), S_OK);
    loop.SetFormats(&format, &format);
  }
  // `frames` frames of a ramp, as the next input buffer.
  InputSample Input(std::uint32_t frames) {
    samples.resize(static_cast<std::size_t>(frames) * format.channels);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(1000 + i * 37 % 2000);
    InputSample in;
    in.data = reinterpret_cast<std::uint8_t*>(samples.data());
    in.length = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
    return in;
  }
  HRESULT Feed(std::uint32_t frames) { return loop.Receive(Input(frames)); }
  std::size_t Frames() const { return outlet.Bytes().size() / format.blockAlign; }
};

TEST(CopyingLoop, DiscontinuityStampsAndSyncPointsGoOnTheFirstOutputOnly) {
  TimeFilterRig rig(2, 1000.0, 256);  // 64 stereo frames per buffer
  InputSample in = rig.Input(150);
  in.discontinuity = in.syncPoint = in.hasTime = in.hasMediaTime = true;
  std::tie(in.start, in.stop, in.mediaStart, in.mediaStop) = std::tuple(1000, 2000, 10, 20);
  ASSERT_EQ(rig.loop.Receive(in), S_OK);
  EXPECT_EQ(rig.outlet.Counts(), std::tuple(0u, 1, 0, true));  // less than a window: nothing yet
  EXPECT_TRUE(rig.loop.PendingDiscontinuity() && rig.loop.PendingSync());
  InputSample later = rig.Input(300);
  later.hasTime = true;  // not a discontinuity: its stamps are not used
  later.start = 7777;
  ASSERT_EQ(rig.loop.Receive(later), S_OK);
  ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
  ASSERT_GE(rig.outlet.delivered.size(), 2u);
  const FakeSample& first = rig.outlet.delivered[0];
  EXPECT_TRUE(first.discontinuity && first.sync && first.timeSet && first.mediaTimeSet);
  EXPECT_EQ(first.times, (std::vector<std::int64_t>{1000, 2000, 10, 20}));
  for (std::size_t i = 1; i < rig.outlet.delivered.size(); ++i) {
    const FakeSample& s = rig.outlet.delivered[i];
    EXPECT_FALSE(s.discontinuity || s.sync || s.timeSet || s.mediaTimeSet) << i;
  }
  EXPECT_FALSE(rig.loop.PendingDiscontinuity() || rig.loop.PendingSync());
  EXPECT_EQ(rig.Frames(), 450u);  // r = 1: every input frame comes out once
}

TEST(CopyingLoop, EndOfStreamFlushesInAsManyBuffersAsNeededThenPassesTheEndOn) {
  TimeFilterRig rig(1, 1000.0, 64);  // 32 frames per buffer
  ASSERT_EQ(rig.Feed(150), S_OK);
  const std::vector<std::uint8_t> fed(reinterpret_cast<std::uint8_t*>(rig.samples.data()),
                                      reinterpret_cast<std::uint8_t*>(rig.samples.data() + 150));
  ASSERT_EQ(rig.loop.EndOfStream(), S_OK);
  EXPECT_EQ(std::tuple(rig.outlet.delivered.size(), rig.outlet.endOfStream, rig.outlet.live.empty()),
            std::tuple(5u, 1, true));  // 4 x 32 + 22, copied without fade-in
  EXPECT_TRUE(rig.outlet.Bytes() == fed);
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
  // A refused first buffer, a refused delivery, a refused buffer after two
  // deliveries of 32 frames; at the end a refused buffer is not passed on, a
  // refused delivery is.
  const std::tuple<std::uint32_t, int, int, HRESULT, std::size_t> cases[] = {
      {512, 0, -1, E_OUTOFMEMORY, 0}, {512, -1, 0, E_FAIL, 0}, {64, 2, -1, E_OUTOFMEMORY, 2}};
  for (const auto& [bytes, failRequest, failDelivery, hr, delivered] : cases) {
    TimeFilterRig rig(1, 1000.0, bytes);
    std::tie(rig.outlet.failRequest, rig.outlet.failDelivery) = std::tuple(failRequest, failDelivery);
    EXPECT_EQ(rig.Feed(500), hr);
    EXPECT_EQ(std::tuple(rig.outlet.delivered.size(), rig.outlet.live.empty()), std::tuple(delivered, true));
  }
  for (const bool failDelivery : {false, true}) {
    TimeFilterRig rig(1, 1000.0, failDelivery ? 64 : 512);
    ASSERT_EQ(rig.Feed(150), S_OK);
    (failDelivery ? rig.outlet.failDelivery : rig.outlet.failRequest) = failDelivery ? 1 : rig.outlet.requests;
    EXPECT_EQ(rig.loop.EndOfStream(), failDelivery ? E_FAIL : E_OUTOFMEMORY);
    EXPECT_EQ(std::tuple(rig.outlet.endOfStream, rig.outlet.live.empty()), std::tuple(failDelivery ? 1 : 0, true));
  }
  // Output buffers that cannot hold a frame stall the engine: refused, not a hang.
  TimeFilterRig rig(2, 1000.0, 3);
  EXPECT_EQ(rig.Feed(400), S_OK);  // fills the window
  EXPECT_EQ(rig.Feed(10), E_UNEXPECTED);
  EXPECT_TRUE(rig.outlet.live.empty());
  // A trailing partial frame is left out: 400 whole frames and three bytes.
  TimeFilterRig partial(2, 1000.0, 4096);
  InputSample in = partial.Input(401);
  in.length -= 1;
  ASSERT_EQ(partial.loop.Receive(in), S_OK);
  ASSERT_EQ(partial.loop.EndOfStream(), S_OK);
  EXPECT_EQ(partial.Frames(), 400u);
}

// Records the calls the loop makes of its engine; takes at most 30 frames a call and emits nothing.
struct ScriptedEngine : FrameProcessor {
  HRESULT preFilterResult = S_OK;
  std::vector<std::pair<ProcessMode, std::uint32_t>> preFilters, processes;
  HRESULT PreFilter(ProcessMode mode, void*, std::uint32_t frames) override {
    preFilters.emplace_back(mode, frames);
    return preFilterResult;
  }
  HRESULT Process(ProcessMode mode, const void*, std::uint32_t* in, void*, std::uint32_t* out) override {
    processes.emplace_back(mode, in != nullptr ? *in : 0);
    if (in != nullptr) *in = std::min(*in, 30u);
    if (out != nullptr) *out = 0;
    return mode == ProcessMode::Tail ? S_FALSE : S_OK;
  }
};

TEST(CopyingLoop, PreFilterOnceDifferingFormatsTaggedAndAnEmptyBufferFilledFurther) {
  ScriptedEngine engine;
  FakeOutlet outlet{512};
  CopyingLoop loop{engine, outlet};
  const AudioFormat stereo = MakeFormat(1, 2, 8000, 16), mono = MakeFormat(1, 1, 8000, 16);
  std::vector<std::uint8_t> bytes(400);
  InputSample in;
  in.data = bytes.data();
  in.length = 400;
  in.discontinuity = true;
  loop.SetFormats(&stereo, &stereo);
  ASSERT_EQ(loop.Receive(in), S_OK);
  loop.SetFormats(&stereo, &mono);
  in.discontinuity = false;
  ASSERT_EQ(loop.Receive(in), S_OK);
  using Calls = std::vector<std::pair<ProcessMode, std::uint32_t>>;
  const auto D = ProcessMode::Discontinuity, C = ProcessMode::Continue;
  EXPECT_EQ(engine.preFilters, (Calls{{D, 100}, {C, 100}}));
  // 100 frames in bites of 30, the rest of the buffer marked as continuing.
  EXPECT_EQ(engine.processes, (Calls{{D, 100}, {C, 70}, {C, 40}, {C, 10}, {C, 100}, {C, 70}, {C, 40}, {C, 10}}));
  EXPECT_EQ(std::tuple(outlet.attached, outlet.requests), std::tuple(1, 2));  // one buffer per input buffer
  engine.preFilterResult = E_OUTOFMEMORY;
  EXPECT_EQ(loop.Receive(in), E_OUTOFMEMORY);
  EXPECT_EQ(engine.processes.size(), 8u);  // nothing processed after a failed pre-filter
  EXPECT_TRUE(outlet.live.empty());
}

}  // namespace
}  // namespace quill
