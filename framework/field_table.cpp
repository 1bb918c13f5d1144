#include "framework/field_table.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "twctllib/number_text.h"

namespace quill {

const FieldInfo* FindField(FieldTable table, std::string_view name) {
  for (const FieldInfo& f : table)
    if (name == f.name) return &f;
  return nullptr;
}

const FieldInfo* FindFriendly(FieldTable table, std::string_view name) {
  const auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  for (const FieldInfo& f : table)
    if (f.friendly != nullptr && std::ranges::equal(name, std::string_view(f.friendly), same)) return &f;
  return nullptr;
}

const FieldInfo* FieldAt(FieldTable table, std::size_t offset) {
  for (const FieldInfo& f : table)
    if (f.offset == offset) return &f;
  return nullptr;
}

namespace {

// Clamped rows bring a value below lo up (a NaN too) and one above hi down;
// Ceiling rows only the latter.
template <class T>
bool Limit(const FieldInfo& field, T& value) {
  if (field.range != FieldRange::Clamped && field.range != FieldRange::Ceiling) return false;
  const auto lo = static_cast<T>(field.lo), hi = static_cast<T>(field.hi);
  if (field.range == FieldRange::Clamped && !(value >= lo)) {
    value = lo;
    return true;
  }
  if (value > hi) {
    value = hi;
    return true;
  }
  return false;
}

template <class T>
bool LimitInBlock(const FieldInfo& field, unsigned char* block) {
  T v;
  std::memcpy(&v, block + field.offset, sizeof v);
  if (!Limit(field, v)) return false;
  std::memcpy(block + field.offset, &v, sizeof v);
  return true;
}

}  // namespace

bool LimitValue(const FieldInfo& field, std::int32_t& value) {
  return Limit(field, value);
}

bool LimitValue(const FieldInfo& field, double& value) {
  return Limit(field, value);
}

namespace {

// A Positive field has no nearest value to clamp a zero, a negative, a NaN
// or an infinity to: the smallest positive double is as unplayable as zero.
// So a whole block keeps the value already stored, as the field's setter
// does when it refuses, takes the rest of the block, and reports the change
// as a clamp: the set answers E_FAIL and the engine keeps running.
template <class T>
bool KeepPositive(const FieldInfo& field, unsigned char* block, const unsigned char* current) {
  T v;
  std::memcpy(&v, block + field.offset, sizeof v);
  if (v > 0 && std::isfinite(static_cast<double>(v))) return false;
  std::memcpy(block + field.offset, current + field.offset, sizeof v);
  return true;
}

}  // namespace

double PlayedValue(const FieldInfo& field, double value) {
  if (field.range != FieldRange::Table && field.range != FieldRange::Positive) return value;
  if (value >= field.lo && value <= field.hi) return value;
  if (field.playsOther) return field.other;
  return value > field.hi ? field.hi : field.lo;
}

void PlayBlock(FieldTable table, void* block) {
  for (const FieldInfo& f : table)
    if (f.range == FieldRange::Table || f.range == FieldRange::Positive)
      WriteFieldValue(block, f, PlayedValue(f, ReadFieldValue(block, f)));
}

bool ClampBlock(FieldTable table, void* block, const void* current) {
  bool clamped = false;
  auto* bytes = static_cast<unsigned char*>(block);
  const auto* kept = static_cast<const unsigned char*>(current);
  for (const FieldInfo& f : table) {
    if (f.range == FieldRange::Positive) {
      clamped |= f.type == FieldType::Double ? KeepPositive<double>(f, bytes, kept)
                                             : KeepPositive<std::int32_t>(f, bytes, kept);
      continue;
    }
    clamped |= f.type == FieldType::Double ? LimitInBlock<double>(f, bytes) : LimitInBlock<std::int32_t>(f, bytes);
  }
  return clamped;
}

std::string ValueText(const FieldInfo& field, std::int32_t value, char thousands) {
  char text[48];
  // Magnitudes and their parts as the pages print them: a value between -1
  // and 0 still shows its minus sign.
  const long long v = value;
  const long long m = v < 0 ? -v : v;
  const auto tenths = [&](const char* unit) {
    std::snprintf(text, sizeof text, "%s%lld.%lld%s", v < 0 ? "-" : "", m / 10, m % 10, unit);
    return std::string(text);
  };
  switch (field.format) {
    case ValueFormat::Decibels:
      return value <= field.floor ? "-Inf. dB" : tenths(" dB");
    case ValueFormat::Tenths:
      return tenths("");
    case ValueFormat::TenthsSec:
      return tenths(" sec.");
    case ValueFormat::TenthsHz:
      return tenths(" Hz");
    case ValueFormat::MsAsSeconds:
      std::snprintf(text, sizeof text, "%s%lld.%03lld", v < 0 ? "-" : "", m / 1000, m % 1000);
      return text;
    case ValueFormat::MsOrOff:
      if (value == 0) return "Off";
      std::snprintf(text, sizeof text, "%lld ms.", v);
      return text;
    case ValueFormat::Percent:
      std::snprintf(text, sizeof text, "%lld %%", v);
      return text;
    case ValueFormat::Grouped: {
      std::snprintf(text, sizeof text, "%lld", v);
      NumberSeparators separators;
      separators.thousands = static_cast<unsigned char>(thousands);
      InsertThousands(text, sizeof text, separators);
      return text;
    }
    case ValueFormat::Number:
    case ValueFormat::None:
      break;
  }
  std::snprintf(text, sizeof text, "%lld", v);
  return text;
}

double ReadFieldValue(const void* block, const FieldInfo& field) {
  const auto* at = static_cast<const unsigned char*>(block) + field.offset;
  if (field.type == FieldType::Double) {
    double v;
    std::memcpy(&v, at, sizeof v);
    return v;
  }
  std::int32_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

void WriteFieldValue(void* block, const FieldInfo& field, double value) {
  auto* at = static_cast<unsigned char*>(block) + field.offset;
  if (field.type == FieldType::Double) {
    std::memcpy(at, &value, sizeof value);
    return;
  }
  const auto v = static_cast<std::int32_t>(value);
  std::memcpy(at, &v, sizeof v);
}

bool ParseFieldValue(const FieldInfo& field, std::string_view text, double& value) {
  // strtol and strtod need a terminated string and skip leading blanks,
  // which a command-line value should not have.
  const std::string s(text);
  if (s.empty() || std::isspace(static_cast<unsigned char>(s[0]))) return false;
  char* end = nullptr;
  errno = 0;
  if (field.type == FieldType::Int32) {
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<double>(v);
    return true;
  }
  const double v = std::strtod(s.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
  value = v;
  return true;
}

std::string FieldValueText(const FieldInfo& field, double value) {
  char text[40];
  if (field.type == FieldType::Int32) {
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    return text;
  }
  // The fewest digits that read back as the same double: 0.05, not 0.050000000000000003.
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

std::string FieldRangeText(const FieldInfo& field) {
  const std::string lo = FieldValueText(field, field.lo);
  const std::string hi = FieldValueText(field, field.hi);
  switch (field.range) {
    case FieldRange::Clamped:
    case FieldRange::Positive:
      return lo + ".." + hi + " " + field.unit;
    case FieldRange::Table:
      return std::string(field.unit) + " " + lo + ".." + hi;
    case FieldRange::Ceiling:
      return std::string(field.unit) + ", at most " + hi;
    case FieldRange::None:
      break;
  }
  return field.unit;
}

void ControlReach(const FieldInfo& field, double& lowest, double& highest) {
  const bool level = field.format == ValueFormat::Decibels;
  if (field.range == FieldRange::None || field.range == FieldRange::Positive ||
      (level && field.range == FieldRange::Ceiling)) {
    lowest = field.floor;
    highest = 0.0;
  } else {
    lowest = field.lo;
    highest = field.hi;
  }
}

bool WithinRange(const FieldInfo& field, double value) {
  switch (field.range) {
    case FieldRange::None:
      return true;
    case FieldRange::Ceiling:
      return value <= field.hi;
    case FieldRange::Clamped:
    case FieldRange::Table:
    case FieldRange::Positive:
      break;
  }
  return value >= field.lo && value <= field.hi;
}

void ApplyEdits(void* block, std::span<const FieldEdit> edits) {
  for (const FieldEdit& e : edits) {
    WriteFieldValue(block, *e.field, e.requested);
    if (e.turnsOn != nullptr) WriteFieldValue(block, *e.turnsOn, 1.0);
  }
}

std::vector<FieldEdit> CheckEdits(const void* block, std::vector<FieldEdit>& edits) {
  std::vector<FieldEdit> notable;
  for (std::size_t i = 0; i < edits.size(); ++i) {
    FieldEdit& e = edits[i];
    e.stored = ReadFieldValue(block, *e.field);
    bool later = false;
    for (std::size_t j = i + 1; j < edits.size(); ++j) later = later || edits[j].field == e.field;
    if (later) continue;
    if (e.stored != e.requested || !WithinRange(*e.field, e.stored)) notable.push_back(e);
  }
  return notable;
}

}  // namespace quill
