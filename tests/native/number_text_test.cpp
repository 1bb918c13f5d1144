// Number texts of the edit fields: grouping for display and lenient parsing,
// with the default separators and with a locale that swaps them.
#include "twctllib/number_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quill {
namespace {

const NumberSeparators kDefault{};
const NumberSeparators kSwapped{L',', L'.', L';'};

std::string Grouped(const char* in, const NumberSeparators& seps = kDefault) {
  char buffer[32];
  std::strcpy(buffer, in);
  const int length = InsertThousands(buffer, sizeof buffer, seps);
  EXPECT_EQ(length, static_cast<int>(std::strlen(buffer))) << in;
  return buffer;
}

TEST(InsertThousands, GroupsTheIntegerPart) {
  EXPECT_EQ(Grouped("12000"), "12,000");
  EXPECT_EQ(Grouped("-1000"), "-1,000");
  EXPECT_EQ(Grouped("1234.5"), "1,234.5");
  EXPECT_EQ(Grouped("100"), "100");
  EXPECT_EQ(Grouped("1234567"), "1,234,567");
  EXPECT_EQ(Grouped("-123456.789"), "-123,456.789");
  EXPECT_EQ(Grouped("1000 Hz"), "1,000 Hz");
  EXPECT_EQ(Grouped("0"), "0");
}

TEST(InsertThousands, TrimsTrailingBlanksAndFillsAnEmptyText) {
  EXPECT_EQ(Grouped("42 \t "), "42");
  EXPECT_EQ(Grouped("12000\t"), "12,000");
  EXPECT_EQ(Grouped(""), "0");
  EXPECT_EQ(Grouped("  "), "0");
  EXPECT_EQ(Grouped("-"), "-");
}

TEST(InsertThousands, UsesTheLocaleSeparatorsOrNone) {
  EXPECT_EQ(Grouped("1234,5", kSwapped), "1.234,5");
  EXPECT_EQ(Grouped("12000", NumberSeparators{L'.', 0, L','}), "12000");
  wchar_t wide[16] = L"-9876543";
  EXPECT_EQ(InsertThousands(wide, 16, kDefault), 10);
  EXPECT_EQ(std::wstring(wide), L"-9,876,543");
}

TEST(InsertThousands, RefusesABufferTooSmallAndLeavesTheText) {
  char buffer[7] = "123456";  // needs 8 with the separator and terminator
  EXPECT_EQ(InsertThousands(buffer, sizeof buffer, kDefault), -1);
  EXPECT_STREQ(buffer, "123456");
  char exact[8] = "123456";
  EXPECT_EQ(InsertThousands(exact, sizeof exact, kDefault), 7);
  EXPECT_STREQ(exact, "123,456");
  char one[1] = "";
  EXPECT_EQ(InsertThousands(one, 1, kDefault), -1);
  EXPECT_EQ(InsertThousands<char>(nullptr, 10, kDefault), -1);
}

TEST(ParseNumber, ReadsDigitsSkippingSeparatorsAndBlanks) {
  std::int32_t v = -1;
  EXPECT_EQ(ParseNumber("5,000", &v, kDefault), 0);
  EXPECT_EQ(v, 5000);
  EXPECT_EQ(ParseNumber("12k", &v, kDefault), 'k');
  EXPECT_EQ(v, 12);
  EXPECT_EQ(ParseNumber("  42  ", &v, kDefault), 0);
  EXPECT_EQ(v, 42);
  EXPECT_EQ(ParseNumber("\t-1,234\t", &v, kDefault), 0);
  EXPECT_EQ(v, -1234);
  EXPECT_EQ(ParseNumber("7 8", &v, kDefault), '8');
  EXPECT_EQ(v, 7);
  EXPECT_EQ(ParseNumber("5.000", &v, kSwapped), 0);
  EXPECT_EQ(v, 5000);
  EXPECT_EQ(ParseNumber("5,000", &v, NumberSeparators{L'.', 0, L','}), ',');
  EXPECT_EQ(v, 5);
}

TEST(ParseNumber, EmptyLoneMinusAndMissingTextGiveZero) {
  std::int32_t v = -1;
  EXPECT_EQ(ParseNumber("", &v, kDefault), 0);
  EXPECT_EQ(v, 0);
  v = -1;
  EXPECT_EQ(ParseNumber("-", &v, kDefault), 0);
  EXPECT_EQ(v, 0);
  v = -1;
  EXPECT_EQ(ParseNumber<char>(nullptr, &v, kDefault), 0);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(ParseNumber("x1", &v, kDefault), 'x');
  EXPECT_EQ(v, 0);
  EXPECT_EQ(ParseNumber(L"3\u00A0000", &v, NumberSeparators{L',', L'\u00A0', L';'}), L'\0');
  EXPECT_EQ(v, 3000);
}

TEST(ParseNumber, SaturatesBeyondThirtyTwoBits) {
  std::int32_t v = 0;
  EXPECT_EQ(ParseNumber("99999999999", &v, kDefault), 0);
  EXPECT_EQ(v, INT32_MAX);
  EXPECT_EQ(ParseNumber("-99,999,999,999", &v, kDefault), 0);
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_EQ(ParseNumber("2147483647", &v, kDefault), 0);
  EXPECT_EQ(v, INT32_MAX);
  EXPECT_EQ(ParseNumber("-2147483648", &v, kDefault), 0);
  EXPECT_EQ(v, INT32_MIN);
}

TEST(ParseDecimal, ReadsOneDecimalSeparator) {
  double v = -1;
  EXPECT_EQ(ParseDecimal("1,234.5", &v, kDefault), 0);
  EXPECT_DOUBLE_EQ(v, 1234.5);
  EXPECT_EQ(ParseDecimal(" -0.25 ", &v, kDefault), 0);
  EXPECT_DOUBLE_EQ(v, -0.25);
  EXPECT_EQ(ParseDecimal("1.2.3", &v, kDefault), '.');
  EXPECT_DOUBLE_EQ(v, 1.2);
  EXPECT_EQ(ParseDecimal("3,5", &v, kSwapped), 0);
  EXPECT_DOUBLE_EQ(v, 3.5);
  EXPECT_EQ(ParseDecimal("1.234,75", &v, kSwapped), 0);
  EXPECT_DOUBLE_EQ(v, 1234.75);
  EXPECT_EQ(ParseDecimal("12.5 ms", &v, kDefault), 'm');
  EXPECT_DOUBLE_EQ(v, 12.5);
  EXPECT_EQ(ParseDecimal(".5", &v, kDefault), 0);
  EXPECT_DOUBLE_EQ(v, 0.5);
  EXPECT_EQ(ParseDecimal(L"100", &v, kDefault), L'\0');
  EXPECT_DOUBLE_EQ(v, 100.0);
}

TEST(ParseDecimal, EmptyAndMissingGiveZero) {
  double v = -1;
  EXPECT_EQ(ParseDecimal("", &v, kDefault), 0);
  EXPECT_EQ(v, 0.0);
  v = -1;
  EXPECT_EQ(ParseDecimal<char>(nullptr, &v, kDefault), 0);
  EXPECT_EQ(v, 0.0);
  EXPECT_EQ(ParseDecimal("-", &v, kDefault), 0);
  EXPECT_EQ(v, 0.0);
}

TEST(MetricFromText, EmptyIsZeroElseTheLeadingInteger) {
  EXPECT_EQ(MetricFromText(""), 0);
  EXPECT_EQ(MetricFromText("255"), 255);
  EXPECT_EQ(MetricFromText("-1"), -1);
  EXPECT_EQ(MetricFromText("67108879"), 67108879);
  EXPECT_EQ(MetricFromText(L"2147483647"), INT32_MAX);
  EXPECT_EQ(MetricFromText("99999999999"), INT32_MAX);
  EXPECT_EQ(MetricFromText(" 12abc"), 12);
  EXPECT_EQ(MetricFromText("abc"), 0);
  EXPECT_EQ(MetricFromText<char>(nullptr), 0);
}

}  // namespace
}  // namespace quill
