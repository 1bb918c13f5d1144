// The reference host with the time effect from QUILLFX1.DLL against the
// time engine run in this process on the same demo material: the 16-bit
// output must be identical, flush included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "demo_material.h"
#include "twtime/time_engine.h"
#include "wav_file.h"
#include "host_compare.h"
#include "win_support.h"

namespace quill::test {
namespace {

// The whole input through the engine, in buffers of 4410 frames, then the
// flush until the engine reports it complete.
WavData Stretch(TimeEngine& engine, const WavData& in) {
  WavData out;
  out.format = in.format;
  AudioFormat format = in.format;
  EXPECT_EQ(engine.SelectFormat(&format), S_OK);
  const std::uint32_t align = format.blockAlign;
  constexpr std::uint32_t kRoom = 65536;
  std::vector<std::uint8_t> room(static_cast<size_t>(kRoom) * align);
  const auto keep = [&](std::uint32_t frames) {
    out.bytes.insert(out.bytes.end(), room.begin(), room.begin() + static_cast<std::ptrdiff_t>(frames) * align);
  };
  ProcessMode mode = ProcessMode::Discontinuity;
  for (std::uint32_t pos = 0; pos < in.Frames();) {
    std::uint32_t inFrames = std::min<std::uint32_t>(4410, in.Frames() - pos);
    std::uint32_t outFrames = kRoom;
    const HRESULT hr =
        engine.Process(mode, in.bytes.data() + static_cast<size_t>(pos) * align, &inFrames, room.data(), &outFrames);
    EXPECT_TRUE(SUCCEEDED(hr));
    if (FAILED(hr) || (inFrames == 0 && outFrames == 0)) break;
    keep(outFrames);
    pos += inFrames;
    mode = ProcessMode::Continue;
  }
  for (int calls = 0; calls < 1000; ++calls) {
    std::uint32_t outFrames = kRoom;
    const HRESULT hr = engine.Process(ProcessMode::Tail, nullptr, nullptr, room.data(), &outFrames);
    EXPECT_TRUE(SUCCEEDED(hr));
    keep(outFrames);
    if (hr != S_OK) break;
  }
  return out;
}

class QuillhostTime : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + BinDir() + L"QUILLFX1.DLL\""), 0);
    dir_ = ScratchDir(L"time_host");
    input_ = MakeDemoMaterial();
    std::string error;
    ASSERT_TRUE(WriteWav(Narrow(dir_ + L"demo.wav"), input_, error)) << error;
  }

  WavData RunHost(const std::wstring& arguments, const wchar_t* outName) {
    const std::wstring out = dir_ + outName;
    const std::wstring line =
        L"\"" + BinDir() + L"quillhost.exe\" " + arguments + L" \"" + dir_ + L"demo.wav\" \"" + out + L"\"";
    EXPECT_EQ(RunProcess(line, out + L".txt"), 0) << Narrow(line);
    WavData result;
    std::string error;
    EXPECT_TRUE(ReadWav(Narrow(out), result, error)) << error;
    return result;
  }

  static std::wstring dir_;
  static WavData input_;
};

std::wstring QuillhostTime::dir_;
WavData QuillhostTime::input_;

TEST_F(QuillhostTime, FieldsByNameMatchTheEngineAndTheLengthFollowsTheRatio) {
  const WavData got = RunHost(L"--effect time finalTenths=2500 mode=8", L"expand.wav");
  TimeEngine engine;
  ASSERT_EQ(engine.ApplyPreset(0), S_OK);
  ASSERT_EQ(engine.SetFinal(2500.0), S_OK);
  ASSERT_EQ(engine.SetMode(8), S_OK);
  const WavData expected = Stretch(engine, input_);
  ExpectSame(got, expected);

  // Mode 8 at 44.1 kHz: N = 3528, H = 1764, S = 1764 / 2.5 + 0.5 -> 706.
  // Over the stream, H frames out per S frames in, give or take the
  // windows at both ends.
  const double ideal = input_.Frames() * 1764.0 / 706.0;
  EXPECT_LT(std::abs(got.Frames() - ideal), 4 * 1764.0) << got.Frames() << " frames from " << input_.Frames();
}

TEST_F(QuillhostTime, CompressPresetByIndexMatchesTheEngine) {
  const WavData got = RunHost(L"--effect twtime --preset 1", L"compress.wav");
  TimeEngine engine;
  ASSERT_EQ(engine.ApplyPreset(1), S_OK);
  const WavData expected = Stretch(engine, input_);
  ExpectSame(got, expected);
  EXPECT_LT(got.Frames(), input_.Frames());  // 85 %
}

}  // namespace
}  // namespace quill::test
