// Sample conversions, format acceptance, level gains and MulDiv.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <tuple>
#include <utility>

#include "framework/audio_format.h"
#include "framework/mul_div.h"
#include "framework/sample_block.h"

namespace quill {
namespace {

TEST(SampleConversion, IntegerKindsRoundTripTruncateTowardZeroAndClamp) {
  for (int v = 0; v < 256; ++v) ASSERT_EQ(Pcm8::FromEngine(Pcm8::ToEngine(static_cast<std::uint8_t>(v))), v);
  for (int v = -32768; v <= 32767; ++v) ASSERT_EQ(Pcm16::FromEngine(Pcm16::ToEngine(static_cast<std::int16_t>(v))), v);
  for (std::int64_t v = INT32_MIN; v <= INT32_MAX; v += 65521)
    ASSERT_EQ(Pcm32::FromEngine(Pcm32::ToEngine(static_cast<std::int32_t>(v))), v);
  EXPECT_EQ(std::tuple(Pcm8::ToEngine(0x00), Pcm8::ToEngine(0x80), Pcm8::ToEngine(0xFF)),
            std::tuple(-1.0, 0.0, 127 / 128.0));
  const std::pair<double, int> pcm8[] = {{1.0, 0xFF}, {-1.5, 0x00}, {7.0, 0xFF}, {-0.004, 0x80}, {0.0078, 0x80},
                                         {-0.0079, 0x7F}};
  for (const auto& [x, b] : pcm8) EXPECT_EQ(Pcm8::FromEngine(x), b) << x;
  const std::pair<double, int> pcm16[] = {{1.0, 32767}, {-3.0, -32768}, {-0.00002, 0}, {0.5 + 0.9 / 32768, 16384},
                                          {-0.5 - 0.9 / 32768, -16384}};
  for (const auto& [x, s] : pcm16) EXPECT_EQ(Pcm16::FromEngine(x), s) << x;
  const std::pair<double, std::int32_t> pcm32[] = {{1.0, INT32_MAX}, {-1.5, INT32_MIN}, {-2.5 / 2147483648.0, -2},
                                                   {1e300, INT32_MAX}};
  for (const auto& [x, s] : pcm32) EXPECT_EQ(Pcm32::FromEngine(x), s) << x;
  // The float kinds pass beyond full scale; 0.1 is rounded to single precision.
  EXPECT_EQ(std::tuple(Float32::FromEngine(1.75), Float32::FromEngine(0.1), Float64::FromEngine(-12.5)),
            std::tuple(1.75f, 0.1f, -12.5));
}

// What no integer word can hold: a NaN is silence and anything beyond the
// word's range its limit, in the scalar conversions and in the vector
// writers alike, bit for bit (the float kinds too).
TEST(SampleConversion, EveryDoubleHasASampleAndTheVectorWritersAgree) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = HUGE_VAL, big = 3.5e38;
  EXPECT_EQ(std::tuple(Pcm8::FromEngine(nan), Pcm8::FromEngine(-inf), Pcm8::FromEngine(inf)),
            std::tuple(0x80, 0, 0xFF));
  EXPECT_EQ(std::tuple(Pcm16::FromEngine(nan), Pcm16::FromEngine(-inf), Pcm16::FromEngine(inf)),
            std::tuple(0, -32768, 32767));
  EXPECT_EQ(std::tuple(Pcm32::FromEngine(-nan), Pcm32::FromEngine(-inf), Pcm32::FromEngine(inf)),
            std::tuple(0, INT32_MIN, INT32_MAX));
  const float flt = std::numeric_limits<float>::max();

