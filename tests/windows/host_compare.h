// Comparing a host's output file with the engine's own output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/audio_format.h"
#include "tests/windows/win_support.h"
#include "tools/common/demo_material.h"
#include "tools/common/run_engine.h"
#include "tools/common/wav_file.h"

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

// A copying engine (time or pitch) run in this process as the filter runs
// it, in buffers of `block` frames, flush included.
template <class Engine>
WavData RunCopyingEngine(Engine& engine, const WavData& in, std::uint32_t block = 4410) {
  WavData out;
  EXPECT_EQ(RunCopying(engine, in, out, block), S_OK);
  return out;
}

// The reference host on files in one scratch directory: the DLL registered
// (the host creates effects by class identifier) and the demo material
// written there once for the suite.
class HostOnDemo : public ::testing::Test {
 protected:
  static void SetUpHost(const wchar_t* scratch) {
    ASSERT_EQ(RunProcess(L"regsvr32 /s \"" + BinDir() + L"QUILLFX1.DLL\""), 0);
    dir_ = ScratchDir(scratch);
    input_ = MakeDemoMaterial();
    std::string error;
    ASSERT_TRUE(WriteWav(Narrow(dir_ + L"demo.wav"), input_, error)) << error;
  }

  // Runs quillhost with `arguments` before the file names; its output file.
  // What it printed goes to `errors`.
  static WavData RunHost(const std::wstring& arguments, const std::wstring& outName, std::string* errors = nullptr,
                         const wchar_t* inName = L"demo.wav") {
    const std::wstring out = dir_ + outName;
    const std::wstring line =
        L"\"" + BinDir() + L"quillhost.exe\" " + arguments + L" \"" + dir_ + inName + L"\" \"" + out + L"\"";
    const std::wstring errorFile = out + L".txt";
    EXPECT_EQ(RunProcess(line, errorFile), 0) << Narrow(line);
    if (errors != nullptr) *errors = ReadText(errorFile);
    WavData result;
    std::string error;
    EXPECT_TRUE(ReadWav(Narrow(out), result, error)) << error;
    return result;
  }

  static inline std::wstring dir_;
  static inline WavData input_;
};

}  // namespace quill::test
