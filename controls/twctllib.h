// The control library as the pages use it: start-up and shutdown, the colour
// scheme with the host editor's overrides, cached drawing objects, tinted
// bitmaps, window placement, locale number texts, and the slider controls'
// messages and scroll helpers. Windows only; the rules behind it are in the
// portable headers included here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/com.h"
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
// The same for a spinner: its step size is the line, a page step of 0 means
// ten steps; a buddy edit's typed number is the starting point and the new
// position is written back into it, grouped. Codes that move nothing leave
// the buddy alone and return the position.
LRESULT SpinnerScroll(UINT message, int code, HWND spinner, int pageStep);

}  // namespace quill
