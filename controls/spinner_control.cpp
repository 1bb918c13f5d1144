// The spinner: two arrow halves that report line steps to the parent as
// scroll notifications, optionally coupled to a buddy edit whose keys and
// focus changes it takes over. Like the trackbar it never moves itself; the
// parent answers with SpinnerScroll, which also writes the buddy's text.
#include <algorithm>
#include <cwchar>
#include <new>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"
#include "twctllib/slider_scale.h"
#include "twctllib/spinner_rules.h"

namespace quill {
namespace {

constexpr UINT_PTR kRepeatTimer = 42;
constexpr UINT kRepeatMilliseconds = 250;
constexpr wchar_t kStateProp[] = L"SpinMeRound";
constexpr wchar_t kProcProp[] = L"SpinMeLo";

struct Spinner {
  HWND window = nullptr;
  DWORD style = 0;
  SliderScale scale;
  std::int32_t position = 50;
  SpinnerLayout layout;
  bool disabled = false;
  // The press in progress.
  int held = kSpinNone;
  bool pressedLook = false;
  bool timerRunning = false;
  bool ending = false;
  HWND notify = nullptr;  // null: the parent
  HWND buddy = nullptr;
  WNDPROC buddyProc = nullptr;
  std::int32_t step = 1;
  // Set while the spinner itself moves the focus into the buddy, whose
  // focus gain must not report the press a second time.
  bool movingFocus = false;
  // A key taken from the buddy: the character it may produce is not the
  // edit's either. Comparing character codes with key codes instead would
  // swallow "!", "&" or "(" typed into the edit.
  bool swallowChar = false;
};

LRESULT CALLBACK BuddyProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

Spinner* StateOf(HWND window) {
  return reinterpret_cast<Spinner*>(GetWindowLongPtrW(window, 0));
}

bool Vertical(const Spinner& s) {
  return (s.style & kSpinStyleVertical) != 0;
}

bool CtrlDown() {
  return GetKeyState(VK_CONTROL) < 0;
}

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void Redraw(const Spinner& s) {
  if (InvalidateRect(s.window, nullptr, FALSE)) UpdateWindow(s.window);
}

HWND Receiver(const Spinner& s) {
  if (s.notify != nullptr && IsWindow(s.notify)) return s.notify;
  return GetParent(s.window);
}

void MoveFocusToBuddy(Spinner& s) {
  if (s.buddy == nullptr || GetFocus() == s.buddy) return;
  s.movingFocus = true;
  SendMessageW(GetParent(s.buddy), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(s.buddy), TRUE);
  // A parent that is not a dialog ignores the request.
  if (GetFocus() != s.buddy) SetFocus(s.buddy);
  s.movingFocus = false;
}

// False when the receiver destroyed the spinner while handling it.
bool Notify(Spinner& s, int code) {
  HWND window = s.window;
  if (HWND to = Receiver(s)) {
    SendMessageW(to, Vertical(s) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(s.position & 0xFFFF)),
                 reinterpret_cast<LPARAM>(window));
  }
  if (!IsWindow(window) || StateOf(window) != &s) return false;
  if (code == kScrollButtonDown && (s.style & kSpinStyleFocusBuddy) != 0) MoveFocusToBuddy(s);
  return true;
}

void Layout(Spinner& s) {
  RECT client;
  if (!GetClientRect(s.window, &client)) client = RECT{};
  s.layout = ComputeSpinnerLayout(Vertical(s), client.right, client.bottom);
}

void SetRange(Spinner& s, std::int32_t minimum, std::int32_t maximum) {
  s.scale.SetRange(minimum, maximum);
  s.position = s.scale.Clamp(s.position);
}

// --- the buddy edit ----------------------------------------------------------------

// Restores the buddy's own procedure and takes the properties away. Only our
// procedure can be unhooked: when someone subclassed the edit after us, the
// chain still runs through BuddyProc, so the previous procedure stays with
// it and, with no spinner left, it only passes messages on.
void ReleaseBuddy(Spinner& s) {
  HWND buddy = s.buddy;
  WNDPROC previous = s.buddyProc;
  s.buddy = nullptr;
  s.buddyProc = nullptr;
  s.swallowChar = false;
  if (buddy == nullptr || !IsWindow(buddy)) return;
  RemovePropW(buddy, kStateProp);
  if (GetWindowLongPtrW(buddy, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&BuddyProc)) {
    SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(buddy, kProcProp);
  }
}

void PlaceBesideBuddy(Spinner& s) {
  RECT r;
  if (!GetWindowRect(s.buddy, &r)) return;
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  MapWindowPoints(nullptr, GetParent(s.window), corners, 2);
  const int major = LOBYTE(LOWORD(GetVersion()));
  const CtlRect at = SpinnerBesideBuddy(CtlRect{corners[0].x, corners[0].y, corners[1].x, corners[1].y}, major);
  SetWindowPos(s.window, nullptr, at.left, at.top, at.Width(), at.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CoupleBuddy(Spinner& s, HWND buddy, WORD textLimit) {
  if (buddy == nullptr) {
    ReleaseBuddy(s);
    return 0;
  }
  if (!IsWindow(buddy) || buddy == s.window || GetWindowThreadProcessId(buddy, nullptr) != GetCurrentThreadId()) {
    return 0;
  }
  // An edit has one spinner: another one's (or our own) coupling goes first.
  if (auto* other = static_cast<Spinner*>(GetPropW(buddy, kStateProp))) ReleaseBuddy(*other);
  if (GetPropW(buddy, kProcProp) != nullptr) return 0;  // a chain that could not be unhooked
  ReleaseBuddy(s);
  const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(buddy, GWLP_WNDPROC));
  // The properties are in place before the first message reaches BuddyProc.
  if (previous == nullptr || !SetPropW(buddy, kStateProp, &s) ||
      !SetPropW(buddy, kProcProp, reinterpret_cast<HANDLE>(previous)) ||
      SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BuddyProc)) == 0) {
    RemovePropW(buddy, kStateProp);
    RemovePropW(buddy, kProcProp);
    return 0;
  }
  s.buddy = buddy;
  s.buddyProc = previous;
  SendMessageW(buddy, EM_LIMITTEXT, textLimit, 0);
  PlaceBesideBuddy(s);
  return reinterpret_cast<LRESULT>(buddy);
}

