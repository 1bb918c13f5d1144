// The trackbar and fader window classes, registered by the library's
// start-up.
#pragma once

#include "framework/com.h"

namespace quill {

LRESULT CALLBACK TrackbarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FaderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace quill
