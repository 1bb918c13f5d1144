// The parameter-block machinery every effect shares, through the simple delay: flags,
// notification slots, preset names and the persisted stream's failures.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/effect_engine.h"
#include "tests/native/test_support.h"
#include "tools/common/wav_file.h"
#include "twechos/simple_delay_engine.h"

namespace quill {
namespace {

using test::MemoryStream;

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
bool Same(const SimpleDelayParams& a, const SimpleDelayParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
constexpr std::pair<bool, bool> kBoth{true, true}, kNeither{false, false}, kChangedOnly{true, false};

TEST(ParameterBlock, FlagsFollowRealChangesWholeBlocksAndPresets) {
  Delay e;
  AudioFormat f;
  std::int32_t bg = 0;
  EXPECT_EQ(SimpleDelayEngine().GetFormat(&f), VFW_E_NOT_CONNECTED);
  EXPECT_EQ((std::pair{e.GetBackground(&bg), bg}), std::pair(S_OK, 1));  // braces: the call first
  EXPECT_EQ(e.ChangedAndDirty(), kChangedOnly);  // a new engine sets up at its first buffer, nothing to save
  EXPECT_EQ(e.SetDelay(9000), S_OK);
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
  MemoryStream sink;
  ASSERT_EQ(e.Save(&sink, true), S_OK);  // clears dirty
  EXPECT_EQ(e.SetDelay(5000), S_OK);     // the same value: nothing happens
  EXPECT_EQ(e.SetDelay(6000), S_OK);     // clamped to the same value: nothing either
  EXPECT_EQ(e.ChangedAndDirty(), kNeither);
  const SimpleDelayParams same = e.Params();
  EXPECT_EQ(e.SetParams(&same), S_OK);  // a whole block marks both even when nothing differs
  EXPECT_EQ(e.ChangedAndDirty(), kBoth);
  ASSERT_EQ(e.ApplyPreset(0), S_OK);  // so does a preset, until the owner marks it clean
  e.MarkClean();
  EXPECT_EQ(e.ChangedAndDirty(), kChangedOnly);
  EXPECT_EQ(std::tuple(e.SetParams(nullptr), e.GetDelay(nullptr), e.GetParams(nullptr)),
            std::tuple(E_POINTER, E_POINTER, E_POINTER));
}

// Windows that may vanish, and what was posted to them.
struct FakeWindows : NotifyHost {
  std::set<HWND> alive;
  std::vector<std::tuple<HWND, std::uint16_t, std::uint16_t>> posts;
  bool WindowExists(HWND w) override { return alive.count(w) != 0; }
  void PostCommand(HWND w, std::uint16_t id, std::uint16_t code) override { posts.emplace_back(w, id, code); }
};
HWND Window(std::uintptr_t n) { return reinterpret_cast<HWND>(n * 0x100); }

TEST(NotifySlots, RegisterReplaceFreeOverflowAndPost) {
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
  FakeWindows windows;
  NotifyHost* previous = SetNotifyHost(&windows);
  windows.alive = {a, b};
  e.NotifyFormat(1);
  EXPECT_EQ(windows.posts, (std::vector<std::tuple<HWND, std::uint16_t, std::uint16_t>>{{b, 11, 1}, {a, 20, 1}}));
  windows.alive.erase(b);  // a vanished window's slot is emptied
  e.NotifyFormat(0);
  EXPECT_EQ(windows.posts.back(), std::tuple(a, std::uint16_t{20}, std::uint16_t{0}));
  EXPECT_EQ(std::tuple(windows.posts.size(), e.Slot(0).window), std::tuple(3u, HWND{}));
  SetNotifyHost(previous);
  EXPECT_EQ(e.RegisterNotify(a, 0), S_OK);  // frees its slot for another
  EXPECT_EQ(e.RegisterNotify(c, 12), S_OK);
  EXPECT_EQ(e.Slot(1).window, c);
}

TEST(Presets, CountNamesAndRangeChecks) {
  Delay e;
  EffectPresets<Delay> presets(e);
  std::int32_t count = 0;
  EXPECT_EQ((std::pair{presets.GetPresetCount(&count), count}), std::pair(S_OK, 6));
  WCHAR name[64], small[6];
  EXPECT_EQ(presets.GetPresetName(4, name, 64), S_OK);
  const char* expected = "Shift selection forwards  (select one channel only)";
  for (std::size_t i = 0; i <= std::strlen(expected); ++i) ASSERT_EQ(name[i], static_cast<WCHAR>(expected[i])) << i;
  EXPECT_EQ(presets.GetPresetName(1, small, 6), S_OK);  // cut short and terminated
  EXPECT_EQ((std::array{small[3], small[4], small[5]}), (std::array<WCHAR, 3>{'o', ' ', 0}));
  for (int bad : {6, -1})
    EXPECT_EQ(std::pair(presets.GetPresetName(bad, name, 64), presets.ApplyPreset(bad)),
              std::pair(E_INVALIDARG, E_INVALIDARG))
        << bad;
}

TEST(Persistence, SaveAndLoadKeepTheFlagsAsTheOwnerNeedsThemAndRefuseWhatFails) {
  Delay source, target;
  source.ApplyPreset(3);
  source.SetDryOut(-123);
  for (int failing = 0; failing < 2; ++failing) {  // the header, then the block
    MemoryStream broken;
    broken.failCall = failing;
    broken.failWith = STG_E_WRITEFAULT;
    EXPECT_EQ(source.Save(&broken, true), STG_E_WRITEFAULT);
    EXPECT_TRUE(source.IsDirty());
  }
  MemoryStream s;
  ASSERT_EQ(source.Save(&s, false), S_OK);
  EXPECT_TRUE(source.IsDirty());
  target.ChangedAndDirty();
  ASSERT_EQ(target.Load(&s), S_OK);
  EXPECT_TRUE(Same(source.Params(), target.Params()));
  EXPECT_EQ(target.ChangedAndDirty(), kNeither);  // the next restart picks the block up
  // Wrong size, wrong id, the header read failing, the block read failing, a short stream.
  const SimpleDelayParams before = target.Params(), other{0, 10, 1, 0, -800};
  const std::tuple<std::uint32_t, const GUID*, int, std::size_t, HRESULT> cases[] = {
      {41, &IID_ISimpleDelayParams, -1, 40, E_FAIL},        {40, &CLSID_TwEchos, -1, 40, E_FAIL},
      {40, &IID_ISimpleDelayParams, 0, 40, STG_E_READFAULT}, {40, &IID_ISimpleDelayParams, 1, 40, STG_E_READFAULT},
      {40, &IID_ISimpleDelayParams, -1, 30, STG_E_READFAULT}};
  for (const auto& [total, id, failCall, bytes, hr] : cases) {
    MemoryStream in = test::StreamOf(other, *id, total);
    in.failCall = failCall;
    in.bytes.resize(bytes);
    EXPECT_EQ(target.Load(&in), hr) << total << " " << failCall << " " << bytes;
  }
  EXPECT_TRUE(Same(before, target.Params()));
}

}  // namespace
}  // namespace quill
