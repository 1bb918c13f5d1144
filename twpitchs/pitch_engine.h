// The pitch effect's engine. A resampler reads the input at a fractional
// step of r frames per output frame through a tabulated interpolation
// kernel; that alone transposes by r and shortens the material by 1/r.
// With preserveDuration the resampled frames go through a time stretcher
// with the same ratio, which restores the length, and the very end is cut
// or padded so that exactly as many frames leave as came in. Shifting up by
// more than 1.1 with antiAlias set low-passes each input buffer in place
// first.
#pragma once

#include <cstdint>

#include "dsp/copying_loop.h"
#include "dsp/interp_kernel.h"
#include "dsp/time_stretcher.h"
#include "framework/audio_format.h"
#include "framework/effect_engine.h"
#include "twpitchs/anti_alias.h"
#include "twpitchs/pitch_fields.h"
#include "twpitchs/pitch_presets.h"

namespace quill {

// Frames of resampled audio held between the resampler and the stretcher.
inline constexpr std::uint32_t kIntermediateFrames = 2048;

struct PitchTraits {
  using Params = PitchParams;
  using Interface = IPitchParams;
  static constexpr const IID& kInterfaceId = IID_IPitchParams;
  static PresetTable<Params> Presets() { return PitchPresets(); }
  static FieldTable Fields() { return PitchFields(); }
};

// Kernel length for an accuracy setting as a stream plays it (1..3): 2, 9 or 15.
std::uint32_t KernelTaps(std::int32_t accuracy);

class PitchEngine : public EffectEngine<PitchTraits>, public FrameProcessor {
 public:
  PitchEngine() = default;
  ~PitchEngine() override;

  // Field accessors, in the interface's slot order.
  HRESULT STDMETHODCALLTYPE GetSemitones(std::int32_t* v) override { return ReadField(&Params::semitones, v); }
  HRESULT STDMETHODCALLTYPE SetSemitones(std::int32_t v) override { return SetField(&Params::semitones, v); }
  HRESULT STDMETHODCALLTYPE GetCents(std::int32_t* v) override { return ReadField(&Params::centsTenths, v); }
  HRESULT STDMETHODCALLTYPE SetCents(std::int32_t v) override { return SetField(&Params::centsTenths, v); }
  HRESULT STDMETHODCALLTYPE GetAccuracy(std::int32_t* v) override { return ReadField(&Params::accuracy, v); }
  HRESULT STDMETHODCALLTYPE SetAccuracy(std::int32_t v) override { return SetField(&Params::accuracy, v); }
  HRESULT STDMETHODCALLTYPE GetPreserve(std::int32_t* v) override { return ReadField(&Params::preserveDuration, v); }
  HRESULT STDMETHODCALLTYPE SetPreserve(std::int32_t v) override { return SetField(&Params::preserveDuration, v); }
  HRESULT STDMETHODCALLTYPE GetMode(std::int32_t* v) override { return ReadField(&Params::mode, v); }
  HRESULT STDMETHODCALLTYPE SetMode(std::int32_t v) override { return SetField(&Params::mode, v); }
  HRESULT STDMETHODCALLTYPE GetRatio(double* v) override { return ReadField(&Params::ratio, v); }
  // A ratio must be a positive finite number; anything else is refused and
  // the stored one kept.
  HRESULT STDMETHODCALLTYPE SetRatio(double v) override { return SetField(&Params::ratio, v); }
  HRESULT STDMETHODCALLTYPE GetAntiAlias(std::int32_t* v) override { return ReadField(&Params::antiAlias, v); }
  HRESULT STDMETHODCALLTYPE SetAntiAlias(std::int32_t v) override { return SetField(&Params::antiAlias, v); }
  HRESULT STDMETHODCALLTYPE GetLength(double* v) override { return ReadField(&Params::lengthSamples, v); }
  HRESULT STDMETHODCALLTYPE SetLength(double v) override { return SetField(&Params::lengthSamples, v); }
  HRESULT STDMETHODCALLTYPE GetSampleRate(std::uint32_t* rate) override;

  // Streaming start: keeps the format, picks the loaders and writers for
  // its kind, holds the memory every later set-up uses and restarts. E_FAIL
  // for a kind or channel count it cannot take, E_OUTOFMEMORY if the memory
  // cannot be had.
  HRESULT SelectFormat(const AudioFormat* format);

