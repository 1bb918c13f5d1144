// quillhost: the reference host. Streams a WAVE file through one effect of
// QUILLFX1.DLL in a real filter graph and writes the result; shows the
// effect's settings page, and saves and loads its settings.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "streaming/platform.h"
#include "tools/common/effect_catalog.h"
#include "tools/common/run_engine.h"
#include "tools/common/wav_file.h"
#include "tools/quillhost/graph_run.h"
#include "tools/quillhost/page_frame.h"
#include "tools/quillhost/settings_file.h"

namespace {

using namespace quill;

void Usage() {
  std::fprintf(stderr,
               "usage: quillhost [--effect NAME] [--settings FILE] [--preset INDEX|NAME] [FIELD=VALUE ...]\n"
               "                 [--page NAME [--page-timeout MS]] [--save-settings FILE] [INPUT.wav OUTPUT.wav]\n"
               "       quillhost --list\n"
               "       quillhost --effect NAME --presets\n"
               "FIELD is a field's raw or friendly name (see --list); VALUE a number in its raw\n"
               "unit, or with a unit (0.25s, 250ms, -3dB, 4kHz, 110%%); a value outside the\n"
               "field's range is refused. --settings loads a file that --save-settings wrote\n"
               "before the preset and fields apply. --page NAME shows that effect's settings\n"
               "page and streams the files, if given, once it is closed; --save-settings writes\n"
               "the settings after that. --page-timeout presses OK on the page after MS\n"
               "milliseconds, for scripts and tests. Input and output go together; without\n"
               "them, --page or --save-settings is needed. The effect is created by class\n"
               "identifier: register QUILLFX1.DLL first (wine regsvr32 /s QUILLFX1.DLL).\n");
}

void List() {
  for (const HostEffect& e : HostEffects()) {
    std::printf("%s (alias %s)\n", e.name, e.alias);
    for (const std::string& line : ListFields(e)) std::printf("  %s\n", line.c_str());
  }
}

int ListPresetsOf(const HostEffect& effect) {
  std::vector<std::string> names;
  std::string step;
  const HRESULT hr = ListPresets(effect, names, step);
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillhost: %s failed, 0x%08lX\n", step.c_str(), static_cast<unsigned long>(hr));
    return 1;
  }
  for (std::size_t i = 0; i < names.size(); ++i) std::printf("%2d %s\n", static_cast<int>(i), names[i].c_str());
  return 0;
}

// Values outside a range are refused before the graph is built; should the
// effect still change one, the user is told what it kept.
void ReportNotable(const GraphResult& result) {
  for (const FieldEdit& e : result.notable) std::fprintf(stderr, "quillhost: warning: %s\n", NotableText(e).c_str());
}

bool ToWide(const std::string& text, std::wstring& out) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return false;
  out.assign(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n) != n) return false;
  out.pop_back();
  return true;
}

// COM for this thread, for the length of the run; a single-threaded
// apartment with OLE for the property frame's windows.
class ComApartment {
 public:
  explicit ComApartment(bool windows)
      : windows_(windows), hr_(windows ? OleInitialize(nullptr) : CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComApartment() {
    if (FAILED(hr_)) return;
    if (windows_)
      OleUninitialize();
    else
      CoUninitialize();
  }
  HRESULT Result() const { return hr_; }

 private:
  bool windows_;
  HRESULT hr_;
};

bool ParseTimeout(const std::string& text, unsigned& ms) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != 0 || text[0] == '-' || value == 0 || value > 86400000ul) return false;
  ms = static_cast<unsigned>(value);
  return true;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

