// quillfx end to end: the program run on small generated files, its output
// compared with the engines driven directly in this process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <source_location>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>
#include <tuple>

#include "tools/common/demo_material.h"
#include "tools/common/run_engine.h"
#include "tools/common/wav_file.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twpitchs/transpose.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"

namespace quill {
namespace {

// Files of one test, apart from those of tests running beside it.
std::string Dir() {
  return ::testing::TempDir() + "quillfx_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
}

// Runs quillfx with `args` (quoted where needed); returns its status and messages.
std::pair<int, std::string> Quillfx(const std::string& args) {
  const std::string errFile = Dir() + "stderr.txt";
  const int raw = std::system((std::string(QUILLFX_PATH) + " " + args + " 2>" + errFile).c_str());
  std::ostringstream text;
  text << std::ifstream(errFile).rdbuf();
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

// Runs quillfx, expecting `status` and `says` among its messages; returns the messages.
std::string Expect(const std::string& args, int status, const std::string& says = "",
                   std::source_location where = std::source_location::current()) {
  const testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "called from here");
  const auto [got, errors] = Quillfx(args);
  EXPECT_EQ(got, status) << args << "\n" << errors;
  EXPECT_NE(errors.find(says), std::string::npos) << args << "\n" << errors;
  return errors;
}

std::string Write(const std::string& name, const WavData& data) {
  const std::string path = Dir() + name;
  std::string error;
  EXPECT_TRUE(WriteWav(path, data, error)) << error;
  return path;
}

WavData Read(const std::string& path) {
  WavData data;
  std::string error;
  EXPECT_TRUE(ReadWav(path, data, error)) << error;
  return data;
}

// The first second and a half of the demo material: plucks and noise.
WavData Mono16() {
  WavData d = MakeDemoMaterial();
  d.bytes.resize(66150 * 2);
  return d;
}

// Stereo, the right channel a quieter copy 331 frames late.
WavData Stereo16(const WavData& mono) {
  WavData out;
  out.format = MakeFormat(1, 2, mono.format.sampleRate, 16);
  const auto* s = reinterpret_cast<const std::int16_t*>(mono.bytes.data());
  for (std::uint32_t i = 0; i < mono.Frames(); ++i) {
    const std::int16_t frame[2] = {s[i], static_cast<std::int16_t>(i >= 331 ? 0.7 * s[i - 331] : 0.0)};
    out.bytes.insert(out.bytes.end(), reinterpret_cast<const std::uint8_t*>(frame),
                     reinterpret_cast<const std::uint8_t*>(frame) + 4);
  }
  return out;
}

// The engine's result for `in`, set up by calls that must all succeed.
using Calls = std::vector<HRESULT>;
template <class Engine, class Set>
std::function<WavData(const WavData&)> Via(Set set) {
  return [set](const WavData& in) {
    Engine e;
    for (HRESULT hr : set(e)) EXPECT_EQ(hr, S_OK);
    WavData out;
    RunStats stats;
    if constexpr (std::is_same_v<Engine, TimeEngine> || std::is_same_v<Engine, PitchEngine>)
      EXPECT_EQ(RunCopying(e, in, out, 3000), S_OK);  // the whole input, then the flush
    else
      EXPECT_EQ(RunInPlace(e, in, out, 4096, stats), S_OK);
    return out;
  };
}

void ExpectSameAudio(const WavData& got, const WavData& expected,
                     std::source_location where = std::source_location::current()) {
  const testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "called from here");
  EXPECT_EQ(std::memcmp(&got.format, &expected.format, sizeof got.format), 0);
  ASSERT_EQ(got.Frames(), expected.Frames());
  EXPECT_TRUE(got.bytes == expected.bytes);
}

TEST(Quillfx, EachEffectWithPresetAndFieldsEqualsItsEngineTailAndFlushIncluded) {
  const WavData mono = Mono16(), stereo = Stereo16(mono);
  const std::string monoPath = Write("mono.wav", mono), stereoPath = Write("stereo.wav", stereo);
  const std::string out = Dir() + "out.wav";
  const double frames = mono.Frames();
  const std::tuple<const char*, bool, std::string, double, double, std::function<WavData(const WavData&)>> cases[] = {
      {"simple delay: one 250 ms period and 2.0 s of decay follow the input", false,
       "delay \"Echo chamber\" delayMs=250 dryOut=-30", frames + 11025 + 88200, 0,
       Via<SimpleDelayEngine>([](auto& e) { return Calls{e.ApplyPreset(1), e.SetDelay(250), e.SetDryOut(-30)}; })},
      {"multi-tap, stereo: the tail is the 23107-frame ring", true, "twechomt 24", frames + 23107, 0,
       Via<MultiTapEngine>([](auto& e) { return Calls{e.ApplyPreset(24)}; })},
      {"chorus: no tail", true, "chorus \"Chorus 3\" feedbackPct=40", frames, 0,
       Via<ChorusEngine>([](auto& e) { return Calls{e.ApplyPreset(8), e.SetFeedback(40)}; })},
      {"reverb: Plate decays over 2.0 s", false, "reverb Plate", frames + 88200, 0,
       Via<ReverbEngine>([](auto& e) { return Calls{e.ApplyPreset(8)}; })},
      {"time at 100 %: the flush gives back exactly the input's length", true, "time finalTenths=1000 mode=3", frames,
       0, Via<TimeEngine>([](auto& e) { return Calls{e.SetFinal(1000.0), e.SetMode(3)}; })},
      {"time, preset by name: 85 %", false, "twtime \"Time compress 85 % of original\"", frames * 0.85,
       0.02 * frames, Via<TimeEngine>([](auto& e) { return Calls{e.ApplyPreset(1)}; })},
      {"pitch by semitones, stereo: the page's ratio, the kernel's last four frames never come out", true,
       "pitch semitones=7 antiAlias=1", (frames - 4) * 29433.0 / 44100.0, 1.0, Via<PitchEngine>([](auto& e) {
         return Calls{e.SetSemitones(7), e.SetRatio(PageRatio(7, 0)), e.SetAntiAlias(1)};
       })},
      {"pitch preset keeping the duration: exactly the input's length", false,
       "twpitchs \"Third down\" preserveDuration=1", frames, 0,
       Via<PitchEngine>([](auto& e) { return Calls{e.ApplyPreset(3), e.SetPreserve(1)}; })}};
  for (const auto& [what, two, args, length, tolerance, expected] : cases) {
    SCOPED_TRACE(what);
    ASSERT_EQ(Quillfx((two ? stereoPath : monoPath) + " " + out + " " + args).first, 0);
    const WavData got = Read(out);
    EXPECT_NEAR(got.Frames(), length, tolerance);
    ExpectSameAudio(got, expected(two ? stereo : mono));
  }
}

// Each stage's tail or flush runs through the stages after it, and the
// block size changes nothing.
TEST(Quillfx, ChainEqualsTheEnginesInSeriesAtAnyBlockSize) {
  const WavData mono = Mono16();
  const std::string in = Write("mono.wav", mono);
  const std::string a = Dir() + "chain-a.wav", b = Dir() + "chain-b.wav";
  ASSERT_EQ(Quillfx(in + " " + a + " reverb 2 decayTenths=25 time 1 delay").first, 0);
  ASSERT_EQ(Quillfx("-B 333 " + in + " " + b + " twreverb Cathedral decayTenths=25 twtime 1 twechos 0").first, 0);
  const WavData r = Via<ReverbEngine>([](auto& e) { return Calls{e.ApplyPreset(2), e.SetDecay(25)}; })(mono);
  EXPECT_EQ(r.Frames(), mono.Frames() + 88200u);  // the tail counts whole seconds of decay
  const WavData t = Via<TimeEngine>([](auto& e) { return Calls{e.ApplyPreset(1)}; })(r);
  const WavData expected = Via<SimpleDelayEngine>([](auto&) { return Calls{}; })(t);
  EXPECT_EQ(expected.Frames(), t.Frames() + 4410u);
  ExpectSameAudio(Read(a), expected);
  ExpectSameAudio(Read(b), expected);
}

TEST(Quillfx, ClampedFieldsAreWarningsAndTheEffectKeepsTheClampedValue) {
  const WavData mono = Mono16();
  const std::string in = Write("mono.wav", mono), out = Dir() + "clamp.wav";
  const std::string errors =
      Expect(in + " " + out + " multitap \"Large hall 1\" tapGain[0]=140 wetOut=-30 reverb preDelayMs=250", 0,
             "warning: twechomt: tapGain[0]=140 is outside -100..100 %; clamped to 100");
  EXPECT_NE(errors.find("warning: twreverb: preDelayMs=250 is outside 0..200"), std::string::npos) << errors;
  const WavData multi = Via<MultiTapEngine>([](auto& e) {
    return Calls{e.ApplyPreset(13), e.SetTapGain0(100), e.SetWetOut(-30)};
  })(mono);
  ExpectSameAudio(Read(out), Via<ReverbEngine>([](auto& e) { return Calls{e.SetPreDelay(200)}; })(multi));
}

TEST(Quillfx, EveryErrorHasItsMessageAndStatus) {
  const std::string in = Write("mono.wav", Mono16()), out = Dir() + "err.wav";
  WavData three;
  three.format = MakeFormat(1, 3, 44100, 16);
  three.bytes.assign(600, 0);
  const std::string threePath = Write("three.wav", three);
  WavData deep;  // 24-bit samples
  deep.format = MakeFormat(1, 1, 44100, 24);
  deep.bytes.assign(900, 0);
  const std::string deepPath = Write("deep.wav", deep);
  const std::tuple<std::string, int, const char*> cases[] =
      {{Dir() + "missing.wav " + out + " delay", 3, "cannot read"},
               {threePath + " " + out + " delay", 3, "3 channels"},
               {deepPath + " " + out + " delay", 3, "24 bit"},
               {in + " " + out + " flanger", 2, "unknown effect flanger"},
               {in + " " + out + " delay 99", 2, "twechos has no preset \"99\""},
               {in + " " + out + " reverb \"cathedral\"", 2, "twreverb has no preset \"cathedral\""},
               {in + " " + out + " delay 1 2", 2, "one preset per effect"},
               {in + " " + out + " delay delay=5", 2, "twechos has no field delay"},
               {in + " " + out + " delay delayMs=fast", 2, "delayMs needs a whole number"},
               {in + " " + out + " time finalTenths=", 2, "finalTenths needs a number"},
               {in + " " + out, 2, "usage"},
               {"--block 0 " + in + " " + out + " delay", 2, "frame count"},
               {"--kind int24 " + in + " " + out + " delay", 2, "--kind takes"},
               {"--frobnicate " + in + " " + out + " delay", 2, "unknown option --frobnicate"},
               {in + " " + in + " delay", 2, "both input and output"},
               {in + " " + Dir() + "no/such/dir/out.wav delay", 4, "cannot write"},
               {in + " " + Dir() + "out.xyz delay", 4, "unknown file type \"xyz\""},
               {"--presets flanger", 2, "unknown effect flanger"}};
  for (const auto& [args, status, says] : cases) Expect(args, status, says);
  EXPECT_EQ(Read(in).Frames(), 66150u);  // the input survives the refusal to overwrite it
}

}  // namespace
}  // namespace quill
