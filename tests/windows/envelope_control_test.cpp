// The envelope editor in a real window: its message block, editing with
// button messages as the platform would send them, the notifications the
// parent receives, the cursors, and the drawing read back from the screen.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "controls/twctllib.h"

namespace quill::test {
namespace {

constexpr int kId = 77;
// A 109-pixel square with handles of 3 leaves the plot pixels 4 to 104 both
// ways: over x 0..1000 and y 0..100, ten units a pixel across, one up.
constexpr int kSize = 109;
constexpr int Px(int x) {
  return 4 + x / 10;
}
constexpr int Py(int y) {
  return 104 - y;
}

using Points = std::vector<std::pair<int, int>>;
struct Note {
  HWND to;
  WORD code;
};
std::vector<Note> g_notes;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kId) {
    g_notes.push_back(Note{window, HIWORD(wParam)});
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class EnvelopeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"EnvelopeTestParent";
    RegisterClassW(&wc);
    // One top-level window for the suite: closing one under a bare X server is slow.
    parent_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 60, 60, 200, 200, nullptr, nullptr,
                              wc.hInstance, nullptr);
  }
  static void TearDownTestSuite() {
    DestroyWindow(parent_);
    CtlInitialize(FALSE);
  }
  void SetUp() override {
    ASSERT_NE(parent_, nullptr);
    env_ = CreateWindowExW(0, kEnvelopeClass, L"", WS_CHILD | WS_VISIBLE, 10, 10, kSize, kSize, parent_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(env_, nullptr);
    ASSERT_EQ(Send(kEnvSetYRange, 0, 100), 1);
    g_notes.clear();
  }
  void TearDown() override {
    DestroyWindow(env_);
    ReleaseCapture();
  }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(env_, message, wParam, lParam);
  }
  void Mouse(UINT message, int x, int y, WPARAM keys = 0) { Send(message, keys, MAKELPARAM(x, y)); }
  void Click(int x, int y, UINT down = WM_LBUTTONDOWN) {
    Mouse(down, x, y, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON);
    Mouse(down == WM_LBUTTONDOWN ? WM_LBUTTONUP : WM_RBUTTONUP, x, y);
  }
  int Insert(int x, int y) {
    EnvelopePoint p{x, y};
    return static_cast<int>(Send(kEnvInsertPoint, 0, reinterpret_cast<LPARAM>(&p)));
  }
  Points All() {
    EnvelopePoint p[8] = {};
    const int n = static_cast<int>(Send(kEnvGetPoints, 8, reinterpret_cast<LPARAM>(p)));
    Points all;
    for (int i = 0; i < n && i < 8; ++i) all.emplace_back(p[i].x, p[i].y);
    return all;
  }
  std::vector<WORD> Codes(HWND to = parent_) {
    std::vector<WORD> codes;
    for (const Note& n : g_notes)
      if (n.to == to) codes.push_back(n.code);
    g_notes.clear();
    return codes;
  }
  COLORREF Pixel(int x, int y) {
    UpdateWindow(env_);
    HDC dc = GetDC(env_);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(env_, dc);
    return c;
  }
  static inline HWND parent_ = nullptr;
  HWND env_ = nullptr;
};

using CodeList = std::vector<WORD>;

