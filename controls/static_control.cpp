// The static control: a picture (a bitmap resource, a bitmap handle, or a
// copied device-independent image drawn through the platform's image
// drawing service) or its text, on the background its parent chooses. It
// is transparent to the mouse. The multi-tap page's tap graph lives in one.
#include <cstring>
#include <new>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"
#include "twctllib/static_picture.h"

// The image drawing service; its header needs the platform's types first.
#include <vfw.h>

namespace quill {
namespace {

constexpr int kLongestText = 512;
constexpr DWORD kThroughPattern = 0x00CA0749;  // source where the pattern is set, else the destination

struct StaticState {
  HWND window = nullptr;
  HBITMAP bitmap = nullptr;
  HFONT font = nullptr;
  HDRAWDIB drawer = nullptr;
  unsigned char* image = nullptr;  // a packed bitmap: header, colours, bits
  DWORD imageBitsAt = 0;
  HPALETTE palette = nullptr;
};

StaticState* StateOf(HWND window) {
  return reinterpret_cast<StaticState*>(GetWindowLongPtrW(window, kStaticStateOffset));
}

DWORD StyleOf(HWND window) {
  return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

void ForgetPicture(StaticState& s) {
  if (s.bitmap != nullptr) DeleteObject(s.bitmap);
  if (s.palette != nullptr) DeleteObject(s.palette);
  delete[] s.image;
  s.bitmap = nullptr;
  s.palette = nullptr;
  s.image = nullptr;
}

void Redraw(HWND window) {
  InvalidateRect(window, nullptr, FALSE);
}

bool TakeBitmap(StaticState& s, HBITMAP bitmap) {
  ForgetPicture(s);
  s.bitmap = bitmap;
  Redraw(s.window);
  return bitmap != nullptr;
}

// "#12" names bitmap 12, "#name" the bitmap called "name".
bool LoadNamed(StaticState& s, HINSTANCE module, const wchar_t* name) {
  bool number = name[0] != L'\0';
  unsigned id = 0;
  for (const wchar_t* c = name; *c != L'\0'; ++c) {
    if (*c < L'0' || *c > L'9' || id > 0xFFFF) {
      number = false;
      break;
    }
    id = id * 10 + static_cast<unsigned>(*c - L'0');
  }
  const wchar_t* resource = number ? MAKEINTRESOURCEW(id) : name;
  return TakeBitmap(s, LoadBitmapW(module, resource));
}

HINSTANCE WindowModule(HWND window) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
}

bool CopyImage(StaticState& s, const BITMAPINFOHEADER* source) {
  if (source == nullptr) return false;
  const DibHeader header{source->biSize,     source->biWidth,       source->biHeight, source->biPlanes,
                         source->biBitCount, source->biCompression, source->biClrUsed};
  const DibLayout layout = DibLayoutOf(header);
  if (!layout.valid) return false;
  const std::uint64_t total = layout.Total(header.size);
  auto* copy = new (std::nothrow) unsigned char[total];
  if (copy == nullptr) return false;
  std::memcpy(copy, source, total);
  HPALETTE palette = nullptr;
  if (layout.colors > 0) {
    // LOGPALETTE carries one entry; the rest follow it.
    alignas(LOGPALETTE) unsigned char storage[sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)];
    auto* logical = reinterpret_cast<LOGPALETTE*>(storage);
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(layout.colors);
    const auto* quads = reinterpret_cast<const RGBQUAD*>(copy + header.size);
    for (std::uint32_t i = 0; i < layout.colors; ++i)
      logical->palPalEntry[i] = PALETTEENTRY{quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue, 0};
    palette = CreatePalette(logical);
  }
  if (s.drawer == nullptr) s.drawer = DrawDibOpen();
  if (s.drawer == nullptr) {
    delete[] copy;
    if (palette != nullptr) DeleteObject(palette);
    return false;
  }
  ForgetPicture(s);
  s.image = copy;
  s.imageBitsAt = header.size + layout.tableBytes;
  s.palette = palette;
  Redraw(s.window);
  return true;
}

// --- drawing ----------------------------------------------------------------------

// A 32-bit copy of the bitmap with every pixel of its top-left colour in
// the 3D face colour, so a picture's backdrop matches the page; null when
// it cannot be made.
HBITMAP CornerReplaced(HDC reference, HBITMAP bitmap, const BITMAP& size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.bmWidth;
  info.bmiHeader.biHeight = -size.bmHeight;  // top-down: the first pixel is the corner
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP copy = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (copy == nullptr) return nullptr;
  HDC from = CreateCompatibleDC(reference);
  HDC to = CreateCompatibleDC(reference);
  bool copied = false;
  if (from != nullptr && to != nullptr) {
    HGDIOBJ oldFrom = SelectObject(from, bitmap);
    HGDIOBJ oldTo = SelectObject(to, copy);
    copied = BitBlt(to, 0, 0, size.bmWidth, size.bmHeight, from, 0, 0, SRCCOPY) != FALSE;
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
  }
  if (from != nullptr) DeleteDC(from);
  if (to != nullptr) DeleteDC(to);
  if (!copied) {
    DeleteObject(copy);
    return nullptr;
  }
  GdiFlush();
  auto* pixel = static_cast<std::uint32_t*>(bits);
  const std::uint32_t corner = pixel[0] & 0xFFFFFF;
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  const std::uint32_t faceBits = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  const std::size_t count = static_cast<std::size_t>(size.bmWidth) * static_cast<std::size_t>(size.bmHeight);
  for (std::size_t i = 0; i < count; ++i)
    if ((pixel[i] & 0xFFFFFF) == corner) pixel[i] = faceBits;
  return copy;
}

void DrawBitmap(HDC dc, const StaticState& s, const CtlRect& area, DWORD style, bool disabled) {
  BITMAP size{};
  if (GetObjectW(s.bitmap, sizeof size, &size) == 0 || size.bmWidth <= 0 || size.bmHeight <= 0) return;
  HBITMAP replaced = nullptr;
  if ((style & kStaticKeepCorner) == 0 && size.bmBitsPixel * size.bmPlanes > 1)
    replaced = CornerReplaced(dc, s.bitmap, size);
  HDC source = CreateCompatibleDC(dc);
  if (source == nullptr) return;
  HGDIOBJ old = SelectObject(source, replaced != nullptr ? replaced : s.bitmap);
  const CtlRect to = PicturePlacement(area, size.bmWidth, size.bmHeight, style);
  SetStretchBltMode(dc, COLORONCOLOR);
  if (disabled && CtlGreyPattern() != nullptr) {
    // Every other pixel of the picture, over the background.
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    HGDIOBJ brush = SelectObject(dc, CtlGreyPattern());
    StretchBlt(dc, to.left, to.top, to.Width(), to.Height(), source, 0, 0, size.bmWidth, size.bmHeight,
               kThroughPattern);
    SelectObject(dc, brush);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
  } else {
    StretchBlt(dc, to.left, to.top, to.Width(), to.Height(), source, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
  }
  SelectObject(source, old);
  DeleteDC(source);
  if (replaced != nullptr) DeleteObject(replaced);
}

void DrawImage(HDC dc, const StaticState& s, const CtlRect& area, DWORD style) {
  const auto* header = reinterpret_cast<BITMAPINFOHEADER*>(s.image);
  const LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  const CtlRect to = PicturePlacement(area, header->biWidth, height, style);
  HPALETTE previous = nullptr;
  if (s.palette != nullptr) {
    previous = SelectPalette(dc, s.palette, FALSE);
    RealizePalette(dc);
    DrawDibSetPalette(s.drawer, s.palette);
  }
  DrawDibDraw(s.drawer, dc, to.left, to.top, to.Width(), to.Height(), const_cast<BITMAPINFOHEADER*>(header),
              s.image + s.imageBitsAt, 0, 0, header->biWidth, height, 0);
  if (previous != nullptr) SelectPalette(dc, previous, FALSE);
}

void DrawText(HDC dc, const StaticState& s, const CtlRect& area, DWORD style, bool disabled) {
  wchar_t text[kLongestText + 1] = {};
  const int length = GetWindowTextW(s.window, text, kLongestText + 1);
  if (length <= 0) return;
  UINT format = DT_EXPANDTABS;
  switch (StaticTextAlign(style)) {
    case StaticAlign::Centre:
      format |= DT_CENTER | DT_WORDBREAK;
      break;
    case StaticAlign::Right:
      format |= DT_RIGHT | DT_WORDBREAK;
      break;
    case StaticAlign::LeftSingleLine:
      format |= DT_LEFT;
      break;
    case StaticAlign::LeftWrapped:
      format |= DT_LEFT | DT_WORDBREAK;
      break;
  }
  if ((style & kStaticNoPrefix) != 0) format |= DT_NOPREFIX;
  RECT r{area.left + 2, area.top, area.right - 2, area.bottom};
  HGDIOBJ font = SelectObject(dc, s.font != nullptr ? s.font : GetStockObject(SYSTEM_FONT));
  const int mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF colour = disabled ? SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT)) : CLR_INVALID;
  DrawTextW(dc, text, length, &r, format);
  if (colour != CLR_INVALID) SetTextColor(dc, colour);
  SetBkMode(dc, mode);
  SelectObject(dc, font);
}

