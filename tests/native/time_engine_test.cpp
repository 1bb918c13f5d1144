// The time engine: which edits mark it dirty, its format selection, and how
// it picks parameter changes up while streaming.
#include "twtime/time_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "dsp/line_memory.h"
#include "tests/native/test_support.h"
#include "tests/native/copying_rig.h"
#include "tools/common/wav_file.h"

namespace quill {
namespace {

using test::MemoryStream;
using test::TimeRig;

// One Process call on a fresh count pair; returns what the engine says.
template <class S>
HRESULT Step(TimeEngine& e, S* in, std::uint32_t& n, std::uint32_t take, S* out, std::uint32_t& room,
             std::uint32_t space) {
  n = take;
  room = space;
  return e.Process(ProcessMode::Continue, in, &n, out, &room);
}

TEST(TimeSetters, MarkOnlyRealChanges) {
  TimeEngine engine;
  ITimeParams* params = &engine;
  params->SetMode(7);
  params->SetLength(1e12);  // stored as the ceiling
  MemoryStream sink;
  ASSERT_EQ(engine.Save(&sink, true), S_OK);
  EXPECT_FALSE(engine.IsDirty());
  params->SetMode(7);
  params->SetLength(793800000.0);
  EXPECT_FALSE(engine.IsDirty());
  params->SetLength(5.0);
  EXPECT_TRUE(engine.IsDirty());
}

TEST(TimeFormat, SampleRateComesFromTheConnectedFormat) {
  TimeEngine engine;
  std::uint32_t rate = 0;
  EXPECT_EQ(engine.GetSampleRate(&rate), E_FAIL);
  EXPECT_EQ(rate, 44100u);
  const AudioFormat f = MakeFormat(1, 2, 22050, 16);
  ASSERT_EQ(engine.SelectFormat(&f), S_OK);
  EXPECT_EQ(engine.GetSampleRate(&rate), S_OK);
  EXPECT_EQ(rate, 22050u);
  EXPECT_EQ(engine.GetSampleRate(nullptr), E_POINTER);
  // The default preset at 44.1 kHz: row 0 and r = 1.1.
  TimeEngine cd;
  const AudioFormat f44 = MakeFormat(1, 2, 44100, 16);
  ASSERT_EQ(cd.SelectFormat(&f44), S_OK);
  EXPECT_EQ(cd.Stretcher().Geometry().N, 13230u);
  EXPECT_EQ(cd.Stretcher().Geometry().H, 6615u);
  EXPECT_EQ(cd.Stretcher().InputHop(), 6014u);
}

TEST(TimeFormat, SelectFormatRefusesWhatItCannotProcessAndKeepsThePrevious) {
  TimeEngine engine;
  const AudioFormat good = MakeFormat(1, 1, 8000, 16);
  ASSERT_EQ(engine.SelectFormat(&good), S_OK);
  EXPECT_EQ(engine.Stretcher().Geometry().N, 2400u);  // row 0 at 8000 Hz
  EXPECT_EQ(engine.SelectFormat(nullptr), E_POINTER);
  for (const AudioFormat& bad : {MakeFormat(1, 1, 8000, 24), MakeFormat(2, 1, 8000, 16), MakeFormat(1, 3, 8000, 16)})
    EXPECT_EQ(engine.SelectFormat(&bad), E_FAIL) << bad.formatTag << "/" << bad.channels << "/" << bad.bitsPerSample;

  // Still the 16-bit mono routines: 2400 frames fill the window exactly.
  std::vector<std::int16_t> in(2400, 1000), out(1200);
  std::uint32_t n, room;
  ASSERT_EQ(Step(engine, in.data(), n, 2400, out.data(), room, 1200), S_OK);
  EXPECT_EQ(n, 2400u);
  EXPECT_EQ(room, 1200u);
  EXPECT_EQ(out[0], 1000);
  // Any tag other than integer PCM with 32 or 64 bits is read as float.
  const AudioFormat extensible = MakeFormat(0xFFFE, 1, 8000, 64);
  ASSERT_EQ(engine.SelectFormat(&extensible), S_OK);
  std::vector<double> fin(2400, 0.25), fout(1200);
  ASSERT_EQ(Step(engine, fin.data(), n, 2400, fout.data(), room, 1200), S_OK);
  EXPECT_EQ(room, 1200u);
  EXPECT_EQ(fout[0], 0.25);
}

TEST(TimeProcess, RefusesBadCallsAndUnconnectedUse) {
  TimeEngine engine;
  std::int16_t buf[16] = {};
  std::uint32_t n = 4, room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, buf, &room), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(n, 0u);
  room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Tail, nullptr, nullptr, buf, &room), S_FALSE);
  EXPECT_EQ(room, 0u);
  const AudioFormat f = MakeFormat(1, 1, 8000, 16);
  ASSERT_EQ(engine.SelectFormat(&f), S_OK);
  EXPECT_EQ(Step<std::int16_t>(engine, nullptr, n, 4, buf, room, 4), E_POINTER);
  EXPECT_EQ(Step<std::int16_t>(engine, buf, n, 4, nullptr, room, 4), E_POINTER);
  // Missing counts are zero: nothing to take, nothing written back.
  EXPECT_EQ(engine.Process(ProcessMode::Continue, nullptr, nullptr, nullptr, nullptr), S_OK);
  // A mode outside the table is refused until a valid one is set.
  engine.SetMode(19);
  EXPECT_EQ(Step(engine, buf, n, 4, buf, room, 4), E_INVALIDARG);
  EXPECT_EQ(n, 0u);
  engine.SetMode(-1);
  n = 4;  // the room left from the refused call
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, buf, &room), E_INVALIDARG);
  engine.SetMode(16);
  EXPECT_EQ(Step(engine, buf, n, 4, buf, room, 4), S_OK);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(engine.Stretcher().Geometry().N, 400u);
  const AudioFormat slow = MakeFormat(1, 1, 20, 16);  // a rate too low for any window
  EXPECT_EQ(engine.SelectFormat(&slow), E_INVALIDARG);
}

