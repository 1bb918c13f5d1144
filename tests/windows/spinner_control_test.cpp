// The spinner in a dialog of its own: coupling a buddy edit and giving it
// back, the buddy's keys and focus as scroll codes, SpinnerScroll writing the
// buddy, the halves with their repeat, and the glyphs read from the screen.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

using Codes = std::vector<int>;
struct Note {
  HWND receiver;
  UINT message;
  int code;
};
std::vector<Note> g_notes;
bool g_answer = false;  // the dialog answers with SpinnerScroll, default page

INT_PTR CALLBACK NoteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_HSCROLL && message != WM_VSCROLL) return message == WM_INITDIALOG;
  g_notes.push_back(Note{dialog, message, LOWORD(wParam)});
  if (g_answer) SpinnerScroll(message, LOWORD(wParam), reinterpret_cast<HWND>(lParam), 0);
  return TRUE;
}

Codes TakeCodes() {
  Codes codes;
  for (const Note& n : g_notes) codes.push_back(n.code);
  g_notes.clear();
  return codes;
}

// Key and character messages that get through to the edit's own procedure.
std::vector<std::pair<UINT, WPARAM>> g_seen;
WNDPROC g_editProc = nullptr;
LRESULT CALLBACK Recorder(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) g_seen.emplace_back(message, wParam);
  return CallWindowProcW(g_editProc, edit, message, wParam, lParam);
}

void SetCtrl(bool down) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

class SpinnerTest : public ::testing::Test {
 protected:
  static HWND MakeDialog(int x) {
    struct {
      DLGTEMPLATE head;
      WORD menu, windowClass, title;
    } tmpl{{WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 0, 0, 200, 120}, 0, 0, 0};
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &tmpl.head, nullptr, NoteProc, 0);
    if (dialog != nullptr) SetWindowPos(dialog, HWND_TOP, x, 40, 360, 260, SWP_SHOWWINDOW);
    return dialog;
  }
  static void SetUpTestSuite() {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    dialog_ = MakeDialog(40);
    sink_ = MakeDialog(420);
    SetForegroundWindow(dialog_);
    Pump(dialog_, 200);
  }
  static void TearDownTestSuite() {
    DestroyWindow(dialog_);
    DestroyWindow(sink_);
    CtlInitialize(FALSE);
  }
  void SetUp() override {
    ASSERT_TRUE(dialog_ && sink_);
    ASSERT_NE(CtlSpinnerFace(), nullptr);  // the test module carries bitmap 100
    g_notes.clear();
    g_seen.clear();
  }
  void TearDown() override {
    SetCtrl(false);
    g_answer = false;
    for (HWND w : made_) DestroyWindow(w);
  }
  HWND Make(const wchar_t* cls, DWORD style, int y, int width, int height) {
    made_.push_back(CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, cls == kSpinnerClass ? 300 : 10, y,
                                    width, height, dialog_, nullptr, GetModuleHandleW(nullptr), nullptr));
    EXPECT_NE(made_.back(), nullptr);
    return made_.back();
  }
  HWND Spinner(int y = 10) { return Make(kSpinnerClass, kSpinStyleVertical, y, 13, 24); }
  // An edit whose own procedure is watched from below.
  HWND Edit(int y) {
    HWND edit = Make(L"EDIT", WS_BORDER | ES_AUTOHSCROLL, y, 80, 22);
    g_editProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)));
    return edit;
  }
  static HWND Couple(HWND spinner, HWND edit, WORD limit = 10) {
    return reinterpret_cast<HWND>(SendMessageW(spinner, kSpinSetBuddy, reinterpret_cast<WPARAM>(edit), limit));
  }
  static HWND Buddy(HWND spinner) { return reinterpret_cast<HWND>(SendMessageW(spinner, kSpinGetBuddy, 0, 0)); }
  static void Key(HWND w, WPARAM key) {
    SendMessageW(w, WM_KEYDOWN, key, 1);
    SendMessageW(w, WM_KEYUP, key, 0xC0000001);
  }
  static std::wstring Text(HWND w) {
    wchar_t text[64] = {};
    GetWindowTextW(w, text, 64);
    return text;
  }
  static void Click(HWND w, int x, int y) {
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  static inline HWND dialog_ = nullptr, sink_ = nullptr;
  std::vector<HWND> made_;
};

