// The control library as the pages use it: start-up and shutdown, the colour
// scheme with the host editor's overrides, cached drawing objects, tinted
// bitmaps, window placement, locale number texts, and the slider controls'
// messages and scroll helpers. Windows only; the rules behind it are in the
// portable headers included here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/com.h"
#include "twctllib/envelope_points.h"
#include "twctllib/meter_rules.h"
#include "twctllib/number_text.h"
#include "twctllib/scroll_rules.h"
#include "twctllib/slider_geometry.h"

namespace quill {

inline constexpr wchar_t kTrackbarClass[] = L"TwCtlLib_Trackbar_Class";
inline constexpr wchar_t kEnvelopeClass[] = L"TwCtlLib_Envelope_Class";
inline constexpr wchar_t kFaderClass[] = L"TwCtlLib_Fader_Class";
inline constexpr wchar_t kSpinnerClass[] = L"TwCtlLib_Spinner_Class";
inline constexpr wchar_t kStaticClass[] = L"TwCtlLib_Static_Class";
inline constexpr wchar_t kMeterClass[] = L"TwCtlLib_Meter_Class";

// Messages of the position controls (trackbar, fader, spinner).
inline constexpr UINT kCtlGetPosition = 0x600;
inline constexpr UINT kCtlGetMinimum = 0x601;
inline constexpr UINT kCtlGetMaximum = 0x602;
inline constexpr UINT kCtlSetRange = 0x603;  // lParam: minimum low word, maximum high word, signed
inline constexpr UINT kCtlSetMinimum = 0x604;
inline constexpr UINT kCtlSetMaximum = 0x605;
inline constexpr UINT kCtlSetPosition = 0x606;  // wParam non-zero: redraw

// What a range message asks of a control whose range is [minimum, maximum]:
// both ends (packed as signed 16-bit words), or one end as a whole number.
inline void RequestedRange(UINT message, LPARAM lParam, std::int32_t& minimum, std::int32_t& maximum) {
  if (message == kCtlSetRange) {
    minimum = static_cast<short>(LOWORD(lParam));
    maximum = static_cast<short>(HIWORD(lParam));
  } else if (message == kCtlSetMinimum) {
    minimum = static_cast<std::int32_t>(lParam);
  } else if (message == kCtlSetMaximum) {
    maximum = static_cast<std::int32_t>(lParam);
  }
}

// Messages of the static control. The picture it is given replaces any
// other; a text set without a leading "#" removes it.
inline constexpr UINT kStaticLoadBitmap = 0x600;  // wParam module (0: the window's), lParam name; 1 if loaded
inline constexpr UINT kStaticTakeBitmap = 0x601;  // lParam HBITMAP, deleted by the control; 1 if not null
inline constexpr UINT kStaticCopyImage = 0x602;   // lParam packed bitmap (header, colours, bits); 1 if copied

// Envelope editor messages (wParam; lParam; result). Indices count from 0;
// pointers are EnvelopePoint unless said. Refused input changes nothing.
inline constexpr UINT kEnvGetCount = 0x600;         // -; -; the number of points
inline constexpr UINT kEnvGetPoint = 0x601;         // index; out point; 1, or 0 for no such point
inline constexpr UINT kEnvSetPoint = 0x602;         // index; point; 1 and the point moved as a drag would, or 0
inline constexpr UINT kEnvInsertPoint = 0x603;      // -; point; its index, or -1 refused
inline constexpr UINT kEnvDeletePoint = 0x604;      // index; -; 1, or 0 (no such point, or an end)
inline constexpr UINT kEnvReset = 0x605;            // -; level; 2: only the ends remain, at the level
inline constexpr UINT kEnvGetPoints = 0x606;        // capacity; out array or null; the count (copies at most capacity)
inline constexpr UINT kEnvSetPoints = 0x607;        // count; array; 1, or 0 when it breaks the envelope's rules
inline constexpr UINT kEnvGetXMin = 0x608;          // -; -; low end of x
inline constexpr UINT kEnvGetXMax = 0x609;          // -; -; high end of x
inline constexpr UINT kEnvSetXRange = 0x60A;        // low; high; 1, or 0 unless low < high
inline constexpr UINT kEnvGetYMin = 0x60B;          // -; -; low end of y
inline constexpr UINT kEnvGetYMax = 0x60C;          // -; -; high end of y
inline constexpr UINT kEnvSetYRange = 0x60D;        // low; high; 1, or 0 unless low < high
inline constexpr UINT kEnvGetSelection = 0x60E;     // -; -; the selected index, or -1
inline constexpr UINT kEnvSetSelection = 0x60F;     // index or -1; -; 1, or 0 for no such point
inline constexpr UINT kEnvGetMaxCount = 0x610;      // -; -; the most points
inline constexpr UINT kEnvSetMaxCount = 0x611;      // count 2..4096; -; 1, or 0 (out of limits, fewer than held)
inline constexpr UINT kEnvGetGrid = 0x612;          // 0 x, 1 y; -; the grid step (0 none)
inline constexpr UINT kEnvSetGrid = 0x613;          // 0 x, 1 y; step >= 0; 1, or 0
inline constexpr UINT kEnvGetSnap = 0x614;          // -; -; the snap style bits
inline constexpr UINT kEnvSetSnap = 0x615;          // snap bits; -; the previous ones
inline constexpr UINT kEnvValueAt = 0x616;          // -; x; the envelope's y there
inline constexpr UINT kEnvHitTest = 0x617;          // -; client point (x low word, y high, signed); index or -1
inline constexpr UINT kEnvPointToPixel = 0x618;     // index; out POINT; 1, or 0 for no such point
inline constexpr UINT kEnvPixelToValue = 0x619;     // -; in pixel, out value (in place); 1
inline constexpr UINT kEnvGetNotifyWindow = 0x61A;  // -; -; the window notified (null: the parent)
inline constexpr UINT kEnvSetNotifyWindow = 0x61B;  // window or null; -; the previous one
inline constexpr UINT kEnvGetStyle = 0x61C;         // -; -; the low 16 style bits
inline constexpr UINT kEnvSetStyle = 0x61D;         // new low 16 bits; non-zero: redraw; the previous bits
inline constexpr UINT kEnvGetReadOnly = 0x61E;      // -; -; 1 when the user cannot edit
inline constexpr UINT kEnvSetReadOnly = 0x61F;      // flag; -; the previous flag
inline constexpr UINT kEnvGetColor = 0x620;         // part; -; its colour index, or -1 for no such part
inline constexpr UINT kEnvSetColor = 0x621;         // part; colour index 0..24 or 100..141; the previous, or -1
inline constexpr UINT kEnvGetHandleSize = 0x622;    // -; -; half the side of a point's handle, in pixels
inline constexpr UINT kEnvSetHandleSize = 0x623;    // 1..8; -; 1, or 0
inline constexpr UINT kEnvGetPlotRect = 0x624;      // -; out RECT; 1: where the ranges are drawn
// Style bits: mouse edits snap to the x or y grid, the user cannot edit,
// no grid lines are drawn.
inline constexpr UINT kEnvStyleSnapX = 0x0001;
inline constexpr UINT kEnvStyleSnapY = 0x0002;
inline constexpr UINT kEnvStyleReadOnly = 0x0004;
inline constexpr UINT kEnvStyleNoGrid = 0x0008;
// Colour parts and WM_COMMAND notification codes (the control's id in the
// low word of wParam): a point moved or was added by a drag in progress; a
// user's edit is finished (button up, right-click removal, a key); the user
// selected another point.
enum EnvelopeColorPart : int { kEnvColorLine, kEnvColorHandle, kEnvColorSelected, kEnvColorGrid, kEnvColorParts };
inline constexpr WORD kEnvNotifyChanging = 1;
inline constexpr WORD kEnvNotifyChanged = 2;
inline constexpr WORD kEnvNotifySelection = 3;

// The spinner: 0x600 to 0x606 as above (its position is only ever set by the
// parent), and these. Style bits: 0x0001 vertical (the top half increases
// and notifications are vertical-scroll messages; otherwise the right half
// increases); 0x4000 a press moves the dialog focus to the buddy edit. It
// notifies the trackbar's scroll codes to the 0x60A window or the parent:
// the increasing half, Up and Right send 1 and the other half, Down and Left
// 0, so SpinnerScroll moves them the trackbar's way.
inline constexpr UINT kSpinGetStep = 0x607;    // result: the line step
inline constexpr UINT kSpinSetStep = 0x608;    // wParam: step, 1 or more (others refused); result 0
inline constexpr UINT kSpinGetNotify = 0x609;  // result: the window notified (the parent unless set)
inline constexpr UINT kSpinSetNotify = 0x60A;  // wParam: window, 0 for the parent; result as 0x609, 0 if refused
inline constexpr UINT kSpinSetStyle = 0x60B;   // wParam: new low 16 style bits; lParam low word: redraw; result 0
inline constexpr UINT kSpinGetBuddy = 0x60C;   // result: the buddy edit
inline constexpr UINT kSpinSetBuddy = 0x60D;   // wParam: edit, 0 uncouples; lParam low word: text limit; result:
                                               // the buddy, 0 when refused or uncoupled
inline constexpr DWORD kSpinStyleVertical = 0x0001;
inline constexpr DWORD kSpinStyleFocusBuddy = 0x4000;

// Meter messages. Levels are linear against the full scale, dB values in
// tenths; where a channel is named it is LOWORD(wParam). A level of -1 or a
// result of 0 also stands for a channel that does not exist, and a silent
// or cleared channel reads kMinusInfinity dB (a float -infinity).
inline constexpr UINT kMeterGetLevels = 0x600;      // HIWORD(wParam) 0: result the level; n: fill LONG[n] at lParam
inline constexpr UINT kMeterGetScaleValue = 0x601;  // HIWORD(wParam) 0: result dB tenths; 1: float dB at lParam
inline constexpr UINT kMeterSetLevels = 0x602;  // HIWORD(wParam) 0: level lParam; n: LONG[n] at lParam; result how many
inline constexpr UINT kMeterSetChannels = 0x603;   // wParam 1..16, 0 reads; result the channel count
inline constexpr UINT kMeterSetFullScale = 0x604;  // lParam > 0, 0 reads; result the full scale
inline constexpr UINT kMeterSetClipLevel = 0x605;  // lParam > 0, 0 reads; result the clip level
inline constexpr UINT kMeterSetBottom = 0x606;     // lParam -1200..-10 dB tenths, 0 reads; result the bottom
inline constexpr UINT kMeterSetFormat = 0x607;     // lParam const wchar_t* figure format; result 1, 0 refused
inline constexpr UINT kMeterResetPeaks = 0x608;    // wParam channel or kMeterAllChannels; result how many reset
inline constexpr UINT kMeterShowLabels = 0x609;    // wParam non-zero shows; result 1 if they were shown
inline constexpr UINT kMeterSetHoldTime = 0x60A;   // lParam ms, 0 until reset, -1 reads; result the hold time
inline constexpr UINT kMeterSetVertical = 0x60B;   // wParam non-zero: bars grow upward; result 1 if they did
inline constexpr UINT kMeterGetPeak = 0x60C;       // wParam channel; result its held peak, -1 none
inline constexpr UINT kMeterGetLabel = 0x60D;      // label as drawn to HIWORD(wParam) chars at lParam; result length
inline constexpr WPARAM kMeterAllChannels = static_cast<WPARAM>(-1);
inline constexpr DWORD kMeterStyleVertical = 0x0001;
inline constexpr DWORD kMeterStyleMinimum = 0x0002;  // the held peak is the smallest value; no "Clip"
inline constexpr DWORD kMeterStyleNoScale = 0x0004;
inline constexpr DWORD kMeterStyleNoLabels = 0x0008;
inline constexpr DWORD kMeterStyleResetOnDoubleClick = 0x0010;  // a double-click resets that channel's peak

// Pattern brushes of CtlBrush.
inline constexpr int kBrushBitmapPattern = 10000;
inline constexpr int kBrushHalftone = 10001;

// PlaceWindow flags.
inline constexpr UINT kPlaceBelowTop = 1;  // centred across, a third of the way down
inline constexpr UINT kPlaceAtPointer = 2;
inline constexpr UINT kPlaceAtPoint = 3;
inline constexpr UINT kPlaceClientArea = 0x1000;
inline constexpr UINT kPlaceOnParent = 0x8000;

// Start-up (start TRUE) and shutdown (FALSE). Start-ups are counted: the
// first registers the window classes and reads the colour scheme and the
// locale separators; only the matching last shutdown unregisters the classes
// and empties the caches, so one filter going away does not pull the classes
// from under another filter's open page. S_OK, or S_FALSE for a shutdown
// without a start-up.
HRESULT CtlInitialize(BOOL start);
// How many start-ups are outstanding.
LONG CtlStartCount();
// The module whose resources and classes the library uses (the one it is
// linked into).
HINSTANCE CtlModule();

// Values of section "Metrics" of the host editor's "wexa32.ini". Keys below
// 100 give 0; the clamped read gives its default for a missing or empty
// value.
std::int32_t CtlMetric(int key);
std::int32_t CtlMetricClamped(int key, std::int32_t lowest, std::int32_t highest, std::int32_t defaultValue);

// Colours: -99..99 system colours, 100..141 the scheme (negative: its
// default), else 0xFFFFFFFF.
COLORREF CtlColor(int index);
COLORREF CtlNearestColor(int index);
// Cached objects, never to be deleted by the caller; a stock black brush or
// pen, or a stock font, stands in for what cannot be made.
HBRUSH CtlBrush(int index);
HPEN CtlPen(int index);
HFONT CtlFont(int id);
HCURSOR CtlCursor(int id);

// A 16-colour bitmap resource with palette entries 0, 7, 8, 15, 11 and 10
// replaced, as a bitmap for the screen; null if the resource is missing or
// not a 16-colour bitmap with a 40-byte header. The caller deletes it.
HBITMAP LoadTintedBitmap(HINSTANCE module, int bitmapId, COLORREF c0, COLORREF c7, COLORREF c8, COLORREF c15,
                         COLORREF c11, COLORREF c10);
// Fills a rectangle with the context's background colour.
BOOL FillOpaque(HDC dc, int x, int y, int width, int height);
// Fills a rectangle with a cached colour (a system colour or a scheme index).
void FillColor(HDC dc, int left, int top, int right, int bottom, int color);
// A framed button face in the 3D colours, raised or pressed in.
void RaisedBox(HDC dc, const CtlRect& box, bool pressed);

// One paint's drawing surface: an off-screen bitmap the size of `area`,
// copied to the target in one step when it goes, so nothing flickers; the
// target itself when no bitmap can be made, or when `direct` is asked.
class OffScreen {
 public:
  OffScreen(HDC target, const RECT& area, bool direct = false);
  ~OffScreen();
  OffScreen(const OffScreen&) = delete;
  OffScreen& operator=(const OffScreen&) = delete;
  HDC Dc() const { return memory_ != nullptr ? memory_ : target_; }

