// Trackbars and faders as real controls in a real dialog: the range and
// position messages, the notifications the parent receives for each mouse
// and keyboard gesture, the repeat timer, and the drawing read back from the
// screen. A screenshot of the dialog is saved for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ctl_test_support.h"
#include "twctllib.h"
#include "win_support.h"

namespace quill::test {
namespace {

constexpr int kDialogId = 100;
constexpr COLORREF kBackground = RGB(0x40, 0x80, 0x40);  // the dialog's own, unlike any system colour

struct Note {
  UINT message;
  int code;
  int position;
  HWND control;
  DWORD time;
};

std::vector<Note> g_notes;
bool g_answerScrolls = false;  // the dialog sets positions like a page does
HBRUSH g_backgroundBrush = nullptr;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(g_backgroundBrush);
    case WM_HSCROLL:
    case WM_VSCROLL: {
      HWND control = reinterpret_cast<HWND>(lParam);
      const int code = LOWORD(wParam);
      g_notes.push_back(Note{message, code, static_cast<short>(HIWORD(wParam)), control, GetTickCount()});
      if (g_answerScrolls && code != kScrollThumbTrack && code != kScrollThumbPosition) {
        WCHAR name[64] = {};
        GetClassNameW(control, name, 64);
        if (lstrcmpW(name, kFaderClass) == 0) {
          FaderScroll(message, code, control, 1, 10);
        } else {
          TrackbarScroll(message, code, control, 1, 10);
        }
      }
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

std::vector<int> Codes() {
  std::vector<int> codes;
  for (const Note& n : g_notes) codes.push_back(n.code);
  return codes;
}

LPARAM At(int x, int y) {
  return MAKELPARAM(x, y);
}

class SliderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    g_backgroundBrush = CreateSolidBrush(kBackground);
    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kDialogId), nullptr, DialogProc, 0);
    ASSERT_NE(dialog_, nullptr) << GetLastError();
    SetWindowPos(dialog_, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    Pump(300, dialog_);
  }
  static void TearDownTestSuite() {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    dialog_ = nullptr;
    CtlInitialize(FALSE);
    if (g_backgroundBrush != nullptr) DeleteObject(g_backgroundBrush);
  }
  void SetUp() override {
    ASSERT_NE(dialog_, nullptr);
    g_notes.clear();
    g_answerScrolls = false;
  }
  void TearDown() override {
    for (HWND w : made_) DestroyWindow(w);
    if (GetCapture() != nullptr) ReleaseCapture();
    g_answerScrolls = false;
  }

  // A control of exact pixel size in the dialog.
  HWND Make(const wchar_t* cls, DWORD style, int x, int y, int width, int height) {
    HWND w = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, width, height, dialog_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(900 + made_.size())),
                             GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    if (w != nullptr) made_.push_back(w);
    return w;
  }
  static void SetRange(HWND w, int lo, int hi) {
    SendMessageW(w, kCtlSetMinimum, 0, lo);
    SendMessageW(w, kCtlSetMaximum, 0, hi);
  }
  static int Get(HWND w, UINT message) { return static_cast<int>(SendMessageW(w, message, 0, 0)); }
  static int Position(HWND w) { return Get(w, kCtlGetPosition); }

  static HWND dialog_;
  std::vector<HWND> made_;
};

HWND SliderTest::dialog_ = nullptr;

// Page trackbar 200 x 20: thumb 10, arrows 17, so the travel is 173 pixels
// and the thumb's left edge is at position * 173 / range.
constexpr int kTrackW = 200, kTrackH = 20, kTravel = 200 - 17 - 10;

// --- range and position messages ------------------------------------------------------

