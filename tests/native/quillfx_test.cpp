// quillfx end to end: the program run on small generated files, its output
// compared with the engines driven directly in this process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <source_location>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

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

std::string Text(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// Runs quillfx with `args` (quoted where needed); returns its status and messages.
std::pair<int, std::string> Quillfx(const std::string& args) {
  const std::string errFile = Dir() + "stderr.txt";
  const int raw = std::system((std::string(QUILLFX_PATH) + " " + args + " 2>" + errFile).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Text(errFile)};
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
       "delay \"Echo chamber\" delayMs=250 dryOut=-30", frames + 11025 + 88200, 0, Via<SimpleDelayEngine>([](auto& e) {
         return Calls{e.ApplyPreset(1), e.SetDelay(250), e.SetDryOut(-30)};
       })},
      {"multi-tap, stereo: the tail is the 23107-frame ring", true, "twechomt 24", frames + 23107, 0,
       Via<MultiTapEngine>([](auto& e) { return Calls{e.ApplyPreset(24)}; })},
      {"chorus: no tail", true, "chorus \"Chorus 3\" feedbackPct=40", frames, 0, Via<ChorusEngine>([](auto& e) {
         return Calls{e.ApplyPreset(8), e.SetFeedback(40)};
       })},
      {"reverb: Plate decays over 2.0 s", false, "reverb Plate", frames + 88200, 0,
       Via<ReverbEngine>([](auto& e) { return Calls{e.ApplyPreset(8)}; })},
      {"time, preset by name: 85 %", false, "twtime \"Time compress 85 % of original\"", frames * 0.85, 0.02 * frames,
       Via<TimeEngine>([](auto& e) { return Calls{e.ApplyPreset(1)}; })},
      {"pitch by semitones, stereo: the page's ratio, the kernel's last four frames never come out", true,
       "pitch semitones=7 antiAlias=1", (frames - 4) * 29433.0 / 44100.0, 1.0, Via<PitchEngine>([](auto& e) {
         return Calls{e.SetSemitones(7), e.SetRatio(PageRatio(7, 0)), e.SetAntiAlias(1)};
       })},
      {"pitch preset keeping the duration: exactly the input's length", false,
       "twpitchs \"Third down\" preserveDuration=1", frames, 0, Via<PitchEngine>([](auto& e) {
         return Calls{e.ApplyPreset(3), e.SetPreserve(1)};
       })}};
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
  const WavData t = Via<TimeEngine>([](auto& e) { return Calls{e.ApplyPreset(1)}; })(r);
  const WavData expected = Via<SimpleDelayEngine>([](auto&) { return Calls{}; })(t);
  ExpectSameAudio(Read(a), expected);
  ExpectSameAudio(Read(b), expected);
}

