#include "twtime/time_texts.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

namespace quill {

namespace {

constexpr std::size_t kMaxTimeChars = 80;

// Whole part of a typed number, held within 32 bits.
std::int32_t Whole(double value) {
  const double t = std::trunc(value);
  if (!(t > std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (t >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(t);
}

// A count of time units for printing; nothing negative or unbounded reaches printf.
unsigned long long Count(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 1e18) return 1000000000000000000ull;
  return static_cast<unsigned long long>(value);
}

}  // namespace

std::string FramesToTime(std::uint32_t rate, double frames) {
  double ms = rate != 0 ? frames * 1000.0 / rate : 0.0;
  const double hours = std::trunc(ms / 3600000.0);
  ms -= hours * 3600000.0;
  const double minutes = std::trunc(ms / 60000.0);
  const double seconds = std::trunc((ms - minutes * 60000.0) * 0.001);
  char text[80];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu", Count(hours), Count(minutes), Count(seconds));
  return text;
}

template <class CharT>
bool ParseTime(const CharT* text, const NumberSeparators& separators, RunningTime* time) {
  if (text == nullptr || time == nullptr) return false;
  std::basic_string<CharT> kept(text, std::basic_string_view<CharT>(text).substr(0, kMaxTimeChars).size());
  int colons = 0, points = 0;
  for (CharT c : kept) {
    if (c == CharT(':')) {
      // A ':' after the fraction's separator would give a fraction to an
      // earlier part.
      if (points > 0) return false;
      ++colons;
    } else if (separators.decimal != 0 && static_cast<wchar_t>(c) == separators.decimal) {
      ++points;
    }
  }
  if (colons > 2 || points > 1) return false;

  RunningTime t;
  const CharT* p = kept.c_str();
  for (;;) {
    double value = 0.0;
    const CharT* stop = nullptr;
    const CharT c = ParseDecimalAt(p, &value, separators, &stop);
    // Each new part pushes the earlier ones up a unit.
    t.hours = t.minutes;
    t.minutes = t.seconds;
    t.seconds = Whole(value);
    t.milliseconds = Whole((value - std::trunc(value)) * 1000.0);
    if (c == CharT(0)) break;
    if (c != CharT(':')) return false;
    p = stop + 1;
  }
  *time = t;
  return true;
}

double TimeToFrames(std::uint32_t rate, const RunningTime& time) {
  const double seconds = (static_cast<double>(time.hours) * 60.0 + time.minutes) * 60.0 + time.seconds;
  return std::trunc((seconds * 1000.0 + time.milliseconds) * rate / 1000.0 + 0.999);
}

double FinalFromPercent(double percent) {
  return percent * 10.0;
}

double FinalFromTempo(std::int32_t tempoTenths, double bpm) {
  return tempoTenths / (bpm * 0.01);
}

double FinalFromFrames(double frames, double lengthSamples) {
  // A hundred frames over, so that the stretched material does not fall
  // short of the typed length by the stretcher's rounding.
  return (frames + 100.0) / lengthSamples * 1000.0;
}

double FinalTempoTenths(std::int32_t tempoTenths, double finalTenths) {
  return tempoTenths / finalTenths * 1000.0;
}

std::string TempoRangeLabel(const FieldInfo& final, std::int32_t tempoTenths, bool accelerator) {
  // The shortest final length plays fastest.
  const long long fastest = static_cast<long long>(std::trunc(tempoTenths * 1000.0 / final.lo));
  const long long slowest = static_cast<long long>(std::trunc(tempoTenths * 1000.0 / final.hi));
  char text[96];
  std::snprintf(text, sizeof text, "%sFinal tempo (%lld.%lld to %lld.%lld bpm):", accelerator ? "&" : "", fastest / 10,
                fastest % 10, slowest / 10, slowest % 10);
  return text;
}

std::string TimeRangeLabel(const FieldInfo& final, std::uint32_t rate, double lengthSamples, bool accelerator) {
  const std::string shortest = FramesToTime(rate, std::trunc(lengthSamples * (final.lo / 1000.0)));
  const std::string longest = FramesToTime(rate, std::trunc(lengthSamples * (final.hi / 1000.0)));
  return std::string(accelerator ? "&" : "") + "Final time (" + shortest + " to " + longest + "):";
}

template bool ParseTime<char>(const char*, const NumberSeparators&, RunningTime*);
template bool ParseTime<wchar_t>(const wchar_t*, const NumberSeparators&, RunningTime*);

}  // namespace quill
