// Every effect streams on one thread while two others edit it at random as
// pages and hosts do: single-field setters, whole blocks, presets, loads and
// saves. Built with ThreadSanitizer, which reports any unsynchronised
// access; the test itself checks what the calls answer, that a saved block
// and the final block are within their rows' ranges, and of the streams
// (half of them with NaNs and infinities in float input) that no NaN or
// infinity leaves the engine, that the lines recover, that no setting stops
// a stream and that none makes a copying engine run away. QUILL_SOAK_MS sets
// how long each effect runs (500 ms unless given).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <thread>
#include <type_traits>
#include <vector>

#include "tests/fuzz/effect_set.h"
#include "tests/native/test_support.h"

namespace quill {
namespace {

using fault::Noise;
using Clock = std::chrono::steady_clock;

std::chrono::milliseconds SoakTime() {
  const char* text = std::getenv("QUILL_SOAK_MS");
  const long ms = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return std::chrono::milliseconds(ms > 0 ? ms : 500);
}

// Values for a setter: inside and far outside any row's range, the type's
// extremes, and for doubles what is not a number.
template <class T>
T RandomValue(Noise& n) {
  if constexpr (std::is_integral_v<T>) {
    switch (n.Below(6)) {
      case 0:
        return static_cast<T>(n.Next());
      case 1:
        return std::numeric_limits<T>::min();
      case 2:
        return std::numeric_limits<T>::max();
      default:
        return static_cast<T>(static_cast<std::int32_t>(n.Below(14000)) - 4000);
    }
  } else {
    switch (n.Below(8)) {
      case 0:
        return std::numeric_limits<T>::quiet_NaN();
      case 1:
        return std::numeric_limits<T>::infinity();
      case 2:
        return -1.0;
      case 3:
        return n.Below(1000000) * 1000.0;
      default:
        return n.Below(60000) / 10.0;
    }
  }
}

template <class C, class T>
T ArgOf(HRESULT (STDMETHODCALLTYPE C::*)(T));

template <class E>
using Setter = std::function<HRESULT(E&, Noise&)>;
// Each edit reads the field through its getter first, as a page does
// before it writes.
#define QUILL_SET(Name)                                                 \
  [](E& e, Noise& n) {                                                  \
    decltype(ArgOf(&E::Set##Name)) now{};                               \
    EXPECT_EQ(e.Get##Name(&now), S_OK);                                 \
    return e.Set##Name(RandomValue<decltype(ArgOf(&E::Set##Name))>(n)); \
  }

struct SimpleDelayCase {
  static constexpr const char* kName = "twechos";
  using E = SimpleDelayEngine;
  using Traits = SimpleDelayTraits;
  static std::vector<Setter<E>> Setters() {
    return {QUILL_SET(DryOut), QUILL_SET(DelayOut), QUILL_SET(Feedback), QUILL_SET(Delay), QUILL_SET(Decay)};
  }
};
struct MultiTapCase {
  static constexpr const char* kName = "twechomt";
  using E = MultiTapEngine;
  using Traits = MultiTapTraits;
  static std::vector<Setter<E>> Setters() {
    std::vector<Setter<E>> s = {QUILL_SET(InputGain),  QUILL_SET(DryOut),         QUILL_SET(WetOut),
                                QUILL_SET(ModRate),    QUILL_SET(ModDepth),       QUILL_SET(Feedback),
                                QUILL_SET(Lowpass),    QUILL_SET(LowpassHz),      QUILL_SET(TapCount),
                                QUILL_SET(CurrentTap), QUILL_SET(GraphResolution)};
    // The per-tap runs by index, one index past each end included.
    for (auto run : {&MultiTapParams::tapGain, &MultiTapParams::tapDelayMs, &MultiTapParams::tapPan})
      s.push_back([run](E& e, Noise& n) {
        const auto k = static_cast<std::int32_t>(n.Below(10)) - 1;
        std::int32_t now = 0;
        EXPECT_EQ(e.GetTap(run, k, &now), k >= 0 && k < 8 ? S_OK : E_INVALIDARG);
        return e.SetTap(run, k, RandomValue<std::int32_t>(n));
      });
    return s;
  }
};
struct ReverbCase {
  static constexpr const char* kName = "twreverb";
  using E = ReverbEngine;
  using Traits = ReverbTraits;
  static std::vector<Setter<E>> Setters() {
    return {QUILL_SET(ReverbMode), QUILL_SET(EarlyStyle), QUILL_SET(DryOut),   QUILL_SET(ReverbOut),
            QUILL_SET(EarlyOut),   QUILL_SET(Decay),      QUILL_SET(PreDelay), QUILL_SET(BassCut),
            QUILL_SET(HighCut),    QUILL_SET(BassCutHz),  QUILL_SET(HighCutHz)};
  }
};
struct ChorusCase {
  static constexpr const char* kName = "twchorus";
  using E = ChorusEngine;
  using Traits = ChorusTraits;
  static std::vector<Setter<E>> Setters() {
    return {QUILL_SET(InputGain), QUILL_SET(DryOut),       QUILL_SET(ChorusOut), QUILL_SET(ChorusSize),
            QUILL_SET(Feedback),  QUILL_SET(InvertChorus), QUILL_SET(Delay),     QUILL_SET(ModRate),
            QUILL_SET(ModDepth),  QUILL_SET(HighCut),      QUILL_SET(HighCutHz), QUILL_SET(InvertFeedback)};
  }
};
struct TimeCase {
  static constexpr const char* kName = "twtime";
  using E = TimeEngine;
  using Traits = TimeTraits;
  static std::vector<Setter<E>> Setters() {
    return {QUILL_SET(Final), QUILL_SET(Mode), QUILL_SET(Tempo), QUILL_SET(Length), QUILL_SET(InputFormat)};
  }
};
struct PitchCase {
  static constexpr const char* kName = "twpitchs";
  using E = PitchEngine;
  using Traits = PitchTraits;
  static std::vector<Setter<E>> Setters() {
    return {QUILL_SET(Semitones), QUILL_SET(Cents), QUILL_SET(Accuracy),  QUILL_SET(Preserve),
            QUILL_SET(Mode),      QUILL_SET(Ratio), QUILL_SET(AntiAlias), QUILL_SET(Length)};
  }
};
#undef QUILL_SET

// What the edit threads count; a failed expectation is reported by gtest,
// which may be called from any thread.
struct Counts {
  std::atomic<int> edits{0}, saves{0}, loads{0}, streams{0};
};

template <class Case>
void Edit(typename Case::E& engine, std::uint32_t seed, Clock::time_point until, Counts& counts) {
  using E = typename Case::E;
  using Params = typename E::Params;
  const FieldTable table = Case::Traits::Fields();
  const std::vector<Setter<E>> setters = Case::Setters();
  Noise n{seed};
  std::vector<std::uint8_t> lastSaved;
  while (Clock::now() < until) {
    switch (n.Below(5)) {
      case 0: {
        const HRESULT hr = setters[n.Below(static_cast<std::uint32_t>(setters.size()))](engine, n);
        EXPECT_TRUE(hr == S_OK || hr == E_INVALIDARG) << std::hex << hr;
        // A page reads the format too, while the streaming thread sets it.
        AudioFormat format;
        const HRESULT got = engine.GetFormat(&format);
        EXPECT_TRUE(got == S_OK || got == VFW_E_NOT_CONNECTED) << std::hex << got;
        if constexpr (fault::kCopying<E>) {
          std::uint32_t rate = 0;
          engine.GetSampleRate(&rate);
          EXPECT_NE(rate, 0u);
        }
        break;
      }
      case 1: {
        // Any bits at all, or a preset with one word changed.
        Params p;
        if (n.Below(2) == 0) {
          for (std::size_t i = 0; i < sizeof p; i += 4) {
            const std::uint32_t w = n.Next();
            std::memcpy(reinterpret_cast<unsigned char*>(&p) + i, &w, 4);
          }
        } else {
          p = Case::Traits::Presets()[n.Below(static_cast<std::uint32_t>(E::PresetCount()))].params;
          const std::uint32_t w = n.Next();
          std::memcpy(reinterpret_cast<unsigned char*>(&p) + 4 * n.Below(sizeof p / 4), &w, 4);
        }
        const HRESULT hr = engine.SetParams(&p);
        EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << std::hex << hr;
        break;
      }
      case 2: {
        const std::int32_t index = static_cast<std::int32_t>(n.Below(E::PresetCount() + 2)) - 1;
        const bool valid = index >= 0 && index < E::PresetCount();
        EXPECT_EQ(engine.ApplyPreset(index), valid ? S_OK : E_INVALIDARG) << index;
        break;
      }
      case 3: {
        test::MemoryStream s;
        EXPECT_EQ(engine.Save(&s, n.Below(2) == 0), S_OK);
        EXPECT_EQ(s.bytes.size(), E::StreamSize());
        if (s.bytes.size() == E::StreamSize()) {
          const FieldInfo* bad = fault::OutOfRange(table, s.bytes.data() + kStreamHeaderSize);
          EXPECT_EQ(bad, nullptr) << "saved " << bad->name;
          lastSaved = s.bytes;
        }
        ++counts.saves;
        break;
      }
      default: {
        // The last save (taken whole, S_OK), or its header before random words.
        test::MemoryStream s;
        const bool saved = !lastSaved.empty() && n.Below(2) == 0;
        if (!lastSaved.empty()) {
          s.bytes = lastSaved;
          if (!saved)
            for (std::size_t i = kStreamHeaderSize; i + 4 <= s.bytes.size(); i += 4) {
              const std::uint32_t w = n.Next();
              std::memcpy(s.bytes.data() + i, &w, 4);
            }
        }
        const HRESULT hr = engine.Load(&s);
        if (lastSaved.empty())
          EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        else if (saved)
          EXPECT_EQ(hr, S_OK);
        else
          EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << std::hex << hr;
        ++counts.loads;
        break;
      }
    }
    ++counts.edits;
    // Edits at a page's pace, more or less, so that the streaming thread is
    // not starved of the lock or of a core and each buffer meets a few.
    std::this_thread::sleep_for(std::chrono::microseconds(20));
  }
}

template <class Case>
void Stream(typename Case::E& engine, std::uint32_t seed, Clock::time_point until, Counts& counts) {
  using E = typename Case::E;
  Noise n{seed};
  while (Clock::now() < until) {
    const auto kind = static_cast<SampleKind>(n.Below(5));
    const AudioFormat format =
        fault::FormatOf(kind, static_cast<std::uint16_t>(1 + n.Below(2)), fault::kRates[n.Below(5)]);
    std::uint32_t sizes[16];
    for (std::uint32_t& s : sizes) s = 32 + n.Below(480);
    const bool poison = n.Below(2) == 0;
    fault::StreamResult r;
    if constexpr (fault::kCopying<E>)
      r = fault::StreamCopying(engine, format, sizes, n, [](std::size_t) {}, poison);
    else
      r = fault::StreamInPlace(engine, format, sizes, 2, n, [](std::size_t) {}, poison);
    const auto what = [&] {
      return testing::Message() << "kind " << static_cast<int>(kind) << ", " << format.channels << " channels, "
                                << format.sampleRate << " Hz";
    };
    EXPECT_TRUE(r.finite) << what();
    EXPECT_TRUE(r.countsKept);
    EXPECT_TRUE(r.played) << what();
    EXPECT_TRUE(r.recovered) << what();
    EXPECT_TRUE(r.bounded) << what();
    ++counts.streams;
  }
}

template <class Case>
class ThreadedEdits : public ::testing::Test {};
using AllEffects = ::testing::Types<SimpleDelayCase, MultiTapCase, ReverbCase, ChorusCase, TimeCase, PitchCase>;
TYPED_TEST_SUITE(ThreadedEdits, AllEffects);

TYPED_TEST(ThreadedEdits, StreamingWhileTwoThreadsEditLeavesNoRaceAndABlockInRange) {
  using E = typename TypeParam::E;
  E engine;
  Counts counts;
  const Clock::time_point until = Clock::now() + SoakTime();
  std::thread streaming(Stream<TypeParam>, std::ref(engine), 1u, until, std::ref(counts));
  std::thread editA(Edit<TypeParam>, std::ref(engine), 2u, until, std::ref(counts));
  std::thread editB(Edit<TypeParam>, std::ref(engine), 3u, until, std::ref(counts));
  streaming.join();
  editA.join();
  editB.join();

  typename E::Params last;
  ASSERT_EQ(engine.GetParams(&last), S_OK);
  const FieldInfo* bad = fault::OutOfRange(TypeParam::Traits::Fields(), &last);
  EXPECT_EQ(bad, nullptr) << bad->name;
  std::printf("%s: %d streams, %d edits (%d saves, %d loads)\n", TypeParam::kName, counts.streams.load(),
              counts.edits.load(), counts.saves.load(), counts.loads.load());
  // Both sides did their work while the other was at it.
  EXPECT_GT(counts.streams.load(), 0);
  EXPECT_GT(counts.saves.load(), 0);
  EXPECT_GT(counts.loads.load(), 0);
  EXPECT_GT(counts.edits.load(), 20);
}

}  // namespace
}  // namespace quill
