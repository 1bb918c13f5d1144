// Trackbars and faders as real controls in a real dialog: the range and
// position messages, the notifications the parent receives for each mouse
// and keyboard gesture, the repeat timer, and the drawing read back from the
// screen. A screenshot of the dialog is saved for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "tests/windows/ctl_test_support.h"
#include "controls/twctllib.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

constexpr int kDialogId = 100;
constexpr COLORREF kBackground = RGB(0x40, 0x80, 0x40);  // the dialog's own, unlike any system colour
using Codes = std::vector<int>;

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
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_CTLCOLORDLG) return reinterpret_cast<INT_PTR>(g_backgroundBrush);
  if (message != WM_HSCROLL && message != WM_VSCROLL) return FALSE;
  HWND control = reinterpret_cast<HWND>(lParam);
  const int code = LOWORD(wParam);
  g_notes.push_back(Note{message, code, static_cast<short>(HIWORD(wParam)), control, GetTickCount()});
  if (g_answerScrolls && code != kScrollThumbTrack && code != kScrollThumbPosition) {
    WCHAR name[64] = {};
    GetClassNameW(control, name, 64);
    (lstrcmpW(name, kFaderClass) == 0 ? FaderScroll : TrackbarScroll)(message, code, control, 1, 10);
  }
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
  return TRUE;
}

Codes NoteCodes() {
  Codes codes;
  for (const Note& n : g_notes) codes.push_back(n.code);
  return codes;
}
long CountOf(int code) {
  const Codes codes = NoteCodes();
  return static_cast<long>(std::count(codes.begin(), codes.end(), code));
}
// The note before the last reports `position` as the final one.
void ExpectReported(int position, size_t back = 2) {
  ASSERT_GE(g_notes.size(), back);
  EXPECT_EQ(g_notes[g_notes.size() - back].code, kScrollThumbPosition);
  EXPECT_EQ(g_notes[g_notes.size() - back].position, position);
}

// Page trackbar 200 x 20: thumb 10, arrows 17, so the travel is 173 pixels
// and the thumb's left edge is at position * 173 / range.
constexpr int kTrackW = 200, kTrackH = 20, kTravel = 200 - 17 - 10;

class SliderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    g_backgroundBrush = CreateSolidBrush(kBackground);
    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kDialogId), nullptr, DialogProc, 0);
    ASSERT_NE(dialog_, nullptr) << GetLastError();
    // The controls a test makes go beside the template's own, never over
    // them. Where the template's controls land in pixels follows the dialog
    // font the machine has, and a template control underneath that repaints
    // (when a test's fader over it is destroyed, say) draws over whatever a
    // later test is reading from the screen.
    RECT used{};
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      RECT r{};
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
      UnionRect(&used, &used, &r);
    }
    stageX_ = used.right + 10;
    // Room for the widest (a fader at x 240) and tallest (236) test controls.
    RECT frame{0, 0, stageX_ + 300, std::max<LONG>(used.bottom + 10, 270)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_EXSTYLE)));
    SetWindowPos(dialog_, HWND_TOP, 40, 40, frame.right - frame.left, frame.bottom - frame.top, SWP_SHOWWINDOW);
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
  // A control of exact pixel size in the dialog's free area.
  HWND Make(const wchar_t* cls, DWORD style, int x, int y, int width, int height) {
    HWND w = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, stageX_ + x, y, width, height,
                             dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(900 + made_.size())),
                             GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    if (w != nullptr) made_.push_back(w);
    return w;
  }
  HWND Track(int y = 10, DWORD extra = 0) { return Make(kTrackbarClass, 0x0002 | extra, 10, y, kTrackW, kTrackH); }
  HWND Fader(DWORD style = 0x1083, int x = 10) { return Make(kFaderClass, style, x, 10, 40, 236); }
  // A trackbar of one unit per pixel with its thumb at `position`.
  HWND PixelTrack(int position) {
    HWND w = Track();
    SetRange(w, 0, kTravel);
    SetPos(w, position);
    return w;
  }
  static void SetRange(HWND w, int lo, int hi) {
    SendMessageW(w, kCtlSetMinimum, 0, lo);
    SendMessageW(w, kCtlSetMaximum, 0, hi);
  }
  static void SetRange16(HWND w, int lo, int hi) {
    SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(lo), static_cast<WORD>(hi)));
  }
  static LRESULT SetPos(HWND w, int value) { return SendMessageW(w, kCtlSetPosition, 1, value); }
  static int Get(HWND w, UINT message) { return static_cast<int>(SendMessageW(w, message, 0, 0)); }
  static int Position(HWND w) { return Get(w, kCtlGetPosition); }
  static void ExpectState(HWND w, int lo, int hi, int position) {
    EXPECT_EQ(Get(w, kCtlGetMinimum), lo);
    EXPECT_EQ(Get(w, kCtlGetMaximum), hi);
    EXPECT_EQ(Position(w), position);
  }
  static void Down(HWND w, int x, int y, UINT message = WM_LBUTTONDOWN) {
    SendMessageW(w, message, MK_LBUTTON, MAKELPARAM(x, y));
  }
  static void Up(HWND w, int x, int y) { SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
  static void Move(HWND w, int x, int y, WPARAM keys = MK_LBUTTON) {
    SendMessageW(w, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
  }
  static void Click(HWND w, int x, int y) {
    Down(w, x, y);
    Up(w, x, y);
  }
  static void PointerAt(HWND w, POINT at) {
    ASSERT_TRUE(ClientToScreen(w, &at));
    ASSERT_TRUE(SetCursorPos(at.x, at.y));
  }
  static inline HWND dialog_ = nullptr;
  static inline int stageX_ = 0;  // left edge of the area the template leaves free
  std::vector<HWND> made_;
};

TEST_F(SliderTest, NewControlsReportZeroToHundredAtFifty) {
  for (const wchar_t* cls : {kTrackbarClass, kFaderClass}) {
    HWND w = Make(cls, 0x0002, 10, 10, 100, 40);
    ASSERT_NE(w, nullptr);
    ExpectState(w, 0, 100, 50);
  }
  EXPECT_EQ(Position(GetDlgItem(dialog_, 301)), 50);
  EXPECT_EQ(Get(GetDlgItem(dialog_, 201), kCtlGetMaximum), 100);
}

TEST_F(SliderTest, PositionIsClampedAndRangesMoveIt) {
  HWND w = Track();
  EXPECT_EQ(SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(0, 200)), 0);
  EXPECT_EQ(SetPos(w, 250), 200);
  EXPECT_EQ(Position(w), 200);
  EXPECT_EQ(SendMessageW(w, kCtlSetPosition, 0, -7), 0);
  EXPECT_EQ(SetPos(w, 100), 100);
  SetRange16(w, 5, 50);
  ExpectState(w, 5, 50, 50);
  SetRange16(w, -800, 0);  // both halves are signed
  ExpectState(w, -800, 0, 0);
  SetRange16(w, -20, -10);
  EXPECT_EQ(Position(w), -10);
  // The single-limit messages take full 32-bit values.
  SetRange(w, -100000, 100000);
  EXPECT_EQ(SetPos(w, 99999), 99999);
  SendMessageW(w, kCtlSetMaximum, 0, 1000);
  EXPECT_EQ(Position(w), 1000);
  SendMessageW(w, kCtlSetMinimum, 0, 2000);
  EXPECT_EQ(Position(w), 2000);
}

