// The reference host on the demo material against the native engine run
// in this process on the same input: 16-bit output must be identical,
// tail included.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "demo_material.h"
#include "run_engine.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"
#include "wav_file.h"
#include "host_compare.h"
#include "win_support.h"

namespace quill::test {
namespace {

class QuillhostOnDemo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The host creates the effect by class identifier.
    ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + BinDir() + L"QUILLFX1.DLL\""), 0);
    dir_ = ScratchDir(L"end_to_end");
    input_ = MakeDemoMaterial();
    std::string error;
    ASSERT_TRUE(WriteWav(Narrow(dir_ + L"demo.wav"), input_, error)) << error;
    stereo_ = Stereo(input_);
    ASSERT_TRUE(WriteWav(Narrow(dir_ + L"stereo.wav"), stereo_, error)) << error;
  }

  // The demo material in stereo: the right channel is a quieter copy 331
  // frames late, so that the channels differ.
  static WavData Stereo(const WavData& mono) {
    WavData out;
    out.format = MakeFormat(1, 2, mono.format.sampleRate, 16);
    const std::uint32_t frames = mono.Frames();
    auto at = [&](std::int64_t i) {
      std::int16_t s = 0;
      if (i >= 0) std::memcpy(&s, mono.bytes.data() + 2 * i, 2);
      return s;
    };
    for (std::uint32_t i = 0; i < frames; ++i) {
      const std::int16_t frame[2] = {at(i), static_cast<std::int16_t>(0.7 * at(static_cast<std::int64_t>(i) - 331))};
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame);
      out.bytes.insert(out.bytes.end(), bytes, bytes + 4);
    }
    return out;
  }

  // Runs quillhost with `arguments` before the file names; its output file.
  // What it printed goes to `errors`.
  WavData RunHost(const std::wstring& arguments, const wchar_t* outName, std::string* errors = nullptr,
                  const wchar_t* inName = L"demo.wav") {
    const std::wstring out = dir_ + outName;
    const std::wstring line =
        L"\"" + BinDir() + L"quillhost.exe\" " + arguments + L" \"" + dir_ + inName + L"\" \"" + out + L"\"";
    const std::wstring errorFile = out + L".txt";
    EXPECT_EQ(RunProcess(line, errorFile), 0) << Narrow(line);
    if (errors != nullptr) {
      std::ifstream file(Narrow(errorFile), std::ios::binary);
      std::ostringstream text;
      text << file.rdbuf();
      *errors = text.str();
    }
    WavData result;
    std::string error;
    EXPECT_TRUE(ReadWav(Narrow(out), result, error)) << error;
    return result;
  }

  static std::wstring dir_;
  static WavData input_;
  static WavData stereo_;
};

std::wstring QuillhostOnDemo::dir_;
WavData QuillhostOnDemo::input_;
WavData QuillhostOnDemo::stereo_;

TEST_F(QuillhostOnDemo, DefaultPresetMatchesTheEngineWithItsTail) {
  const WavData got = RunHost(L"--effect delay", L"default.wav");
  SimpleDelayEngine engine;
  WavData expected;
  RunStats stats;
  ASSERT_EQ(RunInPlace(engine, input_, expected, 4096, stats), S_OK);
  // One delay period of 100 ms at 44100 Hz follows the 4 s of material.
  EXPECT_EQ(got.Frames(), 176400u + 4410u);
  ExpectSame(got, expected);
}

TEST_F(QuillhostOnDemo, PresetByNameWithFieldsMatchesTheEngine) {
  const WavData got = RunHost(L"--effect twechos --preset \"Echo chamber\" delayMs=250 dryOut=-30", L"chamber.wav");
  SimpleDelayEngine engine;
  ASSERT_EQ(engine.ApplyPreset(1), S_OK);
  ASSERT_EQ(engine.SetDelay(250), S_OK);
  ASSERT_EQ(engine.SetDryOut(-30), S_OK);
  WavData expected;
  RunStats stats;
  ASSERT_EQ(RunInPlace(engine, input_, expected, 4096, stats), S_OK);
  // Feedback on, 2.0 s decay: one 250 ms period plus the decay length.
  EXPECT_EQ(got.Frames(), 176400u + 11025u + 88200u);
  ExpectSame(got, expected);
}

