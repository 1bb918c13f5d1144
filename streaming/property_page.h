// The platform's property-page protocol, once: the page site, activation
// into the frame's window as a child dialog, showing, moving, and the page
// information the frame asks for. A page supplies its dialog, its title and
// what happens on connection and in its dialog.
#pragma once

#include <ocidl.h>

#include <string>

#include "streaming/base_object.h"

namespace quill {

class BasePropertyPage : public IPropertyPage, public UnknownBase {
 public:
  // `module` holds the dialog template `dialogId`.
  BasePropertyPage(IUnknown* outer, HINSTANCE module, int dialogId);
  ~BasePropertyPage() override;

  // IUnknown, through the owner.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return Owner()->QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Owner()->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return Owner()->Release(); }
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // IPropertyPage
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Apply() override { return OnApplyChanges(); }
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

  HWND Dialog() const { return dialog_; }
  HINSTANCE Module() const { return module_; }

 protected:
  // What the page shows in the frame's tab, and its help file.
  virtual std::wstring Title() = 0;
  virtual std::wstring HelpFile() = 0;

  virtual HRESULT OnConnect(IUnknown* object) = 0;
  virtual HRESULT OnDisconnect() = 0;
  virtual HRESULT OnActivate() { return S_OK; }
  virtual HRESULT OnDeactivate() { return S_OK; }
  virtual HRESULT OnApplyChanges() { return S_OK; }

  // The page's dialog messages; WM_INITDIALOG arrives with Dialog() set.
  virtual INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) = 0;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  SIZE TemplateSize();

  HINSTANCE module_;
  int dialogId_;
  IPropertyPageSite* site_ = nullptr;
  HWND dialog_ = nullptr;
};

// A copy of `text` in task memory, which the frame frees; null if it cannot
// be made.
LPOLESTR TaskString(const std::wstring& text);

}  // namespace quill
