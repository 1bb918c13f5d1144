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
#include <limits>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "field_table.h"
#include "test_support.h"
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

struct SimpleDelayCase {
  using Engine = SimpleDelayEngine;
  using Traits = SimpleDelayTraits;
  static const IID& Iid() { return IID_ISimpleDelayParams; }
  using I = ISimpleDelayParams;
  static constexpr std::uint32_t kBlock = 20;
  static constexpr std::int32_t kPresets = 6;
  static const GUID& Filter() { return CLSID_TwEchos; }
  static FieldTable Fields() { return SimpleDelayFields(); }
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {{"dryOut", &I::SetDryOut, &I::GetDryOut, kMin, kMax},
            {"delayOut", &I::SetDelayOut, &I::GetDelayOut, -800, 0},
            {"feedback", &I::SetFeedback, &I::GetFeedback, kMin, kMax},
            {"delayMs", &I::SetDelay, &I::GetDelay, 1, 5000},
            {"decayTenths", &I::SetDecay, &I::GetDecay, 1, 200}};
  }
  static std::vector<Accessor<I, double>> Doubles() { return {}; }
};

#define QUILL_TAP(k)                                                                \
  {"tapGain[" #k "]", &I::SetTapGain##k, &I::GetTapGain##k, -100, 100},            \
      {"tapDelayMs[" #k "]", &I::SetTapDelay##k, &I::GetTapDelay##k, 1, 2500}, \
      {"tapPan[" #k "]", &I::SetTapPan##k, &I::GetTapPan##k, -100, 100}

struct MultiTapCase {
  using Engine = MultiTapEngine;
  using Traits = MultiTapTraits;
  static const IID& Iid() { return IID_IMultiTapParams; }
  using I = IMultiTapParams;
  static constexpr std::uint32_t kBlock = 140;
  static constexpr std::int32_t kPresets = 26;
  static const GUID& Filter() { return CLSID_TwEchomt; }
  static FieldTable Fields() { return MultiTapFields(); }
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {{"inputGain", &I::SetInputGain, &I::GetInputGain, -800, 0},
            {"dryOut", &I::SetDryOut, &I::GetDryOut, -800, 0},
            {"wetOut", &I::SetWetOut, &I::GetWetOut, -800, 0},
            {"modRate", &I::SetModRate, &I::GetModRate, 1, 100},
            {"modDepth", &I::SetModDepth, &I::GetModDepth, 0, 100},
            {"feedbackPct", &I::SetFeedback, &I::GetFeedback, 0, 150},
            {"lowpass", &I::SetLowpass, &I::GetLowpass, kMin, kMax},
            {"lowpassHz", &I::SetLowpassHz, &I::GetLowpassHz, 100, 10000},
            {"tapCount", &I::SetTapCount, &I::GetTapCount, 1, 8},
            {"currentTap", &I::SetCurrentTap, &I::GetCurrentTap, 0, 7},
            {"graphResolution", &I::SetGraphResolution, &I::GetGraphResolution, 0, 3},
            QUILL_TAP(0),
            QUILL_TAP(1),
            QUILL_TAP(2),
            QUILL_TAP(3),
            QUILL_TAP(4),
            QUILL_TAP(5),
            QUILL_TAP(6),
            QUILL_TAP(7)};
  }
  static std::vector<Accessor<I, double>> Doubles() { return {}; }
};
#undef QUILL_TAP

struct ChorusCase {
  using Engine = ChorusEngine;
  using Traits = ChorusTraits;
  static const IID& Iid() { return IID_IChorusParams; }
  using I = IChorusParams;
  static constexpr std::uint32_t kBlock = 48;
  static constexpr std::int32_t kPresets = 23;
  static const GUID& Filter() { return CLSID_TwChorus; }
  static FieldTable Fields() { return ChorusFields(); }
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {{"inputGain", &I::SetInputGain, &I::GetInputGain, -600, 0},
            {"dryOut", &I::SetDryOut, &I::GetDryOut, -600, 0},
            {"chorusOut", &I::SetChorusOut, &I::GetChorusOut, -600, 0},
            {"chorusSize", &I::SetChorusSize, &I::GetChorusSize, 1, 3},
            {"feedbackPct", &I::SetFeedback, &I::GetFeedback, 0, 100},
            {"invertChorus", &I::SetInvertChorus, &I::GetInvertChorus, kMin, kMax},
            {"delayTenths", &I::SetDelay, &I::GetDelay, 1, 1000},
            {"modRate", &I::SetModRate, &I::GetModRate, 1, 200},
            {"modDepth", &I::SetModDepth, &I::GetModDepth, 1, 100},
            {"highCut", &I::SetHighCut, &I::GetHighCut, kMin, kMax},
            {"highCutHz", &I::SetHighCutHz, &I::GetHighCutHz, 100, 10000},
            {"invertFeedback", &I::SetInvertFeedback, &I::GetInvertFeedback, kMin, kMax}};
  }
  static std::vector<Accessor<I, double>> Doubles() { return {}; }
};

struct ReverbCase {
  using Engine = ReverbEngine;
  using Traits = ReverbTraits;
  static const IID& Iid() { return IID_IReverbParams; }
  using I = IReverbParams;
  static constexpr std::uint32_t kBlock = 44;
  static constexpr std::int32_t kPresets = 12;
  static const GUID& Filter() { return CLSID_TwReverb; }
  static FieldTable Fields() { return ReverbFields(); }
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {{"dryOut", &I::SetDryOut, &I::GetDryOut, -800, 0},
            {"reverbOut", &I::SetReverbOut, &I::GetReverbOut, -800, 0},
            {"earlyOut", &I::SetEarlyOut, &I::GetEarlyOut, -800, 0},
            {"reverbMode", &I::SetReverbMode, &I::GetReverbMode, kMin, kMax},
            {"earlyStyle", &I::SetEarlyStyle, &I::GetEarlyStyle, kMin, kMax},
            {"decayTenths", &I::SetDecay, &I::GetDecay, 5, 50},
            {"preDelayMs", &I::SetPreDelay, &I::GetPreDelay, 0, 200},
            {"bassCut", &I::SetBassCut, &I::GetBassCut, 0, 1},
            {"bassCutHz", &I::SetBassCutHz, &I::GetBassCutHz, 10, 5000},
            {"highCut", &I::SetHighCut, &I::GetHighCut, 0, 1},
            {"highCutHz", &I::SetHighCutHz, &I::GetHighCutHz, 100, 15000}};
  }
  static std::vector<Accessor<I, double>> Doubles() { return {}; }
};