// Large hall 1 at 44100 Hz: the longest tap, 500 ms, lies 44 x 500 + 7
// (its 0.179 ms offset) = 22007 samples back; with 10 % depth (13.23
// samples) the ring is trunc(1.05 x 22007 + 4 x 13.23) = 23160 long, and
// that is the tail. The tap gain asked for is beyond 100 % and is clamped.
TEST_F(QuillhostOnDemo, MultiTapPresetByNameWithFieldsMatchesTheEngine) {
  std::string errors;
  const WavData got =
      RunHost(L"--effect twechomt --preset \"Large hall 1\" tapGain[0]=140 wetOut=-30", L"multitap.wav", &errors);
  EXPECT_NE(errors.find("tapGain[0]=140 is outside -100..100 %; clamped to 100"), std::string::npos) << errors;
  MultiTapEngine engine;
  ASSERT_EQ(engine.ApplyPreset(13), S_OK);
  ASSERT_EQ(engine.SetTapGain0(140), S_OK);
  ASSERT_EQ(engine.SetWetOut(-30), S_OK);
  WavData expected;
  RunStats stats;
  ASSERT_EQ(RunInPlace(engine, input_, expected, 4096, stats), S_OK);
  EXPECT_EQ(got.Frames(), 176400u + 23160u);
  ExpectSame(got, expected);
}

// The chorus adds no tail: as many frames come out as went in.
TEST_F(QuillhostOnDemo, ChorusPresetByIndexMatchesTheEngineWithoutATail) {
  std::string errors;
  const WavData got = RunHost(L"--effect chorus --preset 17 modDepth=0 invertChorus=1", L"chorus.wav", &errors);
  EXPECT_NE(errors.find("modDepth=0 is outside 1..100"), std::string::npos) << errors;
  ChorusEngine engine;
  ASSERT_EQ(engine.ApplyPreset(17), S_OK);
  ASSERT_EQ(engine.SetModDepth(0), S_OK);
  ASSERT_EQ(engine.SetInvertChorus(1), S_OK);
  WavData expected;
  RunStats stats;
  ASSERT_EQ(RunInPlace(engine, input_, expected, 4096, stats), S_OK);
  EXPECT_EQ(got.Frames(), 176400u);
  ExpectSame(got, expected);
}

// Cathedral decays over 3.0 s: three whole seconds of tail.
TEST_F(QuillhostOnDemo, ReverbPresetWithFieldsMatchesTheEngineWithItsTail) {
  std::string errors;
  const WavData got =
      RunHost(L"--effect reverb --preset Cathedral preDelayMs=250 earlyStyle=7", L"reverb.wav", &errors);
  EXPECT_NE(errors.find("preDelayMs=250 is outside 0..200"), std::string::npos) << errors;
  ReverbEngine engine;
  ASSERT_EQ(engine.ApplyPreset(2), S_OK);
  ASSERT_EQ(engine.SetPreDelay(250), S_OK);
  ASSERT_EQ(engine.SetEarlyStyle(7), S_OK);
  WavData expected;
  RunStats stats;
  ASSERT_EQ(RunInPlace(engine, input_, expected, 4096, stats), S_OK);
  EXPECT_EQ(got.Frames(), 176400u + 3u * 44100u);
  ExpectSame(got, expected);
}

// Stereo through the three effects. "Tapped delay, stereo pan" has its
// longest tap at 500 ms and no modulation: a ring, and a tail, of
// trunc(1.05 x 22007) = 23107 frames. Plate decays over 2.0 s.
TEST_F(QuillhostOnDemo, StereoOutputMatchesTheEngines) {
  {
    SCOPED_TRACE("multi-tap");
    const WavData got = RunHost(L"--effect multitap --preset 24", L"multitap2.wav", nullptr, L"stereo.wav");
    MultiTapEngine engine;
    ASSERT_EQ(engine.ApplyPreset(24), S_OK);
    WavData expected;
    RunStats stats;
    ASSERT_EQ(RunInPlace(engine, stereo_, expected, 4096, stats), S_OK);
    EXPECT_EQ(got.Frames(), 176400u + 23107u);
    ExpectSame(got, expected);
  }
  {
    SCOPED_TRACE("chorus");
    const WavData got = RunHost(L"--effect twchorus --preset \"Chorus 3\"", L"chorus2.wav", nullptr, L"stereo.wav");
    ChorusEngine engine;
    ASSERT_EQ(engine.ApplyPreset(8), S_OK);
    WavData expected;
    RunStats stats;
    ASSERT_EQ(RunInPlace(engine, stereo_, expected, 4096, stats), S_OK);
    EXPECT_EQ(got.Frames(), 176400u);
    ExpectSame(got, expected);
  }
  {
    SCOPED_TRACE("reverb");
    const WavData got = RunHost(L"--effect reverb --preset Plate", L"reverb2.wav", nullptr, L"stereo.wav");
    ReverbEngine engine;
    ASSERT_EQ(engine.ApplyPreset(8), S_OK);
    WavData expected;
    RunStats stats;
    ASSERT_EQ(RunInPlace(engine, stereo_, expected, 4096, stats), S_OK);
    EXPECT_EQ(got.Frames(), 176400u + 88200u);
    ExpectSame(got, expected);
  }
}