TEST_F(SliderTest, NewControlsReportZeroToHundredAtFifty) {
  for (const wchar_t* cls : {kTrackbarClass, kFaderClass}) {
    HWND w = Make(cls, 0x0002, 10, 10, 100, 40);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Get(w, kCtlGetMinimum), 0);
    EXPECT_EQ(Get(w, kCtlGetMaximum), 100);
    EXPECT_EQ(Position(w), 50);
  }
  // The template's controls too.
  EXPECT_EQ(Position(GetDlgItem(dialog_, 301)), 50);
  EXPECT_EQ(Get(GetDlgItem(dialog_, 201), kCtlGetMaximum), 100);
}

TEST_F(SliderTest, PositionIsClampedAndRangesMoveIt) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  EXPECT_EQ(SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(0, 200)), 0);
  EXPECT_EQ(SendMessageW(w, kCtlSetPosition, 1, 250), 200);
  EXPECT_EQ(Position(w), 200);
  EXPECT_EQ(SendMessageW(w, kCtlSetPosition, 0, -7), 0);
  EXPECT_EQ(SendMessageW(w, kCtlSetPosition, 1, 100), 100);
  SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(5, 50));
  EXPECT_EQ(Position(w), 50);
  EXPECT_EQ(Get(w, kCtlGetMinimum), 5);
  // Both halves of the range message are signed.
  SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-800), 0));
  EXPECT_EQ(Get(w, kCtlGetMinimum), -800);
  EXPECT_EQ(Get(w, kCtlGetMaximum), 0);
  EXPECT_EQ(Position(w), 0);
  SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-20), static_cast<WORD>(-10)));
  EXPECT_EQ(Position(w), -10);
  // The single-limit messages take full 32-bit values.
  SendMessageW(w, kCtlSetMaximum, 0, 100000);
  SendMessageW(w, kCtlSetMinimum, 0, -100000);
  EXPECT_EQ(SendMessageW(w, kCtlSetPosition, 1, 99999), 99999);
  SendMessageW(w, kCtlSetMaximum, 0, 1000);
  EXPECT_EQ(Position(w), 1000);
  SendMessageW(w, kCtlSetMinimum, 0, 2000);  // above the position
  EXPECT_EQ(Position(w), 2000);
}

// --- mouse ------------------------------------------------------------------------------

TEST_F(SliderTest, HeldChannelSendsButtonDownThenRepeatsEvery250MsUntilReleased) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  POINT where{150, 10};  // after the thumb at 50
  POINT screen = where;
  ASSERT_TRUE(ClientToScreen(w, &screen));
  ASSERT_TRUE(SetCursorPos(screen.x, screen.y));
  Pump(50, dialog_);
  g_notes.clear();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(where.x, where.y));
  EXPECT_EQ(GetCapture(), w);
  ASSERT_EQ(Codes(), (std::vector<int>{kScrollButtonDown, kScrollPageDown}));
  EXPECT_EQ(g_notes[0].message, static_cast<UINT>(WM_HSCROLL));
  EXPECT_EQ(g_notes[0].control, w);
  Pump(1120, dialog_);
  std::vector<int> codes = Codes();
  const auto repeats = std::count(codes.begin(), codes.end(), kScrollPageDown);
  // At once, then about 250, 500, 750 and 1000 ms; a busy machine may delay
  // a tick, but never brings one early.
  EXPECT_GE(repeats, 3);
  EXPECT_LE(repeats, 5);
  for (size_t i = 2; i < g_notes.size(); ++i) {
    const DWORD gap = g_notes[i].time - g_notes[i - 1].time;
    EXPECT_GE(gap, 200u) << i;
    EXPECT_LE(gap, 700u) << i;
  }
  // The pointer leaves the part: no more repeats, though still held.
  screen = POINT{0, 0};
  ASSERT_TRUE(ClientToScreen(w, &screen));
  ASSERT_TRUE(SetCursorPos(screen.x, screen.y - 30));
  Pump(30, dialog_);
  const size_t held = g_notes.size();
  Pump(600, dialog_);
  EXPECT_EQ(g_notes.size(), held);
  SendMessageW(w, WM_LBUTTONUP, 0, At(where.x, where.y));
  EXPECT_EQ(g_notes.back().code, kScrollEnd);
  codes = Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kScrollThumbPosition), 0);
  EXPECT_EQ(GetCapture(), nullptr);
  const size_t after = g_notes.size();
  Pump(400, dialog_);
  EXPECT_EQ(g_notes.size(), after);  // the timer is gone
  EXPECT_EQ(Position(w), 50);        // the control never moved itself
}