 private:
  HDC target_;
  RECT area_;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// A window's paint message: `draw(dc, client)` into an off-screen copy of
// the client area (straight to the window with `direct`).
template <class Draw>
void PaintWindow(HWND window, Draw&& draw, bool direct = false) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(window, &client);
  {
    const OffScreen surface(dc, client, direct);
    draw(surface.Dc(), client);
  }
  EndPaint(window, &ps);
}

// Moves a window (no resize, no activation) relative to a reference
// rectangle, keeping it on the screen.
BOOL PlaceWindow(HWND window, HWND reference, POINT point, UINT flags);

// Number texts with the locale's separators as read at start-up.
const NumberSeparators& CtlSeparators();
int InsertThousands(wchar_t* text, std::size_t capacity);
wchar_t ParseNumber(const wchar_t* text, std::int32_t* value);
wchar_t ParseDecimal(const wchar_t* text, double* value);

// A page's answer to a scroll notification from a trackbar or fader: the
// new position, already set on the control.
LRESULT TrackbarScroll(UINT message, int code, HWND control, int lineStep, int pageStep);
LRESULT FaderScroll(UINT message, int code, HWND control, int lineStep, int pageStep);
// The same for a spinner: its step size is the line, a page step of 0 means
// ten steps; a buddy edit's typed number is the starting point and the new
// position is written back into it, grouped. Codes that move nothing leave
// the buddy alone and return the position.
LRESULT SpinnerScroll(UINT message, int code, HWND spinner, int pageStep);

}  // namespace quill
