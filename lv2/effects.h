// The six effects as the plugin bundle presents them: URIs, names, the
// parameter table the controls come from, and the built-in presets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/field_table.h"

namespace quill::lv2 {

inline constexpr const char* kUriBase = "urn:quillset:lv2:";

struct PluginEffect {
  const char* internal;  // the effect's internal name: "twreverb"
  const char* alias;     // the short name the URIs use: "reverb"
  const char* title;     // "Reverb"
  const char* lv2Class;  // the plugin class in the LV2 core vocabulary
  FieldTable fields;
  std::size_t presetCount;
  const char* (*presetName)(std::size_t index);
  const void* (*presetBlock)(std::size_t index);  // the whole parameter block
  // Sets the Driven fields from the Drives fields a user changed, as the
  // page does (the pitch ratio from semitones and cents); null if none.
  void (*derive)(void* block, std::span<const FieldEdit> edits);
  // Time and pitch: frames come out as the engine makes them, through a
  // queue, so the plugin reports a latency.
  bool copying;
};

const std::vector<PluginEffect>& PluginEffects();

// "urn:quillset:lv2:reverb-stereo"
std::string PluginUri(const PluginEffect& effect, std::uint32_t channels);
// "urn:quillset:lv2:reverb-stereo:preset-3"
std::string PresetUri(const PluginEffect& effect, std::uint32_t channels, std::size_t index);

}  // namespace quill::lv2
