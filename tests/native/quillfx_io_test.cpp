// quillfx's sound file input and output: levels through every conversion,
// dither, the output word, files never left half written, RF64, standard
// output, and the count of float samples beyond full scale.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tools/common/wav_file.h"
#include "tools/quillfx/chain.h"
#include "tools/quillfx/output_file.h"
#include "tools/quillfx/sample_words.h"
#include "tools/quillfx/sound_file.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Each test in a folder of its own, removed afterwards.
class QuillfxIo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "quillfx_io_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string At(const std::string& name) const { return dir_ + name; }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
  std::string error;  // what the last reader or writer that failed said
};

// --- files made and read with libsndfile directly ---

// Integers of `bits` (`ints`) or full-scale doubles (`doubles`) as a file.
void Make(const std::string& path, int format, int channels, int rate, const std::vector<std::int32_t>& ints, int bits,
          const std::vector<double>& doubles = {}) {
  SF_INFO info{0, rate, channels, format, 0, 0};
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  std::vector<int> top;
  for (std::int32_t v : ints) top.push_back(static_cast<int>(static_cast<std::uint32_t>(v) << (32 - bits)));
  if (doubles.empty())
    sf_writef_int(f, top.data(), static_cast<sf_count_t>(top.size() / channels));
  else
    sf_writef_double(f, doubles.data(), static_cast<sf_count_t>(doubles.size() / channels));
  sf_close(f);
}

void MakeFloat(const std::string& path, int format, int rate, const std::vector<double>& samples) {
  Make(path, format, 1, rate, {}, 32, samples);
}

struct Loaded {
  SF_INFO info{};
  std::vector<std::int32_t> ints;  // at the file's own width
};

Loaded Load(const std::string& path) {
  Loaded l;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &l.info);
  EXPECT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
  if (f == nullptr) return l;
  std::vector<int> top(static_cast<std::size_t>(l.info.frames * l.info.channels));
  sf_readf_int(f, top.data(), l.info.frames);
  const int subtype = l.info.format & SF_FORMAT_SUBMASK;
  const bool eight = subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8;
  const int bits = eight ? 8 : subtype == SF_FORMAT_PCM_16 ? 16 : subtype == SF_FORMAT_PCM_24 ? 24 : 32;
  for (int v : top) l.ints.push_back(v >> (32 - bits));
  sf_close(f);
  return l;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  if (b.size() >= at + 4) std::memcpy(&v, b.data() + at, 4);
  return v;
}

// --- the processor's side ---

// Every sample the reader gives, at full scale ±1.0.
std::vector<double> ReadAll(SoundReader& r) {
  std::vector<std::uint8_t> block(1000u * r.Format().blockAlign);
  std::vector<double> values;
  std::string error;
  for (std::int64_t got; (got = r.Read(block.data(), 1000, error)) > 0;)
    WithSampleKind(r.Kind(), [&](auto k) {
      const auto* s = reinterpret_cast<const typename decltype(k)::Sample*>(block.data());
      for (std::int64_t i = 0; i < got * r.Format().channels; ++i) values.push_back(k.ToEngine(s[i]));
    });
  EXPECT_EQ(error, "");
  return values;
}

// Everything the reader gives, through the writer, committed.
void PassThrough(SoundReader& r, SoundWriter& w) {
  std::vector<std::uint8_t> block(777u * r.Format().blockAlign);
  std::string error;
  for (std::int64_t got; (got = r.Read(block.data(), 777, error)) > 0;)
    ASSERT_TRUE(w.Write(block.data(), static_cast<std::uint32_t>(got), error)) << error;
  ASSERT_EQ(error, "");
  ASSERT_TRUE(w.Commit(error)) << error;
}

AudioFormat FormatOfKind(SampleKind kind, std::uint16_t channels, std::uint32_t rate) {
  const SampleWord w = WordOf(kind);
  return MakeFormat(w.isFloat ? 3 : 1, channels, rate, w.bits);
}