// The exit status for a failed step, after saying why; 0 if it went well.
static int FailureStatus(HRESULT hr, const std::string& step) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillhost: %s failed, 0x%08lX\n", step.c_str(), static_cast<unsigned long>(hr));
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  GraphJob job;
  std::string effectName = "twechos";
  std::string pageEffect;
  std::string inputPath;
  std::string outputPath;
  std::string settingsPath;
  std::string saveSettingsPath;
  unsigned pageTimeoutMs = 0;
  bool listPresets = false;
  bool effectGiven = false;
  std::vector<std::string> fieldArgs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--list") {
      List();
      return 0;
    } else if (arg == "--presets") {
      listPresets = true;
    } else if (arg == "--effect" && i + 1 < argc) {
      effectName = argv[++i];
      effectGiven = true;
    } else if (arg == "--page" && i + 1 < argc) {
      pageEffect = argv[++i];
    } else if (arg == "--page-timeout" && i + 1 < argc) {
      if (!ParseTimeout(argv[++i], pageTimeoutMs)) {
        std::fprintf(stderr, "quillhost: --page-timeout takes milliseconds, 1 to 86400000, not %s\n", argv[i]);
        return 2;
      }
    } else if (arg == "--settings" && i + 1 < argc) {
      settingsPath = argv[++i];
    } else if (arg == "--save-settings" && i + 1 < argc) {
      saveSettingsPath = argv[++i];
    } else if (arg == "--preset" && i + 1 < argc) {
      job.presetArg = argv[++i];
    } else if (arg.find('=') != std::string::npos && arg.rfind("--", 0) != 0) {
      fieldArgs.push_back(arg);
    } else if (arg.rfind("--", 0) != 0 && inputPath.empty()) {
      inputPath = arg;
    } else if (arg.rfind("--", 0) != 0 && outputPath.empty()) {
      outputPath = arg;
    } else {
      Usage();
      return 2;
    }
  }
  const bool showPage = !pageEffect.empty();
  if (showPage) {
    if (effectGiven && FindHostEffect(effectName) != FindHostEffect(pageEffect)) {
      std::fprintf(stderr, "quillhost: --effect %s and --page %s name different effects\n", effectName.c_str(),
                   pageEffect.c_str());
      return 2;
    }
    effectName = pageEffect;
  }
  job.effect = FindHostEffect(effectName);
  if (job.effect == nullptr) {
    std::fprintf(stderr, "quillhost: unknown effect %s (try --list)\n", effectName.c_str());
    return 2;
  }
  if (listPresets) {
    ComApartment com(false);
    if (FAILED(com.Result())) {
      std::fprintf(stderr, "quillhost: CoInitializeEx failed, 0x%08lX\n", static_cast<unsigned long>(com.Result()));
      return 1;
    }
    return ListPresetsOf(*job.effect);
  }
  const bool haveFiles = !outputPath.empty();
  if ((!inputPath.empty() && !haveFiles) || (!haveFiles && !showPage && saveSettingsPath.empty()) ||
      (pageTimeoutMs > 0 && !showPage)) {
    Usage();
    return 2;
  }
  for (const std::string& arg : fieldArgs) {
    FieldEdit edit{};
    std::string error;
    if (!ParseFieldArg(*job.effect, arg, edit, error)) {
      std::fprintf(stderr, "quillhost: %s\n", error.c_str());
      return 2;
    }
    job.fields.push_back(edit);
  }

  WavData input;
  std::string error;
  if (haveFiles) {
    if (!ReadWav(inputPath, input, error)) {
      std::fprintf(stderr, "quillhost: %s: %s\n", inputPath.c_str(), error.c_str());
      return 1;
    }
    if (!ToWide(inputPath, job.input)) {
      std::fprintf(stderr, "quillhost: cannot convert the path %s\n", inputPath.c_str());
      return 1;
    }
  }

  ComApartment com(showPage);
  if (FAILED(com.Result())) {
    std::fprintf(stderr, "quillhost: %s failed, 0x%08lX\n", showPage ? "OleInitialize" : "CoInitializeEx",
                 static_cast<unsigned long>(com.Result()));
    return 1;
  }
  // One filter from here on: the settings file, the preset and fields, the
  // page and the stream all act on it.
  std::string step;
  ComRef<IBaseFilter> effect;
  HRESULT hr = CreateEffect(*job.effect, effect, step);
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillhost: %s failed, 0x%08lX\n", step.c_str(), static_cast<unsigned long>(hr));
    return 1;
  }
  if (!settingsPath.empty() && FAILED(LoadSettingsFile(effect.Get(), settingsPath, error))) {
    std::fprintf(stderr, "quillhost: %s\n", error.c_str());
    return 1;
  }
  GraphResult result;
  hr = ConfigureEffect(effect.Get(), job, result, step);
  if (result.unknownPreset) {
    std::vector<std::string> names;
    ListPresets(*job.effect, names, step);
    std::fprintf(stderr, "quillhost: %s\n", NoPresetText(*job.effect, names, job.presetArg, "--presets").c_str());
    return 2;
  }
  if (int status = FailureStatus(hr, step)) return status;
  ReportNotable(result);

  if (showPage) {
    PageOutcome page;
    if (FAILED(ShowSettingsPages(*job.effect, effect.Get(), pageTimeoutMs, page, error))) {
      std::fprintf(stderr, "quillhost: %s\n", error.c_str());
      return 1;
    }
    if (page.closedByTimer)
      std::printf("page:        \"%s\" closed by --page-timeout after %u ms\n", Narrow(page.frameTitle).c_str(),
                  pageTimeoutMs);
    else
      std::printf("page:        \"%s\" closed\n", Narrow(page.caption).c_str());
  }
  if (!saveSettingsPath.empty()) {
    if (FAILED(SaveSettingsFile(effect.Get(), saveSettingsPath, error))) {
      std::fprintf(stderr, "quillhost: %s\n", error.c_str());
      return 1;
    }
    std::printf("settings:    saved to %s\n", saveSettingsPath.c_str());
  }
  if (!haveFiles) return 0;

  hr = RunEffectGraph(job, effect.Get(), result, step);
  if (int status = FailureStatus(hr, step)) return status;
  if (!WriteWav(outputPath, result.output, error)) {
    std::fprintf(stderr, "quillhost: %s: %s\n", outputPath.c_str(), error.c_str());
    return 1;
  }

  const std::uint32_t framesIn = input.Frames();
  const std::uint32_t framesOut = result.output.Frames();
  const double peak = PeakOf(result.output);
  std::printf("effect:      %s\n", job.effect->name);
  if (!result.presetName.empty()) std::printf("preset:      %s\n", result.presetName.c_str());
  std::printf("format:      %u Hz, %u channel(s), %u bits, tag %u\n", result.output.format.sampleRate,
              result.output.format.channels, result.output.format.bitsPerSample, result.output.format.formatTag);
  std::printf("frames in:   %u\n", framesIn);
  std::printf("frames out:  %u (%u buffers)\n", framesOut, result.buffers);
  // The delays and the reverb add a tail; time and pitch change the length.
  if (framesOut >= framesIn)
    std::printf("tail frames: %u\n", framesOut - framesIn);
  else
    std::printf("frames short: %u (%.4f of the input)\n", framesIn - framesOut,
                framesIn > 0 ? static_cast<double>(framesOut) / framesIn : 0.0);
  if (peak > 0.0)
    std::printf("output peak: %.6f (%.2f dBFS)\n", peak, 20.0 * std::log10(peak));
  else
    std::printf("output peak: 0 (silence)\n");
  return 0;
}