bool Coupled(HWND edit) {
  return GetPropW(edit, L"SpinMeRound") != nullptr && GetPropW(edit, L"SpinMeLo") == &Recorder &&
         GetWindowLongPtrW(edit, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&Recorder);
}
bool Released(HWND edit) {
  return GetPropW(edit, L"SpinMeRound") == nullptr && GetPropW(edit, L"SpinMeLo") == nullptr &&
         GetWindowLongPtrW(edit, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Recorder);
}

TEST_F(SpinnerTest, CouplingLimitsAndFlanksTheEditAndRecouplingOrDestroyingGivesItBack) {
  HWND first = Edit(10), second = Edit(50), spinner = Spinner(), other = Spinner(100);
  EXPECT_EQ(Couple(spinner, first, 5), first);
  EXPECT_EQ(SendMessageW(first, EM_GETLIMITTEXT, 0, 0), 5);
  EXPECT_TRUE(Coupled(first));
  RECT edit, spin;
  GetWindowRect(first, &edit);
  GetWindowRect(spinner, &spin);
  EXPECT_EQ(spin.left, edit.right + (LOBYTE(LOWORD(GetVersion())) < 4 ? 1 : 0));
  EXPECT_TRUE(spin.top == edit.top && spin.bottom == edit.bottom && spin.right - spin.left == 13);
  EXPECT_EQ(Couple(spinner, spinner), nullptr);  // refused, nothing changes
  EXPECT_EQ(Buddy(spinner), first);
  EXPECT_EQ(Couple(spinner, second), second);
  EXPECT_TRUE(Released(first) && Coupled(second));
  // Another spinner takes the edit over; destroying that one gives it back.
  EXPECT_EQ(Couple(other, second), second);
  EXPECT_EQ(Buddy(spinner), nullptr);
  DestroyWindow(other);
  EXPECT_TRUE(Released(second));
  Couple(spinner, first);
  DestroyWindow(first);
  EXPECT_EQ(Buddy(spinner), nullptr);
}

TEST_F(SpinnerTest, BuddyKeysBecomeScrollCodesThatSpinnerScrollWritesBack) {
  HWND edit = Edit(10), spinner = Spinner();
  Couple(spinner, edit);
  SendMessageW(spinner, kCtlSetMaximum, 0, 12000);
  SendMessageW(spinner, kCtlSetPosition, 0, 5);
  SetWindowTextW(edit, L"5");
  g_answer = true;
  const struct {
    WPARAM key;
    bool ctrl;
    int code;
    const wchar_t* text;
  } steps[] = {{VK_UP, false, kScrollLineDown, L"6"},
               {VK_NEXT, false, kScrollPageDown, L"16"},
               {VK_END, true, kScrollBottom, L"12,000"},
               {VK_PRIOR, true, kScrollPageUp, L"11,900"}};
  for (const auto& step : steps) {
    SetCtrl(step.ctrl);
    Key(edit, step.key);
    EXPECT_EQ(TakeCodes(), (Codes{step.code, kScrollEnd})) << step.key;
    EXPECT_EQ(Text(edit), step.text);
  }
  SetCtrl(false);
  // The edit keeps its caret keys; only the character following a key the
  // spinner took is swallowed.
  for (WPARAM key : {VK_LEFT, VK_END}) Key(edit, key);
  SendMessageW(edit, WM_KEYDOWN, VK_DOWN, 1);
  SendMessageW(edit, WM_CHAR, '(', 1);
  SendMessageW(edit, WM_CHAR, '(', 1);
  using Seen = std::vector<std::pair<UINT, WPARAM>>;
  EXPECT_EQ(
      g_seen,
      (Seen{{WM_KEYDOWN, VK_LEFT}, {WM_KEYUP, VK_LEFT}, {WM_KEYDOWN, VK_END}, {WM_KEYUP, VK_END}, {WM_CHAR, '('}}));
  // A step of 5 and its page of 50 go from what was typed.
  SendMessageW(spinner, kSpinSetStep, 5, 0);
  SendMessageW(spinner, kSpinSetStep, 0, 0);  // refused
  SetWindowTextW(edit, L"1,234");
  Key(edit, VK_DOWN);
  Key(edit, VK_PRIOR);
  EXPECT_EQ(Text(edit), L"1,179");
}