TEST_F(SliderTest, ArrowsAndChannelSendTheirCodesAndAPageAnswersThem) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  const struct {
    int x;
    int code;
  } parts[] = {{kTrackW - 17 + 2, kScrollLineUp}, {kTrackW - 3, kScrollLineDown}, {20, kScrollPageUp}};
  for (const auto& p : parts) {
    g_notes.clear();
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(p.x, 10));
    SendMessageW(w, WM_LBUTTONUP, 0, At(p.x, 10));
    EXPECT_EQ(Codes(), (std::vector<int>{kScrollButtonDown, p.code, kScrollEnd})) << p.x;
  }
  // A click on the track outside the parts sends nothing.
  g_notes.clear();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 0));
  SendMessageW(w, WM_LBUTTONUP, 0, At(20, 0));
  EXPECT_TRUE(g_notes.empty());
  // Answered with TrackbarScroll (line 1, page 10) the position follows.
  g_answerScrolls = true;
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(kTrackW - 3, 10));
  SendMessageW(w, WM_LBUTTONUP, 0, At(kTrackW - 3, 10));
  EXPECT_EQ(Position(w), 51);
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 10));
  SendMessageW(w, WM_LBUTTONUP, 0, At(20, 10));
  EXPECT_EQ(Position(w), 41);
}

TEST_F(SliderTest, ThumbDragTracksThenReportsThePositionAndShiftHalvesTheSpeed) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  SetRange(w, 0, kTravel);  // one unit per pixel
  SendMessageW(w, kCtlSetPosition, 1, 50);
  const int centre = 50 + 5;  // travel start 5 plus the offset
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(centre, 10));
  EXPECT_EQ(Codes(), std::vector<int>{kScrollButtonDown});
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(centre + 20, 10));
  ASSERT_EQ(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[1].code, kScrollThumbTrack);
  EXPECT_EQ(g_notes[1].position, 70);
  EXPECT_EQ(Position(w), 70);
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(centre + 20, 14));  // across only: same value
  EXPECT_EQ(g_notes.size(), 2u);
  SendMessageW(w, WM_LBUTTONUP, 0, At(centre + 20, 10));
  ASSERT_EQ(Codes(), (std::vector<int>{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  EXPECT_EQ(g_notes[2].position, 70);

  // With Shift the same 10 pixels are worth (10 + 1) / 2 = 5 units.
  g_notes.clear();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(centre + 20, 10));
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, At(centre + 30, 10));
  EXPECT_EQ(Position(w), 75);
  Pump(50, dialog_);  // the pointer put back on the thumb is no movement
  EXPECT_EQ(Position(w), 75);
  SendMessageW(w, WM_LBUTTONUP, 0, At(centre + 25, 10));
  ASSERT_GE(g_notes.size(), 3u);
  EXPECT_EQ(g_notes[g_notes.size() - 2].code, kScrollThumbPosition);
  EXPECT_EQ(g_notes[g_notes.size() - 2].position, 75);
  // Dragged beyond the end: the maximum, never more.
  g_notes.clear();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(75 + 5, 10));
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(kTrackW + 40, 10));
  EXPECT_EQ(Position(w), kTravel);
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(-40, 10));
  EXPECT_EQ(Position(w), 0);
  SendMessageW(w, WM_LBUTTONUP, 0, At(-40, 10));
}

