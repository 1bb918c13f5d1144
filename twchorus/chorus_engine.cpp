#include "twchorus/chorus_engine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "dsp/line_memory.h"
#include "dsp/oscillator.h"
#include "framework/sample_block.h"
#include "framework/field_table.h"

namespace quill {

namespace {

constexpr std::uint32_t kChunk = 512;

// Stage 1 is shorter and faster, stage 2 longer and slower than stage 0, so
// that the voices beat against each other.
constexpr double kStageFactor[ChorusEngine::kStages] = {1.0, 0.811731, 1.132329};

// sines[f] = sin(f * inc) for f in [from, to). On its own, the loop keeps
// its few values in registers that survive the calls. The counter is
// signed; its conversion is the one sin saw every sample.
[[gnu::noinline]] void FillSines(double* sines, double inc, std::size_t from, std::size_t to) {
  for (auto f = static_cast<std::int64_t>(from); f < static_cast<std::int64_t>(to); ++f)
    sines[f] = std::sin(static_cast<double>(f) * inc);
}

// Stereo weights of the left and right channel.
constexpr double kLeftWeight = 0.9, kRightWeight = 0.95;

}  // namespace

// Up to a million values (8 MB) per stage: a 0.1 Hz sweep at 96 kHz on the
// first stage. Longer periods call sin every sample.
constexpr std::size_t kMaxSines = std::size_t{1} << 20;

ChorusEngine::ChorusEngine() : wide_(WideChorusKernels()), split16_(SplitPcm16Wide()) {
  if (split16_ == nullptr) split16_ = SplitPcm16Portable;
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
  st.fillAt = kNoFill;
  st.unfilled = st.sinesLength;
}

const double* ChorusEngine::Sines(Stage& st, double* s, std::uint32_t m) {
  std::uint32_t i = 0;
  while (i < m) {
    const auto k = static_cast<std::size_t>(st.n);
    if (k >= st.sinesLength) {  // not kept: sin every time
      s[i++] = std::sin(static_cast<double>(st.n) * st.inc);
      if (++st.n >= st.period) st.n = 0;
      continue;
    }
    // The cache holds the whole period, so the counter runs through it to its end.
    const std::size_t run = std::min<std::size_t>(m - i, st.sinesLength - k);
    if (st.unfilled > 0) {
      if (st.fillAt == kNoFill) st.fillAt = k;
      if (st.fillAt >= k && st.fillAt < k + run) {
        const std::size_t end = std::min(k + run, st.fillAt + st.unfilled);
        FillSines(st.sines, st.inc, st.fillAt, end);
        st.unfilled -= end - st.fillAt;
        st.fillAt = end == st.sinesLength ? 0 : end;
      }
    }
    st.n += static_cast<std::int64_t>(run);
    if (st.n >= st.period) st.n = 0;
    if (run == m) return st.sines + k;  // the whole stretch in one piece of the cache
    std::copy_n(st.sines + k, run, s + i);
    i += static_cast<std::uint32_t>(run);
  }
  return s;
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
    // The counter jumps: a partly filled cache starts filling afresh from
    // wherever it next reads.
    if (st.unfilled > 0) {
      st.fillAt = kNoFill;
      st.unfilled = st.sinesLength;
    }
  }
  rebuild_ = true;
  return S_OK;
}

