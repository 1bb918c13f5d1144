// A chain of effect stages between a reader and a writer: blocks of input
// go through every stage in order; at the end each stage in turn adds its
// tail or flush, which the stages after it process like any other input.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/quillfx/effect_stage.h"

namespace quill {

struct ChainLink {
  const NativeEffect* effect = nullptr;
  std::unique_ptr<EffectStage> stage;
  std::string presetName;     // the preset applied, if any
  std::uint64_t clipped = 0;  // output samples at the integer limits or beyond ±1.0
  std::uint64_t framesOut = 0;
  std::uint64_t cleared = 0;  // blocks after which its lines were cleared of a NaN or an infinity
};

class Chain {
 public:
  // `write` receives the last stage's output.
  Chain(std::vector<ChainLink>& links, FrameSink write) : links_(links), write_(std::move(write)) {}

  // Streaming start for every stage.
  HRESULT Start(const AudioFormat* format, std::string& failed);
  HRESULT Feed(std::uint8_t* data, std::uint32_t frames, std::string& failed);
  HRESULT Finish(std::string& failed);

  std::uint64_t Clipped() const;

 private:
  HRESULT Deliver(std::size_t next, std::uint8_t* data, std::uint32_t frames);
  void Count(ChainLink& link, const std::uint8_t* data, std::uint32_t frames);

  std::vector<ChainLink>& links_;
  FrameSink write_;
  std::vector<FrameSink> sinks_;  // sinks_[i] receives stage i's output
  const AudioFormat* format_ = nullptr;
  // The stage whose call failed, for the message.
  std::size_t failedAt_ = 0;
};

}  // namespace quill
