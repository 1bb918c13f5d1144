// The control library against the real platform: counted start-up and
// shutdown, the settings read from the Wine prefix, tinted bitmaps, window
// placement; and trackbars and faders in a real dialog: the notifications
// for each mouse and keyboard gesture and the drawing read back from the
// screen. The rules behind them are tested on the portable code.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"
#include "include/quillfx1.h"
#include "tests/windows/page_support.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

HINSTANCE Self() {
  return GetModuleHandleW(nullptr);
}

bool Registered(HINSTANCE module, const wchar_t* name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  return GetClassInfoExW(module, name, &wc) != FALSE;
}

void StopAll() {
  while (CtlStartCount() > 0) CtlInitialize(FALSE);
}

// Start-ups are counted: only the last shutdown removes the classes (unless
// a window of one is still open) and deletes the cached objects.
TEST(CtlStartup, OnlyTheLastShutdownRemovesTheClassesAndTheCachedObjects) {
  StopAll();
  EXPECT_EQ(CtlInitialize(FALSE), S_FALSE);  // nothing to shut down
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  EXPECT_EQ(CtlModule(), Self());
  EXPECT_TRUE(Registered(Self(), kTrackbarClass) && Registered(Self(), kFaderClass));
  HBRUSH brush = CtlBrush(105);
  EXPECT_EQ(CtlCursor(102), LoadCursorW(Self(), MAKEINTRESOURCEW(102)));  // the module's own cursor
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_TRUE(Registered(Self(), kTrackbarClass));
  EXPECT_EQ(CtlBrush(105), brush);
  HWND window = CreateWindowExW(0, kTrackbarClass, L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, Self(), nullptr);
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_EQ(GetObjectType(brush), 0u);  // deleted
  EXPECT_TRUE(Registered(Self(), kTrackbarClass));
  EXPECT_FALSE(Registered(Self(), kFaderClass));
  EXPECT_EQ(SendMessageW(window, kCtlGetPosition, 0, 0), 50);
  ASSERT_TRUE(DestroyWindow(window));
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);  // the class is reused
  window = CreateWindowExW(0, kTrackbarClass, L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, Self(), nullptr);
  EXPECT_TRUE(DestroyWindow(window));
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_FALSE(Registered(Self(), kTrackbarClass));
}

// Each class as it is registered: class style, window data, background;
// and the objects start-up makes for them live until the last shutdown.
TEST(CtlStartup, SixClassesWithTheirOwnAttributesAndTheirStartUpObjects) {
  StopAll();
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  constexpr UINT kStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  constexpr int kSlot = sizeof(LONG_PTR);
  const struct {
    const wchar_t* name;
    UINT style;
    int extra;
    INT_PTR background;  // system colour + 1, or 0 for none
  } classes[] = {
      {kTrackbarClass, kStyle, kSlot, COLOR_3DFACE + 1},   {kEnvelopeClass, kStyle, kSlot, COLOR_WINDOW + 1},
      {kFaderClass, kStyle, kSlot, COLOR_3DFACE + 1},      {kSpinnerClass, kStyle, kSlot, COLOR_3DFACE + 1},
      {kStaticClass, kStyle, 2 * kSlot, COLOR_WINDOW + 1}, {kMeterClass, kStyle | CS_GLOBALCLASS, 0, 0},
  };
  for (const auto& c : classes) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExW(Self(), c.name, &wc)) << "not registered";
    EXPECT_EQ(wc.style, c.style);
    EXPECT_EQ(wc.cbWndExtra, c.extra);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(wc.hbrBackground), c.background);
  }
  HBRUSH grey = CtlGreyPattern();
  HBITMAP face = CtlSpinnerFace();
  LOGBRUSH pattern{};
  ASSERT_EQ(GetObjectW(grey, sizeof pattern, &pattern), static_cast<int>(sizeof pattern));
  EXPECT_EQ(pattern.lbStyle, static_cast<UINT>(BS_PATTERN));
  BITMAP faceSize{};
  EXPECT_EQ(GetObjectW(face, sizeof faceSize, &faceSize), static_cast<int>(sizeof faceSize)) << "bitmap 100 tinted";
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_EQ(GetObjectType(grey), 0u);
  EXPECT_EQ(GetObjectType(face), 0u);
  EXPECT_EQ(CtlGreyPattern(), nullptr);
  for (const auto& c : classes) EXPECT_FALSE(Registered(Self(), c.name));
}

