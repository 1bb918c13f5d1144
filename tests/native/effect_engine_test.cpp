// The parameter-block machinery, exercised through the simple delay's
// parameter interface: clamping and flags, notification slots, presets and
// the persisted stream.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>
#include <utility>

#include "framework/effect_engine.h"
#include "tests/native/test_support.h"
#include "twechos/simple_delay_engine.h"

namespace quill {
namespace {

using test::FakeWindows;
using test::MemoryStream;
using test::Window;

bool SameParams(const SimpleDelayParams& a, const SimpleDelayParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Probe : SimpleDelayEngine {
  // Consumes the changed flag, as the engine does at the start of a buffer.
  bool TakeChanged() {
    SimpleDelayParams p;
    return TakeSnapshot(p);
  }
  std::pair<bool, bool> ChangedAndDirty() { return {TakeChanged(), IsDirty()}; }
  SimpleDelayParams Params() {
    SimpleDelayParams p;
    EXPECT_EQ(GetParams(&p), S_OK);
    return p;
  }
};
constexpr std::pair<bool, bool> kBoth{true, true}, kNeither{false, false};

// A stream holding a header and block as given.
MemoryStream StreamOf(std::uint32_t total, const GUID& id, const SimpleDelayParams& p) {
  MemoryStream s;
  s.bytes.resize(40);
  std::memcpy(s.bytes.data(), &total, 4);
  std::memcpy(s.bytes.data() + 4, &id, 16);
  std::memcpy(s.bytes.data() + 20, &p, 20);
  return s;
}

TEST(ParameterBlock, NewEngineHoldsDefaultPresetChangedButNotDirty) {
  Probe e;
  EXPECT_TRUE(SameParams(e.Params(), SimpleDelayParams{0, 100, 1, -60, -60}));
  EXPECT_FALSE(e.IsDirty());
  // Applying a preset is an edit like any other, until the owner marks it clean.
  ASSERT_EQ(e.ApplyPreset(0), S_OK);
  EXPECT_TRUE(e.IsDirty());
  e.MarkClean();
  EXPECT_FALSE(e.IsDirty());
  std::int32_t bg = 0;
  EXPECT_EQ(e.GetBackground(&bg), S_OK);
  EXPECT_EQ(bg, 1);
  AudioFormat f;
  EXPECT_EQ(e.GetFormat(&f), VFW_E_NOT_CONNECTED);
  EXPECT_TRUE(e.TakeChanged());
  EXPECT_FALSE(e.TakeChanged());
}

// Each effect's ranges are in effect_blocks_test.cpp; here, what a setter
// does with the flags.
TEST(ParameterBlock, SettersClampStoreOnlyDifferencesAndAlwaysSucceed) {
  Probe e;
  e.TakeChanged();
  EXPECT_EQ(e.SetDelay(9000), S_OK);
  std::int32_t v = 0;
  e.GetDelay(&v);
  EXPECT_EQ(v, 5000);
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
  MemoryStream sink;
  ASSERT_EQ(e.Save(&sink, true), S_OK);  // clears dirty
  EXPECT_EQ(e.SetDelay(5000), S_OK);     // same value: nothing happens
  EXPECT_EQ(e.SetDelay(6000), S_OK);     // clamped to the same value: nothing either
  EXPECT_EQ(e.ChangedAndDirty(), kNeither);
  EXPECT_EQ(e.SetDryOut(-5000), S_OK);  // an unranged field, changed
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
}

TEST(ParameterBlock, SetParamsKeepsClampedValuesAndReportsFail) {
  Probe e;
  const std::pair<SimpleDelayParams, SimpleDelayParams> steps[] = {{{1, 0, 20, -30, 33}, {1, 1, 20, -30, 33}},
                                                                   {{0, 6000, 0, 10, 0}, {0, 5000, 1, 0, 0}}};
  for (const auto& [in, kept] : steps) {
    EXPECT_EQ(e.SetParams(&in), E_FAIL);
    EXPECT_TRUE(SameParams(e.Params(), kept)) << in.delayMs;
  }
  const SimpleDelayParams out = e.Params();
  // An in-range block is stored as it is; flags are set even when nothing differs.
  e.TakeChanged();
  EXPECT_EQ(e.SetParams(&out), S_OK);
  EXPECT_TRUE(e.TakeChanged());
  EXPECT_EQ(e.SetParams(nullptr), E_POINTER);
}

TEST(NotifySlots, RegisterReplaceFreeAndOverflow) {
  Probe e;
  const HWND a = Window(1), b = Window(2), c = Window(3);
  EXPECT_EQ(e.RegisterNotify(a, 10), S_OK);
  EXPECT_EQ(e.RegisterNotify(b, 11), S_OK);
  EXPECT_EQ(e.RegisterNotify(c, 12), E_OUTOFMEMORY);
  EXPECT_EQ(e.RegisterNotify(c, 0), S_OK);  // unregistering the unknown: nothing to do
  // The last empty slot is taken first, so `a` sits in slot 1.
  EXPECT_EQ(std::tuple(e.Slot(0).window, e.Slot(1).window), std::tuple(b, a));
  EXPECT_EQ(e.RegisterNotify(a, 20), S_OK);  // same window: new id, same slot
  EXPECT_EQ(std::tuple(e.Slot(1).window, e.Slot(1).id), std::tuple(a, 20));
  EXPECT_EQ(e.RegisterNotify(a, 0), S_OK);  // frees its slot
  EXPECT_EQ(e.Slot(1).window, nullptr);
  EXPECT_EQ(e.RegisterNotify(c, 12), S_OK);
  EXPECT_EQ(e.Slot(1).window, c);
}

TEST(NotifySlots, FormatNotificationPostsAndDropsVanishedWindows) {
  FakeWindows windows;
  test::ScopedNotifyHost scope(&windows);
  Probe e;
  const HWND a = Window(1), b = Window(2);
  windows.alive = {a, b};
  e.RegisterNotify(a, 32700);
  e.RegisterNotify(b, 5);
  e.NotifyFormat(1);
  ASSERT_EQ(windows.posts.size(), 2u);
  EXPECT_EQ((std::tuple{windows.posts[0].window, windows.posts[0].id, windows.posts[0].code}), (std::tuple{b, 5, 1}));
  EXPECT_EQ((std::tuple{windows.posts[1].window, windows.posts[1].id}), (std::tuple{a, 32700}));
  windows.alive.erase(b);
  windows.posts.clear();
  e.NotifyFormat(0);
  ASSERT_EQ(windows.posts.size(), 1u);
  EXPECT_EQ(std::tuple(windows.posts[0].window, windows.posts[0].code), std::tuple(a, 0));
  EXPECT_EQ(e.Slot(0).window, nullptr);  // b's slot was emptied
  EXPECT_EQ(e.RegisterNotify(Window(9), 1), S_OK);
}

TEST(Presets, CountNamesAndRangeChecks) {
  Probe e;
  EffectPresets<Probe> presets(e);
  std::int32_t count = 0;
  EXPECT_EQ(presets.GetPresetCount(&count), S_OK);
  EXPECT_EQ(count, 6);
  WCHAR name[64];
  EXPECT_EQ(presets.GetPresetName(4, name, 64), S_OK);
  const char* expected = "Shift selection forwards  (select one channel only)";
  for (std::size_t i = 0; i <= std::strlen(expected); ++i) ASSERT_EQ(name[i], static_cast<WCHAR>(expected[i])) << i;
  WCHAR small[6];
  EXPECT_EQ(presets.GetPresetName(1, small, 6), S_OK);
  EXPECT_EQ((std::array{small[3], small[4], small[5]}), (std::array<WCHAR, 3>{'o', ' ', 0}));
  for (int bad : {6, -1}) {
    EXPECT_EQ(presets.GetPresetName(bad, name, 64), E_INVALIDARG) << bad;
    EXPECT_EQ(presets.ApplyPreset(bad), E_INVALIDARG) << bad;
  }
  EXPECT_EQ(presets.ApplyPreset(3), S_OK);
  EXPECT_TRUE(SameParams(e.Params(), SimpleDelayParams{1, 1000, 30, -140, -40}));
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
}

TEST(Persistence, SaveWritesHeaderAndBlockAndClearsDirtyOnRequest) {
  Probe e;
  e.ApplyPreset(1);
  MemoryStream s;
  ASSERT_EQ(e.Save(&s, false), S_OK);
  EXPECT_TRUE(e.IsDirty());
  ASSERT_EQ(s.bytes.size(), 40u);
  EXPECT_EQ(e.StreamSize(), 40u);
  EXPECT_TRUE(s.bytes == StreamOf(40, IID_ISimpleDelayParams, SimpleDelayParams{1, 400, 20, -30, -90}).bytes);
  MemoryStream again;
  ASSERT_EQ(e.Save(&again, true), S_OK);
  EXPECT_FALSE(e.IsDirty());
}

TEST(Persistence, FailedWritesReturnTheirCodeAndKeepDirty) {
  for (int failing = 0; failing < 2; ++failing) {
    Probe e;
    e.ApplyPreset(2);
    MemoryStream s;
    s.failCall = failing;
    s.failWith = STG_E_WRITEFAULT;
    EXPECT_EQ(e.Save(&s, true), STG_E_WRITEFAULT);
    EXPECT_TRUE(e.IsDirty());
  }
}

TEST(Persistence, RoundTripRestoresBlockWithoutTouchingFlags) {
  Probe source, target;
  source.ApplyPreset(3);
  source.SetDryOut(-123);
  MemoryStream s;
  ASSERT_EQ(source.Save(&s, true), S_OK);
  target.TakeChanged();
  ASSERT_EQ(target.Load(&s), S_OK);
  EXPECT_TRUE(SameParams(source.Params(), target.Params()));
  EXPECT_EQ(target.ChangedAndDirty(), kNeither);
}

TEST(Persistence, LoadRefusesForeignStreamsAndLeavesBlockUntouched) {
  Probe e;
  e.ApplyPreset(1);
  const SimpleDelayParams before = e.Params(), other{0, 10, 1, 0, -800};
  // Wrong size, wrong id, the header read failing, the block read failing, a short stream.
  const struct {
    std::uint32_t total;
    const GUID* id;
    int failCall;
    std::size_t bytes;
    HRESULT hr;
  } cases[] = {{41, &IID_ISimpleDelayParams, -1, 40, E_FAIL},
               {40, &CLSID_TwEchos, -1, 40, E_FAIL},
               {40, &IID_ISimpleDelayParams, 0, 40, STG_E_READFAULT},
               {40, &IID_ISimpleDelayParams, 1, 40, STG_E_READFAULT},
               {40, &IID_ISimpleDelayParams, -1, 30, S_OK}};
  for (const auto& c : cases) {
    MemoryStream s = StreamOf(c.total, *c.id, other);
    s.failCall = c.failCall;
    s.bytes.resize(c.bytes);
    const HRESULT hr = e.Load(&s);
    if (c.hr == S_OK)
      EXPECT_TRUE(FAILED(hr)) << c.bytes;
    else
      EXPECT_EQ(hr, c.hr) << c.total << " " << c.failCall;
  }
  EXPECT_TRUE(SameParams(before, e.Params()));
}

TEST(Persistence, LoadClampsOutOfRangeFieldsAndReportsFail) {
  Probe e;
  MemoryStream s = StreamOf(40, IID_ISimpleDelayParams, SimpleDelayParams{1, 0, 999, 50, 400});
  EXPECT_EQ(e.Load(&s), E_FAIL);
  EXPECT_TRUE(SameParams(e.Params(), SimpleDelayParams{1, 1, 200, 0, 400}));
}

TEST(Identifiers, PageIsFilterPlusOneAndInterfacePlusThree) {
  const GUID filters[] = {CLSID_TwTime, CLSID_TwPitchs, CLSID_TwEchos, CLSID_TwEchomt, CLSID_TwReverb, CLSID_TwChorus};
  const GUID pages[] = {CLSID_TwTimePage,   CLSID_TwPitchsPage, CLSID_TwEchosPage,
                        CLSID_TwEchomtPage, CLSID_TwReverbPage, CLSID_TwChorusPage};
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(OffsetGuid(filters[i], 1) == pages[i]) << i;
  EXPECT_TRUE(OffsetGuid(CLSID_TwEchos, 3) == IID_ISimpleDelayParams);
  EXPECT_EQ(IID_ISimpleDelayParams.Data1, 0x54F29263u);
}

}  // namespace
}  // namespace quill
