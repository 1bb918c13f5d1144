#include "tools/quillfx/options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>

#include "tools/quillfx/sound_file.h"

namespace quill {

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: quillfx [OPTIONS] INPUT OUTPUT EFFECT [ARGS] [EFFECT [ARGS] ...]\n"
               "       quillfx [OPTIONS] -o OUTDIR INPUT... -- EFFECT [ARGS] ...\n"
               "       quillfx --list [EFFECT] | --presets EFFECT | --show EFFECT [PRESET]\n"
               "       quillfx --help-effect EFFECT | --version\n"
               "\n"
               "EFFECT is an internal name or alias (see --list); its ARGS are a preset, by\n"
               "index or name, and FIELD=VALUE pairs applied after it: the parameter block's\n"
               "field names with raw values (delayMs=250, dryOut=-30) or the friendly names\n"
               "with real units (delay=0.25s, dry=-3dB, final=110%%, lowpass=4kHz). A value\n"
               "outside its field's range is refused. Effects run in the order given; each\n"
               "one's tail or flush goes through the effects after it. OUTPUT - is standard\n"
               "output.\n"
               "\n"
               "options:\n"
               "  -B, --block FRAMES   frames per block (default %u; the result does not depend on it)\n"
               "  --kind KIND          process as pcm8, pcm16, pcm32, float or double; by default\n"
               "                       the input's own kind, 24-bit as pcm32, anything else as float\n"
               "  -t, --type TYPE      output file type (wav, flac, aiff, ogg, ...); default from\n"
               "                       OUTPUT's extension\n"
               "  -b, --bits BITS      output sample size: 8, 16, 24, 32 or 64 (default: the input's)\n"
               "  -e, --encoding ENC   output samples signed (integer) or float\n"
               "  --no-dither          shorten words by rounding alone, without TPDF dither\n"
               "  --pad SECONDS        silence appended to the input before the chain\n"
               "  --tail auto          feed silence until the output stays below -96 dBFS for\n"
               "                       100 ms, then end as the effects do\n"
               "  --tail-cap SECONDS   the most silence --tail auto feeds (default %g)\n"
               "  -o, --outdir DIR     several inputs, each written to DIR under its own name;\n"
               "                       the inputs end with --\n"
               "  -j, --jobs N         inputs processed at once (default: one per core)\n"
               "  --json               a run summary as JSON on standard output (standard error\n"
               "                       when the audio goes to standard output)\n"
               "  -S, --show-progress  progress on standard error even when it is no terminal\n"
               "  -q, --quiet          no progress line\n"
               "  -h, --help           this text\n"
               "\n"
               "Samples at the limits of an integer range, and float samples beyond full scale,\n"
               "are counted per effect and reported when there are any.\n"
               "Exit status: 0 done, 1 processing failed, 2 bad command line, 3 input not\n"
               "readable or not taken, 4 output not writable.\n",
               kDefaultBlock, kDefaultTailCap);
}

namespace {

bool Complain(const std::string& message) {
  std::fprintf(stderr, "quillfx: %s\n", message.c_str());
  return false;
}

bool ParseCount(const std::string& option, const std::string& text, unsigned long lo, unsigned long hi,
                unsigned long& value) {
  char* end = nullptr;
  const unsigned long n = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || text[0] == '-' || *end != '\0' || n < lo || n > hi)
    return Complain(option + " needs a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                    ", not \"" + text + "\"");
  value = n;
  return true;
}

bool ParseSeconds(const std::string& option, const std::string& text, double& value) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  std::string_view rest(end);
  if (rest == "s") rest = {};
  if (text.empty() || !rest.empty() || !std::isfinite(v) || v < 0.0 || v > 86400.0)
    return Complain(option + " needs seconds from 0 to 86400, not \"" + text + "\"");
  value = v;
  return true;
}

const NativeEffect* EffectOrComplain(const std::string& name) {
  const NativeEffect* effect = FindNativeEffect(name);
  if (effect == nullptr) Complain("unknown effect " + name + " (try --list)");
  return effect;
}

