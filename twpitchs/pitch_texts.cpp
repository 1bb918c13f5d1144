#include "twpitchs/pitch_texts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quill {

namespace {

constexpr std::int32_t kCent100 = 1000;  // a whole semitone in tenths of a cent

}  // namespace

std::string RatioText(double ratio) {
  const long long hundredThousandths = static_cast<long long>(std::trunc(ratio * 100000.0));
  char text[48];
  std::snprintf(text, sizeof text, "%lld.%05lld", hundredThousandths / 100000, std::llabs(hundredThousandths % 100000));
  return text;
}

MusicalInterval MusicalEquivalent(std::int32_t s, std::int32_t c, double ratio) {
  MusicalInterval m;
  // A cent shift of a whole semitone against a semitone the other way, or
  // cents short of a semitone, or a ratio this close to 1: no shift.
  if ((s == 0 && c > -kCent100 && c < kCent100) || (s == 1 && c == -kCent100) || (s == -1 && c == kCent100) ||
      (ratio > 0.998 && ratio < 1.002))
    return m;
  m.shift = true;
  m.up = ratio > 1.0;
  // A whole semitone of cents moves the interval by one, away from or
  // towards unison as the semitones point.
  int correction = 0;
  if (s > 0)
    correction = c == kCent100 ? 1 : c == -kCent100 ? -1 : 0;
  else
    correction = c == kCent100 ? -1 : c == -kCent100 ? 1 : 0;
  m.interval = std::abs((std::abs(s) + correction) % 12);
  m.sign = c > 0 && c != kCent100 ? '+' : c < 0 && c != -kCent100 ? '-' : ' ';
  return m;
}

std::string MusicalText(const MusicalInterval& m, const MusicalWords& words) {
  std::string text;
  if (!m.shift) {
    text.append(words.blank).append(" ").append(words.blank);
  } else {
    text.append(m.up ? words.up : words.down).append(" ").append(words.intervals[static_cast<std::size_t>(m.interval)]);
  }
  text += ' ';
  text += m.sign;
  return text;
}

}  // namespace quill
