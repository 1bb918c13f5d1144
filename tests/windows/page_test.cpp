// The simple delay's settings page in a window of its own, driven with real
// window messages; every filter's page by its class; and every page in the
// platform's own property frame.
#include <gtest/gtest.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "controls/twctllib.h"
#include "framework/effect_property_page.h"
#include "include/quillfx1.h"
#include "tests/native/help_titles.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

constexpr int kDryFader = 3009, kDryText = 3008, kDelayOutFader = 3011, kDelayOutText = 3010;
constexpr int kDelaySlider = 3016, kDelayEdit = 3014, kDecaySlider = 3017, kDecayEdit = 3015;
constexpr int kDecayLabel = 3018, kFeedback = 3012, kDelayLabel = 3021;

class SimpleDelayPage : public EffectPageRig<ISimpleDelayParams, SimpleDelayParams> {
 protected:
  SimpleDelayPage() : EffectPageRig(CLSID_TwEchosPage, CLSID_TwEchos, IID_ISimpleDelayParams) {}
};

TEST_F(SimpleDelayPage, AnswersTheFrameAsAPageShould) {
  EXPECT_EQ(page_->SetPageSite(nullptr), E_UNEXPECTED) << "no site to drop";
  ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  EXPECT_EQ(page_->SetPageSite(&site_), E_UNEXPECTED) << "a second site";
  EXPECT_GT(site_.refs, 1u);

  ComRef<IUnknown> reverb;
  ASSERT_EQ(CreateFromModule(CLSID_TwReverb, IID_IUnknown, reverb.PutVoid()), S_OK);
  IUnknown* wrong[] = {reverb.Get()};
  EXPECT_EQ(page_->SetObjects(1, wrong), E_NOINTERFACE) << "another effect's filter";
  EXPECT_EQ(page_->SetObjects(1, nullptr), E_POINTER);
  IUnknown* right[] = {filter_.Get()};
  EXPECT_EQ(page_->SetObjects(1, right), S_OK);

  PROPPAGEINFO info{};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(info.cb, sizeof info);
  EXPECT_EQ(std::wstring(info.pszTitle), L"Simple Delay");
  EXPECT_EQ(info.pszDocString, nullptr);
  EXPECT_EQ(std::wstring(info.pszHelpFile), BinDir() + L"QUILLFX1.HLP");
  EXPECT_EQ(info.dwHelpContext, 0u);
  // The dialog's own size, 299 x 108 dialog units in its font.
  RECT units{0, 0, 299, 108};
  RECT r{0, 0, 10, 10};
  ASSERT_EQ(page_->Activate(parent_, &r, FALSE), S_OK);
  dialog_ = FindWindowExW(parent_, nullptr, nullptr, nullptr);
  ASSERT_TRUE(dialog_);
  MapDialogRect(dialog_, &units);
  EXPECT_EQ(info.size.cx, units.right);
  EXPECT_EQ(info.size.cy, units.bottom);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);

  EXPECT_EQ(page_->Activate(parent_, &r, FALSE), E_UNEXPECTED) << "already active";
  RECT moved{5, 6, 405, 206};
  EXPECT_EQ(page_->Move(&moved), S_OK);
  RECT now{};
  GetWindowRect(dialog_, &now);
  MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&now), 2);
  EXPECT_EQ(now.left, 5);
  EXPECT_EQ(now.bottom, 206);
  EXPECT_EQ(page_->Show(SW_HIDE), S_OK);
  EXPECT_FALSE(IsWindowVisible(dialog_));
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(page_->Help(L"x"), E_NOTIMPL);
  MSG msg{};
  EXPECT_EQ(page_->TranslateAccelerator(&msg), E_NOTIMPL);
  EXPECT_TRUE(site_.statusChanges.empty()) << "never dirty";
  EXPECT_EQ(page_->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(dialog_));
  dialog_ = nullptr;
  EXPECT_EQ(page_->Deactivate(), E_UNEXPECTED);
}

