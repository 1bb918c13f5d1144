// The level meter's rules: a linear level on a dB scale whose top is full
// scale, the held peak (largest or smallest, timed or held until reset), the
// peak label and its shortening, the scale marks, and where the parts of the
// meter lie. Portable, so the window procedure and the tests share them.
#pragma once

#include <cstdint>

namespace quill {

// Below the bottom of any scale: silence, or a cleared channel.
inline constexpr std::int32_t kMinusInfinity = INT32_MIN;
inline constexpr std::int32_t kNoLevel = -1;  // a cleared channel's level and peak
inline constexpr int kMeterMaxChannels = 16;
// The bottom of the scale, in tenths of a dB.
inline constexpr std::int32_t kMeterLowestBottom = -1200;
inline constexpr std::int32_t kMeterHighestBottom = -10;
inline constexpr int kMeterFormatCapacity = 32;  // number format, with its terminator
inline constexpr int kMeterMaxMarks = 121;       // 1 dB steps down to -120 dB

// Tenths of a dB of a level against full scale (20 log10, rounded);
// kMinusInfinity for 0, a cleared level or a full scale below 1.
std::int32_t LevelTenths(std::int32_t level, std::int32_t fullScale);

// Pixels from the bottom of the scale for a dB value: 0 at or below the
// bottom, the whole travel at or above 0 dB, linear in dB between.
std::int32_t ScaleOffset(std::int32_t tenths, std::int32_t bottom, std::int32_t travel);

struct MeterChannel {
  std::int32_t level = kNoLevel;
  std::int32_t peak = kNoLevel;
  std::uint32_t peakTime = 0;  // milliseconds, when the peak was last taken
};

// A new level: negative clears level and peak. The peak follows the largest
// (or, with `smallest`, the smallest) value; once it has been held for
// holdMs (0: until reset) it falls back to the level.
void ApplyLevel(MeterChannel& channel, std::int32_t level, bool smallest, std::uint32_t now, std::uint32_t holdMs);
// The timed fall-back alone, for when no new level comes; true if it fell.
bool ExpirePeak(MeterChannel& channel, std::uint32_t now, std::uint32_t holdMs);
// The held peak starts again from the current level.
void ResetPeak(MeterChannel& channel, std::uint32_t now);

// Above the clip level, and only where the peak follows the largest value.
bool Clipped(const MeterChannel& channel, std::int32_t clipLevel, bool smallest);

struct MeterText {
  wchar_t text[kMeterFormatCapacity] = {};
  int length = 0;
  bool numeric = false;  // a dB figure, which may be shortened
};

struct MeterScale {
  std::int32_t fullScale = 32768;
  std::int32_t clipLevel = 32767;
  std::int32_t bottom = -600;
  bool smallest = false;
};

// The label of a channel's held peak: "Clip", "-Inf." below the bottom of
// the scale, else the dB figure in tenths ("-6.0"); empty for a cleared
// channel.
MeterText PeakLabel(const MeterChannel& channel, const MeterScale& scale);
// A dB figure wider than its room loses its last two characters ("-12").
void FitLabel(MeterText& label, std::int32_t width, std::int32_t room);

// A number format for the scale's figures: one conversion of a double
// (%f, %e or %g, with flags, width and precision), "%%" anywhere, and room
// for it in kMeterFormatCapacity.
bool ValidNumberFormat(const wchar_t* format);
// The scale figure of a mark, through a format ValidNumberFormat accepted.
MeterText MarkText(const wchar_t* format, std::int32_t tenths);

// Marks from 0 dB down to the bottom at the finest of 1, 2, 3, 5, 10, 20,
// 30 or 60 dB steps that keeps them spacing pixels apart (at least one: 0 dB).
struct MarkList {
  int count = 0;
  std::int32_t step = 0;
  std::int32_t tenths[kMeterMaxMarks] = {};
};
MarkList ScaleMarks(std::int32_t bottom, std::int32_t travel, std::int32_t spacing);

// Where things lie, measured along the bars (from their bottom end) and
// across them (from the scale's side). The scale strip comes first across,
// then the channels with a pixel between them; along, the bar's travel,
// a gap, the clip box, and the label strip at the far end.
inline constexpr std::int32_t kClipBoxLength = 4;
struct MeterLayout {
  bool tooSmall = true;
  std::int32_t travel = 0;  // along, from 0
  std::int32_t clipStart = 0, clipEnd = 0;
  std::int32_t labelStart = 0, labelEnd = 0;  // empty without labels
  std::int32_t scaleBreadth = 0;              // across, from 0; 0 without a scale
  std::int32_t channelStart[kMeterMaxChannels] = {};
  std::int32_t channelEnd[kMeterMaxChannels] = {};
};
MeterLayout ComputeMeterLayout(std::int32_t along, std::int32_t across, int channels, std::int32_t labelLength,
                               std::int32_t scaleBreadth);
// The channel a point across the meter falls in, or -1.
int ChannelAt(const MeterLayout& layout, int channels, std::int32_t across);

}  // namespace quill
