// The tap graph on the multi-tap page, read back from the screen: where its
// bars stand and in which colour for blocks whose patterns are worked by
// hand, and that each change the page makes to the graph's fields repaints it.
#include <gtest/gtest.h>

#include <string>

#include "framework/effect_property_page.h"
#include "include/quillfx1.h"
#include "tests/windows/page_support.h"

namespace quill::test {
namespace {

constexpr int kGraph = 4042, kResolutionList = 4043, kFeedbackSlider = 4013, kTapCountSlider = 4014;
constexpr int kFirstTapButton = 4018, kTapGainFader = 4026, kDelaySlider = 4029, kDelayEdit = 4118;
constexpr int kRateSlider = 4011;

// The look's default colours for the pattern, the other taps and the current one.
constexpr COLORREF kEcho = 0x808000, kTap = 0x5C5C5C, kCurrent = 0x0000FF;

class TapGraph : public EffectPageRig<IMultiTapParams, MultiTapParams> {
 protected:
  TapGraph() : EffectPageRig(CLSID_TwEchomtPage, CLSID_TwEchomt, IID_IMultiTapParams) {}
  void SetUp() override {
    EffectPageRig::SetUp();
    Open();
    graph_ = GetDlgItem(dialog_, kGraph);
    ASSERT_NE(graph_, nullptr);
    RECT r{};
    GetClientRect(graph_, &r);
    width_ = r.right;
    half_ = r.bottom / 2;
    below_ = r.bottom - half_ - 1;  // rows under the centre line
  }

  // A block stored from outside, then the graph repainted as the page would.
  void Show(const MultiTapParams& p) {
    ASSERT_EQ(params_->SetParams(&p), S_OK);
    InvalidateRect(graph_, nullptr, TRUE);
    UpdateWindow(graph_);
  }
  MultiTapParams Block(std::int32_t feedback, std::initializer_list<std::pair<int, int>> delayAndGain) {
    MultiTapParams p = Read();
    p.feedbackPct = feedback;
    p.tapCount = static_cast<std::int32_t>(delayAndGain.size());
    p.currentTap = 0;
    p.graphResolution = 0;
    int k = 0;
    for (const auto& [delay, gain] : delayAndGain) {
      p.tapDelayMs[k] = delay;
      p.tapGain[k++] = gain;
    }
    return p;
  }

  // The column of pixels at `ms` on a span: one letter a row, c the current
  // tap, t another tap, e the echo pattern, k black, . anything else.
  std::string Column(int span, int ms) { return ColumnAt(1 + (width_ - 3) * ms / span); }
  std::string ColumnAt(int x) {
    const WindowPixels pixels(graph_);
    std::string column;
    for (int y = 0; y < pixels.height; ++y) column += Letter(pixels.At(x, y));
    return column;
  }
  static char Letter(COLORREF c) {
    return c == kCurrent ? 'c' : c == kTap ? 't' : c == kEcho ? 'e' : c == RGB(0, 0, 0) ? 'k' : '.';
  }
  // A column with `up` rows of one colour above the centre line, the centre
  // row, and `down` rows of another below it.
  std::string Expect(int up, char above, char centre = 'k', int down = 0, char under = '.') const {
    return std::string(half_ - up, '.') + std::string(up, above) + centre + std::string(down, under) +
           std::string(below_ - down, '.');
  }
  int Rows(int value) const { return value * half_ / 10000; }

