// The envelope editor: a breakpoint envelope drawn over a light grid and
// edited with the mouse and the keyboard. Left button: on a point, select and
// drag it (Shift keeps it to vertical moves); elsewhere add a point and drag
// it. Right button on an inner point removes it. Keys: Tab, Shift+Tab, Home
// and End select, the arrows move the selected point one unit (with Ctrl one
// grid step), Delete removes it. The editing rules live in
// twctllib/envelope_points; this file only turns input into them and draws.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"

namespace quill {
namespace {

constexpr int kDefaultColors[kEnvColorParts] = {101, 100, 141, 107};  // line, handle, selected, grid
constexpr int kDisabledColor = COLOR_GRAYTEXT;
constexpr int kDefaultHandle = 3;
constexpr std::int32_t kDefaultGrid = 100;  // a tenth of the default ranges
constexpr int kMinGridSpacing = 4;          // closer grid lines are not drawn
constexpr DWORD kStyleMask = 0xFFFF;
constexpr DWORD kSnapMask = kEnvStyleSnapX | kEnvStyleSnapY;

// Cursors of the library.
constexpr int kCursorArrow = 32512;
constexpr int kCursorMove = 102;
constexpr int kCursorUpDown = 104;
constexpr int kCursorAdd = 105;
constexpr int kCursorRemove = 106;
constexpr int kCursorDrag = 107;
constexpr int kCursorRefused = 112;

struct EnvelopeControl {
  HWND window = nullptr;
  Envelope envelope;
  std::int32_t grid[2] = {kDefaultGrid, kDefaultGrid};
  int colors[kEnvColorParts] = {};
  int handle = kDefaultHandle;
  HWND notify = nullptr;
  bool disabled = false;
  bool focused = false;
  // The drag in progress: the point's index, whether the press added it or
  // anything moved, and the point's pixel minus the pointer's.
  int dragging = -1;
  bool changed = false;
  POINT grab{};
};

EnvelopeControl* StateOf(HWND window) {
  return reinterpret_cast<EnvelopeControl*>(GetWindowLongPtrW(window, 0));
}

DWORD Style(const EnvelopeControl& s) {
  return static_cast<DWORD>(GetWindowLongW(s.window, GWL_STYLE)) & kStyleMask;
}

DWORD ReplaceStyleBits(const EnvelopeControl& s, DWORD mask, DWORD bits) {
  const DWORD style = static_cast<DWORD>(GetWindowLongW(s.window, GWL_STYLE));
  SetWindowLongW(s.window, GWL_STYLE, static_cast<LONG>((style & ~mask) | (bits & mask)));
  return style & mask;
}

bool ReadOnly(const EnvelopeControl& s) {
  return (Style(s) & kEnvStyleReadOnly) != 0;
}

// The plot leaves room for a whole handle at each edge.
EnvelopeView View(const EnvelopeControl& s) {
  RECT client{};
  GetClientRect(s.window, &client);
  const int m = s.handle + 1;
  return EnvelopeView{CtlRect{m, m, client.right - m, client.bottom - m}, s.envelope.X(), s.envelope.Y()};
}

bool TooSmall(const EnvelopeView& view) {
  return view.plot.Width() < 2 || view.plot.Height() < 2;
}

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void Notify(const EnvelopeControl& s, WORD code) {
  HWND target = s.notify != nullptr ? s.notify : GetParent(s.window);
  if (target == nullptr) return;
  SendMessageW(target, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(s.window), code), reinterpret_cast<LPARAM>(s.window));
}

void Redraw(const EnvelopeControl& s) {
  if (InvalidateRect(s.window, nullptr, FALSE)) UpdateWindow(s.window);
}

bool Same(EnvelopePoint a, EnvelopePoint b) {
  return a.x == b.x && a.y == b.y;
}

EnvelopePoint Snapped(const EnvelopeControl& s, EnvelopePoint p) {
  const DWORD style = Style(s);
  if (style & kEnvStyleSnapX) p.x = Snap(p.x, s.grid[0], s.envelope.X());
  if (style & kEnvStyleSnapY) p.y = Snap(p.y, s.grid[1], s.envelope.Y());
  return p;
}

// --- editing by the user ---------------------------------------------------------

void SelectByUser(EnvelopeControl& s, int index) {
  if (s.envelope.Selected() == index) return;
  s.envelope.Select(index);
  Redraw(s);
  Notify(s, kEnvNotifySelection);
}

void BeginDrag(EnvelopeControl& s, int index, POINT pointer, bool added) {
  const EnvelopeView view = View(s);
  const EnvelopePoint& p = s.envelope.Point(index);
  s.dragging = index;
  s.changed = added;
  s.grab = POINT{PixelOfX(view, p.x) - pointer.x, PixelOfY(view, p.y) - pointer.y};
  SetCapture(s.window);
}

// Clearing the drag before the capture goes keeps the capture-change message
// that releasing sends from ending it twice.
void EndDrag(EnvelopeControl& s) {
  if (s.dragging < 0) return;
  s.dragging = -1;
  if (GetCapture() == s.window) ReleaseCapture();
  if (s.changed) Notify(s, kEnvNotifyChanged);
  s.changed = false;
}

void LeftDown(EnvelopeControl& s, POINT p) {
  SetFocus(s.window);
  const EnvelopeView view = View(s);
  if (TooSmall(view) || s.dragging >= 0) return;
  const int hit = HitPoint(s.envelope, view, p.x, p.y, s.handle + 1);
  if (hit >= 0) {
    SelectByUser(s, hit);
    if (!ReadOnly(s)) BeginDrag(s, hit, p, false);
    return;
  }
  if (ReadOnly(s)) return;
  const int index = s.envelope.Insert(Snapped(s, PixelToValue(view, p.x, p.y)));
  if (index < 0) return;  // full, or no room at that x
  SelectByUser(s, index);
  Redraw(s);
  Notify(s, kEnvNotifyChanging);
  BeginDrag(s, index, p, true);
}

void DragTo(EnvelopeControl& s, POINT p, bool vertical) {
  const EnvelopeView view = View(s);
  const EnvelopePoint before = s.envelope.Point(s.dragging);
  EnvelopePoint to = Snapped(s, PixelToValue(view, p.x + s.grab.x, p.y + s.grab.y));
  if (vertical) to.x = before.x;
  if (Same(s.envelope.Move(s.dragging, to), before)) return;
  s.changed = true;
  Redraw(s);
  Notify(s, kEnvNotifyChanging);
}

// Removing the selected point selects its right-hand neighbour, which the
// parent hears of as a new selection.
void RemoveByUser(EnvelopeControl& s, int index) {
  const int selected = s.envelope.Selected();
  if (!s.envelope.Remove(index)) return;
  Redraw(s);
  Notify(s, kEnvNotifyChanged);
  if (index == selected || s.envelope.Selected() != selected) Notify(s, kEnvNotifySelection);
}

void RightDown(EnvelopeControl& s, POINT p) {
  SetFocus(s.window);
  const EnvelopeView view = View(s);
  if (TooSmall(view) || s.dragging >= 0 || ReadOnly(s)) return;
  RemoveByUser(s, HitPoint(s.envelope, view, p.x, p.y, s.handle + 1));
}

int CursorAt(const EnvelopeControl& s, POINT p) {
  if (s.dragging >= 0) {
    return GetKeyState(VK_SHIFT) < 0 || s.envelope.IsEnd(s.dragging) ? kCursorUpDown : kCursorMove;
  }
  const EnvelopeView view = View(s);
  if (TooSmall(view)) return kCursorArrow;
  const int hit = HitPoint(s.envelope, view, p.x, p.y, s.handle + 1);
  const bool refused = ReadOnly(s);
  if (hit < 0) return refused || s.envelope.Count() >= s.envelope.MaxCount() ? kCursorRefused : kCursorAdd;
  if (GetKeyState(VK_RBUTTON) < 0) return refused || s.envelope.IsEnd(hit) ? kCursorRefused : kCursorRemove;
  if (refused) return kCursorRefused;
  return s.envelope.IsEnd(hit) ? kCursorUpDown : kCursorDrag;  // the ends move only up and down
}

// --- keyboard ---------------------------------------------------------------------

// Tab walks the points and leaves the control past the last (Shift+Tab: the
// first), so the dialog's own Tab order still works.
bool WantsTab(const EnvelopeControl& s) {
  const int selected = s.envelope.Selected();
  return GetKeyState(VK_SHIFT) < 0 ? selected != 0 : selected != s.envelope.Count() - 1;
}

void KeyDown(EnvelopeControl& s, WPARAM key) {
  const int selected = s.envelope.Selected();
  const int last = s.envelope.Count() - 1;
  switch (key) {
    case VK_TAB:
      if (GetKeyState(VK_SHIFT) < 0) {
        SelectByUser(s, selected < 0 ? last : (selected > 0 ? selected - 1 : 0));
      } else {
        SelectByUser(s, selected < last ? selected + 1 : last);
      }
      return;
    case VK_HOME:
      SelectByUser(s, 0);
      return;
    case VK_END:
      SelectByUser(s, last);
      return;
    case VK_DELETE:
      if (!ReadOnly(s) && s.dragging < 0 && selected >= 0) RemoveByUser(s, selected);
      return;
    default:
      break;
  }
  if (selected < 0 || ReadOnly(s) || s.dragging >= 0) return;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const std::int32_t dx = ctrl && s.grid[0] > 1 ? s.grid[0] : 1;
  const std::int32_t dy = ctrl && s.grid[1] > 1 ? s.grid[1] : 1;
  EnvelopePoint to = s.envelope.Point(selected);
  const EnvelopePoint before = to;
  std::int64_t x = to.x, y = to.y;
  switch (key) {
    case VK_LEFT:
      x -= dx;
      break;
    case VK_RIGHT:
      x += dx;
      break;
    case VK_UP:
      y += dy;
      break;
    case VK_DOWN:
      y -= dy;
      break;
    default:
      return;
  }
  to = EnvelopePoint{s.envelope.X().Clamp(x), s.envelope.Y().Clamp(y)};
  if (Same(s.envelope.Move(selected, to), before)) return;
  Redraw(s);
  Notify(s, kEnvNotifyChanged);
}

// --- drawing ----------------------------------------------------------------------

void GridLines(HDC dc, const EnvelopeControl& s, const EnvelopeView& view) {
  SelectObject(dc, CtlPen(s.colors[kEnvColorGrid]));
  const CtlRect& r = view.plot;
  for (int axis = 0; axis < 2; ++axis) {
    const std::int32_t step = s.grid[axis];
    const EnvelopeAxis range = axis == 0 ? view.x : view.y;
    if (step <= 0) continue;
    const auto pixel = [&](std::int64_t v) {
      return axis == 0 ? PixelOfX(view, range.Clamp(v)) : PixelOfY(view, range.Clamp(v));
    };
    if (std::abs(pixel(std::int64_t{range.low} + step) - pixel(range.low)) < kMinGridSpacing) continue;
    for (std::int64_t v = range.low; v <= range.high; v += step) {
      const int p = pixel(v);
      if (axis == 0) {
        MoveToEx(dc, p, r.top, nullptr);
        LineTo(dc, p, r.bottom);
      } else {
        MoveToEx(dc, r.left, p, nullptr);
        LineTo(dc, r.right, p);
      }
    }
  }
}

void Draw(const EnvelopeControl& s, HDC dc, int width, int height) {
  const RECT client{0, 0, width, height};
  FillRect(dc, &client, CtlBrush(COLOR_WINDOW));
  const EnvelopeView view = View(s);
  if (TooSmall(view)) return;
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  if (!(Style(s) & kEnvStyleNoGrid)) GridLines(dc, s, view);
  const Envelope& e = s.envelope;
  SelectObject(dc, CtlPen(s.disabled ? kDisabledColor : s.colors[kEnvColorLine]));
  for (int i = 0; i < e.Count(); ++i) {
    const int x = PixelOfX(view, e.Point(i).x), y = PixelOfY(view, e.Point(i).y);
    if (i == 0) {
      MoveToEx(dc, x, y, nullptr);
    } else {
      LineTo(dc, x, y);
    }
  }
  // Handles: filled, the selected one in its own colour; hollow and grey
  // when disabled.
  for (int i = 0; i < e.Count(); ++i) {
    const int x = PixelOfX(view, e.Point(i).x), y = PixelOfY(view, e.Point(i).y);
    const RECT box{x - s.handle, y - s.handle, x + s.handle + 1, y + s.handle + 1};
    if (s.disabled) {
      FrameRect(dc, &box, CtlBrush(kDisabledColor));
    } else {
      FillRect(dc, &box, CtlBrush(s.colors[i == e.Selected() ? kEnvColorSelected : kEnvColorHandle]));
    }
  }
  SelectObject(dc, oldPen);
  if (s.focused) DrawFocusRect(dc, &client);
}

// Drawn off-screen and copied in one step, so a dragged point never flickers.
void Paint(const EnvelopeControl& s, HDC target) {
  RECT client{};
  GetClientRect(s.window, &client);
  const OffScreen surface(target, client);
  Draw(s, surface.Dc(), client.right, client.bottom);
}

// --- messages -----------------------------------------------------------------------

bool ColorIndexUsable(LPARAM index) {
  return (index >= 0 && index <= COLOR_INFOBK) || (index >= 100 && index <= 141);
}

// Messages of the 0x600 block. They are the program's edits, so they redraw
// but notify nobody; those that shift indices end a drag first, which the
// parent hears of as a finished edit.
LRESULT EnvelopeMessage(EnvelopeControl& s, UINT message, WPARAM wParam, LPARAM lParam) {
  Envelope& e = s.envelope;
  const int index = static_cast<int>(static_cast<INT_PTR>(wParam));
  auto* point = reinterpret_cast<EnvelopePoint*>(lParam);
  const auto changed = [&s](LRESULT result) {
    if (result) Redraw(s);
    return result;
  };
  switch (message) {
    case kEnvGetCount:
      return e.Count();
    case kEnvGetPoint:
      if (!e.Valid(index) || point == nullptr) return 0;
      *point = e.Point(index);
      return 1;
    case kEnvSetPoint:
      if (!e.Valid(index) || point == nullptr) return 0;
      e.Move(index, *point);
      return changed(1);
    case kEnvInsertPoint: {
      if (point == nullptr) return -1;
      EndDrag(s);  // indices are about to shift
      const int at = e.Insert(*point);
      changed(at >= 0);
      return at;
    }
    case kEnvDeletePoint:
      EndDrag(s);
      return changed(e.Remove(index));
    case kEnvReset:
      EndDrag(s);
      e.Reset(static_cast<std::int32_t>(lParam));
      changed(1);
      return e.Count();
    case kEnvGetPoints:
      if (point != nullptr) std::copy(e.Points(), e.Points() + std::min<WPARAM>(wParam, e.Count()), point);
      return e.Count();
    case kEnvSetPoints:
      if (wParam > static_cast<WPARAM>(kEnvelopeMaxCountLimit)) return 0;
      EndDrag(s);
      return changed(e.Assign(point, index));
    case kEnvGetXMin:
      return e.X().low;
    case kEnvGetXMax:
      return e.X().high;
    case kEnvSetXRange:
      EndDrag(s);
      return changed(e.SetXRange(static_cast<std::int32_t>(wParam), static_cast<std::int32_t>(lParam)));
    case kEnvGetYMin:
      return e.Y().low;
    case kEnvGetYMax:
      return e.Y().high;
    case kEnvSetYRange:
      return changed(e.SetYRange(static_cast<std::int32_t>(wParam), static_cast<std::int32_t>(lParam)));
    case kEnvGetSelection:
      return e.Selected();
    case kEnvSetSelection:
      return changed(e.Select(index));
    case kEnvGetMaxCount:
      return e.MaxCount();
    case kEnvSetMaxCount:
      return wParam <= static_cast<WPARAM>(kEnvelopeMaxCountLimit) && e.SetMaxCount(index);
    case kEnvGetGrid:
      return wParam < 2 ? s.grid[wParam] : 0;
    case kEnvSetGrid:
      if (wParam >= 2 || lParam < 0 || lParam > INT32_MAX) return 0;
      s.grid[wParam] = static_cast<std::int32_t>(lParam);
      return changed(1);
    case kEnvGetSnap:
      return Style(s) & kSnapMask;
    case kEnvSetSnap:
      return ReplaceStyleBits(s, kSnapMask, static_cast<DWORD>(wParam));
    case kEnvValueAt:
      return e.ValueAt(static_cast<std::int32_t>(lParam));
    case kEnvHitTest: {
      const POINT p = PointOf(lParam);
      const EnvelopeView view = View(s);
      return TooSmall(view) ? -1 : HitPoint(e, view, p.x, p.y, s.handle + 1);
    }
    case kEnvPointToPixel: {
      auto* out = reinterpret_cast<POINT*>(lParam);
      if (!e.Valid(index) || out == nullptr) return 0;
      const EnvelopeView view = View(s);
      *out = POINT{PixelOfX(view, e.Point(index).x), PixelOfY(view, e.Point(index).y)};
      return 1;
    }
    case kEnvPixelToValue:
      if (point == nullptr) return 0;
      *point = PixelToValue(View(s), point->x, point->y);
      return 1;
    case kEnvGetNotifyWindow:
      return reinterpret_cast<LRESULT>(s.notify);
    case kEnvSetNotifyWindow: {
      HWND previous = s.notify;
      s.notify = reinterpret_cast<HWND>(wParam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case kEnvGetStyle:
      return Style(s);
    case kEnvSetStyle: {
      const DWORD previous = ReplaceStyleBits(s, kStyleMask, static_cast<DWORD>(wParam));
      if (ReadOnly(s)) EndDrag(s);
      if (LOWORD(lParam) != 0) Redraw(s);
      return previous;
    }
    case kEnvGetReadOnly:
      return ReadOnly(s) ? 1 : 0;
    case kEnvSetReadOnly: {
      const DWORD previous = ReplaceStyleBits(s, kEnvStyleReadOnly, wParam != 0 ? kEnvStyleReadOnly : 0);
      if (wParam != 0) EndDrag(s);
      return previous != 0 ? 1 : 0;
    }
    case kEnvGetColor:
      return wParam < kEnvColorParts ? s.colors[wParam] : -1;
    case kEnvSetColor: {
      if (wParam >= kEnvColorParts || !ColorIndexUsable(lParam)) return -1;
      const int previous = s.colors[wParam];
      s.colors[wParam] = static_cast<int>(lParam);
      Redraw(s);
      return previous;
    }
    case kEnvGetHandleSize:
      return s.handle;
    case kEnvSetHandleSize:
      if (wParam < 1 || wParam > 8) return 0;
      s.handle = index;
      return changed(1);
    case kEnvGetPlotRect: {
      auto* out = reinterpret_cast<RECT*>(lParam);
      if (out == nullptr) return 0;
      const CtlRect r = View(s).plot;
      *out = RECT{r.left, r.top, r.right, r.bottom};
      return 1;
    }
    default:
      return 0;
  }
}

LRESULT Create(HWND window, const CREATESTRUCTW* create) {
  auto* s = new (std::nothrow) EnvelopeControl;
  if (s == nullptr) return -1;
  s->window = window;
  s->disabled = (create->style & WS_DISABLED) != 0;
  std::copy(kDefaultColors, kDefaultColors + kEnvColorParts, s->colors);
  SetLastError(ERROR_SUCCESS);
  if (!s->envelope.SetMaxCount(kEnvelopeDefaultMaxCount) ||
      (SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(s)) == 0 && GetLastError() != ERROR_SUCCESS)) {
    delete s;
    return -1;
  }
  return 0;
}

}  // namespace

LRESULT CALLBACK EnvelopeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return Create(window, reinterpret_cast<CREATESTRUCTW*>(lParam));
  EnvelopeControl* s = StateOf(window);
  if (s == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message >= kEnvGetCount && message <= kEnvGetPlotRect) return EnvelopeMessage(*s, message, wParam, lParam);
  switch (message) {
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, 0, 0);
      delete s;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT:
      PaintWindow(window, [s](HDC dc, const RECT& client) { Draw(*s, dc, client.right, client.bottom); });
      return 0;
    case WM_PRINTCLIENT:
      Paint(*s, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_ENABLE:
      s->disabled = wParam == 0;
      if (s->disabled) EndDrag(*s);
      Redraw(*s);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      s->focused = message == WM_SETFOCUS;
      Redraw(*s);
      return 0;
    case WM_GETDLGCODE: {
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      const bool tab = msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && WantsTab(*s);
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (tab ? DLGC_WANTTAB : 0);
    }
    case WM_KEYDOWN:
      KeyDown(*s, wParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      LeftDown(*s, PointOf(lParam));
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      RightDown(*s, PointOf(lParam));
      return 0;
    case WM_MOUSEMOVE:
      if (s->dragging >= 0) DragTo(*s, PointOf(lParam), (wParam & MK_SHIFT) != 0);
      return 0;
    case WM_LBUTTONUP:
    case WM_CANCELMODE:
      EndDrag(*s);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window) EndDrag(*s);
      return 0;
    case WM_SETCURSOR: {
      POINT p{};
      if (reinterpret_cast<HWND>(wParam) != window || LOWORD(lParam) != HTCLIENT || !GetCursorPos(&p) ||
          !ScreenToClient(window, &p)) {
        break;
      }
      SetCursor(CtlCursor(CursorAt(*s, p)));
      return TRUE;
    }
    case WM_STYLECHANGED:
      Redraw(*s);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quill