TEST_F(SliderTest, VerticalFaderDragUpIsLouderAndStaysInRange) {
  HWND w = Make(kFaderClass, 0x1083, 10, 10, 40, 236);
  SetRange(w, -800, 0);
  SendMessageW(w, kCtlSetPosition, 1, -800);
  g_notes.clear();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 226));  // the cap at the bottom
  for (int y = 220; y >= -60; y -= 7) SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(20, y));
  SendMessageW(w, WM_LBUTTONUP, 0, At(20, -60));
  ASSERT_GE(g_notes.size(), 4u);
  EXPECT_EQ(g_notes[0].message, static_cast<UINT>(WM_VSCROLL));
  int previous = -800;
  for (const Note& n : g_notes) {
    if (n.code != kScrollThumbTrack) continue;
    EXPECT_GT(n.position, previous);
    EXPECT_GE(n.position, -800);
    EXPECT_LE(n.position, 0);
    previous = n.position;
  }
  EXPECT_EQ(previous, 0);
  EXPECT_EQ(g_notes[g_notes.size() - 2].code, kScrollThumbPosition);
  EXPECT_EQ(g_notes[g_notes.size() - 2].position, 0);
}

TEST_F(SliderTest, EscapeDuringADragRestoresThePositionAndEndsIt) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  SetRange(w, 0, kTravel);
  SendMessageW(w, kCtlSetPosition, 1, 50);
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(55, 10));
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(85, 10));
  ASSERT_EQ(Position(w), 80);
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
  // Escape goes through the dialog, which must hand it to the control.
  ASSERT_TRUE(PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0));
  Pump(100, dialog_);
  EXPECT_EQ(Position(w), 50);
  EXPECT_EQ(GetCapture(), nullptr);
  ASSERT_GE(g_notes.size(), 4u);
  EXPECT_EQ(g_notes[g_notes.size() - 2].code, kScrollThumbPosition);
  EXPECT_EQ(g_notes[g_notes.size() - 2].position, 50);
  EXPECT_EQ(g_notes.back().code, kScrollEnd);
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
  // Moves after the end change nothing.
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(120, 10));
  EXPECT_EQ(Position(w), 50);
}

TEST_F(SliderTest, LosingTheCaptureEndsThePressLikeAButtonUp) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  SetRange(w, 0, kTravel);
  SendMessageW(w, kCtlSetPosition, 1, 50);
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(55, 10));
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(65, 10));
  SetCapture(dialog_);  // someone else takes the mouse
  ReleaseCapture();
  ASSERT_EQ(Codes(), (std::vector<int>{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  EXPECT_EQ(g_notes[2].position, 60);
  g_notes.clear();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(150, 10));
  SendMessageW(w, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(Codes(), (std::vector<int>{kScrollButtonDown, kScrollPageDown, kScrollEnd}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SliderTest, DoubleClickOnTheThumbResets) {
  const struct {
    const wchar_t* cls;
    DWORD style;
    int lo, hi, reset;
  } cases[] = {{kTrackbarClass, 0x0002, -50, 50, 0},
               {kTrackbarClass, 0x0002, 0, 200, 100},
               {kFaderClass, 0x1083, -800, 0, -800},
               {kFaderClass, 0x1083, -100, 100, 0}};
  for (const auto& c : cases) {
    const bool fader = c.cls == kFaderClass;
    HWND w = fader ? Make(c.cls, c.style, 10, 10, 40, 236) : Make(c.cls, c.style, 10, 10, kTrackW, kTrackH);
    SetRange(w, c.lo, c.hi);
    SendMessageW(w, kCtlSetPosition, 1, c.hi);  // thumb at the top or right end
    const LPARAM thumb = fader ? At(20, 10) : At(kTravel + 5, 10);
    g_notes.clear();
    SendMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, thumb);
    EXPECT_EQ(Position(w), c.reset) << c.lo << ".." << c.hi;
    ASSERT_EQ(g_notes.size(), 1u);
    EXPECT_EQ(g_notes[0].code, kScrollThumbPosition);
    EXPECT_EQ(g_notes[0].position, c.reset);
    SendMessageW(w, WM_LBUTTONUP, 0, thumb);
    EXPECT_EQ(g_notes.size(), 1u);  // nothing was held
  }
  // Elsewhere a double-click is a press.
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  g_notes.clear();
  SendMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, At(150, 10));
  SendMessageW(w, WM_LBUTTONUP, 0, At(150, 10));
  EXPECT_EQ(Codes(), (std::vector<int>{kScrollButtonDown, kScrollPageDown, kScrollEnd}));
  EXPECT_EQ(Position(w), 50);
}

TEST_F(SliderTest, DisabledOrTooSmallControlIgnoresTheMouse) {
  HWND w = Make(kTrackbarClass, 0x0002 | WS_DISABLED, 10, 10, kTrackW, kTrackH);
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(55, 10));
  SendMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, At(55, 10));
  HWND tiny = Make(kFaderClass, 0x1083, 60, 10, 40, 30);
  SendMessageW(tiny, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 15));
  EXPECT_TRUE(g_notes.empty());
  EXPECT_EQ(GetCapture(), nullptr);
}

