#include "twpitchs/anti_alias.h"

#include <cmath>
#include <numbers>

#include "dsp/interp_kernel.h"

namespace quill {

namespace {

// The analog prototype's poles for a 1 rad/s band edge: one of each
// conjugate pair.
constexpr double kPoles[4][2] = {
    {-0.32165, 0.205314},
    {-0.272682, 0.584684},
    {-0.1822, 0.875041},
    {-0.06398, 1.032181},
};

}  // namespace

void AntiAliasFilter::Design(double edge) {
  using C = std::complex<double>;
  const double warped = 2.0 * std::tan(0.9 * kPiApprox * edge);

  C poles[kOrder];
  for (int i = 0; i < 4; ++i) {
    poles[2 * i] = C(kPoles[i][0], kPoles[i][1]) * warped;
    poles[2 * i + 1] = C(kPoles[i][0], -kPoles[i][1]) * warped;
  }

  // Gain at 0 Hz: the ripple's top, +0.1 dB.
  C product(1.0, 0.0), bilinearDenominator(1.0, 0.0);
  for (const C& p : poles) {
    product *= p;
    bilinearDenominator *= 2.0 - p;
  }
  const double gain = std::abs(std::pow(10.0, 0.005) * product);

  // Denominator: the product of (1 - z_k z^-1) over the mapped poles.
  C a[kOrder + 1] = {C(1.0, 0.0)};
  for (const C& p : poles) {
    const C z = (2.0 + p) / (2.0 - p);
    for (int j = kOrder; j > 0; --j) a[j] -= z * a[j - 1];
  }

  // Numerator: g (1 + z^-1)^8.
  const double g = gain / bilinearDenominator.real();
  double binomial = 1.0;
  b0_ = g;
  for (int j = 1; j <= kOrder; ++j) {
    binomial = binomial * (kOrder - j + 1) / j;
    b_[j - 1] = g * binomial;
    feedback_[j - 1] = -a[j].real();
  }
  Clear();
}

void AntiAliasFilter::Clear() {
  for (auto& channel : state_)
    for (double& s : channel) s = 0.0;
}

bool AntiAliasFilter::StateFinite() const {
  bool finite = true;
  for (const auto& channel : state_)
    for (const double v : channel) finite = finite && std::isfinite(v);
  return finite;
}

std::complex<double> AntiAliasFilter::Response(double frequency) const {
  using C = std::complex<double>;
  const C zInv = std::polar(1.0, -2.0 * std::numbers::pi * frequency);
  C num(b0_, 0.0), den(1.0, 0.0), power(1.0, 0.0);
  for (int k = 0; k < kOrder; ++k) {
    power *= zInv;
    num += b_[k] * power;
    den -= feedback_[k] * power;
  }
  return num / den;
}

}  // namespace quill
