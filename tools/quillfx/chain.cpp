#include "tools/quillfx/chain.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace quill {

namespace {

// Samples equal to either limit. The stages' buffers hold samples of T,
// suitably aligned. The counts run in T's own width, a run short enough
// not to overflow it at a time, so that the comparisons and the sums stay
// in one width when vectorised.
template <class T>
std::uint64_t CountAt(const std::uint8_t* data, std::size_t count, T lo, T hi) {
  using Lane = std::make_unsigned_t<T>;
  constexpr std::size_t kRun = std::numeric_limits<Lane>::max();
  const T* s = reinterpret_cast<const T*>(data);
  std::uint64_t n = 0;
  for (std::size_t at = 0; at < count; at += kRun) {
    const std::size_t end = std::min(count, at + kRun);
    Lane run = 0;
    for (std::size_t i = at; i < end; ++i) run += static_cast<Lane>((s[i] == lo) | (s[i] == hi));
    n += run;
  }
  return n;
}

// Floating-point samples beyond full scale, which integer output would clip,
// and samples that are not numbers. The one comparison is false for both
// and keeps the loop free of branches.
template <class T>
std::uint64_t CountOver(const std::uint8_t* data, std::size_t count) {
  const T* s = reinterpret_cast<const T*>(data);
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < count; ++i) n += static_cast<std::uint32_t>(!(std::fabs(s[i]) <= T(1)));
  return n;
}

}  // namespace

HRESULT Chain::Start(const AudioFormat* format, std::string& failed) {
  format_ = format;
  sinks_.clear();
  for (std::size_t i = 0; i < links_.size(); ++i)
    sinks_.push_back([this, i](std::uint8_t* data, std::uint32_t frames) {
      ChainLink& link = links_[i];
      link.framesOut += frames;
      Count(link, data, frames);
      return Deliver(i + 1, data, frames);
    });
  for (ChainLink& link : links_) {
    const HRESULT hr = link.stage->Start(format);
    if (FAILED(hr)) {
      failed = link.effect->catalog->name;
      return hr;
    }
  }
  return S_OK;
}

HRESULT Chain::Deliver(std::size_t next, std::uint8_t* data, std::uint32_t frames) {
  if (next == links_.size()) return write_(data, frames);
  const HRESULT hr = links_[next].stage->Feed(data, frames, sinks_[next]);
  if (FAILED(hr) && failedAt_ == links_.size()) failedAt_ = next;
  if (hr == kStateCleared) ++links_[next].cleared;
  return hr;
}

HRESULT Chain::Feed(std::uint8_t* data, std::uint32_t frames, std::string& failed) {
  failedAt_ = links_.size();
  const HRESULT hr = Deliver(0, data, frames);
  if (FAILED(hr)) failed = failedAt_ < links_.size() ? links_[failedAt_].effect->catalog->name : "writing";
  return hr;
}

HRESULT Chain::Finish(std::string& failed) {
  for (std::size_t i = 0; i < links_.size(); ++i) {
    failedAt_ = links_.size();
    const HRESULT hr = links_[i].stage->Finish(sinks_[i]);
    if (hr == kStateCleared) ++links_[i].cleared;
    if (FAILED(hr)) {
      // A failure downstream of the tail is the downstream stage's.
      failed = failedAt_ < links_.size() ? links_[failedAt_].effect->catalog->name : links_[i].effect->catalog->name;
      return hr;
    }
  }
  return S_OK;
}

void Chain::Count(ChainLink& link, const std::uint8_t* data, std::uint32_t frames) {
  const std::size_t count = static_cast<std::size_t>(frames) * format_->channels;
  switch (*SampleKindOf(*format_)) {
    case SampleKind::Pcm8:
      link.clipped += CountAt<std::uint8_t>(data, count, 0x00, 0xFF);
      break;
    case SampleKind::Pcm16:
      link.clipped += CountAt<std::int16_t>(data, count, INT16_MIN, INT16_MAX);
      break;
    case SampleKind::Pcm32:
      link.clipped += CountAt<std::int32_t>(data, count, INT32_MIN, INT32_MAX);
      break;
    case SampleKind::Float32:
      link.clipped += CountOver<float>(data, count);
      break;
    case SampleKind::Float64:
      link.clipped += CountOver<double>(data, count);
      break;
  }
}

std::uint64_t Chain::Clipped() const {
  std::uint64_t n = 0;
  for (const ChainLink& link : links_) n += link.clipped;
  return n;
}

}  // namespace quill
