// What the tools share: WAV files of every sample kind, and the effect
// catalog's reading of fields, presets and blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "include/quillfx1.h"
#include "tools/common/effect_catalog.h"
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

// One FIELD=VALUE for an effect: the field it named, the raw value, the
// switch it turns on, or the refusal.
struct Parsed {
  bool ok;
  std::string field, turnsOn, error;
  double value;
};
Parsed Parse(const char* effect, const std::string& arg) {
  FieldEdit edit{};
  std::string error;
  const bool ok = ParseFieldArg(*FindHostEffect(effect), arg, edit, error);
  if (!ok) return {false, "", "", error, 0.0};
  return {true, edit.field->name, edit.turnsOn != nullptr ? edit.turnsOn->name : "", "", edit.requested};
}

// Real units to raw ones: a millisecond field holds 1000 per second, a
// tenths field 10 per unit, kHz are 1000 Hz. Friendly names and units in
// any case; a bare number after a friendly name is in the base unit.
TEST(FieldArgs, RealUnitsBecomeRawValues) {
  const std::tuple<const char*, const char*, const char*, double> cases[] = {
      {"delay", "delay=0.25s", "delayMs", 250},
      {"delay", "DELAY=250 MS", "delayMs", 250},
      {"delay", "delay=0.25", "delayMs", 250},
      {"delay", "delayMs=0.25s", "delayMs", 250},  // a raw name with a unit of its quantity
      {"delay", "delayMs=250", "delayMs", 250},
      {"delay", "decay=4.5s", "decayTenths", 45},
      {"delay", "dry=-3dB", "dryOut", -30},
      {"delay", "dry=+6dB", "dryOut", 60},  // no range: any level
      {"delay", "dry=off", "dryOut", -800},
      {"delay", "echo=-95dB", "delayOut", -800},  // below the floor is silent too
      {"delay", "feedback=on", "feedback", 1},
      {"multitap", "gain[3]=-50%", "tapGain[3]", -50},
      {"chorus", "delay=1.5ms", "delayTenths", 15},
      {"reverb", "predelay=off", "preDelayMs", 0},
      {"time", "final=110%", "finalTenths", 1100},
      {"time", "finalTenths=1100.5", "finalTenths", 1100.5},
      {"pitch", "ratio=1.5", "ratio", 1.5},
  };
  for (const auto& [effect, arg, field, value] : cases) {
    const Parsed p = Parse(effect, arg);
    EXPECT_TRUE(p.ok) << arg << ": " << p.error;
    EXPECT_EQ(std::tuple(p.field, p.value, p.turnsOn), std::tuple(std::string(field), value, std::string())) << arg;
  }
}

// A switched frequency by its friendly name turns its switch on, and "off"
// turns the switch off; the switch's raw name with a bare number is the
// switch, as it always was.
TEST(FieldArgs, FrequenciesCarryTheirSwitches) {
  const std::tuple<const char*, const char*, const char*, double, const char*> cases[] = {
      {"multitap", "lowpass=4kHz", "lowpassHz", 4000, "lowpass"},
      {"multitap", "LowPass=4000", "lowpassHz", 4000, "lowpass"},
      {"multitap", "lowpass=off", "lowpass", 0, ""},
      {"multitap", "lowpass=on", "lowpass", 1, ""},
      {"multitap", "lowpass=4000", "lowpass", 4000, ""},
      {"multitap", "lowpassHz=4000", "lowpassHz", 4000, ""},
      {"reverb", "highcut=8kHz", "highCutHz", 8000, "highCut"},
  };
  for (const auto& [effect, arg, field, value, turnsOn] : cases) {
    const Parsed p = Parse(effect, arg);
    EXPECT_TRUE(p.ok) << arg << ": " << p.error;
    EXPECT_EQ(std::tuple(p.field, p.value, p.turnsOn), std::tuple(std::string(field), value, std::string(turnsOn)))
        << arg;
  }
}

// Every refusal names the effect and the request, and a range refusal gives
// the range in the units the value came in, then in the other.
TEST(FieldArgs, RefusalsSayWhy) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"reverb", "predelay=250ms", "twreverb: predelay=250ms is outside 0..200 ms (preDelayMs 0..200 ms; 0 is off)"},
      {"reverb", "preDelayMs=250", "twreverb: preDelayMs=250 is outside 0..200 ms; 0 is off (predelay 0..200 ms)"},
      {"delay", "decay=4.55s", "twechos: decay=4.55s must be a multiple of 0.1 s"},
      {"delay", "delay=6s", "twechos: delay=6s is outside 0.001..5.000 s (delayMs 1..5000 ms)"},
      {"delay", "decayTenths=3.5", "twechos: decayTenths=3.5: decayTenths needs a whole number"},
      {"delay", "delay=3dB", "twechos: delay=3dB: delay takes s or ms"},
      {"delay", "delay=fast", "twechos: delay=fast: delay needs a number, in s or ms"},
      {"delay", "dry=on", "twechos: dry=on: dry cannot be switched on"},
      {"delay", "delay", "twechos: delay: delay needs a number, in s or ms"},
      {"delay", "wet=-3dB", "twechos has no field wet (try --list)"},
      {"delay", "dryout=-30", "twechos has no field dryout (try --list)"},  // raw names are exact
      {"multitap", "tapGain[0]=140", "twechomt: tapGain[0]=140 is outside -100..100 % (gain[0] -100..100 %)"},
      {"reverb", "mode=19", "twreverb: mode=19 is outside mode row 0..18 (reverbMode)"},
      {"reverb", "bassCut=2", "twreverb: bassCut=2 is outside 0..1 on/off"},
      {"time", "tempo=500.1", "twtime: tempo=500.1 is above 500.0 bpm (tempoTenths tenths of a bpm, at most 5000)"},
      {"time", "tempo=-3e8", "twtime: tempo=-3e8 does not fit the field (tempoTenths, 32 bits)"},
      {"pitch", "semitones=2st", "twpitchs: semitones=2st: semitones takes no unit"},
      {"pitch", "ratio=0", "twpitchs: ratio=0 is not a positive number"},
      {"pitch", "ratio=1e-4", "twpitchs: ratio=1e-4 is outside 0.05..20 transposition ratio"},
      {"pitch", "ratio=inf", "twpitchs: ratio=inf: ratio needs a positive finite number"},
  };
  for (const auto& [effect, arg, error] : cases) {
    const Parsed p = Parse(effect, arg);
    EXPECT_FALSE(p.ok) << arg;
    EXPECT_EQ(p.error, error);
  }
}

