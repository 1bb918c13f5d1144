#include "framework/field_table.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quill {

const FieldInfo* FindField(FieldTable table, std::string_view name) {
  for (const FieldInfo& f : table)
    if (name == f.name) return &f;
  return nullptr;
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
  if (field.type == FieldType::Int32)
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
  else
    std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string FieldRangeText(const FieldInfo& field) {
  const std::string lo = FieldValueText(field, field.lo);
  const std::string hi = FieldValueText(field, field.hi);
  switch (field.range) {
    case FieldRange::Clamped:
      return lo + ".." + hi + " " + field.unit;
    case FieldRange::Table:
      return std::string(field.unit) + " " + lo + ".." + hi;
    case FieldRange::None:
      break;
  }
  return field.unit;
}

bool WithinRange(const FieldInfo& field, double value) {
  return field.range == FieldRange::None || (value >= field.lo && value <= field.hi);
}

void ApplyEdits(void* block, std::span<const FieldEdit> edits) {
  for (const FieldEdit& e : edits) WriteFieldValue(block, *e.field, e.requested);
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