// The filters start the library copy inside the DLL, one count each, so a
// page of a remaining filter still finds its classes.
TEST(CtlStartup, EffectFiltersStartTheLibraryInTheModuleAndCountEachOther) {
  StopAll();
  const HMODULE dll = Quill().handle;
  ComRef<IBaseFilter> first, second;
  ASSERT_EQ(CreateFromModule(CLSID_TwEchos, IID_IBaseFilter, first.PutVoid()), S_OK);
  EXPECT_TRUE(Registered(dll, kTrackbarClass) && Registered(dll, kFaderClass));
  EXPECT_FALSE(Registered(Self(), kTrackbarClass));
  ASSERT_EQ(CreateFromModule(CLSID_TwPitchs, IID_IBaseFilter, second.PutVoid()), S_OK);
  first.Reset();
  EXPECT_TRUE(Registered(dll, kTrackbarClass));
  second.Reset();
  EXPECT_FALSE(Registered(dll, kTrackbarClass) || Registered(dll, kFaderClass));
}

// "wexa32.ini" in the Windows directory overrides colours and WIN.INI's
// "intl" section gives the separators, both read at start-up only.
TEST(CtlSettings, HostEditorColoursAndLocaleSeparatorsAreReadAtStartUp) {
  WCHAR dir[MAX_PATH], saved[32];
  const std::wstring ini = std::wstring(dir, GetWindowsDirectoryW(dir, MAX_PATH)) + L"\\wexa32.ini";
  GetProfileStringW(L"intl", L"sThousand", L"\x1F", saved, 32);
  const auto write = [](const wchar_t* colour, const wchar_t* separator) {
    EXPECT_TRUE(WritePrivateProfileStringW(L"Metrics", L"1105", colour, L"wexa32.ini"));
    EXPECT_TRUE(WriteProfileStringW(L"intl", L"sThousand", separator));
  };
  write(L"255", L".");
  ASSERT_TRUE(WritePrivateProfileStringW(L"Metrics", L"1106", L"67108879", L"wexa32.ini"));  // system colour 15
  StopAll();
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  write(L"65535", L"'");
  EXPECT_EQ(CtlColor(105), 0x0000FFu);
  EXPECT_EQ(CtlColor(106), GetSysColor(COLOR_3DFACE));
  EXPECT_EQ(CtlSeparators().thousands, L'.');
  DeleteFileW(ini.c_str());
  WriteProfileStringW(L"intl", L"sThousand", saved[0] == L'\x1F' ? nullptr : saved);
  StopAll();
}

// Palette entries 0, 7, 8, 15, 11 and 10 of a 16-colour bitmap take the six
// colours (the top row shows them in that order, then entry 1 untouched);
// a 256-colour or missing bitmap gives nothing.
TEST(CtlDrawing, TintedBitmapReplacesSixPaletteEntries) {
  const COLORREF c[6] = {RGB(1, 2, 3),       RGB(70, 71, 72),    RGB(80, 81, 82),
                         RGB(150, 151, 152), RGB(110, 111, 112), RGB(100, 101, 102)};
  const auto tint = [&](int id) { return LoadTintedBitmap(Self(), id, c[0], c[1], c[2], c[3], c[4], c[5]); };
  HBITMAP bitmap = tint(1);
  ASSERT_NE(bitmap, nullptr);
  HDC screen = GetDC(nullptr);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 8, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};  // top row first
  std::uint32_t px[16] = {};
  EXPECT_EQ(GetDIBits(screen, bitmap, 0, 2, px, &info, DIB_RGB_COLORS), 2);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  for (int x = 0; x < 7; ++x)
    EXPECT_EQ(RGB((px[x] >> 16) & 0xFF, (px[x] >> 8) & 0xFF, px[x] & 0xFF), x < 6 ? c[x] : RGB(16, 0x22, 0x33)) << x;
  EXPECT_EQ(tint(2), nullptr);
  EXPECT_EQ(tint(3), nullptr);
}

