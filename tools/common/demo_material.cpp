#include "demo_material.h"

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

}  // namespace quill
