#include "framework/effect_property_page.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "controls/twctllib.h"
#include "framework/context_help.h"

namespace quill {

namespace {

constexpr int kNameChars = 260;

std::string Ansi(const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), bytes, nullptr, nullptr);
  out.pop_back();
  return out;
}

struct AboutState {
  const wchar_t* fullName;
};

INT_PTR CALLBACK AboutProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* state = reinterpret_cast<const AboutState*>(lParam);
      PlaceWindow(box, nullptr, POINT{0, 0}, kPlaceOnParent | kPlaceBelowTop);
      const std::wstring name = state->fullName;
      SetDlgItemTextW(box, kAboutNameText, (name + L" Plug-In").c_str());
      SetDlgItemTextW(box, kAboutVersionText, L"Version 1.0, part of Quillset 1");
      SetWindowTextW(box, (L"About " + name).c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(box, LOWORD(wParam) == IDOK ? TRUE : FALSE);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR RunAboutBox(HINSTANCE module, HWND owner, const wchar_t* fullName) {
  AboutState state{fullName};
  return DialogBoxParamW(module, MAKEINTRESOURCEW(kAboutDialog), owner, AboutProc, reinterpret_cast<LPARAM>(&state));
}

std::int32_t ScaledValue(double value, double scale) {
  const double product = std::trunc(value * scale);
  if (!(product > std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (product >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(product);
}

void EffectPropertyPage::RangeOf(const FieldInfo& field, int& lowest, int& highest) {
  double lo = 0.0, hi = 0.0;
  ControlReach(field, lo, hi);
  lowest = static_cast<int>(lo);
  highest = static_cast<int>(hi);
}

EffectPropertyPage::EffectPropertyPage(IUnknown* outer, HRESULT* result, const PageDescription& description)
    : BasePropertyPage(outer, CtlModule(), description.dialogId), description_(description) {
  // The dialog's sliders and faders are the control library's classes.
  HRESULT hr = CtlInitialize(TRUE);
  started_ = SUCCEEDED(hr);
  if (FAILED(hr) && result != nullptr) *result = hr;
}

EffectPropertyPage::~EffectPropertyPage() {
  if (started_) CtlInitialize(FALSE);
}

void EffectPropertyPage::Teardown() {
  if (Dialog() != nullptr) Deactivate();
  OnDisconnect();
}

std::wstring EffectPropertyPage::Title() {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(Module(), static_cast<UINT>(description_.titleId), reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring EffectPropertyPage::HelpFile() {
  return HelpFileBeside(Module());
}

HRESULT EffectPropertyPage::OnConnect(IUnknown* object) {
  OnDisconnect();
  IUnknown* params = nullptr;
  if (FAILED(object->QueryInterface(*description_.parameterInterface, reinterpret_cast<void**>(&params))) ||
      params == nullptr)
    return E_NOINTERFACE;
  params_ = params;
  object_ = object;
  object_->AddRef();
  if (Dialog() != nullptr) {
    RegisterNotify(Dialog(), kFormatNotifyId);
    Refresh(0);
  }
  return S_OK;
}

HRESULT EffectPropertyPage::OnDisconnect() {
  if (params_ == nullptr) return E_UNEXPECTED;
  if (Dialog() != nullptr) RegisterNotify(Dialog(), 0);
  params_->Release();
  params_ = nullptr;
  object_->Release();
  object_ = nullptr;
  return S_OK;
}

void EffectPropertyPage::Refresh(int id) {
  if (!Connected() || Dialog() == nullptr) return;
  const bool full = id == 0 || id == kFormatNotifyId;
  RefreshGroups(full ? 0 : id, full);
}

void EffectPropertyPage::InitRanges() {
  for (const ControlRange& row : description_.ranges) {
    HWND control = GetDlgItem(Dialog(), row.id);
    if (control == nullptr) continue;
    int lowest = 0, highest = 0;
    RangeOf(*row.field, lowest, highest);
    SendMessageW(control, kCtlSetMinimum, 0, lowest);
    SendMessageW(control, kCtlSetMaximum, 0, highest);
  }
}

void EffectPropertyPage::ShowValue(int id, const FieldInfo& field, std::int32_t value) {
  HWND control = GetDlgItem(Dialog(), id);
  if (control == nullptr) return;
  std::string text = ValueText(field, value, static_cast<char>(CtlSeparators().thousands));
  SetWindowTextA(control, text.c_str());
}

void EffectPropertyPage::ShowMenu(LPARAM where) {
  HMENU menu = CreatePopupMenu();
  HMENU presets = CreatePopupMenu();
  if (menu == nullptr || presets == nullptr) {
    if (menu) DestroyMenu(menu);
    if (presets) DestroyMenu(presets);
    return;
  }
  IEffectPresets* list = nullptr;
  if (object_ != nullptr && SUCCEEDED(object_->QueryInterface(IID_IEffectPresets, reinterpret_cast<void**>(&list))) &&
      list) {
    std::int32_t count = 0;
    if (FAILED(list->GetPresetCount(&count))) count = 0;
    int command = kFirstPresetCommand;
    for (std::int32_t index = 1; index <= count && command <= kLastPresetCommand; ++index) {
      wchar_t name[kNameChars] = {};
      if (FAILED(list->GetPresetName(index, name, kNameChars))) continue;
      AppendMenuA(presets, MF_STRING, static_cast<UINT_PTR>(command++), Ansi(name).c_str());
    }
    list->Release();
  }
  AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(presets), "Presets");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kHelpCommand, "Help");
  AppendMenuA(menu, MF_STRING, kAboutCommand, "About...");

  int x = static_cast<short>(LOWORD(where)), y = static_cast<short>(HIWORD(where));
  if (x < 0 || y < 0) {
    // From the keyboard: below the page's top, centred across.
    RECT r{};
    GetWindowRect(Dialog(), &r);
    x = (r.left + r.right) / 2;
    y = r.top + (r.bottom - r.top) / 4;
  }
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, x, y, 0, Dialog(), nullptr);
  DestroyMenu(menu);
}

void EffectPropertyPage::ContextHelp(const HELPINFO* info) {
  const std::wstring file = HelpFile();
  if (info != nullptr && info->iContextType == HELPINFO_WINDOW &&
      HelpContextFor(description_.help, static_cast<std::uint32_t>(info->iCtrlId)) != 0) {
    ShowControlHelp(static_cast<HWND>(info->hItemHandle), file, description_.help);
    return;
  }
  ShowHelpTopic(Dialog(), file, kHelpPage);
}

bool EffectPropertyPage::EraseBackground(HDC dc) {
  std::int32_t flag = 1;
  if (Connected() && SUCCEEDED(GetBackground(&flag)) && flag == 0) return false;
  RECT area{};
  GetClientRect(Dialog(), &area);
  HBITMAP tile = LoadTintedBitmap(Module(), kBackgroundBitmap, GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE),
                                  GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT),
                                  GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWFRAME));
  HDC source = tile != nullptr ? CreateCompatibleDC(dc) : nullptr;
  if (source == nullptr) {
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  } else {
    BITMAP size{};
    GetObjectW(tile, sizeof size, &size);
    HGDIOBJ old = SelectObject(source, tile);
    for (int y = 0; y < area.bottom && size.bmHeight > 0; y += size.bmHeight)
      for (int x = 0; x < area.right && size.bmWidth > 0; x += size.bmWidth)
        BitBlt(dc, x, y, size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
  }
  if (tile != nullptr) DeleteObject(tile);
  return true;
}

void EffectPropertyPage::ApplyPreset(int index) {
  IEffectPresets* list = nullptr;
  if (SUCCEEDED(object_->QueryInterface(IID_IEffectPresets, reinterpret_cast<void**>(&list))) && list) {
    list->ApplyPreset(index);
    list->Release();
  }
  Refresh(0);
}

bool EffectPropertyPage::ReadEdit(int id, const FieldInfo& field, int maxChars, std::int32_t& value) {
  std::wstring text(static_cast<std::size_t>(maxChars) + 1, L'\0');
  GetDlgItemTextW(Dialog(), id, text.data(), maxChars + 1);
  const double scale = field.format == ValueFormat::MsAsSeconds ? 1000.0
                       : field.format == ValueFormat::Tenths    ? 10.0
                                                                : 0.0;
  if (scale != 0.0) {
    double number = 0.0;
    ParseDecimal(text.c_str(), &number);
    value = ScaledValue(number, scale);
    return true;
  }
  std::int32_t whole = 0;
  if (ParseNumber(text.c_str(), &whole) != 0) return false;
  value = whole;
  return true;
}

void EffectPropertyPage::Command(int id, int code, HWND) {
  if (!Connected()) return;
  if (id >= kFirstPresetCommand && id <= kLastPresetCommand) {
    ApplyPreset(id - (kFirstPresetCommand - 1));
  } else if (id == kHelpCommand) {
    ShowHelpTopic(Dialog(), HelpFile(), kHelpContents);
    Refresh(id);
  } else if (id == kAboutCommand) {
    RunAboutBox(Module(), Dialog(), description_.fullName);
    Refresh(id);
  } else if (PageCommand(id, code) == CommandTaken::No) {
    Refresh(id);
  }
}

INT_PTR EffectPropertyPage::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      if (Connected()) RegisterNotify(dialog, kFormatNotifyId);
      InitRanges();
      FillControls();
      Refresh(0);
      return TRUE;
    case WM_DESTROY:
      ReleaseControls();
      if (Connected()) RegisterNotify(dialog, 0);
      CloseHelp(dialog, HelpFile());
      return FALSE;
    case WM_ERASEBKGND:
      if (!EraseBackground(reinterpret_cast<HDC>(wParam))) return FALSE;
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_CONTEXTMENU:
      ShowMenu(lParam);
      return TRUE;
    case WM_HELP:
      ContextHelp(reinterpret_cast<const HELPINFO*>(lParam));
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (!Connected() || control == nullptr) return FALSE;
      const int id = GetDlgCtrlID(control);
      int line = 0, page = 0;
      if (!Steps(id, line, page)) return FALSE;
      const int code = LOWORD(wParam);
      const LRESULT position = message == WM_HSCROLL ? TrackbarScroll(message, code, control, line, page)
                                                     : FaderScroll(message, code, control, line, page);
      if (Scrolled(id, static_cast<int>(position))) Refresh(id);
      return TRUE;
    }
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace quill