TEST(Quillfx, EveryErrorHasItsMessageAndStatus) {
  const std::string in = Write("mono.wav", Mono16()), out = Dir() + "err.wav";
  WavData three;
  three.format = MakeFormat(1, 3, 44100, 16);
  three.bytes.assign(600, 0);
  const std::string threePath = Write("three.wav", three);
  // Rates the file library will not open; a rate of 2 Hz, at which every
  // effect plays; a header whose data chunk claims 10,000,000 bytes of
  // which 600 are there: played, with a warning.
  WavData still = three;
  still.format = MakeFormat(1, 1, 0, 16);
  const std::string noRate = Write("0hz.wav", still);
  still.format = MakeFormat(1, 1, 4294967295u, 16);
  const std::string hugeRate = Write("4ghz.wav", still);
  still.format = MakeFormat(1, 1, 2, 16);
  const std::string slow = Write("2hz.wav", still);
  still.format = MakeFormat(1, 1, 44100, 16);
  const std::string cut = Write("cut.wav", still);
  std::fstream(cut, std::ios::in | std::ios::out | std::ios::binary).seekp(40).write("\x80\x96\x98\x00", 4);
  const std::tuple<std::string, int, std::string> cases[] = {
      {Dir() + "missing.wav " + out + " delay", 3, "cannot read"},
      {threePath + " " + out + " delay", 3, "3 channels"},
      {noRate + " " + out + " delay", 3, "0hz.wav gives a sample rate of 0 Hz; a file is read at 1 to 2147483647 Hz"},
      {hugeRate + " " + out + " delay", 3, "gives a sample rate of 4294967295 Hz"},
      {slow + " " + out + " time 0 pitch semitones=7", 0, ""},
      {cut + " " + out + " delay", 0,
       "warning: " + cut + " is cut short: its header claims 5000000 frames, the file holds 300; processing those"},
      {in + " " + out + " flanger", 2, "unknown effect flanger"},
      {in + " " + out + " delay 99", 2, "twechos has no preset \"99\""},
      {in + " " + out + " delay 1 2", 2, "one preset per effect"},
      {in + " " + out + " delay delai=5", 2, "twechos has no field delai"},
      {in + " " + out, 2, "usage"},
      {"--block 0 " + in + " " + out + " delay", 2, "--block needs a whole number from 1"},
      {"--list flanger", 2, "unknown effect flanger"},
      {"--tail forever " + in + " " + out + " delay", 2, "--tail takes auto"},
      {"-o " + Dir() + " " + in + " delay", 2, "end the inputs with --"},
      {"--kind int24 " + in + " " + out + " delay", 2, "--kind takes"},
      {"--frobnicate " + in + " " + out + " delay", 2, "unknown option --frobnicate"},
      {in + " " + in + " delay", 2, "both input and output"},
      {in + " " + Dir() + "no/such/dir/out.wav delay", 4, "cannot write"},
      {in + " " + Dir() + "out.xyz delay", 4, "unknown file type \"xyz\""}};
  for (const auto& [args, status, says] : cases) Expect(args, status, says);
  EXPECT_EQ(Read(in).Frames(), 66150u);  // the input survives the refusal to overwrite it
}