TEST_F(SliderTest, HeldChannelSendsButtonDownThenRepeatsEvery250MsUntilReleased) {
  HWND w = Track();
  PointerAt(w, POINT{150, 10});  // after the thumb at 50
  Pump(50, dialog_);
  g_notes.clear();
  Down(w, 150, 10);
  EXPECT_EQ(GetCapture(), w);
  ASSERT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollPageDown}));
  EXPECT_EQ(g_notes[0].message, static_cast<UINT>(WM_HSCROLL));
  EXPECT_EQ(g_notes[0].control, w);
  Pump(1120, dialog_);
  // At once, then about 250, 500, 750 and 1000 ms; a busy machine may delay
  // a tick, but never brings one early.
  EXPECT_GE(CountOf(kScrollPageDown), 3);
  EXPECT_LE(CountOf(kScrollPageDown), 5);
  for (size_t i = 2; i < g_notes.size(); ++i) {
    const DWORD gap = g_notes[i].time - g_notes[i - 1].time;
    EXPECT_GE(gap, 200u) << i;
    EXPECT_LE(gap, 700u) << i;
  }
  // The pointer leaves the part: no more repeats, though still held.
  PointerAt(w, POINT{0, -30});
  Pump(30, dialog_);
  const size_t held = g_notes.size();
  Pump(600, dialog_);
  EXPECT_EQ(g_notes.size(), held);
  Up(w, 150, 10);
  EXPECT_EQ(g_notes.back().code, kScrollEnd);
  EXPECT_EQ(CountOf(kScrollThumbPosition), 0);
  EXPECT_EQ(GetCapture(), nullptr);
  const size_t after = g_notes.size();
  Pump(400, dialog_);
  EXPECT_EQ(g_notes.size(), after);  // the timer is gone
  EXPECT_EQ(Position(w), 50);        // the control never moved itself
}

TEST_F(SliderTest, ArrowsAndChannelSendTheirCodesAndAPageAnswersThem) {
  HWND w = Track();
  const struct {
    int x, y;
    Codes codes;
  } clicks[] = {{kTrackW - 17 + 2, 10, {kScrollButtonDown, kScrollLineUp, kScrollEnd}},
                {kTrackW - 3, 10, {kScrollButtonDown, kScrollLineDown, kScrollEnd}},
                {20, 10, {kScrollButtonDown, kScrollPageUp, kScrollEnd}},
                {20, 0, {}}};  // the track outside the parts
  for (const auto& c : clicks) {
    SCOPED_TRACE(c.x * 100 + c.y);
    g_notes.clear();
    Click(w, c.x, c.y);
    EXPECT_EQ(NoteCodes(), c.codes);
  }
  // Answered with TrackbarScroll (line 1, page 10) the position follows.
  g_answerScrolls = true;
  Click(w, kTrackW - 3, 10);
  EXPECT_EQ(Position(w), 51);
  Click(w, 20, 10);
  EXPECT_EQ(Position(w), 41);
}

TEST_F(SliderTest, ThumbDragTracksThenReportsThePositionAndShiftHalvesTheSpeed) {
  HWND w = PixelTrack(50);
  const int centre = 50 + 5;  // travel start 5 plus the offset
  Down(w, centre, 10);
  EXPECT_EQ(NoteCodes(), Codes{kScrollButtonDown});
  Move(w, centre + 20, 10);
  ASSERT_EQ(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[1].code, kScrollThumbTrack);
  EXPECT_EQ(g_notes[1].position, 70);
  EXPECT_EQ(Position(w), 70);
  Move(w, centre + 20, 14);  // across only: same value
  EXPECT_EQ(g_notes.size(), 2u);
  Up(w, centre + 20, 10);
  ASSERT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  EXPECT_EQ(g_notes[2].position, 70);
  // With Shift the same 10 pixels are worth (10 + 1) / 2 = 5 units.
  g_notes.clear();
  Down(w, centre + 20, 10);
  Move(w, centre + 30, 10, MK_LBUTTON | MK_SHIFT);
  EXPECT_EQ(Position(w), 75);
  Pump(50, dialog_);  // the pointer put back on the thumb is no movement
  EXPECT_EQ(Position(w), 75);
  Up(w, centre + 25, 10);
  ExpectReported(75);
  // Dragged beyond either end: the limit, never more.
  Down(w, 75 + 5, 10);
  Move(w, kTrackW + 40, 10);
  EXPECT_EQ(Position(w), kTravel);
  Move(w, -40, 10);
  EXPECT_EQ(Position(w), 0);
  Up(w, -40, 10);
}

