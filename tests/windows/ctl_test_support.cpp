#include "tests/windows/ctl_test_support.h"

#include <cstdio>

#include "tests/windows/win_support.h"

namespace quill::test {

void Pump(DWORD milliseconds, HWND dialog) {
  const DWORD until = GetTickCount() + milliseconds;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (dialog != nullptr && IsDialogMessageW(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const LONG left = static_cast<LONG>(until - GetTickCount());
    if (left <= 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
  }
}

namespace {

Pixels Capture(HDC source, int width, int height) {
  Pixels p;
  if (source == nullptr || width <= 0 || height <= 0) return p;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(source);
  if (section != nullptr && memory != nullptr) {
    HGDIOBJ old = SelectObject(memory, section);
    if (BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY)) {
      GdiFlush();
      p.width = width;
      p.height = height;
      p.data.resize(static_cast<size_t>(width) * height);
      const auto* quads = static_cast<const std::uint32_t*>(bits);
      for (size_t i = 0; i < p.data.size(); ++i) {
        const std::uint32_t q = quads[i];  // 0x00RRGGBB
        p.data[i] = RGB((q >> 16) & 0xFF, (q >> 8) & 0xFF, q & 0xFF);
      }
    }
    SelectObject(memory, old);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (section != nullptr) DeleteObject(section);
  return p;
}

}  // namespace

Pixels CaptureClient(HWND window) {
  RECT r;
  if (!GetClientRect(window, &r)) return {};
  HDC dc = GetDC(window);
  Pixels p = Capture(dc, r.right, r.bottom);
  if (dc != nullptr) ReleaseDC(window, dc);
  return p;
}

Pixels CaptureWindow(HWND window) {
  RECT r;
  if (!GetWindowRect(window, &r)) return {};
  HDC dc = GetWindowDC(window);
  Pixels p = Capture(dc, r.right - r.left, r.bottom - r.top);
  if (dc != nullptr) ReleaseDC(window, dc);
  return p;
}

bool WriteBmp(const std::wstring& path, const Pixels& pixels) {
  if (pixels.width <= 0 || pixels.height <= 0) return false;
  const int rowBytes = (pixels.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = pixels.width;
  info.biHeight = pixels.height;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(rowBytes) * pixels.height;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return false;
  bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1;
  std::vector<unsigned char> row(static_cast<size_t>(rowBytes), 0);
  for (int y = pixels.height - 1; ok && y >= 0; --y) {
    for (int x = 0; x < pixels.width; ++x) {
      const COLORREF c = pixels.At(x, y);
      row[x * 3 + 0] = GetBValue(c);
      row[x * 3 + 1] = GetGValue(c);
      row[x * 3 + 2] = GetRValue(c);
    }
    ok = fwrite(row.data(), row.size(), 1, out) == 1;
  }
  return fclose(out) == 0 && ok;
}

std::wstring ArtifactsDir() {
  std::wstring dir = BinDir() + L"..\\artifacts\\";
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

}  // namespace quill::test
