// Trackbars and faders as real controls in a real dialog: the messages, the
// notifications the parent receives for each mouse and keyboard gesture, and
// the drawing read back from the screen. The rules behind them (layout, hit
// test, scales, scroll answers) have their own tests on the portable code.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "controls/twctllib.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

constexpr COLORREF kBackground = RGB(0x40, 0x80, 0x40);  // the dialog's own, unlike any system colour
// Page trackbar 200 x 20: thumb 10, arrows 17, so the travel is 173 pixels
// and the thumb's left edge is at position * 173 / range.
constexpr int kTrackW = 200, kTravel = 200 - 17 - 10;
using Codes = std::vector<int>;

struct Note {
  UINT message;
  int code, position;
  HWND control;
};
std::vector<Note> g_notes;
bool g_answerScrolls = false;  // the dialog sets positions as a page does
HBRUSH g_backgroundBrush = nullptr;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_CTLCOLORDLG) return reinterpret_cast<INT_PTR>(g_backgroundBrush);
  if (message != WM_HSCROLL && message != WM_VSCROLL) return FALSE;
  HWND control = reinterpret_cast<HWND>(lParam);
  const int code = LOWORD(wParam);
  g_notes.push_back(Note{message, code, static_cast<short>(HIWORD(wParam)), control});
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
// The note `back` from the end reports `position` as the final one.
void ExpectReported(int position, size_t back = 2) {
  ASSERT_GE(g_notes.size(), back);
  EXPECT_EQ(g_notes[g_notes.size() - back].code, kScrollThumbPosition);
  EXPECT_EQ(g_notes[g_notes.size() - back].position, position);
}

// Dispatches messages through the dialog's keyboard handling for a while.
void Pump(HWND dialog, DWORD milliseconds) {
  const DWORD until = GetTickCount() + milliseconds;
  for (LONG left = static_cast<LONG>(milliseconds); left > 0; left = static_cast<LONG>(until - GetTickCount())) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (IsDialogMessageW(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
  }
}

// Which pixels along row (or column) `at` of the client area, as the screen
// shows it, differ from the dialog's background.
std::vector<int> Marked(HWND window, bool row, int at, int limit) {
  std::vector<int> marked;
  HDC dc = GetDC(window);
  for (int i = 0; i < limit; ++i)
    if ((row ? GetPixel(dc, i, at) : GetPixel(dc, at, i)) != kBackground) marked.push_back(i);
  ReleaseDC(window, dc);
  return marked;
}
COLORREF PixelAt(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

class SliderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    g_backgroundBrush = CreateSolidBrush(kBackground);
    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), nullptr, DialogProc, 0);
    ASSERT_NE(dialog_, nullptr) << GetLastError();
    // Test controls go beside the template's, never over them: a template
    // control underneath that repaints would draw over what a test reads.
    RECT used{};
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      RECT r{};
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
      UnionRect(&used, &used, &r);
    }
    stageX_ = used.right + 10;
    RECT frame{0, 0, stageX_ + 300, std::max<LONG>(used.bottom + 10, 270)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_EXSTYLE)));
    SetWindowPos(dialog_, HWND_TOP, 40, 40, frame.right - frame.left, frame.bottom - frame.top, SWP_SHOWWINDOW);
    Pump(dialog_, 300);
  }
  static void TearDownTestSuite() {
    DestroyWindow(dialog_);
    CtlInitialize(FALSE);
    DeleteObject(g_backgroundBrush);
  }
  void SetUp() override {
    ASSERT_NE(dialog_, nullptr);
    g_notes.clear();
    g_answerScrolls = false;
  }
  void TearDown() override {
    for (HWND w : made_) DestroyWindow(w);
    if (GetCapture() != nullptr) ReleaseCapture();
  }
  // A control of exact pixel size in the dialog's free area.
  HWND Make(const wchar_t* cls, DWORD style, int x, int y, int width, int height) {
    HWND w = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, stageX_ + x, y, width, height,
                             dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(900 + made_.size())),
                             GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    made_.push_back(w);
    return w;
  }
  HWND Track(int y = 10, DWORD extra = 0) { return Make(kTrackbarClass, 0x0002 | extra, 10, y, kTrackW, 20); }
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
  static LRESULT SetPos(HWND w, int value) { return SendMessageW(w, kCtlSetPosition, 1, value); }
  static int Position(HWND w) { return static_cast<int>(SendMessageW(w, kCtlGetPosition, 0, 0)); }
  static void Down(HWND w, int x, int y, UINT message = WM_LBUTTONDOWN) {
    SendMessageW(w, message, MK_LBUTTON, MAKELPARAM(x, y));
  }
  static void Up(HWND w, int x, int y) { SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
  static void Move(HWND w, int x, int y, WPARAM keys = MK_LBUTTON) {
    SendMessageW(w, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
  }
  static inline HWND dialog_ = nullptr;
  static inline int stageX_ = 0;  // left edge of the area the template leaves free
  std::vector<HWND> made_;
};

TEST_F(SliderTest, PositionIsClampedAndRangesMoveIt) {
  HWND w = Track();
  EXPECT_EQ(Position(GetDlgItem(dialog_, 301)), 50);  // a template fader, as created
  EXPECT_EQ(SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(0, 200)), 0);
  EXPECT_EQ(SetPos(w, 250), 200);
  EXPECT_EQ(SendMessageW(w, kCtlSetPosition, 0, -7), 0);
  SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-800), static_cast<WORD>(-10)));  // signed halves
  EXPECT_EQ(SendMessageW(w, kCtlGetMinimum, 0, 0), -800);
  EXPECT_EQ(Position(w), -10);
  // The single-limit messages take full 32-bit values and move the position.
  SetRange(w, -100000, 100000);
  EXPECT_EQ(SetPos(w, 99999), 99999);
  SendMessageW(w, kCtlSetMaximum, 0, 1000);
  EXPECT_EQ(Position(w), 1000);
  SendMessageW(w, kCtlSetMinimum, 0, 2000);
  EXPECT_EQ(Position(w), 2000);
}

