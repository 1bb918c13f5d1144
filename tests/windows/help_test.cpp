// The help file in the platform's own viewer: topics open by context number,
// a control's help opens its topic, nothing modal ever appears, HELP_QUIT
// closes the viewer, and a missing file opens nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "framework/context_help.h"
#include "tests/native/help_titles.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

constexpr int kTextId = 0x701;  // the viewer's text pane

std::vector<std::string> ModalBoxes() {
  std::vector<std::string> boxes;
  for (const ViewerWindow& w : ViewerWindows())
    if (w.className == "#32770") {
      char caption[256] = {};
      GetWindowTextA(w.window, caption, sizeof caption);
      boxes.push_back(caption);
    }
  return boxes;
}

std::string Describe() {
  std::string all;
  for (const ViewerWindow& w : ViewerWindows()) all += "[" + w.className + "] " + w.text.substr(0, 80) + "\n";
  return all.empty() ? "no viewer windows" : all;
}

class HelpViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowW(L"STATIC", L"page", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner_);
    helpFile_ = BinDir() + L"QUILLFX1.HLP";
    topics_ = HelpSourceTopics(QUILL_HELP_SOURCE);
    ASSERT_FALSE(topics_.empty()) << QUILL_HELP_SOURCE;
  }
  void TearDown() override {
    quill::CloseHelp(owner_, helpFile_);
    EXPECT_TRUE(WaitFor([] { return ViewerWindows().empty(); })) << "HELP_QUIT left: " << Describe();
    // The viewer's process must be gone too: a request sent while it is
    // still closing reaches it and is lost.
    EXPECT_TRUE(WaitFor([] { return FindWindowA("MS_WINHELP", nullptr) == nullptr; }));
    DestroyWindow(owner_);
  }
  const std::string& Title(std::uint32_t context) { return topics_.at(context).second; }

  HWND owner_ = nullptr;
  std::wstring helpFile_;
  std::map<std::uint32_t, std::pair<std::string, std::string>> topics_;
};

TEST_F(HelpViewer, TopicsOpenByContextNumberWithNothingModal) {
  for (std::uint32_t context : {0u, 1u, 30u, 44u, 62u, 87u, 117u}) {
    ASSERT_TRUE(quill::ShowHelpTopic(owner_, helpFile_, context)) << context;
    EXPECT_TRUE(WaitFor([&] { return ViewerShows(Title(context)); }))
        << "context " << context << " '" << Title(context) << "'; viewer: " << Describe();
    EXPECT_TRUE(ModalBoxes().empty()) << ModalBoxes().front();
  }
}

// Each page's F1 goes this way too; here the viewer is watched for boxes.
TEST_F(HelpViewer, AControlsHelpOpensItsTopic) {
  HWND control = CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, owner_,
                               reinterpret_cast<HMENU>(4038), nullptr, nullptr);
  ASSERT_TRUE(control);
  EXPECT_TRUE(quill::ShowControlHelp(control, helpFile_, quill::kMultiTapHelp));
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(Title(47)); })) << Describe();
  EXPECT_TRUE(ModalBoxes().empty());
  DestroyWindow(control);
  // A control no table lists asks for nothing.
  HWND unlisted =
      CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, owner_, reinterpret_cast<HMENU>(5013), nullptr, nullptr);
  EXPECT_FALSE(quill::ShowControlHelp(unlisted, helpFile_, quill::kReverbHelp));
  DestroyWindow(unlisted);
}

TEST_F(HelpViewer, AJumpInTheContentsOpensItsTopic) {
  ASSERT_TRUE(quill::ShowHelpTopic(owner_, helpFile_, quill::kHelpContents));
  ASSERT_TRUE(WaitFor([&] { return ViewerShows(Title(0)); })) << Describe();
  const std::string target = Title(12);  // the chorus overview, listed as a jump
  HWND pane = nullptr;
  int index = -1;
  for (const ViewerWindow& w : ViewerWindows()) {
    // The pane's own character positions count a paragraph end as one
    // character; WM_GETTEXT gives it as CR LF.
    std::string text = w.text;
    std::erase(text, '\n');
    const std::size_t at = text.find("\r" + target + "\r");
    if (at != std::string::npos) {
      pane = GetDlgItem(w.window, kTextId);
      index = static_cast<int>(at) + 2;
    }
  }
  ASSERT_TRUE(pane) << Describe();
  // A character's place in the pane, then a click on it.
  const LRESULT place = SendMessageW(pane, EM_POSFROMCHAR, static_cast<WPARAM>(index), 0);
  const LPARAM point = MAKELPARAM(static_cast<short>(LOWORD(place)) + 2, static_cast<short>(HIWORD(place)) + 4);
  PostMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(pane, WM_LBUTTONUP, 0, point);
  EXPECT_TRUE(WaitFor([&] { return ViewerShows(target); })) << Describe();
}

TEST_F(HelpViewer, AMissingFileOpensNothing) {
  const std::wstring missing = BinDir() + L"no-such-dir\\QUILLFX1.HLP";
  EXPECT_FALSE(quill::ShowHelpTopic(owner_, missing, 1));
  HWND control =
      CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, owner_, reinterpret_cast<HMENU>(3009), nullptr, nullptr);
  EXPECT_FALSE(quill::ShowControlHelp(control, missing, quill::kSimpleDelayHelp));
  DestroyWindow(control);
  Sleep(500);
  EXPECT_TRUE(ViewerWindows().empty()) << Describe();
}

TEST(HelpFile, SitsBesideTheModule) {
  const std::wstring beside = quill::HelpFileBeside(Quill().handle);
  EXPECT_EQ(beside, BinDir() + L"QUILLFX1.HLP");
  EXPECT_NE(GetFileAttributesW(beside.c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(beside);
}

}  // namespace
}  // namespace quill::test