TEST(PresetArgs, ByIndexOrNameInAnyCaseAndSpacing) {
  const std::vector<std::string> names = {"Echo chamber", "Large  hall 1", "Large hall 2", "Cathedral", "Plate"};
  const std::tuple<const char*, int> cases[] = {
      {"0", 0},     {"4", 4}, {"5", -1}, {"ECHO CHAMBER", 0}, {"  echo   chamber ", 0}, {"large hall 1", 1},
      {"Echo", -1}, {"", -1}};
  for (const auto& [arg, index] : cases) EXPECT_EQ(FindPreset(names, arg), index) << '"' << arg << '"';
  // Close names, closest first and at most three; nothing for what is far from all.
  EXPECT_EQ(SimilarPresets(names, "catedral"), std::vector<std::string>{"Cathedral"});
  EXPECT_EQ(SimilarPresets(names, "large hall"), (std::vector<std::string>{"Large  hall 1", "Large hall 2"}));
  EXPECT_TRUE(SimilarPresets(names, "spring").empty());
  const std::vector<std::string> chorus = {"Chorus 1", "Chorus 2", "Chorus 3", "Chorus 4", "Flange"};
  EXPECT_EQ(SimilarPresets(chorus, "chorus 5"), (std::vector<std::string>{"Chorus 1", "Chorus 2", "Chorus 3"}));
  const HostEffect& reverb = *FindHostEffect("reverb");
  EXPECT_EQ(NoPresetText(reverb, names, "catedral", "--presets"),
            "twreverb has no preset \"catedral\"; did you mean \"Cathedral\"?");
  EXPECT_EQ(NoPresetText(reverb, chorus, "chorus 5", "--presets"),
            "twreverb has no preset \"chorus 5\"; did you mean \"Chorus 1\", \"Chorus 2\" or \"Chorus 3\"?");
  EXPECT_EQ(NoPresetText(reverb, names, "spring", "--presets"),
            "twreverb has no preset \"spring\" (an index 0..4 or a name; try --presets)");
}

// A block for a user: real units beside the raw field, a switch on its
// frequency's line.
TEST(ShowBlock, RealUnitsBesideRawFields) {
  const HostEffect& delay = *FindHostEffect("delay");
  const SimpleDelayParams d{1, 250, 20, -60, -800};
  const std::vector<std::string> lines = ShowBlock(delay, &d);
  ASSERT_EQ(lines.size(), delay.fields.size());
  const std::tuple<std::size_t, const char*, const char*, const char*> expected[] = {
      {0, "feedback", "on", "feedback=1"},
      {1, "delay", "0.250 s", "delayMs=250"},
      {2, "decay", "2.0 s", "decayTenths=20"},
      {3, "echo", "-6.0 dB", "delayOut=-60"},
      {4, "dry", "-inf dB", "dryOut=-800"}};
  for (const auto& [row, name, real, raw] : expected) {
    const std::string line = lines[row];
    EXPECT_EQ(line.rfind(name, 0), 0u) << line;
    EXPECT_NE(line.find(std::string(" ") + real + " "), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - std::strlen(raw)), raw) << line;
  }
  // The multi-tap's low-pass switch shows on its frequency's line only.
  const HostEffect& multi = *FindHostEffect("multitap");
  MultiTapParams m{};
  m.lowpassHz = 4000;
  std::vector<std::string> shown = ShowBlock(multi, &m);
  EXPECT_EQ(shown.size(), multi.fields.size() - 1);
  const auto find = [](const std::vector<std::string>& ls, const char* text) {
    for (const std::string& l : ls)
      if (l.find(text) != std::string::npos) return l;
    return std::string();
  };
  EXPECT_NE(find(shown, "off (4 kHz)").find("lowpassHz=4000 lowpass=0"), std::string::npos);
  m.lowpass = 1;
  shown = ShowBlock(multi, &m);
  EXPECT_NE(find(shown, " 4 kHz ").find("lowpassHz=4000 lowpass=1"), std::string::npos);
  // A listing line per field: both names, the range in both units.
  const std::vector<std::string> listed = ListFields(*FindHostEffect("reverb"));
  ASSERT_EQ(listed.size(), FindHostEffect("reverb")->fields.size());
  EXPECT_NE(find(listed, "preDelayMs").find("predelay"), std::string::npos);
  EXPECT_NE(find(listed, "preDelayMs").find("0..200 ms (0..200 ms; 0 is off)"), std::string::npos);
  EXPECT_NE(find(listed, "highcut ").find("100 Hz..15 kHz (100..15000 Hz), or off"), std::string::npos);
  EXPECT_NE(find(listed, "bassCut ").find("switches bassCutHz"), std::string::npos);
}

}  // namespace
}  // namespace quill
