// The library's static control in a real window: pictures by resource, by
// handle and by copied image, the corner colour, scaling and the disabled
// look read back from the screen; text, frame, the parent's background, and
// the mouse falling through.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "controls/twctllib.h"
#include "tests/windows/page_support.h"
#include "twctllib/static_picture.h"

namespace quill::test {
namespace {

constexpr COLORREF kParentBrush = RGB(0x40, 0x80, 0x40);
constexpr COLORREF kEdge = RGB(200, 10, 10), kInside = RGB(10, 10, 200), kMark = RGB(250, 250, 0);
constexpr int kW = 100, kH = 40;  // the control
constexpr int kPicW = 10, kPicH = 6;

HBRUSH g_parentBrush = nullptr;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC) return reinterpret_cast<LRESULT>(g_parentBrush);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A 10 x 6 picture: an edge in the corner's colour, the inside in another,
// one marked pixel at (5, 3).
HBITMAP Picture() {
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), kPicW, -kPicH, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* px = static_cast<std::uint32_t*>(bits);
  const auto raw = [](COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); };
  for (int y = 0; y < kPicH; ++y)
    for (int x = 0; x < kPicW; ++x)
      px[y * kPicW + x] = raw(x == 0 || y == 0 || x == kPicW - 1 || y == kPicH - 1 ? kEdge
                              : x == 5 && y == 3                                   ? kMark
                                                                                   : kInside);
  return bitmap;
}

class StaticControl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CtlInitialize(TRUE), S_OK);
    g_parentBrush = CreateSolidBrush(kParentBrush);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"StaticTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 50, 50, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    DeleteObject(g_parentBrush);
    CtlInitialize(FALSE);
  }
  HWND Make(DWORD style, const wchar_t* text = L"") {
    HWND s = CreateWindowExW(0, kStaticClass, text, WS_CHILD | WS_VISIBLE | style, 10, 10, kW, kH, parent_, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(s, nullptr);
    return s;
  }
  static WindowPixels Shown(HWND s) {
    InvalidateRect(s, nullptr, FALSE);
    UpdateWindow(s);
    return WindowPixels(s);
  }

  HWND parent_ = nullptr;
};

TEST_F(StaticControl, BitmapsAreCentredScaledAndLoseTheirCornerColour) {
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  HWND s = Make(0);
  HBITMAP picture = Picture();
  EXPECT_EQ(SendMessageW(s, kStaticTakeBitmap, 0, reinterpret_cast<LPARAM>(picture)), 1);
  // Centred at its own size: (100 - 10) / 2, (40 - 6) / 2.
  WindowPixels p = Shown(s);
  EXPECT_EQ(p.At(45, 17), face) << "the corner's colour becomes the face";
  EXPECT_EQ(p.At(46, 18), kInside);
  EXPECT_EQ(p.At(50, 20), kMark);
  EXPECT_EQ(p.At(44, 17), kParentBrush) << "the parent's background around it";
  EXPECT_EQ(p.Count(kInside), 8 * 4 - 1);

  // Disabled: through the grey pattern, half of each colour's pixels.
  EnableWindow(s, FALSE);
  p = Shown(s);
  EXPECT_EQ(p.Count(kInside) + p.Count(kMark), 16);
  EnableWindow(s, TRUE);

  // Kept corner colour, and scaled to the width: 10 x 6 becomes 100 x 60,
  // centred, so rows -10..49 of the picture.
  SetWindowLongPtrW(s, GWL_STYLE, GetWindowLongPtrW(s, GWL_STYLE) | kStaticKeepCorner | kStaticScaleToWidth);
  p = Shown(s);
  EXPECT_EQ(p.At(5, 0), kEdge);
  EXPECT_EQ(p.At(15, 5), kInside);
  EXPECT_EQ(p.At(55, 25), kMark);
  EXPECT_EQ(p.Count(kMark), 100);

  // A new picture replaces the old, which the control deletes.
  EXPECT_EQ(SendMessageW(s, kStaticLoadBitmap, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(1))), 1);
  EXPECT_EQ(GetObjectType(picture), 0u);
  EXPECT_EQ(SendMessageW(s, kStaticLoadBitmap, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(999))), 0);
  EXPECT_EQ(SendMessageW(s, kStaticTakeBitmap, 0, 0), 0);
  DestroyWindow(s);
}