// --- keyboard and mouse --------------------------------------------------------------

// A key down sends its code once per repeat it stands for, so a spinner that
// falls behind the key repeat still counts every step.
bool Key(Spinner& s, UINT message, WPARAM key, LPARAM flags, bool fromBuddy) {
  const int code = SpinnerKeyCode(static_cast<std::uint32_t>(key), CtrlDown(), fromBuddy);
  if (code < 0 || s.disabled) return false;
  if (message == WM_KEYUP) {
    Notify(s, kScrollEnd);
    return true;
  }
  const int repeats = std::max(1, static_cast<int>(LOWORD(flags)));
  for (int i = 0; i < repeats; ++i)
    if (!Notify(s, code)) break;
  return true;
}

void SetPressedLook(Spinner& s, bool pressed) {
  if (s.pressedLook == pressed) return;
  s.pressedLook = pressed;
  Redraw(s);
}

// With a buddy the keyboard belongs to the edit, so a press takes the focus
// only from a spinner on its own (or moves it to the buddy, style 0x4000).
void ButtonDown(Spinner& s, POINT p) {
  if (s.buddy == nullptr) SetFocus(s.window);
  const int half = SpinnerHitTest(s.layout, s.disabled, p.x, p.y);
  if (half == kSpinNone) return;
  s.held = half;
  SetCapture(s.window);
  if (!Notify(s, kScrollButtonDown)) return;
  SetPressedLook(s, true);
  s.timerRunning = SetTimer(s.window, kRepeatTimer, kRepeatMilliseconds, nullptr) != 0;
  Notify(s, half);
}

void EndPress(Spinner& s) {
  if (s.held == kSpinNone || s.ending) return;
  s.ending = true;  // releasing the capture comes back as a capture change
  if (GetCapture() == s.window) ReleaseCapture();
  if (s.timerRunning) KillTimer(s.window, kRepeatTimer);
  s.timerRunning = false;
  s.held = kSpinNone;
  s.pressedLook = false;
  s.ending = false;
  Redraw(s);
  Notify(s, kScrollEnd);
}

// The held half looks pressed only while the pointer is on it, and repeats
// only then.
void TrackHeldHalf(Spinner& s, POINT p, bool repeat) {
  const bool over = SpinnerHitTest(s.layout, s.disabled, p.x, p.y) == s.held;
  SetPressedLook(s, over);
  if (repeat && over) Notify(s, s.held);
}

// --- drawing -------------------------------------------------------------------------

// The glyph shapes of the face bitmap, for when the module has none: rows
// (or columns) of 1, 3, 5 and 7 pixels from the tip.
void GdiArrow(HDC dc, int glyph, int x, int y, int color) {
  for (int step = 0; step < 4; ++step) {
    const bool tipFirst = glyph == kGlyphUp || glyph == kGlyphLeft;
    const int depth = tipFirst ? step : 3 - step;
    if (glyph == kGlyphUp || glyph == kGlyphDown) {
      FillColor(dc, x + 3 - step, y + depth, x + 4 + step, y + depth + 1, color);
    } else {
      FillColor(dc, x + depth, y + 3 - step, x + depth + 1, y + 4 + step, color);
    }
  }
}