TEST_F(EnvelopeTest, ScalarMessagesSetReadAndRefuseWithoutChange) {
  const WPARAM none = static_cast<WPARAM>(-1);
  // clang-format off
  const std::tuple<UINT, WPARAM, LPARAM, LRESULT> rows[] = {
      {kEnvGetCount, 0, 0, 2}, {kEnvSetXRange, 500, 500, 0}, {kEnvSetXRange, static_cast<WPARAM>(-200), 800, 1},
      {kEnvGetXMin, 0, 0, -200}, {kEnvGetXMax, 0, 0, 800}, {kEnvSetYRange, 10, 5, 0}, {kEnvGetYMin, 0, 0, 0},
      {kEnvGetYMax, 0, 0, 100}, {kEnvReset, 0, 150, 2}, {kEnvValueAt, 0, 300, 100}, {kEnvDeletePoint, 0, 0, 0},
      {kEnvDeletePoint, 1, 0, 0}, {kEnvGetMaxCount, 0, 0, 64}, {kEnvSetMaxCount, 1, 0, 0},
      {kEnvSetMaxCount, 4097, 0, 0}, {kEnvSetMaxCount, 3, 0, 1}, {kEnvGetMaxCount, 0, 0, 3}, {kEnvGetGrid, 0, 0, 100},
      {kEnvSetGrid, 1, 25, 1}, {kEnvGetGrid, 1, 0, 25}, {kEnvSetGrid, 2, 5, 0}, {kEnvSetGrid, 0, -1, 0},
      {kEnvSetSnap, kEnvStyleSnapX | kEnvStyleSnapY, 0, 0}, {kEnvGetSnap, 0, 0, 3}, {kEnvSetReadOnly, 1, 0, 0},
      {kEnvGetReadOnly, 0, 0, 1}, {kEnvGetStyle, 0, 0, 7}, {kEnvSetStyle, kEnvStyleNoGrid, 1, 7},
      {kEnvGetReadOnly, 0, 0, 0}, {kEnvGetSnap, 0, 0, 0}, {kEnvGetColor, kEnvColorLine, 0, 101},
      {kEnvSetColor, kEnvColorSelected, 130, 141}, {kEnvGetColor, kEnvColorSelected, 0, 130},
      {kEnvSetColor, kEnvColorHandle, 99, -1}, {kEnvSetColor, kEnvColorParts, 100, -1},
      {kEnvGetColor, kEnvColorParts, 0, -1}, {kEnvGetSelection, 0, 0, -1}, {kEnvSetSelection, 1, 0, 1},
      {kEnvSetSelection, 2, 0, 0}, {kEnvGetSelection, 0, 0, 1}, {kEnvSetSelection, none, 0, 1},
      {kEnvGetSelection, 0, 0, -1}, {kEnvGetHandleSize, 0, 0, 3}, {kEnvSetHandleSize, 9, 0, 0},
      {kEnvSetHandleSize, 0, 0, 0}, {kEnvGetNotifyWindow, 0, 0, 0},
  };
  // clang-format on
  for (const auto& [message, wParam, lParam, result] : rows)
    EXPECT_EQ(Send(message, wParam, lParam), result)
        << std::hex << message << std::dec << " " << wParam << ", " << lParam;
  EXPECT_EQ(All(), (Points{{-200, 100}, {800, 100}}));
  EXPECT_TRUE(g_notes.empty());  // what a program asks for is not the user's edit
}

TEST_F(EnvelopeTest, PointMessagesEditTheEnvelopeAndMapPixels) {
  EXPECT_EQ(Insert(100, 50), 1);
  EXPECT_EQ(Insert(100, 20), -1);  // x taken
  EXPECT_EQ(Send(kEnvInsertPoint), -1);
  EnvelopePoint p{900, -5};
  ASSERT_EQ(Send(kEnvSetPoint, 1, reinterpret_cast<LPARAM>(&p)), 1);
  ASSERT_EQ(Send(kEnvGetPoint, 1, reinterpret_cast<LPARAM>(&p)), 1);
  EXPECT_EQ(std::pair(p.x, p.y), std::pair(900, 0));
  EXPECT_EQ(Send(kEnvGetPoint, 3, reinterpret_cast<LPARAM>(&p)), 0);
  EnvelopePoint two[3] = {{}, {}, {7, 7}};
  EXPECT_EQ(Send(kEnvGetPoints, 2, reinterpret_cast<LPARAM>(two)), 3);
  EXPECT_EQ(std::tuple(two[1].x, two[2].x), std::tuple(900, 7));  // no more than asked for
  const EnvelopePoint bad[] = {{0, 0}, {500, 10}, {999, 0}}, good[] = {{0, 0}, {500, 100}, {1000, 20}};
  EXPECT_EQ(Send(kEnvSetPoints, 3, reinterpret_cast<LPARAM>(bad)), 0);
  EXPECT_EQ(Send(kEnvSetPoints, 3, reinterpret_cast<LPARAM>(good)), 1);
  EXPECT_EQ(Send(kEnvValueAt, 0, 750), 60);
  POINT pixel{};
  ASSERT_EQ(Send(kEnvPointToPixel, 1, reinterpret_cast<LPARAM>(&pixel)), 1);
  EXPECT_EQ((std::pair<int, int>(pixel.x, pixel.y)), std::pair(Px(500), Py(100)));
  EXPECT_EQ(Send(kEnvHitTest, 0, MAKELPARAM(Px(500) + 4, Py(100) - 4)), 1);  // within handle + 1
  EXPECT_EQ(Send(kEnvHitTest, 0, MAKELPARAM(Px(500) + 5, Py(100))), -1);
  p = EnvelopePoint{Px(250), Py(33)};
  ASSERT_EQ(Send(kEnvPixelToValue, 0, reinterpret_cast<LPARAM>(&p)), 1);
  EXPECT_EQ(std::pair(p.x, p.y), std::pair(250, 33));
  RECT plot{};
  ASSERT_EQ(Send(kEnvSetHandleSize, 5), 1);
  ASSERT_EQ(Send(kEnvGetPlotRect, 0, reinterpret_cast<LPARAM>(&plot)), 1);
  EXPECT_EQ((std::tuple<int, int, int, int>(plot.left, plot.top, plot.right, plot.bottom)),
            std::tuple(6, 6, kSize - 6, kSize - 6));
  EXPECT_EQ(Send(kEnvDeletePoint, 1), 1);
  EXPECT_EQ(All(), (Points{{0, 0}, {1000, 20}}));
}

