// Start-up and shutdown, the colour scheme, and the caches of drawing
// objects. The caches are used on dialog threads only and are not locked;
// start-up and shutdown come from filter construction and destruction on any
// thread, so the count and the class registration are.
#include <array>
#include <cwchar>
#include <mutex>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"
#include "twctllib/ctl_colors.h"

namespace quill {
namespace {

constexpr int kSystemColorCount = 25;
constexpr wchar_t kSettingsFile[] = L"wexa32.ini";
constexpr wchar_t kMetricsSection[] = L"Metrics";
constexpr int kColorMetricBase = 1100;

// What each window class is registered with. Pointer-sized slots stand in
// for the 32-bit words the classes were laid out with: the static control
// keeps its state in the second of two slots, the others in the first;
// the meter keeps its in the window's user data instead.
struct ClassEntry {
  const wchar_t* name;
  WNDPROC proc;  // null: the control arrives with its own work
  UINT style;
  int extraBytes;
  int background;  // a system colour, or -1 for none
  bool registered;
};

constexpr UINT kControlStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
constexpr int kOneSlot = static_cast<int>(sizeof(LONG_PTR));

struct Library {
  std::mutex lock;
  LONG starts = 0;
  HINSTANCE module = nullptr;
  // Start-up's own objects for the classes.
  HBITMAP greyBits = nullptr;
  HBRUSH greyPattern = nullptr;
  HBITMAP spinnerFace = nullptr;
  std::array<ClassEntry, 6> classes{{
      {kTrackbarClass, TrackbarWindowProc, kControlStyle, kOneSlot, COLOR_3DFACE, false},
      {kEnvelopeClass, EnvelopeWindowProc, kControlStyle, kOneSlot, COLOR_WINDOW, false},
      {kFaderClass, FaderWindowProc, kControlStyle, kOneSlot, COLOR_3DFACE, false},
      {kSpinnerClass, SpinnerWindowProc, kControlStyle, kOneSlot, COLOR_3DFACE, false},
      {kStaticClass, StaticWindowProc, kControlStyle, kStaticExtraBytes, COLOR_WINDOW, false},
      {kMeterClass, MeterWindowProc, kControlStyle | CS_GLOBALCLASS, 0, -1, false},
  }};
};

Library& Lib() {
  static Library library;
  return library;
}

// The scheme and the caches.
ColorTable g_colors = kDefaultColors;
NumberSeparators g_separators;
std::array<HBRUSH, kSystemColorCount> g_systemBrushes{};
std::array<HBRUSH, kColorCount> g_colorBrushes{};
std::array<HBRUSH, 2> g_patternBrushes{};
std::array<HBITMAP, 2> g_patternBitmaps{};
std::array<HPEN, kSystemColorCount> g_systemPens{};
std::array<HPEN, kColorCount> g_colorPens{};
std::array<HFONT, 4> g_fonts{};
struct CursorEntry {
  int id;
  HCURSOR cursor;
};
std::array<CursorEntry, 20> g_cursors{};

class ScreenColors final : public SystemColorSource {
 public:
  std::uint32_t SystemColor(int index) const override { return GetSysColor(index); }
  int ScreenBits() const override {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 0;  // unknown: no adjustment
    const int bits = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return bits;
  }
};

HINSTANCE OwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnModule), &module)) {
    return GetModuleHandleW(nullptr);
  }
  return module;
}

void RegisterClasses(Library& lib) {
  for (ClassEntry& entry : lib.classes) {
    if (entry.proc == nullptr || entry.registered) continue;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = entry.style;
    wc.lpfnWndProc = entry.proc;
    wc.cbWndExtra = entry.extraBytes;
    wc.hInstance = lib.module;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    if (entry.background >= 0) wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(entry.background + 1));
    wc.lpszClassName = entry.name;
    // A class that is already there (left by a shutdown whose windows were
    // still open) stays as it is and is still ours to remove.
    entry.registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
}

void UnregisterClasses(Library& lib) {
  for (ClassEntry& entry : lib.classes) {
    if (!entry.registered) continue;
    // Fails while a window of the class still exists; the class then stays
    // and the next start-up finds it.
    if (UnregisterClassW(entry.name, lib.module)) entry.registered = false;
  }
}

