// The control library against the real platform: counted start-up and
// shutdown with the window classes, the host editor's colour overrides and
// the locale separators read from the Wine prefix, the caches of drawing
// objects, tinted bitmaps, opaque fills and window placement.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "twctllib/ctl_colors.h"
#include "tests/windows/ctl_test_support.h"
#include "include/quillfx1.h"
#include "controls/twctllib.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

HINSTANCE Self() {
  return GetModuleHandleW(nullptr);
}

bool ClassRegistered(HINSTANCE module, const wchar_t* name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  return GetClassInfoExW(module, name, &wc) != FALSE;
}

// Brings the library down to no start-ups and up again, so that it reads its
// settings afresh.
void Restart() {
  while (CtlStartCount() > 0) ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
}

void StopAll() {
  while (CtlStartCount() > 0) CtlInitialize(FALSE);
}

// The logical description of a drawing object (zeroed, with a failure, if
// it is not one of type T).
template <class T>
T ObjectOf(HGDIOBJ object) {
  T description{};
  EXPECT_EQ(GetObjectW(object, sizeof description, &description), static_cast<int>(sizeof description));
  return description;
}

void ExpectColours(std::initializer_list<std::pair<int, COLORREF>> expected) {
  for (const auto& [index, colour] : expected) EXPECT_EQ(CtlColor(index), colour) << index;
}

int ScreenCaps(int index) {
  HDC screen = GetDC(nullptr);
  EXPECT_NE(screen, nullptr);
  const int value = GetDeviceCaps(screen, index);
  ReleaseDC(nullptr, screen);
  return value;
}

TEST(CtlStartup, CountsStartUpsAndOnlyTheLastShutdownRemovesClassesAndCaches) {
  StopAll();
  EXPECT_FALSE(ClassRegistered(Self(), kTrackbarClass));
  EXPECT_EQ(CtlInitialize(FALSE), S_FALSE);  // nothing to shut down
  EXPECT_EQ(CtlStartCount(), 0);
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  EXPECT_EQ(CtlModule(), Self());
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  ASSERT_TRUE(GetClassInfoExW(Self(), kTrackbarClass, &wc));
  EXPECT_EQ(wc.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
  EXPECT_EQ(wc.cbWndExtra, static_cast<int>(sizeof(LONG_PTR)));
  EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1)));
  EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
  EXPECT_EQ(wc.hIcon, nullptr);
  EXPECT_TRUE(ClassRegistered(Self(), kFaderClass));
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  EXPECT_EQ(CtlStartCount(), 2);
  HBRUSH brush = CtlBrush(105);
  HFONT font = CtlFont(100);
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_TRUE(ClassRegistered(Self(), kTrackbarClass));
  EXPECT_EQ(CtlBrush(105), brush);  // the cache survives
  EXPECT_EQ(CtlFont(100), font);
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_EQ(CtlStartCount(), 0);
  EXPECT_FALSE(ClassRegistered(Self(), kTrackbarClass));
  EXPECT_FALSE(ClassRegistered(Self(), kFaderClass));
  EXPECT_EQ(GetObjectType(brush), 0u);  // deleted
  EXPECT_EQ(GetObjectType(font), 0u);
  // Caches refill on demand without a start-up.
  HBRUSH again = CtlBrush(105);
  EXPECT_EQ(GetObjectType(again), static_cast<DWORD>(OBJ_BRUSH));
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_EQ(GetObjectType(again), 0u);
}

