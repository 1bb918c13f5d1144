// The reference host end to end: each effect from the registered DLL in a
// real graph (the platform's file source and wave parser, the effect, our
// writer) on the demo material, against its engine run in this process on
// the same input; and requests the host refuses write nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>

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
  // Also the material in stereo, the right channel a quieter copy 331 frames late.
  static void SetUpTestSuite() {
    SetUpHost(L"host");
    stereo_.format = MakeFormat(1, 2, input_.format.sampleRate, 16);
    const auto* mono = reinterpret_cast<const std::int16_t*>(input_.bytes.data());
    for (std::uint32_t i = 0; i < input_.Frames(); ++i) {
      const std::int16_t frame[2] = {mono[i], static_cast<std::int16_t>(i < 331 ? 0 : 0.7 * mono[i - 331])};
      stereo_.bytes.insert(stereo_.bytes.end(), reinterpret_cast<const std::uint8_t*>(frame),
                           reinterpret_cast<const std::uint8_t*>(frame) + 4);
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
    if constexpr (std::is_same_v<Engine, TimeEngine> || std::is_same_v<Engine, PitchEngine>) {
      return RunCopyingEngine(engine, in);
    } else {
      WavData out;
      RunStats stats;
      EXPECT_EQ(RunInPlace(engine, in, out, 4096, stats), S_OK);
      return out;
    }
  };
}

using LengthCheck = std::function<void(double frames, double inFrames)>;
// The tail after the 176400 frames of material at 44100 Hz.
LengthCheck Tail(std::uint32_t frames) {
  return [frames](double got, double) { EXPECT_EQ(got, 176400u + frames); };
}

// One request to the host and the same settings made on the engine.
struct HostCase {
  const wchar_t* arguments;
  bool stereo;
  std::function<WavData(const WavData&)> expected;
  LengthCheck length;
};

