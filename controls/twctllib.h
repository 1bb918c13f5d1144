// The control library as the pages use it: start-up and shutdown, the colour
// scheme with the host editor's overrides, cached drawing objects, tinted
// bitmaps, window placement, locale number texts, and the slider controls'
// messages and scroll helpers. Windows only; the rules behind it are in the
// portable headers included here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/com.h"
#include "twctllib/meter_rules.h"
#include "twctllib/number_text.h"
#include "twctllib/scroll_rules.h"

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

}  // namespace quill
