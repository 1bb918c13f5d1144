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
const NumberSeparators kNoGroup{L'.', 0, L','};

TEST(InsertThousands, GroupsTrimsUsesTheLocaleAndRefusesWhatDoesNotFit) {
  const struct {
    const char *in, *out;
    const NumberSeparators* seps;
  } cases[] = {{"12000", "12,000", &kDefault},    {"-1000", "-1,000", &kDefault},     {"1234.5", "1,234.5", &kDefault},
               {"100", "100", &kDefault},         {"-123456.789", "-123,456.789", &kDefault},
               {"1000 Hz", "1,000 Hz", &kDefault}, {"42 \t ", "42", &kDefault},       {"", "0", &kDefault},
               {"-", "-", &kDefault},             {"1234,5", "1.234,5", &kSwapped},   {"12000", "12000", &kNoGroup}};
  for (const auto& c : cases) {
    char buffer[32];
    std::strcpy(buffer, c.in);
    EXPECT_EQ(InsertThousands(buffer, sizeof buffer, *c.seps), static_cast<int>(std::strlen(c.out))) << c.in;
    EXPECT_STREQ(buffer, c.out);
  }
  wchar_t wide[16] = L"-9876543";
  EXPECT_EQ(InsertThousands(wide, 16, kDefault), 10);
  EXPECT_EQ(std::wstring(wide), L"-9,876,543");
  char tight[7] = "123456", exact[8] = "123456";
  EXPECT_EQ(InsertThousands(tight, sizeof tight, kDefault), -1);
  EXPECT_STREQ(tight, "123456");
  EXPECT_EQ(InsertThousands(exact, sizeof exact, kDefault), 7);
  EXPECT_EQ(InsertThousands<char>(nullptr, 10, kDefault), -1);
}

TEST(ParseNumber, ReadsDigitsSkipsSeparatorsAndSaturates) {
  const struct {
    const char* in;
    int stop;
    std::int32_t value;
    const NumberSeparators* seps;
  } cases[] = {{"5,000", 0, 5000, &kDefault},     {"12k", 'k', 12, &kDefault},        {"\t-1,234\t", 0, -1234, &kDefault},
               {"7 8", '8', 7, &kDefault},        {"5.000", 0, 5000, &kSwapped},      {"5,000", ',', 5, &kNoGroup},
               {"", 0, 0, &kDefault},             {"x1", 'x', 0, &kDefault},          {"99999999999", 0, INT32_MAX, &kDefault},
               {"-99,999,999,999", 0, INT32_MIN, &kDefault}, {"-2147483648", 0, INT32_MIN, &kDefault}};
  for (const auto& c : cases) {
    std::int32_t v = -1;
    EXPECT_EQ(ParseNumber(c.in, &v, *c.seps), c.stop) << c.in;
    EXPECT_EQ(v, c.value) << c.in;
  }
  std::int32_t v = -1;
  EXPECT_EQ(ParseNumber(L"3\u00A0000", &v, NumberSeparators{L',', L'\u00A0', L';'}), L'\0');
  EXPECT_EQ(v, 3000);
}

TEST(ParseDecimal, ReadsOneDecimalSeparatorAndGivesZeroForNothing) {
  const struct {
    const char* in;
    int stop;
    double value;
    const NumberSeparators* seps;
  } cases[] = {{"1,234.5", 0, 1234.5, &kDefault},   {" -0.25 ", 0, -0.25, &kDefault}, {"1.2.3", '.', 1.2, &kDefault},
               {"1.234,75", 0, 1234.75, &kSwapped}, {"12.5 ms", 'm', 12.5, &kDefault}, {".5", 0, 0.5, &kDefault},
               {"", 0, 0.0, &kDefault}};
  for (const auto& c : cases) {
    double v = -1;
    EXPECT_EQ(ParseDecimal(c.in, &v, *c.seps), c.stop) << c.in;
    EXPECT_DOUBLE_EQ(v, c.value) << c.in;
  }
  const struct {
    const char* in;
    std::int32_t value;
  } metrics[] = {{"", 0}, {"255", 255}, {"-1", -1}, {"99999999999", INT32_MAX}, {" 12abc", 12}, {"abc", 0}};
  for (const auto& c : metrics) EXPECT_EQ(MetricFromText(c.in), c.value) << c.in;
}

}  // namespace
}  // namespace quill
