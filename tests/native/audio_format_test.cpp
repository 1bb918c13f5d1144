// Sample conversions, format acceptance and the level function.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

#include "framework/audio_format.h"
#include "framework/mul_div.h"

namespace quill {
namespace {

TEST(SampleConversion, IntegerKindsRoundTripExactly) {
  for (int v = 0; v < 256; ++v) {
    const auto b = static_cast<std::uint8_t>(v);
    EXPECT_EQ(Pcm8::FromEngine(Pcm8::ToEngine(b)), b) << v;
  }
  for (int v = -32768; v <= 32767; ++v) {
    const auto s = static_cast<std::int16_t>(v);
    ASSERT_EQ(Pcm16::FromEngine(Pcm16::ToEngine(s)), s) << v;
  }
  for (std::int64_t v = INT32_MIN; v <= INT32_MAX; v += 65521) {
    const auto s = static_cast<std::int32_t>(v);
    ASSERT_EQ(Pcm32::FromEngine(Pcm32::ToEngine(s)), s) << v;
  }
  for (std::int32_t s : {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX})
    EXPECT_EQ(Pcm32::FromEngine(Pcm32::ToEngine(s)), s) << s;
}

TEST(SampleConversion, IntegerKindsTruncateTowardZeroAndClamp) {
  EXPECT_EQ(Pcm8::ToEngine(0x00), -1.0);
  EXPECT_EQ(Pcm8::ToEngine(0x80), 0.0);
  EXPECT_EQ(Pcm8::ToEngine(0xFF), 127.0 / 128.0);
  EXPECT_EQ(Pcm16::ToEngine(-32768), -1.0);
  // Pcm8: 128 clamps to 127; -0.512 and 0.998 truncate to 0, -1.01 to -1.
  const std::pair<double, int> pcm8[] = {{1.0, 0xFF},    {-1.0, 0x00},   {-1.5, 0x00},
                                         {7.0, 0xFF},    {-0.004, 0x80}, {0.0078, 0x80}, {-0.0079, 0x7F}};
  for (const auto& [x, b] : pcm8) EXPECT_EQ(Pcm8::FromEngine(x), b) << x;
  const std::pair<double, int> pcm16[] = {{1.0, 32767},  {-1.0, -32768}, {-3.0, -32768}, {-0.00002, 0},
                                          {0.5 + 0.9 / 32768, 16384}, {-0.5 - 0.9 / 32768, -16384}};
  for (const auto& [x, s] : pcm16) EXPECT_EQ(Pcm16::FromEngine(x), s) << x;
  const std::pair<double, std::int32_t> pcm32[] = {{1.0, INT32_MAX},  {-1.0, INT32_MIN},
                                                   {-1.5, INT32_MIN}, {2147483647.0 / 2147483648.0, INT32_MAX},
                                                   {-2.5 / 2147483648.0, -2}, {1e300, INT32_MAX}};
  for (const auto& [x, s] : pcm32) EXPECT_EQ(Pcm32::FromEngine(x), s) << x;
}

TEST(SampleConversion, FloatKindsPassBeyondFullScale) {
  // 0.1 is rounded to single precision.
  EXPECT_EQ(std::tuple(Float32::FromEngine(1.75), Float32::FromEngine(-3.0), Float32::FromEngine(0.1)),
            std::tuple(1.75f, -3.0f, 0.1f));
  EXPECT_EQ(Float64::FromEngine(-12.5), -12.5);
  EXPECT_EQ(Float64::ToEngine(0.1), 0.1);
}

TEST(DbToGain, FloorAndLevels) {
  EXPECT_EQ(DbToGain(-800, -800), 0.0);
  EXPECT_EQ(DbToGain(-2000, -800), 0.0);
  EXPECT_DOUBLE_EQ(DbToGain(-799, -800), std::pow(10.0, -3.995));
  EXPECT_EQ(DbToGain(0, -800), 1.0);
  EXPECT_NEAR(DbToGain(-60, -800), 0.501187, 1e-6);
  EXPECT_NEAR(DbToGain(60, -800), 1.995262, 1e-6);
  // The chorus floor: -60 dB is silence there but not with the delays' floor.
  EXPECT_EQ(DbToGain(-600, -600), 0.0);
  EXPECT_NEAR(DbToGain(-600, -800), 0.001, 1e-12);
}

// A wave format block as a host offers it.
struct Offer {
  std::uint16_t tag, channels;
  std::uint32_t rate, bytesPerSec;
  std::uint16_t align, bits, extra;
};

MediaTypeView View(const Offer& o, std::uint32_t length = 18) {
  return MediaTypeView{kMediaTypeAudio, false, &o, length};
}

TEST(FormatAcceptance, TakesEveryKindMonoAndStereo) {
  const std::uint16_t pcm[] = {8, 16, 32};
  for (std::uint16_t ch : {1, 2}) {
    for (std::uint16_t bits : pcm) EXPECT_EQ(CheckAudioType(View({1, ch, 44100, 0, 0, bits, 0})), S_OK) << bits;
    EXPECT_EQ(CheckAudioType(View({3, ch, 48000, 0, 0, 32, 0})), S_OK);
    EXPECT_EQ(CheckAudioType(View({3, ch, 48000, 0, 0, 64, 0})), S_OK);
  }
  // Any rate, and a bare 16-byte header, will do.
  EXPECT_EQ(CheckAudioType(View({1, 1, 5000, 0, 0, 8, 0})), S_OK);
  EXPECT_EQ(CheckAudioType(View({1, 1, 1, 0, 0, 16, 0}, 16)), S_OK);
}

TEST(FormatAcceptance, RefusesEachRuleWithInvalidArg) {
  const Offer good{1, 2, 44100, 176400, 4, 16, 0};
  MediaTypeView v = View(good);
  v.majorType.Data1 ^= 1;  // not audio
  EXPECT_EQ(CheckAudioType(v), E_INVALIDARG);
  v = View(good);
  v.temporalCompression = true;
  EXPECT_EQ(CheckAudioType(v), E_INVALIDARG);
  EXPECT_EQ(CheckAudioType(View(good, 14)), E_INVALIDARG);
  EXPECT_EQ(CheckAudioType(MediaTypeView{kMediaTypeAudio, false, nullptr, 18}), E_INVALIDARG);
  const Offer bad[] = {{1, 3, 44100, 0, 0, 16, 0}, {1, 0, 44100, 0, 0, 16, 0}, {1, 2, 44100, 0, 0, 24, 0},
                       {1, 2, 44100, 0, 0, 64, 0}, {3, 2, 44100, 0, 0, 16, 0}, {2, 2, 44100, 0, 0, 16, 0},
                       {0xFFFE, 2, 44100, 0, 0, 16, 0}};
  for (const Offer& o : bad)
    EXPECT_EQ(CheckAudioType(View(o)), E_INVALIDARG) << o.tag << " " << o.channels << " " << o.bits;
}

TEST(FormatCapture, RecomputesDerivedFields) {
  const Offer offered{1, 2, 44100, 12345, 3, 16, 22};
  const AudioFormat f = CaptureFormat(View(offered));
  EXPECT_EQ(
      std::tuple(f.formatTag, f.channels, f.sampleRate, f.bitsPerSample, f.blockAlign, f.avgBytesPerSec, f.extraSize),
      std::tuple(1, 2, 44100u, 16, 4, 176400u, 0));
  const AudioFormat d = CaptureFormat(View({3, 1, 96000, 0, 0, 64, 0}));
  EXPECT_EQ(std::tuple(d.blockAlign, d.avgBytesPerSec), std::tuple(8, 768000u));
  EXPECT_EQ(SampleKindOf(d), SampleKind::Float64);
  EXPECT_EQ(SampleKindOf(CaptureFormat(View({1, 1, 8000, 0, 0, 8, 0}))), SampleKind::Pcm8);
  EXPECT_FALSE(SampleKindOf(CaptureFormat(View({1, 1, 8000, 0, 0, 24, 0}))).has_value());
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndReportsOverflow) {
  const struct {
    int a, b, c, result;
  } cases[] = {{100, 44100, 1000, 4410}, {1, 1500, 1000, 2},       {1, 1499, 1000, 1}, {-1, 1500, 1000, -2},
               {1, 1000, 1000, 1},       {5000, 2000000000, 1000, -1}, {5, 5, 0, -1},   {400, 88200, 1000, 35280}};
  for (const auto& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

}  // namespace
}  // namespace quill
