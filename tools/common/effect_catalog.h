// The effects the tools know: names on the command line, class and
// parameter-interface identifiers, the field table of the parameter block,
// and whole-block access through the parameter interface. Portable: the
// reference host reaches the interfaces through a filter in a graph, the
// native processor through engines in its own process, and both edit
// parameters and choose presets with the functions below.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "framework/field_table.h"
#include "include/quillfx1.h"

namespace quill {

struct HostEffect {
  const char* name;
  const char* alias;
  const CLSID* clsid;
  const IID* paramsIid;
  FieldTable fields;
  std::size_t blockSize;
  // GetParams and SetParams of the parameter interface, on a block of
  // blockSize bytes; `params` is that interface.
  HRESULT (*getParams)(IUnknown* params, void* block);
  HRESULT (*setParams)(IUnknown* params, const void* block);
  // Fields that only a settings page reads, from which the page derives the
  // field the engine uses: after the edits and before SetParams, brings the
  // derived field in line with them. Null when the effect has none.
  void (*derive)(void* block, std::span<const FieldEdit> edits) = nullptr;
};

const std::vector<HostEffect>& HostEffects();
// By internal name or alias, case-insensitive; null if unknown.
const HostEffect* FindHostEffect(const std::string& name);

// "name=value" for one field of the effect's block; false with a message
// in `error` for a field the block lacks or a value the field cannot hold.
bool ParseFieldArg(const HostEffect& effect, const std::string& arg, FieldEdit& edit, std::string& error);

// The presets' names in index order.
HRESULT PresetNames(IEffectPresets* presets, std::vector<std::string>& names);

// Index of the preset that `arg` names, by index or exact name; -1 if none.
int FindPreset(const std::vector<std::string>& names, const std::string& arg);

// Applies the preset `arg` names; E_INVALIDARG if it names none.
HRESULT ApplyPresetArg(IEffectPresets* presets, const std::string& arg, std::string& applied);

// All edits in one round: the whole block out, the fields changed, the block
// back in. SetParams answers E_FAIL when it had to clamp, which is not a
// failure here: `notable` receives the edits that were clamped (or kept but
// naming no row of the effect's table). `step` tells what failed.
HRESULT ApplyFieldEdits(const HostEffect& effect, IUnknown* params, const std::vector<FieldEdit>& edits,
                        std::vector<FieldEdit>& notable, std::string& step);

// What became of a notable edit, for a warning:
// "tapGain[0]=140 is outside -100..100 %; clamped to 100".
std::string NotableText(const FieldEdit& edit);

}  // namespace quill