TEST_F(SliderTest, ArrowsAndChannelSendTheirCodesAndAPageAnswersThem) {
  HWND w = Track();
  const struct {
    int x, y;
    Codes codes;
  } clicks[] = {{kTrackW - 15, 10, {kScrollButtonDown, kScrollLineUp, kScrollEnd}},
                {kTrackW - 3, 10, {kScrollButtonDown, kScrollLineDown, kScrollEnd}},
                {20, 10, {kScrollButtonDown, kScrollPageUp, kScrollEnd}},
                {150, 10, {kScrollButtonDown, kScrollPageDown, kScrollEnd}},
                {20, 0, {}}};  // the track outside the parts
  for (const auto& c : clicks) {
    SCOPED_TRACE(c.x * 100 + c.y);
    g_notes.clear();
    Down(w, c.x, c.y);
    EXPECT_EQ(GetCapture(), c.codes.empty() ? nullptr : w);
    Up(w, c.x, c.y);
    EXPECT_EQ(NoteCodes(), c.codes);
    EXPECT_EQ(GetCapture(), nullptr);
  }
  EXPECT_EQ(Position(w), 50);  // the control never moves itself
  g_answerScrolls = true;      // TrackbarScroll with line 1, page 10
  Down(w, kTrackW - 3, 10);
  Up(w, kTrackW - 3, 10);
  EXPECT_EQ(Position(w), 51);
  Down(w, 20, 10);
  Up(w, 20, 10);
  EXPECT_EQ(Position(w), 41);
}