// One option as it appears on the command line, with its value if it takes one.
struct OptionSpec {
  const char* longName;
  char shortName;  // 0: none
  bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {"help", 'h', false},       {"version", 0, false},  {"list", 0, false},       {"presets", 0, true},
    {"help-effect", 0, true},   {"show", 0, true},      {"block", 'B', true},     {"kind", 0, true},
    {"type", 't', true},        {"bits", 'b', true},    {"encoding", 'e', true},  {"no-dither", 0, false},
    {"pad", 0, true},           {"tail", 0, true},      {"tail-cap", 0, true},    {"outdir", 'o', true},
    {"jobs", 'j', true},        {"json", 0, false},     {"show-progress", 'S', false},
    {"quiet", 'q', false},
};

const OptionSpec* FindLong(std::string_view name) {
  for (const OptionSpec& o : kOptions)
    if (name == o.longName) return &o;
  return nullptr;
}

const OptionSpec* FindShort(char c) {
  for (const OptionSpec& o : kOptions)
    if (o.shortName == c) return &o;
  return nullptr;
}

// Applies one option; `more` gives the words after it for the listing
// options, which take an optional second word.
bool Apply(const OptionSpec& o, const std::string& shown, const std::string& value, Command& c,
           const std::vector<std::string>& more, std::size_t& consumed) {
  RunOptions& r = c.run;
  const std::string name = o.longName;
  unsigned long n = 0;
  if (name == "help") {
    c.action = Action::Help;
  } else if (name == "version") {
    c.action = Action::Version;
  } else if (name == "list") {
    c.action = Action::List;
    if (!more.empty()) {
      c.effect = EffectOrComplain(more[0]);
      if (c.effect == nullptr) return false;
      consumed = 1;
    }
  } else if (name == "presets" || name == "help-effect" || name == "show") {
    c.action = name == "presets" ? Action::Presets : name == "show" ? Action::Show : Action::HelpEffect;
    c.effect = EffectOrComplain(value);
    if (c.effect == nullptr) return false;
    if (name == "show" && !more.empty()) {
      c.preset = more[0];
      consumed = 1;
    }
  } else if (name == "block") {
    if (!ParseCount(shown, value, 1, kMaxBlock, n)) return false;
    r.block = static_cast<std::uint32_t>(n);
  } else if (name == "kind") {
    r.kind = ParseKind(value);
    if (!r.kind) return Complain("--kind takes pcm8, pcm16, pcm32, float or double, not " + value);
  } else if (name == "type") {
    r.type = value;
  } else if (name == "bits") {
    if (value != "8" && value != "16" && value != "24" && value != "32" && value != "64")
      return Complain(shown + " takes 8, 16, 24, 32 or 64 bits, not " + value);
    r.word.bits = static_cast<unsigned>(std::stoul(value));
  } else if (name == "encoding") {
    if (value == "signed" || value == "signed-integer")
      r.word.isFloat = false;
    else if (value == "float" || value == "floating-point")
      r.word.isFloat = true;
    else
      return Complain(shown + " takes signed or float, not " + value);
  } else if (name == "no-dither") {
    r.dither = false;
  } else if (name == "pad") {
    return ParseSeconds(shown, value, r.padSeconds);
  } else if (name == "tail") {
    if (value != "auto" && value != "effect")
      return Complain("--tail takes auto (until the output is quiet) or effect (the effects' own), not " + value);
    r.tailAuto = value == "auto";
  } else if (name == "tail-cap") {
    return ParseSeconds(shown, value, r.tailCapSeconds);
  } else if (name == "outdir") {
    if (value.empty()) return Complain(shown + " needs a folder");
    r.outDir = value;
  } else if (name == "jobs") {
    if (!ParseCount(shown, value, 1, 256, n)) return false;
    r.jobs = static_cast<unsigned>(n);
  } else if (name == "json") {
    r.json = true;
  } else if (name == "show-progress") {
    r.progress = 1;
  } else if (name == "quiet") {
    r.progress = 0;
  }
  return true;
}