// Stages run one after another over a chunk of samples (each stage sees
// the same inputs in the same order as when the stages take turns per
// sample), so each keeps its state in registers.
void ChorusEngine::RunStage(int k, double* s, std::uint32_t m, double* yL, double* yR) {
  Stage& st = stage_[k];
  const double* const sweep = Sines(st, s, m);
  StageRun run{pool_ + k * kLineLength, st.rp, st.w, st.z, depth_, highCut_.a, highCut_.b, fb_};
  // The wide loops read four samples before writing them, unless a read could fall on one of those writes.
  const ChorusKernels& loops = wide_ != nullptr && GroupsSafe(st.rp, st.w, depth_) ? *wide_ : PortableChorusKernels();
  // The first stage adds the dry signal; the later ones add what they are given.
  const double dry = k == 0 ? gDry_ : 1.0;
  if (yR == nullptr) {
    loops.mono(run, sweep, m, G_[k], dry, yL);
  } else {
    // Stage 0 weighs each channel once more.
    const double gL = k == 0 ? 0.9 * WL_ : WL_, gR = k == 0 ? 0.9 * WR_ : WR_;
    loops.stereo(run, sweep, m, gL, gR, dry, yL, yR);
  }
  st.rp = run.rp;
  st.w = run.w;
  st.z = run.z;
}

// A NaN or an infinity read from a line, or brought in by the input, shows
// in every output it reaches, whatever the gains (zero times either is a
// NaN): a look at a chunk's output finds any line that holds one, and the
// lines start again from silence. Only float samples can bring one in; the
// lines cannot overflow on their own within any stream's length.
bool ChorusEngine::ClearIfNotFinite(const double* yL, const double* yR, std::uint32_t m) {
  if (AllFinite(yL, m) && (yR == nullptr || AllFinite(yR, m))) return false;
  std::memset(pool_, 0, sizeof(double) * kStages * kLineLength);
  for (Stage& st : stage_) st.z = 0.0;
  return true;
}

template <class Kind>
bool ChorusEngine::RunMono(typename Kind::Sample* data, std::uint32_t n) {
  const double gIn = gIn_;
  alignas(32) double y[kChunk], s[kChunk];
  bool cleared = false;
  for (std::uint32_t at = 0; at < n; at += kChunk) {
    const std::uint32_t m = std::min(kChunk, n - at);
    typename Kind::Sample* d = data + at;
    for (std::uint32_t i = 0; i < m; ++i) y[i] = Kind::ToEngine(d[i]) * gIn;
    for (int k = 0; k < size_; ++k) RunStage(k, s, m, y, nullptr);
    if constexpr (!Kind::kBounded) cleared |= ClearIfNotFinite(y, nullptr, m);
    FromEngineBlock<Kind>(y, d, m);
  }
  return cleared;
}

template <class Kind>
bool ChorusEngine::RunStereo(typename Kind::Sample* data, std::uint32_t n) {
  const double gIn = gIn_;
  alignas(32) double yL[kChunk], yR[kChunk], s[kChunk];
  bool cleared = false;
  for (std::uint32_t at = 0; at < n; at += kChunk) {
    const std::uint32_t m = std::min(kChunk, n - at);
    typename Kind::Sample* frames = data + 2 * static_cast<std::size_t>(at);
    if constexpr (std::is_same_v<Kind, Pcm16>) {
      split16_(frames, m, gIn, yL, yR);
    } else {
      for (std::uint32_t i = 0; i < m; ++i) {
        yL[i] = Kind::ToEngine(frames[2 * i]) * gIn;
        yR[i] = Kind::ToEngine(frames[2 * i + 1]) * gIn;
      }
    }
    for (int k = 0; k < size_; ++k) RunStage(k, s, m, yL, yR);
    if constexpr (!Kind::kBounded) cleared |= ClearIfNotFinite(yL, yR, m);
    FromEngineFrames<Kind>(yL, yR, frames, m);
  }
  return cleared;
}

template <class Kind>
HRESULT ChorusEngine::Run(ProcessMode, typename Kind::Sample* data, std::uint32_t* frames) {
  const bool cleared = Channels() == 2 ? RunStereo<Kind>(data, *frames) : RunMono<Kind>(data, *frames);
  return cleared ? kStateCleared : S_OK;
}

template HRESULT InPlaceEngine<ChorusEngine, ChorusTraits>::Process(SampleKind, ProcessMode, void*, std::uint32_t*);

}  // namespace quill
