#include "twchorus/chorus_engine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "dsp/line_memory.h"
#include "dsp/oscillator.h"
#include "framework/field_table.h"

namespace quill {

namespace {

constexpr double kLength = ChorusEngine::kLineLength;

// Stage 1 is shorter and faster, stage 2 longer and slower than stage 0, so
// that the voices beat against each other.
constexpr double kStageFactor[ChorusEngine::kStages] = {1.0, 0.811731, 1.132329};

// Stereo weights of the left and right channel.
constexpr double kLeftWeight = 0.9, kRightWeight = 0.95;

// Brings a read position into [0, kLength). One wrap suffices while the
// longest delay and depth fit twice into the line, which holds up to about
// 61 kHz; above that the lines stay 6500 samples and positions wrap in full
// (the delay then folds back into the line) rather than growing the lines
// with the rate, so every read stays inside the line at any rate a format
// can carry. A tiny negative position can round up to kLength itself when
// wrapped; it is the line's start.
inline double WrapPosition(double p) {
  if (p >= 0.0 && p < kLength) return p;  // nearly always
  if (p >= kLength)
    p -= kLength;
  else if (p < 0.0)
    p += kLength;
  if (p >= 0.0 && p < kLength) return p;
  p = std::fmod(p, kLength);
  if (p < 0.0) p += kLength;
  return p < kLength ? p : 0.0;  // also catches a position that is not a number
}

}  // namespace

// Up to a million values (8 MB) per stage: a 0.1 Hz sweep at 96 kHz on the
// first stage. Longer periods call sin every sample.
constexpr std::size_t kMaxSines = std::size_t{1} << 20;

ChorusEngine::ChorusEngine() {
  TakeLines();
}

bool ChorusEngine::TakeLines() {
  if (pool_ == nullptr)
    pool_ = static_cast<double*>(AllocLine(static_cast<std::size_t>(kStages) * kLineLength, sizeof(double)));
  return pool_ != nullptr;
}

ChorusEngine::~ChorusEngine() {
  FreeLine(pool_);
}

// The lines, should the engine have been made without them, and each stage's
// sine cache for the longest period the slowest sweep has at this rate, so
// that a change of period while streaming only refills it. The cache is
// zero-filled on demand: only the part a period uses is ever touched.
HRESULT ChorusEngine::Reserve() {
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  if (!TakeLines()) return E_OUTOFMEMORY;
  const double slowest = FieldAt(ChorusTraits::Fields(), offsetof(ChorusParams, modRate))->lo;
  for (int s = 0; s < kStages; ++s) {
    const double longest = std::trunc(format->sampleRate * kStageFactor[s] * (10.0 / slowest));
    const std::size_t kept = longest < static_cast<double>(kMaxSines) ? static_cast<std::size_t>(longest) : kMaxSines;
    if (!stage_[s].sineMemory.Reserve(std::max<std::size_t>(kept, 1) * sizeof(double))) return E_OUTOFMEMORY;
    stage_[s].sines = static_cast<double*>(stage_[s].sineMemory.Data());
    stage_[s].sinesLength = 0;  // refilled by the restart's set-up
  }
  return S_OK;
}

void ChorusEngine::ResetSines(Stage& st) {
  const double room = static_cast<double>(st.sineMemory.Capacity() / sizeof(double));
  const bool fits = st.period >= 1.0 && st.period <= room && st.sines != nullptr;
  st.sinesLength = fits ? static_cast<std::size_t>(st.period) : 0;
  std::fill_n(st.sines, st.sinesLength, std::numeric_limits<double>::quiet_NaN());
}

void ChorusEngine::Retune(const ChorusParams& p) {
  const AudioFormat* format = Format();
  const std::uint32_t rate = format != nullptr ? format->sampleRate : 0;
  const double fs = rate;

  gIn_ = DbToGain(p.inputGain, kFloor);
  gDry_ = DbToGain(p.dryOut, kFloor);
  g_ = DbToGain(p.chorusOut, kFloor);
  if (p.invertChorus != 0) g_ = -g_;
  G_[0] = 0.9 * g_;
  G_[1] = 0.9 * G_[0];
  G_[2] = 0.9 * G_[1];
  WL_ = kLeftWeight * g_;
  WR_ = kRightWeight * g_;

  fb_ = p.feedbackPct * 0.01;
  if (p.invertFeedback != 0) fb_ = -fb_;

  periodFactor_ = 10.0 / p.modRate;
  for (int s = 0; s < kStages; ++s) {
    Stage& st = stage_[s];
    const double period = std::trunc(fs * kStageFactor[s] * periodFactor_);
    // Below one sample per cycle (only at absurdly low rates) the sweep stands still.
    const double inc = SweepIncrement(period);
    const bool keep = period == st.period && inc == st.inc && st.sinesLength > 0;  // the values still hold
    st.period = period;
    st.inc = inc;
    if (!keep) ResetSines(st);
  }

  highCut_.Set(p.highCut != 0 && BelowHalfRate(p.highCutHz, rate, false), p.highCutHz, fs);

  depth_ = std::trunc(p.modDepth * 0.01 * delaySamples_);
}

HRESULT ChorusEngine::Configure(const ChorusParams& p) {
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  if (pool_ == nullptr) return E_FAIL;
  const double fs = format->sampleRate;
  rate_ = format->sampleRate;

  std::memset(pool_, 0, sizeof(double) * kStages * kLineLength);
  size_ = std::clamp(p.chorusSize, 1, kStages);
  delaySamples_ = std::trunc(p.delayTenths * fs * 0.0001);
  Retune(p);
  for (int s = 0; s < kStages; ++s) {
    Stage& st = stage_[s];
    st.w = 0;
    st.z = 0.0;
    st.rp = std::trunc(kStageFactor[s] * delaySamples_);
  }
  return S_OK;
}

bool ChorusEngine::SetUpMoved() const {
  return Format()->sampleRate != rate_;
}

HRESULT ChorusEngine::Reset() {
  if (pool_ == nullptr) return E_FAIL;
  // Fresh silent lines; the full set-up zeroes them again, which keeps
  // Configure usable on its own.
  std::memset(pool_, 0, sizeof(double) * kStages * kLineLength);
  for (Stage& st : stage_) {
    st.w = 0;
    st.z = 0.0;
    st.n = 0;
  }
  rebuild_ = true;
  return S_OK;
}

// Stages run one after another over a chunk of samples (each stage sees
// the same inputs in the same order as when the stages take turns per
// sample), so each keeps its state in registers.
struct ChorusEngine::Sweep {
  Sweep(Stage& st, double* line, double depth, double a, double b, double fb)
      : stage(st),
        line(line),
        w(st.w),
        rp(st.rp),
        z(st.z),
        n(st.n),
        period(st.period),
        inc(st.inc),
        sines(st.sines),
        sinesLength(st.sinesLength),
        depth(depth),
        a(a),
        b(b),
        fb(fb) {}
  ~Sweep() {
    stage.w = w;
    stage.rp = rp;
    stage.z = z;
    stage.n = n;
  }
  Sweep(const Sweep&) = delete;
  Sweep& operator=(const Sweep&) = delete;

