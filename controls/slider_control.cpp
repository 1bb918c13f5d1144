// The trackbar and the fader: one state and one message handler, two looks.
// Both report every gesture to the parent as scroll notifications; they move
// themselves only while the thumb is dragged, double-clicked, restored with
// Escape or set from a digit key, and otherwise wait for the parent to set
// the position it computed.
#include <initializer_list>
#include <new>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"
#include "twctllib/slider_geometry.h"

namespace quill {
namespace {

constexpr UINT_PTR kRepeatTimer = 42;
constexpr UINT kRepeatMilliseconds = 250;

struct Slider {
  HWND window = nullptr;
  SliderKind kind = SliderKind::Trackbar;
  DWORD style = 0;
  SliderScale scale;
  std::int32_t position = 50;
  SliderLayout layout;
  bool disabled = false;
  bool hasCaret = false;
  // The press in progress.
  int held = kPartNone;
  std::int32_t pressPosition = 0;
  std::int32_t grab = 0;  // thumb centre minus pointer, along the axis
  POINT last{};
  std::int32_t lastReported = 0;
  bool timerRunning = false;
  bool arrowPressed[2] = {false, false};
  bool ending = false;
};

Slider* StateOf(HWND window) {
  return reinterpret_cast<Slider*>(GetWindowLongPtrW(window, 0));
}

std::int32_t Along(const Slider& s, POINT p) {
  return s.layout.vertical ? p.y : p.x;
}
std::int32_t CurrentPixel(const Slider& s) {
  return ThumbPixel(s.layout, s.scale, s.position);
}
CtlRect CurrentThumb(const Slider& s) {
  return ThumbRect(s.layout, CurrentPixel(s));
}

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void Notify(const Slider& s, int code, std::int32_t position) {
  HWND parent = GetParent(s.window);
  if (parent == nullptr) return;
  const UINT message = s.layout.vertical ? WM_VSCROLL : WM_HSCROLL;
  SendMessageW(parent, message, MAKEWPARAM(code, static_cast<WORD>(position & 0xFFFF)),
               reinterpret_cast<LPARAM>(s.window));
}

void Redraw(const Slider& s) {
  if (InvalidateRect(s.window, nullptr, FALSE)) UpdateWindow(s.window);
}

// --- the focus caret ------------------------------------------------------------

void PlaceCaret(const Slider& s) {
  if (!s.hasCaret) return;
  const CtlRect t = CurrentThumb(s);
  SetCaretPos(t.left + 2, t.top + 2);
}

void CreateFocusCaret(Slider& s) {
  if (s.layout.tooSmall) return;
  const CtlRect t = CurrentThumb(s);
  // Bitmap handle 1 asks for the grey caret.
  if (!CreateCaret(s.window, reinterpret_cast<HBITMAP>(1), t.Width() - 4, t.Height() - 4)) return;
  s.hasCaret = true;
  PlaceCaret(s);
  if (s.held == kPartNone) ShowCaret(s.window);
}

void DestroyFocusCaret(Slider& s) {
  if (s.hasCaret) DestroyCaret();
  s.hasCaret = false;
}

// --- state changes --------------------------------------------------------------

void Layout(Slider& s) {
  RECT client;
  if (!GetClientRect(s.window, &client)) client = RECT{};
  s.layout = ComputeSliderLayout(s.kind, s.style, client.right, client.bottom);
  if (s.hasCaret) {
    DestroyFocusCaret(s);
    if (GetFocus() == s.window) CreateFocusCaret(s);
  }
}

// Stores a clamped position; with redraw, the thumb moves on the screen at
// once unless it lands on the pixel where it already is.
std::int32_t SetPosition(Slider& s, std::int64_t value, bool redraw) {
  const std::int32_t before = CurrentPixel(s);
  s.position = s.scale.Clamp(value);
  if (redraw && CurrentPixel(s) != before) {
    PlaceCaret(s);
    Redraw(s);
  }
  return s.position;
}

void SetRange(Slider& s, std::int32_t minimum, std::int32_t maximum) {
  s.scale.SetRange(minimum, maximum);
  s.position = s.scale.Clamp(s.position);
  PlaceCaret(s);
  Redraw(s);
}

void SetArrowLook(Slider& s, int part, bool pressed) {
  if (part != kPartFirstArrow && part != kPartSecondArrow) return;
  if (s.arrowPressed[part] == pressed) return;
  s.arrowPressed[part] = pressed;
  Redraw(s);
}

// --- mouse ------------------------------------------------------------------------

void ButtonDown(Slider& s, POINT p) {
  SetFocus(s.window);
  const int part = HitTest(s.layout, s.disabled, CurrentPixel(s), p.x, p.y);
  if (part == kPartNone) return;
  s.held = part;
  s.pressPosition = s.position;
  s.lastReported = s.position;
  if (part == kPartThumb) {
    s.grab = CurrentPixel(s) - Along(s, p);
    s.last = p;
  }
  if (s.hasCaret) HideCaret(s.window);
  SetCapture(s.window);
  Notify(s, kScrollButtonDown, s.position);
  SetArrowLook(s, part, true);
  if (part != kPartThumb) {
    s.timerRunning = SetTimer(s.window, kRepeatTimer, kRepeatMilliseconds, nullptr) != 0;
    Notify(s, part, s.position);
  }
}

void EndPress(Slider& s) {
  if (s.held == kPartNone || s.ending) return;
  s.ending = true;  // releasing the capture comes back as a capture change
  if (GetCapture() == s.window) ReleaseCapture();
  if (s.held == kPartThumb) Notify(s, kScrollThumbPosition, s.lastReported);
  if (s.timerRunning) KillTimer(s.window, kRepeatTimer);
  s.timerRunning = false;
  Notify(s, kScrollEnd, s.position);
  if (s.hasCaret) ShowCaret(s.window);
  s.held = kPartNone;
  s.arrowPressed[0] = s.arrowPressed[1] = false;
  s.ending = false;
  PlaceCaret(s);
  Redraw(s);
}

// Escape: back to where the press began. The parent hears of it with the
// thumb-position code whichever part was held, since a held channel or
// arrow has had it move the control in the meantime.
void CancelPress(Slider& s) {
  const int part = s.held;
  s.lastReported = SetPosition(s, s.pressPosition, true);
  if (part != kPartThumb) Notify(s, kScrollThumbPosition, s.position);
  EndPress(s);
}

// A held arrow or channel: the arrow looks pressed only while the pointer is
// on it, and each timer tick repeats the part's code while it is.
void TrackHeldPart(Slider& s, POINT p, bool repeat) {
  const int hit = HitTest(s.layout, s.disabled, CurrentPixel(s), p.x, p.y);
  SetArrowLook(s, s.held, hit == s.held);
  if (repeat && hit == s.held) Notify(s, s.held, s.position);
}

void RepeatTick(Slider& s) {
  POINT p;
  if (!GetCursorPos(&p) || !ScreenToClient(s.window, &p)) return;
  TrackHeldPart(s, p, true);
}

// Thumb drag; fine (Shift or Ctrl) moves one unit per two pixels.
void DragTo(Slider& s, POINT p, bool fine) {
  if (p.x == s.last.x && p.y == s.last.y) return;  // includes our own pointer moves
  std::int32_t value;
  if (fine) {
    const std::int32_t delta = s.layout.vertical ? s.last.y - p.y : p.x - s.last.x;
    const std::int32_t step = delta == 0 ? 0 : (delta + (delta > 0 ? 1 : -1)) / 2;
    value = s.scale.Clamp(std::int64_t{s.lastReported} + step);
    // The pointer goes back onto the thumb, so it never runs away from it.
    const std::int32_t along = ThumbPixel(s.layout, s.scale, value) - s.grab;
    POINT keep = s.layout.vertical ? POINT{p.x, along} : POINT{along, p.y};
    POINT screen = keep;
    if (ClientToScreen(s.window, &screen) && SetCursorPos(screen.x, screen.y)) {
      s.last = keep;
    } else {
      s.last = p;
    }
  } else {
    value = ValueAtPixel(s.layout, s.scale, Along(s, p) + s.grab);
    s.last = p;
  }
  if (value != s.lastReported) {
    SetPosition(s, value, true);
    s.lastReported = value;
    Notify(s, kScrollThumbTrack, value);
  }
}

void DoubleClick(Slider& s, POINT p) {
  if (HitTest(s.layout, s.disabled, CurrentPixel(s), p.x, p.y) != kPartThumb) {
    ButtonDown(s, p);
    return;
  }
  SetFocus(s.window);
  const std::int32_t value = SetPosition(s, s.scale.ResetValue(), true);
  Notify(s, kScrollThumbPosition, value);
}

// --- keyboard ---------------------------------------------------------------------

int NavigationCode(WPARAM key) {
  switch (key) {
    case VK_PRIOR:
      return kScrollPageUp;
    case VK_NEXT:
      return kScrollPageDown;
    case VK_END:
      return kScrollBottom;
    case VK_HOME:
      return kScrollTop;
    case VK_LEFT:
    case VK_UP:
      return kScrollLineUp;
    case VK_RIGHT:
    case VK_DOWN:
      return kScrollLineDown;
    default:
      return -1;
  }
}

int DigitOf(WPARAM key) {
  if (key >= '0' && key <= '9') return static_cast<int>(key - '0');
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return static_cast<int>(key - VK_NUMPAD0);
  return -1;
}

void KeyDown(Slider& s, WPARAM key) {
  if (key == VK_ESCAPE && s.held != kPartNone && GetCapture() == s.window) {
    CancelPress(s);
    return;
  }
  const int code = NavigationCode(key);
  if (code >= 0) {
    Notify(s, code, s.position);
    return;
  }
  const int digit = DigitOf(key);
  if (digit >= 0 && s.held == kPartNone) {
    const std::int32_t value = SetPosition(s, s.scale.DigitValue(digit), true);
    Notify(s, kScrollThumbPosition, value);
  }
}

// --- drawing ----------------------------------------------------------------------

RECT ToRect(const CtlRect& r) {
  return RECT{r.left, r.top, r.right, r.bottom};
}

// A line across the axis at pixel p (vertical controls: a row).
void CrossLine(HDC dc, const Slider& s, int p, int from, int to, int color) {
  if (s.layout.vertical) {
    FillColor(dc, from, p, to, p + 1, color);
  } else {
    FillColor(dc, p, from, p + 1, to, color);
  }
}

void SunkenChannel(HDC dc, const CtlRect& c) {
  FillColor(dc, c.left, c.top, c.right, c.bottom, COLOR_SCROLLBAR);
  FillColor(dc, c.left, c.top, c.right, c.top + 1, COLOR_BTNSHADOW);
  FillColor(dc, c.left, c.top, c.left + 1, c.bottom, COLOR_BTNSHADOW);
  FillColor(dc, c.left, c.bottom - 1, c.right, c.bottom, COLOR_BTNHIGHLIGHT);
  FillColor(dc, c.right - 1, c.top, c.right, c.bottom, COLOR_BTNHIGHLIGHT);
  FillColor(dc, c.left + 1, c.top + 1, c.right - 1, c.top + 2, COLOR_WINDOWFRAME);
  FillColor(dc, c.left + 1, c.top + 1, c.left + 2, c.bottom - 1, COLOR_WINDOWFRAME);
}

void TickMarks(HDC dc, const Slider& s) {
  const std::int32_t lo = s.scale.Minimum();
  const std::int32_t hi = s.scale.Maximum();
  const std::int32_t middle = (lo < 0 && hi > 0) ? 0 : static_cast<std::int32_t>((std::int64_t{lo} + hi) / 2);
  const CtlRect& t = s.layout.track;
  const int near0 = s.layout.vertical ? t.left : t.top;
  const int far0 = s.layout.vertical ? t.right : t.bottom;
  for (std::int32_t value : {lo, middle, hi}) {
    const int p = ThumbPixel(s.layout, s.scale, value);
    for (int side = 0; side < 2; ++side) {
      const int from = side == 0 ? near0 - 4 : far0 + 1;
      CrossLine(dc, s, p, from, from + 3, COLOR_WINDOWFRAME);
      CrossLine(dc, s, p + 1, from, from + 3, COLOR_BTNHIGHLIGHT);
    }
  }
}

// A triangle of rows 1, 3 and 5 pixels pointing toward the decreasing or
// increasing end of the axis.
void Triangle(HDC dc, const Slider& s, int cx, int cy, bool towardEnd, int color) {
  for (int row = 0; row < 3; ++row) {
    const int tip = towardEnd ? 1 - row : row - 1;  // distance along the axis from the centre
    if (s.layout.vertical) {
      FillColor(dc, cx - row, cy + tip, cx + row + 1, cy + tip + 1, color);
    } else {
      FillColor(dc, cx + tip, cy - row, cx + tip + 1, cy + row + 1, color);
    }
  }
}

void ArrowButtons(HDC dc, const Slider& s) {
  const CtlRect a = s.layout.arrowArea;
  const int half = kArrowAreaLength / 2;
  for (int part = 0; part < 2; ++part) {
    CtlRect b = a;
    if (s.layout.vertical) {
      (part == 0 ? b.bottom : b.top) = a.top + half;
    } else {
      (part == 0 ? b.right : b.left) = a.left + half;
    }
    const bool pressed = s.arrowPressed[part];
    RaisedBox(dc, b, pressed);
    const int shift = pressed ? 1 : 0;
    const int cx = (b.left + b.right) / 2 + shift;
    const int cy = (b.top + b.bottom) / 2 + shift;
    if (s.disabled) {
      Triangle(dc, s, cx + 1, cy + 1, part == 1, COLOR_BTNHIGHLIGHT);
      Triangle(dc, s, cx, cy, part == 1, COLOR_BTNSHADOW);
    } else {
      Triangle(dc, s, cx, cy, part == 1, COLOR_BTNTEXT);
    }
  }
}

void FaderScale(HDC dc, const Slider& s, HBRUSH background) {
  const int width = s.layout.client.right;
  const int start = TravelStart(s.layout);
  const int end = TravelEnd(s.layout);
  auto line = [&](int y) {
    FillColor(dc, 0, y, width, y + 1, COLOR_WINDOWFRAME);
    FillColor(dc, 0, y + 1, width, y + 2, COLOR_BTNHIGHLIGHT);
  };
  line(start);
  line(end);
  for (int y = start + (s.layout.travel % 10) / 2 - 5 + 10; y < end; y += 10) line(y);
  // The lines stop a pixel short of the channel on each side.
  const CtlRect& c = s.layout.channel;
  RECT gap{c.left - 1, 0, c.left, s.layout.client.bottom};
  FillRect(dc, &gap, background);
  if (s.layout.breadth == 8) {
    gap = RECT{c.right, 0, c.right + 1, s.layout.client.bottom};
    FillRect(dc, &gap, background);
  }
}

void FaderCap(HDC dc, const Slider& s) {
  const CtlRect t = CurrentThumb(s);
  RaisedBox(dc, t, false);
  if (!s.layout.grip) return;
  const int centre = CurrentPixel(s);
  const int from = (s.layout.vertical ? t.left : t.top) + 3;
  const int to = (s.layout.vertical ? t.right : t.bottom) - 3;
  for (int p : {centre - 4, centre, centre + 4}) {
    CrossLine(dc, s, p, from, to, COLOR_WINDOWFRAME);
    CrossLine(dc, s, p + 1, from, to, COLOR_BTNHIGHLIGHT);
  }
}

void Draw(const Slider& s, HDC dc) {
  HWND parent = GetParent(s.window);
  HBRUSH background = nullptr;
  if (parent != nullptr) {
    background = reinterpret_cast<HBRUSH>(
        SendMessageW(parent, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(parent)));
  }
  if (background == nullptr) background = CtlBrush(COLOR_3DFACE);
  const RECT client = ToRect(s.layout.client);
  FillRect(dc, &client, background);
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  if (s.layout.tooSmall) return;
  if (s.kind == SliderKind::Trackbar) {
    if (s.layout.ticks) TickMarks(dc, s);
    SunkenChannel(dc, s.layout.channel);
    if (!s.disabled) RaisedBox(dc, CurrentThumb(s), false);
    if (s.layout.arrows) ArrowButtons(dc, s);
  } else {
    if (s.layout.ticks && s.layout.vertical) FaderScale(dc, s, background);
    SunkenChannel(dc, s.layout.channel);
    if (!s.disabled) FaderCap(dc, s);
  }
}

// Drawn off-screen and copied in one step, so the thumb never flickers.
void Paint(const Slider& s, HDC target) {
  const OffScreen surface(target, ToRect(s.layout.client));
  Draw(s, surface.Dc());
}

// --- the window procedure ----------------------------------------------------------

LRESULT Create(SliderKind kind, HWND window, const CREATESTRUCTW* create) {
  auto* s = new (std::nothrow) Slider;
  if (s == nullptr) return -1;
  s->window = window;
  s->kind = kind;
  s->style = static_cast<DWORD>(create->style);
  s->disabled = (create->style & WS_DISABLED) != 0;
  s->scale.SetTapered((s->style & kSliderStyleTapered) != 0);
  s->scale.SetRange(0, 100);
  s->position = 50;
  SetLastError(ERROR_SUCCESS);
  if (SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(s)) == 0 && GetLastError() != ERROR_SUCCESS) {
    delete s;
    return -1;
  }
  Layout(*s);
  return 0;
}

LRESULT SliderProc(SliderKind kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return Create(kind, window, reinterpret_cast<CREATESTRUCTW*>(lParam));
  Slider* s = StateOf(window);
  if (s == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case kCtlGetPosition:
      return s->position;
    case kCtlGetMinimum:
      return s->scale.Minimum();
    case kCtlGetMaximum:
      return s->scale.Maximum();
    case kCtlSetRange:
    case kCtlSetMinimum:
    case kCtlSetMaximum: {
      std::int32_t minimum = s->scale.Minimum(), maximum = s->scale.Maximum();
      RequestedRange(message, lParam, minimum, maximum);
      SetRange(*s, minimum, maximum);
      return 0;
    }
    case kCtlSetPosition:
      return SetPosition(*s, static_cast<std::int32_t>(lParam), wParam != 0);

    case WM_NCDESTROY:
      if (s->timerRunning) KillTimer(window, kRepeatTimer);
      SetWindowLongPtrW(window, 0, 0);
      delete s;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SIZE:
      Layout(*s);
      return 0;
    case WM_PAINT:
      PaintWindow(window, [s](HDC dc, const RECT&) { Draw(*s, dc); });
      return 0;
    case WM_PRINTCLIENT:
      Paint(*s, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_ENABLE:
      s->disabled = wParam == 0;
      if (s->disabled) EndPress(*s);
      Redraw(*s);
      return 0;
    case WM_SETFOCUS:
      CreateFocusCaret(*s);
      return 0;
    case WM_KILLFOCUS:
      DestroyFocusCaret(*s);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (GetCapture() == window ? DLGC_WANTALLKEYS : 0);
    case WM_KEYDOWN:
      KeyDown(*s, wParam);
      return 0;
    case WM_KEYUP:
      if (NavigationCode(wParam) >= 0) Notify(*s, kScrollEnd, s->position);
      return 0;
    case WM_LBUTTONDOWN:
      ButtonDown(*s, PointOf(lParam));
      return 0;
    case WM_LBUTTONDBLCLK:
      DoubleClick(*s, PointOf(lParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_CANCELMODE:
      EndPress(*s);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window) EndPress(*s);
      return 0;
    case WM_MOUSEMOVE:
      if (s->held == kPartThumb) {
        DragTo(*s, PointOf(lParam), (wParam & (MK_SHIFT | MK_CONTROL)) != 0);
      } else if (s->held != kPartNone) {
        TrackHeldPart(*s, PointOf(lParam), false);
      }
      return 0;
    case WM_TIMER:
      if (wParam != kRepeatTimer) break;
      if (s->held != kPartNone && s->held != kPartThumb) RepeatTick(*s);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK TrackbarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SliderProc(SliderKind::Trackbar, window, message, wParam, lParam);
}

LRESULT CALLBACK FaderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SliderProc(SliderKind::Fader, window, message, wParam, lParam);
}

}  // namespace quill
