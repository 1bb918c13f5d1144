// The tools' own pieces: WAV files and the clip driver.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/common/demo_material.h"
#include "tools/common/run_engine.h"
#include "twechos/simple_delay_engine.h"
#include "tools/common/wav_file.h"

namespace quill {
namespace {

TEST(WavFile, WritesAndReadsBackEveryKind) {
  const std::string path = ::testing::TempDir() + "quill_wav_test.wav";
  const std::uint16_t tags[] = {1, 1, 1, 3, 3}, bits[] = {8, 16, 32, 32, 64};
  for (int k = 0; k < 5; ++k) {
    WavData in;
    in.format = MakeFormat(tags[k], 2, 22050, bits[k]);
    for (int i = 0; i < 3 * in.format.blockAlign + 0; ++i) in.bytes.push_back(static_cast<std::uint8_t>(i * 37 + k));
    if (k == 0) in.bytes.push_back(9), in.bytes.push_back(9);  // 8-bit stereo: odd data size needs a pad byte
    std::string error;
    ASSERT_TRUE(WriteWav(path, in, error)) << error;
    WavData back;
    ASSERT_TRUE(ReadWav(path, back, error)) << error;
    EXPECT_EQ(std::memcmp(&back.format, &in.format, sizeof in.format), 0);
    EXPECT_EQ(back.bytes, in.bytes);
  }
  std::remove(path.c_str());
  WavData none;
  std::string error;
  EXPECT_FALSE(ReadWav(path, none, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(RunInPlace, DemoMaterialThroughDefaultDelayGrowsByOneDelayPeriod) {
  const WavData material = MakeDemoMaterial();
  EXPECT_EQ(material.Frames(), 176400u);
  EXPECT_GT(PeakOf(material), 0.3);
  SimpleDelayEngine engine;
  WavData out;
  RunStats stats;
  ASSERT_EQ(RunInPlace(engine, material, out, 1024, stats), S_OK);
  EXPECT_EQ(stats.framesIn, 176400u);
  EXPECT_EQ(stats.tailFrames, 4410u);
  EXPECT_EQ(stats.framesOut, 180810u);
  // Block size makes no difference to the result.
  WavData other;
  RunStats again;
  SimpleDelayEngine second;
  ASSERT_EQ(RunInPlace(second, material, other, 4410, again), S_OK);
  EXPECT_EQ(other.bytes, out.bytes);
}

}  // namespace
}  // namespace quill
