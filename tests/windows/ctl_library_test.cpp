// The control library against the real platform: counted start-up and
// shutdown with the window classes and cached objects, the settings read
// from the Wine prefix, tinted bitmaps and window placement.
#include <gtest/gtest.h>

#include <string>

#include "controls/twctllib.h"
#include "include/quillfx1.h"
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
  const COLORREF c[6] = {RGB(1, 2, 3), RGB(70, 71, 72), RGB(80, 81, 82), RGB(150, 151, 152), RGB(110, 111, 112),
                         RGB(100, 101, 102)};
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

}  // namespace
}  // namespace quill::test
