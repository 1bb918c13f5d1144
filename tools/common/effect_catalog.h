// The effects the tools know: names on the command line, class and
// parameter-interface identifiers, the field table of the parameter block,
// and whole-block access through the parameter interface. Portable: the
// reference host reaches the interfaces through a filter in a graph, the
// native processor through engines in its own process, and both edit
// parameters and choose presets with the functions below.
#pragma once

#include <cstddef>
#include <cstdint>
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

// "name=value" for one field of the effect's block, checked against the
// field's range before anything runs. The name is the block's own (exact)
// or the row's friendly name (any case); the value a number in the raw
// unit, or with a unit of the row's quantity ("0.25s", "250ms", "-3dB",
// "4kHz", "110%"), a bare number after a friendly name meaning the base
// unit. "-inf" and "off" make a level silent; "on" and "off" set switches,
// and after a switched frequency's friendly name its switch. A frequency
// given by friendly name turns its switch on (edit.turnsOn). False, with a
// message in `error` that gives the range in real and raw units, for a
// field the block lacks or a value the field cannot take.
bool ParseFieldArg(const HostEffect& effect, const std::string& arg, FieldEdit& edit, std::string& error);

// The whole block through the parameter interface, in doubles so that
// double fields are aligned.
HRESULT ReadBlock(const HostEffect& effect, IUnknown* params, std::vector<double>& block);

// One line per field of `block`, for a user: friendly name, the value in
// real units, and raw field=value ("delay  0.250 s  delayMs=250"). A switch
// shows on its frequency's line ("lowpass  off (4 kHz)  lowpassHz=4000
// lowpass=0").
std::vector<std::string> ShowBlock(const HostEffect& effect, const void* block);

// One line per field for a listing: friendly name ("-" if none), raw name,
// the range in real units and in the raw unit.
std::vector<std::string> ListFields(const HostEffect& effect);

// The presets' names in index order.
HRESULT PresetNames(IEffectPresets* presets, std::vector<std::string>& names);

// Index of the preset that `arg` names: by index, or by name in any case
// with blanks at the ends and runs of blanks inside not counted; -1 if none.
int FindPreset(const std::vector<std::string>& names, const std::string& arg);

// Up to three names close to `arg` in spelling, closest first; none when
// nothing is close.
std::vector<std::string> SimilarPresets(const std::vector<std::string>& names, const std::string& arg);

// "twreverb has no preset "catedral"; did you mean "Cathedral"?", or without
// a close name "... (an index 0..29 or a name; try `listHint`)".
std::string NoPresetText(const HostEffect& effect, const std::vector<std::string>& names, const std::string& arg,
                         const std::string& listHint);

// Applies the preset `arg` names; E_INVALIDARG if it names none.
HRESULT ApplyPresetArg(IEffectPresets* presets, const std::string& arg, std::string& applied);

// All edits in one round: the whole block out, the fields changed, the block
// back in. SetParams answers E_FAIL when it had to clamp, which is not a
// failure here: `notable` receives the edits that were clamped (or kept but
// naming no row of the effect's table), which ParseFieldArg's checks leave
// for edits made some other way. `step` tells what failed.
HRESULT ApplyFieldEdits(const HostEffect& effect, IUnknown* params, const std::vector<FieldEdit>& edits,
                        std::vector<FieldEdit>& notable, std::string& step);

// What became of a notable edit, for a warning:
// "tapGain[0]=140 is outside -100..100 %; clamped to 100".
std::string NotableText(const FieldEdit& edit);

}  // namespace quill