// Presets are listed from the effect itself; one that is neither an index
// nor an exact name is a usage error and nothing is written.
TEST_F(QuillhostOnDemo, PresetsAreListedAndUnknownOnesRefused) {
  const std::wstring host = L"\"" + BinDir() + L"quillhost.exe\" ";
  const std::wstring listing = dir_ + L"presets.txt";
  ASSERT_EQ(RunProcess(host + L"--effect chorus --presets", listing), 0);
  std::ifstream file(Narrow(listing), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  EXPECT_NE(text.str().find(" 0 (Default)"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(" 8 Chorus 3"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("22 Slow flange 3"), std::string::npos) << text.str();
  EXPECT_EQ(text.str().find("23 "), std::string::npos) << text.str();

  const std::wstring files = L" \"" + dir_ + L"demo.wav\" \"" + dir_ + L"refused.wav\"";
  DeleteFileW((dir_ + L"refused.wav").c_str());
  EXPECT_EQ(RunProcess(host + L"--effect chorus --preset 23" + files), 2);
  EXPECT_EQ(RunProcess(host + L"--effect reverb --preset plate" + files), 2);  // names are exact
  EXPECT_EQ(RunProcess(host + L"--effect reverb --preset -1" + files), 2);
  EXPECT_EQ(GetFileAttributesW((dir_ + L"refused.wav").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(QuillhostOnDemo, PresetByIndexMatchesTheEngine) {
  const WavData got = RunHost(L"--preset 4", L"shift.wav");
  SimpleDelayEngine engine;
  ASSERT_EQ(engine.ApplyPreset(4), S_OK);
  WavData expected;
  RunStats stats;
  ASSERT_EQ(RunInPlace(engine, input_, expected, 4096, stats), S_OK);
  ExpectSame(got, expected);
}

}  // namespace
}  // namespace quill::test

namespace quill::test {
namespace {

TEST(QuillhostArguments, BadRequestsFailWithoutWritingOutput) {
  const std::wstring dir = ScratchDir(L"host_arguments");
  WavData clip;
  clip.format = MakeFormat(1, 1, 8000, 16);
  clip.bytes.assign(200, 0);
  std::string error;
  ASSERT_TRUE(WriteWav(Narrow(dir + L"in.wav"), clip, error)) << error;
  const std::wstring host = L"\"" + BinDir() + L"quillhost.exe\" ";
  const std::wstring files = L" \"" + dir + L"in.wav\" \"" + dir + L"out.wav\"";
  DeleteFileW((dir + L"out.wav").c_str());

  EXPECT_EQ(RunProcess(host + L"--effect flanger" + files), 2);
  EXPECT_EQ(RunProcess(host + L"delayMicros=5" + files), 2);
  EXPECT_EQ(RunProcess(host + L"delayMs=fast" + files), 2);
  EXPECT_EQ(RunProcess(host + L"delayMs=2.5" + files), 2);
  EXPECT_EQ(RunProcess(host + L"--effect reverb tapCount=3" + files), 2);  // another effect's field
  EXPECT_EQ(RunProcess(host + L"--effect multitap tapGain[8]=5" + files), 2);
  EXPECT_EQ(RunProcess(host + L"--effect multitap tapGain=5" + files), 2);
  EXPECT_EQ(RunProcess(host + L"--effect chorus dryOut=99999999999" + files), 2);
  EXPECT_EQ(RunProcess(host + L"\"" + dir + L"in.wav\""), 2);  // no output file
  EXPECT_EQ(RunProcess(host + L"\"" + dir + L"missing.wav\" \"" + dir + L"out.wav\""), 1);
  EXPECT_EQ(GetFileAttributesW((dir + L"out.wav").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace quill::test