// Every spelling of the options a user of audio tools expects gives the
// same result as the plain one.
TEST(Quillfx, OptionsTakeTheUsualSpellings) {
  const std::string in = Write("mono.wav", Mono16());
  ASSERT_EQ(Quillfx("-B 512 " + in + " " + Dir() + "plain.wav delay 2").first, 0);
  const WavData plain = Read(Dir() + "plain.wav");
  for (const std::string options : {"--block=512", "-B512", "-qSB 512"}) {
    SCOPED_TRACE(options);
    ASSERT_EQ(Quillfx(options + " " + in + " " + Dir() + "spelt.wav delay 2").first, 0);
    ExpectSameAudio(Read(Dir() + "spelt.wav"), plain);
  }
  const std::string listing = Dir() + "list.txt";
  ASSERT_EQ(Quillfx("--list reverb >" + listing).first, 0);
  const std::string listed = Text(listing);
  EXPECT_NE(listed.find("twreverb"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("twechos"), std::string::npos) << "--list EFFECT lists that effect alone";
  ASSERT_EQ(Quillfx("--version >" + listing).first, 0);
  EXPECT_EQ(Text(listing).rfind("quillfx ", 0), 0u) << Text(listing);
}

// RMS of the last `frames` frames of 16-bit audio, in dBFS (-inf for silence).
double EndLevelDb(const WavData& data, std::uint32_t frames) {
  const auto* s = reinterpret_cast<const std::int16_t*>(data.bytes.data());
  const std::size_t n = data.bytes.size() / 2, from = n - std::min<std::size_t>(n, frames * data.format.channels);
  double sum = 0.0;
  for (std::size_t i = from; i < n; ++i) sum += (s[i] / 32768.0) * (s[i] / 32768.0);
  return 10.0 * std::log10(sum / static_cast<double>(n - from));
}

// Some presets' own tails stop while they are still loud; --pad and --tail
// auto let the chain run on.
TEST(Quillfx, PadAndQuietTailLetTheChainRunOn) {
  const WavData mono = Mono16();
  const std::string in = Write("mono.wav", mono), out = Dir() + "out.wav";
  // The simple delay's own tail follows the padding: 250 ms and 2.0 s of decay.
  ASSERT_EQ(Quillfx("--pad 0.5 " + in + " " + out + " delay \"Echo chamber\" delayMs=250").first, 0);
  EXPECT_EQ(Read(out).Frames(), mono.Frames() + 22050u + 11025u + 88200u);

  ASSERT_EQ(Quillfx(in + " " + out + " reverb \"Dense room\"").first, 0);
  const WavData own = Read(out);
  EXPECT_GT(EndLevelDb(own, 4410), -60.0) << "the preset's own tail is expected to stop while loud";

  const std::string json = Dir() + "run.json";
  ASSERT_EQ(Quillfx("--tail auto --json " + in + " " + out + " reverb \"Dense room\" >" + json).first, 0);
  const WavData quiet = Read(out);
  EXPECT_GT(quiet.Frames(), own.Frames());
  // 16-bit output below -96 dBFS is digital silence.
  EXPECT_TRUE(std::isinf(EndLevelDb(quiet, 4410))) << EndLevelDb(quiet, 4410);
  ExpectSameAudio(WavData{own.format, {quiet.bytes.begin(), quiet.bytes.begin() + own.bytes.size()}}, own);
  const std::string summary = Text(json);
  EXPECT_NE(summary.find("\"framesOut\": " + std::to_string(quiet.Frames())), std::string::npos) << summary;
  EXPECT_NE(summary.find("\"tailCapped\": false"), std::string::npos) << summary;

  // A cap shorter than the decay stops the silence and says so.
  const std::string errors =
      Expect("--tail auto --tail-cap 0.05 " + in + " " + out + " reverb \"Dense room\"", 0, "still above -96 dBFS");
  EXPECT_EQ(Read(out).Frames(), own.Frames() + 2205u) << errors;
}

// Several inputs in one run: each output is what a run of its own gives,
// whatever the number of jobs; the JSON summary names every file.
TEST(Quillfx, SeveralInputsGiveWhatSingleRunsGive) {
  const WavData mono = Mono16(), stereo = Stereo16(mono);
  WavData shortMono = mono;
  shortMono.bytes.resize(10000 * 2);
  const std::string dir = Dir() + "outdir";
  ASSERT_EQ(std::system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
  const std::string inputs[] = {Write("a.wav", mono), Write("b.wav", stereo), Write("c.wav", shortMono)};
  const std::string effects = " -- chorus 3 reverb Plate";
  const std::string json = Dir() + "run.json";
  const std::string errors =
      Expect("-j 2 --json -o " + dir + " " + inputs[0] + " " + inputs[1] + " " + inputs[2] + effects + " >" + json, 0);
  const std::string summary = Text(json);
  for (const std::string& in : inputs) {
    SCOPED_TRACE(in);
    ASSERT_EQ(Quillfx(in + " " + Dir() + "single.wav chorus 3 reverb Plate").first, 0);
    const std::string name = in.substr(in.rfind('/') + 1);
    ExpectSameAudio(Read(dir + "/" + name), Read(Dir() + "single.wav"));
    EXPECT_NE(errors.find(in + " -> " + dir + "/" + name + ": "), std::string::npos) << errors;
    EXPECT_NE(summary.find("\"input\": \"" + in + "\""), std::string::npos) << summary;
  }
  EXPECT_NE(summary.find("\"framesIn\": 10000"), std::string::npos) << summary;
  // One unreadable input fails alone; the others are still written.
  ASSERT_EQ(std::system(("rm -f " + dir + "/*").c_str()), 0);
  Expect("-o " + dir + " " + inputs[0] + " " + Dir() + "missing.wav" + effects, 3, "missing.wav: failed: cannot read");
  EXPECT_EQ(Read(dir + inputs[0].substr(inputs[0].rfind('/'))).Frames(), mono.Frames() + 88200u);
}

// A tone of `amplitude` (full scale 1.0) at 441 Hz: integer samples
// little-endian in `bits`, or 32-bit float (tag 3).
WavData Tone(std::uint16_t tag, std::uint16_t bits, double amplitude, std::uint32_t frames = 44100) {
  WavData d;
  d.format = MakeFormat(tag, 1, 44100, bits);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double x = amplitude * std::sin(2.0 * 3.141592653589793 * 441.0 * i / 44100.0);
    std::uint8_t bytes[4];
    if (tag == 3) {
      const float f = static_cast<float>(x);
      std::memcpy(bytes, &f, 4);
    } else {
      const auto v = static_cast<std::int32_t>(std::lround(x * std::ldexp(1.0, bits - 1)));
      for (int b = 0; b < bits / 8; ++b) bytes[b] = static_cast<std::uint8_t>(v >> (8 * b));
    }
    d.bytes.insert(d.bytes.end(), bytes, bytes + bits / 8);
  }
  return d;
}

// The simple delay with the dry path at 0 dB and the echo silent passes its
// input through, so levels can be checked end to end.
constexpr const char* kThrough = " delay dry=0dB echo=off";

// The reader and writer convert on their own tests; here, that the options
// and the input's word reach them.
TEST(Quillfx, LevelsAndWordsSurviveEveryConversion) {
  // Float input processed as integers keeps its level: a -6 dBFS sine peaks
  // at half of full scale (it used to come out at one step).
  const std::string floatIn = Write("float.wav", Tone(3, 32, 0.5)), out = Dir() + "out.wav";
  ASSERT_EQ(Quillfx("--kind pcm16 " + floatIn + " " + out + kThrough).first, 0);
  EXPECT_EQ(Read(out).format.formatTag, 3) << "the output keeps the input's float word";
  EXPECT_NEAR(PeakOf(Read(out)), 0.5, 1e-4);
  // A 24-bit master stays 24-bit, bit for bit (the silent echo's 100 ms come
  // after it), unless -b asks for another word.
  const WavData deep = Tone(1, 24, 0.7);
  const std::string deepIn = Write("deep.wav", deep);
  ASSERT_EQ(Quillfx(deepIn + " " + out + kThrough).first, 0);
  const WavData kept = Read(out);
  EXPECT_EQ(kept.format.bitsPerSample, 24);
  ASSERT_GE(kept.bytes.size(), deep.bytes.size());
  EXPECT_TRUE(std::equal(deep.bytes.begin(), deep.bytes.end(), kept.bytes.begin()));
  ASSERT_EQ(Quillfx("-b 16 " + deepIn + " " + out + kThrough).first, 0);
  EXPECT_EQ(Read(out).format.bitsPerSample, 16);
  // Float output beyond full scale is reported like integer clipping: a
  // 0.9 sine plus its own echo 100 ms (44.1 periods) later reaches 1.8 cos 18°.
  const WavData loud = Tone(3, 32, 0.9);
  const auto* x = reinterpret_cast<const float*>(loud.bytes.data());
  std::uint64_t over = 0;
  for (std::uint32_t i = 4410; i < loud.Frames(); ++i)
    over += std::abs(static_cast<float>(static_cast<double>(x[i]) + x[i - 4410])) > 1.0f;
  Expect(Write("loud.wav", loud) + " " + out + " delay delay=100ms dry=0dB echo=0dB", 0,
         "twechos: " + std::to_string(over) + " samples beyond full scale");
  EXPECT_GT(PeakOf(Read(out)), 1.5);
  Expect("-b 12 " + deepIn + " " + out + kThrough, 2, "8, 16, 24, 32 or 64");
}

TEST(Quillfx, EarlierFilesSurviveFailuresAndInterruptions) {
  const std::string in = Write("mono.wav", Mono16());
  const std::string dir = Dir() + "keep";
  ASSERT_EQ(std::system(("rm -rf " + dir + " && mkdir " + dir).c_str()), 0);
  const std::string keep = dir + "/keep.wav";
  const WavData earlier = Tone(1, 16, 0.25, 1000);
  std::string error;
  ASSERT_TRUE(WriteWav(keep, earlier, error)) << error;
  const auto onlyKeepIsLeft = [&] {
    EXPECT_TRUE(Read(keep).bytes == earlier.bytes);
    EXPECT_EQ(std::system(("test \"$(ls -A " + dir + ")\" = keep.wav").c_str()), 0) << "a temporary file is left";
  };
  // Refused before processing.
  Expect(in + " " + keep + " pitch ratio=0", 2, "quillfx: twpitchs: ratio=0 ");
  onlyKeepIsLeft();
  // Interrupted while writing an hour of padding: started directly, since a
  // shell starts background jobs with SIGINT ignored.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::freopen("/dev/null", "w", stderr);
    execl(QUILLFX_PATH, QUILLFX_PATH, "--pad", "3600", in.c_str(), keep.c_str(), "reverb", "2", nullptr);
    _exit(127);
  }
  usleep(500000);
  kill(child, SIGINT);
  int raw = 0;
  ASSERT_EQ(waitpid(child, &raw, 0), child);
  EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == SIGINT) << "the run went on to the end or failed otherwise";
  onlyKeepIsLeft();
}

