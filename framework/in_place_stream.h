// An in-place engine driven through one stream, the way every host of it
// does it: the filter shell, quillfx, quillhost's checks and the tests. The
// first buffer after a start is a discontinuity, as a source marks it; at the
// end of the stream silent buffers go through the engine in mode Tail until
// it reports the tail complete.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "framework/audio_format.h"
#include "framework/com.h"

namespace quill {

template <class Engine>
class InPlaceStream {
 public:
  explicit InPlaceStream(Engine& engine) : engine_(engine) {}

  // [streaming start] Points the engine at `format`, which the caller keeps,
  // and starts it: its memory reserved, then a restart.
  HRESULT Start(const AudioFormat* format) {
    format_ = format;
    fed_ = false;
    engine_.SetFormat(format);
    return engine_.StartStream();
  }

  // [streaming] One buffer of `*frames` frames in place; the count comes back
  // as processed.
  HRESULT Receive(void* data, std::uint32_t* frames, bool discontinuity = false) {
    const std::optional<SampleKind> kind = Kind();
    if (!kind) return VFW_E_NOT_CONNECTED;
    const ProcessMode mode = discontinuity || !fed_ ? ProcessMode::Discontinuity : ProcessMode::Continue;
    const HRESULT hr = engine_.Process(*kind, mode, data, frames);
    if (SUCCEEDED(hr)) fed_ = true;
    return hr;
  }

  // [end of stream] The tail. `buffers(fill)` is called once per tail buffer:
  // it gets a buffer, calls fill(data, bytes, &frames), which fills it with
  // the engine's tail and reports the frames filled, delivers those frames
  // and returns fill's result (or its own failure). The tail ends when the
  // engine reports it complete (or cleared, kStateCleared) or anything fails. Nothing is played when no
  // buffer went through since the start or the engine has no tail.
  template <class Buffers>
  HRESULT PlayTail(Buffers&& buffers) {
    if (!Engine::kHasTail || !fed_) return S_OK;
    fed_ = false;
    const auto fill = [this](void* data, std::uint32_t bytes, std::uint32_t* frames) {
      return Fill(data, bytes, frames);
    };
    HRESULT hr;
    do {
      hr = buffers(fill);
    } while (hr == S_OK);
    return FAILED(hr) ? hr : S_OK;
  }

  // The tail appended to `out`, `blockFrames` frames at a time.
  HRESULT PlayTail(std::vector<std::uint8_t>& out, std::uint32_t blockFrames) {
    if (format_ == nullptr || format_->blockAlign == 0) return VFW_E_NOT_CONNECTED;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockFrames) * format_->blockAlign);
    return PlayTail([&](const auto& fill) {
      std::uint32_t frames = 0;
      const HRESULT hr = fill(block.data(), static_cast<std::uint32_t>(block.size()), &frames);
      if (SUCCEEDED(hr))
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(frames) * format_->blockAlign);
      return hr;
    });
  }

 private:
  std::optional<SampleKind> Kind() const {
    if (format_ == nullptr || format_->blockAlign == 0) return std::nullopt;
    return SampleKindOf(*format_);
  }

  // Silence (0x80 for 8-bit samples), then the engine in mode Tail.
  HRESULT Fill(void* data, std::uint32_t bytes, std::uint32_t* frames) {
    *frames = 0;
    const std::optional<SampleKind> kind = Kind();
    if (!kind) return VFW_E_NOT_CONNECTED;
    std::memset(data, *kind == SampleKind::Pcm8 ? 0x80 : 0x00, bytes);
    *frames = bytes / format_->blockAlign;
    return engine_.Process(*kind, ProcessMode::Tail, data, frames);
  }

  Engine& engine_;
  const AudioFormat* format_ = nullptr;
  bool fed_ = false;
};

}  // namespace quill