void Draw(const StaticState& s, HDC dc, const RECT& client) {
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  HBRUSH background = nullptr;
  if (HWND parent = GetParent(s.window)) {
    background = reinterpret_cast<HBRUSH>(
        SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(s.window)));
  }
  FillRect(dc, &client, background != nullptr ? background : CtlBrush(COLOR_WINDOW));
  const DWORD style = StyleOf(s.window);
  CtlRect area{client.left, client.top, client.right, client.bottom};
  if (StaticFramed(style)) {
    FrameRect(dc, &client, CtlBrush(COLOR_WINDOWFRAME));
    area = CtlRect{area.left + 1, area.top + 1, area.right - 1, area.bottom - 1};
  }
  const bool disabled = (style & WS_DISABLED) != 0;
  if (s.image != nullptr) {
    // An image is shown in its own palette, enabled or not: greying it
    // through the pattern would mean drawing it off-screen, away from the
    // palette the drawing service realises on the window.
    DrawImage(dc, s, area, style);
  } else if (s.bitmap != nullptr) {
    DrawBitmap(dc, s, area, style, disabled);
  } else {
    DrawText(dc, s, area, style, disabled);
  }
}

// Off-screen and copied in one step; an image goes straight to the window,
// where the drawing service can realise its palette.
void Paint(const StaticState& s, HDC target) {
  RECT client{};
  GetClientRect(s.window, &client);
  const OffScreen surface(target, client, s.image != nullptr);
  Draw(s, surface.Dc(), client);
}

