// The reference host with the time and pitch effects from QUILLFX1.DLL
// against their engines run in this process on the same demo material: the
// 16-bit output must be identical, flush included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "twpitchs/pitch_engine.h"
#include "twpitchs/transpose.h"
#include "twtime/time_engine.h"
#include "tools/common/wav_file.h"
#include "tests/windows/host_compare.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

class QuillhostCopying : public HostOnDemo {
 protected:
  static void SetUpTestSuite() { SetUpHost(L"copying_host"); }
};

TEST_F(QuillhostCopying, FieldsByNameMatchTheEngineAndTheLengthFollowsTheRatio) {
  const WavData got = RunHost(L"--effect time finalTenths=2500 mode=8", L"expand.wav");
  TimeEngine engine;
  ASSERT_EQ(engine.ApplyPreset(0), S_OK);
  ASSERT_EQ(engine.SetFinal(2500.0), S_OK);
  ASSERT_EQ(engine.SetMode(8), S_OK);
  const WavData expected = RunCopyingEngine(engine, input_);
  ExpectSame(got, expected);

  // Mode 8 at 44.1 kHz: N = 3528, H = 1764, S = 1764 / 2.5 + 0.5 -> 706.
  // Over the stream, H frames out per S frames in, give or take the
  // windows at both ends.
  const double ideal = input_.Frames() * 1764.0 / 706.0;
  EXPECT_LT(std::abs(got.Frames() - ideal), 4 * 1764.0) << got.Frames() << " frames from " << input_.Frames();
}

TEST_F(QuillhostCopying, CompressPresetByIndexMatchesTheEngine) {
  const WavData got = RunHost(L"--effect twtime --preset 1", L"compress.wav");
  TimeEngine engine;
  ASSERT_EQ(engine.ApplyPreset(1), S_OK);
  const WavData expected = RunCopyingEngine(engine, input_);
  ExpectSame(got, expected);
  EXPECT_LT(got.Frames(), input_.Frames());  // 85 %
}

TEST_F(QuillhostCopying, PitchBySemitonesMatchesTheEngineAndShortens) {
  const WavData got = RunHost(L"--effect pitch semitones=7", L"fifth-up.wav");
  PitchEngine engine;
  ASSERT_EQ(engine.SetSemitones(7), S_OK);
  ASSERT_EQ(engine.SetRatio(PageRatio(7, 0)), S_OK);  // what the host derives from the semitones
  const WavData expected = RunCopyingEngine(engine, input_);
  ExpectSame(got, expected);
  // 44100 / 1.49830807... = 29433.0..., so r = 44100 / 29433; the last
  // four frames (half the kernel) never come out.
  EXPECT_NEAR(got.Frames(), (input_.Frames() - 4) * 29433.0 / 44100.0, 1.0);
}

TEST_F(QuillhostCopying, PitchPresetKeepingTheDurationMatchesTheEngine) {
  const WavData got = RunHost(L"--effect twpitchs --preset \"Fifth down\" preserveDuration=1 accuracy=3", L"fifth-down.wav");
  PitchEngine engine;
  ASSERT_EQ(engine.ApplyPreset(1), S_OK);
  ASSERT_EQ(engine.SetPreserve(1), S_OK);
  ASSERT_EQ(engine.SetAccuracy(3), S_OK);
  const WavData expected = RunCopyingEngine(engine, input_);
  ExpectSame(got, expected);
  EXPECT_EQ(got.Frames(), input_.Frames());
}

TEST_F(QuillhostCopying, PitchUpWithTheAntiAliasFilterMatchesTheEngine) {
  const WavData got = RunHost(L"--effect pitch semitones=12 antiAlias=1 preserveDuration=1 mode=8", L"octave-up.wav");
  PitchEngine engine;
  PitchParams p;
  ASSERT_EQ(engine.GetParams(&p), S_OK);
  p.semitones = 12;
  p.ratio = PageRatio(12, 0);
  p.antiAlias = 1;
  p.preserveDuration = 1;
  p.mode = 8;
  ASSERT_EQ(engine.SetParams(&p), S_OK);
  const WavData expected = RunCopyingEngine(engine, input_);
  ExpectSame(got, expected);
  EXPECT_EQ(got.Frames(), input_.Frames());
}

}  // namespace
}  // namespace quill::test
