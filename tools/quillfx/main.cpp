// quillfx: processes a sound file through a chain of the effects natively,
// block by block as a filter graph would, tails and flushes included.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tools/quillfx/chain.h"
#include "tools/common/effect_catalog.h"
#include "tools/quillfx/effect_stage.h"
#include "tools/quillfx/sound_file.h"

namespace {

using namespace quill;

// Exit statuses.
constexpr int kExitProcessing = 1;  // an engine or the chain failed
constexpr int kExitUsage = 2;       // the command line: options, effects, presets, fields
constexpr int kExitInput = 3;       // the input cannot be read or is not taken
constexpr int kExitOutput = 4;      // the output cannot be written

constexpr std::uint32_t kDefaultBlock = 4096;
constexpr std::uint32_t kMaxBlock = 1u << 20;

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: quillfx [OPTIONS] INPUT OUTPUT EFFECT [ARGS] [EFFECT [ARGS] ...]\n"
               "       quillfx --list | --presets EFFECT | --help-effect EFFECT\n"
               "\n"
               "EFFECT is an internal name or alias (see --list); its ARGS are a preset, by\n"
               "index or exact name, and FIELD=VALUE pairs with the parameter block's field\n"
               "names, applied after the preset. Values outside a field's range are clamped\n"
               "and reported. Effects run in the order given; each one's tail or flush goes\n"
               "through the effects after it.\n"
               "\n"
               "options:\n"
               "  -B, --block FRAMES   frames per block (default %u)\n"
               "  --kind KIND          process as pcm8, pcm16, pcm32, float or double,\n"
               "                       converting the input (needed for 24-bit and compressed\n"
               "                       input); without it the input's own kind is kept\n"
               "  -t, --type TYPE      output file type (wav, flac, aiff, ogg, ...); default\n"
               "                       from OUTPUT's extension\n"
               "  -S, --show-progress  progress on standard error even when it is no terminal\n"
               "  -q, --quiet          no progress line\n"
               "  -h, --help           this text\n"
               "\n"
               "On integer output, samples at the limits of the sample range (clipped) are\n"
               "counted per effect and reported when there are any.\n"
               "Exit status: 0 done, 1 processing failed, 2 bad command line, 3 input not\n"
               "readable or not taken, 4 output not writable.\n",
               kDefaultBlock);
}

void List() {
  for (const NativeEffect& e : NativeEffects()) {
    std::printf("%s (alias %s): %s\n", e.catalog->name, e.catalog->alias, e.summary);
    for (const FieldInfo& f : e.catalog->fields) std::printf("  %-18s %s\n", f.name, FieldRangeText(f).c_str());
  }
}

const NativeEffect* EffectOrComplain(const std::string& name) {
  const NativeEffect* effect = FindNativeEffect(name);
  if (effect == nullptr) std::fprintf(stderr, "quillfx: unknown effect %s (try --list)\n", name.c_str());
  return effect;
}

int ListPresets(const NativeEffect& effect) {
  auto stage = effect.create(kDefaultBlock);
  std::vector<std::string> names;
  const HRESULT hr = PresetNames(stage->Presets(), names);
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillfx: reading the presets of %s failed, 0x%08lX\n", effect.catalog->name,
                 static_cast<unsigned long>(hr));
    return kExitProcessing;
  }
  for (std::size_t i = 0; i < names.size(); ++i) std::printf("%2zu %s\n", i, names[i].c_str());
  return 0;
}

int HelpEffect(const NativeEffect& effect) {
  const HostEffect& c = *effect.catalog;
  auto stage = effect.create(kDefaultBlock);
  std::vector<std::string> names;
  PresetNames(stage->Presets(), names);
  std::printf("%s (alias %s)\n  %s\n", c.name, c.alias, effect.summary);
  const std::string ending = effect.ending;
  if (ending == "tail")
    std::printf("  At the end of the input it adds its tail, until the last echo has died away.\n");
  else if (ending == "flush")
    std::printf("  At the end of the input it flushes what it still holds.\n");
  else
    std::printf("  It adds nothing after the end of the input.\n");
  std::printf("  %zu presets (quillfx --presets %s); fields:\n", names.size(), c.alias);
  for (const FieldInfo& f : c.fields) std::printf("    %-18s %s\n", f.name, FieldRangeText(f).c_str());
  std::printf("  example: quillfx in.wav out.wav %s \"%s\" %s=%s\n", c.alias, names.size() > 1 ? names[1].c_str() : "0",
              c.fields.front().name, FieldValueText(c.fields.front(), c.fields.front().hi).c_str());
  return 0;
}