TEST_F(SliderTest, VerticalFaderDragUpIsLouderAndStaysInRange) {
  HWND w = Fader();
  SetRange(w, -800, 0);
  SetPos(w, -800);
  g_notes.clear();
  Down(w, 20, 226);  // the cap at the bottom
  for (int y = 220; y >= -60; y -= 7) Move(w, 20, y);
  Up(w, 20, -60);
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
  ExpectReported(0);
}

TEST_F(SliderTest, EscapeDuringADragRestoresThePositionAndEndsIt) {
  HWND w = PixelTrack(50);
  Down(w, 55, 10);
  Move(w, 85, 10);
  ASSERT_EQ(Position(w), 80);
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
  // Escape goes through the dialog, which must hand it to the control.
  ASSERT_TRUE(PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0));
  Pump(100, dialog_);
  EXPECT_EQ(Position(w), 50);
  EXPECT_EQ(GetCapture(), nullptr);
  ASSERT_GE(g_notes.size(), 4u);
  ExpectReported(50);
  EXPECT_EQ(g_notes.back().code, kScrollEnd);
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
  Move(w, 120, 10);  // after the end: nothing
  EXPECT_EQ(Position(w), 50);
}

TEST_F(SliderTest, LosingTheCaptureEndsThePressLikeAButtonUp) {
  HWND w = PixelTrack(50);
  Down(w, 55, 10);
  Move(w, 65, 10);
  SetCapture(dialog_);  // someone else takes the mouse
  ReleaseCapture();
  ASSERT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  EXPECT_EQ(g_notes[2].position, 60);
  g_notes.clear();
  Down(w, 150, 10);
  SendMessageW(w, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollPageDown, kScrollEnd}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SliderTest, DoubleClickOnTheThumbResets) {
  const struct {
    bool fader;
    int lo, hi, reset;
  } cases[] = {{false, -50, 50, 0}, {false, 0, 200, 100}, {true, -800, 0, -800}, {true, -100, 100, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi);
    HWND w = c.fader ? Fader() : Track();
    SetRange(w, c.lo, c.hi);
    SetPos(w, c.hi);  // thumb at the top or right end
    const int x = c.fader ? 20 : kTravel + 5;
    g_notes.clear();
    Down(w, x, 10, WM_LBUTTONDBLCLK);
    EXPECT_EQ(Position(w), c.reset);
    ASSERT_EQ(g_notes.size(), 1u);
    ExpectReported(c.reset, 1);
    Up(w, x, 10);
    EXPECT_EQ(g_notes.size(), 1u);  // nothing was held
  }
  // Elsewhere a double-click is a press.
  HWND w = Track();
  g_notes.clear();
  Down(w, 150, 10, WM_LBUTTONDBLCLK);
  Up(w, 150, 10);
  EXPECT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollPageDown, kScrollEnd}));
  EXPECT_EQ(Position(w), 50);
}

