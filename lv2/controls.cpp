#include "lv2/controls.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace quill::lv2 {

namespace {

bool SwitchesAnother(FieldTable table, const FieldInfo& field) {
  return std::any_of(table.begin(), table.end(), [&](const FieldInfo& other) {
    return other.switchedBy != nullptr && std::strcmp(other.switchedBy, field.name) == 0;
  });
}

// "bassCut" as "Bass cut".
std::string Words(const char* name) {
  std::string out;
  for (const char* p = name; *p != '\0'; ++p) {
    const char c = *p;
    if (std::isupper(static_cast<unsigned char>(c)) && !out.empty()) {
      out += ' ';
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      out += c;
    }
  }
  if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  return out;
}

// "invert-feedback" as "Invert feedback", "gain[3]" as "Gain 4": the pages
// count taps from one.
std::string Said(const char* friendly) {
  std::string out;
  for (const char* p = friendly; *p != '\0'; ++p) {
    if (*p == '-') {
      out += ' ';
    } else if (*p == '[') {
      out += ' ' + std::to_string(std::atoi(p + 1) + 1);
      while (*p != '\0' && *p != ']') ++p;
      if (*p == '\0') break;
    } else {
      out += *p;
    }
  }
  if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  return out;
}

std::string Symbol(const char* name) {
  std::string out;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '[') out += '_';
    else if (*p != ']') out += *p;
  }
  return out;
}

// Raw units per port unit: a whole number wherever the step is a power of ten.
double PerUnit(double portUnitInBase, double step) {
  const double q = portUnitInBase / step;
  const double whole = std::round(q);
  return std::fabs(q - whole) < 1e-9 * whole ? whole : q;
}

}  // namespace

double Control::ToRaw(float value) const {
  double v = std::isnan(value) ? def : std::clamp(value, min, max);
  if (toggled) return v > 0.0 ? 1.0 : 0.0;
  double raw = v * perUnit;
  if (field->type == FieldType::Int32) {
    auto whole = static_cast<std::int32_t>(std::nearbyint(raw));
    LimitValue(*field, whole);
    return whole;
  }
  LimitValue(*field, raw);
  return raw;
}

float Control::FromRaw(double raw) const {
  return static_cast<float>(toggled ? (raw != 0.0 ? 1.0 : 0.0) : raw / perUnit);
}

std::vector<Control> Controls(FieldTable table, const void* defaults) {
  std::vector<Control> controls;
  for (const FieldInfo& field : table) {
    if (field.use == FieldUse::PageOnly || field.use == FieldUse::Driven) continue;
    Control c;
    c.field = &field;
    c.symbol = Symbol(field.name);
    const bool isSwitch = field.quantity == Quantity::OnOff || SwitchesAnother(table, field);
    if (isSwitch && field.friendly == nullptr) c.name = Words(field.name);
    else if (field.switchedBy != nullptr) c.name = Words(field.switchedBy) + " frequency";
    else c.name = field.friendly != nullptr ? Said(field.friendly) : Words(field.name);

    double lo = 0.0, hi = 1.0;
    if (isSwitch) {
      c.toggled = true;
      c.integer = true;
    } else {
      switch (field.quantity) {
        case Quantity::Level: c.unit = "db"; c.perUnit = PerUnit(1.0, field.step); break;
        case Quantity::Time:
          if (field.step < 0.1) {
            c.unit = "ms";
            c.perUnit = PerUnit(0.001, field.step);
          } else {
            c.unit = "s";
            c.perUnit = PerUnit(1.0, field.step);
          }
          break;
        case Quantity::Percent: c.unit = "pc"; c.perUnit = PerUnit(1.0, field.step); break;
        case Quantity::Frequency: c.unit = "hz"; c.perUnit = PerUnit(1.0, field.step); break;
        case Quantity::Tempo: c.unit = "bpm"; c.perUnit = PerUnit(1.0, field.step); break;
        case Quantity::Cents: c.unit = "cent"; c.perUnit = PerUnit(1.0, field.step); break;
        case Quantity::None:
        case Quantity::OnOff: break;
      }
      ControlReach(field, lo, hi);
      c.integer = field.type == FieldType::Int32 && c.perUnit == 1.0;
      if (field.range == FieldRange::Table && field.rowName != nullptr)
        for (int row = static_cast<int>(field.lo); row <= static_cast<int>(field.hi); ++row)
          if (const char* rowName = field.rowName(row)) c.rows.emplace_back(row, rowName);
    }
    c.min = c.FromRaw(lo);
    c.max = c.FromRaw(hi);
    c.def = std::clamp(c.FromRaw(ReadFieldValue(defaults, field)), c.min, c.max);
    controls.push_back(std::move(c));
  }
  return controls;
}

}  // namespace quill::lv2
