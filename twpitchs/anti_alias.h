// The low-pass run over the input before the resampler shifts it up: an
// eighth-order Chebyshev type I (0.1 dB ripple) mapped to the digital
// domain with the bilinear transform, its edge pre-warped to 90 % of the
// new Nyquist frequency. One direct-form II section of order eight per
// channel, both channels with the same coefficients.
#pragma once

#include <complex>
#include <cstdint>

namespace quill {

class AntiAliasFilter {
 public:
  static constexpr int kOrder = 8;

  // Designs the filter for the band edge `edge` (a fraction of the sample
  // rate, 0.5 / ratio) and clears the state of both channels.
  void Design(double edge);
  void Clear();
  // False once the state holds a NaN or an infinity, which its feedback
  // would keep for good.
  bool StateFinite() const;

  // Filters one sample of channel c (0 or 1).
  double Step(std::uint32_t c, double x) {
    double* s = state_[c];
    double w = x;
    for (int k = 0; k < kOrder; ++k) w += feedback_[k] * s[k];
    double y = b0_ * w;
    for (int k = 0; k < kOrder; ++k) y += b_[k] * s[k];
    for (int k = kOrder - 1; k > 0; --k) s[k] = s[k - 1];
    s[0] = w;
    return y;
  }

  // The designed transfer function at a frequency (a fraction of the rate).
  std::complex<double> Response(double frequency) const;

  double B0() const { return b0_; }
  double B(int k) const { return b_[k - 1]; }         // k = 1..8
  double A(int k) const { return -feedback_[k - 1]; }  // k = 1..8, a0 = 1

 private:
  double b0_ = 1.0;
  double b_[kOrder] = {};
  double feedback_[kOrder] = {};  // -a1..-a8
  double state_[2][kOrder] = {};
};

}  // namespace quill