TEST_F(SimpleDelayPage, ShowsTheFilterAndEditsItLive) {
  Open();
  // The default preset: -6.0 dB twice, 0.100 s, 0.1 s, one echo.
  EXPECT_EQ(Text(dialog_, kDryText), "-6.0 dB");
  EXPECT_EQ(Text(dialog_, kDelayOutText), "-6.0 dB");
  EXPECT_EQ(Text(dialog_, kDelayEdit), "0.100");
  EXPECT_EQ(Text(dialog_, kDecayEdit), "0.1");
  EXPECT_EQ(Position(dialog_, kDryFader), -60);
  EXPECT_EQ(Position(dialog_, kDelaySlider), 100);
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kDelaySlider, kCtlGetMaximum, 0, 0), 5000);
  EXPECT_EQ(SendDlgItemMessageW(dialog_, kDryFader, kCtlGetMinimum, 0, 0), -800);
  EXPECT_FALSE(Enabled(dialog_, kDecaySlider));
  EXPECT_FALSE(Enabled(dialog_, kDecayEdit));
  EXPECT_FALSE(Enabled(dialog_, kDecayLabel));

  // Typed values, clamped by the setter and shown as stored.
  TypeAndLeave(kDelayEdit, "2.5");
  EXPECT_EQ(Read().delayMs, 2500);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "2.500");
  EXPECT_EQ(Position(dialog_, kDelaySlider), 2500);
  TypeAndLeave(kDelayEdit, "9");
  EXPECT_EQ(Read().delayMs, 5000);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "5.000");
  TypeAndLeave(kDelayEdit, "0.0004");
  EXPECT_EQ(Read().delayMs, 1);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "0.001");
  TypeAndLeave(kDelayEdit, "2.5");
  TypeAndLeave(kDelayEdit, "soon");
  EXPECT_EQ(Read().delayMs, 1) << "no number reads as 0, raised to the lowest";
  EXPECT_EQ(Text(dialog_, kDelayEdit), "0.001");

  // The check box enables the decay controls and keeps their values.
  Click(dialog_, kFeedback);
  EXPECT_EQ(Read().feedback, 1);
  EXPECT_TRUE(Enabled(dialog_, kDecaySlider) && Enabled(dialog_, kDecayEdit) && Enabled(dialog_, kDecayLabel));
  TypeAndLeave(kDecayEdit, "2.5");
  EXPECT_EQ(Read().decayTenths, 25);
  EXPECT_EQ(Text(dialog_, kDecayEdit), "2.5");
  Click(dialog_, kFeedback);
  EXPECT_EQ(Read().feedback, 0);
  EXPECT_FALSE(Enabled(dialog_, kDecaySlider) || Enabled(dialog_, kDecayEdit) || Enabled(dialog_, kDecayLabel));
  EXPECT_EQ(Text(dialog_, kDecayEdit), "2.5") << "values kept";

  // Keys on the delay slider: a line to the right, then a page.
  Key(kDelaySlider, VK_RIGHT);
  EXPECT_EQ(Read().delayMs, 2);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "0.002");
  Key(kDelaySlider, VK_NEXT);
  EXPECT_EQ(Read().delayMs, 102);
  // The dry fader: a page up is 1.0 dB louder.
  Key(kDryFader, VK_PRIOR);
  EXPECT_EQ(Read().dryOut, -50);
  EXPECT_EQ(Text(dialog_, kDryText), "-5.0 dB");
  Key(kDryFader, VK_END);
  EXPECT_EQ(Text(dialog_, kDryText), "-Inf. dB");
}

TEST_F(SimpleDelayPage, PresetMenuListsFiveAndAppliesGrandCanyon) {
  Open();
  MenuKeys keys({VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN});
  OpenMenuAndPress(dialog_, keys);
  ASSERT_EQ(keys.presets.size(), 5u);
  EXPECT_EQ(keys.presets[0], "Echo chamber");
  EXPECT_EQ(keys.presets[3], "Shift selection forwards  (select one channel only)");
  EXPECT_EQ(keys.commands.front(), 40500u);
  EXPECT_EQ(keys.commands.back(), 40504u);
  // "Grand Canyon", the third.
  EXPECT_TRUE(WaitFor([&] { return Read().delayMs == 1000; }));
  EXPECT_EQ(Read().feedback, 1);
  EXPECT_EQ(Position(dialog_, kDelaySlider), 1000);
  EXPECT_EQ(Text(dialog_, kDelayEdit), "1.000");
  EXPECT_EQ(Position(dialog_, kDecaySlider), 30);
  EXPECT_EQ(Text(dialog_, kDecayEdit), "3.0");
  EXPECT_EQ(Position(dialog_, kDelayOutFader), -140);
  EXPECT_EQ(Text(dialog_, kDelayOutText), "-14.0 dB");
  EXPECT_EQ(Position(dialog_, kDryFader), -40);
  EXPECT_EQ(Text(dialog_, kDryText), "-4.0 dB");
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kFeedback), BST_CHECKED);
  EXPECT_TRUE(Enabled(dialog_, kDecaySlider));

  // The fourth silences the dry sound and turns feedback off.
  MenuKeys shift({VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
  OpenMenuAndPress(dialog_, shift);
  EXPECT_TRUE(WaitFor([&] { return Text(dialog_, kDryText) == "-Inf. dB"; }));
  EXPECT_EQ(Text(dialog_, kDelayOutText), "0.0 dB");
  EXPECT_FALSE(Enabled(dialog_, kDecaySlider));
}

TEST_F(SimpleDelayPage, AboutAndHelpFromTheMenuAndF1) {
  Open();
  EXPECT_EQ(AboutLineFromMenu(dialog_, L"About Tarnwell Simple Delay"), "Tarnwell Simple Delay Plug-In");

  const auto titles = HelpSourceTopics(QUILL_HELP_SOURCE);
  MenuKeys help({VK_UP, VK_UP, VK_RETURN});  // "Help"
  OpenMenuAndPress(dialog_, help);
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(0).second); })) << "the contents";

  // F1 on the focused dry-out fader: its topic; over the page itself: the
  // page topic.
  PressF1(kDryFader);
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(30).second); })) << "context 30";
  HELPINFO info{sizeof info, HELPINFO_WINDOW, -1, dialog_, 0, {}};
  SendMessageW(dialog_, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(1).second); })) << "context 1";
  // The label of the delay slider shares the slider's topic.
  HELPINFO label{sizeof label, HELPINFO_WINDOW, kDelayLabel, GetDlgItem(dialog_, kDelayLabel), 0, {}};
  SendMessageW(dialog_, WM_HELP, 0, reinterpret_cast<LPARAM>(&label));
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(titles.at(32).second); })) << "context 32";
}

