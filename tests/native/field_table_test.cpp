// The field tables as hosts and pages read them: value and range texts, real
// units, lookup, edits.
#include "framework/field_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cfloat>
#include <cstddef>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "dsp/stretch_modes.h"
#include "framework/field_units.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_fields.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_fields.h"

namespace quill {
namespace {

const FieldInfo& Row(FieldTable table, const char* name) {
  const FieldInfo* f = FindField(table, name);
  EXPECT_NE(f, nullptr) << name;
  static const FieldInfo kNone = IntField("", 0, "");
  return f != nullptr ? *f : kNone;
}

TEST(ValueText, EachFormatAsThePagesShowIt) {
  const std::tuple<const FieldInfo&, std::int32_t, const char*> cases[] = {
      {Row(SimpleDelayFields(), "delayOut"), -60, "-6.0 dB"},
      {Row(SimpleDelayFields(), "delayOut"), -5, "-0.5 dB"},
      {Row(SimpleDelayFields(), "delayOut"), 0, "0.0 dB"},
      {Row(SimpleDelayFields(), "delayOut"), -800, "-Inf. dB"},
      {Row(ChorusFields(), "dryOut"), -600, "-Inf. dB"},
      {Row(SimpleDelayFields(), "delayMs"), 400, "0.400"},
      {Row(SimpleDelayFields(), "decayTenths"), 20, "2.0"},
      {Row(ReverbFields(), "decayTenths"), 25, "2.5 sec."},
      {Row(ReverbFields(), "preDelayMs"), 30, "30 ms."},
      {Row(ReverbFields(), "preDelayMs"), 0, "Off"},
      {Row(ReverbFields(), "highCutHz"), 12000, "12,000"},
      {Row(MultiTapFields(), "feedbackPct"), 150, "150 %"},
      {Row(PitchFields(), "semitones"), -7, "-7"},
  };
  for (const auto& [field, value, text] : cases) EXPECT_EQ(ValueText(field, value), text) << field.name << " " << value;
  // The locale's separator, and a level just above the floor.
  EXPECT_EQ(ValueText(Row(ReverbFields(), "highCutHz"), 12000, '.'), "12.000");
  EXPECT_EQ(ValueText(Row(SimpleDelayFields(), "delayOut"), -799), "-79.9 dB");
  // The range a host is shown, for each kind of range.
  const std::tuple<const FieldInfo&, const char*> ranges[] = {
      {Row(SimpleDelayFields(), "delayMs"), "1..5000 ms"},
      {Row(ReverbFields(), "earlyStyle"), "style row 0..9"},
      {Row(TimeFields(), "tempoTenths"), "tenths of a bpm, at most 5000"},
      {Row(PitchFields(), "ratio"), "0.05..20 transposition ratio"},
      {Row(MultiTapFields(), "lowpass"), "non-zero is on"}};
  for (const auto& [f, text] : ranges) EXPECT_EQ(FieldRangeText(f), text) << f.name;
}

// Raw values in the units a user thinks in: one raw step is worth the row's
// step of its quantity's base unit (a millisecond is 0.001 s, a tenth of a dB
// 0.1 dB).
TEST(RealUnits, ValuesRangesAndStepsInRealUnits) {
  const std::tuple<const FieldInfo&, double, const char*> values[] = {
      {Row(SimpleDelayFields(), "delayMs"), 250, "0.250 s"},
      {Row(SimpleDelayFields(), "decayTenths"), 45, "4.5 s"},
      {Row(SimpleDelayFields(), "dryOut"), -30, "-3.0 dB"},
      {Row(SimpleDelayFields(), "dryOut"), -5, "-0.5 dB"},
      {Row(SimpleDelayFields(), "dryOut"), -800, "-inf dB"},
      {Row(SimpleDelayFields(), "dryOut"), -900, "-inf dB"},
      {Row(SimpleDelayFields(), "feedback"), 1, "on"},
      {Row(ChorusFields(), "delayTenths"), 15, "1.5 ms"},  // a range under a second reads in ms
      {Row(ReverbFields(), "preDelayMs"), 30, "30 ms"},
      {Row(MultiTapFields(), "lowpassHz"), 4000, "4 kHz"},
      {Row(ReverbFields(), "highCutHz"), 12500, "12.5 kHz"},
      {Row(TimeFields(), "finalTenths"), 1100, "110 %"},
      {Row(TimeFields(), "finalTenths"), 1234.5, "123.45 %"},
      {Row(ReverbFields(), "reverbMode"), 3, "3"},
  };
  for (const auto& [f, raw, text] : values) EXPECT_EQ(RealText(f, raw), text) << f.name << " " << raw;
  const std::tuple<const FieldInfo&, const char*, const char*> ranges[] = {
      {Row(SimpleDelayFields(), "delayMs"), "0.001..5.000 s", "0.001 s"},
      {Row(ReverbFields(), "preDelayMs"), "0..200 ms", "1 ms"},
      {Row(ChorusFields(), "delayTenths"), "0.1..100.0 ms", "0.1 ms"},
      {Row(MultiTapFields(), "wetOut"), "-inf..0.0 dB", "0.1 dB"},
      {Row(MultiTapFields(), "lowpassHz"), "100 Hz..10 kHz", "1 Hz"},
      {Row(TimeFields(), "tempoTenths"), "at most 500.0 bpm", "0.1 bpm"},
      {Row(SimpleDelayFields(), "dryOut"), "at most 720.0 dB, silent at -80.0 and below", "0.1 dB"},
      {Row(ReverbFields(), "earlyStyle"), "style row 0..9", "1"},
  };
  for (const auto& [f, range, step] : ranges)
    EXPECT_EQ(std::tuple(RealRangeText(f), StepText(f)), std::tuple(std::string(range), std::string(step))) << f.name;
}

TEST(RealUnits, NumbersSplitFromTheirUnits) {
  const std::tuple<const char*, double, const char*> good[] = {
      {"250ms", 250, "ms"}, {"0.25 s", 0.25, "s"}, {"-3dB", -3, "dB"}, {"+4.5", 4.5, ""}, {".5s", 0.5, "s"},
      {"4.kHz", 4, "kHz"},  {"1e3Hz", 1000, "Hz"}, {"2E-1", 0.2, ""},  {"1e", 1, "e"},  // an exponent needs digits; the
                                                                                        // rest is a unit nobody has
  };
  for (const auto& [text, number, unit] : good) {
    double n = 0.0;
    std::string u;
    EXPECT_TRUE(SplitNumber(text, n, u)) << text;
    EXPECT_EQ(std::tuple(n, u), std::tuple(number, std::string(unit))) << text;
  }
  for (const char* bad : {"", "-", ".", "ms", " 5", "inf", "nan", "1e999"}) {
    double n = 0.0;
    std::string u;
    EXPECT_FALSE(SplitNumber(bad, n, u)) << bad;
  }
  EXPECT_EQ(UnitFactor(Quantity::Time, "MS"), 0.001);
  EXPECT_EQ(UnitFactor(Quantity::Frequency, "khz"), 1000.0);
  EXPECT_EQ(UnitFactor(Quantity::Time, "Hz"), 0.0);
  EXPECT_EQ(UnitFactor(Quantity::None, ""), 0.0);
}

// Friendly names are what users type: each table's are unique in any case
// and clash with no other row's raw name, except a switch's with the
// frequency it switches; every quantity has a name and a step, every
// switch it names is a row.
TEST(RealUnits, FriendlyNamesAreUniqueAndSwitchesExist) {
  const auto lower = [](const char* s) {
    std::string t = s;
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
  };
  for (FieldTable table :
       {SimpleDelayFields(), MultiTapFields(), ChorusFields(), ReverbFields(), TimeFields(), PitchFields()}) {
    std::set<std::string> said;
    for (const FieldInfo& f : table) {
      EXPECT_TRUE(f.quantity == Quantity::None || f.friendly != nullptr) << f.name;
      EXPECT_GT(f.step, 0.0) << f.name;
      EXPECT_TRUE(f.switchedBy == nullptr || FindField(table, f.switchedBy) != nullptr) << f.name;
      if (f.friendly == nullptr) continue;
      EXPECT_TRUE(said.insert(lower(f.friendly)).second) << f.friendly;
      EXPECT_EQ(FindFriendly(table, lower(f.friendly)), &f);
      for (const FieldInfo& g : table) {
        const bool clash = &g != &f && lower(g.name) == lower(f.friendly);
        EXPECT_TRUE(!clash || (f.switchedBy != nullptr && std::strcmp(f.switchedBy, g.name) == 0)) << f.friendly;
      }
    }
  }
  EXPECT_EQ(FindFriendly(MultiTapFields(), "GAIN[3]"), &Row(MultiTapFields(), "tapGain[3]"));
  EXPECT_EQ(FindFriendly(ReverbFields(), "preDelayMs"), nullptr);
}

TEST(FieldTable, TableRowsSpanTheTablesTheyIndex) {
  const std::tuple<const FieldInfo&, std::size_t> spans[] = {
      {Row(ReverbFields(), "reverbMode"), ReverbModeTable().size()},
      {Row(ReverbFields(), "earlyStyle"), EarlyStyleTable().size()},
      {Row(TimeFields(), "mode"), static_cast<std::size_t>(kStretchModeCount)},
      {Row(PitchFields(), "mode"), static_cast<std::size_t>(kStretchModeCount)}};
  for (const auto& [f, rows] : spans) {
    EXPECT_EQ(f.range, FieldRange::Table) << f.name;
    EXPECT_EQ(std::tuple(f.lo, f.hi + 1), std::tuple(0.0, static_cast<double>(rows))) << f.name;
  }
}

// A level kept by no range once gave an infinite gain (the simple delay's
// dry level, from about +6,165 dB), which makes silence a NaN. Every level
// has a loudest value now, at which a full-scale sample and an echo as loud
// still fit a float.
TEST(FieldTable, EveryLevelHasALoudestValueWhoseGainFitsAFloat) {
  for (const FieldTable table :
       {SimpleDelayFields(), MultiTapFields(), ChorusFields(), ReverbFields(), TimeFields(), PitchFields()})
    for (const FieldInfo& f : table)
      if (f.format == ValueFormat::Decibels) {
        EXPECT_TRUE(f.range == FieldRange::Clamped || f.range == FieldRange::Ceiling) << f.name;
        EXPECT_LE(2.0 * DbToGain(static_cast<std::int32_t>(f.hi), f.floor), FLT_MAX) << f.name;
      }
}

// A host's edit: read the block, change fields by name, write it back. The
// engine clamps; the check reports what was not kept, and a table index
// that names no row although it was kept.
TEST(FieldEdits, ThroughAnEngineReportWhatWasClampedOrOutsideTheTable) {
  const FieldTable table = ReverbFields();
  std::vector<FieldEdit> edits = {{FindField(table, "decayTenths"), 80},
                                  {FindField(table, "dryOut"), -30},
                                  {FindField(table, "reverbMode"), 25},
                                  {FindField(table, "preDelayMs"), -5},
                                  {FindField(table, "preDelayMs"), 12}};
  ReverbEngine engine;
  ReverbParams block;
  ASSERT_EQ(engine.GetParams(&block), S_OK);
  ApplyEdits(&block, edits);
  EXPECT_EQ(engine.SetParams(&block), E_FAIL);
  ASSERT_EQ(engine.GetParams(&block), S_OK);
  EXPECT_EQ((std::vector{block.decayTenths, block.dryOut, block.reverbMode, block.preDelayMs}),
            (std::vector<std::int32_t>{50, -30, 25, 12}));
  const std::vector<FieldEdit> notable = CheckEdits(&block, edits);
  ASSERT_EQ(notable.size(), 2u);
  EXPECT_EQ(std::tuple(std::string(notable[0].field->name), notable[0].requested, notable[0].stored),
            std::tuple("decayTenths", 80, 50));
  EXPECT_EQ(std::tuple(std::string(notable[1].field->name), notable[1].stored), std::tuple("reverbMode", 25));
  EXPECT_EQ(edits[1].stored, -30);
}

// A frequency edit that carries its switch turns it on, in the edits' order.
TEST(FieldEdits, AnEditTurnsItsSwitchOnInOrder) {
  const FieldTable table = MultiTapFields();
  MultiTapParams block{};
  FieldEdit hz{FindField(table, "lowpassHz"), 4000};
  hz.turnsOn = FindField(table, "lowpass");
  const FieldEdit off{FindField(table, "lowpass"), 0};
  ApplyEdits(&block, std::vector{hz});
  EXPECT_EQ(std::tuple(block.lowpassHz, block.lowpass), std::tuple(4000, 1));
  ApplyEdits(&block, std::vector{hz, off});
  EXPECT_EQ(block.lowpass, 0);
}

}  // namespace
}  // namespace quill
