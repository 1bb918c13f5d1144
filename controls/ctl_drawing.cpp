// Drawing and placement services of the library, and the pages' scroll
// helpers for the slider controls.
#include <algorithm>
#include <cstring>
#include <vector>

#include "controls/twctllib.h"

namespace quill {
namespace {

RGBQUAD Quad(COLORREF color) {
  RGBQUAD q{};
  q.rgbRed = GetRValue(color);
  q.rgbGreen = GetGValue(color);
  q.rgbBlue = GetBValue(color);
  return q;
}

bool ReferenceRect(HWND window, HWND reference, UINT flags, RECT* rect) {
  if ((flags & kPlaceOnParent) != 0) {
    HWND parent = GetParent(window);
    if (parent != nullptr) reference = parent;
  }
  if (reference == nullptr) {
    *rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return true;
  }
  if ((flags & kPlaceClientArea) == 0) return GetWindowRect(reference, rect) != FALSE;
  if (!GetClientRect(reference, rect)) return false;
  POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
  if (MapWindowPoints(reference, nullptr, corners, 2) == 0 && GetLastError() != ERROR_SUCCESS) return false;
  *rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  return true;
}

}  // namespace

HBITMAP LoadTintedBitmap(HINSTANCE module, int bitmapId, COLORREF c0, COLORREF c7, COLORREF c8, COLORREF c15,
                         COLORREF c11, COLORREF c10) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(bitmapId), MAKEINTRESOURCEW(2));  // RT_BITMAP
  if (found == nullptr) return nullptr;
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr || size < sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD)) return nullptr;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biBitCount != 4 || header.biPlanes != 1 ||
      header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0) {
    return nullptr;
  }
  const DWORD colors = header.biClrUsed != 0 ? header.biClrUsed : 16;
  if (colors > 16) return nullptr;
  const DWORD rowBytes = ((static_cast<DWORD>(header.biWidth) * 4 + 31) / 32) * 4;
  const DWORD rows = static_cast<DWORD>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
  const DWORD bitsAt = sizeof header + colors * sizeof(RGBQUAD);
  if (static_cast<unsigned long long>(bitsAt) + static_cast<unsigned long long>(rowBytes) * rows > size) return nullptr;

  // The resource is read-only: the palette is tinted in a copy with all 16
  // entries, whatever the resource used.
  std::vector<unsigned char> copy(sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));
  std::memcpy(copy.data(), data, bitsAt);
  auto* info = reinterpret_cast<BITMAPINFO*>(copy.data());
  info->bmiHeader.biClrUsed = 16;
  RGBQUAD* palette = info->bmiColors;
  palette[0] = Quad(c0);
  palette[7] = Quad(c7);
  palette[8] = Quad(c8);
  palette[15] = Quad(c15);
  palette[11] = Quad(c11);
  palette[10] = Quad(c10);
  const void* bits = static_cast<const unsigned char*>(data) + bitsAt;

  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return nullptr;
  HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bits, info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

void FillColor(HDC dc, int left, int top, int right, int bottom, int color) {
  const RECT r{left, top, right, bottom};
  FillRect(dc, &r, CtlBrush(color));
}

void RaisedBox(HDC dc, const CtlRect& t, bool pressed) {
  FillColor(dc, t.left, t.top, t.right, t.bottom, COLOR_WINDOWFRAME);
  FillColor(dc, t.left + 1, t.top + 1, t.right - 1, t.bottom - 1, COLOR_BTNFACE);
  const int light = pressed ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT;
  FillColor(dc, t.left + 1, t.top + 1, t.right - 1, t.top + 2, light);
  FillColor(dc, t.left + 1, t.top + 1, t.left + 2, t.bottom - 1, light);
  if (pressed) return;
  FillColor(dc, t.left + 1, t.bottom - 2, t.right - 1, t.bottom - 1, COLOR_BTNSHADOW);
  FillColor(dc, t.right - 2, t.top + 1, t.right - 1, t.bottom - 1, COLOR_BTNSHADOW);
}