// Colours of a 100 x 60 erase of the page into a memory bitmap.
std::vector<COLORREF> Erased(HWND dialog, LRESULT* result) {
  HDC screen = GetDC(dialog);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 60);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all{0, 0, 100, 60};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  *result = SendMessageW(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
  std::vector<COLORREF> colours;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; ++x) colours.push_back(GetPixel(memory, x, y));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(dialog, screen);
  return colours;
}

TEST_F(SimpleDelayPage, BackgroundIsTiledUnlessTheFilterTurnsItOff) {
  Open();
  LRESULT result = 0;
  const std::vector<COLORREF> tiled = Erased(dialog_, &result);
  EXPECT_NE(result, 0);
  const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW),
                 light = GetSysColor(COLOR_BTNHIGHLIGHT);
  int faces = 0, grain = 0, other = 0;
  for (COLORREF c : tiled) (c == face ? faces : (c == shadow || c == light) ? grain : other)++;
  EXPECT_GT(faces, 5000) << "mostly the face colour";
  EXPECT_GT(grain, 10) << "with shadow and highlight grain";
  EXPECT_EQ(other, 0) << "in the system's colours only";

  ASSERT_EQ(params_->SetBackground(0), S_OK);
  const std::vector<COLORREF> plain = Erased(dialog_, &result);
  int notFace = 0;
  for (COLORREF c : plain) notFace += c != face;
  EXPECT_EQ(notFace, 0) << "the default erase fills with the face colour";
}

