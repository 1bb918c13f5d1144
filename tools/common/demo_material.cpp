#include "tools/common/demo_material.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quill {

namespace {

// Small deterministic generator so the material is identical on every build.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed) {}
  double Next() {  // uniform in [-1, 1)
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<std::int32_t>(state_) / 2147483648.0;
  }

 private:
  std::uint32_t state_;
};

// A plucked string: a noise-filled loop averaged on every pass.
void Pluck(std::vector<double>& mix, std::size_t start, double hz, double seconds, std::uint32_t rate, Lcg& rng) {
  const auto period = static_cast<std::size_t>(std::max(2.0, rate / hz));
  std::vector<double> loop(period);
  for (double& v : loop) v = rng.Next();
  const auto length = static_cast<std::size_t>(seconds * rate);
  std::size_t at = 0;
  for (std::size_t i = 0; i < length && start + i < mix.size(); ++i) {
    const std::size_t next = (at + 1) % period;
    const double v = loop[at];
    loop[at] = 0.996 * 0.5 * (loop[at] + loop[next]);
    mix[start + i] += 0.45 * v;
    at = next;
  }
}

// A short burst of noise, smoothed a little, with a fast attack and an exponential fall.
void NoiseBurst(std::vector<double>& mix, std::size_t start, double seconds, std::uint32_t rate, Lcg& rng) {
  const auto length = static_cast<std::size_t>(seconds * rate);
  double smooth = 0.0;
  for (std::size_t i = 0; i < length && start + i < mix.size(); ++i) {
    smooth = 0.7 * smooth + 0.3 * rng.Next();
    const double t = static_cast<double>(i) / rate;
    const double env = std::min(1.0, t * 400.0) * std::exp(-t * 18.0);
    mix[start + i] += 0.6 * env * smooth;
  }
}

}  // namespace

WavData MakeDemoMaterial(std::uint32_t rate) {
  std::vector<double> mix(static_cast<std::size_t>(rate) * 4, 0.0);
  Lcg rng(0x5EED1234u);
  const double notes[] = {220.0, 277.18, 329.63, 440.0, 329.63, 277.18};
  for (int i = 0; i < 6; ++i) Pluck(mix, static_cast<std::size_t>(i * 0.4 * rate), notes[i], 1.2, rate, rng);
  NoiseBurst(mix, static_cast<std::size_t>(2.6 * rate), 0.25, rate, rng);
  NoiseBurst(mix, static_cast<std::size_t>(3.1 * rate), 0.15, rate, rng);

  WavData out;
  out.format = MakeFormat(1, 1, rate, 16);
  out.bytes.resize(mix.size() * 2);
  for (std::size_t i = 0; i < mix.size(); ++i) {
    const double v = std::clamp(mix[i], -1.0, 1.0 - 1.0 / 32768);
    const auto s = static_cast<std::int16_t>(std::lround(v * 32767.0));
    out.bytes[2 * i] = static_cast<std::uint8_t>(s & 0xFF);
    out.bytes[2 * i + 1] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
  }
  return out;
}

WavData MakeLongMaterial(std::uint32_t seconds, std::uint16_t channels, std::uint32_t rate) {
  const std::size_t frames = static_cast<std::size_t>(rate) * seconds;
  std::vector<double> left(frames, 0.0), right(frames, 0.0);
  Lcg rng(0x60D5EEDu);
  // Four chords at 120 beats a minute: a bass note on each bar, an arpeggio
  // in eighths panned from side to side, noise bursts on the off-beats.
  const double chords[4][4] = {{110.0, 220.0, 277.18, 329.63},
                               {98.0, 196.0, 246.94, 293.66},
                               {87.31, 174.61, 220.0, 261.63},
                               {82.41, 164.81, 207.65, 246.94}};
  const double eighth = 0.25;
  const auto count = static_cast<std::size_t>(seconds / eighth);
  std::vector<double> voice(frames);
  for (std::size_t n = 0; n < count; ++n) {
    const double* chord = chords[(n / 16) % 4];
    const auto start = static_cast<std::size_t>(n * eighth * rate);
    const auto mixIn = [&](double pan, double seconds) {
      const std::size_t end = std::min(frames, start + static_cast<std::size_t>(seconds * rate));
      for (std::size_t i = start; i < end; ++i) {
        left[i] += (1.0 - pan) * voice[i];
        right[i] += pan * voice[i];
        voice[i] = 0.0;
      }
    };
    if (n % 16 == 0) {
      Pluck(voice, start, chord[0], 3.5, rate, rng);
      mixIn(0.5, 3.5);
    }
    Pluck(voice, start, chord[1 + n % 3] * (n % 8 < 4 ? 1.0 : 2.0), 1.0, rate, rng);
    mixIn(0.2 + 0.6 * static_cast<double>(n % 5) / 4.0, 1.0);
    if (n % 4 == 2) {
      NoiseBurst(voice, start, 0.12, rate, rng);
      mixIn(0.6, 0.12);
    }
  }
  WavData out;
  out.format = MakeFormat(1, channels, rate, 16);
  out.bytes.reserve(frames * 2 * channels);
  for (std::size_t i = 0; i < frames; ++i) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      const double mix = channels == 1 ? 0.5 * (left[i] + right[i]) : (c == 0 ? left[i] : right[i]);
      const double v = std::clamp(1.4 * mix, -1.0, 1.0 - 1.0 / 32768);
      const auto s = static_cast<std::int16_t>(std::lround(v * 32767.0));
      out.bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
      out.bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
  }
  return out;
}

}  // namespace quill
