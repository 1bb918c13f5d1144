#include "framework/field_units.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quill {

namespace {

struct Unit {
  Quantity quantity;
  const char* name;
  double factor;  // base units per one of these
};

// The first unit of each quantity is its base unit.
constexpr Unit kUnits[] = {
    {Quantity::Time, "s", 1.0},    {Quantity::Time, "ms", 0.001},    {Quantity::Level, "dB", 1.0},
    {Quantity::Percent, "%", 1.0}, {Quantity::Frequency, "Hz", 1.0}, {Quantity::Frequency, "kHz", 1000.0},
    {Quantity::Tempo, "bpm", 1.0}, {Quantity::Cents, "cents", 1.0},
};

bool SameText(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Fewest decimals that show `x` exactly, up to six.
int Decimals(double x) {
  for (int n = 0; n < 6; ++n) {
    const double v = std::abs(x) * std::pow(10.0, n);
    if (std::abs(v - std::round(v)) < 1e-6 * std::max(1.0, v)) return n;
  }
  return 6;
}

std::string Fixed(double x, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, x);
  std::string s = text;
  // A value that rounds to zero has no sign.
  if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
  return s;
}

// Without trailing zeros after the point, nor the point itself.
std::string Trimmed(double x, int decimals) {
  std::string s = Fixed(x, decimals);
  if (s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

// A time whose range reaches a second is read in seconds, a shorter one in ms.
double TimeScale(const FieldInfo& f) {
  const bool ranged = f.range == FieldRange::Clamped || f.range == FieldRange::Ceiling;
  return !ranged || f.hi * f.step >= 1.0 ? 1.0 : 0.001;
}

// The unit RealText writes `raw` in and base units per one of it.
Unit ShownIn(const FieldInfo& f, double raw) {
  if (f.quantity == Quantity::Time && TimeScale(f) < 1.0) return kUnits[1];
  if (f.quantity == Quantity::Frequency && std::abs(raw * f.step) >= 1000.0) return kUnits[5];
  for (const Unit& u : kUnits)
    if (u.quantity == f.quantity) return u;
  return Unit{Quantity::None, "", 1.0};
}

// "lo..hi unit" when both texts end in the same unit.
std::string Span(const std::string& lo, const std::string& hi) {
  const std::size_t a = lo.rfind(' '), b = hi.rfind(' ');
  if (a != std::string::npos && b != std::string::npos && lo.substr(a) == hi.substr(b))
    return lo.substr(0, a) + ".." + hi;
  return lo + ".." + hi;
}

}  // namespace

const char* BaseUnit(Quantity q) {
  for (const Unit& u : kUnits)
    if (u.quantity == q) return u.name;
  return "";
}

double UnitFactor(Quantity q, std::string_view unit) {
  for (const Unit& u : kUnits)
    if (u.quantity == q && SameText(unit, u.name)) return u.factor;
  return 0.0;
}

std::string UnitNames(Quantity q) {
  std::string names;
  for (const Unit& u : kUnits)
    if (u.quantity == q) names += (names.empty() ? "" : " or ") + std::string(u.name);
  return names;
}

bool SplitNumber(std::string_view text, double& number, std::string& unit) {
  // Digits, an optional fraction and exponent; strtod alone would also take
  // hex, "inf" and leading blanks.
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const std::size_t digits = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  bool any = i > digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    const std::size_t fraction = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    any = any || i > fraction;
  }
  if (!any) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) ++j;
    const std::size_t exponent = j;
    while (j < text.size() && IsDigit(text[j])) ++j;
    if (j > exponent) i = j;
  }
  const std::string digitsText(text.substr(0, i));
  number = std::strtod(digitsText.c_str(), nullptr);
  if (!std::isfinite(number)) return false;
  while (i < text.size() && text[i] == ' ') ++i;
  unit = std::string(text.substr(i));
  return true;
}

std::string RealText(const FieldInfo& f, double raw) {
  switch (f.quantity) {
    case Quantity::None:
      return FieldValueText(f, raw);
    case Quantity::OnOff:
      return raw != 0.0 ? "on" : "off";
    case Quantity::Level:
      if (f.format == ValueFormat::Decibels && raw <= f.floor) return "-inf dB";
      break;
    default:
      break;
  }
  const Unit u = ShownIn(f, raw);
  const double value = raw * f.step / u.factor;
  const int decimals = Decimals(f.step / u.factor);
  std::string number;
  if (u.factor == 1000.0)
    number = Trimmed(value, 3);  // "4 kHz", "12.5 kHz": every hertz shows, no trailing zeros
  else if (f.type == FieldType::Double)
    number = Trimmed(value, decimals + 3);
  else
    number = Fixed(value, decimals);
  return number + " " + u.name;
}

std::string StepText(const FieldInfo& f) {
  const Unit u = ShownIn(f, 1.0);
  return Trimmed(f.step / u.factor, 6) + (*u.name != '\0' ? " " : "") + u.name;
}

std::string RealRangeText(const FieldInfo& f) {
  if (f.quantity == Quantity::None || f.quantity == Quantity::OnOff) return FieldRangeText(f);
  switch (f.range) {
    case FieldRange::Clamped:
      return Span(RealText(f, f.lo), RealText(f, f.hi));
    case FieldRange::Ceiling:
      if (f.format == ValueFormat::Decibels)
        return "at most " + RealText(f, f.hi) + ", silent at " + Fixed(f.floor * f.step, Decimals(f.step)) +
               " and below";
      return "at most " + RealText(f, f.hi);
    case FieldRange::None:
      return std::string("any, in ") + BaseUnit(f.quantity);
    case FieldRange::Table:
    case FieldRange::Positive:
      break;
  }
  return FieldRangeText(f);
}

}  // namespace quill
