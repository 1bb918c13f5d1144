// Writes the bundle's Turtle files into the directory given.
#include <cstdio>
#include <fstream>
#include <string>

#include "lv2/turtle.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quill_lv2_ttl BUNDLE_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const struct {
    const char* name;
    std::string text;
  } files[] = {
      {"manifest.ttl", quill::lv2::ManifestTtl()},
      {quill::lv2::kPluginsTtl, quill::lv2::PluginsTtl()},
      {quill::lv2::kPresetsTtl, quill::lv2::PresetsTtl()},
  };
  for (const auto& file : files) {
    const std::string path = dir + "/" + file.name;
    std::ofstream out(path, std::ios::binary);
    out << file.text;
    if (!out.flush()) {
      std::fprintf(stderr, "quill_lv2_ttl: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