void* NoMemory(std::size_t, std::size_t) {
  return nullptr;
}

TEST(TimeProcess, MissingMemoryFailsUntilAConfigureSucceeds) {
  TimeEngine engine;
  const AudioFormat f = MakeFormat(1, 2, 8000, 16);
  const LineAllocFn previous = SetLineAllocator(&NoMemory);
  EXPECT_EQ(engine.SelectFormat(&f), E_OUTOFMEMORY);
  std::vector<std::int16_t> in(800, 100), out(800);
  std::uint32_t n, room;
  EXPECT_EQ(Step(engine, in.data(), n, 400, out.data(), room, 400), E_OUTOFMEMORY);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(room, 0u);
  room = 400;
  EXPECT_EQ(engine.Process(ProcessMode::Tail, nullptr, nullptr, out.data(), &room), S_FALSE);
  SetLineAllocator(previous);

  in.assign(2 * 2400, 100);  // row 0 at 8000 Hz: a full window
  out.assign(2 * 1200, 0);
  EXPECT_EQ(Step(engine, in.data(), n, 2400, out.data(), room, 1200), S_OK);
  EXPECT_EQ(n, 2400u);
  EXPECT_EQ(room, 1200u);
}

TEST(TimeProcess, WholeBlockSetsStartTheWindowAfreshAndRatioChangesDoNot) {
  TimeRig<Pcm16> rig(1, 8000, 16, 1000.0);
  std::vector<std::int16_t> in(150, 500), out(1000);
  std::uint32_t n, room = 1000;
  // Feeds `take` frames; the output room carries over from call to call.
  const auto feed = [&](std::uint32_t take) {
    n = take;
    ASSERT_EQ(rig.engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), S_OK);
  };
  feed(150);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 150);
  rig.engine.SetFinal(1500.0);  // light: the window keeps its frames
  feed(10);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 160);
  EXPECT_EQ(rig.engine.Stretcher().InputHop(), 133u);  // 200 / 1.5 + 0.5
  TimeParams p;
  rig.engine.GetParams(&p);
  rig.engine.SetParams(&p);  // the same values, but a whole block: full
  feed(10);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 10);
  rig.engine.ApplyPreset(1);  // presets are whole-block sets too
  feed(20);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 20);
  EXPECT_EQ(rig.engine.Stretcher().Geometry().N, 2400u);  // preset 1 is row 0
  EXPECT_EQ(rig.engine.Stretcher().InputHop(), 1412u);    // 1200 / 0.85 + 0.5
}

TEST(TimeProcess, AFlushDoesNotPickUpChangesButTheNextStreamDoes) {
  TimeRig<Float32> rig(1, 8000, 16, 1000.0);
  std::vector<float> out;
  rig.Feed(rig.Make(1000, [](std::uint32_t f, std::uint32_t) { return 0.001 * (f % 100); }), 100, 64, out);
  rig.engine.SetFinal(2000.0);
  const auto tail = rig.Flush(64);
  EXPECT_EQ(rig.Frames(out) + rig.Frames(tail), 1000u);  // still at r = 1
  EXPECT_EQ(rig.engine.Stretcher().InputHop(), 200u);
  std::vector<float> more;
  rig.Feed(rig.Make(10, [](std::uint32_t, std::uint32_t) { return 0.1; }), 10, 64, more, ProcessMode::Discontinuity);
  EXPECT_EQ(rig.engine.Stretcher().InputHop(), 100u);
}

}  // namespace
}  // namespace quill