  const double values[] = {nan,    -nan, inf,  -inf, big, -big,     3.4028235e38,
                           -1e300, 1.0,  -1.0, -0.0, 0.3, -0.00002, 7e-310};
  constexpr std::size_t n = std::size(values);
  float narrow[n];
  for (std::size_t i = 0; i < n; ++i)  // the same in a float buffer, infinite where too large
    narrow[i] = std::fabs(values[i]) > flt ? std::copysign(HUGE_VALF, values[i]) : static_cast<float>(values[i]);
  const auto check = [&](auto kind) {
    using K = decltype(kind);
    using S = typename K::Sample;
    S wide[n], fromFloat[n], frames[2 * n], frame[2];
    FromEngineBlock<K>(values, wide, n);
    FromEngineBlock<K>(narrow, fromFloat, n);
    double reversed[n];
    std::reverse_copy(values, values + n, reversed);
    FromEngineFrames<K>(values, reversed, frames, n);
    for (std::size_t i = 0; i < n; ++i) {
      const S one = K::FromEngine(values[i]), other = K::FromEngine(reversed[i]), fromOne = K::FromEngine(narrow[i]);
      EXPECT_EQ(std::memcmp(&wide[i], &one, sizeof one), 0) << values[i];
      EXPECT_EQ(std::memcmp(&fromFloat[i], &fromOne, sizeof one), 0) << narrow[i];
      EXPECT_EQ(std::memcmp(&frames[2 * i], &one, sizeof one) | std::memcmp(&frames[2 * i + 1], &other, sizeof one), 0)
          << values[i];
#if defined(__SSE2__)
      FrameFromEngine<K>(_mm_set_pd(reversed[i], values[i]), frame);
      EXPECT_EQ(std::memcmp(&frame[0], &one, sizeof one) | std::memcmp(&frame[1], &other, sizeof one), 0) << values[i];
#endif
    }
    (void)frame;
  };
  check(Pcm8{}), check(Pcm16{}), check(Pcm32{}), check(Float32{}), check(Float64{});
}

// Float output leaves an engine without a NaN (silence) or an infinity (the
// largest value of its sign); everything else stays, beyond full scale too.
TEST(SampleConversion, FloatOutputKeepsNoNaNAndNoInfinity) {
  const auto check = [](auto big) {
    using T = decltype(big);
    const T nan = std::numeric_limits<T>::quiet_NaN(), inf = std::numeric_limits<T>::infinity();
    T s[] = {1.5, -0.0, big, nan, 3.0, -big, 0.25, 7.0, 2.0, inf, -inf, nan};
    const T kept[] = {1.5, -0.0, big, 0.0, 3.0, -big, 0.25, 7.0, 2.0, big, -big, 0.0};
    KeepFinite(sizeof(T) == 4 ? SampleKind::Float32 : SampleKind::Float64, s, std::size(s));
    EXPECT_EQ(std::memcmp(s, kept, sizeof s), 0);
  };
  check(std::numeric_limits<float>::max());
  check(std::numeric_limits<double>::max());
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

TEST(FormatAcceptance, TakesEveryKindMonoAndStereoAndRefusesEachRule) {
  for (std::uint16_t ch : {1, 2})
    for (const auto& [tag, bits] : {std::pair<std::uint16_t, std::uint16_t>{1, 8}, {1, 16}, {1, 32}, {3, 32}, {3, 64}})
      EXPECT_EQ(CheckAudioType(View({tag, ch, 44100, 0, 0, bits, 0})), S_OK) << tag << "/" << bits;
  EXPECT_EQ(CheckAudioType(View({1, 1, 1, 0, 0, 16, 0}, 16)), S_OK);  // any rate, a bare 16-byte header
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
                       {1, 2, 44100, 0, 0, 64, 0}, {3, 2, 44100, 0, 0, 16, 0}, {0xFFFE, 2, 44100, 0, 0, 16, 0}};
  for (const Offer& o : bad)
    EXPECT_EQ(CheckAudioType(View(o)), E_INVALIDARG) << o.tag << " " << o.channels << " " << o.bits;
  // The kept copy recomputes the derived fields.
  const AudioFormat f = CaptureFormat(View({1, 2, 44100, 12345, 3, 16, 22}));
  EXPECT_EQ(std::tuple(f.channels, f.sampleRate, f.bitsPerSample, f.blockAlign, f.avgBytesPerSec, f.extraSize),
            std::tuple(2, 44100u, 16, 4, 176400u, 0));
  EXPECT_EQ(SampleKindOf(CaptureFormat(View({3, 1, 96000, 0, 0, 64, 0}))), SampleKind::Float64);
  EXPECT_FALSE(SampleKindOf(CaptureFormat(View({1, 1, 8000, 0, 0, 24, 0}))).has_value());
}

TEST(Levels, GainIsSilentAtTheFloor) {
  EXPECT_EQ(DbToGain(-800, -800), 0.0);
  EXPECT_EQ(DbToGain(0, -800), 1.0);
  EXPECT_NEAR(DbToGain(-60, -800), std::pow(10.0, -0.3), 1e-12);
  EXPECT_NEAR(DbToGain(7200, -800), 1e36, 1e22);
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndReportsOverflow) {
  const std::tuple<int, int, int, int> cases[] =
      {{100, 44100, 1000, 4410}, {1, 1500, 1000, 2}, {1, 1499, 1000, 1}, {-1, 1500, 1000, -2},
               {5000, 2000000000, 1000, -1}, {5, 5, 0, -1}, {400, 88200, 1000, 35280}};
  for (const auto& [a, b, c, result] : cases) EXPECT_EQ(MulDiv(a, b, c), result) << a << "*" << b << "/" << c;
}

}  // namespace
}  // namespace quill
