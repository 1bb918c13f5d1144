#include "twreverb/reverb_engine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "dsp/line_buffer.h"

namespace quill {

// Mode and style indices are stored as given; a snapshot holds the nearest
// row for one outside its table (the rule of every table row,
// field_table.h), and nothing outside a table is read.
const ReverbMode& ReverbEngine::ModeRow(std::int32_t index) {
  const auto table = ReverbModeTable();
  return table[std::clamp<std::size_t>(static_cast<std::size_t>(std::max(index, 0)), 0, table.size() - 1)];
}

const EarlyStyle& ReverbEngine::StyleRow(std::int32_t index) {
  const auto table = EarlyStyleTable();
  return table[std::clamp<std::size_t>(static_cast<std::size_t>(std::max(index, 0)), 0, table.size() - 1)];
}

namespace {

// A line, tap or pre-delay works out to a whole number of samples that can
// be zero at rates below a few hundred hertz. Every ring gets at least one
// slot: a one-slot line recirculates sample by sample, a one-slot pre-delay
// does not delay, and a tap reads the previous input. That keeps every
// cursor inside its ring. False if the count does not fit in 32 bits.
bool RingLength(double samples, std::uint32_t& out) {
  const double t = std::trunc(samples);
  if (!(t < 4294967296.0)) return false;
  out = t < 1.0 ? 1u : static_cast<std::uint32_t>(t);
  return true;
}

double LineGain(double delaySeconds, double T) {
  return std::pow(10.0, -3.0 * delaySeconds / T);
}

}  // namespace

void ReverbEngine::SetLineGains(double T) {
  const ReverbMode& row = *builtRow_;
  for (int i = 0; i < lineCount_; ++i) lines_[i].g = LineGain(row.delayMs[i] * 0.001, T);
  if (builtStereo_) {
    twins_[0].g = LineGain(0.93 * (row.delayMs[0] * 0.001), T);
    twins_[1].g = LineGain(1.06 * (row.delayMs[1] * 0.001), T);
  }
}

bool ReverbEngine::RingsFor(const ReverbMode& row, const EarlyStyle& style, std::int32_t preDelayMs, double rate,
                            bool stereo, ReverbRings& out, EarlyTaps& taps) {
  out.count = 0;
  const auto add = [&out](double samples) {
    std::uint32_t n;
    if (!RingLength(samples, n)) return false;
    out.size[out.count++] = n;
    return true;
  };
  // The tables hold 8 to 10 lines; stereo needs lines 0 and 1 for the twins.
  out.lines = std::clamp(static_cast<int>(row.lines), 2, kMaxLines);
  for (int i = 0; i < out.lines; ++i)
    if (!add(rate * (row.delayMs[i] * 0.001) + 0.5)) return false;
  if (stereo) {
    if (!add(rate * (0.93 * (row.delayMs[0] * 0.001)) + 0.5)) return false;
    if (!add(rate * (1.06 * (row.delayMs[1] * 0.001)) + 0.5)) return false;
  }
  const int channels = stereo ? 2 : 1;
  for (int c = 0; c < channels; ++c)
    if (!add(preDelayMs * rate * 0.001)) return false;
  if (!ComputeEarlyTaps(style, rate, stereo, taps)) return false;
  for (int c = 0; c < channels; ++c) out.size[out.count++] = taps.length[2];
  return true;
}

// Every mode and style at the longest pre-delay: the most any set-up at this
// format can take from the pool.
HRESULT ReverbEngine::Reserve() {
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  const double rate = format->sampleRate;
  const bool stereo = format->channels == 2;
  const auto preDelay =
      static_cast<std::int32_t>(FieldAt(ReverbTraits::Fields(), offsetof(ReverbParams, preDelayMs))->hi);
  std::size_t most = 0;
  for (const ReverbMode& row : ReverbModeTable()) {
    for (const EarlyStyle& style : EarlyStyleTable()) {
      ReverbRings rings;
      EarlyTaps taps;
      // A ring too long to count is refused at its set-up; the cap is held back.
      if (!RingsFor(row, style, preDelay, rate, stereo, rings, taps))
        return pool_.Reserve(kLineReserveCap) ? S_OK : E_OUTOFMEMORY;
      std::size_t bytes = 0;
      for (int i = 0; i < rings.count; ++i) bytes += LinePool::BytesFor(rings.size[i]);
      most = std::max(most, bytes);
    }
  }
  return pool_.Reserve(std::min(most, kLineReserveCap)) ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReverbEngine::Rebuild(const ReverbParams& p, const ReverbMode& row, double rate, bool stereo, double T) {
  // Every old line goes back to the pool; until all new ones are in place
  // the engine is not ready and does not touch them.
  pool_.Reset();
  lineCount_ = 0;
  builtRow_ = &row;
  builtStereo_ = stereo;

  ReverbRings rings;
  if (!RingsFor(row, StyleRow(p.earlyStyle), p.preDelayMs, rate, stereo, rings, taps_)) return E_OUTOFMEMORY;
  int next = 0;
  auto take = [&](std::uint32_t& n) -> double* {
    n = rings.size[next++];
    return pool_.AllocDoubles(n);
  };
  std::uint32_t n;
  for (int i = 0; i < rings.lines; ++i) {
    double* memory = take(n);
    if (memory == nullptr) return E_OUTOFMEMORY;
    lines_[i].Attach(memory, n);
  }
  lineCount_ = rings.lines;
  if (stereo) {
    for (TwinLine& twin : twins_) {
      double* memory = take(n);
      if (memory == nullptr) return E_OUTOFMEMORY;
      twin.Attach(memory, n);
    }
  }
  SetLineGains(T);

  const int channels = stereo ? 2 : 1;
  for (int c = 0; c < channels; ++c) {
    double* memory = take(n);
    if (memory == nullptr) return E_OUTOFMEMORY;
    preDelay_[c].Attach(memory, n);
  }
  for (int c = 0; c < channels; ++c) {
    double* memory = take(n);
    if (memory == nullptr) return E_OUTOFMEMORY;
    early_[c].Attach(memory, n, taps_.length[0], taps_.length[1]);
  }

  highCut_.h = 0.0;
  return S_OK;
}

void ReverbEngine::SetLevels(const ReverbParams& p, double rate) {
  const double T = p.decayTenths * 0.1;
  gainDry_ = DbToGain(p.dryOut, -800);
  gainReverb_ = DbToGain(p.reverbOut, -800);
  // The tap gains are in percent; the 0.01 turns them into factors.
  gainEarly_ = p.earlyOut == -800 ? 0.0 : std::pow(10.0, p.earlyOut * 0.005) * 0.01;

  // Whole seconds only: a decay under one second has no tail.
  const double tail = std::trunc(T) * rate;
  tailLeft_ = tail < 4294967295.0 ? static_cast<std::uint32_t>(tail) : 0xFFFFFFFFu;

  // The high cut takes its coefficient at twice its frequency, so it stays
  // on up to the rate itself.
  highCut_.Set(p.highCut != 0 && p.highCutHz < rate, 2.0 * p.highCutHz, rate);

  bassOn_ = p.bassCut != 0;
  if (bassOn_) {
    // At rate 0 every frequency is above the resonator's top.
    double f = rate > 0.0 ? p.bassCutHz / rate : 0.49;
    f *= f < 0.011337868480725623 ? 0.45454545454545453 : 0.30303030303030304;
    bassCut_.Setup(f, 0.1);
  }
}

void ReverbEngine::Retune(const ReverbParams& p) {
  SetLevels(p, Format()->sampleRate);
  SetLineGains(p.decayTenths * 0.1);
}

HRESULT ReverbEngine::Configure(const ReverbParams& p) {
  if (!pool_.Valid()) return E_FAIL;
  const AudioFormat* format = Format();
  if (format == nullptr) return VFW_E_NOT_CONNECTED;
  if (format->channels != 1 && format->channels != 2) return E_INVALIDARG;
  const double rate = format->sampleRate;
  SetLevels(p, rate);
  return Rebuild(p, ModeRow(p.reverbMode), rate, format->channels == 2, p.decayTenths * 0.1);
}

bool ReverbEngine::SetUpMoved() const {
  return ready_ != 0 && (Format()->channels == 2) != builtStereo_;
}

HRESULT ReverbEngine::Reset() {
  if (!pool_.Valid()) return E_FAIL;
  rebuild_ = true;
  return S_OK;
}

void ReverbEngine::ReleaseLine() {
  ready_ = 0;
  rebuild_ = true;
  lineCount_ = 0;
  pool_.Reset();
}

template <class Kind>
void ReverbEngine::RunMono(typename Kind::Sample* s, std::uint32_t n) {
  const double a = highCut_.a, b = highCut_.b;
  const double G0 = taps_.gainLeft[0], G1 = taps_.gainLeft[1], G2 = taps_.gainLeft[2];
  const double gainDry = gainDry_, gainReverb = gainReverb_, gainEarly = gainEarly_;
  const int count = lineCount_;
  EarlyRing& E = early_[0];
  for (std::uint32_t f = 0; f < n; ++f, ++s) {
    const double x = Kind::ToEngine(*s);
    double u = highCut_.Step(x);
    if (bassOn_) u = bassCut_.Step(u);
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += lines_[i].Step(u, a, b);
    const double r = preDelay_[0].Step(sum);
    const double e = (*E.write * G2 + *E.tap0 * G0 + *E.tap1 * G1) * gainEarly;
    *E.write = x;
    E.Advance();
    *s = Kind::FromEngine(e + r * gainReverb + gainDry * x);
  }
}

template <class Kind>
void ReverbEngine::RunStereo(typename Kind::Sample* s, std::uint32_t n) {
  const double a = highCut_.a, b = highCut_.b;
  const double GL0 = taps_.gainLeft[0], GL1 = taps_.gainLeft[1], GL2 = taps_.gainLeft[2];
  const double GR0 = taps_.gainRight[0], GR1 = taps_.gainRight[1], GR2 = taps_.gainRight[2];
  const double gainDry = gainDry_, gainReverb = gainReverb_, gainEarly = gainEarly_;
  const int count = lineCount_;
  EarlyRing& L = early_[0];
  EarlyRing& R = early_[1];
  for (std::uint32_t f = 0; f < n; ++f, s += 2) {
    const double xL = Kind::ToEngine(s[0]);
    const double xR = Kind::ToEngine(s[1]);
    double u = highCut_.Step((xR + xL) * 0.5);
    if (bassOn_) u = bassCut_.Step(u);

    double sum = 0.0;
    for (int i = 2; i < count; ++i) sum += lines_[i].Step(u, a, b);
    // The right channel hears the twins in place of lines 0 and 1.
    double sL = sum, sR = sum;
    sL += lines_[0].Step(u, a, b);
    sR += twins_[0].Step(u, a, b);
    sL += lines_[1].Step(u, a, b);
    sR += twins_[1].Step(u, a, b);
    const double rL = preDelay_[0].Step(sL);
    const double rR = preDelay_[1].Step(sR);

    // Both channels feed the reflections; the pans place them.
    const double v0 = *L.tap0 + *R.tap0;
    const double v1 = *L.tap1 + *R.tap1;
    const double v2 = *L.write + *R.write;
    const double eL = (v1 * GL1 + v0 * GL0 + v2 * GL2) * gainEarly;
    const double eR = (v2 * GR2 + v1 * GR1 + v0 * GR0) * gainEarly;
    *L.write = xL;
    *R.write = xR;
    L.Advance();
    R.Advance();

    s[0] = Kind::FromEngine(eL + xL * gainDry + rL * gainReverb);
    s[1] = Kind::FromEngine(eR + xR * gainDry + rR * gainReverb);
  }
}

// Everything the input reaches passes through the high cut's state, and a
// line's value reaches its damping state on the way round: states that keep
// a NaN or an infinity once they have met one, so that they show when one
// got in. Integer samples bring none, and the lines cannot overflow on
// their own (every loop loses on the way round).
bool ReverbEngine::StatesFinite() const {
  bool finite = std::isfinite(highCut_.h) && (!bassOn_ || (std::isfinite(bassCut_.y1) && std::isfinite(bassCut_.y2)));
  for (int i = 0; i < lineCount_; ++i) finite = finite && std::isfinite(lines_[i].damp);
  if (builtStereo_) finite = finite && std::isfinite(twins_[0].damp) && std::isfinite(twins_[1].damp);
  return finite;
}

// Every ring and state back to silence; cursors and taps stay where they are.
void ReverbEngine::ClearRings() {
  const auto clear = [](double* start, double* end) { std::fill(start, end, 0.0); };
  for (int i = 0; i < lineCount_; ++i) {
    clear(lines_[i].start, lines_[i].end);
    lines_[i].damp = 0.0;
  }
  const int channels = builtStereo_ ? 2 : 1;
  for (int c = 0; c < channels; ++c) {
    if (builtStereo_) {
      clear(twins_[c].start, twins_[c].end);
      twins_[c].damp = 0.0;
    }
    clear(preDelay_[c].start, preDelay_[c].end);
    clear(early_[c].start, early_[c].end);
  }
  highCut_.h = 0.0;
  bassCut_.y1 = bassCut_.y2 = 0.0;
}

template <class Kind>
HRESULT ReverbEngine::Run(ProcessMode mode, typename Kind::Sample* data, std::uint32_t* frames) {
  std::uint32_t n = *frames;
  const HRESULT result = mode == ProcessMode::Tail ? CountTail(n) : S_OK;
  *frames = n;
  const auto run = [&](typename Kind::Sample* s, std::uint32_t count) {
    if (builtStereo_)
      RunStereo<Kind>(s, count);
    else
      RunMono<Kind>(s, count);
  };
  if constexpr (Kind::kBounded) {
    run(data, n);
    return result;
  } else {
    // Looked at every few milliseconds, so that what follows a NaN in the
    // buffer is heard too.
    constexpr std::uint32_t kLook = 256;
    bool cleared = false;
    for (std::uint32_t at = 0; at < n; at += kLook) {
      run(data + static_cast<std::size_t>(at) * (builtStereo_ ? 2 : 1), std::min(kLook, n - at));
      if (!StatesFinite()) {
        ClearRings();
        cleared = true;
      }
    }
    return cleared ? kStateCleared : result;
  }
}

template HRESULT InPlaceEngine<ReverbEngine, ReverbTraits>::Process(SampleKind, ProcessMode, void*, std::uint32_t*);

}  // namespace quill
