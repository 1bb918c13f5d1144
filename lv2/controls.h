// The plugins' control ports, read off an effect's parameter table: one per
// field the stream reads or a user sets (not the page's own state), in the
// table's order, in real units (dB, ms or s, %, Hz, bpm, cents) with the
// table's range, switches as toggles and table rows as enumerations. The
// Turtle writer and the plugin both build their ports from here, so a port
// and the description a host reads of it cannot disagree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/field_table.h"

namespace quill::lv2 {

struct Control {
  const FieldInfo* field = nullptr;
  std::string symbol;         // a C identifier: "tapGain[3]" becomes "tapGain_3"
  std::string name;           // for people: "Gain 4", "High cut frequency"
  const char* unit = nullptr; // the LV2 unit's local name ("db", "ms", "hz"), null for plain numbers
  double perUnit = 1.0;       // raw units per port unit: 10 for a level in tenths of a dB
  float min = 0.0f, max = 0.0f, def = 0.0f;
  bool toggled = false;
  bool integer = false;  // whole port units only
  std::vector<std::pair<int, std::string>> rows;  // enumeration: port value and name

  // The raw field value a port value stands for, brought into the field's
  // range as its setter would; switches are 1 for any positive value.
  double ToRaw(float value) const;
  // The port value of a raw field value.
  float FromRaw(double raw) const;
};

// The controls of a table, their defaults taken from `defaults` (a whole
// parameter block, the effect's first preset).
std::vector<Control> Controls(FieldTable table, const void* defaults);

}  // namespace quill::lv2
