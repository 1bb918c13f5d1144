#include "twechomt/tap_graph_window.h"

#include <algorithm>

#include "controls/twctllib.h"
#include "twechomt/tap_graph.h"

namespace quill {

namespace {

constexpr wchar_t kParamsProperty[] = L"TapGraph";
// Where the control's own procedure is kept while the graph has it.
constexpr wchar_t kNextProperty[] = L"TapGraphNext";

constexpr int kPatternColor = 138;
constexpr int kTapColor = 140;
constexpr int kCurrentTapColor = 141;
constexpr int kTaps = 8;

void Bar(HDC dc, const GraphRect& area, std::int32_t span, std::int32_t at, std::int32_t value) {
  const GraphColumn c = BarColumn(area, span, at, value);
  FillOpaque(dc, c.x, c.y, 1, c.height);
}

void DrawGraph(HDC dc, HWND window, const RECT& client, IMultiTapParams* params) {
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  HBRUSH background = nullptr;
  if (HWND parent = GetParent(window)) {
    background = reinterpret_cast<HBRUSH>(
        SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
  }
  FillRect(dc, &client, background != nullptr ? background : CtlBrush(COLOR_WINDOW));
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  SetBkColor(dc, RGB(0, 0, 0));
  FillOpaque(dc, client.left, client.top, 1, height);
  FillOpaque(dc, client.left, height / 2, width, 1);

  const GraphRect area{client.left + 1, client.top, client.right - 1, client.bottom};
  // The whole block in one read, so the pattern and the bars come from the
  // same moment even while the stream or another page edits it.
  MultiTapParams p{};
  if (FAILED(params->GetParams(&p))) return;
  const std::int32_t span = GraphSpanMs(p.graphResolution);
  // What feedback leaves in the ring, behind the taps; skipped without memory.
  if (HGLOBAL memory =
          GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (static_cast<SIZE_T>(span) + 1) * sizeof(std::int32_t))) {
    if (auto* pattern = static_cast<std::int32_t*>(GlobalLock(memory))) {
      EchoPattern(p, span, pattern);
      SetBkColor(dc, CtlNearestColor(kPatternColor));
      for (std::int32_t t = 1; t <= span; ++t)
        if (pattern[t] != 0) Bar(dc, area, span, t, pattern[t]);
      GlobalUnlock(memory);
    }
    GlobalFree(memory);
  }
  const int count = std::clamp(p.tapCount, 0, kTaps);
  const int current = std::clamp(p.currentTap, 0, kTaps - 1);
  SetBkColor(dc, CtlNearestColor(kTapColor));
  for (int k = 0; k < count; ++k)
    if (k != current) Bar(dc, area, span, p.tapDelayMs[k], p.tapGain[k] * 100);
  // The current tap shows even when it is not active.
  SetBkColor(dc, CtlNearestColor(kCurrentTapColor));
  Bar(dc, area, span, p.tapDelayMs[current], p.tapGain[current] * 100);
}

LRESULT CALLBACK GraphProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* params = static_cast<IMultiTapParams*>(GetPropW(window, kParamsProperty));
  auto next = reinterpret_cast<WNDPROC>(GetPropW(window, kNextProperty));
  if (message == WM_PAINT && params != nullptr) {
    // Off-screen, then one copy, so the bars never flicker while a slider moves.
    PaintWindow(window, [&](HDC dc, const RECT& client) { DrawGraph(dc, window, client, params); });
    return 0;
  }
  if (message == WM_NCDESTROY) DetachTapGraph(window);  // a control destroyed while still attached
  return next != nullptr ? CallWindowProcW(next, window, message, wParam, lParam)
                         : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool AttachTapGraph(HWND control, IMultiTapParams* params) {
  if (control == nullptr || params == nullptr || GetPropW(control, kParamsProperty) != nullptr) return false;
  if (!SetPropW(control, kParamsProperty, params)) return false;
  const auto next = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
  if (next == nullptr || !SetPropW(control, kNextProperty, reinterpret_cast<HANDLE>(next)) ||
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GraphProc)) == 0) {
    RemovePropW(control, kParamsProperty);
    RemovePropW(control, kNextProperty);
    return false;
  }
  params->AddRef();
  InvalidateRect(control, nullptr, TRUE);
  return true;
}

void DetachTapGraph(HWND control) {
  auto* params = static_cast<IMultiTapParams*>(RemovePropW(control, kParamsProperty));
  const auto next = reinterpret_cast<WNDPROC>(RemovePropW(control, kNextProperty));
  if (params == nullptr) return;
  if (next != nullptr) SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
  params->Release();
}

}  // namespace quill