// --- keyboard ---------------------------------------------------------------------------

TEST_F(SliderTest, NavigationKeysSendTheirCodesAndReleaseSendsEnd) {
  HWND w = Make(kFaderClass, 0x1083, 10, 10, 40, 236);
  const struct {
    WPARAM key;
    int code;
  } keys[] = {{VK_PRIOR, kScrollPageUp},   {VK_NEXT, kScrollPageDown}, {VK_END, kScrollBottom},
              {VK_HOME, kScrollTop},       {VK_LEFT, kScrollLineUp},   {VK_UP, kScrollLineUp},
              {VK_RIGHT, kScrollLineDown}, {VK_DOWN, kScrollLineDown}};
  for (const auto& k : keys) {
    g_notes.clear();
    SendMessageW(w, WM_KEYDOWN, k.key, 0);
    SendMessageW(w, WM_KEYUP, k.key, 0);
    EXPECT_EQ(Codes(), (std::vector<int>{k.code, kScrollEnd})) << k.key;
    EXPECT_EQ(g_notes[0].message, static_cast<UINT>(WM_VSCROLL));
  }
  EXPECT_EQ(Position(w), 50);  // only the parent moves it
  g_notes.clear();
  SendMessageW(w, WM_KEYDOWN, 'A', 0);
  SendMessageW(w, WM_KEYUP, 'A', 0);
  SendMessageW(w, WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_TRUE(g_notes.empty());
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
}

TEST_F(SliderTest, KeysThroughTheDialogDriveAFaderWithFaderScroll) {
  HWND w = Make(kFaderClass, 0x1083, 10, 10, 40, 236);
  SetRange(w, -800, 0);
  SendMessageW(w, kCtlSetPosition, 1, -350);
  g_answerScrolls = true;
  SetFocus(w);
  auto press = [&](WPARAM key) {
    PostMessageW(w, WM_KEYDOWN, key, 0);
    PostMessageW(w, WM_KEYUP, key, 0);
    Pump(60, dialog_);
  };
  press(VK_UP);
  EXPECT_EQ(Position(w), -349);
  press(VK_PRIOR);
  EXPECT_EQ(Position(w), -339);
  press(VK_DOWN);
  EXPECT_EQ(Position(w), -340);
  press(VK_HOME);
  EXPECT_EQ(Position(w), 0);
  press(VK_END);
  EXPECT_EQ(Position(w), -800);
  EXPECT_EQ(GetFocus(), w);  // arrows stayed with the control
}

TEST_F(SliderTest, DigitKeysSetAProportionOfTheRange) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 10, kTrackW, kTrackH);
  SetRange(w, -800, 100);
  const struct {
    WPARAM key;
    int value;
  } digits[] = {{'0', -800}, {'9', 100}, {'3', -500}, {VK_NUMPAD6, -200}};
  for (const auto& d : digits) {
    g_notes.clear();
    SendMessageW(w, WM_KEYDOWN, d.key, 0);
    EXPECT_EQ(Position(w), d.value) << d.key;
    ASSERT_EQ(g_notes.size(), 1u);
    EXPECT_EQ(g_notes[0].code, kScrollThumbPosition);
    EXPECT_EQ(g_notes[0].position, d.value);
  }
  // Not while a part is held.
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 10));
  g_notes.clear();
  SendMessageW(w, WM_KEYDOWN, '9', 0);
  EXPECT_TRUE(g_notes.empty());
  SendMessageW(w, WM_LBUTTONUP, 0, At(20, 10));
}

