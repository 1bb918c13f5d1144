#include "streaming/property_page.h"

#include <cstring>

namespace quill {

namespace {

// The size the frame is offered before the dialog's own is known.
constexpr SIZE kDefaultSize = {300, 150};

INT_PTR CALLBACK MeasureProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

}  // namespace

LPOLESTR TaskString(const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), bytes);
  return copy;
}

BasePropertyPage::BasePropertyPage(IUnknown* outer, HINSTANCE module, int dialogId)
    : UnknownBase(outer), module_(module), dialogId_(dialogId) {}

BasePropertyPage::~BasePropertyPage() {
  // The page's own handlers are gone by now: the dialog, if still there,
  // goes without them.
  if (dialog_ != nullptr) {
    SetWindowLongPtrW(dialog_, DWLP_USER, 0);
    DestroyWindow(dialog_);
  }
  if (site_ != nullptr) site_->Release();
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), object);
  return UnknownBase::NonDelegatingQueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site != nullptr) {
    if (site_ != nullptr) return E_UNEXPECTED;
    site_ = site;
    site_->AddRef();
    return S_OK;
  }
  if (site_ == nullptr) return E_UNEXPECTED;
  site_->Release();
  site_ = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (rect == nullptr) return E_POINTER;
  if (dialog_ != nullptr) return E_UNEXPECTED;
  HWND made =
      CreateDialogParamW(module_, MAKEINTRESOURCEW(dialogId_), parent, DialogProc, reinterpret_cast<LPARAM>(this));
  if (made == nullptr) return E_OUTOFMEMORY;
  dialog_ = made;  // also set by WM_INITDIALOG, for the page's own handling
  HRESULT hr = OnActivate();
  if (FAILED(hr)) {
    Deactivate();
    return hr;
  }
  Move(rect);
  return Show(SW_SHOWNORMAL);
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::Deactivate() {
  if (dialog_ == nullptr) return E_UNEXPECTED;
  HRESULT hr = OnDeactivate();
  if (FAILED(hr)) return hr;
  HWND going = dialog_;
  DestroyWindow(going);
  dialog_ = nullptr;
  return S_OK;
}

SIZE BasePropertyPage::TemplateSize() {
  // The template's size in pixels, as its font makes it: a hidden instance
  // with a procedure that does nothing measures it.
  HWND probe = CreateDialogParamW(module_, MAKEINTRESOURCEW(dialogId_), GetDesktopWindow(), MeasureProc, 0);
  if (probe == nullptr) return kDefaultSize;
  RECT r{};
  GetWindowRect(probe, &r);
  DestroyWindow(probe);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  LPOLESTR title = TaskString(Title());
  LPOLESTR helpFile = TaskString(HelpFile());
  if (title == nullptr || helpFile == nullptr) {
    CoTaskMemFree(title);
    CoTaskMemFree(helpFile);
    return E_OUTOFMEMORY;
  }
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = title;
  info->size = TemplateSize();
  info->pszDocString = nullptr;
  info->pszHelpFile = helpFile;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 0) {
    OnDisconnect();
    return S_OK;
  }
  if (objects == nullptr) return E_POINTER;
  if (objects[0] == nullptr) return E_INVALIDARG;
  return OnConnect(objects[0]);
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::Show(UINT command) {
  if (dialog_ == nullptr) return E_UNEXPECTED;
  ShowWindow(dialog_, static_cast<int>(command));
  InvalidateRect(dialog_, nullptr, TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BasePropertyPage::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (dialog_ == nullptr) return E_UNEXPECTED;
  MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

INT_PTR CALLBACK BasePropertyPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* page = reinterpret_cast<BasePropertyPage*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    page = reinterpret_cast<BasePropertyPage*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    page->dialog_ = dialog;
  }
  if (page == nullptr) return FALSE;
  const INT_PTR result = page->OnMessage(dialog, message, wParam, lParam);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(dialog, DWLP_USER, 0);
  return result;
}

}  // namespace quill