TEST(CtlPlacement, PopupGoesOverItsOwnerOrAPointAndStaysOnScreen) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr, Self(), nullptr);
  HWND popup = CreateWindowExW(0, L"STATIC", L"popup", WS_POPUP, 0, 0, 200, 100, owner, nullptr, Self(), nullptr);
  ASSERT_TRUE(owner && popup);
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  const struct {
    POINT at;
    UINT flags;
    int x, y;
  } cases[] = {
      {{}, kPlaceOnParent | kPlaceBelowTop, 100 + (400 - 200) / 2, 100 + 300 / 3 - 100 / 3},  // a third down
      {{screenW, screenH}, kPlaceAtPoint, screenW - 200, screenH - 100},
      {{}, kPlaceAtPointer, 200, 210},  // centred on the pointer at 300, 260
  };
  ASSERT_TRUE(SetCursorPos(300, 260));
  for (const auto& c : cases) {
    ASSERT_TRUE(PlaceWindow(popup, nullptr, c.at, c.flags));
    RECT r{};
    GetWindowRect(popup, &r);
    EXPECT_TRUE(r.left == c.x && r.top == c.y && r.right - r.left == 200) << c.flags << ": " << r.left << "," << r.top;
  }
  EXPECT_FALSE(PlaceWindow(nullptr, nullptr, POINT{}, 0));
  DestroyWindow(owner);
}

constexpr COLORREF kBackground = RGB(0x40, 0x80, 0x40);  // the dialog's own, unlike any system colour
// Page trackbar 200 x 20: thumb 10, arrows 17, so the travel is 173 pixels
// and the thumb's left edge is at position * 173 / range.
constexpr int kTrackW = 200, kTravel = 200 - 17 - 10;
using Codes = std::vector<int>;

struct Note {
  UINT message;
  int code, position;
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
  g_notes.push_back(Note{message, code, static_cast<short>(HIWORD(wParam))});
  if (g_answerScrolls && code != kScrollThumbTrack && code != kScrollThumbPosition)
    TrackbarScroll(message, code, control, 1, 10);
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
  return TRUE;
}

Codes NoteCodes() {
  Codes codes;
  for (const Note& n : g_notes) codes.push_back(n.code);
  g_notes.clear();
  return codes;
}
// The note `back` from the end reports `position` as the final one.
void ExpectReported(int position, size_t back = 2) {
  ASSERT_GE(g_notes.size(), back);
  EXPECT_EQ(g_notes[g_notes.size() - back].code, kScrollThumbPosition);
  EXPECT_EQ(g_notes[g_notes.size() - back].position, position);
}

// Where along row (or column) `at` the window on screen differs from the
// dialog's background.
std::vector<int> Marked(HWND window, bool row, int at, int limit) {
  const WindowPixels pixels(window);
  std::vector<int> marked;
  for (int i = 0; i < limit; ++i)
    if ((row ? pixels.At(i, at) : pixels.At(at, i)) != kBackground) marked.push_back(i);
  return marked;
}

class SliderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    g_backgroundBrush = CreateSolidBrush(kBackground);
    dialog_ = CreateDialogParamW(Self(), MAKEINTRESOURCEW(100), nullptr, DialogProc, 0);
    ASSERT_NE(dialog_, nullptr) << GetLastError();
    // Hidden, the template's controls cannot paint over what a test reads.
    for (int id : {201, 301}) ShowWindow(GetDlgItem(dialog_, id), SW_HIDE);
    RECT frame{0, 0, 300, 270};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_STYLE)), FALSE, 0);
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
    ReleaseCapture();
  }
  HWND Make(const wchar_t* cls, DWORD style, int x, int y, int width, int height) {
    made_.push_back(CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, width, height,
                                    dialog_, nullptr, Self(), nullptr));
    EXPECT_NE(made_.back(), nullptr);
    return made_.back();
  }
  // A page trackbar, of one unit per pixel unless told otherwise.
  HWND Track(int y = 10, int position = 50, int hi = kTravel) {
    HWND w = Make(kTrackbarClass, 0x0002, 10, y, kTrackW, 20);
    SetRange(w, 0, hi);
    SetPos(w, position);
    return w;
  }
  HWND Fader(DWORD style = 0x1083, int x = 10) { return Make(kFaderClass, style, x, 10, 40, 236); }
  static void SetRange(HWND w, int lo, int hi) {
    SendMessageW(w, kCtlSetMinimum, 0, lo);
    SendMessageW(w, kCtlSetMaximum, 0, hi);
  }
  static LRESULT SetPos(HWND w, int value) { return SendMessageW(w, kCtlSetPosition, 1, value); }
  static int Position(HWND w) { return static_cast<int>(SendMessageW(w, kCtlGetPosition, 0, 0)); }
  static void Mouse(HWND w, UINT message, int x, int y, WPARAM keys = MK_LBUTTON) {
    SendMessageW(w, message, keys, MAKELPARAM(x, y));
  }
  static void Click(HWND w, int x, int y) {
    Mouse(w, WM_LBUTTONDOWN, x, y);
    Mouse(w, WM_LBUTTONUP, x, y, 0);
  }
  static inline HWND dialog_ = nullptr;
  std::vector<HWND> made_;
};

TEST_F(SliderTest, RangeClampsThePositionAndArrowsAndChannelSendTheirCodesForAPageToAnswer) {
  EXPECT_EQ(SendMessageW(GetDlgItem(dialog_, 301), kCtlGetMaximum, 0, 0), 100);  // a template fader, as created
  HWND w = Track(10, 50, 200);
  EXPECT_EQ(SetPos(w, 250), 200);
  SendMessageW(w, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-800), static_cast<WORD>(-10)));  // signed halves
  EXPECT_EQ(SendMessageW(w, kCtlGetMinimum, 0, 0), -800);
  EXPECT_EQ(Position(w), -10);
  SetRange(w, 2000, 100000);  // full 32-bit limits, which move the position too
  EXPECT_EQ(Position(w), 2000);
  SetRange(w, 0, 100);
  SetPos(w, 50);
  const std::pair<int, int> parts[] = {
      {kTrackW - 15, kScrollLineUp}, {kTrackW - 3, kScrollLineDown}, {20, kScrollPageUp}, {150, kScrollPageDown}};
  for (const auto& [x, code] : parts) {
    Mouse(w, WM_LBUTTONDOWN, x, 10);
    EXPECT_EQ(GetCapture(), w);
    Mouse(w, WM_LBUTTONUP, x, 10, 0);
    EXPECT_EQ(NoteCodes(), (Codes{kScrollButtonDown, code, kScrollEnd})) << x;
    EXPECT_EQ(GetCapture(), nullptr);
  }
  Click(w, 20, 0);  // the track outside the parts
  EXPECT_TRUE(g_notes.empty());
  EXPECT_EQ(Position(w), 50);  // the control never moves itself
  g_answerScrolls = true;      // TrackbarScroll with line 1, page 10
  Click(w, kTrackW - 3, 10);
  EXPECT_EQ(Position(w), 51);
  Click(w, 20, 10);
  EXPECT_EQ(Position(w), 41);
}

TEST_F(SliderTest, ThumbDragTracksThenReportsThePositionAndShiftHalvesTheSpeed) {
  HWND w = Track();
  Mouse(w, WM_LBUTTONDOWN, 55, 10);  // the thumb's centre: travel start 5 plus 50
  Mouse(w, WM_MOUSEMOVE, 75, 10);
  Mouse(w, WM_MOUSEMOVE, 75, 14);  // across only: same value, no note
  Mouse(w, WM_LBUTTONUP, 75, 10, 0);
  ExpectReported(70);
  EXPECT_EQ(g_notes[1].message, static_cast<UINT>(WM_HSCROLL));
  EXPECT_EQ(g_notes[1].position, 70);
  EXPECT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  // With Shift the same 10 pixels are worth (10 + 1) / 2 = 5 units.
  Mouse(w, WM_LBUTTONDOWN, 75, 10);
  Mouse(w, WM_MOUSEMOVE, 85, 10, MK_LBUTTON | MK_SHIFT);
  EXPECT_EQ(Position(w), 75);
  Mouse(w, WM_LBUTTONUP, 80, 10, 0);
  ExpectReported(75);
  Mouse(w, WM_LBUTTONDOWN, 80, 10);
  Mouse(w, WM_MOUSEMOVE, kTrackW + 40, 10);  // beyond the end: the limit
  EXPECT_EQ(Position(w), kTravel);
}