TEST_F(QuillhostOnDemo, EachRequestMatchesTheEngine) {
  const HostCase cases[] = {
      // The simple delay adds one period, plus the decay with feedback (Echo chamber: 2.0 s).
      {L"--effect delay", false, OnEngine<SimpleDelayEngine>([](auto&) {}), Tail(4410)},
      {L"--effect twechos --preset \"Echo chamber\" delayMs=250 dryOut=-30", false,
       OnEngine<SimpleDelayEngine>([](auto& e) { e.ApplyPreset(1); e.SetDelay(250); e.SetDryOut(-30); }),
       Tail(11025 + 88200)},
      {L"--preset 4", false, OnEngine<SimpleDelayEngine>([](auto& e) { e.ApplyPreset(4); }), Tail(44100)},
      // Large hall 1: the longest tap, 500 ms, lies 44 x 500 + 7 (its 0.179 ms
      // offset) = 22007 samples back; with 10 % depth (13.23 samples) the ring,
      // and the tail, is trunc(1.05 x 22007 + 4 x 13.23) = 23160 long.
      // Values in real units; the low-pass given by its frequency is turned on.
      {L"--effect twechomt --preset \"large  HALL 1\" gain[0]=80% wet=-3dB lowpass=4kHz", false,
       OnEngine<MultiTapEngine>([](auto& e) {
         e.ApplyPreset(13);
         e.SetTapGain0(80);
         e.SetWetOut(-30);
         e.SetLowpassHz(4000);
         e.SetLowpass(1);
       }),
       Tail(23160)},
      {L"--effect chorus --preset 17 depth=5 invert=on", false,
       OnEngine<ChorusEngine>([](auto& e) { e.ApplyPreset(17); e.SetModDepth(5); e.SetInvertChorus(1); }), Tail(0)},
      // The reverb adds its whole seconds of decay: Cathedral 3.0 s, Plate 2.0 s.
      {L"--effect reverb --preset cathedral predelay=0.15s earlyStyle=7", false,
       OnEngine<ReverbEngine>([](auto& e) { e.ApplyPreset(2); e.SetPreDelay(150); e.SetEarlyStyle(7); }),
       Tail(3 * 44100)},
      // "Tapped delay, stereo pan": no modulation, a ring of trunc(1.05 x 22007).
      {L"--effect multitap --preset 24", true, OnEngine<MultiTapEngine>([](auto& e) { e.ApplyPreset(24); }),
       Tail(23107)},
      {L"--effect twchorus --preset \"Chorus 3\"", true, OnEngine<ChorusEngine>([](auto& e) { e.ApplyPreset(8); }),
       Tail(0)},
      {L"--effect reverb --preset Plate", true, OnEngine<ReverbEngine>([](auto& e) { e.ApplyPreset(8); }),
       Tail(2 * 44100)},
      // Mode 8 at 44.1 kHz: N = 3528, H = 1764, S = 1764 / 2.5 + 0.5 -> 706.
      // Over the stream, H frames out per S frames in, give or take the
      // windows at both ends.
      {L"--effect time finalTenths=2500 mode=8", false,
       OnEngine<TimeEngine>([](auto& e) { e.ApplyPreset(0); e.SetFinal(2500.0); e.SetMode(8); }),
       [](double got, double in) { EXPECT_LT(std::abs(got - in * 1764.0 / 706.0), 4 * 1764.0) << got; }},
      // Preset 1 compresses to 85 %.
      {L"--effect twtime --preset 1", false, OnEngine<TimeEngine>([](auto& e) { e.ApplyPreset(1); }),
       [](double got, double in) { EXPECT_LT(got, in); }},
      // 44100 / 1.49830807... = 29433.0..., so r = 44100 / 29433; the last
      // four frames (half the kernel) never come out. The host derives the
      // ratio from the semitones as the page does.
      {L"--effect pitch semitones=7", false,
       OnEngine<PitchEngine>([](auto& e) { e.SetSemitones(7); e.SetRatio(PageRatio(7, 0)); }),
       [](double got, double in) { EXPECT_NEAR(got, (in - 4) * 29433.0 / 44100.0, 1.0); }},
      {L"--effect twpitchs --preset \"Fifth down\" preserveDuration=1 accuracy=3", false,
       OnEngine<PitchEngine>([](auto& e) { e.ApplyPreset(1); e.SetPreserve(1); e.SetAccuracy(3); }),
       [](double got, double in) { EXPECT_EQ(got, in); }},
      {L"--effect pitch semitones=12 antiAlias=1 preserveDuration=1 mode=8", false,
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
    SCOPED_TRACE(Narrow(c.arguments));
    std::string errors;
    const WavData got = RunHost(c.arguments, L"case" + std::to_wstring(n++) + L".wav", &errors,
                                c.stereo ? L"stereo.wav" : L"demo.wav");
    EXPECT_EQ(errors.find("warning"), std::string::npos) << errors;
    const WavData& in = c.stereo ? stereo_ : input_;
    c.length(got.Frames(), in.Frames());
    ExpectSame(got, c.expected(in));
  }
}

// Presets are listed from the effect itself; a request the host refuses
// (a preset it lacks, a value its field cannot take, a ratio the input's
// rate cannot play: 2; a missing input: 1) says why and writes no output.
TEST_F(QuillhostOnDemo, PresetsAreListedAndBadRequestsWriteNothing) {
  const std::wstring host = L"\"" + BinDir() + L"quillhost.exe\" ", out = L" \"" + dir_ + L"out.wav\"";
  const std::wstring demo = L" \"" + dir_ + L"demo.wav\"";
  ASSERT_EQ(RunProcess(host + L"--effect chorus --presets", dir_ + L"presets.txt"), 0);
  const std::string text = ReadText(dir_ + L"presets.txt");
  EXPECT_TRUE(text.find("22 Slow flange 3") != std::string::npos && text.find("23 ") == std::string::npos) << text;
  DeleteFileW((dir_ + L"out.wav").c_str());
  const std::tuple<const wchar_t*, const char*> refusals[] = {
      {L"--effect reverb --preset catedral", "twreverb has no preset \"catedral\"; did you mean \"Cathedral\"?"},
      {L"--effect reverb predelay=250ms",
       "quillhost: twreverb: predelay=250ms is outside 0..200 ms (preDelayMs 0..200 ms; 0 is off)"},
      {L"--effect multitap tapGain[0]=140", "twechomt: tapGain[0]=140 is outside -100..100 %"},
      {L"--effect pitch ratio=0", "twpitchs: ratio=0 is not a positive number"},
      // 44100 / 50000 truncates to a virtual rate of 0.
      {L"--effect pitch ratio=50000", "twpitchs: ratio=50000 cannot play at 44100 Hz"},
  };
  for (const auto& [arguments, says] : refusals) {
    EXPECT_EQ(RunProcess(host + arguments + demo + out, dir_ + L"refusal.txt"), 2) << Narrow(arguments);
    const std::string said = ReadText(dir_ + L"refusal.txt");
    EXPECT_NE(said.find(says), std::string::npos) << said;
    EXPECT_EQ(GetFileAttributesW((dir_ + L"out.wav").c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(arguments);
  }
  EXPECT_EQ(RunProcess(host + L"\"" + dir_ + L"missing.wav\"" + out), 1);
  EXPECT_EQ(GetFileAttributesW((dir_ + L"out.wav").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace quill::test
