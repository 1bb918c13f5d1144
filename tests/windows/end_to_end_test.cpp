// The reference host on the demo material against the native engine run
// in this process on the same input: 16-bit output must be identical,
// tail included.
#include <gtest/gtest.h>

#include <string>

#include "demo_material.h"
#include "run_engine.h"
#include "twechos/simple_delay_engine.h"
#include "wav_file.h"
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
  }

  // Runs quillhost with `arguments` before the file names; its output file.
  WavData RunHost(const std::wstring& arguments, const wchar_t* outName) {
    const std::wstring out = dir_ + outName;
    const std::wstring line =
        L"\"" + BinDir() + L"quillhost.exe\" " + arguments + L" \"" + dir_ + L"demo.wav\" \"" + out + L"\"";
    EXPECT_EQ(RunProcess(line), 0) << Narrow(line);
    WavData result;
    std::string error;
    EXPECT_TRUE(ReadWav(Narrow(out), result, error)) << error;
    return result;
  }

  static void ExpectSame(const WavData& got, const WavData& expected) {
    EXPECT_EQ(got.format.sampleRate, expected.format.sampleRate);
    EXPECT_EQ(got.format.channels, expected.format.channels);
    EXPECT_EQ(got.format.bitsPerSample, 16);
    ASSERT_EQ(got.Frames(), expected.Frames());
    size_t differing = 0;
    for (size_t i = 0; i < got.bytes.size(); ++i) differing += got.bytes[i] != expected.bytes[i];
    EXPECT_EQ(differing, 0u);
  }

  static std::wstring dir_;
  static WavData input_;
};

std::wstring QuillhostOnDemo::dir_;
WavData QuillhostOnDemo::input_;

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
  EXPECT_EQ(RunProcess(host + L"\"" + dir + L"in.wav\""), 2);  // no output file
  EXPECT_EQ(RunProcess(host + L"\"" + dir + L"missing.wav\" \"" + dir + L"out.wav\""), 1);
  EXPECT_EQ(GetFileAttributesW((dir + L"out.wav").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace quill::test