std::vector<double> Sine(double amplitude, double hz, double rate, std::size_t n) {
  std::vector<double> s(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
  return s;
}

double Peak(const std::vector<double>& s) {
  double p = 0;
  for (double v : s) p = std::max(p, std::fabs(v));
  return p;
}

// The amplitude of the component at `hz`, by correlation over whole periods.
double Amplitude(const std::vector<double>& s, double hz, double rate) {
  double c = 0, q = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    c += s[i] * std::cos(2 * std::numbers::pi * hz * i / rate);
    q += s[i] * std::sin(2 * std::numbers::pi * hz * i / rate);
  }
  return 2.0 * std::hypot(c, q) / s.size();
}

// --- words and the quantizer ---

TEST(SampleWords, QuantizerRoundsToNearestAndClampsAtFullScaleCountingWhatItClamps) {
  for (std::uint16_t bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const double step = std::ldexp(1.0, 1 - bits);
    const std::int64_t full = std::int64_t{1} << (bits - 1);
    const auto max = static_cast<std::int32_t>(full - 1), min = static_cast<std::int32_t>(-full);
    const auto half = static_cast<std::int32_t>(full / 2);
    const std::vector<double> in = {0.5,          -0.5,         10.3 * step, 10.7 * step,
                                    -10.3 * step, -10.7 * step, 1.0,         (max + 0.4) * step,
                                    -1.0,         1.5,          -2.0,        kNan};
    const std::vector<std::int32_t> expected = {half, -half, 10, 11, -10, -11, max, max, min, max, min, 0};
    Quantizer q(bits, 1, false);
    std::vector<std::int32_t> out(in.size());
    q.Run(in.data(), out.data(), in.size());
    EXPECT_EQ(out, expected);
    EXPECT_EQ(q.Clipped(), 4u);  // 1.0, 1.5, -2.0 and the NaN; -1.0 fits
  }
}

TEST(SampleWords, DitherIsTriangularUnbiasedRepeatableAndLeavesExactSamplesAlone) {
  constexpr std::size_t kFrames = 200000;
  const double step = 1.0 / 32768.0;
  for (double fraction : {0.25, 0.5, 0.75}) {
    SCOPED_TRACE(fraction);
    // Stereo, both channels the same value between two steps.
    const std::vector<double> in(2 * kFrames, (100 + fraction) * step);
    Quantizer q(16, 2, true);
    std::vector<std::int32_t> out(in.size());
    q.Run(in.data(), out.data(), kFrames);
    double sum = 0, square = 0;
    bool channelsDiffer = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_GE(out[i], 99);  // one step either side of the two neighbours at most
      ASSERT_LE(out[i], 102);
      const double e = out[i] - (100 + fraction);
      sum += e;
      square += e * e;
      channelsDiffer |= i % 2 == 1 && out[i] != out[i - 1];
    }
    // Triangular dither of ±1 step makes the error's mean zero and its power
    // a quarter step squared, whatever the value; rectangular dither would
    // give a power that depends on the fraction.
    EXPECT_NEAR(sum / out.size(), 0.0, 0.005);
    EXPECT_NEAR(square / out.size(), 0.25, 0.005);
    EXPECT_TRUE(channelsDiffer);

    // The same run again, in blocks of another size, gives the same values.
    Quantizer again(16, 2, true);
    std::vector<std::int32_t> second(in.size());
    again.Run(in.data(), second.data(), 777);
    again.Run(in.data() + 2 * 777, second.data() + 2 * 777, kFrames - 777);
    EXPECT_EQ(second, out);
  }
  // Values on the shorter word's grid stay as they are: silence stays silent.
  const std::vector<double> exact = {0.0, 0.0, 3 * step, -1.0, 0.0};
  Quantizer q(16, 1, true);
  std::vector<std::int32_t> out(exact.size());
  q.Run(exact.data(), out.data(), exact.size());
  EXPECT_EQ(out, (std::vector<std::int32_t>{0, 0, 3, -32768, 0}));
}

// --- reading ---

