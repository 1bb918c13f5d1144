#include "twechos/simple_delay_engine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "framework/mul_div.h"
#include "framework/sample_block.h"

namespace quill {

HRESULT SimpleDelayEngine::Reserve() {
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  // The longest delay's line, counted without the 32-bit wrap of the set-up:
  // the reservation only has to be at least as long as any line it makes.
  const double longest = FieldAt(SimpleDelayTraits::Fields(), offsetof(SimpleDelayParams, delayMs))->hi;
  const double samples = std::ceil(longest * format->sampleRate * Channels() / 1000.0) + 2.0;
  const double bytes = samples * sizeof(double);
  const std::size_t wanted =
      bytes < static_cast<double>(kLineReserveCap) ? static_cast<std::size_t>(bytes) : kLineReserveCap;
  return memory_.Reserve(wanted) ? S_OK : E_OUTOFMEMORY;
}

HRESULT SimpleDelayEngine::Configure(const SimpleDelayParams& p, bool keepHistory) {
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  const std::uint32_t channels = Channels();

  // The product wraps like the platform's 32-bit multiply; MulDiv then
  // reports an overflow as -1, which the minimum length catches.
  const auto samplesPerSecond = static_cast<std::int32_t>(format->sampleRate * channels);
  std::int32_t length = MulDiv(p.delayMs, samplesPerSecond, 1000);
  if (length <= 1) length = 2;
  const auto L = static_cast<std::uint32_t>(length);

  const double D = p.feedback != 0 ? static_cast<double>(p.decayTenths) * channels * format->sampleRate * 0.1 : 0.0;
  const double r = D / L;
  fb_ = r < 0.1 ? 0.0 : std::pow(0.0316, 1.0 / r);

  if (line_ != nullptr && lineLength_ == L) {
    if (!keepHistory) std::memset(line_, 0, sizeof(double) * L);
    return S_OK;
  }

  // A new length starts an empty line, in the memory the start reserved.
  line_ = nullptr;
  lineLength_ = 0;
  line_ = static_cast<double*>(memory_.Zeroed(sizeof(double) * static_cast<std::size_t>(L)));
  if (line_ == nullptr) return E_OUTOFMEMORY;
  lineLength_ = L;
  // A decay longer than 2^32 samples cannot be counted; the tail stops there.
  const std::uint64_t decaySamples = D >= 4294967295.0 ? 4294967295u : static_cast<std::uint64_t>(D);
  const std::uint64_t tail = std::min<std::uint64_t>((decaySamples + L) / channels, 0xFFFFFFFFu);
  for (std::uint32_t c = 0; c < 2; ++c) {
    pos_[c] = c;
    channelTail_[c] = static_cast<std::uint32_t>(tail);
  }
  return S_OK;
}

HRESULT SimpleDelayEngine::SetUp(const SimpleDelayParams& p, ProcessMode mode) {
  gainDelay_ = DbToGain(p.delayOut, -800);
  gainDry_ = DbToGain(p.dryOut, -800);
  const HRESULT hr = Configure(p, mode != ProcessMode::Discontinuity);
  ready_ = SUCCEEDED(hr) ? 1 : 0;
  return hr;
}

void SimpleDelayEngine::ReleaseLine() {
  memory_.Release();
  line_ = nullptr;
  lineLength_ = 0;
  ready_ = 0;  // the next buffer sets the line up again
}

namespace {

// `count` of the line's L values from `at` on, wrapping at its end.
bool SpanFinite(const double* line, std::uint32_t L, std::uint32_t at, std::uint64_t count) {
  if (count >= L) return AllFinite(line, L);
  const auto first = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, L - at));
  return AllFinite(line + at, first) && AllFinite(line, static_cast<std::size_t>(count - first));
}

}  // namespace

template <class Kind>
HRESULT SimpleDelayEngine::Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames) {
  std::uint32_t n = *frames;
  bool end = false;
  const std::uint32_t channels = Channels();
  const std::uint32_t L = lineLength_;
  double* const line = line_;
  const double fb = fb_, gainDry = gainDry_, gainDelay = gainDelay_;
  // Float samples can bring a NaN or an infinity into the line, where the
  // feedback would keep it for good; integer samples cannot. What a buffer
  // wrote is looked at once it is written: from where each channel began,
  // as many values as all channels wrote, which in step (the first channel
  // one place ahead) is one span for both.
  const std::uint32_t began[2] = {pos_[0], pos_[1]};
  std::uint32_t most = 0;  // frames of the first channel (a tail can shorten the second's)

  for (std::uint32_t c = 0; c < channels; ++c) {
    if (mode == ProcessMode::Tail) {
      n = std::min(n, channelTail_[c]);
      channelTail_[c] -= n;
      if (channelTail_[c] == 0) end = true;
    }
    std::uint32_t pos = pos_[c];
    typename Kind::Sample* s = data + c;
    for (std::uint32_t i = 0; i < n; ++i, s += channels) {
      const double x = Kind::ToEngine(*s);
      const double d = line[pos];
      line[pos] = fb * d + x;
      *s = Kind::FromEngine(x * gainDry + d * gainDelay);
      pos += channels;
      if (pos >= L) pos = c;
    }
    pos_[c] = pos;
    most = std::max(most, n);
  }

  *frames = n;
  bool bad = false;
  if constexpr (!Kind::kBounded) {
    const std::uint64_t written = std::uint64_t{most} * channels;
    const bool inStep = channels == 1 || began[1] == began[0] + 1;
    bad = !SpanFinite(line, L, began[0], written + (inStep ? channels - 1 : 0)) ||
          (!inStep && !SpanFinite(line, L, began[1], written));
  }
  if (bad) {
    std::memset(line, 0, sizeof(double) * L);
    return kStateCleared;
  }
  return end ? S_FALSE : S_OK;
}

template HRESULT InPlaceEngine<SimpleDelayEngine, SimpleDelayTraits>::Process(SampleKind, ProcessMode, void*,
                                                                              std::uint32_t*);

}  // namespace quill
