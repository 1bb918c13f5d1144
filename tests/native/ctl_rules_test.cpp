// The control library's portable rules: the slider taper and scale, scroll rules and number texts.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "twctllib/number_text.h"
#include "twctllib/scroll_rules.h"
#include "twctllib/slider_scale.h"
#include "twctllib/static_picture.h"

namespace quill {
namespace {

TEST(Taper, BreakpointsTruncatedInterpolationAndTheIdentityBeyond) {
  const int in[] = {0, 30, 60, 120, 250, 400, 700, 1000}, out[] = {0, 250, 400, 500, 600, 800, 950, 1000};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(std::tuple(Taper(in[i]), Taper(-in[i])), std::tuple(out[i], -out[i])) << in[i];
    EXPECT_EQ(std::tuple(InverseTaper(out[i]), InverseTaper(-out[i])), std::tuple(in[i], -in[i])) << out[i];
  }
  // 950 + 100 * 50 / 300 = 966.7, 500 + 80 * 100 / 130 = 561.5, 250 / 30 = 8.3.
  for (const auto& [x, t] :
       {std::pair{800, 966}, {-800, -966}, {200, 561}, {1, 8}, {1500, 1500}, {INT32_MIN, INT32_MIN}})
    EXPECT_EQ(Taper(x), t) << x;
  for (const auto& [t, x] : {std::pair{966, 796}, {8, 0}, {5000, 5000}}) EXPECT_EQ(InverseTaper(t), x) << t;
}

TEST(SliderScale, TaperedLevelsEndsResetAndDigits) {
  SliderScale scale;
  scale.SetTapered(true);
  scale.SetRange(-800, 0);
  // The top 3 dB get a quarter of the travel; -20 dB sits at 58 % from the top.
  EXPECT_NEAR(800 - scale.OffsetOf(-30, 800), 200, 8);
  EXPECT_NEAR((800 - scale.OffsetOf(-200, 800)) / 8.0, 58.0, 0.5);
  EXPECT_NEAR(scale.ValueAt(scale.OffsetOf(-200, 800), 800), -200, 2);
  for (int travel : {2, 37, 966})  // the ends of the travel are the ends of the range, beyond them too
    EXPECT_EQ((std::array{scale.OffsetOf(-5000, travel), scale.OffsetOf(77, travel), scale.ValueAt(-3, travel),
                          scale.ValueAt(travel + 3, travel)}),
              (std::array{0, travel, -800, 0}));
  scale.SetTapered(false);
  scale.SetRange(0, 3);
  EXPECT_EQ(scale.ValueAt(66, 100), 1);  // 66 * 3 / 100 = 1.98, truncated
  scale.SetRange(INT32_MIN, INT32_MAX);  // huge ranges do not overflow
  EXPECT_EQ(std::tuple(scale.OffsetOf(0, 1000), scale.ValueAt(1000, 1000)), std::tuple(500, INT32_MAX));
  for (const auto& [lo, hi, reset] : {std::tuple{-50, 50, 0}, {0, 200, 100}, {-800, 0, -800}, {-101, -20, -61}}) {
    scale.SetRange(lo, hi);
    EXPECT_EQ(scale.ResetValue(), reset) << lo << ".." << hi;
  }
  scale.SetRange(-800, 100);
  EXPECT_EQ(std::tuple(scale.DigitValue(0), scale.DigitValue(9), scale.DigitValue(3), scale.Clamp(250)),
            std::tuple(-800, 100, -500, 100));
}

TEST(ScrollRules, TrackbarAndFaderPositions) {
  EXPECT_EQ(std::tuple(DefaultPageStep(10, 5000), DefaultPageStep(-800, 0), DefaultPageStep(0, 14)),
            std::tuple(499, 80, 1));
  // 0 trackbar, 1 vertical fader (up is louder, Home is unity gain unless
  // ctrl or no boost range), 2 horizontal fader (trackbar directions).
  const ScrollState t{10, 5000, 5000}, m{0, 200, 100}, f{-800, 0, -350}, boost{-100, 100, -40};
  const std::tuple<int, ScrollState, int, int, int, bool, int> cases[] = {
      {0, t, kScrollPageUp, 1, 0, false, 5000 - 499},
      {0, t, kScrollPageUp, 1, 0, true, 5000 - 4990},
      {0, m, kScrollLineUp, 3, 10, false, 97},
      {0, m, kScrollPageDown, 3, 10, true, 200},
      {0, m, kScrollBottom, 3, 10, false, 200},
      {0, m, kScrollThumbTrack, 3, 10, false, 100},
      {1, f, kScrollLineUp, 1, 10, false, -349},
      {1, f, kScrollPageUp, 1, 10, true, -250},
      {1, f, kScrollPageUp, 1, 0, false, -270},
      {1, f, kScrollBottom, 1, 10, false, -800},
      {1, boost, kScrollTop, 1, 10, false, 0},
      {1, boost, kScrollTop, 1, 10, true, 100},
      {1, {-100, -10, -40}, kScrollTop, 1, 10, false, -10},
      {2, boost, kScrollLineUp, 1, 10, false, -41},
      {2, boost, kScrollTop, 1, 10, false, -100}};
  for (const auto& [kind, s, code, line, page, ctrl, pos] : cases)
    EXPECT_EQ(kind == 0 ? TrackbarScrollPosition(s, code, line, page, ctrl)
                        : FaderScrollPosition(s, kind == 1, code, line, page, ctrl),
              pos)
        << "kind " << kind << " at " << s.position << " code " << code << (ctrl ? " ctrl" : "");
}

const NumberSeparators kDefault{}, kSwapped{L',', L'.', L';'}, kNoGroup{L'.', 0, L','};

TEST(NumberText, GroupsForDisplayAndParsesLeniently) {
  for (const auto& [in, out, seps] : {std::tuple{"12000", "12,000", &kDefault},
                                      {"-123456.789", "-123,456.789", &kDefault},
                                      {"1000 Hz", "1,000 Hz", &kDefault},
                                      {"42 \t ", "42", &kDefault},
                                      {"", "0", &kDefault},
                                      {"1234,5", "1.234,5", &kSwapped},
                                      {"12000", "12000", &kNoGroup}}) {
    char buffer[32];
    std::strcpy(buffer, in);
    EXPECT_EQ(InsertThousands(buffer, sizeof buffer, *seps), static_cast<int>(std::strlen(out))) << in;
    EXPECT_STREQ(buffer, out);
  }
  char tight[7] = "123456";
  EXPECT_EQ(InsertThousands(tight, sizeof tight, kDefault), -1);  // does not fit: untouched
  EXPECT_STREQ(tight, "123456");
  for (const auto& [in, stop, value, seps] : {std::tuple{"5,000", 0, 5000, &kDefault},
                                              {"12k", 'k', 12, &kDefault},
                                              {"\t-1,234\t", 0, -1234, &kDefault},
                                              {"5.000", 0, 5000, &kSwapped},
                                              {"5,000", ',', 5, &kNoGroup},
                                              {"", 0, 0, &kDefault},
                                              {"-99,999,999,999", 0, INT32_MIN, &kDefault}}) {
    std::int32_t v = -1;
    EXPECT_EQ((std::pair{static_cast<int>(ParseNumber(in, &v, *seps)), v}), std::pair(stop, value)) << in;
  }
  for (const auto& [in, stop, value, seps] : {std::tuple{"1,234.5", 0, 1234.5, &kDefault},
                                              {"1.2.3", '.', 1.2, &kDefault},
                                              {"1.234,75", 0, 1234.75, &kSwapped},
                                              {"", 0, 0.0, &kDefault}}) {
    double v = -1;
    EXPECT_EQ((std::pair{static_cast<int>(ParseDecimal(in, &v, *seps)), v}), std::pair(stop, value)) << in;
  }
  EXPECT_EQ(std::tuple(MetricFromText(""), MetricFromText(" 12abc"), MetricFromText("99999999999")),
            std::tuple(0, 12, INT32_MAX));
}

TEST(NumberText, DecimalReaderSaysWhereItStopped) {
  // Offsets from the text's start; trailing blanks are passed over.
  for (const auto& [in, at, value, seps] : {std::tuple{"1:30", 1, 1.0, &kDefault},
                                            {" 2.5 :7", 5, 2.5, &kDefault},
                                            {"1,5:", 3, 1.5, &kSwapped},
                                            {"", 0, 0.0, &kDefault}}) {
    double v = -1;
    const char* stop = nullptr;
    const char c = ParseDecimalAt(in, &v, *seps, &stop);
    ASSERT_NE(stop, nullptr) << in;
    EXPECT_EQ(std::tuple(static_cast<int>(stop - in), c, v), std::tuple(at, *stop, value)) << in;
  }
  const wchar_t* wide = L"3.25x";
  const wchar_t* stop = nullptr;
  double v = 0;
  EXPECT_EQ(ParseDecimalAt(wide, &v, kDefault, &stop), L'x');
  EXPECT_EQ(std::pair(stop - wide, v), std::pair(std::ptrdiff_t{4}, 3.25));
  EXPECT_EQ(ParseDecimalAt(static_cast<const char*>(nullptr), &v, kDefault, static_cast<const char**>(nullptr)), 0);
  EXPECT_EQ(v, 0.0);
}

// A packed bitmap's size from its header, so a copy takes exactly what it
// was given; rows are padded to four bytes.
TEST(StaticPicture, PackedBitmapSizesAndWhatIsRefused) {
  const auto layout = [](DibHeader h) {
    const DibLayout l = DibLayoutOf(h);
    return std::tuple(l.valid, l.colors, l.tableBytes, l.bitsBytes);
  };
  EXPECT_EQ(layout({40, 4, 2, 1, 8, 0, 4}), std::tuple(true, 4u, 16u, 8u));
  EXPECT_EQ(layout({40, 3, -2, 1, 24, 0, 0}), std::tuple(true, 0u, 0u, 24u));  // 9 bytes a row, padded to 12
  EXPECT_EQ(layout({40, 33, 1, 1, 1, 0, 0}), std::tuple(true, 2u, 8u, 8u));
  EXPECT_EQ(layout({40, 2, 2, 1, 16, 3, 0}), std::tuple(true, 0u, 12u, 8u));   // masks after the header
  EXPECT_EQ(layout({124, 2, 2, 1, 32, 3, 0}), std::tuple(true, 0u, 0u, 16u));  // masks inside it
  EXPECT_EQ(DibLayoutOf({40, 4, 2, 1, 8, 0, 4}).Total(40), 64u);
  for (const DibHeader bad :
       {DibHeader{12, 4, 2, 1, 8, 0, 0}, DibHeader{40, 0, 2, 1, 8, 0, 0}, DibHeader{40, 4, 0, 1, 8, 0, 0},
        DibHeader{40, 4, 2, 1, 3, 0, 0}, DibHeader{40, 4, 2, 2, 8, 0, 0}, DibHeader{40, 4, 2, 1, 8, 1, 0},
        DibHeader{40, 4, 2, 1, 4, 0, 17}, DibHeader{40, 100000, 100000, 1, 32, 0, 0}})
    EXPECT_FALSE(DibLayoutOf(bad).valid) << bad.size << " " << bad.width << "x" << bad.height << " " << bad.bitCount;
}

TEST(StaticPicture, PicturesCentredOrScaledToTheWidth) {
  const CtlRect area{1, 1, 101, 41};
  const auto at = [&](int w, int h, std::uint32_t style) {
    const CtlRect r = PicturePlacement(area, w, h, style);
    return std::tuple(r.left, r.top, r.Width(), r.Height());
  };
  EXPECT_EQ(at(10, 6, 0), std::tuple(46, 18, 10, 6));
  EXPECT_EQ(at(10, 6, kStaticScaleToWidth), std::tuple(1, -9, 100, 60));
  EXPECT_EQ(at(10, 6, kStaticShrinkLarge), std::tuple(46, 18, 10, 6)) << "fits: left alone";
  EXPECT_EQ(at(200, 20, kStaticShrinkLarge), std::tuple(1, 16, 100, 10));
  EXPECT_EQ(at(200, 20, 0), std::tuple(-49, 11, 200, 20)) << "clipped at its own size";
  EXPECT_TRUE(StaticFramed(4) && StaticFramed(9) && !StaticFramed(3) && !StaticFramed(10) && StaticFramed(0x5007));
  EXPECT_EQ(StaticTextAlign(0x5001), StaticAlign::Centre);
  EXPECT_EQ(StaticTextAlign(12), StaticAlign::LeftSingleLine);
  EXPECT_EQ(StaticTextAlign(0), StaticAlign::LeftWrapped);
}

}  // namespace
}  // namespace quill
