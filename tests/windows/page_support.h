// What the settings-page tests share: a page site, message pumping, reading
// controls, the page menu driven by keys, the help viewer's text, a page
// opened in a window, the dialog's controls checked against their places,
// and the page shown in the platform's property frame.
#pragma once

#include <ocidl.h>

#include <algorithm>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "include/quillfx1.h"
#include "tests/windows/win_support.h"

namespace quill::test {

// A page site that only answers.
class Site final : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    statusChanges.push_back(flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
    *locale = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
    *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

  ULONG refs = 1;
  std::vector<DWORD> statusChanges;
};

void Pump();
// Dispatches through the dialog's keyboard handling for a while.
void Pump(HWND dialog, DWORD milliseconds);
bool WaitFor(const std::function<bool()>& done, DWORD ms = 20000);
std::string Text(HWND dialog, int id);
LRESULT Position(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
// The text of a list's selected row.
std::string Selected(HWND dialog, int id);

// A key pressed on a dialog's control that has the focus, `times` over.
void PressKey(HWND dialog, int id, WPARAM key, int times = 1);
void Click(HWND dialog, int id);
// Typing into an edit field and leaving it for the dialog's parent.
void TypeAndLeave(HWND dialog, int edit, const char* text);
// What the filter sends an open page when its pins take a format.
void FormatNotice(HWND dialog);

// A visible top-level window of the help viewer and what its text pane
// shows (empty for its other windows).
struct ViewerWindow {
  HWND window;
  std::string className;
  std::string text;
};
std::vector<ViewerWindow> ViewerWindows();
// Whether a window of the help viewer starts with this title.
bool ViewerShows(const std::string& title);

// Opens the page menu and presses keys in it, as a user would: the menu's
// own loop reads them from this thread's queue. Records what the Presets
// sub-menu listed and where the menu opened.
struct MenuKeys {
  explicit MenuKeys(std::vector<WPARAM> pressed) : keys(std::move(pressed)) {}
  std::vector<WPARAM> keys;
  std::vector<std::string> presets;
  std::vector<UINT> commands;
  bool shown = false;
  RECT where{};
};
// `at` in screen coordinates; (-1, -1) as the keyboard sends it.
void OpenMenuAndPress(HWND dialog, MenuKeys& keys, POINT at);
void OpenMenuAndPress(HWND dialog, MenuKeys& keys);  // near the page's top left

// Opens the about box from the page menu and closes it with OK; the line
// naming the effect, read from the box whose title is `title`.
std::string AboutLineFromMenu(HWND dialog, const wchar_t* title);

// One control of a dialog template: its class, place and size in dialog
// units, and the style bits it must have.
struct ControlRow {
  int id;
  const char* cls;
  RECT units;  // x, y, width, height
  DWORD style;
};
// Checks every row and that the dialog has exactly `children` controls; a
// drop-down list's height is its open extent, so only its place and width.
void ExpectControls(HWND dialog, std::span<const ControlRow> rows, int children);

// What a window's client area shows, read back in one copy.
class WindowPixels {
 public:
  explicit WindowPixels(HWND window);
  COLORREF At(int x, int y) const;  // CLR_INVALID outside
  int Count(COLORREF colour) const { return static_cast<int>(std::ranges::count(pixels_, colour)); }
  int width = 0, height = 0;

 private:
  std::vector<COLORREF> pixels_;
};

// Saves what a window shows as a 24-bit BMP.
bool SaveWindow(HWND window, const std::wstring& path);

// Shows the filter's page in the platform's property frame (registering the
// DLL first, as a host's frame makes the page by its registered class),
// waits for a control of the page, keeps a picture of the frame, lets
// `look` read the page, then presses OK. The frame's result.
HRESULT ShowInFrame(const CLSID& filter, const CLSID& page, const wchar_t* caption, int controlId,
                    const std::wstring& picture, const std::function<void(HWND page)>& look);

// A page made by its class and a filter made by its, opened in a window.
class PageRig : public ::testing::Test {
 protected:
  PageRig(const CLSID& page, const CLSID& filter) : pageClass_(page), filterClass_(filter) {}
  void SetUp() override;
  void TearDown() override;
  // Sited, connected and shown in the parent.
  void Open();
  void TypeAndLeave(int edit, const char* text) { test::TypeAndLeave(dialog_, edit, text); }
  void Key(int id, WPARAM key, int times = 1) { PressKey(dialog_, id, key, times); }
  // F1 on a control, as the system delivers it.
  void PressF1(int id);

  const CLSID& pageClass_;
  const CLSID& filterClass_;
  HWND parent_ = nullptr;
  HWND dialog_ = nullptr;
  Site site_;
  ComRef<IPropertyPage> page_;
  ComRef<IUnknown> filter_;
};

// A page on a filter in a graph (a source, the filter and a sink), so that
// the filter's input pin can be connected and give the page a format.
class GraphPageRig : public GraphRig {
 protected:
  // The filter in a graph offering `type`, its pins connected first if
  // asked, and its page opened on it.
  void OpenPage(const CLSID& filter, const CLSID& page, const AudioType& type, bool connectFirst = false);
  void TearDown() override;
  void TypeAndLeave(int edit, const char* text) { test::TypeAndLeave(dialog_, edit, text); }

  Site site_;
  ComRef<IPropertyPage> page_;
  HWND parent_ = nullptr;
  HWND dialog_ = nullptr;
};

// A page rig that also holds the filter's parameter interface and reads
// its whole block.
template <class Interface, class Block>
class EffectPageRig : public PageRig {
 protected:
  EffectPageRig(const CLSID& page, const CLSID& filter, const IID& params) : PageRig(page, filter), paramsId_(params) {}
  void SetUp() override {
    PageRig::SetUp();
    ASSERT_EQ(filter_->QueryInterface(paramsId_, params_.PutVoid()), S_OK);
  }
  void TearDown() override {
    params_.Reset();
    PageRig::TearDown();
  }
  Block Read() {
    Block block{};
    EXPECT_EQ(params_->GetParams(&block), S_OK);
    return block;
  }

  const IID& paramsId_;
  ComRef<Interface> params_;
};

}  // namespace quill::test
