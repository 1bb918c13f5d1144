// The field tables as hosts and pages read them: value and range texts, lookup, edits.
#include "framework/field_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <tuple>
#include <vector>

#include "dsp/stretch_modes.h"
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
      {Row(ChorusFields(), "dryOut"), -44, "-4.4 dB"},
      {Row(SimpleDelayFields(), "delayMs"), 400, "0.400"},
      {Row(SimpleDelayFields(), "decayTenths"), 20, "2.0"},
      {Row(ReverbFields(), "decayTenths"), 25, "2.5 sec."},
      {Row(ReverbFields(), "preDelayMs"), 30, "30 ms."},
      {Row(ReverbFields(), "preDelayMs"), 0, "Off"},
      {Row(ReverbFields(), "highCutHz"), 12000, "12,000"},
      {Row(MultiTapFields(), "tapDelayMs[3]"), 10000, "10,000"},
      {Row(MultiTapFields(), "modRate"), 25, "2.5 Hz"},
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
      {Row(PitchFields(), "ratio"), "transposition ratio, above 0"},
      {Row(MultiTapFields(), "lowpass"), "non-zero is on"}};
  for (const auto& [f, text] : ranges) EXPECT_EQ(FieldRangeText(f), text) << f.name;
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

// A host's edit: read the block, change fields by name, write it back. The
// engine clamps; the check reports what was not kept, and a table index
// that names no row although it was kept.
TEST(FieldEdits, ThroughAnEngineReportWhatWasClampedOrOutsideTheTable) {
  const FieldTable table = ReverbFields();
  std::vector<FieldEdit> edits = {
      {FindField(table, "decayTenths"), 80}, {FindField(table, "dryOut"), -30}, {FindField(table, "reverbMode"), 25},
      {FindField(table, "preDelayMs"), -5},  {FindField(table, "preDelayMs"), 12}};
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

}  // namespace
}  // namespace quill
