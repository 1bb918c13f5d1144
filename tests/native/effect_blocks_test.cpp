// Every row of every effect's field table through the effect's parameter interface: clamping,
// presets, the stream, and for the in-place effects how a change of each field sounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/field_table.h"
#include "framework/in_place_stream.h"
#include "tests/native/engine_harness.h"
#include "tests/native/test_support.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twpitchs/pitch_engine.h"
#include "twreverb/reverb_engine.h"
#include "twtime/time_engine.h"

namespace quill {
namespace {

// The interface's setter and getter of one field, by the field's table name.
template <class E>
struct Accessor {
  std::string name;
  std::function<HRESULT(E&, double)> set;
  std::function<double(E&)> get;
};
template <class E, class T, class Set, class Get>
Accessor<E> Pair(std::string name, Set set, Get get) {
  return {name, [set](E& e, double v) { return set(e, static_cast<T>(v)); },
          [get](E& e) {
            T v{};
            EXPECT_EQ(get(e, &v), S_OK);
            return static_cast<double>(v);
          }};
}
#define QUILL_PAIR(name, Field)       \
  Pair<E, decltype(E::Params::name)>( \
      #name, [](E& e, auto v) { return e.Set##Field(v); }, [](E& e, auto* v) { return e.Get##Field(v); })
#define QUILL_CASE(Case, Name, ...)                                                 \
  struct Case {                                                                     \
    using E = Name##Engine;                                                         \
    using Traits = Name##Traits;                                                    \
    static std::vector<Accessor<E>> Accessors() { return Extra<E>({__VA_ARGS__}); } \
  };

// The multi-tap delay's per-tap runs, reached by index.
template <class E>
std::vector<Accessor<E>> Extra(std::vector<Accessor<E>> a) {
  if constexpr (std::is_same_v<E, MultiTapEngine>)
    for (auto run : {&MultiTapParams::tapDelayMs, &MultiTapParams::tapGain, &MultiTapParams::tapPan})
      for (int k = 0; k < 8; ++k) {
        const char* field = run == &MultiTapParams::tapGain  ? "tapGain"
                            : run == &MultiTapParams::tapPan ? "tapPan"
                                                             : "tapDelayMs";
        a.push_back(Pair<E, std::int32_t>(
            std::string(field) + "[" + std::to_string(k) + "]",
            [run, k](E& e, std::int32_t v) { return e.SetTap(run, k, v); },
            [run, k](E& e, std::int32_t* v) { return e.GetTap(run, k, v); }));
      }
  return a;
}

QUILL_CASE(SimpleDelayCase, SimpleDelay, QUILL_PAIR(feedback, Feedback), QUILL_PAIR(delayMs, Delay),
           QUILL_PAIR(decayTenths, Decay), QUILL_PAIR(delayOut, DelayOut), QUILL_PAIR(dryOut, DryOut))
QUILL_CASE(MultiTapCase, MultiTap, QUILL_PAIR(inputGain, InputGain), QUILL_PAIR(dryOut, DryOut),
           QUILL_PAIR(wetOut, WetOut), QUILL_PAIR(modRate, ModRate), QUILL_PAIR(modDepth, ModDepth),
           QUILL_PAIR(feedbackPct, Feedback), QUILL_PAIR(lowpass, Lowpass), QUILL_PAIR(lowpassHz, LowpassHz),
           QUILL_PAIR(tapCount, TapCount), QUILL_PAIR(currentTap, CurrentTap),
           QUILL_PAIR(graphResolution, GraphResolution))
QUILL_CASE(ChorusCase, Chorus, QUILL_PAIR(inputGain, InputGain), QUILL_PAIR(dryOut, DryOut),
           QUILL_PAIR(chorusOut, ChorusOut), QUILL_PAIR(chorusSize, ChorusSize), QUILL_PAIR(feedbackPct, Feedback),
           QUILL_PAIR(invertChorus, InvertChorus), QUILL_PAIR(delayTenths, Delay), QUILL_PAIR(modRate, ModRate),
           QUILL_PAIR(modDepth, ModDepth), QUILL_PAIR(highCut, HighCut), QUILL_PAIR(highCutHz, HighCutHz),
           QUILL_PAIR(invertFeedback, InvertFeedback))
QUILL_CASE(ReverbCase, Reverb, QUILL_PAIR(dryOut, DryOut), QUILL_PAIR(reverbOut, ReverbOut),
           QUILL_PAIR(earlyOut, EarlyOut), QUILL_PAIR(reverbMode, ReverbMode), QUILL_PAIR(earlyStyle, EarlyStyle),
           QUILL_PAIR(decayTenths, Decay), QUILL_PAIR(preDelayMs, PreDelay), QUILL_PAIR(bassCut, BassCut),
           QUILL_PAIR(bassCutHz, BassCutHz), QUILL_PAIR(highCut, HighCut), QUILL_PAIR(highCutHz, HighCutHz))
QUILL_CASE(TimeCase, Time, QUILL_PAIR(finalTenths, Final), QUILL_PAIR(mode, Mode), QUILL_PAIR(tempoTenths, Tempo),
           QUILL_PAIR(lengthSamples, Length), QUILL_PAIR(inputFormat, InputFormat))
QUILL_CASE(PitchCase, Pitch, QUILL_PAIR(semitones, Semitones), QUILL_PAIR(centsTenths, Cents),
           QUILL_PAIR(accuracy, Accuracy), QUILL_PAIR(preserveDuration, Preserve), QUILL_PAIR(mode, Mode),
           QUILL_PAIR(ratio, Ratio), QUILL_PAIR(antiAlias, AntiAlias), QUILL_PAIR(lengthSamples, Length))
#undef QUILL_CASE
#undef QUILL_PAIR

template <class Case>
using ParamsOf = typename Case::Traits::Params;

// What a value becomes in a field with this row.
double Kept(const FieldInfo& f, double v) {
  if (f.range == FieldRange::Clamped) return !(v >= f.lo) ? f.lo : v > f.hi ? f.hi : v;
  if (f.range == FieldRange::Ceiling) return v > f.hi ? f.hi : v;
  return v;
}
bool Same(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

// The values tried on a row: its ends, one step beyond each, the type's extremes.
std::vector<double> Probes(const FieldInfo& f) {
  if (f.type == FieldType::Int32) return {f.lo, f.hi, f.lo - 1, f.hi + 1, INT32_MIN, INT32_MAX};
  return {f.lo,
          f.hi,
          f.lo - 0.5,
          f.hi + 0.5,
          -1e300,
          1e300,
          0.0,
          -1.0,
          std::numeric_limits<double>::quiet_NaN(),
          std::numeric_limits<double>::infinity()};
}

template <class Case>
class EffectFields : public ::testing::Test {};
using AllEffects = ::testing::Types<SimpleDelayCase, MultiTapCase, ChorusCase, ReverbCase, TimeCase, PitchCase>;
TYPED_TEST_SUITE(EffectFields, AllEffects);

TYPED_TEST(EffectFields, EveryRowIsReachedThroughItsSetterAndClampedAsTheRowSays) {
  using E = typename TypeParam::E;
  using Traits = typename TypeParam::Traits;
  const FieldTable table = Traits::Fields();
  const auto accessors = TypeParam::Accessors();
  ASSERT_EQ(accessors.size(), table.size());
  for (const auto& a : accessors) {
    const FieldInfo* f = FindField(table, a.name);
    ASSERT_NE(f, nullptr) << a.name;
    ASSERT_EQ(FieldAt(table, f->offset), f) << a.name;  // one row per member
    for (const double v : Probes(*f)) {
      SCOPED_TRACE(testing::Message() << a.name << " given " << v);
      const double kept = Kept(*f, v);
      // The single-field setter; a positive-only row refuses the rest.
      E e;
      const double before = a.get(e);
      const bool refused = f->range == FieldRange::Positive && !(v > 0 && std::isfinite(v));
      EXPECT_EQ(a.set(e, v), refused ? E_INVALIDARG : S_OK);
      EXPECT_TRUE(Same(a.get(e), refused ? before : kept)) << a.get(e);
      // The whole block, through SetParams and through Load; where the
      // setter refuses, the block keeps the stored value (the first preset's
      // in both engines here) and reports the change.
      const double blockKept = refused ? before : kept;
      ParamsOf<TypeParam> p = Traits::Presets()[0].params, got;
      WriteFieldValue(&p, *f, v);
      EXPECT_EQ(e.SetParams(&p), Same(blockKept, v) ? S_OK : E_FAIL);
      ASSERT_EQ(e.GetParams(&got), S_OK);
      EXPECT_TRUE(Same(ReadFieldValue(&got, *f), blockKept));
      test::MemoryStream s = test::StreamOf(p, Traits::kInterfaceId);
      E loaded;
      EXPECT_EQ(loaded.Load(&s), Same(blockKept, v) ? S_OK : E_FAIL);
      EXPECT_TRUE(Same(a.get(loaded), blockKept));
    }
  }
}

TYPED_TEST(EffectFields, PresetsAreTakenAsTheyStandAndANewEngineHoldsTheFirst) {
  using E = typename TypeParam::E;
  const auto presets = TypeParam::Traits::Presets();
  EXPECT_STREQ(presets[0].name, "(Default)");
  E fresh;
  ParamsOf<TypeParam> p;
  ASSERT_EQ(fresh.GetParams(&p), S_OK);
  EXPECT_EQ(std::memcmp(&p, &presets[0].params, sizeof p), 0);
  EXPECT_FALSE(fresh.IsDirty());
  for (std::int32_t i = 0; i < E::PresetCount(); ++i) {
    E e;
    EXPECT_EQ(e.ApplyPreset(i), S_OK) << presets[i].name;  // E_FAIL if a field had to be clamped
    ASSERT_EQ(e.GetParams(&p), S_OK);
    EXPECT_EQ(std::memcmp(&p, &presets[i].params, sizeof p), 0) << presets[i].name;
  }
  EXPECT_EQ(fresh.ApplyPreset(E::PresetCount()), E_INVALIDARG);
  EXPECT_EQ(fresh.ApplyPreset(-1), E_INVALIDARG);
}

TYPED_TEST(EffectFields, StreamCarriesTheBlockBehindItsHeader) {
  using E = typename TypeParam::E;
  const std::int32_t last = E::PresetCount() - 1;
  const ParamsOf<TypeParam>& preset = TypeParam::Traits::Presets()[last].params;
  E source;
  ASSERT_EQ(source.ApplyPreset(last), S_OK);
  test::MemoryStream s;
  ASSERT_EQ(source.Save(&s, true), S_OK);
  EXPECT_EQ(E::StreamSize(), 20 + sizeof preset);
  EXPECT_TRUE(s.bytes == test::StreamOf(preset, TypeParam::Traits::kInterfaceId).bytes);
  E target;
  ASSERT_EQ(target.Load(&s), S_OK);
  ParamsOf<TypeParam> got;
  target.GetParams(&got);
  EXPECT_EQ(std::memcmp(&got, &preset, sizeof got), 0);
  EXPECT_FALSE(target.IsDirty());
  // A stream of another size is refused and changes nothing.
  E other;
  test::MemoryStream wrong = test::StreamOf(preset, TypeParam::Traits::kInterfaceId, 21 + sizeof preset);
  EXPECT_EQ(other.Load(&wrong), E_FAIL);
  other.GetParams(&got);
  EXPECT_EQ(std::memcmp(&got, &TypeParam::Traits::Presets()[0].params, sizeof got), 0);
}

template <class Case>
class InPlaceFields : public ::testing::Test {};
using InPlaceEffects = ::testing::Types<SimpleDelayCase, MultiTapCase, ChorusCase, ReverbCase>;
TYPED_TEST_SUITE(InPlaceFields, InPlaceEffects);

// A value other than the current one: the middle of the range, else an end,
// another row of a table, the other state of a switch.
double Another(const FieldInfo& f, double current) {
  if (f.range == FieldRange::Clamped || f.range == FieldRange::Ceiling) {
    const double mid = std::trunc(f.lo / 2 + f.hi / 2);
    return mid != current ? mid : current != f.hi ? f.hi : f.lo;
  }
  return current == 0 ? 1 : 0;
}

template <class Case>
using HarnessOf = test::EngineHarness<typename Case::E, Float64>;

TYPED_TEST(InPlaceFields, AChangeSoundsAtTheNextBufferAsAFreshStartWithItWould) {
  const FieldTable table = TypeParam::Traits::Fields();
  const ParamsOf<TypeParam> p = TypeParam::Traits::Presets()[0].params;
  const auto noise = test::Noise(2 * 2000, 0.5);
  const test::Signal input = [&](std::uint32_t f, std::uint32_t c) { return f < 1500 ? noise[2 * f + c] : 0.0; };
  for (const auto& a : TypeParam::Accessors()) {
    const FieldInfo& f = *FindField(table, a.name);
    const double v = Another(f, ReadFieldValue(&p, f));
    SCOPED_TRACE(testing::Message() << a.name << " = " << v);
    HarnessOf<TypeParam> changed(2, 8000, p);
    changed.Run(0, test::Silent);  // set up, nothing played
    ASSERT_EQ(a.set(changed.engine, v), S_OK);
    ASSERT_EQ(a.get(changed.engine), v);
    ParamsOf<TypeParam> q = p;
    WriteFieldValue(&q, f, v);
    HarnessOf<TypeParam> fresh(2, 8000, q);
    ASSERT_EQ(changed.Run(2000, input), fresh.Run(2000, input));
  }
}

TYPED_TEST(InPlaceFields, WithoutAFormatOrABufferNothingRuns) {
  typename TypeParam::E e;
  std::int16_t buf[4] = {};
  std::uint32_t n = 4;
  EXPECT_EQ(e.Restart(), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, &n), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, nullptr, &n), E_POINTER);
  EXPECT_EQ(e.Process(SampleKind::Pcm16, ProcessMode::Continue, buf, nullptr), E_POINTER);
}

// The delays and the reverb hold the memory for their lines from the
// stream's start: a start that cannot have it is refused, and a buffer after
// it tries a set-up of its own, which fails while memory is short. Once a
// start has it, nothing the stream does needs more.
template <class Case>
class LineMemory : public ::testing::Test {};
using Allocating = ::testing::Types<SimpleDelayCase, MultiTapCase, ReverbCase>;
TYPED_TEST_SUITE(LineMemory, Allocating);

TYPED_TEST(LineMemory, AStartWithoutMemoryIsRefusedAndAStartWithItNeedsNoMore) {
  using E = typename TypeParam::E;
  const ParamsOf<TypeParam> p = TypeParam::Traits::Presets()[0].params;
  HarnessOf<TypeParam> fresh(1, 44100, p);
  E e;
  ASSERT_EQ(e.SetParams(&p), S_OK);
  const AudioFormat f = test::FormatFor<Float64>(1, 44100);
  InPlaceStream<E> stream(e);
  std::vector<double> buf = fresh.Make(5000, test::Impulse(0.5));
  std::uint32_t n = 5000;
  {
    test::RefuseLines refuse;
    EXPECT_EQ(stream.Start(&f), E_OUTOFMEMORY);
    EXPECT_EQ(e.Process(SampleKind::Float64, ProcessMode::Continue, buf.data(), &n), E_OUTOFMEMORY);
    EXPECT_EQ(buf[0], 0.5);  // untouched
    EXPECT_EQ(e.Process(SampleKind::Float64, ProcessMode::Tail, buf.data(), &n), S_FALSE);
    EXPECT_EQ(n, E::kChangeEndsTail ? 5000u : 0u);  // the simple delay keeps the count as it ends
  }
  n = 5000;
  ASSERT_EQ(stream.Start(&f), S_OK);
  test::RefuseLines refuse;
  ASSERT_EQ(stream.Receive(buf.data(), &n), S_OK);
  EXPECT_EQ(buf, fresh.Run(5000, test::Impulse(0.5)));
  // A discontinuity rebuilds every line, and the full preset table may be
  // gone through, within what the start holds.
  for (const auto& preset : TypeParam::Traits::Presets()) {
    ASSERT_EQ(e.SetParams(&preset.params), S_OK);
    n = 1000;
    EXPECT_EQ(stream.Receive(buf.data(), &n, true), S_OK) << preset.name;
  }
}

// The chorus and the reverb empty their lines in the full set-up; the delays
// keep theirs while the length stays (see their own tests).
template <class Case>
class LineFields : public ::testing::Test {};
using LineEffects = ::testing::Types<ChorusCase, ReverbCase>;
TYPED_TEST_SUITE(LineFields, LineEffects);

TYPED_TEST(LineFields, AFullRowEmptiesTheLinesALightRowKeepsThem) {
  const FieldTable table = TypeParam::Traits::Fields();
  const ParamsOf<TypeParam> p = TypeParam::Traits::Presets()[0].params;
  for (const auto& a : TypeParam::Accessors()) {
    const FieldInfo& f = *FindField(table, a.name);
    HarnessOf<TypeParam> h(1, 8000, p);
    h.Run(200, test::Impulse(0.5));
    ASSERT_EQ(a.set(h.engine, Another(f, ReadFieldValue(&p, f))), S_OK);
    const auto out = h.Silence(3000);
    const bool silent = std::all_of(out.begin(), out.end(), [](double x) { return x == 0.0; });
    EXPECT_EQ(silent, f.setup == FieldSetup::Full) << a.name;
  }
}

}  // namespace
}  // namespace quill