void DrawHalf(HDC dc, HDC face, const Spinner& s, int half) {
  const CtlRect& b = s.layout.halves[half];
  const bool pressed = s.held == half && s.pressedLook;
  RaisedBox(dc, b, pressed);
  const int glyph = SpinnerGlyphOf(s.layout.vertical, half);
  const CtlRect shape = SpinnerGlyphCell(glyph, false);  // centred by the solid shape either way
  const CtlRect cell = SpinnerGlyphCell(glyph, s.disabled);
  const int shift = pressed ? 1 : 0;
  const int x = (b.left + b.right - shape.Width()) / 2 + shift;
  const int y = (b.top + b.bottom - shape.Height()) / 2 + shift;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, b.left + 2, b.top + 2, b.right - 2, b.bottom - 2);
  if (face != nullptr) {
    BitBlt(dc, x, y, cell.Width(), cell.Height(), face, cell.left, cell.top, SRCCOPY);
  } else if (s.disabled) {
    GdiArrow(dc, glyph, x + 1, y + 1, COLOR_BTNHIGHLIGHT);
    GdiArrow(dc, glyph, x, y, COLOR_BTNSHADOW);
  } else {
    GdiArrow(dc, glyph, x, y, COLOR_BTNTEXT);
  }
  if (saved != 0) RestoreDC(dc, saved);
}

void Draw(const Spinner& s, HDC dc) {
  const RECT client{0, 0, s.layout.client.right, s.layout.client.bottom};
  FillRect(dc, &client, CtlBrush(COLOR_3DFACE));
  if (s.layout.tooSmall) return;
  HDC face = nullptr;
  HGDIOBJ previous = nullptr;
  if (HBITMAP bitmap = CtlSpinnerFace()) {
    face = CreateCompatibleDC(dc);
    previous = face != nullptr ? SelectObject(face, bitmap) : nullptr;
    if (previous == nullptr || previous == HGDI_ERROR) {
      if (face != nullptr) DeleteDC(face);
      face = nullptr;
    }
  }
  DrawHalf(dc, face, s, kSpinIncrease);
  DrawHalf(dc, face, s, kSpinDecrease);
  if (face != nullptr) {
    SelectObject(face, previous);
    DeleteDC(face);
  }
}

// Off-screen first and copied in one step, so a press never flickers.
void Paint(const Spinner& s, HDC target) {
  const OffScreen surface(target, RECT{0, 0, s.layout.client.right, s.layout.client.bottom});
  Draw(s, surface.Dc());
}

// --- the window procedures -------------------------------------------------------------

LRESULT CALLBACK BuddyProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = static_cast<Spinner*>(GetPropW(edit, kStateProp));
  const auto previous = reinterpret_cast<WNDPROC>(GetPropW(edit, kProcProp));
  if (previous == nullptr) return DefWindowProcW(edit, message, wParam, lParam);
  // A disabled spinner leaves the edit to itself.
  if (s != nullptr && !s->disabled) {
    switch (message) {
      case WM_KEYDOWN:
      case WM_KEYUP:
        if (Key(*s, message, wParam, lParam, true)) {
          // The parent may have destroyed the spinner on the notification.
          if (auto* still = static_cast<Spinner*>(GetPropW(edit, kStateProp)))
            still->swallowChar = message == WM_KEYDOWN;
          return 0;
        }
        if (message == WM_KEYDOWN) s->swallowChar = false;
        break;
      case WM_CHAR:
        if (s->swallowChar) {
          s->swallowChar = false;
          return 0;
        }
        break;
      case WM_SETFOCUS:
      case WM_KILLFOCUS: {
        const LRESULT result = CallWindowProcW(previous, edit, message, wParam, lParam);
        // The spinner may have gone while the edit handled it.
        s = static_cast<Spinner*>(GetPropW(edit, kStateProp));
        if (s != nullptr && !(message == WM_SETFOCUS && s->movingFocus))
          Notify(*s, message == WM_SETFOCUS ? kScrollButtonDown : kScrollEnd);
        return result;
      }
      default:
        break;
    }
  }
  const LRESULT result = CallWindowProcW(previous, edit, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    s = static_cast<Spinner*>(GetPropW(edit, kStateProp));
    if (s != nullptr) {
      s->buddy = nullptr;
      s->buddyProc = nullptr;
    }
    RemovePropW(edit, kStateProp);
    RemovePropW(edit, kProcProp);
  }
  return result;
}