TEST(CtlStartup, ClassWithAWindowStillOpenSurvivesShutdownAndIsReused) {
  StopAll();
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  HWND window = CreateWindowExW(0, kTrackbarClass, L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, Self(), nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_TRUE(ClassRegistered(Self(), kTrackbarClass));  // could not go
  EXPECT_EQ(SendMessageW(window, kCtlGetPosition, 0, 0), 50);
  ASSERT_TRUE(DestroyWindow(window));
  ASSERT_EQ(CtlInitialize(TRUE), S_OK);
  window = CreateWindowExW(0, kTrackbarClass, L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, Self(), nullptr);
  EXPECT_NE(window, nullptr);
  if (window != nullptr) DestroyWindow(window);
  ASSERT_EQ(CtlInitialize(FALSE), S_OK);
  EXPECT_FALSE(ClassRegistered(Self(), kTrackbarClass));
}

TEST(CtlStartup, EffectFiltersStartTheLibraryInTheModuleAndCountEachOther) {
  StopAll();
  const HMODULE dll = Quill().handle;
  ASSERT_NE(dll, nullptr);
  EXPECT_FALSE(ClassRegistered(dll, kTrackbarClass));
  IBaseFilter* first = nullptr;
  IBaseFilter* second = nullptr;
  ASSERT_EQ(CreateFromModule(CLSID_TwEchos, IID_IBaseFilter, reinterpret_cast<void**>(&first)), S_OK);
  EXPECT_TRUE(ClassRegistered(dll, kTrackbarClass));
  EXPECT_TRUE(ClassRegistered(dll, kFaderClass));
  EXPECT_FALSE(ClassRegistered(Self(), kTrackbarClass));  // the module's own copy, not ours
  ASSERT_EQ(CreateFromModule(CLSID_TwEchos, IID_IBaseFilter, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(first->Release(), 0u);
  // A page of the second filter would still find its classes.
  EXPECT_TRUE(ClassRegistered(dll, kTrackbarClass));
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_FALSE(ClassRegistered(dll, kTrackbarClass));
  EXPECT_FALSE(ClassRegistered(dll, kFaderClass));
}

// "wexa32.ini" in the prefix's Windows directory, removed around each test.
class CtlSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    WCHAR dir[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    ASSERT_GT(n, 0u);
    path_ = std::wstring(dir, n) + L"\\wexa32.ini";
    DeleteFileW(path_.c_str());
  }
  void TearDown() override {
    DeleteFileW(path_.c_str());
    StopAll();
  }
  std::wstring path_;
};

TEST_F(CtlSettings, WithoutTheFileEverySlotHasItsDefault) {
  ASSERT_EQ(GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES);
  Restart();
  ExpectColours({{100, 0x640000},
                 {101, 0xC80000},
                 {102, 0x640000},
                 {103, 0xC80000},
                 {104, 0xFFFFFF},
                 {105, 0x000000},
                 {117, 0xC0C0C0},
                 {138, 0x808000},
                 {140, 0x5C5C5C},
                 {141, 0x0000FF}});
  for (int index = 100; index <= 141; ++index) EXPECT_EQ(CtlColor(index), CtlColor(-index)) << index;
  EXPECT_EQ(CtlMetric(1105), 0);
  EXPECT_EQ(CtlMetricClamped(1105, -1, 100, 7), 7);
  EXPECT_EQ(CtlMetric(99), 0);
}

TEST_F(CtlSettings, MetricsSectionOverridesColoursAndIsReadAsDecimal) {
  // 0x0400000F: the 3D-face system colour; -5: below the range, clamped to
  // -1, the default; 0x0500000F: 3D face, lifted out of mid grey.
  const wchar_t* const entries[][2] = {{L"1105", L"255"}, {L"1106", L"67108879"}, {L"1107", L"-1"},
                                       {L"1108", L"-5"},  {L"1110", L"83886095"}, {L"1141", L"  65280  "},
                                       {L"50", L"9"},     {L"2000", L"12abc"}};
  for (const auto& e : entries) ASSERT_TRUE(WritePrivateProfileStringW(L"Metrics", e[0], e[1], L"wexa32.ini"));
  Restart();
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  ExpectColours({{105, 0x0000FF}, {-105, 0x000000}, {106, face}, {107, 0xC0C0C0}, {108, 0x008080}, {141, 0x00FF00}});
  EXPECT_EQ(CtlColor(110), AdjustedSystemColor(face, ScreenCaps(PLANES) * ScreenCaps(BITSPIXEL)));
  EXPECT_EQ(CtlMetric(1105), 255);
  EXPECT_EQ(CtlMetric(2000), 12);
  EXPECT_EQ(CtlMetricClamped(1105, 0, 100, 7), 100);
  EXPECT_EQ(CtlMetric(50), 0);  // keys below 100 are never looked up
  EXPECT_EQ(CtlMetricClamped(50, 1, 100, 7), 0);
  // The cached brush and pen carry the overridden colour.
  EXPECT_EQ(ObjectOf<LOGBRUSH>(CtlBrush(105)).lbColor, 0x0000FFu);
  const LOGPEN pen = ObjectOf<LOGPEN>(CtlPen(105));
  EXPECT_EQ(pen.lopnColor, 0x0000FFu);
  EXPECT_EQ(pen.lopnWidth.x, 1);
}

// WIN.INI section "intl", restored afterwards.
class CtlLocale : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kKeys[3] = {L"sDecimal", L"sThousand", L"sList"};
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      WCHAR value[32];
      GetProfileStringW(L"intl", kKeys[i], L"\x1F", value, 32);
      saved_[i] = value;
    }
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i)
      WriteProfileStringW(L"intl", kKeys[i], saved_[i] == L"\x1F" ? nullptr : saved_[i].c_str());
    StopAll();
  }
  std::wstring saved_[3];
};

