// What the shared parameter-block machinery gives each of the six effects:
// the block and stream sizes, the preset table's shape, every single-field
// setter and the whole-block clamp against one range per field, and the
// persisted stream. The machinery itself is exercised in depth in
// effect_engine_test.cpp; here each effect's own facts are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/field_table.h"
#include "tests/native/test_support.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twpitchs/pitch_fields.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"
#include "twtime/time_fields.h"

namespace quill {
namespace {

// A single-field accessor pair and the range its setter clamps to; a range
// of the type's whole span means "stored as given".
template <class Iface, class T>
struct Accessor {
  const char* name;  // the field table's name for the field
  HRESULT (STDMETHODCALLTYPE Iface::*set)(T);
  HRESULT (STDMETHODCALLTYPE Iface::*get)(T*);
  T lo, hi;
};

constexpr std::int32_t kMin = INT32_MIN, kMax = INT32_MAX;
#define A(name, Field, lo, hi) {name, &I::Set##Field, &I::Get##Field, lo, hi}

// An effect's facts: engine, traits, interface and its id, filter class,
// field table, block size and preset count.
template <class E, class Tr, class Iface, const IID& kIid, const GUID& kFilter, FieldTable (*kFields)(),
          std::uint32_t Block, std::int32_t Presets>
struct CaseOf {
  using Engine = E;
  using Traits = Tr;
  using I = Iface;
  static const IID& Iid() { return kIid; }
  static constexpr std::uint32_t kBlock = Block;
  static constexpr std::int32_t kPresets = Presets;
  static const GUID& Filter() { return kFilter; }
  static FieldTable Fields() { return kFields(); }
  static std::vector<Accessor<I, double>> Doubles() { return {}; }
};

struct SimpleDelayCase : CaseOf<SimpleDelayEngine, SimpleDelayTraits, ISimpleDelayParams, IID_ISimpleDelayParams,
    CLSID_TwEchos, SimpleDelayFields, 20, 6> {
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {A("dryOut", DryOut, kMin, kMax), A("delayOut", DelayOut, -800, 0), A("feedback", Feedback, kMin, kMax),
            A("delayMs", Delay, 1, 5000), A("decayTenths", Decay, 1, 200)};
  }
};

#define QUILL_TAP(k) \
  A("tapGain[" #k "]", TapGain##k, -100, 100), A("tapDelayMs[" #k "]", TapDelay##k, 1, 2500), \
      A("tapPan[" #k "]", TapPan##k, -100, 100)

struct MultiTapCase : CaseOf<MultiTapEngine, MultiTapTraits, IMultiTapParams, IID_IMultiTapParams,
    CLSID_TwEchomt, MultiTapFields, 140, 26> {
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {A("inputGain", InputGain, -800, 0), A("dryOut", DryOut, -800, 0), A("wetOut", WetOut, -800, 0),
            A("modRate", ModRate, 1, 100), A("modDepth", ModDepth, 0, 100), A("feedbackPct", Feedback, 0, 150),
            A("lowpass", Lowpass, kMin, kMax), A("lowpassHz", LowpassHz, 100, 10000), A("tapCount", TapCount, 1, 8),
            A("currentTap", CurrentTap, 0, 7), A("graphResolution", GraphResolution, 0, 3), QUILL_TAP(0), QUILL_TAP(1),
            QUILL_TAP(2), QUILL_TAP(3), QUILL_TAP(4), QUILL_TAP(5), QUILL_TAP(6), QUILL_TAP(7)};
  }
};
#undef QUILL_TAP

struct ChorusCase : CaseOf<ChorusEngine, ChorusTraits, IChorusParams, IID_IChorusParams,
    CLSID_TwChorus, ChorusFields, 48, 23> {
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {A("inputGain", InputGain, -600, 0), A("dryOut", DryOut, -600, 0), A("chorusOut", ChorusOut, -600, 0),
            A("chorusSize", ChorusSize, 1, 3), A("feedbackPct", Feedback, 0, 100),
            A("invertChorus", InvertChorus, kMin, kMax), A("delayTenths", Delay, 1, 1000),
            A("modRate", ModRate, 1, 200), A("modDepth", ModDepth, 1, 100), A("highCut", HighCut, kMin, kMax),
            A("highCutHz", HighCutHz, 100, 10000), A("invertFeedback", InvertFeedback, kMin, kMax)};
  }
};

struct ReverbCase : CaseOf<ReverbEngine, ReverbTraits, IReverbParams, IID_IReverbParams,
    CLSID_TwReverb, ReverbFields, 44, 12> {
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {A("dryOut", DryOut, -800, 0), A("reverbOut", ReverbOut, -800, 0), A("earlyOut", EarlyOut, -800, 0),
            A("reverbMode", ReverbMode, kMin, kMax), A("earlyStyle", EarlyStyle, kMin, kMax),
            A("decayTenths", Decay, 5, 50), A("preDelayMs", PreDelay, 0, 200), A("bassCut", BassCut, 0, 1),
            A("bassCutHz", BassCutHz, 10, 5000), A("highCut", HighCut, 0, 1), A("highCutHz", HighCutHz, 100, 15000)};
  }
};

