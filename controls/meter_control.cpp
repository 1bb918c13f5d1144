// The level meter: one bar per channel from the bottom of a dB scale up to
// the level, green below -6 dB and red above, a white line at the held peak,
// a clip box at the far end of each bar that lights red, and the held peak's
// figure in a label strip beyond it. The owner feeds levels as they come;
// the meter never asks for them. Colours are table indices, so the host
// editor's scheme can recolour it: 120/121 unlit and lit below -6 dB,
// 110/111 above, 124 the peak line, 141/140 the clip box lit and dark, 105
// the scale and the labels.
#include <cmath>
#include <initializer_list>
#include <new>

#include "controls/ctl_classes.h"
#include "controls/twctllib.h"

namespace quill {
namespace {

constexpr UINT_PTR kHoldTimer = 1;
constexpr UINT kHoldTickMilliseconds = 100;
constexpr std::uint32_t kDefaultHoldMilliseconds = 1500;
constexpr int kDefaultChannels = 2;     // a stereo pair
constexpr std::int32_t kHotZone = -60;  // tenths of a dB: red from -6 dB up
constexpr int kTickLength = 3;
constexpr wchar_t kLabelMeasure[] = L" -00";

constexpr int kColorUnlit = 120, kColorLit = 121, kColorHotUnlit = 110, kColorHot = 111;
constexpr int kColorPeak = 124, kColorClip = 141, kColorClipDark = 140, kColorText = 105;

struct Meter {
  HWND window = nullptr;
  DWORD style = 0;
  bool vertical = false;
  bool labels = true;
  MeterScale scale;
  int channels = kDefaultChannels;
  MeterChannel channel[kMeterMaxChannels];
  std::uint32_t holdMs = kDefaultHoldMilliseconds;
  wchar_t format[kMeterFormatCapacity] = L"%.1f";
  bool timerRunning = false;
  // Layout, with the text sizes it was made from.
  MeterLayout layout;
  std::int32_t width = 0, height = 0;
  std::int32_t markSpacing = 0;
  std::int32_t labelRoom = 0;
};

Meter* StateOf(HWND window) {
  return reinterpret_cast<Meter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

SIZE TextSize(HDC dc, int font, const wchar_t* text, int length) {
  HGDIOBJ previous = SelectObject(dc, CtlFont(font));
  SIZE size{};
  if (!GetTextExtentPoint32W(dc, text, length, &size)) size = SIZE{};
  if (previous != nullptr && previous != HGDI_ERROR) SelectObject(dc, previous);
  return size;
}

// Along the bars from their bottom end, across from the scale's side.
RECT Area(const Meter& m, std::int32_t along0, std::int32_t along1, std::int32_t across0, std::int32_t across1) {
  if (m.vertical) return RECT{across0, m.height - along1, across1, m.height - along0};
  return RECT{along0, across0, along1, across1};
}

void Fill(HDC dc, const RECT& r, int color) {
  if (r.left < r.right && r.top < r.bottom) FillRect(dc, &r, CtlBrush(color));
}

void Redraw(const Meter& m) {
  InvalidateRect(m.window, nullptr, FALSE);
}

// Text sizes decide the label strip and the scale's breadth: labels are
// measured with " -00", the scale with the widest of its end figures.
void Layout(Meter& m) {
  RECT client;
  if (!GetClientRect(m.window, &client)) client = RECT{};
  m.width = client.right;
  m.height = client.bottom;
  SIZE label{}, mark{};
  if (HDC dc = GetDC(m.window)) {
    label = TextSize(dc, 101, kLabelMeasure, 4);
    for (std::int32_t tenths : {std::int32_t{0}, m.scale.bottom}) {
      const MeterText figure = MarkText(m.format, tenths);
      const SIZE s = TextSize(dc, 100, figure.text, figure.length);
      if (s.cx > mark.cx) mark.cx = s.cx;
      if (s.cy > mark.cy) mark.cy = s.cy;
    }
    ReleaseDC(m.window, dc);
  }
  const bool scale = (m.style & kMeterStyleNoScale) == 0;
  std::int32_t labelLength = 0, scaleBreadth = 0;
  if (m.vertical) {
    labelLength = m.labels ? label.cy + 2 : 0;
    scaleBreadth = scale ? mark.cx + kTickLength + 2 : 0;
    m.markSpacing = 2 * mark.cy;  // a figure's height apart
    m.layout = ComputeMeterLayout(m.height, m.width, m.channels, labelLength, scaleBreadth);
    m.labelRoom = m.layout.channelEnd[0] - m.layout.channelStart[0];
  } else {
    labelLength = m.labels ? label.cx + 2 : 0;
    scaleBreadth = scale ? mark.cy + kTickLength + 1 : 0;
    m.markSpacing = mark.cx + 4;
    m.layout = ComputeMeterLayout(m.width, m.height, m.channels, labelLength, scaleBreadth);
    m.labelRoom = labelLength;
  }
}

// The label as it is drawn: shortened when it does not fit its room.
MeterText DrawnLabel(const Meter& m, int index, HDC dc) {
  MeterText label = PeakLabel(m.channel[index], m.scale);
  if (!m.labels || m.layout.tooSmall || label.length == 0) return label;
  FitLabel(label, TextSize(dc, 101, label.text, label.length).cx, m.labelRoom);
  return label;
}

// --- peak hold ---------------------------------------------------------------------

bool AnyPeakHeld(const Meter& m) {
  for (int i = 0; i < m.channels; ++i)
    if (m.channel[i].level >= 0 && m.channel[i].peak != m.channel[i].level) return true;
  return false;
}

// The timer runs only while some timed peak sits above (or below) its level.
void UpdateTimer(Meter& m) {
  const bool wanted = m.holdMs > 0 && AnyPeakHeld(m);
  if (wanted && !m.timerRunning) {
    m.timerRunning = SetTimer(m.window, kHoldTimer, kHoldTickMilliseconds, nullptr) != 0;
  } else if (!wanted && m.timerRunning) {
    KillTimer(m.window, kHoldTimer);
    m.timerRunning = false;
  }
}

void HoldTick(Meter& m) {
  const std::uint32_t now = GetTickCount();
  bool fell = false;
  for (int i = 0; i < m.channels; ++i) fell = ExpirePeak(m.channel[i], now, m.holdMs) || fell;
  if (fell) Redraw(m);
  UpdateTimer(m);
}

// --- messages ----------------------------------------------------------------------

bool Smallest(const Meter& m) {
  return m.scale.smallest;
}

LRESULT SetLevels(Meter& m, WPARAM wParam, LPARAM lParam) {
  const std::uint32_t now = GetTickCount();
  const int count = HIWORD(wParam);
  int set = 0;
  if (count == 0) {
    const int index = LOWORD(wParam);
    if (index >= m.channels) return 0;
    ApplyLevel(m.channel[index], static_cast<std::int32_t>(lParam), Smallest(m), now, m.holdMs);
    set = 1;
  } else {
    const auto* levels = reinterpret_cast<const LONG*>(lParam);
    if (levels == nullptr) return 0;
    set = count < m.channels ? count : m.channels;
    for (int i = 0; i < set; ++i) ApplyLevel(m.channel[i], levels[i], Smallest(m), now, m.holdMs);
  }
  UpdateTimer(m);
  Redraw(m);
  return set;
}

LRESULT GetLevels(const Meter& m, WPARAM wParam, LPARAM lParam) {
  const int count = HIWORD(wParam);
  if (count == 0) {
    const int index = LOWORD(wParam);
    return index < m.channels ? m.channel[index].level : kNoLevel;
  }
  auto* levels = reinterpret_cast<LONG*>(lParam);
  if (levels == nullptr) return 0;
  const int got = count < m.channels ? count : m.channels;
  for (int i = 0; i < got; ++i) levels[i] = m.channel[i].level;
  return got;
}

// The scale value is the channel's level where the scale puts it, in dB:
// tenths in the integer form, like the labels; unrounded in the float form.
LRESULT GetScaleValue(const Meter& m, WPARAM wParam, LPARAM lParam) {
  const int index = LOWORD(wParam);
  const std::int32_t tenths =
      index < m.channels ? LevelTenths(m.channel[index].level, m.scale.fullScale) : kMinusInfinity;
  if (HIWORD(wParam) == 0) return tenths;
  auto* out = reinterpret_cast<float*>(lParam);
  if (out == nullptr || index >= m.channels) return 0;
  const std::int32_t level = m.channel[index].level;
  *out = level > 0 ? static_cast<float>(20.0 * std::log10(static_cast<double>(level) / m.scale.fullScale)) : -INFINITY;
  return 1;
}

LRESULT SetChannels(Meter& m, WPARAM count) {
  if (count >= 1 && count <= static_cast<WPARAM>(kMeterMaxChannels) && static_cast<int>(count) != m.channels) {
    // Channels that come or go start cleared.
    for (int i = static_cast<int>(count); i < kMeterMaxChannels; ++i) m.channel[i] = MeterChannel{};
    m.channels = static_cast<int>(count);
    Layout(m);
    UpdateTimer(m);
    Redraw(m);
  }
  return m.channels;
}

// A full scale, clip level or bottom that is out of range is refused and the
// one in effect is returned, so a caller sees the refusal.
LRESULT SetScaleField(Meter& m, std::int32_t& field, LPARAM value, std::int32_t lowest, std::int32_t highest) {
  if (value != 0 && value >= lowest && value <= highest && field != static_cast<std::int32_t>(value)) {
    field = static_cast<std::int32_t>(value);
    Layout(m);  // the bottom's figure may be wider
    Redraw(m);
  }
  return field;
}

// The number format writes the scale's figures; the peak labels keep their
// own split tenths, which cannot lose the sign of a figure between 0 and -1.
// Only a format with one floating conversion is taken: it is handed to
// swprintf with a double.
LRESULT SetFormat(Meter& m, LPARAM lParam) {
  const auto* format = reinterpret_cast<const wchar_t*>(lParam);
  if (!ValidNumberFormat(format)) return 0;
  int i = 0;
  for (; format[i] != L'\0'; ++i) m.format[i] = format[i];
  m.format[i] = L'\0';
  Layout(m);
  Redraw(m);
  return 1;
}

LRESULT ResetPeaks(Meter& m, WPARAM which) {
  const std::uint32_t now = GetTickCount();
  int reset = 0;
  for (int i = 0; i < m.channels; ++i) {
    if (which != kMeterAllChannels && which != static_cast<WPARAM>(i)) continue;
    ResetPeak(m.channel[i], now);
    ++reset;
  }
  if (reset > 0) {
    UpdateTimer(m);
    Redraw(m);
  }
  return reset;
}

LRESULT SetFlag(Meter& m, bool& flag, bool value) {
  const bool before = flag;
  if (flag != value) {
    flag = value;
    Layout(m);
    Redraw(m);
  }
  return before ? 1 : 0;
}

LRESULT SetHoldTime(Meter& m, LPARAM lParam) {
  if (lParam >= 0 && lParam <= INT32_MAX) {
    m.holdMs = static_cast<std::uint32_t>(lParam);
    UpdateTimer(m);
  }
  return static_cast<LRESULT>(m.holdMs);
}

LRESULT GetLabel(const Meter& m, WPARAM wParam, LPARAM lParam) {
  const int index = LOWORD(wParam);
  const int capacity = HIWORD(wParam);
  auto* out = reinterpret_cast<wchar_t*>(lParam);
  if (index >= m.channels || out == nullptr) return 0;
  HDC dc = GetDC(m.window);
  if (dc == nullptr) return 0;
  const MeterText label = DrawnLabel(m, index, dc);
  ReleaseDC(m.window, dc);
  if (label.length >= capacity) return 0;  // no room: the buffer is left alone
  for (int i = 0; i <= label.length; ++i) out[i] = label.text[i];
  return label.length;
}

void DoubleClick(Meter& m, LPARAM lParam) {
  if ((m.style & kMeterStyleResetOnDoubleClick) == 0) return;
  const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  const int index = ChannelAt(m.layout, m.channels, m.vertical ? x : y);
  if (index >= 0) ResetPeaks(m, static_cast<WPARAM>(index));
}

void TakeStyle(Meter& m, DWORD style) {
  m.style = style;
  m.vertical = (style & kMeterStyleVertical) != 0;
  m.scale.smallest = (style & kMeterStyleMinimum) != 0;
}

// --- drawing -----------------------------------------------------------------------

void DrawScale(const Meter& m, HDC dc) {
  const MeterLayout& l = m.layout;
  if (l.scaleBreadth == 0) return;
  const MarkList marks = ScaleMarks(m.scale.bottom, l.travel, m.markSpacing);
  const std::int32_t tickFrom = l.scaleBreadth - kTickLength - 1;
  HGDIOBJ previous = SelectObject(dc, CtlFont(100));
  SetTextColor(dc, CtlColor(kColorText));
  SetBkMode(dc, TRANSPARENT);
  RECT drawn{};
  for (int i = 0; i < marks.count; ++i) {
    std::int32_t at = ScaleOffset(marks.tenths[i], m.scale.bottom, l.travel);
    if (at >= l.travel) at = l.travel - 1;  // 0 dB: the last pixel of the bar
    Fill(dc, Area(m, at, at + 1, tickFrom, tickFrom + kTickLength), kColorText);
    const MeterText figure = MarkText(m.format, marks.tenths[i]);
    SIZE size{};
    if (!GetTextExtentPoint32W(dc, figure.text, figure.length, &size)) continue;
    const RECT tick = Area(m, at, at + 1, 0, tickFrom);
    int x, y;
    if (m.vertical) {
      x = tickFrom - 1 - size.cx;
      y = tick.top - size.cy / 2;
      if (y < 0) y = 0;
      if (y + size.cy > m.height) y = m.height - size.cy;
    } else {
      x = tick.left - size.cx / 2;
      y = 0;
      if (x < 0) x = 0;
      if (x + size.cx > l.travel) x = l.travel - size.cx;
    }
    // A figure pushed in from an edge may run into its neighbour: skip it.
    const RECT box{x, y, x + size.cx, y + size.cy};
    RECT overlap;
    if (IntersectRect(&overlap, &box, &drawn)) continue;
    TextOutW(dc, x, y, figure.text, figure.length);
    drawn = box;
  }
  if (previous != nullptr && previous != HGDI_ERROR) SelectObject(dc, previous);
}

void DrawChannel(const Meter& m, HDC dc, int index) {
  const MeterLayout& l = m.layout;
  const MeterChannel& c = m.channel[index];
  const std::int32_t c0 = l.channelStart[index], c1 = l.channelEnd[index];
  const std::int32_t hot = ScaleOffset(kHotZone, m.scale.bottom, l.travel);
  const std::int32_t lit = ScaleOffset(LevelTenths(c.level, m.scale.fullScale), m.scale.bottom, l.travel);
  Fill(dc, Area(m, 0, hot, c0, c1), kColorUnlit);
  Fill(dc, Area(m, hot, l.travel, c0, c1), kColorHotUnlit);
  Fill(dc, Area(m, 0, lit < hot ? lit : hot, c0, c1), kColorLit);
  Fill(dc, Area(m, hot, lit, c0, c1), kColorHot);
  if (c.peak >= 0) {
    const std::int32_t peak = ScaleOffset(LevelTenths(c.peak, m.scale.fullScale), m.scale.bottom, l.travel);
    if (peak > 0) Fill(dc, Area(m, peak - 1, peak, c0, c1), kColorPeak);
  }
  const bool clipped = Clipped(c, m.scale.clipLevel, m.scale.smallest);
  Fill(dc, Area(m, l.clipStart, l.clipEnd, c0, c1), clipped ? kColorClip : kColorClipDark);
  if (!m.labels) return;
  HGDIOBJ previous = SelectObject(dc, CtlFont(101));
  const MeterText label = DrawnLabel(m, index, dc);
  RECT cell = Area(m, l.labelStart, l.labelEnd, c0, c1);
  SetTextColor(dc, CtlColor(kColorText));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, label.text, label.length, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  if (previous != nullptr && previous != HGDI_ERROR) SelectObject(dc, previous);
}

void Draw(const Meter& m, HDC dc) {
  HWND parent = GetParent(m.window);
  HBRUSH background = nullptr;
  if (parent != nullptr) {
    background = reinterpret_cast<HBRUSH>(
        SendMessageW(parent, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(parent)));
  }
  if (background == nullptr) background = CtlBrush(COLOR_3DFACE);
  const RECT client{0, 0, m.width, m.height};
  FillRect(dc, &client, background);
  if (m.layout.tooSmall) return;
  DrawScale(m, dc);
  for (int i = 0; i < m.channels; ++i) DrawChannel(m, dc, i);
}

// Off-screen and copied in one step: levels arrive many times a second.
void Paint(const Meter& m, HDC target) {
  const OffScreen surface(target, RECT{0, 0, m.width, m.height});
  Draw(m, surface.Dc());
}

// --- the window procedure ------------------------------------------------------------

LRESULT Create(HWND window, const CREATESTRUCTW* create) {
  auto* m = new (std::nothrow) Meter;
  if (m == nullptr) return -1;
  m->window = window;
  TakeStyle(*m, static_cast<DWORD>(create->style));
  m->labels = (m->style & kMeterStyleNoLabels) == 0;
  SetLastError(ERROR_SUCCESS);
  if (SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m)) == 0 && GetLastError() != ERROR_SUCCESS) {
    delete m;
    return -1;
  }
  Layout(*m);
  return 0;
}

}  // namespace

