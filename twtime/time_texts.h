// The time page's arithmetic: running times as the page shows and reads
// them, the conversions from a typed tempo or time to the final length,
// and the labels that state the reachable range. Portable, so that the
// rules are tested without windows.
#pragma once

#include <cstdint>
#include <string>

#include "framework/field_table.h"
#include "twctllib/number_text.h"

namespace quill {

struct RunningTime {
  std::int32_t hours = 0;
  std::int32_t minutes = 0;
  std::int32_t seconds = 0;
  std::int32_t milliseconds = 0;
};

// "hh:mm:ss" of a length in frames at `rate`; parts of a second are dropped.
std::string FramesToTime(std::uint32_t rate, double frames);

// Reads "h:m:s", "m:s" or "s", the last part with an optional fraction in
// the locale's decimal separator. False for more than two ':', more than one
// decimal separator, a ':' after it, or any other character after a number.
template <class CharT>
bool ParseTime(const CharT* text, const NumberSeparators& separators, RunningTime* time);

// The frames that cover the time at `rate`, a part frame counting as whole.
double TimeToFrames(std::uint32_t rate, const RunningTime& time);

// The final length in tenths of a percent for what was typed into the final
// field: a percentage, a tempo (against the initial tempo in tenths of a
// bpm) or a length in frames (against the initial length).
double FinalFromPercent(double percent);
double FinalFromTempo(std::int32_t tempoTenths, double bpm);
double FinalFromFrames(double frames, double lengthSamples);

// The tempo, in tenths of a bpm, that the final length makes of the initial one.
double FinalTempoTenths(std::int32_t tempoTenths, double finalTenths);

// The final field's label with the range that `final`'s limits allow: the
// fastest and slowest tempo, or the shortest and longest running time.
// `accelerator` puts the mnemonic mark in front.
std::string TempoRangeLabel(const FieldInfo& final, std::int32_t tempoTenths, bool accelerator);
std::string TimeRangeLabel(const FieldInfo& final, std::uint32_t rate, double lengthSamples, bool accelerator);

}  // namespace quill
