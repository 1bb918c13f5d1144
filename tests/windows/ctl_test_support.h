// Shared by the control-library tests: a message pump, pixels read back
// from real windows, and bitmaps written for a person to look at.
#pragma once

#include <string>
#include <vector>

#include "framework/com.h"

namespace quill::test {

// Dispatches messages (through the dialog's keyboard handling when given)
// for the given time.
void Pump(DWORD milliseconds, HWND dialog = nullptr);

// The client area of a window as it is on the screen, 0x00BBGGRR per pixel,
// row by row from the top.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> data;
  COLORREF At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};
Pixels CaptureClient(HWND window);
// The whole window, frame included.
Pixels CaptureWindow(HWND window);

// Writes a 24-bit BMP file; false if it could not be written.
bool WriteBmp(const std::wstring& path, const Pixels& pixels);

// The build tree's artifacts directory (created), with a trailing backslash.
std::wstring ArtifactsDir();

}  // namespace quill::test
