#include "tests/windows/page_support.h"

#include <olectl.h>

#include <cstdint>
#include <thread>
#include <utility>

#include "framework/effect_property_page.h"

namespace quill::test {

HRESULT STDMETHODCALLTYPE Site::QueryInterface(REFIID riid, void** object) {
  if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
    *object = this;
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Pump(HWND dialog, DWORD milliseconds) {
  const DWORD until = GetTickCount() + milliseconds;
  for (LONG left = static_cast<LONG>(milliseconds); left > 0; left = static_cast<LONG>(until - GetTickCount())) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      if (!IsDialogMessageW(dialog, &msg)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
  }
}

bool WaitFor(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    Pump();
    if (done()) return true;
    Sleep(20);
  }
  return done();
}

std::string Text(HWND dialog, int id) {
  char text[128] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

LRESULT Position(HWND dialog, int id) {
  return SendDlgItemMessageW(dialog, id, 0x600 /* get position */, 0, 0);
}

bool Enabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

std::string Selected(HWND dialog, int id) {
  const LRESULT at = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  if (at < 0) return {};
  char text[128] = {};
  SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text));
  return text;
}

namespace {

MenuKeys* g_menu = nullptr;

void CALLBACK DriveMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND menuWindow = FindWindowW(L"#32768", nullptr);
  if (!menuWindow || !IsWindowVisible(menuWindow) || g_menu == nullptr) return;
  KillTimer(nullptr, timer);
  g_menu->shown = true;
  GetWindowRect(menuWindow, &g_menu->where);
  auto* menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, 0x01E1 /* MN_GETHMENU */, 0, 0));
  if (HMENU presets = menu ? GetSubMenu(menu, 0) : nullptr) {
    for (int i = 0; i < GetMenuItemCount(presets); ++i) {
      char name[300] = {};
      GetMenuStringA(presets, static_cast<UINT>(i), name, sizeof name, MF_BYPOSITION);
      g_menu->presets.push_back(name);
      g_menu->commands.push_back(GetMenuItemID(presets, i));
    }
  }
  for (WPARAM key : g_menu->keys) PostMessageW(menuWindow, WM_KEYDOWN, key, 0);
}

const wchar_t* g_aboutTitle = nullptr;
std::string g_aboutLine;

void CALLBACK CloseAbout(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowW(L"#32770", g_aboutTitle);
  if (!box) return;
  KillTimer(nullptr, timer);
  char line[128] = {};
  GetDlgItemTextA(box, 7100 /* the effect's name */, line, sizeof line);
  g_aboutLine = line;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

std::string AboutLineFromMenu(HWND dialog, const wchar_t* title) {
  g_aboutTitle = title;
  g_aboutLine.clear();
  // The box is modal: the timer that reads and closes it runs in its loop.
  SetTimer(nullptr, 0, 100, CloseAbout);
  MenuKeys about({VK_UP, VK_RETURN});  // the last entry
  OpenMenuAndPress(dialog, about);
  return g_aboutLine;
}

std::vector<ViewerWindow> ViewerWindows() {
  struct Scan {
    DWORD pid = 0;
    std::vector<ViewerWindow> found;
  } scan;
  HWND command = FindWindowA("MS_WINHELP", nullptr);
  if (!command) return {};
  GetWindowThreadProcessId(command, &scan.pid);
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Scan*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != s->pid || !IsWindowVisible(window)) return TRUE;
        ViewerWindow w{window, {}, {}};
        char cls[64] = {};
        GetClassNameA(window, cls, sizeof cls);
        w.className = cls;
        if (HWND pane = GetDlgItem(window, 0x701 /* the text pane */)) {
          wchar_t text[4096] = {};
          DWORD_PTR got = 0;
          SendMessageTimeoutW(pane, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &got);
          w.text = Narrow(text);
        }
        s->found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&scan));
  return scan.found;
}

bool ViewerShows(const std::string& title) {
  for (const ViewerWindow& w : ViewerWindows())
    if (w.text.rfind(title + "\r", 0) == 0) return true;
  return false;
}

void OpenMenuAndPress(HWND dialog, MenuKeys& keys, POINT at) {
  g_menu = &keys;
  SetTimer(nullptr, 0, 100, DriveMenu);
  SendMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog),
               MAKELPARAM(static_cast<short>(at.x), static_cast<short>(at.y)));
  Pump();
  g_menu = nullptr;
}

