// The splicing time stretcher: cuts the input into overlapping windows,
// finds for each the offset that lines up best with the output already
// placed, and cross-fades it in. Each window consumes S input frames and
// emits H output frames. It knows nothing about parameter blocks: its owner
// (the time engine, or the pitch engine behind its resampler) supplies the
// mode row, the ratio and the flush flag.
#pragma once

#include <cstdint>
#include <type_traits>

#include "dsp/line_buffer.h"
#include "dsp/stretch_search.h"
#include "dsp/stretch_modes.h"
#include "framework/audio_format.h"
#include "framework/com.h"

namespace quill {

// The sizes a mode row gives at one sample rate.
struct StretchGeometry {
  std::uint32_t N = 0;  // window length in frames
  std::uint32_t H = 0;  // output hop
  std::int32_t L = 0;   // cross-fade length
  std::int32_t R = 0;   // search range: candidate offsets and compared frames
  std::uint32_t D = 1;  // search stride
  float A = 0.0f;       // early-acceptance factor
};

// Integer rules in unsigned 32-bit arithmetic, as the stored rows assume.
StretchGeometry DeriveGeometry(std::uint32_t rate, const StretchMode& row);

// Input hop for a ratio: H / r rounded, kept within 1..N.
std::uint32_t InputHop(std::uint32_t H, std::uint32_t N, double ratio);

// Samples are held in single precision for 8- and 16-bit PCM and 32-bit
// float, in double precision for 32-bit PCM and 64-bit float.
template <class Kind>
using StretchReal =
    std::conditional_t<Kind::kind == SampleKind::Pcm32 || Kind::kind == SampleKind::Float64, double, float>;

inline bool IsDoublePrecision(SampleKind kind) {
  return kind == SampleKind::Pcm32 || kind == SampleKind::Float64;
}

class TimeStretcher {
 public:
  TimeStretcher() = default;
  ~TimeStretcher();
  TimeStretcher(const TimeStretcher&) = delete;
  TimeStretcher& operator=(const TimeStretcher&) = delete;

  // Chooses the loader (frames read as `in`) and the writer (frames written
  // as `out`); the buffers take the precision of `out`. `in` is either `out`
  // itself or the float kind of the same precision (an owner's intermediate
  // buffer). Requests a full configure. E_INVALIDARG for other pairs or a
  // channel count other than 1 or 2; the previous choice is kept then.
  HRESULT SelectKinds(SampleKind in, SampleKind out, std::uint32_t channels);

  // [streaming start, after SelectKinds] Holds the buffers the widest window
  // of any mode at `rate` needs, so that no configure while streaming
  // allocates. E_OUTOFMEMORY if they cannot be had.
  HRESULT Reserve(std::uint32_t rate);

  // Full when a full configure is pending (clears the buffers, drops the
  // window and any pending block), light otherwise (only the input hop).
  HRESULT Configure(std::uint32_t rate, std::int32_t mode, double ratio);
  // E_INVALIDARG for a mode outside the table or a rate too low for any
  // window; E_OUTOFMEMORY when a buffer cannot be had. Either failure
  // leaves the stretcher unconfigured with the full configure still pending.
  HRESULT ConfigureFull(std::uint32_t rate, std::int32_t mode, double ratio);
  HRESULT ConfigureFull(std::uint32_t rate, const StretchMode& row, double ratio);
  void ConfigureLight(double ratio);

  // One pass of the stretch loop over an input buffer and an output buffer.
  // The counts come in as frames available and frames of room and go out as
  // frames consumed and produced; a null count is 0 and is not written.
  // S_FALSE when the flush has delivered its last frame; E_UNEXPECTED before
  // a successful configure; E_POINTER for a missing buffer with frames.
  HRESULT Run(const void* in, std::uint32_t* inFrames, void* out, std::uint32_t* outFrames);

  void RequestFull() { fullPending_ = 1; }
  // A new stream: the first splice is copied without fade-in, no flush yet.
  void BeginStream() {
    firstBlock_ = 1;
    flushDone_ = 0;
    tail_ = 0;
  }
  void SetFirstBlock() { firstBlock_ = 1; }
  void ClearFlushDone() { flushDone_ = 0; }
  // While set, the window is processed without waiting for it to fill.
  void SetTail(bool on) { tail_ = on ? 1 : 0; }

  // Sum-of-squares search of the window against the start of the output
  // block (frames interleaved by `channels`); returns the offset. The plain
  // loop, which the stream's faster StretchSearch must agree with.
  template <class Real>
  static std::uint32_t Search(const Real* window, const Real* block, std::uint32_t channels, std::int32_t R,
                              std::uint32_t D, float A);

  // State, for the owners and for tests.
  const StretchGeometry& Geometry() const { return geometry_; }
  std::uint32_t InputHop() const { return S_; }
  double Ratio() const { return ratio_; }
  std::int32_t Mode() const { return mode_; }
  bool Configured() const { return configured_ != 0; }
  bool FullPending() const { return fullPending_ != 0; }
  bool Pending() const { return pending_ != 0; }
  bool FlushDone() const { return flushDone_ != 0; }
  bool Tail() const { return tail_ != 0; }
  bool FirstBlock() const { return firstBlock_ != 0; }
  std::int32_t Fill() const { return fill_; }
  double TaperAt(std::uint32_t i) const;

 private:
  template <class Real>
  void BuildTaper();
  template <class In, class Out>
  HRESULT RunAs(const void* in, std::uint32_t inFrames, void* out, std::uint32_t outRoom, std::uint32_t& consumed,
                std::uint32_t& produced);
  template <class Real>
  void Splice(Real* window, Real* block, const Real* taper, std::uint32_t pos);

  SampleKind inKind_ = SampleKind::Pcm16;
  SampleKind outKind_ = SampleKind::Pcm16;
  std::uint32_t channels_ = 1;
  bool doubleBuffers_ = false;  // precision of the buffers now allocated

  void* window_ = nullptr;  // N frames of input
  void* block_ = nullptr;   // N frames of output being assembled
  void* taper_ = nullptr;   // N fade factors, each repeated for every channel
  LineBuffer windowMemory_, blockMemory_, taperMemory_;
  StretchSearch search_;

  StretchGeometry geometry_;
  std::int32_t mode_ = 0;
  double ratio_ = 1.0;
  std::uint32_t S_ = 1;

  std::int32_t fill_ = 0;
  std::int32_t pending_ = 0;
  std::int32_t blockFromTail_ = 0;  // the pending block was spliced during the flush
  std::uint32_t drain_ = 0;
  std::uint32_t blockLen_ = 0;
  std::int32_t firstBlock_ = 1;
  std::int32_t tail_ = 0;
  std::int32_t flushDone_ = 0;
  std::int32_t configured_ = 0;
  std::int32_t fullPending_ = 1;
};

}  // namespace quill