TEST(Quillfx, WavGoesToStandardOutputThroughAPipe) {
  const std::string in = Write("mono.wav", Mono16()), piped = Dir() + "piped.wav";
  ASSERT_EQ(Quillfx(in + " " + Dir() + "file.wav delay 2").first, 0);
  const int raw = std::system((std::string(QUILLFX_PATH) + " " + in + " - delay 2 | cat >" + piped).c_str());
  ASSERT_EQ(WEXITSTATUS(raw), 0);
  ExpectSameAudio(Read(piped), Read(Dir() + "file.wav"));
  // AIFF finishes its header last, so it cannot go down a pipe.
  const std::string err = Dir() + "err.txt";
  const int refused = std::system(("sh -c '" + std::string(QUILLFX_PATH) + " -t aiff " + in + " - delay 2>" + err +
                                   "; echo $? >" + err + ".status' | cat >/dev/null")
                                      .c_str());
  ASSERT_EQ(WEXITSTATUS(refused), 0);
  EXPECT_EQ(Text(err + ".status"), "4\n");
  EXPECT_NE(Text(err).find("types that can: wav"), std::string::npos) << Text(err);
}

TEST(Quillfx, ValuesTakeRealUnitsAndPresetsTheirNamesLoosely) {
  const std::string in = Write("mono.wav", Mono16()), a = Dir() + "a.wav", b = Dir() + "b.wav";
  ASSERT_EQ(Quillfx(in + " " + a + " delay \"echo  CHAMBER\" delay=0.25s dry=-3dB decay=4.5s").first, 0);
  ASSERT_EQ(Quillfx(in + " " + b + " delay 1 delayMs=250 dryOut=-30 decayTenths=45").first, 0);
  ExpectSameAudio(Read(a), Read(b));
  Expect(in + " " + a + " reverb catedral", 2, "did you mean \"Cathedral\"");
  const std::string shown = Dir() + "show.txt";
  ASSERT_EQ(Quillfx("--show delay \"echo chamber\" >" + shown).first, 0);
  const std::string text = Text(shown);
  EXPECT_NE(text.find("Echo chamber"), std::string::npos) << text;
  EXPECT_NE(text.find("delayMs="), std::string::npos) << text;
}

}  // namespace
}  // namespace quill