// --- drawing ----------------------------------------------------------------------------

// Columns (or rows) of a line of pixels that differ from the background.
std::vector<int> Marked(const Pixels& p, bool row, int at, int limit) {
  std::vector<int> marked;
  for (int i = 0; i < limit; ++i) {
    if ((row ? p.At(i, at) : p.At(at, i)) != kBackground) marked.push_back(i);
  }
  return marked;
}

TEST_F(SliderTest, ThumbIsDrawnWhereTheMappingPutsItAndNotWhenDisabled) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 120, kTrackW, kTrackH);
  SetRange(w, 0, 200);
  for (int position : {0, 50, 137, 200}) {
    SendMessageW(w, kCtlSetPosition, 1, position);
    Pump(30, dialog_);
    const Pixels p = CaptureClient(w);
    ASSERT_EQ(p.width, kTrackW);
    // Row 5 crosses the thumb (rows 2 to 17) above the channel (rows 6 to 13).
    const std::vector<int> marked = Marked(p, true, 5, kTrackW - 17);
    const int left = position * kTravel / 200;
    ASSERT_EQ(marked.size(), 10u) << position;
    EXPECT_EQ(marked.front(), left) << position;
    EXPECT_EQ(marked.back(), left + 9) << position;
    EXPECT_EQ(p.At(left + 5, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(p.At(left, 5), GetSysColor(COLOR_WINDOWFRAME));
  }
  // The channel between, away from the thumb, is the scroll-bar colour.
  const Pixels p = CaptureClient(w);
  EXPECT_EQ(p.At(80, 10), GetSysColor(COLOR_SCROLLBAR));
  EXPECT_EQ(p.At(80, 1), kBackground);
  EnableWindow(w, FALSE);
  Pump(30, dialog_);
  const Pixels off = CaptureClient(w);
  EXPECT_TRUE(Marked(off, true, 5, kTrackW - 17).empty());
  EXPECT_EQ(off.At(80, 10), GetSysColor(COLOR_SCROLLBAR));  // the channel stays
}

TEST_F(SliderTest, TaperedFaderCapSitsAtTheTaperedOffset) {
  // No scale lines, so a column through the cap shows only the cap.
  HWND w = Make(kFaderClass, 0x0083, 240, 10, 40, 236);
  SetRange(w, -800, 0);
  // Travel 216 from y 10 (0) to y 226 (-800). T(-200) = -561, coordinate
  // -561 * 800 / 966 = -464, offset (800 - 464) * 216 / 800 = 90: centre
  // 226 - 90 = 136, cap rows 126 to 145.
  const struct { int value, top; } cases[] = {{-200, 126}, {0, 0}, {-800, 216}, {-30, 56}};
  // -30: T = -250, coordinate -207, offset 593 * 216 / 800 = 160, centre 66.
  for (const auto& c : cases) {
    SendMessageW(w, kCtlSetPosition, 1, c.value);
    Pump(30, dialog_);
    const Pixels p = CaptureClient(w);
    ASSERT_EQ(p.height, 236);
    const std::vector<int> marked = Marked(p, false, 10, 236);  // column 10 crosses the cap only
    ASSERT_EQ(marked.size(), 20u) << c.value;
    EXPECT_EQ(marked.front(), c.top) << c.value;
  }
}

TEST_F(SliderTest, FocusCaretCoversTheThumbInsetByTwo) {
  HWND w = Make(kTrackbarClass, 0x0002, 10, 150, kTrackW, kTrackH);
  SetRange(w, 0, kTravel);
  SendMessageW(w, kCtlSetPosition, 1, 40);
  SetFocus(w);
  ASSERT_EQ(GetFocus(), w);
  POINT caret{};
  ASSERT_TRUE(GetCaretPos(&caret));
  // Thumb 40..49 across 2..17.
  EXPECT_EQ(caret.x, 42);
  EXPECT_EQ(caret.y, 4);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_EQ(info.hwndCaret, w);
  EXPECT_EQ(info.rcCaret.right - info.rcCaret.left, 10 - 4);
  EXPECT_EQ(info.rcCaret.bottom - info.rcCaret.top, 16 - 4);
  SendMessageW(w, kCtlSetPosition, 1, 100);
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, 102);  // follows the thumb
  SetFocus(nullptr);        // the dialog itself would hand the focus straight back
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_EQ(info.hwndCaret, nullptr);
}