TEST_F(EnvelopeTest, LeftButtonAddsAndDragsBetweenNeighboursRightButtonRemoves) {
  Mouse(WM_LBUTTONDOWN, Px(300), Py(60), MK_LBUTTON);
  EXPECT_EQ(GetCapture(), env_);
  EXPECT_EQ(Codes(), (CodeList{kEnvNotifySelection, kEnvNotifyChanging}));
  Mouse(WM_LBUTTONUP, Px(300), Py(60));
  EXPECT_EQ(Codes(), (CodeList{kEnvNotifyChanged}));
  ASSERT_EQ(Insert(600, 20), 2);
  EXPECT_EQ(All(), (Points{{0, 0}, {300, 60}, {600, 20}, {1000, 0}}));
  // Dragged far right and above the top: one short of the next point, the top.
  Mouse(WM_LBUTTONDOWN, Px(300) + 1, Py(60) - 1, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, Px(900), -20, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, Px(900), -20);
  EXPECT_EQ(All()[1], std::pair(599, 100));
  EXPECT_EQ(Codes(), (CodeList{kEnvNotifyChanging, kEnvNotifyChanged}));  // already selected
  // Shift keeps x; an end keeps its x whatever the pointer does.
  Mouse(WM_LBUTTONDOWN, Px(599), Py(100), MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, Px(100), Py(50), MK_LBUTTON | MK_SHIFT);
  Mouse(WM_LBUTTONUP, Px(100), Py(50));
  Mouse(WM_LBUTTONDOWN, Px(1000), Py(0), MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, Px(500), Py(70), MK_LBUTTON);
  Mouse(WM_LBUTTONUP, Px(500), Py(70));
  EXPECT_EQ(All(), (Points{{0, 0}, {599, 50}, {600, 20}, {1000, 70}}));
  g_notes.clear();
  Click(Px(0), Py(0), WM_RBUTTONDOWN);  // an end stays
  Click(Px(1000), Py(70), WM_RBUTTONDOWN);
  EXPECT_EQ(Send(kEnvGetCount), 4);
  EXPECT_TRUE(g_notes.empty());
  Click(Px(600), Py(20), WM_RBUTTONDOWN);
  EXPECT_EQ(All(), (Points{{0, 0}, {599, 50}, {1000, 70}}));
  // The selected end moved down an index, which the parent hears too.
  EXPECT_EQ(Codes(), (CodeList{kEnvNotifyChanged, kEnvNotifySelection}));
}