TEST_F(SpinnerTest, BuddyFocusReportsPressAndEndAndStyle4000PutsAClickThroughToTheBuddy) {
  HWND edit = Edit(10), elsewhere = Edit(50), spinner = Spinner();
  Couple(spinner, edit);
  SetFocus(elsewhere);
  g_notes.clear();
  SetFocus(edit);
  SetFocus(elsewhere);
  EXPECT_EQ(TakeCodes(), (Codes{kScrollButtonDown, kScrollEnd}));
  Click(spinner, 6, 3);  // without the style the focus stays put
  EXPECT_EQ(GetFocus(), elsewhere);
  SendMessageW(spinner, kSpinSetStyle, kSpinStyleVertical | kSpinStyleFocusBuddy, 0);
  g_notes.clear();
  Click(spinner, 6, 3);
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(TakeCodes(), (Codes{kScrollButtonDown, kScrollLineDown, kScrollEnd}));  // one press, not two
}

TEST_F(SpinnerTest, HalvesSendTheirLineCodesRepeatWhileHeldAndFollowOrientationAndReceiver) {
  HWND spinner = Spinner();
  Click(spinner, 6, 3);
  Click(spinner, 6, 20);
  EXPECT_EQ(TakeCodes(), (Codes{9, kScrollLineDown, 8, 9, kScrollLineUp, 8}));
  // Held on the top half: at once, then every 250 ms while the pointer is on
  // it, and pressed-looking only then.
  POINT on{6, 3};
  ClientToScreen(spinner, &on);
  ASSERT_TRUE(SetCursorPos(on.x, on.y));
  SendMessageW(spinner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 3));
  EXPECT_EQ(WindowPixels(spinner).At(1, 1), GetSysColor(COLOR_BTNSHADOW));
  Pump(dialog_, 610);
  const Codes held = TakeCodes();
  EXPECT_EQ(held, (Codes{9, kScrollLineDown, kScrollLineDown, kScrollLineDown}));
  ASSERT_TRUE(SetCursorPos(on.x + 40, on.y));
  SendMessageW(spinner, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(46, 3));
  Pump(dialog_, 300);
  EXPECT_EQ(WindowPixels(spinner).At(1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  SendMessageW(spinner, WM_LBUTTONUP, 0, MAKELPARAM(46, 3));
  EXPECT_EQ(TakeCodes(), (Codes{kScrollEnd}));
  // Horizontal: the right half and Right increase, as horizontal-scroll
  // messages, here to another receiver and then to the parent again.
  SendMessageW(spinner, kSpinSetStyle, 0, 1);
  EXPECT_EQ(SendMessageW(spinner, kSpinSetNotify, reinterpret_cast<WPARAM>(sink_), 0),
            reinterpret_cast<LRESULT>(sink_));
  EXPECT_EQ(SendMessageW(spinner, kSpinSetNotify, 0x7FFF0, 0), 0);  // not a window: kept
  Click(spinner, 10, 12);
  SendMessageW(spinner, kSpinSetNotify, 0, 0);
  Key(spinner, VK_LEFT);
  ASSERT_EQ(g_notes.size(), 5u);
  EXPECT_TRUE(g_notes[2].receiver == sink_ && g_notes[3].receiver == dialog_);
  EXPECT_EQ(g_notes[0].message, static_cast<UINT>(WM_HSCROLL));
  EXPECT_EQ(TakeCodes(), (Codes{9, kScrollLineDown, 8, kScrollLineUp, 8}));
}

// 13 by 24: the up arrow's 7 by 4 pixels sit at x 3 to 9, y 4 to 7, the down
// arrow's at y 16 to 19; greyed, a highlight copy lies a pixel down and right
// of the shadow shape, and the mouse and keys do nothing.
TEST_F(SpinnerTest, ArrowGlyphsFromTheFaceAndGreyedWhenDisabled) {
  HWND spinner = Spinner();
  Pump(dialog_, 30);
  const COLORREF text = GetSysColor(COLOR_BTNTEXT), face = GetSysColor(COLOR_BTNFACE);
  const std::pair<POINT, COLORREF> pixels[] = {{{6, 4}, text},  {{5, 4}, face},  {{3, 7}, text},
                                               {{6, 19}, text}, {{3, 16}, text}, {{3, 19}, face}};
  for (const auto& [p, colour] : pixels) EXPECT_EQ(WindowPixels(spinner).At(p.x, p.y), colour) << p.x << "," << p.y;
  EnableWindow(spinner, FALSE);
  Pump(dialog_, 30);
  EXPECT_EQ(WindowPixels(spinner).At(6, 4), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(WindowPixels(spinner).At(10, 8), GetSysColor(COLOR_BTNHIGHLIGHT));
  Click(spinner, 6, 3);
  Key(spinner, VK_UP);
  EXPECT_TRUE(g_notes.empty());
}

}  // namespace
}  // namespace quill::test
