// quillfx's command line: what to do, on which files, through which chain.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/audio_format.h"
#include "framework/field_table.h"
#include "tools/quillfx/effect_stage.h"

namespace quill {

// Exit statuses.
constexpr int kExitProcessing = 1;  // an engine or the chain failed
constexpr int kExitUsage = 2;       // the command line: options, effects, presets, fields, values
constexpr int kExitInput = 3;       // the input cannot be read or is not taken
constexpr int kExitOutput = 4;      // the output cannot be written

constexpr std::uint32_t kDefaultBlock = 4096;
constexpr std::uint32_t kMaxBlock = 1u << 20;
constexpr double kDefaultTailCap = 60.0;  // seconds of silence --tail auto feeds at most

struct EffectRequest {
  const NativeEffect* effect = nullptr;
  std::string preset;
  std::vector<FieldEdit> edits;
};

// The sample word asked for the output file (-b, -e); unset parts follow the input.
struct WordRequest {
  std::optional<unsigned> bits;     // 8, 16, 24, 32 or 64
  std::optional<bool> isFloat;      // -e float / -e signed
};

struct RunOptions {
  std::uint32_t block = kDefaultBlock;
  std::optional<SampleKind> kind;   // the processing kind (--kind); unset: from the input
  std::string type;                 // output container (-t); empty: from the output's extension
  WordRequest word;
  bool dither = true;
  int progress = -1;                // -1: when standard error is a terminal
  double padSeconds = 0.0;          // silence after the input, before the chain's own ending
  bool tailAuto = false;            // more silence until the chain has gone quiet
  double tailCapSeconds = kDefaultTailCap;
  unsigned jobs = 0;                // files processed at once; 0: one per core
  bool json = false;
  std::string outDir;               // -o: several inputs, one output each in this folder
  std::vector<std::string> inputs;
  std::string output;               // the one output without -o ("-": standard output)
  std::vector<EffectRequest> effects;
};

enum class Action { Run, Help, Version, List, Presets, HelpEffect, Show };

struct Command {
  Action action = Action::Run;
  const NativeEffect* effect = nullptr;  // --list EFFECT, --presets, --help-effect, --show
  std::string preset;                    // --show EFFECT PRESET
  RunOptions run;
};

// Reads the command line into `command`; on a mistake prints why on
// standard error and returns false (exit status kExitUsage).
bool ParseCommandLine(int argc, const char* const* argv, Command& command);

void PrintUsage(std::FILE* to);

}  // namespace quill