  HWND graph_ = nullptr;
  int width_ = 0, half_ = 0, below_ = 0;
};

TEST_F(TapGraph, DrawsTheTapsAndTheEchoPatternOfTheBlock) {
  // The page lends the control its parameter interface while the dialog lives.
  EXPECT_EQ(GetPropW(graph_, L"TapGraph"), static_cast<void*>(params_.Get()));
  EXPECT_NE(GetWindowLongPtrW(graph_, GWLP_WNDPROC), GetClassLongPtrW(graph_, GCLP_WNDPROC));

  // The new filter: one full tap at 100 ms, no feedback, span 500 ms.
  ASSERT_GT(width_, 100);
  EXPECT_EQ(Column(500, 100), Expect(half_, 'c'));
  EXPECT_EQ(ColumnAt(0), std::string(half_ + 1 + below_, 'k')) << "the time axis";
  EXPECT_EQ(WindowPixels(graph_).Count(kEcho), 0);

  // Fed back at 50 %: echoes halve every 100 ms behind the tap's own bar.
  Show(Block(50, {{100, 100}}));
  EXPECT_EQ(Column(500, 100), Expect(half_, 'c'));
  EXPECT_EQ(Column(500, 200), Expect(Rows(2500), 'e'));
  EXPECT_EQ(Column(500, 300), Expect(Rows(1250), 'e'));
  EXPECT_EQ(Column(500, 500), Expect(std::max(1, Rows(312)), 'e'));
  EXPECT_EQ(Column(500, 250), Expect(0, '.'));
  // A wider span shows the later echoes; 9/10000 is still a pixel.
  Show([&] {
    MultiTapParams p = Block(50, {{100, 100}});
    p.graphResolution = 1;
    return p;
  }());
  EXPECT_EQ(Column(1000, 1000), Expect(1, 'e'));

  // +100 % and -100 % with full feedback: the second tap below the line,
  // nothing at 200 ms from the pattern, the inverted echo at 300 ms.
  Show(Block(100, {{100, 100}, {200, -100}}));
  EXPECT_EQ(Column(500, 100), Expect(half_, 'c'));
  EXPECT_EQ(Column(500, 200), Expect(0, '.', 'k', below_, 't'));
  EXPECT_EQ(Column(500, 300), Expect(0, '.', 'k', below_, 'e'));

  // A silent tap is a pixel on the line; a current tap past the active
  // ones still shows.
  MultiTapParams p = Block(0, {{100, 0}});
  p.tapDelayMs[3] = 250;
  p.tapGain[3] = 50;
  Show(p);
  EXPECT_EQ(Column(500, 100), Expect(0, '.', 'c'));
  p.currentTap = 3;
  Show(p);
  EXPECT_EQ(Column(500, 100), Expect(0, '.', 't'));
  EXPECT_EQ(Column(500, 250), Expect(Rows(5000), 'c'));
}

TEST_F(TapGraph, RepaintsAfterEachChangeThatMovesABar) {
  // Each change reaches the screen only if the page repaints the graph.
  Key(kFeedbackSlider, VK_NEXT, 5);
  EXPECT_EQ(Column(500, 200), Expect(Rows(2500), 'e')) << "feedback";

  Key(kTapGainFader, VK_NEXT);  // 90 %: the echoes follow the sum of gains
  EXPECT_EQ(Column(500, 100), Expect(Rows(9000), 'c')) << "tap gain";

  TypeAndLeave(kDelayEdit, "300");
  EXPECT_EQ(Column(500, 300), Expect(Rows(9000), 'c')) << "delay typed";
  Key(kDelaySlider, VK_NEXT);
  EXPECT_EQ(Column(500, 400), Expect(Rows(9000), 'c')) << "delay slider";

  Key(kTapCountSlider, VK_RIGHT);  // tap 2: 1 ms at 100 %
  EXPECT_EQ(Column(500, 1), Expect(half_, 't')) << "tap count";
  Click(dialog_, kFirstTapButton + 1);
  EXPECT_EQ(Column(500, 1), Expect(half_, 'c')) << "current tap";
  EXPECT_EQ(Column(500, 400), Expect(Rows(9000), 't'));

  Key(kResolutionList, VK_DOWN);
  EXPECT_EQ(Column(1000, 400), Expect(Rows(9000), 't')) << "resolution";

  // A full refresh (as after a preset) repaints; a rate change does not.
  MultiTapParams p = Read();
  p.tapDelayMs[0] = 700;
  ASSERT_EQ(params_->SetParams(&p), S_OK);
  Key(kRateSlider, VK_NEXT);
  EXPECT_EQ(Column(1000, 700), Expect(0, '.')) << "not repainted for the rate";
  FormatNotice(dialog_);
  EXPECT_EQ(Column(1000, 700), Expect(Rows(9000), 't')) << "full refresh";
}

// The page with a hall preset's eight taps, kept as page-multi-tap-graph.bmp.
TEST_F(TapGraph, PictureOfThePageWithAHall) {
  ComRef<IEffectPresets> presets;
  ASSERT_EQ(filter_->QueryInterface(IID_IEffectPresets, presets.PutVoid()), S_OK);
  ASSERT_EQ(presets->ApplyPreset(3), S_OK);  // "Small hall 1": eight taps, 40 % feedback
  FormatNotice(dialog_);
  EXPECT_GT(WindowPixels(graph_).Count(kEcho), 0);
  EXPECT_EQ(Column(500, Read().tapDelayMs[0]), Expect(Rows(3900), 'c'));
  EXPECT_TRUE(SaveWindow(dialog_, BinDir() + L"page-multi-tap-graph.bmp"));
}

}  // namespace
}  // namespace quill::test
