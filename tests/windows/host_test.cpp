// The reference host end to end: each effect from the registered DLL in a
// real graph (the platform's file source and wave parser, the effect, our
// writer) on the demo material, against its engine run in this process on
// the same input. The 16-bit output must be identical, tail or flush
// included; and requests the host cannot honour write nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>

#include "tests/windows/host_compare.h"
#include "tools/common/effect_catalog.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twpitchs/transpose.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"

namespace quill::test {
namespace {

class QuillhostOnDemo : public HostOnDemo {
 protected:
  static void SetUpTestSuite() {
    SetUpHost(L"host");
    // The demo material in stereo: the right channel a quieter copy 331
    // frames late, so that the channels differ.
    stereo_.format = MakeFormat(1, 2, input_.format.sampleRate, 16);
    const auto at = [](std::int64_t i) {
      std::int16_t s = 0;
      if (i >= 0) std::memcpy(&s, input_.bytes.data() + 2 * i, 2);
      return s;
    };
    for (std::int64_t i = 0; i < input_.Frames(); ++i) {
      const std::int16_t frame[2] = {at(i), static_cast<std::int16_t>(0.7 * at(i - 331))};
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame);
      stereo_.bytes.insert(stereo_.bytes.end(), bytes, bytes + 4);
    }
    std::string error;
    ASSERT_TRUE(WriteWav(Narrow(dir_ + L"stereo.wav"), stereo_, error)) << error;
  }
  static inline WavData stereo_;
};

// The engine run in this process as the filter runs it, after `edit`.
template <class Engine>
std::function<WavData(const WavData&)> OnEngine(void (*edit)(Engine&)) {
  return [edit](const WavData& in) {
    Engine engine;
    edit(engine);
    WavData out;
    if constexpr (std::is_same_v<Engine, TimeEngine> || std::is_same_v<Engine, PitchEngine>) {
      out = RunCopyingEngine(engine, in);
    } else {
      RunStats stats;
      EXPECT_EQ(RunInPlace(engine, in, out, 4096, stats), S_OK);
    }
    return out;
  };
}

using LengthCheck = std::function<void(double frames, double inFrames)>;

// Tails at 44100 Hz after the 176400 frames of material.
LengthCheck Tail(std::uint32_t frames) {
  return [frames](double got, double) { EXPECT_EQ(got, 176400u + frames); };
}

// One request to the host and the same settings made on the engine; the
// clamped field, if any, must be reported with its range from the table.
struct HostCase {
  const char* what;
  const wchar_t* arguments;
  bool stereo;
  std::function<WavData(const WavData&)> expected;
  LengthCheck length;
  const char* clampedEffect = nullptr;
  const char* clampedField = nullptr;
  const char* clampedRequest = nullptr;
};

TEST_F(QuillhostOnDemo, EachRequestMatchesTheEngine) {
  const HostCase cases[] = {
      // The simple delay adds one period (plus the decay length with feedback).
      {"default preset", L"--effect delay", false, OnEngine<SimpleDelayEngine>([](auto&) {}), Tail(4410)},
      // Echo chamber: feedback on, 2.0 s decay, one 250 ms period plus the decay.
      {"preset by name", L"--effect twechos --preset \"Echo chamber\" delayMs=250 dryOut=-30", false,
       OnEngine<SimpleDelayEngine>([](auto& e) {
         e.ApplyPreset(1);
         e.SetDelay(250);
         e.SetDryOut(-30);
       }),
       Tail(11025 + 88200)},
      // Preset 4: one second of delay, no feedback.
      {"preset by index", L"--preset 4", false, OnEngine<SimpleDelayEngine>([](auto& e) { e.ApplyPreset(4); }),
       Tail(44100)},
      // Large hall 1: the longest tap, 500 ms, lies 44 x 500 + 7 (its 0.179 ms
      // offset) = 22007 samples back; with 10 % depth (13.23 samples) the ring
      // is trunc(1.05 x 22007 + 4 x 13.23) = 23160 long, and so is the tail.
      {"multi-tap by name", L"--effect twechomt --preset \"Large hall 1\" tapGain[0]=140 wetOut=-30", false,
       OnEngine<MultiTapEngine>([](auto& e) {
         e.ApplyPreset(13);
         e.SetTapGain0(140);
         e.SetWetOut(-30);
       }),
       Tail(23160), "multitap", "tapGain[0]", "tapGain[0]=140"},
      // The chorus adds nothing.
      {"chorus by index", L"--effect chorus --preset 17 modDepth=0 invertChorus=1", false,
       OnEngine<ChorusEngine>([](auto& e) {
         e.ApplyPreset(17);
         e.SetModDepth(0);
         e.SetInvertChorus(1);
       }),
       Tail(0), "chorus", "modDepth", "modDepth=0"},
      // The reverb adds its whole seconds of decay: Cathedral decays over 3.0 s.
      {"reverb by name", L"--effect reverb --preset Cathedral preDelayMs=250 earlyStyle=7", false,
       OnEngine<ReverbEngine>([](auto& e) {
         e.ApplyPreset(2);
         e.SetPreDelay(250);
         e.SetEarlyStyle(7);
       }),
       Tail(3 * 44100), "reverb", "preDelayMs", "preDelayMs=250"},
      // "Tapped delay, stereo pan": longest tap 500 ms, no modulation, a ring
      // of trunc(1.05 x 22007) = 23107 frames.
      {"stereo multi-tap", L"--effect multitap --preset 24", true,
       OnEngine<MultiTapEngine>([](auto& e) { e.ApplyPreset(24); }), Tail(23107)},
      {"stereo chorus", L"--effect twchorus --preset \"Chorus 3\"", true,
       OnEngine<ChorusEngine>([](auto& e) { e.ApplyPreset(8); }), Tail(0)},
      // Plate decays over 2.0 s.
      {"stereo reverb", L"--effect reverb --preset Plate", true,
       OnEngine<ReverbEngine>([](auto& e) { e.ApplyPreset(8); }), Tail(2 * 44100)},
      // Mode 8 at 44.1 kHz: N = 3528, H = 1764, S = 1764 / 2.5 + 0.5 -> 706.
      // Over the stream, H frames out per S frames in, give or take the
      // windows at both ends.
      {"time by fields", L"--effect time finalTenths=2500 mode=8", false,
       OnEngine<TimeEngine>([](auto& e) {
         e.ApplyPreset(0);
         e.SetFinal(2500.0);
         e.SetMode(8);
       }),
       [](double got, double in) { EXPECT_LT(std::abs(got - in * 1764.0 / 706.0), 4 * 1764.0) << got; }},
      // Preset 1 compresses to 85 %.
      {"time preset by index", L"--effect twtime --preset 1", false,
       OnEngine<TimeEngine>([](auto& e) { e.ApplyPreset(1); }), [](double got, double in) { EXPECT_LT(got, in); }},
      // 44100 / 1.49830807... = 29433.0..., so r = 44100 / 29433; the last
      // four frames (half the kernel) never come out.
      {"pitch by semitones", L"--effect pitch semitones=7", false,
       OnEngine<PitchEngine>([](auto& e) {
         e.SetSemitones(7);
         e.SetRatio(PageRatio(7, 0));  // what the host derives from the semitones
       }),
       [](double got, double in) { EXPECT_NEAR(got, (in - 4) * 29433.0 / 44100.0, 1.0); }},
      {"pitch preset keeping the duration",
       L"--effect twpitchs --preset \"Fifth down\" preserveDuration=1 accuracy=3", false,
       OnEngine<PitchEngine>([](auto& e) {
         e.ApplyPreset(1);
         e.SetPreserve(1);
         e.SetAccuracy(3);
       }),
       [](double got, double in) { EXPECT_EQ(got, in); }},
      {"pitch up with the anti-alias filter", L"--effect pitch semitones=12 antiAlias=1 preserveDuration=1 mode=8",
       false,
       OnEngine<PitchEngine>([](auto& e) {
         e.SetSemitones(12);
         e.SetRatio(PageRatio(12, 0));
         e.SetAntiAlias(1);
         e.SetPreserve(1);
         e.SetMode(8);
       }),
       [](double got, double in) { EXPECT_EQ(got, in); }},
  };
  int n = 0;
  for (const HostCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string errors;
    const std::wstring outName = L"case" + std::to_wstring(n++) + L".wav";
    const WavData got = RunHost(c.arguments, outName, &errors, c.stereo ? L"stereo.wav" : L"demo.wav");
    if (c.clampedField != nullptr) {
      const FieldInfo* field = FindField(FindHostEffect(c.clampedEffect)->fields, c.clampedField);
      ASSERT_NE(field, nullptr);
      EXPECT_NE(errors.find(c.clampedRequest), std::string::npos) << errors;
      EXPECT_NE(errors.find(FieldRangeText(*field)), std::string::npos) << errors;
    }
    const WavData& in = c.stereo ? stereo_ : input_;
    c.length(got.Frames(), in.Frames());
    ExpectSame(got, c.expected(in));
  }
}

// Runs quillhost with each request on `in` and `out` in `dir` (no output
// name when `out` is empty): the exit code, and `out` never written.
void ExpectRefused(const std::wstring& dir, const wchar_t* in, const wchar_t* out,
                   std::initializer_list<std::pair<const wchar_t*, int>> requests) {
  DeleteFileW((dir + L"out.wav").c_str());
  for (const auto& [arguments, code] : requests) {
    std::wstring line = L"\"" + BinDir() + L"quillhost.exe\" " + arguments + L" \"" + dir + in + L"\"";
    if (*out != L'\0') line += L" \"" + dir + out + L"\"";
    EXPECT_EQ(RunProcess(line), code) << Narrow(line);
  }
  EXPECT_EQ(GetFileAttributesW((dir + L"out.wav").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Presets are listed from the effect itself; one that is neither an index
// nor an exact name is a usage error.
TEST_F(QuillhostOnDemo, PresetsAreListedAndUnknownOnesRefused) {
  const std::wstring listing = dir_ + L"presets.txt";
  ASSERT_EQ(RunProcess(L"\"" + BinDir() + L"quillhost.exe\" --effect chorus --presets", listing), 0);
  const std::string text = ReadText(listing);
  for (const char* line : {" 0 (Default)", " 8 Chorus 3", "22 Slow flange 3"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_EQ(text.find("23 "), std::string::npos) << text;
  ExpectRefused(dir_, L"demo.wav", L"out.wav",
                {{L"--effect chorus --preset 23", 2},
                 {L"--effect reverb --preset plate", 2},  // names are exact
                 {L"--effect reverb --preset -1", 2}});
}

TEST_F(QuillhostOnDemo, BadRequestsFailWithoutWritingOutput) {
  ExpectRefused(dir_, L"demo.wav", L"out.wav",
                {{L"--effect flanger", 2},
                 {L"delayMicros=5", 2},
                 {L"delayMs=fast", 2},
                 {L"delayMs=2.5", 2},
                 {L"--effect reverb tapCount=3", 2},  // another effect's field
                 {L"--effect multitap tapGain[8]=5", 2},
                 {L"--effect multitap tapGain=5", 2},
                 {L"--effect chorus dryOut=99999999999", 2}});
  ExpectRefused(dir_, L"demo.wav", L"", {{L"", 2}});  // no output file
  ExpectRefused(dir_, L"missing.wav", L"out.wav", {{L"", 1}});
}

}  // namespace
}  // namespace quill::test