TEST_F(SliderTest, DisabledOrTooSmallControlIgnoresTheMouse) {
  HWND w = Track(10, WS_DISABLED);
  Down(w, 55, 10);
  Down(w, 55, 10, WM_LBUTTONDBLCLK);
  Down(Make(kFaderClass, 0x1083, 60, 10, 40, 30), 20, 15);
  EXPECT_TRUE(g_notes.empty());
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SliderTest, NavigationKeysSendTheirCodesAndReleaseSendsEnd) {
  HWND w = Fader();
  const std::pair<WPARAM, int> keys[] = {
      {VK_PRIOR, kScrollPageUp}, {VK_NEXT, kScrollPageDown}, {VK_END, kScrollBottom},     {VK_HOME, kScrollTop},
      {VK_LEFT, kScrollLineUp},  {VK_UP, kScrollLineUp},     {VK_RIGHT, kScrollLineDown}, {VK_DOWN, kScrollLineDown}};
  for (const auto& [key, code] : keys) {
    SCOPED_TRACE(key);
    g_notes.clear();
    SendMessageW(w, WM_KEYDOWN, key, 0);
    SendMessageW(w, WM_KEYUP, key, 0);
    EXPECT_EQ(NoteCodes(), (Codes{code, kScrollEnd}));
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
  HWND w = Fader();
  SetRange(w, -800, 0);
  SetPos(w, -350);
  g_answerScrolls = true;
  SetFocus(w);
  const std::pair<WPARAM, int> steps[] = {
      {VK_UP, -349}, {VK_PRIOR, -339}, {VK_DOWN, -340}, {VK_HOME, 0}, {VK_END, -800}};
  for (const auto& [key, position] : steps) {
    PostMessageW(w, WM_KEYDOWN, key, 0);
    PostMessageW(w, WM_KEYUP, key, 0);
    Pump(60, dialog_);
    EXPECT_EQ(Position(w), position) << key;
  }
  EXPECT_EQ(GetFocus(), w);  // arrows stayed with the control
}

TEST_F(SliderTest, DigitKeysSetAProportionOfTheRange) {
  HWND w = Track();
  SetRange(w, -800, 100);
  const std::pair<WPARAM, int> digits[] = {{'0', -800}, {'9', 100}, {'3', -500}, {VK_NUMPAD6, -200}};
  for (const auto& [key, value] : digits) {
    SCOPED_TRACE(key);
    g_notes.clear();
    SendMessageW(w, WM_KEYDOWN, key, 0);
    EXPECT_EQ(Position(w), value);
    ASSERT_EQ(g_notes.size(), 1u);
    ExpectReported(value, 1);
  }
  // Not while a part is held.
  Down(w, 20, 10);
  g_notes.clear();
  SendMessageW(w, WM_KEYDOWN, '9', 0);
  EXPECT_TRUE(g_notes.empty());
  Up(w, 20, 10);
}

// Columns (or rows) of a line of pixels that differ from the background.
std::vector<int> Marked(const Pixels& p, bool row, int at, int limit) {
  std::vector<int> marked;
  for (int i = 0; i < limit; ++i) {
    if ((row ? p.At(i, at) : p.At(at, i)) != kBackground) marked.push_back(i);
  }
  return marked;
}

TEST_F(SliderTest, ThumbIsDrawnWhereTheMappingPutsItAndNotWhenDisabled) {
  HWND w = Track(120);
  SetRange(w, 0, 200);
  for (int position : {0, 50, 137, 200}) {
    SCOPED_TRACE(position);
    SetPos(w, position);
    Pump(30, dialog_);
    const Pixels p = CaptureClient(w);
    ASSERT_EQ(p.width, kTrackW);
    // Row 5 crosses the thumb (rows 2 to 17) above the channel (rows 6 to 13).
    const std::vector<int> marked = Marked(p, true, 5, kTrackW - 17);
    const int left = position * kTravel / 200;
    ASSERT_EQ(marked.size(), 10u);
    EXPECT_EQ(marked.front(), left);
    EXPECT_EQ(marked.back(), left + 9);
    EXPECT_EQ(p.At(left + 5, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(p.At(left, 5), GetSysColor(COLOR_WINDOWFRAME));
  }
  const Pixels p = CaptureClient(w);
  EXPECT_EQ(p.At(80, 10), GetSysColor(COLOR_SCROLLBAR));  // the channel away from the thumb
  EXPECT_EQ(p.At(80, 1), kBackground);
  EnableWindow(w, FALSE);
  Pump(30, dialog_);
  const Pixels off = CaptureClient(w);
  EXPECT_TRUE(Marked(off, true, 5, kTrackW - 17).empty());
  EXPECT_EQ(off.At(80, 10), GetSysColor(COLOR_SCROLLBAR));  // the channel stays
}

TEST_F(SliderTest, TaperedFaderCapSitsAtTheTaperedOffset) {
  // No scale lines, so column 10 through the cap shows only the cap.
  HWND w = Fader(0x0083, 240);
  SetRange(w, -800, 0);
  // Travel 216 from y 10 (0) to y 226 (-800). T(-200) = -561, coordinate
  // -561 * 800 / 966 = -464, offset (800 - 464) * 216 / 800 = 90: centre
  // 226 - 90 = 136, cap rows 126 to 145. -30: T = -250, coordinate -207,
  // offset 593 * 216 / 800 = 160, centre 66.
  const struct { int value, top; } cases[] = {{-200, 126}, {0, 0}, {-800, 216}, {-30, 56}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    SetPos(w, c.value);
    Pump(30, dialog_);
    const Pixels p = CaptureClient(w);
    ASSERT_EQ(p.height, 236);
    const std::vector<int> marked = Marked(p, false, 10, 236);
    ASSERT_EQ(marked.size(), 20u);
    EXPECT_EQ(marked.front(), c.top);
  }
}

TEST_F(SliderTest, FocusCaretCoversTheThumbInsetByTwo) {
  HWND w = Track(150);
  SetRange(w, 0, kTravel);
  SetPos(w, 40);
  SetFocus(w);
  ASSERT_EQ(GetFocus(), w);
  POINT caret{};
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, 42);  // thumb 40..49 across 2..17
  EXPECT_EQ(caret.y, 4);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_EQ(info.hwndCaret, w);
  EXPECT_EQ(info.rcCaret.right - info.rcCaret.left, 10 - 4);
  EXPECT_EQ(info.rcCaret.bottom - info.rcCaret.top, 16 - 4);
  SetPos(w, 100);
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, 102);  // follows the thumb
  SetFocus(nullptr);        // the dialog itself would hand the focus straight back
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_EQ(info.hwndCaret, nullptr);
}

TEST_F(SliderTest, ScreenshotOfTheTemplateDialog) {
  // Several states: positions, a held arrow, a focused fader, disabled ones.
  auto item = [](int id) { return GetDlgItem(dialog_, id); };
  SetRange16(item(202), -50, 50);
  SetRange16(item(205), -800, 0);
  for (int id : {301, 302, 303, 304}) SetRange16(item(id), -800, 0);
  const std::pair<int, int> states[] = {{201, 30}, {202, 20},   {204, 80},   {205, -200}, {206, 75},
                                        {301, 0},  {302, -200}, {303, -400}, {304, -60}};
  for (const auto& [id, position] : states) SetPos(item(id), position);
  SetFocus(item(302));
  HWND page = item(201);  // its first arrow held down for the picture
  RECT r{};
  GetClientRect(page, &r);
  const POINT arrow{r.right - 13, r.bottom / 2};
  PointerAt(page, arrow);
  Down(page, arrow.x, arrow.y);
  RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(200, dialog_);
  const Pixels shot = CaptureWindow(dialog_);
  Up(page, arrow.x, arrow.y);
  ASSERT_GT(shot.width, 300);
  const std::wstring path = ArtifactsDir() + L"slider_dialog.bmp";
  ASSERT_TRUE(WriteBmp(path, shot));
  // Not a blank picture: the dialog background, thumb faces and frames all show.
  const auto count = [&](COLORREF c) { return std::count(shot.data.begin(), shot.data.end(), c); };
  EXPECT_GT(count(kBackground), shot.width * shot.height / 4);
  EXPECT_GT(count(GetSysColor(COLOR_WINDOWFRAME)), 200);
  std::printf("screenshot: %s\n", Narrow(path).c_str());
}

}  // namespace
}  // namespace quill::test
