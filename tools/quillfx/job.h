// One input file through a chain of effects into one output file: the
// chain built from the command line's requests, the input read block by
// block, padding and quiet-seeking silence after it, the effects' own
// endings, and what happened on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/quillfx/chain.h"
#include "tools/quillfx/options.h"

namespace quill {

// Builds the chain's stages, presets applied and fields set, for blocks of
// `block` frames. False with a message (and its exit status) for a preset
// that is not there or an engine that refuses its settings.
bool BuildChain(const std::vector<EffectRequest>& requests, std::uint32_t block, std::vector<ChainLink>& links,
                std::string& error, int& status);

struct StageCount {
  std::string effect;       // internal name
  std::uint64_t clipped;    // samples at the integer limits or beyond float full scale
};

struct JobResult {
  std::string input;
  std::string output;
  int status = 0;           // 0, or an exit status
  std::string error;        // why, when status is not 0
  std::vector<std::string> warnings;  // what is wrong with the input, though it could be processed
  std::vector<std::string> notes;     // conversions and other things the user should know
  std::uint32_t sampleRate = 0;
  std::uint16_t channels = 0;
  std::string kind;         // the processing kind
  std::string word;         // what the output file holds: "24-bit integer"
  std::uint64_t framesIn = 0;
  std::uint64_t padFrames = 0;     // --pad silence
  std::uint64_t quietFrames = 0;   // --tail auto silence
  bool tailCapped = false;         // --tail auto stopped at its cap
  std::uint64_t framesOut = 0;
  double peak = 0.0;               // of the output, full scale 1.0
  std::vector<StageCount> stages;
  std::uint64_t convertClipped = 0;  // clipped by the input's and the output's conversions
  double seconds = 0.0;
};

// Processes `input` into `output` ("-": standard output). `progress` draws
// the progress line on standard error.
JobResult RunJob(const RunOptions& options, const std::string& input, const std::string& output, bool progress);

// The run summary: one JSON object for all jobs.
std::string JobsJson(const std::vector<JobResult>& jobs);

// "in.wav -> out/in.wav: 44100 frames in, 132300 out (88200 of tail), peak -3.2 dBFS, 0.12 s"
std::string JobSummary(const JobResult& job);

}  // namespace quill