  // The stage's filtered, delayed value at the swept read position.
  [[gnu::always_inline]] double Read() {
    const auto k = static_cast<std::size_t>(n);
    double s;
    if (k < sinesLength) {
      s = sines[k];
      if (s != s) s = sines[k] = std::sin(static_cast<double>(n) * inc);
    } else {
      s = std::sin(static_cast<double>(n) * inc);
    }
    const double p = WrapPosition(rp + depth * s);
    const auto i = static_cast<std::int32_t>(p);
    const std::int32_t j = i + 1 == kLineLength ? 0 : i + 1;
    const double d = line[i] + (line[j] - line[i]) * (p - i);
    const double v = b * d + a * z;
    z = v;
    rp -= 1.0;
    if (rp < 0.0) rp = kLength - 1.0;
    if (++n >= period) n = 0;
    return v;
  }

  [[gnu::always_inline]] void Write(double v, double u) {
    line[w] = fb * v + u;
    if (--w < 0) w = kLineLength - 1;
  }

  Stage& stage;
  double* const line;
  std::int32_t w;
  double rp, z;
  std::int64_t n;
  const double period, inc;
  double* const sines;
  const std::size_t sinesLength;
  const double depth, a, b, fb;
};

namespace {
constexpr std::uint32_t kChunk = 512;
}  // namespace

template <class Kind>
void ChorusEngine::RunMono(typename Kind::Sample* data, std::uint32_t n) {
  const int size = size_;
  const double gIn = gIn_, gDry = gDry_;
  double y[kChunk];
  for (std::uint32_t at = 0; at < n; at += kChunk) {
    const std::uint32_t m = std::min(kChunk, n - at);
    typename Kind::Sample* d = data + at;
    {
      Sweep st(stage_[0], pool_, depth_, highCut_.a, highCut_.b, fb_);
      const double g = G_[0];
      for (std::uint32_t i = 0; i < m; ++i) {
        const double u = Kind::ToEngine(d[i]) * gIn;
        const double v = st.Read();
        y[i] = g * v + gDry * u;
        st.Write(v, u);
      }
    }
    for (int s = 1; s < size; ++s) {
      Sweep st(stage_[s], pool_ + s * kLineLength, depth_, highCut_.a, highCut_.b, fb_);
      const double g = G_[s];
      for (std::uint32_t i = 0; i < m; ++i) {
        const double u = y[i];
        const double v = st.Read();
        y[i] = g * v + u;
        st.Write(v, u);
      }
    }
    for (std::uint32_t i = 0; i < m; ++i) d[i] = Kind::FromEngine(y[i]);
  }
}

template <class Kind>
void ChorusEngine::RunStereo(typename Kind::Sample* data, std::uint32_t n) {
  const int size = size_;
  const double gIn = gIn_, gDry = gDry_, WL = WL_, WR = WR_;
  // Stage 0 weighs each channel once more.
  const double firstL = 0.9 * WL, firstR = 0.9 * WR;
  double yL[kChunk], yR[kChunk];
  for (std::uint32_t at = 0; at < n; at += kChunk) {
    const std::uint32_t m = std::min(kChunk, n - at);
    typename Kind::Sample* frames = data + 2 * static_cast<std::size_t>(at);
    {
      Sweep st(stage_[0], pool_, depth_, highCut_.a, highCut_.b, fb_);
      for (std::uint32_t i = 0; i < m; ++i) {
        const double uL = Kind::ToEngine(frames[2 * i]) * gIn;
        const double uR = Kind::ToEngine(frames[2 * i + 1]) * gIn;
        const double v = st.Read();
        yL[i] = firstL * v + gDry * uL;
        yR[i] = firstR * v + gDry * uR;
        st.Write(v, (uL + uR) * 0.5);
      }
    }
    for (int s = 1; s < size; ++s) {
      Sweep st(stage_[s], pool_ + s * kLineLength, depth_, highCut_.a, highCut_.b, fb_);
      for (std::uint32_t i = 0; i < m; ++i) {
        const double uL = yL[i], uR = yR[i];
        const double v = st.Read();
        yL[i] = WL * v + uL;
        yR[i] = WR * v + uR;
        st.Write(v, (uL + uR) * 0.5);
      }
    }
    for (std::uint32_t i = 0; i < m; ++i) {
      frames[2 * i] = Kind::FromEngine(yL[i]);
      frames[2 * i + 1] = Kind::FromEngine(yR[i]);
    }
  }
}

template <class Kind>
HRESULT ChorusEngine::Run(ProcessMode, typename Kind::Sample* data, std::uint32_t* frames) {
  if (Channels() == 2)
    RunStereo<Kind>(data, *frames);
  else
    RunMono<Kind>(data, *frames);
  return S_OK;
}

template HRESULT InPlaceEngine<ChorusEngine, ChorusTraits>::Process(SampleKind, ProcessMode, void*, std::uint32_t*);

}  // namespace quill
