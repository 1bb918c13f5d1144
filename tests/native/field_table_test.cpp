// The field tables through which hosts change single fields: names and
// offsets against the parameter blocks (their ranges are checked against
// each engine's clamping in effect_blocks_test.cpp), the value parser, and
// an edit made through a real engine.
#include "framework/field_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"

namespace quill {
namespace {

using Named = std::vector<std::pair<std::string, std::size_t>>;
#define QUILL_FIELD(m) {#m, offsetof(P, m)}

// Every block member a host may name, with its offset taken from the struct.
template <class Traits>
Named ExpectedNames();

template <>
Named ExpectedNames<SimpleDelayTraits>() {
  using P = SimpleDelayParams;
  return {QUILL_FIELD(feedback), QUILL_FIELD(delayMs), QUILL_FIELD(decayTenths), QUILL_FIELD(delayOut),
          QUILL_FIELD(dryOut)};
}

template <>
Named ExpectedNames<MultiTapTraits>() {
  using P = MultiTapParams;
  Named n = {QUILL_FIELD(tapCount),  QUILL_FIELD(wetOut),    QUILL_FIELD(dryOut),   QUILL_FIELD(feedbackPct),
             QUILL_FIELD(inputGain), QUILL_FIELD(lowpass),   QUILL_FIELD(lowpassHz), QUILL_FIELD(modDepth),
             QUILL_FIELD(modRate),   QUILL_FIELD(currentTap), QUILL_FIELD(graphResolution)};
  for (int k = 0; k < 8; ++k) {
    const std::string index = "[" + std::to_string(k) + "]";
    n.push_back({"tapDelayMs" + index, offsetof(P, tapDelayMs) + 4 * k});
    n.push_back({"tapGain" + index, offsetof(P, tapGain) + 4 * k});
    n.push_back({"tapPan" + index, offsetof(P, tapPan) + 4 * k});
  }
  return n;
}

template <>
Named ExpectedNames<ChorusTraits>() {
  using P = ChorusParams;
  return {QUILL_FIELD(inputGain),   QUILL_FIELD(dryOut),       QUILL_FIELD(chorusOut),     QUILL_FIELD(chorusSize),
          QUILL_FIELD(feedbackPct), QUILL_FIELD(invertChorus), QUILL_FIELD(delayTenths),   QUILL_FIELD(modRate),
          QUILL_FIELD(modDepth),    QUILL_FIELD(highCut),      QUILL_FIELD(highCutHz),     QUILL_FIELD(invertFeedback)};
}

template <>
Named ExpectedNames<ReverbTraits>() {
  using P = ReverbParams;
  return {QUILL_FIELD(dryOut),     QUILL_FIELD(reverbOut),   QUILL_FIELD(earlyOut),   QUILL_FIELD(reverbMode),
          QUILL_FIELD(earlyStyle), QUILL_FIELD(decayTenths), QUILL_FIELD(preDelayMs), QUILL_FIELD(bassCut),
          QUILL_FIELD(bassCutHz),  QUILL_FIELD(highCut),     QUILL_FIELD(highCutHz)};
}
#undef QUILL_FIELD

template <class Traits>
class FieldTableOf : public ::testing::Test {};

using AllTraits = ::testing::Types<SimpleDelayTraits, MultiTapTraits, ChorusTraits, ReverbTraits>;
TYPED_TEST_SUITE(FieldTableOf, AllTraits);

TYPED_TEST(FieldTableOf, NamesEveryMemberAtItsOffsetAndCoversTheBlockOnce) {
  const FieldTable table = TypeParam::Fields();
  const Named expected = ExpectedNames<TypeParam>();
  EXPECT_EQ(table.size(), expected.size());
  for (const auto& [name, offset] : expected) {
    SCOPED_TRACE(name);
    const FieldInfo* f = FindField(table, name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->offset, offset);
    EXPECT_EQ(f->type, FieldType::Int32);
  }
  // Sorted by offset, the fields tile the block without gap or overlap.
  std::vector<std::size_t> offsets;
  for (const FieldInfo& f : table) offsets.push_back(f.offset);
  std::sort(offsets.begin(), offsets.end());
  for (std::size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(offsets[i], 4 * i);
  EXPECT_EQ(4 * offsets.size(), sizeof(typename TypeParam::Params));
}

TEST(FieldTable, ReverbTableFieldsSpanTheirTables) {
  const std::pair<const char*, std::size_t> spans[] = {{"reverbMode", ReverbModeTable().size()},
                                                        {"earlyStyle", EarlyStyleTable().size()}};
  for (const auto& [name, rows] : spans) {
    const FieldInfo* f = FindField(ReverbFields(), name);
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(f->range, FieldRange::Table);
    EXPECT_EQ(f->lo, 0);
    EXPECT_EQ(f->hi + 1, static_cast<double>(rows));
  }
}

TEST(FieldTable, LooksUpExactNamesOnly) {
  const FieldTable taps = MultiTapFields();
  EXPECT_NE(FindField(taps, "tapPan[7]"), nullptr);
  for (const char* name : {"tapPan[8]", "tapPan", "TapCount", "tapCount ", ""})
    EXPECT_EQ(FindField(taps, name), nullptr) << name;
}

TEST(FieldTable, ParsesIntegersWithin32BitsAndFiniteDecimals) {
  const FieldInfo whole = IntField("n", 0, "");
  const FieldInfo real{"x", 0, FieldType::Double, "", FieldRange::None, 0.0, 0.0};
  struct Case {
    const FieldInfo* field;
    const char* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {&whole, "250", true, 250},   {&whole, "-30", true, -30},  {&whole, "+7", true, 7},
      {&whole, "-2147483648", true, -2147483648.0},             {&whole, "2147483647", true, 2147483647.0},
      {&whole, "2147483648", false, 0}, {&whole, "-2147483649", false, 0}, {&whole, "2.5", false, 0},
      {&whole, "12abc", false, 0},  {&whole, "fast", false, 0},  {&whole, "", false, 0},
      {&whole, " 5", false, 0},     {&real, "1234.5", true, 1234.5}, {&real, "-0.25", true, -0.25},
      {&real, "7", true, 7},        {&real, "1e400", false, 0},  {&real, "nan", false, 0},
      {&real, "inf", false, 0},     {&real, "1.5x", false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    double value = -99.0;
    EXPECT_EQ(ParseFieldValue(*c.field, c.text, value), c.ok);
    EXPECT_EQ(value, c.ok ? c.value : -99.0);
  }
}

TEST(FieldTable, WritesAndReadsBothTypesInPlace) {
  struct Mixed {
    double first;
    std::int32_t second;
    std::int32_t third;
  };
  const FieldInfo first{"first", offsetof(Mixed, first), FieldType::Double, "", FieldRange::None, 0, 0};
  const FieldInfo third = IntField("third", offsetof(Mixed, third), "");
  Mixed m{1.0, 2, 3};
  WriteFieldValue(&m, first, 8820000.25);
  WriteFieldValue(&m, third, -800);
  EXPECT_EQ(m.first, 8820000.25);
  EXPECT_EQ(m.second, 2);
  EXPECT_EQ(m.third, -800);
  EXPECT_EQ(ReadFieldValue(&m, first), 8820000.25);
  EXPECT_EQ(ReadFieldValue(&m, third), -800.0);
  EXPECT_EQ(FieldValueText(third, -800), "-800");
  EXPECT_EQ(FieldValueText(first, 8820000.25), "8820000.25");
}

TEST(FieldTable, DescribesRangesWithTheirUnits) {
  const struct {
    FieldTable table;
    const char *name, *text;
  } cases[] = {{SimpleDelayFields(), "delayMs", "1..5000 ms"},
               {ChorusFields(), "dryOut", "-600..0 tenths of a dB"},
               {ReverbFields(), "earlyStyle", "style row 0..9"},
               {MultiTapFields(), "lowpass", "non-zero is on"}};
  for (const auto& c : cases) EXPECT_EQ(FieldRangeText(*FindField(c.table, c.name)), c.text) << c.name;
}

// A host's edit: read the block, change fields by name, write it back. The
// engine clamps; the check reports what was not kept, and a table index
// that names no row although it was kept.
template <class Engine>
typename Engine::Params EditThrough(const std::vector<FieldEdit>& edits) {
  Engine engine;
  typename Engine::Params block;
  EXPECT_EQ(engine.GetParams(&block), S_OK);
  ApplyEdits(&block, edits);
  EXPECT_EQ(engine.SetParams(&block), E_FAIL);
  EXPECT_EQ(engine.GetParams(&block), S_OK);
  return block;
}

TEST(FieldEdits, ThroughAnEngineReportWhatWasClampedOrOutsideTheTable) {
  const FieldTable table = ReverbFields();
  std::vector<FieldEdit> edits = {
      {FindField(table, "decayTenths"), 80}, {FindField(table, "dryOut"), -30}, {FindField(table, "reverbMode"), 25},
      {FindField(table, "preDelayMs"), -5},  {FindField(table, "preDelayMs"), 12}};
  ReverbParams block = EditThrough<ReverbEngine>(edits);
  EXPECT_EQ((std::vector{block.decayTenths, block.dryOut, block.reverbMode, block.preDelayMs}),
            (std::vector<std::int32_t>{50, -30, 25, 12}));
  const std::vector<FieldEdit> notable = CheckEdits(&block, edits);
  ASSERT_EQ(notable.size(), 2u);
  EXPECT_EQ(std::tuple(std::string(notable[0].field->name), notable[0].requested, notable[0].stored),
            std::tuple("decayTenths", 80, 50));
  EXPECT_EQ(std::tuple(std::string(notable[1].field->name), notable[1].stored), std::tuple("reverbMode", 25));
  EXPECT_EQ(edits[1].stored, -30);
}

TEST(FieldEdits, PerTapFieldsReachTheirTap) {
  const FieldTable table = MultiTapFields();
  std::vector<FieldEdit> edits = {{FindField(table, "tapDelayMs[5]"), 2600}, {FindField(table, "tapPan[2]"), -40}};
  MultiTapParams block = EditThrough<MultiTapEngine>(edits);
  EXPECT_EQ(std::tuple(block.tapDelayMs[5], block.tapPan[2]), std::tuple(2500, -40));
  EXPECT_EQ(block.tapDelayMs[4], MultiTapPresets()[0].params.tapDelayMs[4]);
  const std::vector<FieldEdit> notable = CheckEdits(&block, edits);
  ASSERT_EQ(notable.size(), 1u);
  EXPECT_EQ(std::tuple(std::string(notable[0].field->name), notable[0].stored), std::tuple("tapDelayMs[5]", 2500));
}

}  // namespace
}  // namespace quill