void OpenMenuAndPress(HWND dialog, MenuKeys& keys) {
  RECT r{};
  GetWindowRect(dialog, &r);
  OpenMenuAndPress(dialog, keys, POINT{r.left + 20, r.top + 20});
}

void ExpectControls(HWND dialog, std::span<const ControlRow> rows, int children) {
  int count = 0;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++count;
  EXPECT_EQ(count, children);
  for (const ControlRow& row : rows) {
    SCOPED_TRACE(row.id);
    HWND control = GetDlgItem(dialog, row.id);
    ASSERT_TRUE(control);
    char cls[64] = {};
    GetClassNameA(control, cls, sizeof cls);
    EXPECT_STRCASEEQ(cls, row.cls);
    // The dialog manager maps the place and the size each on its own.
    RECT want = row.units;
    MapDialogRect(dialog, &want);
    RECT got{};
    GetWindowRect(control, &got);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right - got.left, want.right);
    if (_stricmp(row.cls, "ComboBox") != 0) {
      EXPECT_EQ(got.bottom - got.top, want.bottom);
    }
    DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    // The dialog manager draws an edit's border as a sunken edge.
    if (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) style |= WS_BORDER;
    EXPECT_EQ(style & row.style, row.style) << std::hex << style;
  }
}

WindowPixels::WindowPixels(HWND window) {
  RECT r{};
  if (!GetClientRect(window, &r) || r.right <= 0 || r.bottom <= 0) return;
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  if (BitBlt(memory, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY)) {
    GdiFlush();
    width = r.right;
    height = r.bottom;
    const auto* p = static_cast<const std::uint32_t*>(bits);
    pixels_.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int i = 0; i < width * height; ++i)
      pixels_.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
  }
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(window, dc);
}

COLORREF WindowPixels::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
}

bool SaveWindow(HWND window, const std::wstring& path) {
  RECT r{};
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD row = ((w * 3 + 3) / 4) * 4, size = row * static_cast<DWORD>(h);
  const DWORD headers = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
  BITMAPFILEHEADER fh{0x4D42, headers + size, 0, 0, headers};
  bool ok = false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD done = 0;
    ok = WriteFile(file, &fh, sizeof fh, &done, nullptr) &&
         WriteFile(file, &bi.bmiHeader, sizeof bi.bmiHeader, &done, nullptr) &&
         WriteFile(file, bits, size, &done, nullptr);
    CloseHandle(file);
  }
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

