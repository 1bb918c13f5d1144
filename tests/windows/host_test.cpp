// The reference host end to end: each effect from the registered DLL in a
// real graph (the platform's file source and wave parser, the effect, our
// writer) on the demo material, against its engine run in this process on
// the same input; and requests the host refuses write nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
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
       OnEngine<SimpleDelayEngine>([](auto& e) {
         e.ApplyPreset(1);
         e.SetDelay(250);
         e.SetDryOut(-30);
       }),
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
      {L"--effect chorus --preset 17 depth=5 invert=on", false, OnEngine<ChorusEngine>([](auto& e) {
         e.ApplyPreset(17);
         e.SetModDepth(5);
         e.SetInvertChorus(1);
       }),
       Tail(0)},
      // The reverb adds its whole seconds of decay: Cathedral 3.0 s.
      {L"--effect reverb --preset cathedral predelay=0.15s earlyStyle=7", false, OnEngine<ReverbEngine>([](auto& e) {
         e.ApplyPreset(2);
         e.SetPreDelay(150);
         e.SetEarlyStyle(7);
       }),
       Tail(3 * 44100)},
      // "Tapped delay, stereo pan": no modulation, a ring of trunc(1.05 x 22007).
      {L"--effect multitap --preset 24", true, OnEngine<MultiTapEngine>([](auto& e) { e.ApplyPreset(24); }),
       Tail(23107)},
      // Mode 8 at 44.1 kHz: N = 3528, H = 1764, S = 1764 / 2.5 + 0.5 -> 706.
      // Over the stream, H frames out per S frames in, give or take the
      // windows at both ends.
      {L"--effect time finalTenths=2500 mode=8", false, OnEngine<TimeEngine>([](auto& e) {
         e.ApplyPreset(0);
         e.SetFinal(2500.0);
         e.SetMode(8);
       }),
       [](double got, double in) { EXPECT_LT(std::abs(got - in * 1764.0 / 706.0), 4 * 1764.0) << got; }},
      // Preset 1 compresses to 85 %.
      {L"--effect twtime --preset 1", false, OnEngine<TimeEngine>([](auto& e) { e.ApplyPreset(1); }),
       [](double got, double in) { EXPECT_LT(got, in); }},
      // 44100 / 1.49830807... = 29433.0..., so r = 44100 / 29433; the last
      // four frames (half the kernel) never come out. The host derives the
      // ratio from the semitones as the page does.
      {L"--effect pitch semitones=7", false, OnEngine<PitchEngine>([](auto& e) {
         e.SetSemitones(7);
         e.SetRatio(PageRatio(7, 0));
       }),
       [](double got, double in) { EXPECT_NEAR(got, (in - 4) * 29433.0 / 44100.0, 1.0); }},
      {L"--effect twpitchs --preset \"Fifth down\" preserveDuration=1 accuracy=3", false,
       OnEngine<PitchEngine>([](auto& e) {
         e.ApplyPreset(1);
         e.SetPreserve(1);
         e.SetAccuracy(3);
       }),
       [](double got, double in) { EXPECT_EQ(got, in); }},
      {L"--effect pitch semitones=12 antiAlias=1 preserveDuration=1 mode=8", false, OnEngine<PitchEngine>([](auto& e) {
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
    const WavData got =
        RunHost(c.arguments, L"case" + std::to_wstring(n++) + L".wav", &errors, c.stereo ? L"stereo.wav" : L"demo.wav");
    EXPECT_EQ(errors.find("warning"), std::string::npos) << errors;
    const WavData& in = c.stereo ? stereo_ : input_;
    c.length(got.Frames(), in.Frames());
    ExpectSame(got, c.expected(in));
  }
}

// Presets are listed from the effect itself; a request the host refuses
// (a preset it lacks, a value its field cannot take or a stream would not
// play as it stands: 2; a missing input: 1) says why and writes no output.
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
      {L"--effect pitch ratio=50000", "twpitchs: ratio=50000 is outside 0.05..20 transposition ratio"},
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

// The host's command line before `arguments`, for runs that are not a plain
// input-to-output request.
std::wstring Host(const std::wstring& arguments) {
  return L"\"" + BinDir() + L"quillhost.exe\" " + arguments;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(Narrow(path), std::ios::binary | std::ios::trunc);
  file << bytes;
}

// --save-settings writes the block as the filter persists it and --settings
// puts it back into a new filter, before the preset and fields apply.
TEST_F(QuillhostOnDemo, SettingsRoundTripThroughAFile) {
  const std::wstring a = dir_ + L"echo.set", b = dir_ + L"again.set", defaults = dir_ + L"defaults.set";
  ASSERT_EQ(RunProcess(Host(L"--effect delay --preset 1 --save-settings \"" + a + L"\""), dir_ + L"save.txt"), 0)
      << ReadText(dir_ + L"save.txt");
  ASSERT_EQ(RunProcess(Host(L"--effect delay --settings \"" + a + L"\" --save-settings \"" + b + L"\"")), 0);
  ASSERT_EQ(RunProcess(Host(L"--effect delay --save-settings \"" + defaults + L"\"")), 0);
  const std::string saved = ReadText(a);
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(ReadText(b), saved);
  // Echo chamber is not the construction state, so an ignored load shows.
  EXPECT_NE(ReadText(defaults), saved);

  // The loaded filter streams as the preset does; fields given too go on top.
  const std::wstring settings = L"--settings \"" + a + L"\" ";
  std::string errors;
  ExpectSame(RunHost(settings + L"--effect twechos", L"loaded.wav", &errors),
             OnEngine<SimpleDelayEngine>([](auto& e) { e.ApplyPreset(1); })(input_));
  ExpectSame(RunHost(settings + L"--effect delay delayMs=250", L"loaded_edit.wav", &errors),
             OnEngine<SimpleDelayEngine>([](auto& e) {
               e.ApplyPreset(1);
               e.SetDelay(250);
             })(input_));
  ExpectSame(RunHost(settings + L"--effect delay --preset 4", L"loaded_preset.wav", &errors),
             OnEngine<SimpleDelayEngine>([](auto& e) { e.ApplyPreset(4); })(input_));
}

// A settings file that is missing, cut short, of another effect or with a
// foreign identifier is refused with its name and the code; nothing is
// written, and an earlier settings file stays as it was.
TEST_F(QuillhostOnDemo, BadSettingsFilesAreRefusedAndNothingIsWritten) {
  const std::wstring good = dir_ + L"good.set";
  ASSERT_EQ(RunProcess(Host(L"--effect delay --preset 2 --save-settings \"" + good + L"\"")), 0);
  const std::string block = ReadText(good);
  ASSERT_GT(block.size(), 20u);
  std::string foreign = block;
  foreign[4] = static_cast<char>(foreign[4] ^ 0x5A);  // in the interface identifier after the size
  WriteBytes(dir_ + L"short.set", block.substr(0, block.size() - 1));
  WriteBytes(dir_ + L"long.set", block + '\0');
  WriteBytes(dir_ + L"foreign.set", foreign);
  const std::wstring kept = dir_ + L"kept.set", out = dir_ + L"bad_out.wav";
  const std::tuple<const wchar_t*, const wchar_t*, const char*> cases[] = {
      {L"delay", L"short.set", "0x8007000D"},   {L"delay", L"long.set", "0x8007000D"},
      {L"delay", L"missing.set", "0x80070002"}, {L"delay", L"foreign.set", "0x80004005"},
      {L"reverb", L"good.set", "0x8007000D"},
  };
  for (const auto& [effect, file, code] : cases) {
    SCOPED_TRACE(Narrow(file));
    WriteBytes(kept, "earlier");
    DeleteFileW(out.c_str());
    const std::wstring line = Host(std::wstring(L"--effect ") + effect + L" --settings \"" + dir_ + file +
                                   L"\" --save-settings \"" + kept + L"\" \"" + dir_ + L"demo.wav\" \"" + out + L"\"");
    EXPECT_EQ(RunProcess(line, dir_ + L"bad.txt"), 1);
    const std::string said = ReadText(dir_ + L"bad.txt");
    EXPECT_NE(said.find(Narrow(dir_ + file)), std::string::npos) << said;
    EXPECT_NE(said.find(code), std::string::npos) << said;
    EXPECT_EQ(ReadText(kept), "earlier");
    EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

// Each effect's page in the platform's frame, closed by the timer: the frame
// was found (its title carries the effect's name) and the call waited for it.
TEST_F(QuillhostOnDemo, EveryPageShowsInTheFrameUntilTheTimerClosesIt) {
  for (const wchar_t* effect : {L"delay", L"multitap", L"reverb", L"chorus", L"time", L"pitch"}) {
    SCOPED_TRACE(Narrow(effect));
    const ULONGLONG start = GetTickCount64();
    const int code = RunProcess(Host(std::wstring(L"--page ") + effect + L" --page-timeout 500"), dir_ + L"page.txt");
    EXPECT_GE(GetTickCount64() - start, 500u);
    const std::string said = ReadText(dir_ + L"page.txt");
    EXPECT_EQ(code, 0) << said;
    EXPECT_NE(said.find("closed by --page-timeout after 500 ms"), std::string::npos) << said;
    EXPECT_TRUE(effect != std::wstring(L"delay") || said.find("Simple Delay") != std::string::npos) << said;
  }
}

// After the page, the same filter streams the file and its settings are
// saved: with nothing edited on the page, both are the preset's.
TEST_F(QuillhostOnDemo, PageThenStreamAndSaveUseTheSameFilter) {
  const std::wstring before = dir_ + L"before.set", after = dir_ + L"after.set";
  ASSERT_EQ(RunProcess(Host(L"--effect delay --preset 3 --save-settings \"" + before + L"\"")), 0);
  std::string said;
  const WavData got =
      RunHost(L"--page delay --preset 3 --page-timeout 1500 --save-settings \"" + after + L"\"", L"paged.wav", &said);
  EXPECT_NE(said.find("closed by --page-timeout"), std::string::npos) << said;
  EXPECT_EQ(ReadText(after), ReadText(before));
  ExpectSame(got, OnEngine<SimpleDelayEngine>([](auto& e) { e.ApplyPreset(3); })(input_));
}

// A timeout without a page, or one that is not a number of milliseconds,
// is a bad command line.
TEST_F(QuillhostOnDemo, PageTimeoutNeedsAPageAndMilliseconds) {
  for (const wchar_t* arguments :
       {L"--effect delay --page-timeout 100 --save-settings x.set", L"--page delay --page-timeout soon",
        L"--page delay --page-timeout 0", L"--page delay --effect reverb"})
    EXPECT_EQ(RunProcess(Host(arguments), dir_ + L"usage.txt"), 2) << Narrow(arguments);
}

}  // namespace
}  // namespace quill::test