LRESULT Create(HWND window, const CREATESTRUCTW* create) {
  auto* s = new (std::nothrow) Spinner;
  if (s == nullptr) return -1;
  s->window = window;
  s->style = static_cast<DWORD>(create->style);
  s->disabled = (create->style & WS_DISABLED) != 0;
  s->scale.SetRange(0, 100);
  SetLastError(ERROR_SUCCESS);
  if (SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(s)) == 0 && GetLastError() != ERROR_SUCCESS) {
    delete s;
    return -1;
  }
  Layout(*s);
  return 0;
}

void SetStyle(Spinner& s, WPARAM bits, bool redraw) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(s.window, GWL_STYLE));
  s.style = (style & 0xFFFF0000u) | static_cast<DWORD>(bits & 0xFFFF);
  SetWindowLongPtrW(s.window, GWL_STYLE, static_cast<LONG_PTR>(s.style));
  Layout(s);
  if (redraw) Redraw(s);
}

LRESULT SetNotifyWindow(Spinner& s, HWND window) {
  if (window != nullptr && !IsWindow(window)) return 0;
  s.notify = window;
  return reinterpret_cast<LRESULT>(Receiver(s));
}

}  // namespace

LRESULT CALLBACK SpinnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return Create(window, reinterpret_cast<CREATESTRUCTW*>(lParam));
  Spinner* s = StateOf(window);
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
      // Nothing on the face shows the position, so there is nothing to redraw.
      s->position = s->scale.Clamp(static_cast<std::int32_t>(lParam));
      return s->position;
    case kSpinGetStep:
      return s->step;
    case kSpinSetStep:
      if (static_cast<std::int32_t>(wParam) >= 1) s->step = static_cast<std::int32_t>(wParam);
      return 0;
    case kSpinGetNotify:
      return reinterpret_cast<LRESULT>(Receiver(*s));
    case kSpinSetNotify:
      return SetNotifyWindow(*s, reinterpret_cast<HWND>(wParam));
    case kSpinSetStyle:
      SetStyle(*s, wParam, LOWORD(lParam) != 0);
      return 0;
    case kSpinGetBuddy:
      return reinterpret_cast<LRESULT>(s->buddy);
    case kSpinSetBuddy:
      return CoupleBuddy(*s, reinterpret_cast<HWND>(wParam), LOWORD(lParam));

    case WM_NCDESTROY:
      if (s->timerRunning) KillTimer(window, kRepeatTimer);
      ReleaseBuddy(*s);
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
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN:
    case WM_KEYUP:
      Key(*s, message, wParam, lParam, false);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // quick clicks are steps too
      ButtonDown(*s, PointOf(lParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_CANCELMODE:
      EndPress(*s);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window) EndPress(*s);
      return 0;
    case WM_MOUSEMOVE:
      if (s->held != kSpinNone) TrackHeldHalf(*s, PointOf(lParam), false);
      return 0;
    case WM_TIMER: {
      if (wParam != kRepeatTimer) break;
      POINT p;
      if (s->held != kSpinNone && GetCursorPos(&p) && ScreenToClient(window, &p)) TrackHeldHalf(*s, p, true);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT SpinnerScroll(UINT, int code, HWND spinner, int pageStep) {
  if (!IsWindow(spinner)) return 0;
  ScrollState state;
  state.minimum = static_cast<std::int32_t>(SendMessageW(spinner, kCtlGetMinimum, 0, 0));
  state.maximum = static_cast<std::int32_t>(SendMessageW(spinner, kCtlGetMaximum, 0, 0));
  state.position = static_cast<std::int32_t>(SendMessageW(spinner, kCtlGetPosition, 0, 0));
  const bool moves = code == kScrollLineUp || code == kScrollLineDown || code == kScrollPageUp ||
                     code == kScrollPageDown || code == kScrollTop || code == kScrollBottom;
  if (!moves) return state.position;
  const auto step = static_cast<std::int32_t>(SendMessageW(spinner, kSpinGetStep, 0, 0));
  HWND buddy = reinterpret_cast<HWND>(SendMessageW(spinner, kSpinGetBuddy, 0, 0));
  // What was typed into the buddy is the value the user sees, so the step
  // goes from there.
  wchar_t text[32] = {};
  if (buddy != nullptr) {
    const int length = GetWindowTextLengthW(buddy);
    std::int32_t typed = 0;
    if (length > 0 && length < 32 && GetWindowTextW(buddy, text, 32) > 0 && ParseNumber(text, &typed) == 0)
      state.position = typed;
  }
  const std::int32_t position = TrackbarScrollPosition(state, code, step, SpinnerPageStep(step, pageStep), CtrlDown());
  const LRESULT stored = SendMessageW(spinner, kCtlSetPosition, 1, position);
  if (buddy != nullptr) {
    std::swprintf(text, 32, L"%d", static_cast<int>(stored));
    if (InsertThousands(text, 32) > 0) SetWindowTextW(buddy, text);
  }
  return stored;
}

}  // namespace quill