TEST_F(CtlLocale, SeparatorsComeFromWinIniAndDriveTheNumberTexts) {
  const wchar_t* values[3] = {L",", L".x", L";"};  // the first character only
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteProfileStringW(L"intl", kKeys[i], values[i]));
  Restart();
  EXPECT_EQ(CtlSeparators().decimal, L',');
  EXPECT_EQ(CtlSeparators().thousands, L'.');
  EXPECT_EQ(CtlSeparators().list, L';');
  wchar_t text[16] = L"-1234567";
  EXPECT_EQ(InsertThousands(text, 16), 10);
  EXPECT_STREQ(text, L"-1.234.567");
  std::int32_t n = 0;
  EXPECT_EQ(ParseNumber(L" 5.000 ", &n), L'\0');
  EXPECT_EQ(n, 5000);
  double d = 0;
  EXPECT_EQ(ParseDecimal(L"1.234,5", &d), L'\0');
  EXPECT_DOUBLE_EQ(d, 1234.5);
  // Separators are read at start-up only.
  ASSERT_TRUE(WriteProfileStringW(L"intl", L"sThousand", L"'"));
  EXPECT_EQ(CtlSeparators().thousands, L'.');
  Restart();
  EXPECT_EQ(CtlSeparators().thousands, L'\'');
}

TEST(CtlObjects, BrushesAndPensAreCachedWithStockFallbacks) {
  StopAll();
  EXPECT_EQ(CtlBrush(COLOR_WINDOW), CtlBrush(COLOR_WINDOW));
  EXPECT_EQ(ObjectOf<LOGBRUSH>(CtlBrush(COLOR_BTNSHADOW)).lbColor, GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(ObjectOf<LOGBRUSH>(CtlBrush(141)).lbColor, 0x0000FFu);
  // Bitmap 101 is not in the module: the bitmap pattern falls back too.
  for (int index : {25, -3, 142, kBrushBitmapPattern}) EXPECT_EQ(CtlBrush(index), GetStockObject(BLACK_BRUSH)) << index;
  HBRUSH halftone = CtlBrush(kBrushHalftone);
  EXPECT_EQ(ObjectOf<LOGBRUSH>(halftone).lbStyle, static_cast<UINT>(BS_PATTERN));
  EXPECT_EQ(CtlBrush(kBrushHalftone), halftone);
  const LOGPEN lp = ObjectOf<LOGPEN>(CtlPen(100));
  EXPECT_EQ(lp.lopnColor, 0x640000u);
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_SOLID));
  EXPECT_EQ(CtlPen(100), CtlPen(100));
  EXPECT_EQ(CtlPen(-1), GetStockObject(BLACK_PEN));
  EXPECT_EQ(CtlPen(10001), GetStockObject(BLACK_PEN));
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(CtlNearestColor(141), GetNearestColor(screen, 0x0000FF));
  EXPECT_EQ(CtlNearestColor(7), GetNearestColor(screen, GetSysColor(7)));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(CtlColor(142), 0xFFFFFFFFu);
  EXPECT_EQ(CtlColor(-20), GetSysColor(20));
}

