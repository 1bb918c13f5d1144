#include "twctllib/meter_rules.h"

#include <cmath>
#include <cwchar>

namespace quill {

std::int32_t LevelTenths(std::int32_t level, std::int32_t fullScale) {
  if (level <= 0 || fullScale < 1) return kMinusInfinity;
  return static_cast<std::int32_t>(std::lround(200.0 * std::log10(static_cast<double>(level) / fullScale)));
}

std::int32_t ScaleOffset(std::int32_t tenths, std::int32_t bottom, std::int32_t travel) {
  if (travel <= 0 || tenths <= bottom) return 0;
  if (tenths >= 0 || bottom >= 0) return travel;
  return static_cast<std::int32_t>((std::int64_t{tenths} - bottom) * travel / -std::int64_t{bottom});
}

namespace {

bool Beats(std::int32_t level, std::int32_t peak, bool smallest) {
  return smallest ? level < peak : level > peak;
}

bool HeldLongEnough(const MeterChannel& channel, std::uint32_t now, std::uint32_t holdMs) {
  // Unsigned difference: right across the tick counter's wrap.
  return holdMs > 0 && now - channel.peakTime >= holdMs;
}

void Take(MeterChannel& channel, std::uint32_t now) {
  channel.peak = channel.level;
  channel.peakTime = now;
}

void SetText(MeterText& out, const wchar_t* text, bool numeric) {
  out.length = 0;
  while (text[out.length] != L'\0' && out.length < kMeterFormatCapacity - 1) {
    out.text[out.length] = text[out.length];
    ++out.length;
  }
  out.text[out.length] = L'\0';
  out.numeric = numeric;
}

}  // namespace

void ApplyLevel(MeterChannel& channel, std::int32_t level, bool smallest, std::uint32_t now, std::uint32_t holdMs) {
  if (level < 0) {
    channel = MeterChannel{};
    return;
  }
  channel.level = level;
  if (channel.peak < 0 || Beats(level, channel.peak, smallest) || HeldLongEnough(channel, now, holdMs)) {
    Take(channel, now);
  }
}

bool ExpirePeak(MeterChannel& channel, std::uint32_t now, std::uint32_t holdMs) {
  if (channel.level < 0 || channel.peak == channel.level || !HeldLongEnough(channel, now, holdMs)) return false;
  Take(channel, now);
  return true;
}

void ResetPeak(MeterChannel& channel, std::uint32_t now) {
  Take(channel, now);
}

bool Clipped(const MeterChannel& channel, std::int32_t clipLevel, bool smallest) {
  return !smallest && channel.peak > clipLevel;
}

MeterText PeakLabel(const MeterChannel& channel, const MeterScale& scale) {
  MeterText label;
  if (channel.peak < 0) return label;
  if (Clipped(channel, scale.clipLevel, scale.smallest)) {
    SetText(label, L"Clip", false);
    return label;
  }
  const std::int32_t tenths = LevelTenths(channel.peak, scale.fullScale);
  if (tenths == kMinusInfinity || tenths < scale.bottom) {
    SetText(label, L"-Inf.", false);
    return label;
  }
  // Split by hand: -0.5 dB must keep its sign, which a whole part of 0 loses.
  const std::int32_t magnitude = tenths < 0 ? -tenths : tenths;
  const int written = std::swprintf(label.text, kMeterFormatCapacity, tenths < 0 ? L"-%d.%d" : L"%d.%d",
                                    static_cast<int>(magnitude / 10), static_cast<int>(magnitude % 10));
  label.length = written > 0 ? written : 0;
  label.text[label.length] = L'\0';
  label.numeric = label.length > 0;
  return label;
}

void FitLabel(MeterText& label, std::int32_t width, std::int32_t room) {
  if (!label.numeric || width <= room || label.length <= 2) return;
  label.length -= 2;
  label.text[label.length] = L'\0';
}

bool ValidNumberFormat(const wchar_t* format) {
  if (format == nullptr || std::wcslen(format) >= kMeterFormatCapacity) return false;
  int conversions = 0;
  for (const wchar_t* p = format; *p != L'\0'; ++p) {
    if (*p != L'%') continue;
    if (*++p == L'%') continue;
    while (*p != L'\0' && std::wcschr(L"-+ #0", *p) != nullptr) ++p;
    // Two digits of width and of precision at most: the figure must fit a
    // label-sized buffer.
    for (int digits = 0; *p >= L'0' && *p <= L'9'; ++p)
      if (++digits > 2) return false;
    if (*p == L'.') {
      ++p;
      for (int digits = 0; *p >= L'0' && *p <= L'9'; ++p)
        if (++digits > 2) return false;
    }
    if (*p == L'\0' || std::wcschr(L"fFeEgG", *p) == nullptr) return false;
    ++conversions;
  }
  return conversions == 1;
}

MeterText MarkText(const wchar_t* format, std::int32_t tenths) {
  MeterText text;
  const int written = std::swprintf(text.text, kMeterFormatCapacity, format, tenths / 10.0);
  text.length = written > 0 && written < kMeterFormatCapacity ? written : 0;
  text.text[text.length] = L'\0';
  return text;
}

MarkList ScaleMarks(std::int32_t bottom, std::int32_t travel, std::int32_t spacing) {
  MarkList marks;
  if (travel <= 0 || bottom >= 0) return marks;
  static const std::int32_t kSteps[] = {10, 20, 30, 50, 100, 200, 300, 600};
  marks.step = 0;
  for (std::int32_t step : kSteps) {
    if (std::int64_t{step} * travel / -std::int64_t{bottom} >= spacing) {
      marks.step = step;
      break;
    }
  }
  if (marks.step == 0) {  // even 60 dB steps crowd: 0 dB alone
    marks.count = 1;
    return marks;
  }
  for (std::int32_t t = 0; t >= bottom && marks.count < kMeterMaxMarks; t -= marks.step)
    marks.tenths[marks.count++] = t;
  return marks;
}

MeterLayout ComputeMeterLayout(std::int32_t along, std::int32_t across, int channels, std::int32_t labelLength,
                               std::int32_t scaleBreadth) {
  MeterLayout layout;
  if (channels < 1 || channels > kMeterMaxChannels || labelLength < 0 || scaleBreadth < 0) return layout;
  layout.labelStart = along - labelLength;
  layout.labelEnd = along;
  layout.clipEnd = layout.labelStart - (labelLength > 0 ? 1 : 0);
  layout.clipStart = layout.clipEnd - kClipBoxLength;
  layout.travel = layout.clipStart - 1;
  // A scale that leaves the channels too narrow goes first.
  std::int32_t breadth = (across - scaleBreadth - (channels - 1)) / channels;
  if (breadth < 2) {
    scaleBreadth = 0;
    breadth = (across - (channels - 1)) / channels;
  }
  if (breadth < 2 || layout.travel < 8) return layout;
  layout.scaleBreadth = scaleBreadth;
  for (int i = 0; i < channels; ++i) {
    layout.channelStart[i] = scaleBreadth + i * (breadth + 1);
    layout.channelEnd[i] = layout.channelStart[i] + breadth;
  }
  layout.tooSmall = false;
  return layout;
}

int ChannelAt(const MeterLayout& layout, int channels, std::int32_t across) {
  if (layout.tooSmall) return -1;
  for (int i = 0; i < channels && i < kMeterMaxChannels; ++i)
    if (across >= layout.channelStart[i] && across < layout.channelEnd[i]) return i;
  return -1;
}

}  // namespace quill