// Escape goes through the dialog, which must hand it to the control: the
// position is restored and reported, and the dialog stays. Losing the
// capture or a cancel-mode ends the press as a button up does.
TEST_F(SliderTest, EscapeOrLosingTheCaptureEndsADrag) {
  HWND w = Track();
  Mouse(w, WM_LBUTTONDOWN, 55, 10);
  Mouse(w, WM_MOUSEMOVE, 85, 10);
  ASSERT_EQ(Position(w), 80);
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
  ASSERT_TRUE(PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0));
  Pump(dialog_, 100);
  EXPECT_EQ(Position(w), 50);
  EXPECT_EQ(GetCapture(), nullptr);
  ExpectReported(50);
  EXPECT_EQ(g_notes.back().code, kScrollEnd);
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
  Mouse(w, WM_MOUSEMOVE, 120, 10);  // after the end: nothing
  EXPECT_EQ(Position(w), 50);
  g_notes.clear();
  Mouse(w, WM_LBUTTONDOWN, 55, 10);
  Mouse(w, WM_MOUSEMOVE, 65, 10);
  SetCapture(dialog_);
  ReleaseCapture();
  ExpectReported(60);
  EXPECT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollThumbTrack, kScrollThumbPosition, kScrollEnd}));
  Mouse(w, WM_LBUTTONDOWN, 150, 10);
  SendMessageW(w, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(NoteCodes(), (Codes{kScrollButtonDown, kScrollPageDown, kScrollEnd}));
  EXPECT_EQ(GetCapture(), nullptr);
}

// Keys send their codes for the parent to answer; a digit sets its tenth of
// the range at once, but not while the mouse holds the control.
TEST_F(SliderTest, KeysSendTheirCodesAndDigitsSetAProportionButNotWhileHeld) {
  HWND fader = Fader();
  for (const auto& [key, code] : {std::pair{VK_PRIOR, kScrollPageUp}, {VK_DOWN, kScrollLineDown}}) {
    SendMessageW(fader, WM_KEYDOWN, key, 0);
    SendMessageW(fader, WM_KEYUP, key, 0);
    EXPECT_EQ(NoteCodes(), (Codes{code, kScrollEnd})) << key;
  }
  EXPECT_EQ(Position(fader), 50);
  HWND track = Track(10, 0, 100);
  SetRange(track, -800, 100);
  SendMessageW(track, WM_KEYDOWN, '3', 0);
  EXPECT_EQ(Position(track), -500);
  ExpectReported(-500, 1);
  Mouse(track, WM_LBUTTONDOWN, 150, 10);
  g_notes.clear();
  SendMessageW(track, WM_KEYDOWN, '9', 0);
  EXPECT_TRUE(g_notes.empty());
}