LRESULT CALLBACK MeterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return Create(window, reinterpret_cast<CREATESTRUCTW*>(lParam));
  Meter* m = StateOf(window);
  if (m == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case kMeterGetLevels:
      return GetLevels(*m, wParam, lParam);
    case kMeterGetScaleValue:
      return GetScaleValue(*m, wParam, lParam);
    case kMeterSetLevels:
      return SetLevels(*m, wParam, lParam);
    case kMeterSetChannels:
      return SetChannels(*m, wParam);
    case kMeterSetFullScale:
      return SetScaleField(*m, m->scale.fullScale, lParam, 1, INT32_MAX);
    case kMeterSetClipLevel:
      return SetScaleField(*m, m->scale.clipLevel, lParam, 1, INT32_MAX);
    case kMeterSetBottom:
      return SetScaleField(*m, m->scale.bottom, lParam, kMeterLowestBottom, kMeterHighestBottom);
    case kMeterSetFormat:
      return SetFormat(*m, lParam);
    case kMeterResetPeaks:
      return ResetPeaks(*m, wParam);
    case kMeterShowLabels:
      return SetFlag(*m, m->labels, wParam != 0);
    case kMeterSetHoldTime:
      return SetHoldTime(*m, lParam);
    case kMeterSetVertical:  // until the style itself changes again
      return SetFlag(*m, m->vertical, wParam != 0);
    case kMeterGetPeak:
      return wParam < static_cast<WPARAM>(m->channels) ? m->channel[wParam].peak : kNoLevel;
    case kMeterGetLabel:
      return GetLabel(*m, wParam, lParam);

    case WM_NCDESTROY:
      if (m->timerRunning) KillTimer(window, kHoldTimer);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      delete m;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SIZE:
      Layout(*m);
      return 0;
    case WM_STYLECHANGED:
      if (static_cast<int>(wParam) == GWL_STYLE) {
        TakeStyle(*m, reinterpret_cast<const STYLESTRUCT*>(lParam)->styleNew);
        Layout(*m);
        Redraw(*m);
      }
      return 0;
    case WM_PAINT:
      PaintWindow(window, [m](HDC dc, const RECT&) { Draw(*m, dc); });
      return 0;
    case WM_PRINTCLIENT:
      Paint(*m, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDBLCLK:
      DoubleClick(*m, lParam);
      return 0;
    case WM_TIMER:
      if (wParam != kHoldTimer) break;
      HoldTick(*m);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quill
