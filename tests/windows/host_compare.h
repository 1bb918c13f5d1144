// Comparing a host's output file with the engine's own output.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "wav_file.h"

namespace quill::test {

// A host's 16-bit output against the engine's: same rate, channels and
// length, and not one byte different.
inline void ExpectSame(const WavData& got, const WavData& expected) {
  EXPECT_EQ(got.format.sampleRate, expected.format.sampleRate);
  EXPECT_EQ(got.format.channels, expected.format.channels);
  EXPECT_EQ(got.format.bitsPerSample, 16);
  ASSERT_EQ(got.Frames(), expected.Frames());
  size_t differing = 0;
  for (size_t i = 0; i < got.bytes.size(); ++i) differing += got.bytes[i] != expected.bytes[i];
  EXPECT_EQ(differing, 0u);
}

}  // namespace quill::test
