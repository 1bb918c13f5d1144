// The time engine's parameter block, interface, presets and stream, its
// format selection, and how it picks parameter changes up while streaming.
#include "twtime/time_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

#include "line_memory.h"
#include "test_support.h"
#include "copying_rig.h"
#include "wav_file.h"

namespace quill {
namespace {

using test::MemoryStream;
using test::TimeRig;

TEST(TimeParamsBlock, LayoutIsTwoDoublesAndFourIntegersIn32Bytes) {
  EXPECT_EQ(sizeof(TimeParams), 32u);
  EXPECT_EQ(offsetof(TimeParams, finalTenths), 0u);
  EXPECT_EQ(offsetof(TimeParams, mode), 8u);
  EXPECT_EQ(offsetof(TimeParams, tempoTenths), 12u);
  EXPECT_EQ(offsetof(TimeParams, lengthSamples), 16u);
  EXPECT_EQ(offsetof(TimeParams, inputFormat), 24u);
  EXPECT_EQ(offsetof(TimeParams, reserved), 28u);
  EXPECT_EQ(TimeEngine::StreamSize(), 52u);
  EXPECT_EQ(IID_ITimeParams.Data1, CLSID_TwTime.Data1 + 3);
}

TEST(TimePresets, DefaultAndCompressionRows) {
  ASSERT_EQ(TimeEngine::PresetCount(), 2);
  const auto presets = TimePresets();
  EXPECT_STREQ(presets[0].name, "(Default)");
  EXPECT_STREQ(presets[1].name, "Time compress 85 % of original");
  EXPECT_EQ(presets[1].params.finalTenths, 850.0);

  TimeEngine engine;
  ITimeParams* params = &engine;
  TimeParams p;
  ASSERT_EQ(params->GetParams(&p), S_OK);
  EXPECT_EQ(p.finalTenths, 1100.0);
  EXPECT_EQ(p.mode, 0);
  EXPECT_EQ(p.tempoTenths, 1200);
  EXPECT_EQ(p.lengthSamples, 2646000.0);  // one minute at 44.1 kHz
  EXPECT_EQ(p.inputFormat, 0);
  EXPECT_FALSE(engine.IsDirty());
  EXPECT_EQ(engine.ApplyPreset(1), S_OK);
  double v;
  ASSERT_EQ(params->GetFinal(&v), S_OK);
  EXPECT_EQ(v, 850.0);
  EXPECT_EQ(engine.ApplyPreset(2), E_INVALIDARG);
}

TEST(TimeSetters, ClampIntoTheirRangesAndMarkOnlyRealChanges) {
  TimeEngine engine;
  ITimeParams* params = &engine;
  double d;
  std::int32_t i;
  params->SetFinal(100.0);
  params->GetFinal(&d);
  EXPECT_EQ(d, 500.0);
  params->SetFinal(6000.0);
  params->GetFinal(&d);
  EXPECT_EQ(d, 5000.0);
  params->SetFinal(std::numeric_limits<double>::quiet_NaN());
  params->GetFinal(&d);
  EXPECT_EQ(d, 500.0);
  params->SetFinal(923.08);
  params->GetFinal(&d);
  EXPECT_EQ(d, 923.08);
  params->SetTempo(6000);
  params->GetTempo(&i);
  EXPECT_EQ(i, 5000);
  params->SetTempo(-20);  // no lower limit
  params->GetTempo(&i);
  EXPECT_EQ(i, -20);
  params->SetLength(-1.0);
  params->GetLength(&d);
  EXPECT_EQ(d, 0.0);
  params->SetLength(1e12);
  params->GetLength(&d);
  EXPECT_EQ(d, 793800000.0);
  params->SetInputFormat(2);
  params->GetInputFormat(&i);
  EXPECT_EQ(i, 2);
  params->SetMode(7);
  params->GetMode(&i);
  EXPECT_EQ(i, 7);

  MemoryStream sink;
  ASSERT_EQ(engine.Save(&sink, true), S_OK);
  EXPECT_FALSE(engine.IsDirty());
  params->SetMode(7);
  params->SetLength(793800000.0);
  EXPECT_FALSE(engine.IsDirty());
  params->SetLength(5.0);
  EXPECT_TRUE(engine.IsDirty());
}

TEST(TimeSetParams, ClampsTheRangedFieldsAndReportsIt) {
  TimeEngine engine;
  const TimeParams fine{2000.0, 3, 900, 1000.0, 1, 0};
  EXPECT_EQ(engine.SetParams(&fine), S_OK);
  const TimeParams wild{40.0, 18, 7000, -3.0, 2, 0};
  EXPECT_EQ(engine.SetParams(&wild), E_FAIL);
  TimeParams p;
  engine.GetParams(&p);
  EXPECT_EQ(p.finalTenths, 500.0);
  EXPECT_EQ(p.mode, 18);
  EXPECT_EQ(p.tempoTenths, 5000);
  EXPECT_EQ(p.lengthSamples, 0.0);
  EXPECT_EQ(p.inputFormat, 2);
  EXPECT_EQ(engine.SetParams(nullptr), E_POINTER);
}

TEST(TimeStream, SavesFiftyTwoBytesAndClampsWhatItLoads) {
  TimeEngine engine;
  const TimeParams p{1500.04, 5, 1200, 3969000.0, 2, 0};
  engine.SetParams(&p);
  MemoryStream stream;
  ASSERT_EQ(engine.Save(&stream, false), S_OK);
  ASSERT_EQ(stream.bytes.size(), 52u);
  std::uint32_t total;
  std::memcpy(&total, stream.bytes.data(), 4);
  EXPECT_EQ(total, 52u);
  EXPECT_EQ(std::memcmp(stream.bytes.data() + 4, &IID_ITimeParams, 16), 0);
  double final;
  std::memcpy(&final, stream.bytes.data() + 20, 8);
  EXPECT_EQ(final, 1500.04);

  TimeEngine other;
  EXPECT_EQ(other.Load(&stream), S_OK);
  TimeParams q;
  other.GetParams(&q);
  EXPECT_EQ(std::memcmp(&p, &q, sizeof p), 0);

  // Out of range on the way in: stored clamped, reported.
  const double tooLong = 9e8;
  std::memcpy(stream.bytes.data() + 20 + 16, &tooLong, 8);
  stream.readAt = 0;
  EXPECT_EQ(other.Load(&stream), E_FAIL);
  other.GetParams(&q);
  EXPECT_EQ(q.lengthSamples, 793800000.0);

  stream.bytes[0] = 53;
  stream.readAt = 0;
  EXPECT_EQ(other.Load(&stream), E_FAIL);
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
  const AudioFormat bits24 = MakeFormat(1, 1, 8000, 24);
  const AudioFormat tag2 = MakeFormat(2, 1, 8000, 16);
  const AudioFormat three = MakeFormat(1, 3, 8000, 16);
  EXPECT_EQ(engine.SelectFormat(&bits24), E_FAIL);
  EXPECT_EQ(engine.SelectFormat(&tag2), E_FAIL);
  EXPECT_EQ(engine.SelectFormat(&three), E_FAIL);

  // Still the 16-bit mono routines: 2400 frames fill the window exactly.
  std::vector<std::int16_t> in(2400, 1000), out(1200);
  std::uint32_t n = 2400, room = 1200;
  ASSERT_EQ(engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), S_OK);
  EXPECT_EQ(n, 2400u);
  EXPECT_EQ(room, 1200u);
  EXPECT_EQ(out[0], 1000);

