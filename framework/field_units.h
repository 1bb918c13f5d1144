// Values in real units for the rows that name a quantity: text such as
// "250 ms" split into a number and a unit, and raw values written as a user
// reads them ("0.250 s", "-inf dB", "4 kHz").
#pragma once

#include <string>
#include <string_view>

#include "framework/field_table.h"

namespace quill {

// The unit a bare number means: "s", "dB", "%", "Hz", "bpm", "cents"; "" for
// quantities without one.
const char* BaseUnit(Quantity q);

// Base units per one `unit` (any case): 0.001 for "ms" as a time; 0 when
// `q` has no such unit.
double UnitFactor(Quantity q, std::string_view unit);

// The units `q` takes, for messages: "s or ms".
std::string UnitNames(Quantity q);

// A decimal number ("-3", "0.25", "1e3", no hex, no inf) and what follows it
// with the blanks between dropped: "250 ms" gives 250 and "ms". False if the
// text does not start with one.
bool SplitNumber(std::string_view text, double& number, std::string& unit);

// The raw value in real units: "0.250 s", "-3.0 dB", "-inf dB" at the floor,
// "4 kHz", "110 %", "on"; the plain number for rows without a quantity.
std::string RealText(const FieldInfo& field, double raw);

// One raw step in the unit RealText uses: "0.1 s".
std::string StepText(const FieldInfo& field);

// The range in real units: "0.001..5.000 s", "-inf..0.0 dB", "at most
// 500.0 bpm"; FieldRangeText for rows without a quantity.
std::string RealRangeText(const FieldInfo& field);

}  // namespace quill
