#include "lv2/effects.h"

#include "twchorus/chorus_fields.h"
#include "twchorus/chorus_presets.h"
#include "twechomt/multi_tap_fields.h"
#include "twechomt/multi_tap_presets.h"
#include "twechos/simple_delay_fields.h"
#include "twechos/simple_delay_presets.h"
#include "twpitchs/pitch_fields.h"
#include "twpitchs/pitch_presets.h"
#include "twreverb/reverb_fields.h"
#include "twreverb/reverb_presets.h"
#include "twtime/time_fields.h"
#include "twtime/time_presets.h"

namespace quill::lv2 {

namespace {

template <class Params, PresetTable<Params> (*Table)()>
PluginEffect Describe(const char* internal, const char* alias, const char* title, const char* lv2Class,
                      FieldTable fields, bool copying,
                      void (*derive)(void*, std::span<const FieldEdit>) = nullptr) {
  return PluginEffect{
      internal,
      alias,
      title,
      lv2Class,
      fields,
      Table().size(),
      [](std::size_t i) -> const char* { return Table()[i].name; },
      [](std::size_t i) -> const void* { return &Table()[i].params; },
      derive,
      copying,
  };
}

}  // namespace

const std::vector<PluginEffect>& PluginEffects() {
  static const std::vector<PluginEffect> effects = {
      Describe<SimpleDelayParams, &SimpleDelayPresets>("twechos", "delay", "Simple delay", "DelayPlugin",
                                                       SimpleDelayFields(), false),
      Describe<MultiTapParams, &MultiTapPresets>("twechomt", "multitap", "Multi-tap delay", "DelayPlugin",
                                                 MultiTapFields(), false),
      Describe<ChorusParams, &ChorusPresets>("twchorus", "chorus", "Chorus", "ChorusPlugin", ChorusFields(), false),
      Describe<ReverbParams, &ReverbPresets>("twreverb", "reverb", "Reverb", "ReverbPlugin", ReverbFields(), false),
      Describe<TimeParams, &TimePresets>("twtime", "time", "Time compress/expand", "UtilityPlugin", TimeFields(),
                                         true),
      Describe<PitchParams, &PitchPresets>("twpitchs", "pitch", "Pitch shift", "PitchPlugin", PitchFields(), true,
                                           &DerivePitchRatio),
  };
  return effects;
}

std::string PluginUri(const PluginEffect& effect, std::uint32_t channels) {
  return std::string(kUriBase) + effect.alias + (channels == 1 ? "-mono" : "-stereo");
}

std::string PresetUri(const PluginEffect& effect, std::uint32_t channels, std::size_t index) {
  return PluginUri(effect, channels) + ":preset-" + std::to_string(index);
}

}  // namespace quill::lv2