struct TimeCase {
  using Engine = TimeEngine;
  using Traits = TimeTraits;
  static const IID& Iid() { return IID_ITimeParams; }
  using I = ITimeParams;
  static constexpr std::uint32_t kBlock = 32;
  static constexpr std::int32_t kPresets = 2;
  static const GUID& Filter() { return CLSID_TwTime; }
  static FieldTable Fields() { return TimeFields(); }
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {{"mode", &I::SetMode, &I::GetMode, kMin, kMax},
            {"tempoTenths", &I::SetTempo, &I::GetTempo, kMin, 5000},  // a ceiling only
            {"inputFormat", &I::SetInputFormat, &I::GetInputFormat, kMin, kMax}};
  }
  static std::vector<Accessor<I, double>> Doubles() {
    return {{"finalTenths", &I::SetFinal, &I::GetFinal, 500.0, 5000.0},
            {"lengthSamples", &I::SetLength, &I::GetLength, 0.0, 793800000.0}};
  }
};

struct PitchCase {
  using Engine = PitchEngine;
  using Traits = PitchTraits;
  static const IID& Iid() { return IID_IPitchParams; }
  using I = IPitchParams;
  static constexpr std::uint32_t kBlock = 48;
  static constexpr std::int32_t kPresets = 5;
  static const GUID& Filter() { return CLSID_TwPitchs; }
  static FieldTable Fields() { return PitchFields(); }
  static std::vector<Accessor<I, std::int32_t>> Ints() {
    return {{"semitones", &I::SetSemitones, &I::GetSemitones, -50, 50},
            {"centsTenths", &I::SetCents, &I::GetCents, -1000, 1000},
            {"accuracy", &I::SetAccuracy, &I::GetAccuracy, kMin, kMax},
            {"preserveDuration", &I::SetPreserve, &I::GetPreserve, kMin, kMax},
            {"mode", &I::SetMode, &I::GetMode, kMin, kMax},
            {"antiAlias", &I::SetAntiAlias, &I::GetAntiAlias, kMin, kMax}};
  }
  // The ratio is refused rather than clamped; see pitch_test.cpp.
  static std::vector<Accessor<I, double>> Doubles() {
    return {{"lengthSamples", &I::SetLength, &I::GetLength, 0.0, 225306900.0}};
  }
};

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
  EXPECT_EQ(SlotOf(&ISimpleDelayParams::GetDryOut), 7);
  EXPECT_EQ(SlotOf(&ISimpleDelayParams::SetBackground), 17);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetParams), 3);
  EXPECT_EQ(SlotOf(&IMultiTapParams::RegisterNotify), 6);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetInputGain), 7);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetModRate), 13);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetFeedback), 17);
  EXPECT_EQ(SlotOf(&IMultiTapParams::SetGraphResolution), 28);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetTapGain0), 29);
  EXPECT_EQ(SlotOf(&IMultiTapParams::SetTapGain7), 44);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetTapDelay0), 45);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetTapPan0), 61);
  EXPECT_EQ(SlotOf(&IMultiTapParams::SetTapPan7), 76);
  EXPECT_EQ(SlotOf(&IMultiTapParams::SetBackground), 77);
  EXPECT_EQ(SlotOf(&IMultiTapParams::GetBackground), 78);
  EXPECT_EQ(SlotOf(&IChorusParams::GetInputGain), 7);
  EXPECT_EQ(SlotOf(&IChorusParams::SetChorusSize), 14);
  EXPECT_EQ(SlotOf(&IChorusParams::GetDelay), 19);
  EXPECT_EQ(SlotOf(&IChorusParams::GetHighCutHz), 27);
  EXPECT_EQ(SlotOf(&IChorusParams::SetInvertFeedback), 30);
  EXPECT_EQ(SlotOf(&IChorusParams::SetBackground), 31);
  EXPECT_EQ(SlotOf(&IReverbParams::SetBackground), 29);
  EXPECT_EQ(SlotOf(&ITimeParams::SetBackground), 17);
  EXPECT_EQ(SlotOf(&ITimeParams::GetSampleRate), 19);
  EXPECT_EQ(SlotOf(&IPitchParams::SetBackground), 23);
  EXPECT_EQ(SlotOf(&IPitchParams::GetSampleRate), 25);
}

}  // namespace
}  // namespace quill
