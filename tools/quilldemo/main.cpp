// The demo job: makes the built-in demo material, runs it through the simple
// delay engine natively and writes both as WAV files.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/common/demo_material.h"
#include "tools/common/run_engine.h"
#include "twechos/simple_delay_engine.h"
#include "tools/common/wav_file.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: quilldemo [--preset N|NAME] [--block FRAMES] [--out DIR]\n"
               "       quilldemo --make-material FILE\n"
               "       quilldemo --make-long FILE SECONDS CHANNELS [RATE]   (measurement material,\n"
               "                                                            44100 Hz by default)\n");
}

std::string PresetName(int index) {
  return quill::SimpleDelayPresets()[index].name;
}

int FindPreset(const std::string& text) {
  const auto table = quill::SimpleDelayPresets();
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0') return n >= 0 && n < static_cast<long>(table.size()) ? static_cast<int>(n) : -1;
  for (std::size_t i = 0; i < table.size(); ++i)
    if (text == table[i].name) return static_cast<int>(i);
  return -1;
}

double Db(double peak) {
  return peak > 0.0 ? 20.0 * std::log10(peak) : -INFINITY;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outDir = ".";
  std::string preset = "1";
  std::uint32_t block = 4410;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--make-long" && i + 3 < argc) {
      const unsigned long seconds = std::strtoul(argv[i + 2], nullptr, 10);
      const unsigned long channels = std::strtoul(argv[i + 3], nullptr, 10);
      const unsigned long rate = i + 4 < argc ? std::strtoul(argv[i + 4], nullptr, 10) : 44100;
      if (seconds == 0 || seconds > 3600 || (channels != 1 && channels != 2) || rate < 8000 || rate > 192000) {
        std::fprintf(stderr,
                     "quilldemo: --make-long needs 1 to 3600 seconds, 1 or 2 channels and a rate of 8000 to 192000 Hz\n");
        return 2;
      }
      std::string error;
      if (!quill::WriteWav(argv[i + 1],
                           quill::MakeLongMaterial(static_cast<std::uint32_t>(seconds),
                                                   static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(rate)),
                           error)) {
        std::fprintf(stderr, "quilldemo: %s\n", error.c_str());
        return 1;
      }
      return 0;
    } else if (arg == "--make-material" && i + 1 < argc) {
      std::string error;
      if (!quill::WriteWav(argv[i + 1], quill::MakeDemoMaterial(), error)) {
        std::fprintf(stderr, "quilldemo: %s\n", error.c_str());
        return 1;
      }
      return 0;
    } else if (arg == "--preset" && i + 1 < argc) {
      preset = argv[++i];
    } else if (arg == "--block" && i + 1 < argc) {
      block = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
      if (block == 0) {
        std::fprintf(stderr, "quilldemo: --block needs a positive frame count\n");
        return 2;
      }
    } else if (arg == "--out" && i + 1 < argc) {
      outDir = argv[++i];
    } else {
      Usage();
      return 2;
    }
  }
  const int index = FindPreset(preset);
  if (index < 0) {
    std::fprintf(stderr, "quilldemo: no simple delay preset \"%s\" (0 to %zu or an exact name)\n", preset.c_str(),
                 quill::SimpleDelayPresets().size() - 1);
    return 2;
  }

  const quill::WavData material = quill::MakeDemoMaterial();
  std::string error;
  const std::string inPath = outDir + "/demo-material.wav";
  const std::string outPath = outDir + "/demo-simple-delay.wav";
  if (!quill::WriteWav(inPath, material, error)) {
    std::fprintf(stderr, "quilldemo: %s\n", error.c_str());
    return 1;
  }

  quill::SimpleDelayEngine engine;
  HRESULT hr = engine.ApplyPreset(index);
  if (FAILED(hr)) {
    std::fprintf(stderr, "quilldemo: preset %d refused (0x%08X)\n", index, static_cast<unsigned>(hr));
    return 1;
  }
  quill::WavData output;
  quill::RunStats stats;
  hr = quill::RunInPlace(engine, material, output, block, stats);
  if (FAILED(hr)) {
    std::fprintf(stderr, "quilldemo: processing failed (0x%08X)\n", static_cast<unsigned>(hr));
    return 1;
  }
  if (!quill::WriteWav(outPath, output, error)) {
    std::fprintf(stderr, "quilldemo: %s\n", error.c_str());
    return 1;
  }

  SimpleDelayParams p;
  engine.GetParams(&p);
  const double rate = material.format.sampleRate;
  std::printf("material : %s (%u frames, %.2f s, %u Hz, %u-bit, %u channel, peak %.1f dBFS)\n", inPath.c_str(),
              stats.framesIn, stats.framesIn / rate, material.format.sampleRate, material.format.bitsPerSample,
              material.format.channels, Db(quill::PeakOf(material)));
  std::printf("effect   : simple delay, preset %d \"%s\"\n", index, PresetName(index).c_str());
  std::printf("params   : feedback %d, delay %d ms, decay %.1f s, delay out %.1f dB, dry out %.1f dB\n", p.feedback,
              p.delayMs, p.decayTenths / 10.0, p.delayOut / 10.0, p.dryOut / 10.0);
  std::printf("engine   : block %u frames\n", block);
  std::printf("output   : %s (%u frames = %u in + %u tail, %.2f s, peak %.1f dBFS)\n", outPath.c_str(), stats.framesOut,
              stats.framesIn, stats.tailFrames, stats.framesOut / rate, Db(stats.peak));
  return 0;
}