OffScreen::OffScreen(HDC target, const RECT& area, bool direct) : target_(target), area_(area) {
  if (direct) return;
  memory_ = CreateCompatibleDC(target);
  if (memory_ == nullptr) return;
  bitmap_ = CreateCompatibleBitmap(target, area.right - area.left, area.bottom - area.top);
  previous_ = bitmap_ != nullptr ? SelectObject(memory_, bitmap_) : nullptr;
  if (previous_ == nullptr || previous_ == HGDI_ERROR) {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    DeleteDC(memory_);
    memory_ = nullptr;
    bitmap_ = nullptr;
    return;
  }
  SetWindowOrgEx(memory_, area.left, area.top, nullptr);
}

OffScreen::~OffScreen() {
  if (memory_ == nullptr) return;
  BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_, area_.left,
         area_.top, SRCCOPY);
  SelectObject(memory_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(memory_);
}

BOOL FillOpaque(HDC dc, int x, int y, int width, int height) {
  const RECT rect{x, y, x + width, y + height};
  return ExtTextOutW(dc, x, y, ETO_OPAQUE, &rect, L"", 0, nullptr);
}

BOOL PlaceWindow(HWND window, HWND reference, POINT point, UINT flags) {
  RECT own;
  if (!GetWindowRect(window, &own)) return FALSE;
  RECT ref;
  if (!ReferenceRect(window, reference, flags, &ref)) return FALSE;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  int x;
  int y;
  switch (flags & 15) {
    case kPlaceBelowTop:
      x = ref.left + (ref.right - ref.left - width) / 2;
      y = ref.top + (ref.bottom - ref.top) / 3 - height / 3;
      break;
    case kPlaceAtPointer: {
      POINT pointer;
      if (!GetCursorPos(&pointer)) return FALSE;
      x = pointer.x - width / 2;
      y = pointer.y - height / 2;
      break;
    }
    case kPlaceAtPoint:
      x = point.x - width / 2;
      y = point.y - height / 2;
      break;
    default:
      x = ref.left + (ref.right - ref.left - width) / 2;
      y = ref.top + (ref.bottom - ref.top - height) / 2;
      break;
  }
  x = std::max(0, std::min(x, GetSystemMetrics(SM_CXSCREEN) - width));
  y = std::max(0, std::min(y, GetSystemMetrics(SM_CYSCREEN) - height));
  POINT at{x, y};
  if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0) {
    HWND parent = GetParent(window);
    if (parent != nullptr && !ScreenToClient(parent, &at)) return FALSE;
  }
  return SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

ScrollState ReadScrollState(HWND control) {
  ScrollState s;
  s.minimum = static_cast<std::int32_t>(SendMessageW(control, kCtlGetMinimum, 0, 0));
  s.maximum = static_cast<std::int32_t>(SendMessageW(control, kCtlGetMaximum, 0, 0));
  s.position = static_cast<std::int32_t>(SendMessageW(control, kCtlGetPosition, 0, 0));
  return s;
}

bool CtrlDown() {
  return GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

LRESULT TrackbarScroll(UINT, int code, HWND control, int lineStep, int pageStep) {
  if (!IsWindow(control)) return 0;
  const std::int32_t position = TrackbarScrollPosition(ReadScrollState(control), code, lineStep, pageStep, CtrlDown());
  return SendMessageW(control, kCtlSetPosition, 1, position);
}

LRESULT FaderScroll(UINT message, int code, HWND control, int lineStep, int pageStep) {
  if (!IsWindow(control)) return 0;
  const std::int32_t position =
      FaderScrollPosition(ReadScrollState(control), message != WM_HSCROLL, code, lineStep, pageStep, CtrlDown());
  return SendMessageW(control, kCtlSetPosition, 1, position);
}

}  // namespace quill