LRESULT Create(HWND window, const CREATESTRUCTW* create) {
  auto* s = new (std::nothrow) StaticState;
  if (s == nullptr) return -1;
  s->window = window;
  SetLastError(ERROR_SUCCESS);
  if (SetWindowLongPtrW(window, kStaticStateOffset, reinterpret_cast<LONG_PTR>(s)) == 0 &&
      GetLastError() != ERROR_SUCCESS) {
    delete s;
    return -1;
  }
  // A template's "#1" shows its picture from the start, as a later text would.
  const wchar_t* text = create->lpszName;
  if (text != nullptr && !IS_INTRESOURCE(text) && text[0] == L'#') LoadNamed(*s, create->hInstance, text + 1);
  return 0;
}

}  // namespace

LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return Create(window, reinterpret_cast<CREATESTRUCTW*>(lParam));
  StaticState* s = StateOf(window);
  if (s == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_NCDESTROY:
      ForgetPicture(*s);
      if (s->drawer != nullptr) DrawDibClose(s->drawer);
      SetWindowLongPtrW(window, kStaticStateOffset, 0);
      delete s;
      break;
    case WM_SETTEXT: {
      const auto* text = reinterpret_cast<const wchar_t*>(lParam);
      if (text != nullptr && text[0] == L'#') {
        LoadNamed(*s, WindowModule(window), text + 1);
      } else {
        ForgetPicture(*s);
      }
      const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      Redraw(window);
      return result;
    }
    case WM_PAINT:
      PaintWindow(
          window, [s](HDC dc, const RECT& client) { Draw(*s, dc, client); }, s->image != nullptr);
      return 0;
    case WM_PRINTCLIENT:
      Paint(*s, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 0;
    case WM_ENABLE:
      Redraw(window);
      return 0;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam) != 0) Redraw(window);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(s->font);
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case kStaticLoadBitmap: {
      HINSTANCE module = wParam != 0 ? reinterpret_cast<HINSTANCE>(wParam) : WindowModule(window);
      return TakeBitmap(*s, LoadBitmapW(module, reinterpret_cast<LPCWSTR>(lParam))) ? 1 : 0;
    }
    case kStaticTakeBitmap:
      return TakeBitmap(*s, reinterpret_cast<HBITMAP>(lParam)) ? 1 : 0;
    case kStaticCopyImage:
      return CopyImage(*s, reinterpret_cast<const BITMAPINFOHEADER*>(lParam)) ? 1 : 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quill