TEST_F(SliderTest, ThumbAndCaretAreWhereTheMappingPutsThemAndNoThumbWhenDisabled) {
  HWND w = Track(120, 0, 200);
  for (int position : {0, 137, 200}) {
    SCOPED_TRACE(position);
    SetPos(w, position);
    Pump(dialog_, 30);
    // Row 5 crosses the thumb (rows 2 to 17) above the channel (rows 6 to 13).
    const std::vector<int> marked = Marked(w, true, 5, kTrackW - 17);
    const int left = position * kTravel / 200;
    ASSERT_EQ(marked.size(), 10u);
    EXPECT_EQ(marked.front(), left);
    EXPECT_EQ(WindowPixels(w).At(left + 5, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(WindowPixels(w).At(left, 5), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(WindowPixels(w).At(left > 80 ? 20 : 120, 10), GetSysColor(COLOR_SCROLLBAR));  // the channel
  }
  // The focus caret covers the thumb inset by two, and follows it.
  SetPos(w, 0);
  SetFocus(w);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &info));
  EXPECT_EQ(info.hwndCaret, w);
  const RECT caret{2, 4, 8, 16};
  EXPECT_TRUE(EqualRect(&info.rcCaret, &caret));
  SetPos(w, 200);
  POINT at{};
  ASSERT_TRUE(GetCaretPos(&at));
  EXPECT_EQ(at.x, kTravel + 2);
  EnableWindow(w, FALSE);
  Pump(dialog_, 30);
  EXPECT_TRUE(Marked(w, true, 5, kTrackW - 17).empty());
  EXPECT_EQ(WindowPixels(w).At(80, 10), GetSysColor(COLOR_SCROLLBAR));  // the channel stays
}

// Without scale lines, column 10 shows only the cap. Travel 216 from y 10
// (0) to y 226 (-800): T(-200) = -561, coordinate -561 * 800 / 966 = -464,
// offset (800 - 464) * 216 / 800 = 90, so the cap's 20 rows start at 126.
TEST_F(SliderTest, TaperedFaderCapSitsAtTheTaperedOffset) {
  HWND w = Fader(0x0083, 240);
  SetRange(w, -800, 0);
  SetPos(w, -200);
  Pump(dialog_, 30);
  const std::vector<int> marked = Marked(w, false, 10, 236);
  ASSERT_EQ(marked.size(), 20u);
  EXPECT_EQ(marked.front(), 126);
}

// A dialog with a control of each class from a template, set up as a page
// would: the spinner coupled to its edit, levels on the meter, an envelope.
// Its picture is kept as controls-all.bmp; each class's behaviour has its
// own tests.
INT_PTR CALLBACK LibraryDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetDlgItemTextW(dialog, 403, L"40");
    SendDlgItemMessageW(dialog, 404, kSpinSetBuddy, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 403)), 5);
    SendDlgItemMessageW(dialog, 402, kCtlSetRange, 0, MAKELPARAM(static_cast<WORD>(-800), 0));
    SendDlgItemMessageW(dialog, 402, kCtlSetPosition, FALSE, -120);
    LONG levels[2] = {16384, 3277};  // -6 and -20 dB
    SendDlgItemMessageW(dialog, 407, kMeterSetLevels, MAKEWPARAM(0, 2), reinterpret_cast<LPARAM>(levels));
    const EnvelopePoint points[] = {{0, 0}, {20, 90}, {60, 40}, {100, 0}};
    SendDlgItemMessageW(dialog, 408, kEnvSetXRange, 0, 100);
    SendDlgItemMessageW(dialog, 408, kEnvSetYRange, 0, 100);
    SendDlgItemMessageW(dialog, 408, kEnvSetPoints, 4, reinterpret_cast<LPARAM>(points));
    return TRUE;
  }
  return FALSE;
}

TEST(CtlLibrary, ADialogHoldsAControlOfEachClass) {
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(101), nullptr, LibraryDialogProc, 0);
  ASSERT_NE(dialog, nullptr);
  const std::pair<int, const wchar_t*> classes[] = {{401, kTrackbarClass}, {402, kFaderClass},  {404, kSpinnerClass},
                                                    {405, kStaticClass},   {406, kStaticClass}, {407, kMeterClass},
                                                    {408, kEnvelopeClass}};
  for (const auto& [id, name] : classes) {
    wchar_t found[64] = {};
    GetClassNameW(GetDlgItem(dialog, id), found, 64);
    EXPECT_STREQ(found, name) << id;
  }
  EXPECT_EQ(SendDlgItemMessageW(dialog, 407, kMeterGetScaleValue, 1, 0), -200);
  EXPECT_EQ(SendDlgItemMessageW(dialog, 408, kEnvValueAt, 0, 40), 65);
  // The picture from the "#5" in the template.
  Pump(dialog, 50);
  const WindowPixels picture(GetDlgItem(dialog, 405));
  EXPECT_NE(picture.At(picture.width / 2, picture.height / 2), picture.At(0, 0));
  EXPECT_TRUE(SaveWindow(dialog, BinDir() + L"controls-all.bmp"));
  DestroyWindow(dialog);
  CtlInitialize(FALSE);
}

}  // namespace
}  // namespace quill::test
