// The time engine: its format selection, refused calls, and how it picks
// parameter changes up while streaming.
#include "twtime/time_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "tests/native/copying_rig.h"
#include "tests/native/test_support.h"

namespace quill {
namespace {

using test::Time;
using test::TimeRig;

// One Process call of `take` frames into `space` frames of room; the counts come back in n and room.
template <class S>
HRESULT Step(TimeEngine& e, S* in, std::uint32_t& n, std::uint32_t take, S* out, std::uint32_t& room,
             std::uint32_t space) {
  n = take;
  room = space;
  return e.Process(ProcessMode::Continue, in, &n, out, &room);
}

TEST(TimeFormat, SelectFormatRefusesWhatItCannotProcessAndKeepsThePrevious) {
  TimeEngine engine;
  std::uint32_t rate = 0;
  EXPECT_EQ(engine.GetSampleRate(&rate), E_FAIL);
  EXPECT_EQ(rate, 44100u);
  const AudioFormat good = MakeFormat(1, 1, 8000, 16);
  ASSERT_EQ(engine.SelectFormat(&good), S_OK);
  EXPECT_EQ(engine.GetSampleRate(&rate), S_OK);
  EXPECT_EQ(rate, 8000u);
  EXPECT_EQ(engine.SelectFormat(nullptr), E_POINTER);
  for (const AudioFormat& bad : {MakeFormat(1, 1, 8000, 24), MakeFormat(2, 1, 8000, 16), MakeFormat(1, 3, 8000, 16)})
    EXPECT_EQ(engine.SelectFormat(&bad), E_FAIL) << bad.formatTag << "/" << bad.channels << "/" << bad.bitsPerSample;
  // Still 16-bit mono, row 0 at 8000 Hz: 2400 frames fill the window exactly
  // and the first hop of 1200 is copied unfaded.
  std::vector<std::int16_t> in(2400, 1000), out(1200);
  std::uint32_t n, room;
  ASSERT_EQ(Step(engine, in.data(), n, 2400, out.data(), room, 1200), S_OK);
  EXPECT_EQ(std::tuple(n, room, out[0]), std::tuple(2400u, 1200u, std::int16_t{1000}));
  // Any tag other than integer PCM with 32 or 64 bits is read as float.
  const AudioFormat extensible = MakeFormat(0xFFFE, 1, 8000, 64);
  ASSERT_EQ(engine.SelectFormat(&extensible), S_OK);
  std::vector<double> fin(2400, 0.25), fout(1200);
  ASSERT_EQ(Step(engine, fin.data(), n, 2400, fout.data(), room, 1200), S_OK);
  EXPECT_EQ(std::tuple(room, fout[0]), std::tuple(1200u, 0.25));
}

TEST(TimeProcess, RefusesBadCallsAndUnconnectedUse) {
  TimeEngine engine;
  std::int16_t buf[16] = {};
  std::uint32_t n = 4, room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Continue, buf, &n, buf, &room), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(n, 0u);
  room = 4;
  EXPECT_EQ(engine.Process(ProcessMode::Tail, nullptr, nullptr, buf, &room), S_FALSE);
  EXPECT_EQ(room, 0u);
  const AudioFormat f = MakeFormat(1, 1, 8000, 16);
  ASSERT_EQ(engine.SelectFormat(&f), S_OK);
  EXPECT_EQ(Step<std::int16_t>(engine, nullptr, n, 4, buf, room, 4), E_POINTER);
  EXPECT_EQ(Step<std::int16_t>(engine, buf, n, 4, nullptr, room, 4), E_POINTER);
  // Missing counts are zero: nothing to take, nothing written back.
  EXPECT_EQ(engine.Process(ProcessMode::Continue, nullptr, nullptr, nullptr, nullptr), S_OK);
  // A mode outside the table is refused until a valid one is set.
  for (std::int32_t bad : {19, -1}) {
    engine.SetMode(bad);
    EXPECT_EQ(Step(engine, buf, n, 4, buf, room, 4), E_INVALIDARG) << bad;
    EXPECT_EQ(n, 0u);
  }
  engine.SetMode(16);
  EXPECT_EQ(Step(engine, buf, n, 4, buf, room, 4), S_OK);
  EXPECT_EQ(n, 4u);
  const AudioFormat slow = MakeFormat(1, 1, 20, 16);  // a rate too low for any window
  EXPECT_EQ(engine.SelectFormat(&slow), E_INVALIDARG);
}

TEST(TimeProcess, MissingMemoryFailsUntilAConfigureSucceeds) {
  TimeEngine engine;
  const AudioFormat f = MakeFormat(1, 2, 8000, 16);
  std::vector<std::int16_t> in(2 * 2400, 100), out(2 * 1200);
  std::uint32_t n, room;
  {
    test::RefuseLines refuse;
    EXPECT_EQ(engine.SelectFormat(&f), E_OUTOFMEMORY);
    EXPECT_EQ(Step(engine, in.data(), n, 400, out.data(), room, 400), E_OUTOFMEMORY);
    EXPECT_EQ(std::tuple(n, room), std::tuple(0u, 0u));
    room = 400;
    EXPECT_EQ(engine.Process(ProcessMode::Tail, nullptr, nullptr, out.data(), &room), S_FALSE);
  }
  EXPECT_EQ(Step(engine, in.data(), n, 2400, out.data(), room, 1200), S_OK);  // row 0: a full window
  EXPECT_EQ(std::tuple(n, room), std::tuple(2400u, 1200u));
}

// At r = 1 every frame fed since the window was last emptied comes out again.
TEST(TimeProcess, WholeBlockSetsDropTheWindowAndLightChangesKeepIt) {
  const struct {
    const char* what;
    void (*edit)(TimeEngine&);
    std::uint32_t frames;
  } edits[] = {{"tempo", [](TimeEngine& e) { e.SetTempo(900); }, 160},
               {"same block", [](TimeEngine& e) {
                  TimeParams p;
                  e.GetParams(&p);
                  e.SetParams(&p);
                }, 10},
               {"mode", [](TimeEngine& e) { e.SetMode(15); }, 10}};
  for (const auto& edit : edits) {
    TimeRig<Pcm16> rig(1, 8000, Time(16, 1000.0));
    std::vector<std::int16_t> out = rig.Feed(rig.Make(150, [](std::uint32_t, std::uint32_t) { return 0.1; }), 150, 1000);
    edit.edit(rig.engine);
    const auto rest = rig.Stream(rig.Make(10, [](std::uint32_t, std::uint32_t) { return 0.1; }), 10, 1000);
    EXPECT_EQ(out.size() + rest.size(), edit.frames) << edit.what;
  }
}

TEST(TimeProcess, AFlushDoesNotPickUpChangesButTheNextStreamDoes) {
  TimeRig<Float32> rig(1, 8000, Time(16, 1000.0));
  const auto out = rig.Feed(rig.Make(1000, [](std::uint32_t f, std::uint32_t) { return 0.001 * (f % 100); }), 100, 64);
  rig.engine.SetFinal(2000.0);
  EXPECT_EQ(rig.Frames(out) + rig.Frames(rig.Flush(64)), 1000u);  // still at r = 1
  const auto next = rig.Stream(rig.Make(4000, [](std::uint32_t, std::uint32_t) { return 0.1; }), 4000, 64, true);
  EXPECT_NEAR(rig.Frames(next), 8000.0, 400.0);
}

}  // namespace
}  // namespace quill