struct TimeCase : CaseOf<TimeEngine, TimeTraits, ITimeParams, IID_ITimeParams, CLSID_TwTime, TimeFields, 32, 2> {
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {A("mode", Mode, kMin, kMax), A("tempoTenths", Tempo, kMin, 5000) /* a ceiling only */,
            A("inputFormat", InputFormat, kMin, kMax)};
  }
  static std::vector<Accessor<I, double>> Doubles() {
    return {A("finalTenths", Final, 500.0, 5000.0), A("lengthSamples", Length, 0.0, 793800000.0)};
  }
};

struct PitchCase : CaseOf<PitchEngine, PitchTraits, IPitchParams, IID_IPitchParams,
    CLSID_TwPitchs, PitchFields, 48, 5> {
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {A("semitones", Semitones, -50, 50), A("centsTenths", Cents, -1000, 1000),
            A("accuracy", Accuracy, kMin, kMax), A("preserveDuration", Preserve, kMin, kMax),
            A("mode", Mode, kMin, kMax), A("antiAlias", AntiAlias, kMin, kMax)};
  }
  // The ratio is refused rather than clamped; see pitch_test.cpp.
  static std::vector<Accessor<I, double>> Doubles() { return {A("lengthSamples", Length, 0.0, 225306900.0)}; }
};

#undef A

template <class Case>
class EffectBlock : public ::testing::Test {};
using AllEffects = ::testing::Types<SimpleDelayCase, MultiTapCase, ChorusCase, ReverbCase, TimeCase, PitchCase>;
TYPED_TEST_SUITE(EffectBlock, AllEffects);

template <class Case>
using ParamsOf = typename Case::Engine::Params;

TYPED_TEST(EffectBlock, SizesIdentifierAndPresetRows) {
  using Engine = typename TypeParam::Engine;
  using Traits = typename TypeParam::Traits;
  EXPECT_EQ(sizeof(ParamsOf<TypeParam>), TypeParam::kBlock);
  EXPECT_EQ(Engine::StreamSize(), TypeParam::kBlock + 20);
  EXPECT_TRUE(OffsetGuid(TypeParam::Filter(), 3) == TypeParam::Iid());
  ASSERT_EQ(Engine::PresetCount(), TypeParam::kPresets);
  const auto presets = Traits::Presets();
  EXPECT_STREQ(presets[0].name, "(Default)");
  // Every row is a block the effect takes as it stands, table indices included.
  for (const auto& preset : presets) {
    SCOPED_TRACE(preset.name);
    EXPECT_GT(std::strlen(preset.name), 0u);
    ParamsOf<TypeParam> p = preset.params;
    EXPECT_FALSE(Traits::Clamp(p));
    for (const FieldInfo& f : TypeParam::Fields())
      EXPECT_TRUE(WithinRange(f, ReadFieldValue(&preset.params, f))) << f.name;
  }
  // A new engine holds row 0, not yet an edit; rows beyond the table are refused.
  Engine e;
  ParamsOf<TypeParam> p;
  ASSERT_EQ(e.GetParams(&p), S_OK);
  EXPECT_EQ(std::memcmp(&p, &presets[0].params, sizeof p), 0);
  EXPECT_FALSE(e.IsDirty());
  EXPECT_EQ(e.ApplyPreset(TypeParam::kPresets), E_INVALIDARG);
  EXPECT_EQ(e.ApplyPreset(-1), E_INVALIDARG);
}

