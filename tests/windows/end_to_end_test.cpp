// The reference host on the demo material against the native engine run
// in this process on the same input: 16-bit output must be identical,
// tail included.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "tests/windows/host_compare.h"
#include "tools/common/run_engine.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"
#include "tools/common/wav_file.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

class QuillhostOnDemo : public HostOnDemo {
 protected:
  static void SetUpTestSuite() {
    SetUpHost(L"end_to_end");
    stereo_ = Stereo(input_);
    std::string error;
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
  static inline WavData stereo_;
};

// The engine run in this process as the filter runs it, after `edit`.
template <class Engine>
std::function<WavData(const WavData&)> OnEngine(void (*edit)(Engine&)) {
  return [edit](const WavData& in) {
    Engine engine;
    edit(engine);
    WavData out;
    RunStats stats;
    EXPECT_EQ(RunInPlace(engine, in, out, 4096, stats), S_OK);
    return out;
  };
}

// One request to the host and the same settings made on the engine. Tails
// at 44100 Hz after the 176400 frames of material: the simple delay adds
// one period (plus the decay length with feedback); the multi-tap delay one
// ring length; the reverb its whole seconds of decay; the chorus nothing.
struct HostCase {
  const char* what;
  const wchar_t* arguments;
  bool stereo;
  std::uint32_t tailFrames;
  const char* clampNote;  // expected on standard error, or nullptr
  std::function<WavData(const WavData&)> expected;
};

TEST_F(QuillhostOnDemo, EachRequestMatchesTheEngineWithItsTail) {
  const HostCase cases[] = {
      {"default preset", L"--effect delay", false, 4410, nullptr, OnEngine<SimpleDelayEngine>([](auto&) {})},
      // Echo chamber: feedback on, 2.0 s decay, one 250 ms period plus the decay.
      {"preset by name", L"--effect twechos --preset \"Echo chamber\" delayMs=250 dryOut=-30", false, 11025 + 88200,
       nullptr, OnEngine<SimpleDelayEngine>([](auto& e) {
         e.ApplyPreset(1);
         e.SetDelay(250);
         e.SetDryOut(-30);
       })},
      // Preset 4: one second of delay, no feedback.
      {"preset by index", L"--preset 4", false, 44100, nullptr,
       OnEngine<SimpleDelayEngine>([](auto& e) { e.ApplyPreset(4); })},
      // Large hall 1: the longest tap, 500 ms, lies 44 x 500 + 7 (its 0.179 ms
      // offset) = 22007 samples back; with 10 % depth (13.23 samples) the ring
      // is trunc(1.05 x 22007 + 4 x 13.23) = 23160 long.
      {"multi-tap by name", L"--effect twechomt --preset \"Large hall 1\" tapGain[0]=140 wetOut=-30", false, 23160,
       "tapGain[0]=140 is outside -100..100 %; clamped to 100", OnEngine<MultiTapEngine>([](auto& e) {
         e.ApplyPreset(13);
         e.SetTapGain0(140);
         e.SetWetOut(-30);
       })},
      {"chorus by index", L"--effect chorus --preset 17 modDepth=0 invertChorus=1", false, 0,
       "modDepth=0 is outside 1..100", OnEngine<ChorusEngine>([](auto& e) {
         e.ApplyPreset(17);
         e.SetModDepth(0);
         e.SetInvertChorus(1);
       })},
      // Cathedral decays over 3.0 s.
      {"reverb by name", L"--effect reverb --preset Cathedral preDelayMs=250 earlyStyle=7", false, 3 * 44100,
       "preDelayMs=250 is outside 0..200", OnEngine<ReverbEngine>([](auto& e) {
         e.ApplyPreset(2);
         e.SetPreDelay(250);
         e.SetEarlyStyle(7);
       })},
      // "Tapped delay, stereo pan": longest tap 500 ms, no modulation, a ring
      // of trunc(1.05 x 22007) = 23107 frames.
      {"stereo multi-tap", L"--effect multitap --preset 24", true, 23107, nullptr,
       OnEngine<MultiTapEngine>([](auto& e) { e.ApplyPreset(24); })},
      {"stereo chorus", L"--effect twchorus --preset \"Chorus 3\"", true, 0, nullptr,
       OnEngine<ChorusEngine>([](auto& e) { e.ApplyPreset(8); })},
      // Plate decays over 2.0 s.
      {"stereo reverb", L"--effect reverb --preset Plate", true, 2 * 44100, nullptr,
       OnEngine<ReverbEngine>([](auto& e) { e.ApplyPreset(8); })},
  };
  int n = 0;
  for (const HostCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string errors;
    const std::wstring outName = L"case" + std::to_wstring(n++) + L".wav";
    const WavData got = RunHost(c.arguments, outName.c_str(), &errors, c.stereo ? L"stereo.wav" : L"demo.wav");
    if (c.clampNote != nullptr) {
      EXPECT_NE(errors.find(c.clampNote), std::string::npos) << errors;
    }
    EXPECT_EQ(got.Frames(), 176400u + c.tailFrames);
    ExpectSame(got, c.expected(c.stereo ? stereo_ : input_));
  }
}

// Runs quillhost with `arguments` on `in` and `out` in `dir` (none when
// empty) and expects the exit code, with `out` left unwritten.
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
// nor an exact name is a usage error and nothing is written.
TEST_F(QuillhostOnDemo, PresetsAreListedAndUnknownOnesRefused) {
  const std::wstring listing = dir_ + L"presets.txt";
  ASSERT_EQ(RunProcess(L"\"" + BinDir() + L"quillhost.exe\" --effect chorus --presets", listing), 0);
  std::ifstream file(Narrow(listing), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  for (const char* line : {" 0 (Default)", " 8 Chorus 3", "22 Slow flange 3"})
    EXPECT_NE(text.str().find(line), std::string::npos) << line << "\n" << text.str();
  EXPECT_EQ(text.str().find("23 "), std::string::npos) << text.str();
  ExpectRefused(dir_, L"demo.wav", L"out.wav",
                {{L"--effect chorus --preset 23", 2},
                 {L"--effect reverb --preset plate", 2},  // names are exact
                 {L"--effect reverb --preset -1", 2}});
}

TEST(QuillhostArguments, BadRequestsFailWithoutWritingOutput) {
  const std::wstring dir = ScratchDir(L"host_arguments");
  WavData clip;
  clip.format = MakeFormat(1, 1, 8000, 16);
  clip.bytes.assign(200, 0);
  std::string error;
  ASSERT_TRUE(WriteWav(Narrow(dir + L"in.wav"), clip, error)) << error;
  ExpectRefused(dir, L"in.wav", L"out.wav",
                {{L"--effect flanger", 2},
                 {L"delayMicros=5", 2},
                 {L"delayMs=fast", 2},
                 {L"delayMs=2.5", 2},
                 {L"--effect reverb tapCount=3", 2},  // another effect's field
                 {L"--effect multitap tapGain[8]=5", 2},
                 {L"--effect multitap tapGain=5", 2},
                 {L"--effect chorus dryOut=99999999999", 2}});
  ExpectRefused(dir, L"in.wav", L"", {{L"", 2}});  // no output file
  ExpectRefused(dir, L"missing.wav", L"out.wav", {{L"", 1}});
}

}  // namespace
}  // namespace quill::test