void ReadColorTable() {
  for (int slot = 0; slot < kColorCount; ++slot) {
    g_colors[slot] = SlotValue(slot, CtlMetricClamped(kColorMetricBase + slot, -1, INT32_MAX, -1));
  }
}

wchar_t ProfileCharacter(const wchar_t* key, const wchar_t* fallback) {
  wchar_t value[11] = {};
  GetProfileStringW(L"intl", key, fallback, value, 11);
  return value[0];
}

void ReadSeparators() {
  g_separators.decimal = ProfileCharacter(L"sDecimal", L".");
  g_separators.thousands = ProfileCharacter(L"sThousand", L",");
  g_separators.list = ProfileCharacter(L"sList", L",");
}

template <class Handle>
void DeleteHandle(Handle& object) {
  if (object != nullptr) DeleteObject(object);
  object = nullptr;
}

template <class T, std::size_t N>
void DeleteAll(std::array<T, N>& objects) {
  for (T& object : objects) DeleteHandle(object);
}

void EmptyCaches() {
  DeleteAll(g_systemBrushes);
  DeleteAll(g_colorBrushes);
  DeleteAll(g_patternBrushes);
  DeleteAll(g_patternBitmaps);
  DeleteAll(g_systemPens);
  DeleteAll(g_colorPens);
  DeleteAll(g_fonts);
  // Cursors loaded from resources are shared and go with their module.
  g_cursors = {};
}

HBRUSH StockBrush() {
  return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}
HPEN StockPen() {
  return static_cast<HPEN>(GetStockObject(BLACK_PEN));
}

// A one-pixel checkerboard, 8 by 8; rows are word-aligned.
HBITMAP Checkerboard() {
  static const WORD kRows[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
  return CreateBitmap(8, 8, 1, 1, kRows);
}

void MakeClassObjects(Library& lib) {
  lib.greyBits = Checkerboard();
  lib.greyPattern = lib.greyBits != nullptr ? CreatePatternBrush(lib.greyBits) : nullptr;
  lib.spinnerFace = LoadTintedBitmap(lib.module, 100, GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_3DFACE),
                                     GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DHILIGHT),
                                     GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWFRAME));
}

void DeleteClassObjects(Library& lib) {
  DeleteHandle(lib.greyPattern);
  DeleteHandle(lib.greyBits);
  DeleteHandle(lib.spinnerFace);
}

HBRUSH PatternBrush(int which) {
  if (g_patternBrushes[which] != nullptr) return g_patternBrushes[which];
  HBITMAP bitmap = which == 0 ? LoadBitmapW(CtlModule(), MAKEINTRESOURCEW(101)) : Checkerboard();
  if (bitmap == nullptr) return StockBrush();
  HBRUSH brush = CreatePatternBrush(bitmap);
  if (brush == nullptr) {
    DeleteObject(bitmap);
    return StockBrush();
  }
  g_patternBitmaps[which] = bitmap;
  g_patternBrushes[which] = brush;
  return brush;
}

}  // namespace

HINSTANCE CtlModule() {
  Library& lib = Lib();
  return lib.module != nullptr ? lib.module : OwnModule();
}

HRESULT CtlInitialize(BOOL start) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  if (start) {
    if (lib.starts++ == 0) {
      lib.module = OwnModule();
      RegisterClasses(lib);
      MakeClassObjects(lib);
      ReadColorTable();
      ReadSeparators();
    }
    return S_OK;
  }
  if (lib.starts == 0) return S_FALSE;
  if (--lib.starts == 0) {
    UnregisterClasses(lib);
    DeleteClassObjects(lib);
    EmptyCaches();
  }
  return S_OK;
}

HBRUSH CtlGreyPattern() {
  return Lib().greyPattern;
}

HBITMAP CtlSpinnerFace() {
  return Lib().spinnerFace;
}

LONG CtlStartCount() {
  Library& lib = Lib();
  std::lock_guard<std::mutex> guard(lib.lock);
  return lib.starts;
}

std::int32_t CtlMetric(int key) {
  if (key < 100) return 0;
  wchar_t name[16];
  std::swprintf(name, 16, L"%d", key);
  wchar_t value[21] = {};
  GetPrivateProfileStringW(kMetricsSection, name, L"", value, 21, kSettingsFile);
  return MetricFromText(value);
}