template <class T>
T Clamped(T v, T lo, T hi) {
  return !(v >= lo) ? lo : v > hi ? hi : v;  // a NaN lands on lo
}

// The values tried on a field: the ends, one step beyond each, the middle
// and the extremes of the type (and a NaN for doubles).
template <class T>
std::vector<T> Probes(T lo, T hi) {
  std::vector<T> v = {lo, hi, static_cast<T>(lo / 2 + hi / 2)};
  if constexpr (std::is_same_v<T, double>) {
    v.insert(v.end(), {lo - 0.5, hi + 0.5, -1e300, 1e300, std::numeric_limits<double>::quiet_NaN()});
  } else {
    if (lo != kMin) v.insert(v.end(), {lo - 1, kMin});
    if (hi != kMax) v.insert(v.end(), {hi + 1, kMax});
  }
  return v;
}

// Each setter keeps the ends of its range and pulls anything beyond back to
// them; the whole-block clamp (SetParams, Load) does the same to the field,
// and the field table shows hosts that same range.
template <class Case, class T>
void CheckAccessors(const std::vector<Accessor<typename Case::I, T>>& accessors) {
  using Traits = typename Case::Traits;
  for (const auto& a : accessors) {
    SCOPED_TRACE(a.name);
    const FieldInfo* f = FindField(Case::Fields(), a.name);
    ASSERT_NE(f, nullptr);
    if (a.lo != kMin && a.hi != kMax) {
      EXPECT_EQ(f->range, FieldRange::Clamped);
      EXPECT_EQ(f->lo, a.lo);
      EXPECT_EQ(f->hi, a.hi);
    } else {
      EXPECT_NE(f->range, FieldRange::Clamped);
    }
    for (const T v : Probes(a.lo, a.hi)) {
      const T expect = Clamped(v, a.lo, a.hi);
      typename Case::Engine e;
      EXPECT_EQ((e.*a.set)(v), S_OK) << v;
      T got{};
      EXPECT_EQ((e.*a.get)(&got), S_OK);
      EXPECT_EQ(got, expect) << "setter given " << v;
      ParamsOf<Case> p = Traits::Presets()[0].params;
      WriteFieldValue(&p, *f, static_cast<double>(v));
      EXPECT_EQ(Traits::Clamp(p), !(v == expect)) << v;
      EXPECT_EQ(ReadFieldValue(&p, *f), static_cast<double>(expect)) << "block given " << v;
    }
    typename Case::Engine e;
    EXPECT_EQ((e.*a.get)(nullptr), E_POINTER);
  }
}

TYPED_TEST(EffectBlock, SettersAndWholeBlockClampEveryFieldToItsRange) {
  CheckAccessors<TypeParam>(TypeParam::Ints());
  CheckAccessors<TypeParam>(TypeParam::Doubles());
  // Every field a host can name is covered above (bar the pitch ratio).
  std::set<std::string> listed;
  for (const auto& a : TypeParam::Ints()) listed.insert(a.name);
  for (const auto& a : TypeParam::Doubles()) listed.insert(a.name);
  for (const FieldInfo& f : TypeParam::Fields())
    EXPECT_TRUE(listed.count(f.name) != 0 || std::string(f.name) == "ratio") << f.name;
}