TEST_F(SimpleDelayPage, DialogHoldsItsFourteenControlsWhereTheyBelong) {
  Open();
  constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;
  const ControlRow rows[] = {
      {3019, "Static", {2, 86, 45, 16}, kShown | SS_CENTER},
      {3009, "TwCtlLib_Fader_Class", {20, 15, 10, 70}, kShown | WS_TABSTOP | 0x1083},
      {3008, "Static", {2, 6, 45, 8}, kShown | SS_CENTER},
      {3020, "Static", {48, 86, 45, 16}, kShown | SS_CENTER},
      {3011, "TwCtlLib_Fader_Class", {66, 15, 10, 70}, kShown | WS_TABSTOP | 0x1083},
      {3010, "Static", {48, 6, 45, 8}, kShown | SS_CENTER},
      {3021, "Static", {94, 14, 110, 8}, kShown},
      {3016, "TwCtlLib_Trackbar_Class", {94, 26, 150, 12}, kShown | WS_TABSTOP | 0x0002},
      {3014, "Edit", {204, 12, 40, 12}, kShown | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
      {3018, "Static", {94, 46, 110, 8}, kShown},
      {3017, "TwCtlLib_Trackbar_Class", {94, 58, 150, 12}, kShown | WS_TABSTOP | 0x0002},
      {3015, "Edit", {204, 44, 40, 12}, kShown | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
      {3012, "Button", {94, 78, 110, 10}, kShown | WS_TABSTOP | BS_AUTOCHECKBOX},
  };
  ExpectControls(dialog_, rows, 14);
  // The picture: a bitmap static beside the sliders.
  HWND picture = GetDlgItem(dialog_, -1);
  ASSERT_TRUE(picture);
  EXPECT_EQ(GetWindowLongW(picture, GWL_STYLE) & SS_TYPEMASK, SS_BITMAP);
  EXPECT_TRUE(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)) << "bitmap 1 loaded";
}

TEST_F(SimpleDelayPage, ReleasedWhileShownAndConnectedGoesCleanly) {
  Open();
  ASSERT_TRUE(IsWindow(dialog_));
  HWND dialog = dialog_;
  dialog_ = nullptr;  // not deactivated: the last release must tidy up
  IPropertyPage* page = page_.Get();
  page->AddRef();
  page_.Reset();
  EXPECT_EQ(page->Release(), 0u);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(site_.refs, 1u) << "the site was let go";
  // The filter still works and no longer reports to the dead window.
  EXPECT_EQ(params_->SetDryOut(-100), S_OK);
}

TEST_F(SimpleDelayPage, MenuFromTheKeyboardOpensBelowThePagesTop) {
  Open();
  MenuKeys escape({VK_ESCAPE});
  RECT page{};
  GetWindowRect(dialog_, &page);
  OpenMenuAndPress(dialog_, escape, POINT{-1, -1});
  ASSERT_TRUE(escape.shown);
  EXPECT_EQ(escape.where.left, (page.left + page.right) / 2);
  EXPECT_EQ(escape.where.top, page.top + (page.bottom - page.top) / 4);
}

// Every filter names one page, and that page can be made and answers as a
// property page.
TEST(PageClasses, EveryFiltersPageCanBeCreated) {
  const CLSID* const filters[] = {&CLSID_TwTime,   &CLSID_TwPitchs, &CLSID_TwEchos,
                                  &CLSID_TwEchomt, &CLSID_TwReverb, &CLSID_TwChorus};
  for (const CLSID* clsid : filters) {
    SCOPED_TRACE(clsid->Data1);
    ComRef<ISpecifyPropertyPages> specify;
    ASSERT_EQ(CreateFromModule(*clsid, IID_ISpecifyPropertyPages, specify.PutVoid()), S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    ComRef<IPropertyPage> page;
    EXPECT_EQ(CreateFromModule(pages.pElems[0], IID_IPropertyPage, page.PutVoid()), S_OK);
    EXPECT_TRUE(page);
    CoTaskMemFree(pages.pElems);
  }
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

// The platform's own frame around each page, kept as page-<name>.bmp beside
// the tests; an edit and a level or list read from the page show that it
// reached its filter.
TEST(PropertyFrame, ShowsEveryPage) {
  const struct {
    const CLSID *filter, *page;
    const wchar_t *caption, *name;
    int edit, other;
    bool list;
    const char* seen;
  } frames[] = {
      {&CLSID_TwEchos, &CLSID_TwEchosPage, L"Simple Delay", L"simple-delay", kDelayEdit, kDryText, false,
       "0.100 -6.0 dB"},
      {&CLSID_TwEchomt, &CLSID_TwEchomtPage, L"Multi-tap", L"multi-tap", 4118, 4009, false, "100 -6.0 dB"},
      {&CLSID_TwReverb, &CLSID_TwReverbPage, L"Reverb", L"reverb", 5037, 5030, true, "12,000 Rich hall"},
      {&CLSID_TwChorus, &CLSID_TwChorusPage, L"Chorus", L"chorus", 6039, 6024, false, "40.0 -4.4 dB"},
      {&CLSID_TwTime, &CLSID_TwTimePage, L"Time Compress/Expand", L"time", 1007, 1004, true,
       "110.0 A01. Music 1 (minimum flange, may echo)"},
      {&CLSID_TwPitchs, &CLSID_TwPitchsPage, L"Pitch Shift", L"pitch", 2011, 2016, false, "0 1.00000"},
  };
  for (const auto& f : frames) {
    SCOPED_TRACE(Narrow(f.caption));
    std::string seen;
    EXPECT_EQ(ShowInFrame(*f.filter, *f.page, f.caption, f.edit, BinDir() + L"page-" + f.name + L".bmp",
                          [&](HWND page) {
                            seen = Text(page, f.edit) + " " + (f.list ? Selected(page, f.other) : Text(page, f.other));
                          }),
              S_OK);
    EXPECT_EQ(seen, f.seen);
    EXPECT_EQ(Quill().canUnloadNow(), S_OK);
  }
}

}  // namespace
}  // namespace quill::test