TEST_F(StaticControl, HashTextShowsABitmapResourceAndOtherTextReplacesIt) {
  // Bitmap 1 of the tests is 8 x 2; its top row's seventh pixel is (16, 0x22, 0x33).
  HWND s = Make(0, L"#1");
  WindowPixels p = Shown(s);
  EXPECT_EQ(p.At(46 + 6, 19), RGB(16, 0x22, 0x33)) << "shown from creation";
  SetWindowTextW(s, L"");
  EXPECT_EQ(Shown(s).Count(kParentBrush), kW * kH);
  SetWindowTextW(s, L"#1");
  EXPECT_EQ(Shown(s).At(46 + 6, 19), RGB(16, 0x22, 0x33));

  SetWindowTextW(s, L"Twelve");
  wchar_t text[16] = {};
  GetWindowTextW(s, text, 16);
  EXPECT_STREQ(text, L"Twelve");
  p = Shown(s);
  EXPECT_NE(p.At(46 + 6, 19), RGB(16, 0x22, 0x33));
  const int ink = kW * kH - p.Count(kParentBrush);
  EXPECT_GT(ink, 20) << "the text is drawn";
  EnableWindow(s, FALSE);
  EXPECT_GT(Shown(s).Count(GetSysColor(COLOR_GRAYTEXT)), 0) << "greyed";
  DestroyWindow(s);

  // A framed style draws its edge in the window-frame colour.
  s = Make(7);
  p = Shown(s);
  EXPECT_EQ(p.At(0, 0), GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(p.At(kW - 1, kH / 2), GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(p.At(1, 1), kParentBrush);
  DestroyWindow(s);
}

TEST_F(StaticControl, CopiedImagesAreTheControlsOwnAndBadOnesAreRefused) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[4];
    std::uint8_t bits[2][4];  // rows of four 8-bit pixels, bottom row first
  } image{{sizeof(BITMAPINFOHEADER), 4, 2, 1, 8, BI_RGB, 0, 0, 0, 4, 0},
          {{0, 0, 200, 0}, {0, 200, 0, 0}, {200, 0, 0, 0}, {50, 60, 70, 0}},
          {{0, 1, 2, 3}, {3, 2, 1, 0}}};
  HWND s = Make(0);
  ASSERT_EQ(SendMessageW(s, kStaticCopyImage, 0, reinterpret_cast<LPARAM>(&image)), 1);
  image.colours[0] = RGBQUAD{1, 1, 1, 0};  // the control drew from its copy
  const WindowPixels p = Shown(s);
  // Centred at (48, 19); the top row is the second stored row.
  EXPECT_EQ(p.At(48, 19), RGB(70, 60, 50));
  EXPECT_EQ(p.At(49, 19), RGB(0, 0, 200));
  EXPECT_EQ(p.At(48, 20), RGB(200, 0, 0));
  EXPECT_EQ(p.At(51, 20), RGB(70, 60, 50));

  image.header.biBitCount = 3;
  EXPECT_EQ(SendMessageW(s, kStaticCopyImage, 0, reinterpret_cast<LPARAM>(&image)), 0);
  EXPECT_EQ(SendMessageW(s, kStaticCopyImage, 0, 0), 0);
  EXPECT_EQ(Shown(s).At(48, 20), RGB(200, 0, 0)) << "a refused image leaves the picture";
  DestroyWindow(s);
}

TEST_F(StaticControl, TheMouseFallsThroughAndTheDialogSeesAStatic) {
  HWND s = Make(0, L"x");
  POINT inside{20, 20};
  ClientToScreen(s, &inside);
  EXPECT_EQ(WindowFromPoint(inside), parent_);
  EXPECT_EQ(SendMessageW(s, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
  HFONT font = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  SendMessageW(s, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(s, WM_GETFONT, 0, 0)), font);
  DestroyWindow(s);
}

}  // namespace
}  // namespace quill::test