TEST(CtlObjects, FontsHaveTheirFacesSizesAndPitches) {
  StopAll();
  const int dpi = ScreenCaps(LOGPIXELSY);
  const struct {
    int id;
    const wchar_t* face;
    int points;
    BYTE pitch, precision;
  } fonts[] = {
      {100, L"Small Fonts", 7, VARIABLE_PITCH, OUT_TT_PRECIS},
      {101, L"Small Fonts", 7, FIXED_PITCH, OUT_TT_PRECIS},
      {102, L"Helv", 8, VARIABLE_PITCH, OUT_DEFAULT_PRECIS},
      {103, L"Helv", 8, FIXED_PITCH, OUT_DEFAULT_PRECIS},
  };
  for (const auto& f : fonts) {
    SCOPED_TRACE(f.id);
    HFONT font = CtlFont(f.id);
    const LOGFONTW lf = ObjectOf<LOGFONTW>(font);
    EXPECT_STREQ(lf.lfFaceName, f.face);
    EXPECT_EQ(lf.lfHeight, -MulDiv(f.points, dpi, 72));
    EXPECT_EQ(lf.lfWeight, 0);
    EXPECT_EQ(lf.lfPitchAndFamily, f.pitch | FF_SWISS);
    EXPECT_EQ(lf.lfOutPrecision, f.precision);
    EXPECT_EQ(lf.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(lf.lfCharSet, 0);
    EXPECT_EQ(CtlFont(f.id), font);
  }
  for (int id = 10; id <= 16; ++id) EXPECT_EQ(CtlFont(id), GetStockObject(id)) << id;
  EXPECT_EQ(CtlFont(99), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(CtlFont(104), GetStockObject(SYSTEM_FONT));
  StopAll();
}

TEST(CtlObjects, CursorsComeFromTheModuleOrTheSystemAndFallBackToTheArrow) {
  HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  ASSERT_NE(arrow, nullptr);
  const struct {
    int id;
    DWORD hotX, hotY;
  } own[] = {{102, 16, 16}, {103, 16, 16}, {104, 16, 16}, {105, 1, 1},
             {106, 1, 1},   {107, 16, 16}, {110, 16, 16}, {112, 16, 16}};
  for (const auto& c : own) {
    SCOPED_TRACE(c.id);
    HCURSOR cursor = CtlCursor(c.id);
    ASSERT_NE(cursor, nullptr);
    EXPECT_NE(cursor, arrow);
    EXPECT_EQ(cursor, LoadCursorW(Self(), MAKEINTRESOURCEW(c.id)));
    EXPECT_EQ(CtlCursor(c.id), cursor);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, c.hotX);
    EXPECT_EQ(info.yHotspot, c.hotY);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  }
  EXPECT_NE(CtlCursor(102), CtlCursor(103));
  for (int id : {32513, 32645}) EXPECT_EQ(CtlCursor(id), LoadCursorW(nullptr, MAKEINTRESOURCEW(id))) << id;
  // 108 is not one of ours, 32517 not a standard id in the list.
  for (int id : {108, 32517, 0}) EXPECT_EQ(CtlCursor(id), arrow) << id;
}

TEST(CtlDrawing, TintedBitmapReplacesSixPaletteEntries) {
  const COLORREF c0 = RGB(1, 2, 3), c7 = RGB(70, 71, 72), c8 = RGB(80, 81, 82), c15 = RGB(150, 151, 152),
                 c11 = RGB(110, 111, 112), c10 = RGB(100, 101, 102);
  HBITMAP bitmap = LoadTintedBitmap(Self(), 1, c0, c7, c8, c15, c11, c10);
  ASSERT_NE(bitmap, nullptr);
  const BITMAP bm = ObjectOf<BITMAP>(bitmap);
  EXPECT_EQ(bm.bmWidth, 8);
  EXPECT_EQ(bm.bmHeight, 2);
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 8, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};  // 32-bit, top row first
  std::uint32_t px[16] = {};
  ASSERT_EQ(GetDIBits(screen, bitmap, 0, 2, px, &info, DIB_RGB_COLORS), 2);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  auto rgb = [](std::uint32_t q) { return RGB((q >> 16) & 0xFF, (q >> 8) & 0xFF, q & 0xFF); };
  // Top row: entries 0, 7, 8, 15, 11, 10, then the untouched 1 and 2.
  const COLORREF expected[8] = {c0, c7, c8, c15, c11, c10, RGB(16, 0x22, 0x33), RGB(32, 0x22, 0x33)};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(rgb(px[x]), expected[x]) << x;
  EXPECT_EQ(rgb(px[8]), RGB(16, 0x22, 0x33));
  EXPECT_EQ(LoadTintedBitmap(Self(), 2, c0, c7, c8, c15, c11, c10), nullptr);  // 256 colours
  EXPECT_EQ(LoadTintedBitmap(Self(), 3, c0, c7, c8, c15, c11, c10), nullptr);  // missing
}