TEST_F(SliderTest, ThumbDragTracksThenReportsThePositionAndShiftHalvesTheSpeed) {
  HWND w = PixelTrack(50);
  const int centre = 50 + 5;  // travel start 5 plus the offset
  Down(w, centre, 10);
  Move(w, centre + 20, 10);
  Move(w, centre + 20, 14);  // across only: same value, no note
  Up(w, centre + 20, 10);
  ASSERT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  EXPECT_EQ(g_notes[1].message, static_cast<UINT>(WM_HSCROLL));
  EXPECT_EQ(g_notes[1].control, w);
  EXPECT_EQ(g_notes[1].position, 70);
  EXPECT_EQ(g_notes[2].position, 70);
  EXPECT_EQ(Position(w), 70);
  // With Shift the same 10 pixels are worth (10 + 1) / 2 = 5 units.
  Down(w, centre + 20, 10);
  Move(w, centre + 30, 10, MK_LBUTTON | MK_SHIFT);
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
  Down(w, 20, 226);  // the cap at the bottom
  for (int y = 220; y >= -60; y -= 7) Move(w, 20, y);
  Up(w, 20, -60);
  ASSERT_GE(g_notes.size(), 4u);
  EXPECT_EQ(g_notes[0].message, static_cast<UINT>(WM_VSCROLL));
  int previous = -800;
  for (const Note& n : g_notes) {
    if (n.code != kScrollThumbTrack) continue;
    EXPECT_GT(n.position, previous);
    EXPECT_LE(n.position, 0);
    previous = n.position;
  }
  EXPECT_EQ(previous, 0);
  ExpectReported(0);
}

TEST_F(SliderTest, EscapeOrLosingTheCaptureEndsADrag) {
  HWND w = PixelTrack(50);
  Down(w, 55, 10);
  Move(w, 85, 10);
  ASSERT_EQ(Position(w), 80);
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
  // Escape goes through the dialog, which must hand it to the control: the
  // position is restored and reported, and the dialog stays.
  ASSERT_TRUE(PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0));
  Pump(dialog_, 100);
  EXPECT_EQ(Position(w), 50);
  EXPECT_EQ(GetCapture(), nullptr);
  ExpectReported(50);
  EXPECT_EQ(g_notes.back().code, kScrollEnd);
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
  Move(w, 120, 10);  // after the end: nothing
  EXPECT_EQ(Position(w), 50);
  // Someone else takes the mouse: the press ends as with a button up.
  g_notes.clear();
  Down(w, 55, 10);
  Move(w, 65, 10);
  SetCapture(dialog_);
  ReleaseCapture();
  ASSERT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  EXPECT_EQ(g_notes[2].position, 60);
  g_notes.clear();
  Down(w, 150, 10);
  SendMessageW(w, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollPageDown, kScrollEnd}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SliderTest, DoubleClickOnTheThumbResetsAtOnceAndTheDisabledIgnoreTheMouse) {
  for (const bool fader : {false, true}) {
    SCOPED_TRACE(fader);
    HWND w = fader ? Fader() : Track();
    SetRange(w, -100, 100);
    SetPos(w, 100);  // thumb at the top or right end
    g_notes.clear();
    Down(w, fader ? 20 : kTravel + 5, 10, WM_LBUTTONDBLCLK);
    EXPECT_EQ(Position(w), 0);
    ASSERT_EQ(g_notes.size(), 1u);
    ExpectReported(0, 1);
    EXPECT_EQ(GetCapture(), nullptr);
  }
  g_notes.clear();
  HWND off = Track(40, WS_DISABLED);
  Down(off, 55, 10);
  Down(off, 55, 10, WM_LBUTTONDBLCLK);
  Down(Make(kFaderClass, 0x1083, 60, 10, 40, 30), 20, 15);  // too small to have a travel
  EXPECT_TRUE(g_notes.empty());
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SliderTest, KeysSendTheirCodesAndDigitsSetAProportionButNotWhileHeld) {
  HWND fader = Fader();
  const std::pair<WPARAM, int> keys[] = {
      {VK_PRIOR, kScrollPageUp}, {VK_NEXT, kScrollPageDown}, {VK_END, kScrollBottom},     {VK_HOME, kScrollTop},
      {VK_LEFT, kScrollLineUp},  {VK_UP, kScrollLineUp},     {VK_RIGHT, kScrollLineDown}, {VK_DOWN, kScrollLineDown}};
  for (const auto& [key, code] : keys) {
    g_notes.clear();
    SendMessageW(fader, WM_KEYDOWN, key, 0);
    SendMessageW(fader, WM_KEYUP, key, 0);
    EXPECT_EQ(NoteCodes(), (Codes{code, kScrollEnd})) << key;
  }
  EXPECT_EQ(Position(fader), 50);  // only the parent moves it
  HWND track = Track();
  SetRange(track, -800, 100);
  g_notes.clear();
  SendMessageW(track, WM_KEYDOWN, '3', 0);
  EXPECT_EQ(Position(track), -500);
  ExpectReported(-500, 1);
  Down(track, 20, 10);
  g_notes.clear();
  SendMessageW(track, WM_KEYDOWN, '9', 0);
  EXPECT_TRUE(g_notes.empty());
  Up(track, 20, 10);
}

