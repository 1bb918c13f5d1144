#include "twctllib/number_text.h"

#include <algorithm>
#include <type_traits>

namespace quill {
namespace {

template <class CharT>
bool IsBlank(CharT c) {
  return c == CharT(' ') || c == CharT('\t');
}

template <class CharT>
bool IsDigit(CharT c) {
  return c >= CharT('0') && c <= CharT('9');
}

template <class CharT>
bool Is(CharT c, wchar_t separator) {
  return separator != 0 && static_cast<wchar_t>(static_cast<std::make_unsigned_t<CharT>>(c)) == separator;
}

template <class CharT>
std::size_t Length(const CharT* text) {
  std::size_t n = 0;
  while (text[n] != CharT(0)) ++n;
  return n;
}

constexpr std::int64_t kSaturation = std::int64_t{INT32_MAX} + 1;

// Skips blanks, takes a sign and digits with thousands separators between
// them; the integer part (saturated past 32 bits) and where it stopped.
template <class CharT>
const CharT* ScanInteger(const CharT* p, const NumberSeparators& separators, bool* negative, std::int64_t* magnitude) {
  while (IsBlank(*p)) ++p;
  *negative = *p == CharT('-');
  if (*negative) ++p;
  *magnitude = 0;
  for (;; ++p) {
    if (IsDigit(*p)) {
      *magnitude = std::min(*magnitude * 10 + (*p - CharT('0')), kSaturation);
    } else if (!Is(*p, separators.thousands)) {
      break;
    }
  }
  return p;
}

template <class CharT>
const CharT* SkipBlanks(const CharT* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

template <class CharT>
CharT Finish(const CharT* p) {
  return *SkipBlanks(p);
}

}  // namespace

template <class CharT>
int InsertThousands(CharT* text, std::size_t capacity, const NumberSeparators& separators) {
  if (text == nullptr || capacity == 0) return -1;
  std::size_t length = Length(text);
  while (length > 0 && IsBlank(text[length - 1])) --length;
  if (length == 0) {
    if (capacity < 2) return -1;
    text[0] = CharT('0');
    text[1] = CharT(0);
    return 1;
  }
  std::size_t start = text[0] == CharT('-') ? 1 : 0;
  std::size_t digits = 0;
  while (start + digits < length && IsDigit(text[start + digits])) ++digits;
  const std::size_t inserts = separators.thousands == 0 || digits == 0 ? 0 : (digits - 1) / 3;
  if (length + inserts + 1 > capacity) return -1;

  text[length + inserts] = CharT(0);
  if (inserts == 0) return static_cast<int>(length);
  // Moved right to left so nothing is overwritten before it is copied.
  for (std::size_t i = length; i > start + digits; --i) text[i - 1 + inserts] = text[i - 1];
  std::size_t to = start + digits + inserts;
  for (std::size_t k = 0; k < digits; ++k) {
    text[--to] = text[start + digits - 1 - k];
    if (k % 3 == 2 && k + 1 < digits) text[--to] = static_cast<CharT>(separators.thousands);
  }
  return static_cast<int>(length + inserts);
}

template <class CharT>
CharT ParseNumber(const CharT* text, std::int32_t* value, const NumberSeparators& separators) {
  if (value != nullptr) *value = 0;
  if (text == nullptr) return CharT(0);
  bool negative = false;
  std::int64_t magnitude = 0;
  const CharT* stop = ScanInteger(text, separators, &negative, &magnitude);
  const std::int64_t signedValue = negative ? -magnitude : std::min(magnitude, kSaturation - 1);
  if (value != nullptr) *value = static_cast<std::int32_t>(signedValue);
  return Finish(stop);
}

template <class CharT>
CharT ParseDecimal(const CharT* text, double* value, const NumberSeparators& separators) {
  return ParseDecimalAt(text, value, separators, static_cast<const CharT**>(nullptr));
}

template <class CharT>
CharT ParseDecimalAt(const CharT* text, double* value, const NumberSeparators& separators, const CharT** stop) {
  if (value != nullptr) *value = 0.0;
  if (stop != nullptr) *stop = nullptr;
  if (text == nullptr) return CharT(0);
  const CharT* p = text;
  while (IsBlank(*p)) ++p;
  const bool negative = *p == CharT('-');
  if (negative) ++p;
  double whole = 0.0;
  double fraction = 0.0;
  double scale = 1.0;
  bool inFraction = false;
  for (;; ++p) {
    if (IsDigit(*p)) {
      const int digit = *p - CharT('0');
      if (inFraction) {
        scale /= 10.0;
        fraction += digit * scale;
      } else {
        whole = whole * 10.0 + digit;
      }
    } else if (!inFraction && Is(*p, separators.decimal)) {
      inFraction = true;
    } else if (!Is(*p, separators.thousands)) {
      break;
    }
  }
  const double result = whole + fraction;
  if (value != nullptr) *value = negative ? -result : result;
  p = SkipBlanks(p);
  if (stop != nullptr) *stop = p;
  return *p;
}

template <class CharT>
std::int32_t MetricFromText(const CharT* text) {
  if (text == nullptr) return 0;
  const CharT* p = text;
  while (IsBlank(*p)) ++p;
  const bool negative = *p == CharT('-');
  if (negative || *p == CharT('+')) ++p;
  std::int64_t magnitude = 0;
  for (; IsDigit(*p); ++p) magnitude = std::min(magnitude * 10 + (*p - CharT('0')), kSaturation);
  return static_cast<std::int32_t>(negative ? -magnitude : std::min(magnitude, kSaturation - 1));
}

template int InsertThousands<char>(char*, std::size_t, const NumberSeparators&);
template int InsertThousands<wchar_t>(wchar_t*, std::size_t, const NumberSeparators&);
template char ParseNumber<char>(const char*, std::int32_t*, const NumberSeparators&);
template wchar_t ParseNumber<wchar_t>(const wchar_t*, std::int32_t*, const NumberSeparators&);
template char ParseDecimal<char>(const char*, double*, const NumberSeparators&);
template wchar_t ParseDecimal<wchar_t>(const wchar_t*, double*, const NumberSeparators&);
template char ParseDecimalAt<char>(const char*, double*, const NumberSeparators&, const char**);
template wchar_t ParseDecimalAt<wchar_t>(const wchar_t*, double*, const NumberSeparators&, const wchar_t**);
template std::int32_t MetricFromText<char>(const char*);
template std::int32_t MetricFromText<wchar_t>(const wchar_t*);

}  // namespace quill