  // Any tag other than integer PCM with 32 or 64 bits is read as float.
  const AudioFormat extensible = MakeFormat(0xFFFE, 1, 8000, 64);
  ASSERT_EQ(engine.SelectFormat(&extensible), S_OK);
  std::vector<double> fin(2400, 0.25), fout(1200);
  n = 2400;
  room = 1200;
  ASSERT_EQ(engine.Process(ProcessMode::Continue, fin.data(), &n, fout.data(), &room), S_OK);
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
  n = 4;
  room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, nullptr, &n, buf, &room), E_POINTER);
  n = 4;
  room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, nullptr, &room), E_POINTER);
  // Missing counts are zero: nothing to take, nothing written back.
  EXPECT_EQ(engine.Process(ProcessMode::Continue, nullptr, nullptr, nullptr, nullptr), S_OK);

  // A mode outside the table is refused until a valid one is set.
  engine.SetMode(19);
  n = 4;
  room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, buf, &room), E_INVALIDARG);
  EXPECT_EQ(n, 0u);
  engine.SetMode(-1);
  n = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, buf, &room), E_INVALIDARG);
  engine.SetMode(16);
  n = 4;
  room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, buf, &room), S_OK);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(engine.Stretcher().Geometry().N, 400u);

  // A rate too low for any window.
  const AudioFormat slow = MakeFormat(1, 1, 20, 16);
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
  std::uint32_t n = 400, room = 400;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), E_OUTOFMEMORY);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(room, 0u);
  room = 400;
  EXPECT_EQ(engine.Process(ProcessMode::Tail, nullptr, nullptr, out.data(), &room), S_FALSE);
  SetLineAllocator(previous);

  n = 2400;  // row 0 at 8000 Hz: a full window
  in.assign(2 * 2400, 100);
  out.assign(2 * 1200, 0);
  room = 1200;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), S_OK);
  EXPECT_EQ(n, 2400u);
  EXPECT_EQ(room, 1200u);
}

TEST(TimeProcess, WholeBlockSetsStartTheWindowAfreshAndRatioChangesDoNot) {
  TimeRig<Pcm16> rig(1, 8000, 16, 1000.0);
  std::vector<std::int16_t> in(150, 500), out(1000);
  std::uint32_t n = 150, room = 1000;
  ASSERT_EQ(rig.engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), S_OK);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 150);

  rig.engine.SetFinal(1500.0);  // light: the window keeps its frames
  n = 10;
  ASSERT_EQ(rig.engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), S_OK);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 160);
  EXPECT_EQ(rig.engine.Stretcher().InputHop(), 133u);  // 200 / 1.5 + 0.5

  TimeParams p;
  rig.engine.GetParams(&p);
  rig.engine.SetParams(&p);  // the same values, but a whole block: full
  n = 10;
  ASSERT_EQ(rig.engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), S_OK);
  EXPECT_EQ(rig.engine.Stretcher().Fill(), 10);

  rig.engine.ApplyPreset(1);  // presets are whole-block sets too
  n = 20;
  ASSERT_EQ(rig.engine.Process(ProcessMode::Continue, in.data(), &n, out.data(), &room), S_OK);
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