std::int32_t CtlMetricClamped(int key, std::int32_t lowest, std::int32_t highest, std::int32_t defaultValue) {
  if (key < 100) return 0;
  wchar_t name[16];
  std::swprintf(name, 16, L"%d", key);
  wchar_t value[21] = {};
  GetPrivateProfileStringW(kMetricsSection, name, L"", value, 21, kSettingsFile);
  if (value[0] == L'\0') return defaultValue;
  const std::int32_t v = MetricFromText(value);
  return v < lowest ? lowest : (v > highest ? highest : v);
}

COLORREF CtlColor(int index) {
  return LookupColor(index, g_colors, ScreenColors());
}

COLORREF CtlNearestColor(int index) {
  const COLORREF color = CtlColor(index);
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return color;
  const COLORREF nearest = GetNearestColor(screen, color);
  ReleaseDC(nullptr, screen);
  return nearest == CLR_INVALID ? color : nearest;
}

HBRUSH CtlBrush(int index) {
  HBRUSH* slot = nullptr;
  if (index >= 0 && index < kSystemColorCount) {
    slot = &g_systemBrushes[index];
  } else if (index >= kColorIndexFirst && index < kColorIndexFirst + kColorCount) {
    slot = &g_colorBrushes[index - kColorIndexFirst];
  } else if (index == kBrushBitmapPattern || index == kBrushHalftone) {
    return PatternBrush(index - kBrushBitmapPattern);
  } else {
    return StockBrush();
  }
  if (*slot == nullptr) *slot = CreateSolidBrush(CtlColor(index));
  return *slot != nullptr ? *slot : StockBrush();
}

HPEN CtlPen(int index) {
  HPEN* slot = nullptr;
  if (index >= 0 && index < kSystemColorCount) {
    slot = &g_systemPens[index];
  } else if (index >= kColorIndexFirst && index < kColorIndexFirst + kColorCount) {
    slot = &g_colorPens[index - kColorIndexFirst];
  } else {
    return StockPen();
  }
  if (*slot == nullptr) *slot = CreatePen(PS_SOLID, 1, CtlColor(index));
  return *slot != nullptr ? *slot : StockPen();
}

HFONT CtlFont(int id) {
  if (id >= 10 && id <= 16) return static_cast<HFONT>(GetStockObject(id));
  if (id < 100 || id > 103) return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  const int slot = id - 100;
  if (g_fonts[slot] != nullptr) return g_fonts[slot];
  const bool small = id <= 101;
  const bool fixed = id == 101 || id == 103;
  int dpi = 96;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  const int height = -MulDiv(small ? 7 : 8, dpi, 72);
  g_fonts[slot] = CreateFontW(height, 0, 0, 0, 0, FALSE, FALSE, FALSE, 0, small ? OUT_TT_PRECIS : OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, PROOF_QUALITY, (fixed ? FIXED_PITCH : VARIABLE_PITCH) | FF_SWISS,
                              small ? L"Small Fonts" : L"Helv");
  if (g_fonts[slot] != nullptr) return g_fonts[slot];
  return static_cast<HFONT>(GetStockObject(fixed ? ANSI_FIXED_FONT : ANSI_VAR_FONT));
}

HCURSOR CtlCursor(int id) {
  const bool own = (id >= 102 && id <= 107) || id == 110 || id == 112;
  const bool standard = (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32645);
  if (!own && !standard) id = 32512;
  for (const CursorEntry& entry : g_cursors) {
    if (entry.cursor != nullptr && entry.id == id) return entry.cursor;
  }
  HCURSOR cursor = LoadCursorW(own ? CtlModule() : nullptr, MAKEINTRESOURCEW(id));
  if (cursor == nullptr) {
    if (id == 32512) return nullptr;  // not even the arrow
    return CtlCursor(32512);
  }
  for (CursorEntry& entry : g_cursors) {
    if (entry.cursor == nullptr) {
      entry = CursorEntry{id, cursor};
      break;
    }
  }
  return cursor;
}

const NumberSeparators& CtlSeparators() {
  return g_separators;
}

int InsertThousands(wchar_t* text, std::size_t capacity) {
  return InsertThousands(text, capacity, g_separators);
}
wchar_t ParseNumber(const wchar_t* text, std::int32_t* value) {
  return ParseNumber(text, value, g_separators);
}
wchar_t ParseDecimal(const wchar_t* text, double* value) {
  return ParseDecimal(text, value, g_separators);
}

}  // namespace quill