struct EffectRequest {
  const NativeEffect* effect = nullptr;
  std::string preset;
  std::vector<FieldEdit> edits;
};

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string Clock(double seconds) {
  const long long centi = static_cast<long long>(seconds * 100.0 + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", centi / 6000, centi / 100 % 60, centi % 100);
  return text;
}

// The progress line on standard error, redrawn at most five times a second.
class Progress {
 public:
  Progress(bool on, double rate, std::int64_t totalFrames) : on_(on), rate_(rate), total_(totalFrames) {}

  // A line is on the screen without its newline.
  bool Shown() const { return drawn_; }

  void Update(std::uint64_t in, std::uint64_t out, std::uint64_t clipped, bool last) {
    if (!on_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - shown_ < std::chrono::milliseconds(200)) return;
    shown_ = now;
    drawn_ = !last;
    std::string line = "\rquillfx: ";
    char text[64];
    if (total_ > 0) {
      std::snprintf(text, sizeof text, "%5.1f %% ", 100.0 * static_cast<double>(in) / static_cast<double>(total_));
      line += text;
      line += " in " + Clock(in / rate_) + " of " + Clock(total_ / rate_);
    } else {
      line += "in " + Clock(in / rate_);
    }
    std::snprintf(text, sizeof text, "  out %s  clipped %llu ", Clock(out / rate_).c_str(),
                  static_cast<unsigned long long>(clipped));
    line += text;
    std::fputs(line.c_str(), stderr);
    if (last) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  bool on_;
  double rate_;
  std::int64_t total_;
  std::chrono::steady_clock::time_point shown_{};
  bool drawn_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t block = kDefaultBlock;
  std::optional<SampleKind> kind;
  std::string type;
  int progress = -1;  // -1: when standard error is a terminal
  std::vector<std::string> positional;

  int i = 1;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      Usage(stdout);
      return 0;
    } else if (arg == "--list") {
      List();
      return 0;
    } else if ((arg == "--presets" || arg == "--help-effect") && hasValue) {
      const NativeEffect* effect = EffectOrComplain(argv[++i]);
      if (effect == nullptr) return kExitUsage;
      return arg == "--presets" ? ListPresets(*effect) : HelpEffect(*effect);
    } else if ((arg == "-B" || arg == "--block") && hasValue) {
      char* end = nullptr;
      const unsigned long n = std::strtoul(argv[++i], &end, 10);
      if (*argv[i] == '\0' || *end != '\0' || n == 0 || n > kMaxBlock) {
        std::fprintf(stderr, "quillfx: %s needs a frame count from 1 to %u\n", arg.c_str(), kMaxBlock);
        return kExitUsage;
      }
      block = static_cast<std::uint32_t>(n);
    } else if (arg == "--kind" && hasValue) {
      kind = ParseKind(argv[++i]);
      if (!kind) {
        std::fprintf(stderr, "quillfx: --kind takes pcm8, pcm16, pcm32, float or double, not %s\n", argv[i]);
        return kExitUsage;
      }
    } else if ((arg == "-t" || arg == "--type") && hasValue) {
      type = argv[++i];
    } else if (arg == "-S" || arg == "--show-progress") {
      progress = 1;
    } else if (arg == "-q" || arg == "--quiet") {
      progress = 0;
    } else if (arg == "--") {
      ++i;
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "quillfx: unknown option %s (or it lacks its value; try --help)\n", arg.c_str());
      return kExitUsage;
    } else {
      break;
    }
  }
  for (; i < argc; ++i) positional.push_back(argv[i]);
  if (positional.size() < 3) {
    Usage(stderr);
    return kExitUsage;
  }
  const std::string inputPath = positional[0];
  const std::string outputPath = positional[1];

  // The effects and their arguments: a name starts an effect; after it,
  // FIELD=VALUE edits a field and anything else names a preset.
  std::vector<EffectRequest> requests;
  for (std::size_t k = 2; k < positional.size(); ++k) {
    const std::string& arg = positional[k];
    if (const NativeEffect* effect = FindNativeEffect(arg)) {
      requests.push_back(EffectRequest{effect, {}, {}});
      continue;
    }
    if (requests.empty()) {
      if (FindHostEffect(arg) != nullptr)
        std::fprintf(stderr, "quillfx: effect %s is not built into this program (try --list)\n", arg.c_str());
      else
        std::fprintf(stderr, "quillfx: unknown effect %s (try --list)\n", arg.c_str());
      return kExitUsage;
    }
    EffectRequest& r = requests.back();
    if (arg.find('=') != std::string::npos) {
      FieldEdit edit{};
      std::string error;
      if (!ParseFieldArg(*r.effect->catalog, arg, edit, error)) {
        std::fprintf(stderr, "quillfx: %s\n", error.c_str());
        return kExitUsage;
      }
      r.edits.push_back(edit);
    } else if (!r.preset.empty()) {
      std::fprintf(stderr, "quillfx: %s: a second preset \"%s\" after \"%s\" (one preset per effect)\n",
                   r.effect->catalog->name, arg.c_str(), r.preset.c_str());
      return kExitUsage;
    } else {
      r.preset = arg;
    }
  }

  // Every engine set up before any file is touched.
  std::vector<ChainLink> links;
  for (const EffectRequest& r : requests) {
    ChainLink link;
    link.effect = r.effect;
    link.stage = r.effect->create(block);
    const char* name = r.effect->catalog->name;
    if (!r.preset.empty()) {
      const HRESULT hr = ApplyPresetArg(link.stage->Presets(), r.preset, link.presetName);
      if (hr == E_INVALIDARG) {
        std::fprintf(stderr, "quillfx: %s has no preset \"%s\" (an index or exact name; try --presets %s)\n", name,
                     r.preset.c_str(), r.effect->catalog->alias);
        return kExitUsage;
      }
      if (FAILED(hr)) {
        std::fprintf(stderr, "quillfx: %s: applying preset %s failed, 0x%08lX\n", name, r.preset.c_str(),
                     static_cast<unsigned long>(hr));
        return kExitProcessing;
      }
    }
    std::vector<FieldEdit> notable;
    std::string step;
    const HRESULT hr = ApplyFieldEdits(*r.effect->catalog, link.stage->Params(), r.edits, notable, step);
    if (FAILED(hr)) {
      std::fprintf(stderr, "quillfx: %s: %s failed, 0x%08lX\n", name, step.c_str(), static_cast<unsigned long>(hr));
      return kExitProcessing;
    }
    // Clamped values are not errors: the effect keeps the nearest value in
    // range, as its settings page would, and the user is told.
    for (const FieldEdit& e : notable) std::fprintf(stderr, "quillfx: warning: %s: %s\n", name, NotableText(e).c_str());
    links.push_back(std::move(link));
  }

  if (SameFile(inputPath, outputPath)) {
    std::fprintf(stderr, "quillfx: %s is both input and output; write to another file\n", inputPath.c_str());
    return kExitUsage;
  }
  std::string error;
  SoundReader reader;
  if (!reader.Open(inputPath, kind, error)) {
    std::fprintf(stderr, "quillfx: %s\n", error.c_str());
    return kExitInput;
  }
  const AudioFormat format = reader.Format();
  if (progress < 0) progress = isatty(STDERR_FILENO) ? 1 : 0;
  Progress meter(progress == 1, format.sampleRate, reader.Frames());
  SoundWriter writer;
  if (!writer.Open(outputPath, type, format, error)) {
    std::fprintf(stderr, "quillfx: %s\n", error.c_str());
    return kExitOutput;
  }
  // A failed run leaves no half-written output behind.
  const auto fail = [&](int status, const std::string& message) {
    std::fprintf(stderr, "%squillfx: %s\n", meter.Shown() ? "\n" : "", message.c_str());
    std::string ignored;
    writer.Close(ignored);
    std::remove(outputPath.c_str());
    return status;
  };

  std::uint64_t framesIn = 0, framesOut = 0;
  bool writeFailed = false;
  Chain chain(links, [&](std::uint8_t* data, std::uint32_t frames) -> HRESULT {
    if (!writer.Write(data, frames, error)) {
      writeFailed = true;
      return E_FAIL;
    }
    framesOut += frames;
    return S_OK;
  });
  const auto hex = [](HRESULT hr) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return std::string(text);
  };
  std::string failed;
  HRESULT hr = chain.Start(&format, failed);
  if (FAILED(hr)) return fail(kExitProcessing, failed + ": streaming start failed, " + hex(hr));

  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(block) * format.blockAlign);
  for (;;) {
    const std::int64_t got = reader.Read(buffer.data(), block, error);
    if (got < 0) return fail(kExitInput, error);
    if (got == 0) break;
    framesIn += static_cast<std::uint64_t>(got);
    hr = chain.Feed(buffer.data(), static_cast<std::uint32_t>(got), failed);
    if (writeFailed) return fail(kExitOutput, error);
    if (FAILED(hr)) return fail(kExitProcessing, failed + ": processing failed, " + hex(hr));
    meter.Update(framesIn, framesOut, chain.Clipped(), false);
  }
  hr = chain.Finish(failed);
  if (writeFailed) return fail(kExitOutput, error);
  if (FAILED(hr)) return fail(kExitProcessing, failed + ": the end of the stream failed, " + hex(hr));
  if (!writer.Close(error)) return fail(kExitOutput, error);
  meter.Update(framesIn, framesOut, chain.Clipped(), true);

  for (const ChainLink& link : links)
    if (link.clipped > 0)
      std::fprintf(stderr, "quillfx: %s: %llu samples clipped\n", link.effect->catalog->name,
                   static_cast<unsigned long long>(link.clipped));
  return 0;
}