TEST_F(SliderTest, KeysThroughTheDialogDriveAFaderWithFaderScroll) {
  HWND w = Fader();
  SetRange(w, -800, 0);
  SetPos(w, -350);
  g_answerScrolls = true;
  SetFocus(w);
  const std::pair<WPARAM, int> steps[] = {{VK_UP, -349}, {VK_PRIOR, -339}, {VK_DOWN, -340}, {VK_HOME, 0}, {VK_END, -800}};
  for (const auto& [key, position] : steps) {
    PostMessageW(w, WM_KEYDOWN, key, 0);
    PostMessageW(w, WM_KEYUP, key, 0);
    Pump(dialog_, 60);
    EXPECT_EQ(Position(w), position) << key;
  }
  EXPECT_EQ(GetFocus(), w);  // arrows stayed with the control
}

TEST_F(SliderTest, ThumbIsDrawnWhereTheMappingPutsItAndNotWhenDisabled) {
  HWND w = Track(120);
  SetRange(w, 0, 200);
  for (int position : {0, 137, 200}) {
    SCOPED_TRACE(position);
    SetPos(w, position);
    Pump(dialog_, 30);
    // Row 5 crosses the thumb (rows 2 to 17) above the channel (rows 6 to 13).
    const std::vector<int> marked = Marked(w, true, 5, kTrackW - 17);
    const int left = position * kTravel / 200;
    ASSERT_EQ(marked.size(), 10u);
    EXPECT_EQ(marked.front(), left);
    EXPECT_EQ(PixelAt(w, left + 5, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(PixelAt(w, left, 5), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(PixelAt(w, left > 80 ? 20 : 120, 10), GetSysColor(COLOR_SCROLLBAR));  // the channel
  }
  EnableWindow(w, FALSE);
  Pump(dialog_, 30);
  EXPECT_TRUE(Marked(w, true, 5, kTrackW - 17).empty());
  EXPECT_EQ(PixelAt(w, 80, 10), GetSysColor(COLOR_SCROLLBAR));  // the channel stays
}

TEST_F(SliderTest, TaperedFaderCapSitsAtTheTaperedOffset) {
  // No scale lines, so column 10 through the cap shows only the cap. Travel
  // 216 from y 10 (0) to y 226 (-800). T(-200) = -561, coordinate
  // -561 * 800 / 966 = -464, offset (800 - 464) * 216 / 800 = 90: centre
  // 226 - 90 = 136, cap rows 126 to 145.
  HWND w = Fader(0x0083, 240);
  SetRange(w, -800, 0);
  for (const auto& [value, top] : {std::pair{-200, 126}, std::pair{0, 0}, std::pair{-800, 216}}) {
    SCOPED_TRACE(value);
    SetPos(w, value);
    Pump(dialog_, 30);
    const std::vector<int> marked = Marked(w, false, 10, 236);
    ASSERT_EQ(marked.size(), 20u);
    EXPECT_EQ(marked.front(), top);
  }
}

TEST_F(SliderTest, FocusCaretCoversTheThumbInsetByTwoAndFollowsIt) {
  HWND w = Track(150);
  SetRange(w, 0, kTravel);
  SetPos(w, 40);
  SetFocus(w);
  ASSERT_EQ(GetFocus(), w);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_EQ(info.hwndCaret, w);
  const RECT expected{42, 4, 48, 16};  // thumb 40..49 across 2..17
  EXPECT_TRUE(EqualRect(&info.rcCaret, &expected));
  SetPos(w, 100);
  POINT caret{};
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, 102);
  SetFocus(nullptr);  // the dialog itself would hand the focus straight back
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_EQ(info.hwndCaret, nullptr);
}

}  // namespace
}  // namespace quill::test
