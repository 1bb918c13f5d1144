// The parameter-block machinery every effect shares, through the simple
// delay's parameter interface: the changed and dirty flags, notification
// slots, presets and the persisted stream. Each effect's own rows are in
// effect_blocks_test.cpp.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>
#include <utility>

#include "framework/effect_engine.h"
#include "tests/native/test_support.h"
#include "tools/common/wav_file.h"
#include "twechos/simple_delay_engine.h"

namespace quill {
namespace {

using test::MemoryStream;
using test::Window;

// The simple delay on a format, so that a restart takes the snapshot a
// buffer would and with it the changed flag.
struct Delay : SimpleDelayEngine {
  AudioFormat format = MakeFormat(1, 1, 1000, 16);
  Delay() { SetFormat(&format); }
  // Whether a change and an unsaved edit are pending; the change is then taken.
  std::pair<bool, bool> ChangedAndDirty() {
    const std::pair<bool, bool> flags{Changed(), IsDirty()};
    EXPECT_EQ(Restart(), S_OK);
    return flags;
  }
  SimpleDelayParams Params() {
    SimpleDelayParams p;
    EXPECT_EQ(GetParams(&p), S_OK);
    return p;
  }
};
bool SameParams(const SimpleDelayParams& a, const SimpleDelayParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
constexpr std::pair<bool, bool> kBoth{true, true}, kNeither{false, false};

TEST(ParameterBlock, NewEngineIsChangedButNotDirtyAndPresetsAreEdits) {
  SimpleDelayEngine bare;
  AudioFormat f;
  EXPECT_EQ(bare.GetFormat(&f), VFW_E_NOT_CONNECTED);
  std::int32_t bg = 0;
  EXPECT_EQ(bare.GetBackground(&bg), S_OK);
  EXPECT_EQ(bg, 1);
  Delay e;
  EXPECT_EQ(e.ChangedAndDirty(), std::pair(true, false));
  EXPECT_EQ(e.ChangedAndDirty(), kNeither);
  ASSERT_EQ(e.ApplyPreset(0), S_OK);  // the same values, but an edit until the owner marks it clean
  e.MarkClean();
  EXPECT_EQ(e.ChangedAndDirty(), std::pair(true, false));
}

TEST(ParameterBlock, SettersStoreOnlyDifferencesAndAlwaysSucceed) {
  Delay e;
  e.ChangedAndDirty();
  EXPECT_EQ(e.SetDelay(9000), S_OK);
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
  MemoryStream sink;
  ASSERT_EQ(e.Save(&sink, true), S_OK);  // clears dirty
  EXPECT_EQ(e.SetDelay(5000), S_OK);     // the same value: nothing happens
  EXPECT_EQ(e.SetDelay(6000), S_OK);     // clamped to the same value: nothing either
  EXPECT_EQ(e.ChangedAndDirty(), kNeither);
  EXPECT_EQ(e.SetDryOut(-5000), S_OK);  // an unranged field
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
  // A whole block marks both even when nothing differs.
  const SimpleDelayParams same = e.Params();
  ASSERT_EQ(e.Save(&sink, true), S_OK);
  EXPECT_EQ(e.SetParams(&same), S_OK);
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
  EXPECT_EQ(e.SetParams(nullptr), E_POINTER);
  EXPECT_EQ(e.GetDelay(nullptr), E_POINTER);
}

TEST(NotifySlots, RegisterReplaceFreeAndOverflow) {
  Delay e;
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
  test::FakeWindows windows;
  test::ScopedNotifyHost scope(&windows);
  Delay e;
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
}

TEST(Presets, CountNamesAndRangeChecks) {
  Delay e;
  EffectPresets<Delay> presets(e);
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

TEST(Persistence, SaveClearsDirtyOnlyOnRequestAndFailedWritesKeepIt) {
  Delay e;
  e.ApplyPreset(1);
  MemoryStream s;
  ASSERT_EQ(e.Save(&s, false), S_OK);
  EXPECT_TRUE(e.IsDirty());
  EXPECT_TRUE(s.bytes == test::StreamOf(SimpleDelayParams{1, 400, 20, -30, -90}, IID_ISimpleDelayParams).bytes);
  for (int failing = 0; failing < 2; ++failing) {  // the header, then the block
    MemoryStream broken;
    broken.failCall = failing;
    broken.failWith = STG_E_WRITEFAULT;
    EXPECT_EQ(e.Save(&broken, true), STG_E_WRITEFAULT);
    EXPECT_TRUE(e.IsDirty());
  }
  ASSERT_EQ(e.Save(&s, true), S_OK);
  EXPECT_FALSE(e.IsDirty());
}

TEST(Persistence, LoadTouchesNeitherFlagAndRefusesForeignStreamsWhole) {
  Delay source, target;
  source.ApplyPreset(3);
  source.SetDryOut(-123);
  MemoryStream s;
  ASSERT_EQ(source.Save(&s, true), S_OK);
  target.ChangedAndDirty();
  ASSERT_EQ(target.Load(&s), S_OK);
  EXPECT_TRUE(SameParams(source.Params(), target.Params()));
  EXPECT_EQ(target.ChangedAndDirty(), kNeither);
  const SimpleDelayParams before = target.Params(), other{0, 10, 1, 0, -800};
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
    MemoryStream in = test::StreamOf(other, *c.id, c.total);
    in.failCall = c.failCall;
    in.bytes.resize(c.bytes);
    const HRESULT hr = target.Load(&in);
    if (c.hr == S_OK)
      EXPECT_TRUE(FAILED(hr)) << c.bytes;
    else
      EXPECT_EQ(hr, c.hr) << c.total << " " << c.failCall;
  }
  EXPECT_TRUE(SameParams(before, target.Params()));
}

TEST(Identifiers, PageIsFilterPlusOneAndInterfacePlusThree) {
  const GUID filters[] = {CLSID_TwTime, CLSID_TwPitchs, CLSID_TwEchos, CLSID_TwEchomt, CLSID_TwReverb, CLSID_TwChorus};
  const GUID pages[] = {CLSID_TwTimePage,   CLSID_TwPitchsPage, CLSID_TwEchosPage,
                        CLSID_TwEchomtPage, CLSID_TwReverbPage, CLSID_TwChorusPage};
  const GUID params[] = {IID_ITimeParams,   IID_IPitchParams,  IID_ISimpleDelayParams,
                         IID_IMultiTapParams, IID_IReverbParams, IID_IChorusParams};
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(OffsetGuid(filters[i], 1) == pages[i]) << i;
    EXPECT_TRUE(OffsetGuid(filters[i], 3) == params[i]) << i;
  }
  EXPECT_EQ(IID_ISimpleDelayParams.Data1, 0x54F29263u);
}

}  // namespace
}  // namespace quill