TEST_F(QuillfxIo, FloatInputKeepsItsLevelInEveryIntegerKind) {
  // A -6.02 dBFS sine: half of full scale in every word.
  const std::vector<double> sine = Sine(0.5, 1000, 48000, 4800);
  MakeFloat(At("float.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, sine);
  MakeFloat(At("double.wav"), SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 48000, sine);
  for (const auto& [file, kind, step, note] : {
           std::tuple{"float.wav", SampleKind::Pcm8, 1 / 128.0, "32-bit float converted to 8-bit integer, dithered"},
           std::tuple{"float.wav", SampleKind::Pcm32, 1 / 2147483648.0, "32-bit float converted to 32-bit integer"},
           std::tuple{"double.wav", SampleKind::Pcm16, 1 / 32768.0,
                      "64-bit float converted to 16-bit integer, dithered"},
           std::tuple{"double.wav", SampleKind::Float32, 1e-7, "64-bit float converted to 32-bit float"},
       }) {
    SCOPED_TRACE(std::string(file) + " as " + KindName(kind));
    SoundReader r;
    ASSERT_TRUE(r.Open(At(file), kind, true, error)) << error;
    EXPECT_EQ(r.Kind(), kind);
    EXPECT_EQ(r.ConversionNote(), note);
    const std::vector<double> got = ReadAll(r);
    ASSERT_EQ(got.size(), sine.size());
    EXPECT_NEAR(Peak(got), 0.5, 2 * step);  // dither adds up to a step
    EXPECT_NEAR(Amplitude(got, 1000, 48000), 0.5, 0.005);
    EXPECT_EQ(r.Clipped(), 0u);
  }

  // Beyond full scale: clamped at the limits, each such sample counted.
  MakeFloat(At("wild.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, {0.5, 1.5, -2.0, kNan, 1.0, -1.0, 0.25});
  SoundReader r;
  ASSERT_TRUE(r.Open(At("wild.wav"), SampleKind::Pcm16, false, error)) << error;
  EXPECT_EQ(r.ConversionNote(), "32-bit float converted to 16-bit integer");
  const double top = 32767 / 32768.0;
  EXPECT_EQ(ReadAll(r), (std::vector<double>{0.5, top, -1.0, 0.0, top, -1.0, 0.25}));
  EXPECT_EQ(r.Clipped(), 4u);
}

TEST_F(QuillfxIo, InputWordsSettleTheirProcessingKind) {
  const std::vector<std::int32_t> ramp = {0, 1, -1, 100, -100, 127, -128};
  Make(At("8.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 44100, ramp, 8);
  Make(At("32.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 44100, ramp, 32);
  Make(At("alaw.wav"), SF_FORMAT_WAV | SF_FORMAT_ALAW, 1, 44100, ramp, 16);
  for (const auto& [file, kind, word, note, step] : {
           std::tuple{"8.wav", SampleKind::Pcm8, SampleWord{false, 8}, "", 1 / 128.0},
           std::tuple{"32.wav", SampleKind::Pcm32, SampleWord{false, 32}, "", 1 / 2147483648.0},
           // Coded, with steps of 1/4096 of full scale at the smallest.
           std::tuple{"alaw.wav", SampleKind::Float32, SampleWord{false, 0}, "A-Law converted to 32-bit float", 0.0},
       }) {
    SCOPED_TRACE(file);
    SoundReader r;
    ASSERT_TRUE(r.Open(At(file), std::nullopt, true, error)) << error;
    EXPECT_EQ(r.Kind(), kind);
    EXPECT_EQ(r.FileWord(), word);
    EXPECT_EQ(r.ConversionNote(), note);
    const std::vector<double> got = ReadAll(r);
    ASSERT_EQ(got.size(), ramp.size());
    for (std::size_t i = 0; i < ramp.size(); ++i)
      if (step != 0.0)
        EXPECT_EQ(got[i], ramp[i] * step);
      else
        EXPECT_NEAR(got[i], ramp[i] / 32768.0, 1 / 4096.0);
  }
}

// --- the output word ---

TEST_F(QuillfxIo, TwentyFourBitMastersStayTwentyFourBitBitForBit) {
  const std::vector<std::int32_t> values = {0, 1, -1, 0x123456, -0x123457, 8388607, -8388608, 255, 256, -257};
  for (const auto& [in, inFormat] : {std::tuple{"in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                                     std::tuple{"in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}}) {
    SCOPED_TRACE(in);
    Make(At(in), inFormat, 2, 96000, values, 24);
    SoundReader r;
    ASSERT_TRUE(r.Open(At(in), std::nullopt, true, error)) << error;
    EXPECT_EQ(r.Kind(), SampleKind::Pcm32);
    EXPECT_EQ(r.FileWord(), (SampleWord{false, 24}));
    std::vector<double> expected;
    for (std::int32_t v : values) expected.push_back(v / 8388608.0);
    EXPECT_EQ(ReadAll(r), expected);

    for (const char* out : {"out.wav", "out.flac", "out.aiff"}) {
      SCOPED_TRACE(out);
      SoundReader again;
      ASSERT_TRUE(again.Open(At(in), std::nullopt, true, error)) << error;
      SoundWriter w;
      ASSERT_TRUE(w.Open(At(out), OutputRequest{}, again.Format(), again.FileWord(), error)) << error;
      EXPECT_EQ(w.Word(), (SampleWord{false, 24}));
      // Dithered in general, but these samples lie on the 24-bit grid.
      EXPECT_EQ(w.ConversionNote(), "32-bit integer converted to 24-bit integer, dithered");
      PassThrough(again, w);
      const Loaded back = Load(At(out));
      EXPECT_EQ(back.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24);
      EXPECT_EQ(back.info.samplerate, 96000);
      EXPECT_EQ(back.ints, values);
    }
  }
}

TEST_F(QuillfxIo, ShorterWordsAreDitheredSoQuietTonesKeepNoDistortion) {
  // A -85 dBFS 1 kHz tone in 24 bits is 1.84 steps of a 16-bit word:
  // truncating it gives -0.5 step of offset and odd harmonics near -21 dBc,
  // rounding gives the harmonics without the offset.
  constexpr double kRate = 48000;
  const double amplitude = std::pow(10.0, -85.0 / 20.0);
  std::vector<std::int32_t> tone;
  for (double v : Sine(amplitude * 8388608.0, 1000, kRate, 96000)) tone.push_back(std::lround(v));
  Make(At("tone.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 48000, tone, 24);

  for (const auto& [how, processAs, dither] :
       {std::tuple{"written as 16-bit", std::optional<SampleKind>{}, true},
        std::tuple{"read as pcm16", std::optional{SampleKind::Pcm16}, true},
        std::tuple{"written without dither", std::optional<SampleKind>{}, false}}) {
    SCOPED_TRACE(how);
    SoundReader r;
    ASSERT_TRUE(r.Open(At("tone.wav"), processAs, dither, error)) << error;
    SoundWriter w;
    OutputRequest request;
    request.bits = 16;
    request.dither = dither;
    ASSERT_TRUE(w.Open(At("out.wav"), request, r.Format(), r.FileWord(), error)) << error;
    PassThrough(r, w);
    const Loaded back = Load(At("out.wav"));
    ASSERT_EQ(back.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
    const std::vector<double> steps(back.ints.begin(), back.ints.end());
    double mean = 0;
    for (double s : steps) mean += s / steps.size();
    EXPECT_NEAR(mean, 0.0, 0.02);
    const double fundamental = Amplitude(steps, 1000, kRate);
    const double third = 20 * std::log10(Amplitude(steps, 3000, kRate) / fundamental);
    if (dither) {
      EXPECT_NEAR(fundamental, amplitude * 32768.0, 0.03 * amplitude * 32768.0);
      EXPECT_LT(third, -40.0);
    } else {
      EXPECT_GT(third, -30.0);  // the distortion that dither removes
    }
  }
}

TEST_F(QuillfxIo, OutputWordFollowsTheRequestThenTheInputThenTheProcessing) {
  const AudioFormat pcm32 = FormatOfKind(SampleKind::Pcm32, 1, 44100);
  const AudioFormat float32 = FormatOfKind(SampleKind::Float32, 1, 44100);
  const SampleWord int24{false, 24}, int16{false, 16}, float32Word{true, 32};
  struct Case {
    const char* file;
    std::optional<unsigned> bits;
    std::optional<bool> isFloat;
    AudioFormat format;
    std::optional<SampleWord> input;
    int subtype;  // 0: refused
    const char* says;
  };
  const Case cases[] = {
      {"b.wav", {}, {}, pcm32, int24, SF_FORMAT_PCM_24, ""},
      {"c.wav", {}, {}, pcm32, {}, SF_FORMAT_PCM_32, ""},
      {"d.wav", {}, {}, float32, int16, SF_FORMAT_PCM_16, ""},
      {"e.flac", {}, {}, float32, float32Word, 0, "hold 8-, 16- and 24-bit integer samples, not 32-bit float"},
      {"f.flac", 16u, {}, float32, float32Word, SF_FORMAT_PCM_16, ""},
      {"g.wav", {}, true, pcm32, int24, SF_FORMAT_FLOAT, ""},
      {"h.wav", 64u, {}, pcm32, int24, SF_FORMAT_DOUBLE, ""},
      {"i.au", 8u, {}, float32, {}, SF_FORMAT_PCM_S8, ""},
      {"k.flac", {}, false, float32, float32Word, SF_FORMAT_PCM_24, ""},
      {"l.flac", 32u, {}, pcm32, {}, 0, "hold 8-, 16- and 24-bit integer samples, not 32-bit integer"},
      {"m.ogg", 16u, {}, pcm32, {}, 0, "leave out -b and -e"},
      {"n.wav", 64u, false, pcm32, {}, 0, "64-bit samples are float"},
      {"o.wav", 12u, {}, pcm32, {}, 0, "-b takes 8, 16, 24, 32 or 64 bits"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    SoundWriter w;
    const bool opened = w.Open(At(c.file), OutputRequest{"", c.bits, c.isFloat, true}, c.format, c.input, error);
    if (c.subtype == 0) {
      EXPECT_FALSE(opened);
      EXPECT_NE(error.find(c.says), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(opened) << error;
    const std::vector<std::uint8_t> silence(11u * c.format.blockAlign, 0);
    ASSERT_TRUE(w.Write(silence.data(), 11, error)) << error;
    ASSERT_TRUE(w.Commit(error)) << error;
    const Loaded back = Load(At(c.file));
    EXPECT_EQ(back.info.format & SF_FORMAT_SUBMASK, c.subtype);
    EXPECT_EQ(back.info.frames, 11);
  }
  // The refusals left nothing behind.
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"b.wav", "c.wav", "d.wav", "f.flac", "g.wav", "h.wav", "i.au", "k.flac"}));
  // 33 bytes of samples: the data chunk says 33, and a pad byte ends the file
  // at an even length (header: RIFF 12, JUNK 36, fmt 24, data 8 bytes).
  const std::string odd = ReadText(At("b.wav"));
  EXPECT_EQ(odd.size(), 80u + 34);
  EXPECT_EQ(Le32(odd, 4), odd.size() - 8);
  EXPECT_EQ(Le32(odd, 76), 33u);
}

TEST_F(QuillfxIo, FloatToIntegerOutputKeepsTheLevelAndCountsClipping) {
  std::vector<double> samples = Sine(0.5, 1000, 48000, 4800);
  samples.insert(samples.end(), {1.0, 1.25, -1.0, -3.0, kNan});
  for (const auto& [bits, fullScale] : {std::pair{8u, 128}, std::pair{16u, 32768}, std::pair{24u, 8388608}}) {
    SCOPED_TRACE(bits);
    SoundWriter w;
    const AudioFormat format = FormatOfKind(SampleKind::Float64, 1, 48000);
    ASSERT_TRUE(w.Open(At("out.wav"), OutputRequest{"", bits, {}, true}, format, std::nullopt, error)) << error;
    const auto count = static_cast<std::uint32_t>(samples.size());
    ASSERT_TRUE(w.Write(reinterpret_cast<const std::uint8_t*>(samples.data()), count, error)) << error;
    ASSERT_TRUE(w.Commit(error)) << error;
    EXPECT_EQ(w.Clipped(), 4u);  // 1.0, 1.25, -3.0 and the NaN
    const Loaded back = Load(At("out.wav"));
    ASSERT_EQ(back.ints.size(), samples.size());
    EXPECT_NEAR(Peak(std::vector<double>(back.ints.begin(), back.ints.end() - 5)), 0.5 * fullScale, 2.0);
    EXPECT_EQ(std::vector<std::int32_t>(back.ints.end() - 5, back.ints.end()),
              (std::vector<std::int32_t>{fullScale - 1, fullScale - 1, -fullScale, -fullScale, 0}));
  }
}

// --- never a damaged file ---

TEST_F(QuillfxIo, OutputReplacesTheEarlierFileOnlyWhenCommitted) {
  const AudioFormat format = FormatOfKind(SampleKind::Pcm16, 2, 44100);
  const std::vector<std::uint8_t> block(4000u * format.blockAlign, 0x11);
  WriteText(At("out.wav"), "earlier");
  chmod(At("out.wav").c_str(), 0640);
  for (const std::string ending : {"abandoned", "destroyed", "refused"}) {
    SCOPED_TRACE(ending);
    {
      SoundWriter w;
      if (ending == "refused") {
        EXPECT_FALSE(w.Open(At("out.wav"), OutputRequest{"", 12u, {}, true}, format, std::nullopt, error));
      } else {
        ASSERT_TRUE(w.Open(At("out.wav"), OutputRequest{}, format, std::nullopt, error)) << error;
        ASSERT_TRUE(w.Write(block.data(), 4000, error)) << error;
        // While it is written, a hidden file beside the target holds the samples.
        const std::vector<std::string> during = Entries();
        ASSERT_EQ(during.size(), 2u);
        EXPECT_EQ(during[0][0], '.');
        EXPECT_EQ(ReadText(At("out.wav")), "earlier");
        if (ending == "abandoned") w.Abandon();
      }
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(ReadText(At("out.wav")), "earlier");
  }

  SoundWriter w;
  ASSERT_TRUE(w.Open(At("out.wav"), OutputRequest{}, format, std::nullopt, error)) << error;
  ASSERT_TRUE(w.Write(block.data(), 4000, error)) << error;
  ASSERT_TRUE(w.Commit(error)) << error;
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.wav"});
  EXPECT_EQ(Load(At("out.wav")).info.frames, 4000);
  struct stat st;
  ASSERT_EQ(stat(At("out.wav").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the earlier file's permissions

  // A folder that does not exist: a message, and no file anywhere.
  SoundWriter nowhere;
  EXPECT_FALSE(nowhere.Open(At("missing/out.wav"), OutputRequest{}, format, std::nullopt, error));
  EXPECT_NE(error.find("missing/out.wav"), std::string::npos) << error;
}

// Runs `body` in a child process with standard output on `out` (unless -1)
// and `closeInChild` closed; the child's exit status is what `body` returns.
pid_t Spawn(const std::function<int()>& body, int out = -1, int closeInChild = -1) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (closeInChild >= 0) close(closeInChild);
    if (out >= 0) dup2(out, STDOUT_FILENO);
    _exit(body());
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST_F(QuillfxIo, InterruptedWritersLeaveNoPartialFile) {
  const AudioFormat format = FormatOfKind(SampleKind::Float32, 2, 48000);
  const std::vector<std::uint8_t> block(48000u * format.blockAlign, 0);
  // The signal, whether the parent sends it (else the child raises it), and
  // how many writers are open, each in a thread of its own.
  for (const auto& [sig, fromParent, writers] :
       {std::tuple{SIGINT, false, 1}, std::tuple{SIGTERM, true, 1}, std::tuple{SIGHUP, true, 3}}) {
    SCOPED_TRACE(strsignal(sig));
    std::vector<std::string> earlier;
    for (int i = 0; i < writers; ++i) {
      earlier.push_back("out" + std::to_string(i) + ".wav");
      WriteText(At(earlier.back()), "earlier");
    }
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = Spawn(
        [&] {
          InstallSignalCleanup();
          std::vector<std::thread> threads;
          for (const std::string& name : earlier)
            threads.emplace_back([&] {
              auto* w = new SoundWriter;  // still open when the signal comes
              std::string error;
              if (!w->Open(At(name), OutputRequest{}, format, std::nullopt, error) ||
                  !w->Write(block.data(), 48000, error))
                _exit(10);
            });
          for (std::thread& t : threads) t.join();
          if (!fromParent) raise(sig);
          if (write(ready[1], "x", 1) != 1) return 11;
          for (;;) pause();
        },
        -1, ready[0]);
    close(ready[1]);
    if (fromParent) {
      char x = 0;
      ASSERT_EQ(read(ready[0], &x, 1), 1);
      EXPECT_EQ(static_cast<int>(Entries().size()), 2 * writers);  // the temporaries are there
      kill(child, sig);
    }
    close(ready[0]);
    const int status = Wait(child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_EQ(Entries(), earlier);
    for (const std::string& name : earlier) EXPECT_EQ(ReadText(At(name)), "earlier");
  }
}

// --- RF64 and streams ---

TEST_F(QuillfxIo, WavPastFourGiBBecomesRf64) {
  // 64-bit float stereo, 16 bytes a frame: 2^28 frames fill 4 GiB.
  constexpr std::uint32_t kBlock = 1u << 20;
  constexpr std::int64_t kFrames = (std::int64_t{1} << 28) + 4096;
  std::vector<double> block(2 * kBlock, 0.0);
  SoundWriter w;
  ASSERT_TRUE(w.Open(At("big.wav"), OutputRequest{}, FormatOfKind(SampleKind::Float64, 2, 48000), std::nullopt, error))
      << error;
  for (std::int64_t done = 0; done < kFrames;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(kBlock, kFrames - done));
    block[0] = done == 0 ? 0.25 : 0.0;  // marks on the first and the last frame
    if (done + n == kFrames) block[2 * n - 1] = -0.5;
    ASSERT_TRUE(w.Write(reinterpret_cast<const std::uint8_t*>(block.data()), n, error)) << error;
    done += n;
  }
  ASSERT_TRUE(w.Commit(error)) << error;
  EXPECT_EQ(w.CommitNote(), "over 4 GiB: written as RF64");

  SF_INFO info{};
  SNDFILE* f = sf_open(At("big.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
  EXPECT_EQ(info.frames, kFrames);
  double frame[2] = {};
  sf_readf_double(f, frame, 1);
  EXPECT_EQ(frame[0], 0.25);
  sf_seek(f, kFrames - 1, SEEK_SET);
  EXPECT_EQ(sf_readf_double(f, frame, 1), 1);
  EXPECT_EQ(frame[1], -0.5);
  sf_close(f);
}

struct Streamed {
  int status;           // the child's exit status, -1 if it did not exit
  std::string bytes;    // what reached the pipe
  std::string message;  // the writer's error
};

// 1000 frames of a 16-bit stereo ramp written to "-" as `type`, in a child
// whose standard output is `file`, or a pipe when it is -1.
Streamed RampToStdout(const std::string& type, const std::vector<std::int16_t>& ramp, const std::string& errorFile,
                      int file = -1) {
  int ends[2] = {-1, -1};
  if (file < 0 && pipe(ends) != 0) return {-1, "", "no pipe"};
  const pid_t child = Spawn(
      [&] {
        SoundWriter w;
        std::string error;
        if (w.Open("-", OutputRequest{type, {}, {}, true}, FormatOfKind(SampleKind::Pcm16, 2, 44100), std::nullopt,
                   error) &&
            w.Write(reinterpret_cast<const std::uint8_t*>(ramp.data()), 1000, error) && w.Commit(error))
          return 0;
        WriteText(errorFile, error);
        return 1;
      },
      file >= 0 ? file : ends[1], ends[0]);
  Streamed s{};
  if (file < 0) {
    close(ends[1]);
    char chunk[4096];
    for (ssize_t n; (n = read(ends[0], chunk, sizeof chunk)) > 0;) s.bytes.append(chunk, n);
    close(ends[0]);
  }
  const int status = Wait(child);
  s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (s.status != 0) s.message = ReadText(errorFile);
  return s;
}

TEST_F(QuillfxIo, StandardOutputTakesAStreamedWav) {
  std::vector<std::int16_t> ramp;
  for (int i = 0; i < 1000; ++i)
    ramp.insert(ramp.end(), {static_cast<std::int16_t>(i * 7), static_cast<std::int16_t>(-i * 5)});
  const std::vector<std::int32_t> ramp32(ramp.begin(), ramp.end());

  // Through a pipe: the header's sizes "unknown"; the reader below checks the rest.
  const Streamed piped = RampToStdout("", ramp, At("error.txt"));
  ASSERT_EQ(piped.status, 0) << piped.message;
  ASSERT_EQ(piped.bytes.size(), 44u + 4000);
  EXPECT_EQ(Le32(piped.bytes, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(piped.bytes, 24), 44100u);
  EXPECT_EQ(Le32(piped.bytes, 40), 0xFFFFFFFFu);
  WriteText(At("piped.wav"), piped.bytes);
  EXPECT_EQ(Load(At("piped.wav")).ints, ramp32);

  // Into a regular file: the sizes are filled in at the end.
  const int file = open(At("redirected.wav").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  const Streamed redirected = RampToStdout("wav", ramp, At("error.txt"), file);
  close(file);
  ASSERT_EQ(redirected.status, 0) << redirected.message;
  const std::string bytes = ReadText(At("redirected.wav"));
  EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(Load(At("redirected.wav")).ints, ramp32);

  // Other types stream where libsndfile can; the rest are refused by name,
  // before anything reaches the pipe.
  const Streamed au = RampToStdout("au", ramp, At("error.txt"));
  ASSERT_EQ(au.status, 0) << au.message;
  EXPECT_EQ(au.bytes.substr(0, 4), ".snd");
  EXPECT_EQ(au.bytes.size(), 24u + 4000);
  const Streamed aiff = RampToStdout("aiff", ramp, At("error.txt"));
  EXPECT_EQ(aiff.status, 1);
  EXPECT_EQ(aiff.bytes, "");
  EXPECT_NE(aiff.message.find("cannot be written to a pipe"), std::string::npos) << aiff.message;
  EXPECT_NE(aiff.message.find("wav, au"), std::string::npos) << aiff.message;

  // A device is written as a stream, never replaced.
  SoundWriter w;
  ASSERT_TRUE(w.Open("/dev/null", OutputRequest{}, FormatOfKind(SampleKind::Pcm16, 2, 44100), std::nullopt, error))
      << error;
  ASSERT_TRUE(w.Write(reinterpret_cast<const std::uint8_t*>(ramp.data()), 1000, error)) << error;
  ASSERT_TRUE(w.Commit(error)) << error;
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// --- the chain's count of samples beyond full scale ---

// A stage that hands its input on unchanged.
class Unchanged : public EffectStage {
 public:
  IUnknown* Params() override { return nullptr; }
  IEffectPresets* Presets() override { return nullptr; }
  HRESULT Start(const AudioFormat*) override { return S_OK; }
  HRESULT Feed(std::uint8_t* data, std::uint32_t frames, const FrameSink& sink) override { return sink(data, frames); }
  HRESULT Finish(const FrameSink&) override { return S_OK; }
};

// What each of two stages in a row counts in `samples`.
template <class T>
std::uint64_t ClippedAtEachStage(SampleKind kind, std::vector<T> samples) {
  std::vector<ChainLink> links(2);
  for (ChainLink& l : links) l.stage = std::make_unique<Unchanged>();
  Chain chain(links, [](std::uint8_t*, std::uint32_t) { return S_OK; });
  const AudioFormat format = FormatOfKind(kind, 1, 44100);
  std::string failed;
  EXPECT_EQ(chain.Start(&format, failed), S_OK);
  const auto frames = static_cast<std::uint32_t>(samples.size());
  EXPECT_EQ(chain.Feed(reinterpret_cast<std::uint8_t*>(samples.data()), frames, failed), S_OK);
  EXPECT_EQ(links[0].clipped, links[1].clipped);
  return links[1].clipped;
}

TEST(Chain, FloatSamplesBeyondFullScaleCountAsClipped) {
  // Full scale itself fits; just beyond it, far beyond, infinity and NaN do not.
  const float nanF = std::numeric_limits<float>::quiet_NaN(), infF = std::numeric_limits<float>::infinity();
  EXPECT_EQ(ClippedAtEachStage<float>(SampleKind::Float32,
                                      {0.5f, 1.0f, -1.0f, std::nextafter(1.0f, 2.0f), -3.0f, nanF, infF, 0.0f}),
            4u);
  EXPECT_EQ(ClippedAtEachStage<double>(SampleKind::Float64, {1.0, -1.0, std::nextafter(-1.0, -2.0), 2.0, kNan, -0.999}),
            3u);
  EXPECT_EQ(ClippedAtEachStage<std::int16_t>(SampleKind::Pcm16, {32767, -32768, 0, 32766}), 2u);
}

}  // namespace
}  // namespace quill
