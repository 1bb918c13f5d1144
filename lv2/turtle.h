// The bundle's Turtle descriptions, written from the effects' parameter
// tables and preset tables at build time.
#pragma once

#include <string>

namespace quill::lv2 {

inline constexpr const char* kBinary = "quillset.so";
inline constexpr const char* kPluginsTtl = "quillset.ttl";
inline constexpr const char* kPresetsTtl = "presets.ttl";

std::string ManifestTtl();  // manifest.ttl: the plugins and the presets, and where each is described
std::string PluginsTtl();   // the plugins: names, classes and ports
std::string PresetsTtl();   // every built-in preset of every plugin, by name

}  // namespace quill::lv2