  // Full restart: the intermediate buffer cleared, a fresh snapshot
  // configured in full, positions and totals cleared, the stretcher
  // restarted. A failing configure is left for the next buffer to retry
  // and report; only a missing intermediate buffer is returned here, and the
  // next buffer's full set-up takes it again.
  HRESULT Restart();

  // Once per input buffer, before Process: picks up parameter changes and
  // low-passes the buffer in place when shifting up with antiAlias set.
  HRESULT PreFilter(ProcessMode mode, void* buffer, std::uint32_t frames) override;

  // One engine call of the copying filter (counts in: frames available and
  // room; out: consumed and produced). Mode Tail flushes with no input and
  // answers S_FALSE once nothing is left.
  HRESULT Process(ProcessMode mode, const void* in, std::uint32_t* inFrames, void* out,
                  std::uint32_t* outFrames) override;

 private:
  // Shifting up by more than 1.1 with the anti-alias switch on.
  bool Filtering() const { return r_ > 1.1 && active_.antiAlias != 0; }
  // The restart; `configured` receives the result of its full set-up.
  HRESULT Restart(HRESULT& configured);
  HRESULT Configure(const PitchParams& p, bool full);
  HRESULT ConfigureFull(const PitchParams& p);
  void SetRate(const PitchParams& p);

 public:
  // The transposition played at `rate` for a block as a stream plays it:
  // rate over the whole rate the input is read at, and no less than 0.5
  // while the length is kept (the stretcher cannot restore more than a
  // doubling).
  static double AppliedRatio(std::uint32_t rate, const PitchParams& p);

 private:
  // The intermediate buffer for the kind and channels, cleared, unless it is there.
  HRESULT AllocIntermediate();
  std::size_t IntermediateBytes() const;
  void ClearPositions();

  // The resampler from `in` (input frames of the connected kind) to `out`
  // (frames of the output kind, or of the intermediate buffer's float kind).
  void Resample(const void* in, std::uint32_t inFrames, void* out, std::uint32_t room, bool toIntermediate,
                std::uint32_t& consumed, std::uint32_t& produced);
  template <class In, class Out>
  void ResampleTo(const void* in, std::uint32_t inFrames, void* out, std::uint32_t room, std::uint32_t& consumed,
                  std::uint32_t& produced);
  // The loop, with the frame sums `Sums` (9 and 15 taps) built into it.
  template <class In, class Out, std::uint32_t Ch, std::uint32_t Taps, bool Wide>
  void ResampleAs(const void* in, std::uint32_t inFrames, void* out, std::uint32_t room, std::uint32_t& consumed,
                  std::uint32_t& produced);
  // The same loop compiled for processors with AVX, the wide sums inlined.
  template <class In, class Out, std::uint32_t Ch, std::uint32_t Taps>
  void ResampleWide(const void* in, std::uint32_t inFrames, void* out, std::uint32_t room, std::uint32_t& consumed,
                    std::uint32_t& produced);
  HRESULT ProcessPreserving(ProcessMode mode, const void* in, std::uint32_t available, void* out, std::uint32_t room,
                            std::uint32_t& consumed, std::uint32_t& produced);

  const AudioFormat* selected_ = nullptr;
  SampleKind kind_ = SampleKind::Pcm16;
  std::uint32_t channels_ = 1;
  std::uint32_t rate_ = 0;
  PitchParams active_{};  // the block the engine was last configured with

  // Resampler.
  std::uint32_t virtualRate_ = 0;
  double r_ = 1.0;
  std::uint32_t taps_ = 9, half_ = 4;
  // 2 x taps frames, channels interleaved: every frame stored twice.
  alignas(16) double ring_[2 * 2 * 15] = {};  // for the longest kernel
  std::uint32_t ringPos_ = 0;
  std::uint32_t need_ = 0;
  double T_ = 0.0, P_ = 0.0;
  std::uint64_t outCount_ = 0;
  std::int32_t restartFlag_ = 0;
  InterpKernel kernel_;

  AntiAliasFilter filter_;

  // Between the resampler and the stretcher.
  void* intermediate_ = nullptr;
  LineBuffer intermediateMemory_;
  std::uint32_t held_ = 0, readPos_ = 0;
  std::uint64_t totalIn_ = 0, totalOut_ = 0;
  TimeStretcher stretcher_;

  std::int32_t configuredOk_ = 0;
  std::int32_t fullPending_ = 1;
  std::int32_t started_ = 0;
};

}  // namespace quill
