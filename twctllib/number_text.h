// Number texts of the edit fields, with the locale's separators: thousands
// grouping for display, and the lenient parsing of what a user typed
// (blanks around, a minus sign, thousands separators anywhere).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

// One character each; a separator of 0 means the locale has none.
struct NumberSeparators {
  wchar_t decimal = L'.';
  wchar_t thousands = L',';
  wchar_t list = L',';
};

// Edits a zero-terminated number text in place in a buffer of capacity
// characters: trailing blanks and tabs go, the thousands separator goes in
// before each group of three digits of the integer part, an empty text
// becomes "0". Returns the new length, or -1 (text untouched) if the result
// would not fit.
template <class CharT>
int InsertThousands(CharT* text, std::size_t capacity, const NumberSeparators& separators);

// Reads a whole number: value is set (0 for a missing or empty text) and the
// character where reading stopped is returned, after any trailing blanks; 0
// means the whole text was a number. Values beyond 32 bits saturate.
template <class CharT>
CharT ParseNumber(const CharT* text, std::int32_t* value, const NumberSeparators& separators);

// As ParseNumber, with one decimal separator allowed.
template <class CharT>
CharT ParseDecimal(const CharT* text, double* value, const NumberSeparators& separators);

// As ParseDecimal, and `stop` (when given) is set to where reading stopped,
// after any trailing blanks, so that a caller can read on from there (a
// running time's fields after each ':'). A missing text leaves it null.
template <class CharT>
CharT ParseDecimalAt(const CharT* text, double* value, const NumberSeparators& separators, const CharT** stop);

// A value of the host editor's settings file: empty gives 0, anything else
// its leading decimal integer (saturating at 32 bits).
template <class CharT>
std::int32_t MetricFromText(const CharT* text);

}  // namespace quill