// FIELD=VALUE edits a field, an effect name starts an effect, and anything
// else names the current effect's preset.
bool ParseEffects(const std::vector<std::string>& words, std::vector<EffectRequest>& effects) {
  if (words.empty()) return Complain("no effect given (try --list)");
  for (const std::string& word : words) {
    if (const NativeEffect* effect = FindNativeEffect(word)) {
      effects.push_back(EffectRequest{effect, {}, {}});
      continue;
    }
    if (effects.empty()) {
      if (FindHostEffect(word) != nullptr) return Complain("effect " + word + " is not built into this program");
      return Complain("unknown effect " + word + " (try --list)");
    }
    EffectRequest& r = effects.back();
    if (word.find('=') != std::string::npos) {
      FieldEdit edit{};
      std::string error;
      if (!ParseFieldArg(*r.effect->catalog, word, edit, error)) return Complain(error);  // it names the effect
      r.edits.push_back(edit);
    } else if (!r.preset.empty()) {
      return Complain(std::string(r.effect->catalog->name) + ": a second preset \"" + word + "\" after \"" +
                      r.preset + "\" (one preset per effect)");
    } else {
      r.preset = word;
    }
  }
  return true;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, Command& c) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::size_t i = 0;
  bool endOfOptions = false;
  for (; i < words.size() && c.action == Action::Run; ++i) {
    const std::string& w = words[i];
    if (w == "--") {
      endOfOptions = true;
      ++i;
      break;
    }
    if (w.size() < 2 || w[0] != '-') break;  // "-" is standard output, a file
    const std::vector<std::string> rest(words.begin() + static_cast<long>(i) + 1, words.end());
    if (w[1] == '-') {
      // --name, --name=value, --name value
      const std::size_t eq = w.find('=');
      const std::string name = w.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      const OptionSpec* o = FindLong(name);
      if (o == nullptr) return Complain("unknown option --" + name + " (try --help)");
      std::string value;
      std::vector<std::string> more = rest;
      if (o->takesValue) {
        if (eq != std::string::npos) {
          value = w.substr(eq + 1);
        } else if (!rest.empty()) {
          value = rest[0];
          more.erase(more.begin());
          ++i;
        } else {
          return Complain("--" + name + " needs a value (try --help)");
        }
      } else if (eq != std::string::npos) {
        return Complain("--" + name + " takes no value");
      }
      std::size_t consumed = 0;
      if (!Apply(*o, "--" + name, value, c, more, consumed)) return false;
      i += consumed;
      continue;
    }
    // -qS, -B512, -B 512, -qB 512: flags run together, the last may take a value.
    for (std::size_t k = 1; k < w.size(); ++k) {
      const OptionSpec* o = FindShort(w[k]);
      if (o == nullptr) return Complain(std::string("unknown option -") + w[k] + " (try --help)");
      const std::string shown = std::string("-") + w[k];
      std::string value;
      if (o->takesValue) {
        if (k + 1 < w.size()) {
          value = w.substr(k + 1);
        } else if (i + 1 < words.size()) {
          value = words[++i];
        } else {
          return Complain(shown + " needs a value (try --help)");
        }
        k = w.size();
      }
      std::size_t consumed = 0;
      if (!Apply(*o, shown, value, c, {}, consumed)) return false;
    }
  }
  if (c.action != Action::Run) return true;

  std::vector<std::string> positional(words.begin() + static_cast<long>(i), words.end());
  RunOptions& r = c.run;
  std::string error;
  if (!CheckWordRequest(r.word.bits, r.word.isFloat, error)) return Complain(error);
  if (!r.outDir.empty()) {
    // -o DIR IN... -- EFFECT ...
    std::size_t split = 0;
    while (split < positional.size() && positional[split] != "--") ++split;
    if (split == positional.size())
      return Complain(endOfOptions ? "with -o, name the inputs and end them with --, then the effects"
                                   : "with -o, end the inputs with -- before the effects");
    r.inputs.assign(positional.begin(), positional.begin() + static_cast<long>(split));
    if (r.inputs.empty()) return Complain("with -o, name at least one input before --");
    for (const std::string& in : r.inputs)
      if (in == "-") return Complain("with -o, the inputs are files (- is not one)");
    return ParseEffects({positional.begin() + static_cast<long>(split) + 1, positional.end()}, r.effects);
  }
  if (positional.size() < 3) {
    PrintUsage(stderr);
    return false;
  }
  r.inputs = {positional[0]};
  r.output = positional[1];
  return ParseEffects({positional.begin() + 2, positional.end()}, r.effects);
}

}  // namespace quill