TYPED_TEST(EffectBlock, StreamCarriesTheBlockBehindItsHeaderAndLoadClamps) {
  using Engine = typename TypeParam::Engine;
  const std::int32_t last = TypeParam::kPresets - 1;
  const ParamsOf<TypeParam>& preset = TypeParam::Traits::Presets()[last].params;
  Engine source;
  ASSERT_EQ(source.ApplyPreset(last), S_OK);
  test::MemoryStream s;
  ASSERT_EQ(source.Save(&s, true), S_OK);
  ASSERT_EQ(s.bytes.size(), TypeParam::kBlock + 20);
  std::uint32_t total;
  std::memcpy(&total, s.bytes.data(), 4);
  EXPECT_EQ(total, TypeParam::kBlock + 20);
  EXPECT_EQ(std::memcmp(s.bytes.data() + 4, &TypeParam::Iid(), 16), 0);
  EXPECT_EQ(std::memcmp(s.bytes.data() + 20, &preset, TypeParam::kBlock), 0);
  Engine target;
  ASSERT_EQ(target.Load(&s), S_OK);
  ParamsOf<TypeParam> got;
  target.GetParams(&got);
  EXPECT_EQ(std::memcmp(&got, &preset, sizeof got), 0);
  EXPECT_FALSE(target.IsDirty());
  // A field above its ceiling is stored clamped and reported.
  const auto ints = TypeParam::Ints();
  const auto a = *std::find_if(ints.begin(), ints.end(), [](const auto& x) { return x.hi != kMax; });
  const FieldInfo* f = FindField(TypeParam::Fields(), a.name);
  ASSERT_NE(f, nullptr);
  const std::int32_t beyond = a.hi + 1;
  std::memcpy(s.bytes.data() + 20 + f->offset, &beyond, 4);
  s.readAt = 0;
  EXPECT_EQ(target.Load(&s), E_FAIL);
  std::int32_t v = 0;
  (target.*a.get)(&v);
  EXPECT_EQ(v, a.hi) << a.name;
  // A stream of another size is refused and changes nothing.
  target.GetParams(&got);
  s.bytes[0] += 1;
  s.readAt = 0;
  EXPECT_EQ(target.Load(&s), E_FAIL);
  ParamsOf<TypeParam> after;
  target.GetParams(&after);
  EXPECT_EQ(std::memcmp(&got, &after, sizeof got), 0);
}

// The slot of a virtual operation, from its member pointer (the compilers of
// both targets store the table offset plus one).
template <class F>
std::ptrdiff_t SlotOf(F f) {
  static_assert(sizeof(F) == 2 * sizeof(void*));
  std::ptrdiff_t raw;
  std::memcpy(&raw, &f, sizeof raw);
  return (raw - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

// Hosts call the interfaces by slot: the shared slots first, the field runs
// in block order, the background pair after the last field.
TEST(EffectInterfaces, SlotsFollowTheFieldRuns) {
  const std::pair<std::ptrdiff_t, std::ptrdiff_t> slots[] = {
      {SlotOf(&ISimpleDelayParams::GetDryOut), 7},    {SlotOf(&ISimpleDelayParams::SetBackground), 17},
      {SlotOf(&IMultiTapParams::GetParams), 3},       {SlotOf(&IMultiTapParams::RegisterNotify), 6},
      {SlotOf(&IMultiTapParams::GetInputGain), 7},    {SlotOf(&IMultiTapParams::GetModRate), 13},
      {SlotOf(&IMultiTapParams::GetFeedback), 17},    {SlotOf(&IMultiTapParams::SetGraphResolution), 28},
      {SlotOf(&IMultiTapParams::GetTapGain0), 29},    {SlotOf(&IMultiTapParams::SetTapGain7), 44},
      {SlotOf(&IMultiTapParams::GetTapDelay0), 45},   {SlotOf(&IMultiTapParams::GetTapPan0), 61},
      {SlotOf(&IMultiTapParams::SetTapPan7), 76},     {SlotOf(&IMultiTapParams::SetBackground), 77},
      {SlotOf(&IMultiTapParams::GetBackground), 78},  {SlotOf(&IChorusParams::GetInputGain), 7},
      {SlotOf(&IChorusParams::SetChorusSize), 14},    {SlotOf(&IChorusParams::GetDelay), 19},
      {SlotOf(&IChorusParams::GetHighCutHz), 27},     {SlotOf(&IChorusParams::SetInvertFeedback), 30},
      {SlotOf(&IChorusParams::SetBackground), 31},    {SlotOf(&IReverbParams::SetBackground), 29},
      {SlotOf(&ITimeParams::SetBackground), 17},      {SlotOf(&ITimeParams::GetSampleRate), 19},
      {SlotOf(&IPitchParams::SetBackground), 23},     {SlotOf(&IPitchParams::GetSampleRate), 25}};
  for (std::size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i].first, slots[i].second) << "row " << i;
}

}  // namespace
}  // namespace quill
