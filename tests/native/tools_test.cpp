// WAV files of every sample kind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/common/wav_file.h"

namespace quill {
namespace {

TEST(WavFile, WritesAndReadsBackEveryKind) {
  const std::string path = ::testing::TempDir() + "quill_wav_test.wav";
  const std::uint16_t tags[] = {1, 1, 1, 3, 3}, bits[] = {8, 16, 32, 32, 64};
  std::string error;
  for (int k = 0; k < 5; ++k) {
    WavData in, back;
    in.format = MakeFormat(tags[k], k == 0 ? 1 : 2, 22050, bits[k]);  // 8-bit mono: 3 bytes need a pad byte
    for (int i = 0; i < 3 * in.format.blockAlign; ++i) in.bytes.push_back(static_cast<std::uint8_t>(i * 37 + k));
    ASSERT_TRUE(WriteWav(path, in, error)) << error;
    ASSERT_TRUE(ReadWav(path, back, error)) << error;
    EXPECT_EQ(std::memcmp(&back.format, &in.format, sizeof in.format), 0);
    EXPECT_EQ(back.bytes, in.bytes);
  }
  std::remove(path.c_str());
  WavData none;
  EXPECT_FALSE(ReadWav(path, none, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace quill