HRESULT ShowInFrame(const CLSID& filterClass, const CLSID& pageClass, const wchar_t* caption, int controlId,
                    const std::wstring& picture, const std::function<void(HWND page)>& look) {
  EXPECT_EQ(RunProcess(L"regsvr32 /s \"" + BinDir() + L"QUILLFX1.DLL\""), 0);
  ComRef<IUnknown> filter;
  EXPECT_EQ(CreateFromModule(filterClass, IID_IUnknown, filter.PutVoid()), S_OK);
  if (!filter) return E_FAIL;
  DeleteFileW(picture.c_str());
  HRESULT framed = E_FAIL;
  // The frame is modal: it runs on a thread of its own with the platform's
  // window objects started, and this thread looks at it and presses OK.
  std::thread ui([&] {
    OleInitialize(nullptr);
    IUnknown* objects[] = {filter.Get()};
    CLSID pages[] = {pageClass};
    framed = OleCreatePropertyFrame(nullptr, 10, 10, caption, 1, objects, 1, pages, 0, 0, nullptr);
    OleUninitialize();
  });
  const std::wstring title = std::wstring(L"Properties for ") + caption;
  HWND frame = nullptr, page = nullptr;
  struct Find {
    int id;
    HWND* page;
  } find{controlId, &page};
  EXPECT_TRUE(WaitFor([&] {
    frame = FindWindowW(L"#32770", title.c_str());
    if (!frame || !IsWindowVisible(frame)) return false;
    EnumChildWindows(
        frame,
        [](HWND child, LPARAM param) -> BOOL {
          auto* f = reinterpret_cast<Find*>(param);
          if (GetDlgCtrlID(child) == f->id) *f->page = GetParent(child);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return page != nullptr && IsWindowVisible(page);
  }));
  if (frame) {
    Sleep(500);
    EXPECT_TRUE(SaveWindow(frame, picture));
    if (page) look(page);
    PostMessageW(frame, WM_COMMAND, IDOK, 0);
  }
  ui.join();
  filter.Reset();
  EXPECT_NE(GetFileAttributesW(picture.c_str()), INVALID_FILE_ATTRIBUTES);
  return framed;
}

namespace {

HWND MakeFrame() {
  return CreateWindowW(L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500, nullptr, nullptr, nullptr,
                       nullptr);
}

void Activate(IPropertyPage* page, Site* site, IUnknown* object, HWND parent, HWND* dialog) {
  ASSERT_EQ(page->SetPageSite(site), S_OK);
  ASSERT_EQ(page->SetObjects(1, &object), S_OK);
  RECT r{0, 0, 600, 400};
  ASSERT_EQ(page->Activate(parent, &r, FALSE), S_OK);
  *dialog = FindWindowExW(parent, nullptr, nullptr, nullptr);
  ASSERT_TRUE(*dialog);
  Pump();
}

}  // namespace

void GraphPageRig::OpenPage(const CLSID& filter, const CLSID& page, const AudioType& type, bool connectFirst) {
  Build(filter, type, 4096);
  if (connectFirst) Connect();
  ASSERT_EQ(CreateFromModule(page, IID_IPropertyPage, page_.PutVoid()), S_OK);
  parent_ = MakeFrame();
  Activate(page_.Get(), &site_, effect_.Get(), parent_, &dialog_);
}

void GraphPageRig::TearDown() {
  if (page_) {
    if (dialog_) {
      EXPECT_EQ(page_->Deactivate(), S_OK);
    }
    EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page_->SetPageSite(nullptr), S_OK);
    page_.Reset();
  }
  if (parent_) DestroyWindow(parent_);
  Pump();
  GraphRig::TearDown();
}

void PageRig::SetUp() {
  parent_ = MakeFrame();
  ASSERT_TRUE(parent_);
  ASSERT_EQ(CreateFromModule(pageClass_, IID_IPropertyPage, page_.PutVoid()), S_OK);
  ASSERT_EQ(CreateFromModule(filterClass_, IID_IUnknown, filter_.PutVoid()), S_OK);
}

void PageRig::TearDown() {
  if (dialog_) {
    EXPECT_EQ(page_->Deactivate(), S_OK);
  }
  if (page_) {
    EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
    page_->SetPageSite(nullptr);
  }
  page_.Reset(), filter_.Reset();
  DestroyWindow(parent_);
  Pump();
  // The help viewer, if a test opened it, goes with its process: a request
  // sent while it is still closing would reach it and be lost.
  WinHelpW(nullptr, (BinDir() + L"QUILLFX1.HLP").c_str(), HELP_QUIT, 0);
  EXPECT_TRUE(WaitFor([] { return FindWindowA("MS_WINHELP", nullptr) == nullptr; }));
  EXPECT_EQ(Quill().canUnloadNow(), S_OK) << "everything released";
}

void PageRig::Open() {
  Activate(page_.Get(), &site_, filter_.Get(), parent_, &dialog_);
}

void TypeAndLeave(HWND dialog, int edit, const char* text) {
  SetFocus(GetDlgItem(dialog, edit));
  SetDlgItemTextA(dialog, edit, text);
  SetFocus(GetParent(dialog));
  Pump();
}

void Click(HWND dialog, int id) {
  SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
  Pump();
}

void FormatNotice(HWND dialog) {
  SendMessageW(dialog, WM_COMMAND, kFormatNotifyId, 0);
  Pump();
}

void PressKey(HWND dialog, int id, WPARAM key, int times) {
  HWND control = GetDlgItem(dialog, id);
  SetFocus(control);
  for (int i = 0; i < times; ++i) SendMessageW(control, WM_KEYDOWN, key, 0);
  Pump();
}

void PageRig::PressF1(int id) {
  HWND control = GetDlgItem(dialog_, id);
  SetFocus(control);
  // What the system makes of the F1 key for the focused window; the
  // control's default handling turns it into WM_HELP for the page.
  PostMessageW(control, 0x004D /* WM_KEYF1 */, 0, 0);
  Pump();
}

}  // namespace quill::test