TEST(CtlDrawing, FillOpaqueUsesTheBackgroundColourInsideTheRectangleOnly) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 12, 12);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(dc, nullptr);
  ASSERT_NE(bitmap, nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT all{0, 0, 12, 12};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const COLORREF fill = RGB(0x12, 0x80, 0x56), white = RGB(255, 255, 255);
  SetBkColor(dc, fill);
  EXPECT_TRUE(FillOpaque(dc, 2, 3, 4, 5));
  for (POINT p : {POINT{2, 3}, POINT{5, 7}}) EXPECT_EQ(GetPixel(dc, p.x, p.y), fill) << p.x << "," << p.y;
  for (POINT p : {POINT{6, 3}, POINT{2, 8}, POINT{1, 3}}) EXPECT_EQ(GetPixel(dc, p.x, p.y), white) << p.x << "," << p.y;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

class CtlPlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr, Self(), nullptr);
    ASSERT_NE(owner_, nullptr);
    popup_ = CreateWindowExW(0, L"STATIC", L"popup", WS_POPUP, 0, 0, 200, 100, owner_, nullptr, Self(), nullptr);
    ASSERT_NE(popup_, nullptr);
    child_ = CreateWindowExW(0, L"STATIC", L"child", WS_CHILD, 0, 0, 50, 20, owner_, nullptr, Self(), nullptr);
    ASSERT_NE(child_, nullptr);
  }
  void TearDown() override {
    if (popup_ != nullptr) DestroyWindow(popup_);
    if (owner_ != nullptr) DestroyWindow(owner_);
  }
  HWND owner_ = nullptr;
  HWND popup_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(CtlPlacement, PopupGoesOverItsOwnerOrAPointAndStaysOnScreenAndAChildInItsParent) {
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  const struct {
    HWND reference;
    POINT at;
    UINT flags;
    bool pointer;
    int x, y;
  } cases[] = {
      // The about-box flags: a third down over the owner.
      {nullptr, {}, 0x8001, false, 100 + (400 - 200) / 2, 100 + 300 / 3 - 100 / 3},
      {owner_, {}, 0, false, 200, 200},
      {nullptr, {}, 0, false, (screenW - 200) / 2, (screenH - 100) / 2},
      {nullptr, {500, 400}, 3, false, 400, 350},
      {nullptr, {5, 5}, 3, false, 0, 0},
      {nullptr, {screenW, screenH}, 3, false, screenW - 200, screenH - 100},
      {nullptr, {}, 2, true, 200, 210},  // the pointer at 300, 260
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flags << " " << c.at.x << "," << c.at.y);
    if (c.pointer) {
      ASSERT_TRUE(SetCursorPos(300, 260));
    }
    ASSERT_TRUE(PlaceWindow(popup_, c.reference, c.at, c.flags));
    RECT r{};
    GetWindowRect(popup_, &r);
    EXPECT_EQ(r.left, c.x);
    EXPECT_EQ(r.top, c.y);
    EXPECT_EQ(r.right - r.left, 200);  // never resized
  }
  RECT client{};
  ASSERT_TRUE(GetClientRect(owner_, &client));
  ASSERT_TRUE(PlaceWindow(child_, nullptr, POINT{}, 0x9000));
  RECT r{};
  ASSERT_TRUE(GetWindowRect(child_, &r));
  POINT at{r.left, r.top};
  ASSERT_TRUE(ScreenToClient(owner_, &at));
  EXPECT_EQ(at.x, (client.right - 50) / 2);
  EXPECT_EQ(at.y, (client.bottom - 20) / 2);
  EXPECT_FALSE(PlaceWindow(nullptr, nullptr, POINT{}, 0));
}

}  // namespace
}  // namespace quill::test