TEST_F(EnvelopeTest, SnapReadOnlyAndAFullEnvelopeShapeWhatAClickDoes) {
  Send(kEnvSetSnap, kEnvStyleSnapX | kEnvStyleSnapY);
  Send(kEnvSetGrid, 1, 10);
  Click(Px(330), Py(47));
  EXPECT_EQ(All()[1], std::pair(300, 50));
  HWND other = CreateWindowExW(0, L"EnvelopeTestParent", L"", WS_CHILD, 0, 0, 1, 1, parent_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  EXPECT_EQ(Send(kEnvSetNotifyWindow, reinterpret_cast<WPARAM>(other)), 0);
  EXPECT_EQ(Send(kEnvGetNotifyWindow), reinterpret_cast<LRESULT>(other));
  g_notes.clear();
  Send(kEnvSetMaxCount, 3);
  Click(Px(700), Py(50));  // full
  Send(kEnvSetReadOnly, 1);
  Send(kEnvSetMaxCount, 64);
  Send(kEnvSetSelection, static_cast<WPARAM>(-1));
  Click(Px(700), Py(50));
  Mouse(WM_LBUTTONDOWN, Px(300), Py(50), MK_LBUTTON);  // selects, does not drag
  Mouse(WM_MOUSEMOVE, Px(400), Py(90), MK_LBUTTON);
  Mouse(WM_LBUTTONUP, Px(400), Py(90));
  Click(Px(300), Py(50), WM_RBUTTONDOWN);
  EXPECT_EQ(All(), (Points{{0, 0}, {300, 50}, {1000, 0}}));
  EXPECT_EQ(Codes(other), (CodeList{kEnvNotifySelection}));
  EXPECT_TRUE(g_notes.empty());
  DestroyWindow(other);
}

TEST_F(EnvelopeTest, KeysSelectMoveAndDeleteAndTabLeavesAfterTheLastPoint) {
  ASSERT_EQ(Insert(500, 50), 1);
  const auto key = [this](WPARAM k) { Send(WM_KEYDOWN, k, 0); };
  key(VK_END);
  EXPECT_EQ(Send(kEnvGetSelection), 2);
  MSG tab{env_, WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_EQ(Send(WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(&tab)) & DLGC_WANTTAB, 0);
  key(VK_HOME);
  EXPECT_EQ(Send(WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(&tab)) & DLGC_WANTTAB, DLGC_WANTTAB);
  key(VK_TAB);
  EXPECT_EQ(Send(kEnvGetSelection), 1);
  EXPECT_EQ(Codes(), (CodeList{kEnvNotifySelection, kEnvNotifySelection, kEnvNotifySelection}));
  for (WPARAM k : {VK_RIGHT, VK_RIGHT, VK_UP, VK_LEFT}) key(k);
  EXPECT_EQ(All()[1], std::pair(501, 51));
  EXPECT_EQ(Codes().size(), 4u);
  key(VK_DELETE);
  EXPECT_EQ(All(), (Points{{0, 0}, {1000, 0}}));
  EXPECT_EQ(Send(kEnvGetSelection), 1);  // the next point
  EXPECT_EQ(Codes(), (CodeList{kEnvNotifyChanged, kEnvNotifySelection}));
  key(VK_DELETE);
  EXPECT_EQ(Send(kEnvGetCount), 2);
}

TEST_F(EnvelopeTest, CursorTellsWhatTheLeftButtonWouldDo) {
  ASSERT_EQ(Insert(500, 50), 1);
  const auto cursorAt = [this](int x, int y) {
    POINT p{x, y};
    ClientToScreen(env_, &p);
    SetCursorPos(p.x, p.y);
    Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(env_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  EXPECT_EQ(cursorAt(Px(500), Py(50)), CtlCursor(107));
  EXPECT_EQ(cursorAt(Px(0), Py(0)), CtlCursor(104));  // ends move up and down only
  EXPECT_EQ(cursorAt(Px(200), Py(80)), CtlCursor(105));
  Mouse(WM_LBUTTONDOWN, Px(500), Py(50), MK_LBUTTON);
  EXPECT_EQ(cursorAt(Px(520), Py(50)), CtlCursor(102));
  Mouse(WM_LBUTTONUP, Px(520), Py(50));
  Send(kEnvSetMaxCount, 3);
  EXPECT_EQ(cursorAt(Px(200), Py(80)), CtlCursor(112));
  Send(kEnvSetMaxCount, 64);
  Send(kEnvSetReadOnly, 1);
  EXPECT_EQ(cursorAt(Px(500), Py(50)), CtlCursor(112));
  EXPECT_NE(CtlCursor(112), CtlCursor(105));
}

// Over x 0..1000 and y 0..100 the line from (0, 0) to (1000, 100) runs
// through the plot's diagonal: row 108 - x.
TEST_F(EnvelopeTest, PolylineRunsThroughTheMappedPixelsOverTheGrid) {
  const EnvelopePoint diagonal[] = {{0, 0}, {1000, 100}};
  ASSERT_EQ(Send(kEnvSetPoints, 2, reinterpret_cast<LPARAM>(diagonal)), 1);
  Send(kEnvSetGrid, 1, 10);
  for (int x : {27, 57, 91}) EXPECT_EQ(Pixel(x, 108 - x), CtlColor(101)) << x;
  EXPECT_EQ(Pixel(57, 30), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(Pixel(Px(200), 30), CtlColor(107));   // a grid line every 100 in x
  EXPECT_EQ(Pixel(Px(0), Py(0)), CtlColor(100));  // a handle
  EnableWindow(env_, FALSE);
  EXPECT_EQ(Pixel(57, 51), GetSysColor(COLOR_GRAYTEXT));
}

}  // namespace
}  // namespace quill::test
