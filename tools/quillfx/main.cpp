// quillfx: processes sound files through a chain of the effects natively,
// block by block as a filter graph would, tails and flushes included.
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/quillfx/job.h"
#include "tools/quillfx/options.h"
#include "tools/quillfx/output_file.h"

namespace {

using namespace quill;

void List(const NativeEffect* only) {
  for (const NativeEffect& e : NativeEffects()) {
    if (only != nullptr && only != &e) continue;
    std::printf("%s (alias %s): %s\n", e.catalog->name, e.catalog->alias, e.summary);
    for (const std::string& line : ListFields(*e.catalog)) std::printf("  %s\n", line.c_str());
  }
}

// Every field of the defaults or of a preset, in real units and raw.
int Show(const NativeEffect& effect, const std::string& preset) {
  auto stage = effect.create(kDefaultBlock);
  std::string applied = "(Default)";
  if (!preset.empty()) {
    const HRESULT hr = ApplyPresetArg(stage->Presets(), preset, applied);
    if (hr == E_INVALIDARG) {
      std::vector<std::string> names;
      PresetNames(stage->Presets(), names);
      std::fprintf(stderr, "quillfx: %s\n",
                   NoPresetText(*effect.catalog, names, preset, std::string("quillfx --presets ") + effect.catalog->alias)
                       .c_str());
      return kExitUsage;
    }
    if (FAILED(hr)) {
      std::fprintf(stderr, "quillfx: %s: applying preset %s failed, 0x%08lX\n", effect.catalog->name, preset.c_str(),
                   static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
      return kExitProcessing;
    }
  }
  std::vector<double> block;
  const HRESULT hr = ReadBlock(*effect.catalog, stage->Params(), block);
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillfx: %s: reading the parameters failed, 0x%08lX\n", effect.catalog->name,
                 static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
    return kExitProcessing;
  }
  std::printf("%s, preset \"%s\":\n", effect.catalog->name, applied.c_str());
  for (const std::string& line : ShowBlock(*effect.catalog, block.data())) std::printf("  %s\n", line.c_str());
  return 0;
}

int ListPresets(const NativeEffect& effect) {
  auto stage = effect.create(kDefaultBlock);
  std::vector<std::string> names;
  const HRESULT hr = PresetNames(stage->Presets(), names);
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillfx: reading the presets of %s failed, 0x%08lX\n", effect.catalog->name,
                 static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
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
  for (const std::string& line : ListFields(c)) std::printf("    %s\n", line.c_str());
  std::printf("  example: quillfx in.wav out.wav %s \"%s\" %s=%s\n", c.alias, names.size() > 1 ? names[1].c_str() : "0",
              c.fields.front().name, FieldValueText(c.fields.front(), c.fields.front().hi).c_str());
  return 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The output for one of several inputs: its name in the output folder, with
// the extension of -t when one is given.
std::string OutputFor(const RunOptions& r, const std::string& input) {
  std::string name = BaseName(input);
  if (!r.type.empty()) {
    const std::size_t dot = name.rfind('.');
    name = (dot == std::string::npos ? name : name.substr(0, dot)) + "." + r.type;
  }
  return r.outDir + (r.outDir.back() == '/' ? "" : "/") + name;
}

void Report(const JobResult& job, bool several) {
  const std::string who = several ? job.input + ": " : "";
  if (job.status != 0) {
    // With several inputs the summary line carries the error.
    if (!several) std::fprintf(stderr, "quillfx: %s\n", job.error.c_str());
    return;
  }
  for (const std::string& warning : job.warnings)
    std::fprintf(stderr, "quillfx: %swarning: %s\n", who.c_str(), warning.c_str());
  for (const std::string& note : job.notes) std::fprintf(stderr, "quillfx: %snote: %s\n", who.c_str(), note.c_str());
  for (const StageCount& s : job.stages)
    if (s.clipped > 0)
      std::fprintf(stderr, "quillfx: %s%s: %llu samples %s\n", who.c_str(), s.effect.c_str(),
                   static_cast<unsigned long long>(s.clipped),
                   job.kind == "float" || job.kind == "double" ? "beyond full scale" : "clipped");
}

int Run(RunOptions& r) {
  // Every request is checked, presets found and fields set, before any file
  // is touched.
  {
    std::vector<ChainLink> links;
    std::string error;
    int status = 0;
    if (!BuildChain(r.effects, r.block, links, error, status)) {
      std::fprintf(stderr, "quillfx: %s\n", error.c_str());
      return status;
    }
  }
  std::vector<std::string> outputs;
  if (r.outDir.empty()) {
    outputs.push_back(r.output);
  } else {
    struct stat st;
    if (stat(r.outDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "quillfx: %s is not a folder\n", r.outDir.c_str());
      return kExitOutput;
    }
    for (const std::string& in : r.inputs) outputs.push_back(OutputFor(r, in));
    for (std::size_t i = 0; i < outputs.size(); ++i)
      for (std::size_t k = 0; k < i; ++k)
        if (outputs[k] == outputs[i]) {
          std::fprintf(stderr, "quillfx: %s and %s would both be written to %s\n", r.inputs[k].c_str(),
                       r.inputs[i].c_str(), outputs[i].c_str());
          return kExitUsage;
        }
  }
  for (std::size_t i = 0; i < outputs.size(); ++i)
    if (SameFile(r.inputs[i], outputs[i])) {
      std::fprintf(stderr, "quillfx: %s is both input and output; write to another file\n", r.inputs[i].c_str());
      return kExitUsage;
    }

  const bool several = !r.outDir.empty();
  if (r.progress < 0) r.progress = isatty(STDERR_FILENO) ? 1 : 0;
  std::vector<JobResult> results(r.inputs.size());
  if (!several) {
    results[0] = RunJob(r, r.inputs[0], outputs[0], r.progress == 1);
    Report(results[0], false);
  } else {
    unsigned workers = r.jobs != 0 ? r.jobs : std::max(1u, std::thread::hardware_concurrency());
    workers = std::min<unsigned>(workers, static_cast<unsigned>(r.inputs.size()));
    std::atomic<std::size_t> next{0};
    std::mutex print;
    std::vector<std::thread> pool;
    for (unsigned w = 0; w < workers; ++w)
      pool.emplace_back([&] {
        for (std::size_t i; (i = next++) < r.inputs.size();) {
          results[i] = RunJob(r, r.inputs[i], outputs[i], false);
          const std::lock_guard<std::mutex> hold(print);
          Report(results[i], true);
          std::fprintf(stderr, "%s\n", JobSummary(results[i]).c_str());
        }
      });
    for (std::thread& t : pool) t.join();
  }
  if (r.json) std::fputs(JobsJson(results).c_str(), r.output == "-" ? stderr : stdout);
  // The first failure, in the order of the inputs, decides the status.
  for (const JobResult& j : results)
    if (j.status != 0) return j.status;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // An interrupted run removes its temporary outputs, before any thread starts.
  InstallSignalCleanup();
  Command command;
  if (!ParseCommandLine(argc, argv, command)) return kExitUsage;
  switch (command.action) {
    case Action::Help:
      PrintUsage(stdout);
      return 0;
    case Action::Version:
      std::printf("quillfx 1.0 (Quillset 1 effects, %s)\n", sf_version_string());
      return 0;
    case Action::List:
      List(command.effect);
      return 0;
    case Action::Presets:
      return ListPresets(*command.effect);
    case Action::HelpEffect:
      return HelpEffect(*command.effect);
    case Action::Show:
      return Show(*command.effect, command.preset);
    case Action::Run:
      break;
  }
  return Run(command.run);
}
