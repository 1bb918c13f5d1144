// The library's window classes: their procedures, where each keeps its
// state, and the drawing objects start-up makes for them.
#pragma once

#include "framework/com.h"

namespace quill {

LRESULT CALLBACK TrackbarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FaderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EnvelopeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT CALLBACK SpinnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT CALLBACK MeterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The static control has two slots of window data and keeps its state in
// the second.
inline constexpr int kStaticExtraBytes = 2 * static_cast<int>(sizeof(LONG_PTR));
inline constexpr int kStaticStateOffset = static_cast<int>(sizeof(LONG_PTR));

// Made by the first start-up and deleted by the last shutdown; null outside
// them. The 50 % grey pattern that disabled pictures are drawn through, and
// the spinner's face (bitmap 100 tinted with the button colours; null when
// the module has no such bitmap).
HBRUSH CtlGreyPattern();
HBITMAP CtlSpinnerFace();

}  // namespace quill