TEST_F(SliderTest, ScreenshotOfTheTemplateDialog) {
  // Several states: positions, a held arrow, a focused fader, disabled ones.
  SendMessageW(GetDlgItem(dialog_, 201), kCtlSetPosition, 1, 30);
  HWND ticks = GetDlgItem(dialog_, 202);
  SendMessageW(ticks, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-50), 50));
  SendMessageW(ticks, kCtlSetPosition, 1, 20);
  SendMessageW(GetDlgItem(dialog_, 204), kCtlSetPosition, 1, 80);
  HWND horizontal = GetDlgItem(dialog_, 205);
  SendMessageW(horizontal, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-800), 0));
  SendMessageW(horizontal, kCtlSetPosition, 1, -200);
  SendMessageW(GetDlgItem(dialog_, 206), kCtlSetPosition, 1, 75);
  for (int id : {301, 302, 303, 304}) {
    HWND f = GetDlgItem(dialog_, id);
    SendMessageW(f, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-800), 0));
  }
  SendMessageW(GetDlgItem(dialog_, 301), kCtlSetPosition, 1, 0);
  SendMessageW(GetDlgItem(dialog_, 302), kCtlSetPosition, 1, -200);
  SendMessageW(GetDlgItem(dialog_, 303), kCtlSetPosition, 1, -400);
  SendMessageW(GetDlgItem(dialog_, 304), kCtlSetPosition, 1, -60);
  SetFocus(GetDlgItem(dialog_, 302));
  // Hold the first arrow of the page trackbar down for the picture.
  HWND page = GetDlgItem(dialog_, 201);
  RECT r{};
  GetClientRect(page, &r);
  POINT arrow{r.right - 13, r.bottom / 2};
  POINT screen = arrow;
  ClientToScreen(page, &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(arrow.x, arrow.y));
  RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(200, dialog_);
  const Pixels shot = CaptureWindow(dialog_);
  SendMessageW(page, WM_LBUTTONUP, 0, MAKELPARAM(arrow.x, arrow.y));
  ASSERT_GT(shot.width, 300);
  const std::wstring path = ArtifactsDir() + L"slider_dialog.bmp";
  ASSERT_TRUE(WriteBmp(path, shot));
  // Not a blank picture: the dialog background, thumb faces and frames all show.
  int background = 0;
  int frame = 0;
  for (COLORREF c : shot.data) {
    background += c == kBackground;
    frame += c == GetSysColor(COLOR_WINDOWFRAME);
  }
  EXPECT_GT(background, shot.width * shot.height / 4);
  EXPECT_GT(frame, 200);
  std::printf("screenshot: %s\n", Narrow(path).c_str());
}

}  // namespace
}  // namespace quill::test
