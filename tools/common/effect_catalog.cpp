#include "tools/common/effect_catalog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "twchorus/chorus_fields.h"
#include "twechomt/multi_tap_fields.h"
#include "twechos/simple_delay_fields.h"
#include "twpitchs/pitch_fields.h"
#include "twreverb/reverb_fields.h"
#include "twtime/time_fields.h"

namespace quill {

namespace {

bool SameText(const std::string& a, const char* b) {
  const std::string other = b;
  return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Every parameter interface opens with GetParams and SetParams on its own
// block type; this is the only place that knows the types.
template <class Interface, class Params>
HostEffect Describe(const char* name, const char* alias, const CLSID& clsid, const IID& iid, FieldTable fields,
                    void (*derive)(void*, std::span<const FieldEdit>) = nullptr) {
  return HostEffect{
      name,
      alias,
      &clsid,
      &iid,
      fields,
      sizeof(Params),
      [](IUnknown* p, void* block) { return static_cast<Interface*>(p)->GetParams(static_cast<Params*>(block)); },
      [](IUnknown* p, const void* block) {
        return static_cast<Interface*>(p)->SetParams(static_cast<const Params*>(block));
      },
      derive,
  };
}

}  // namespace

const std::vector<HostEffect>& HostEffects() {
  static const std::vector<HostEffect> effects = {
      Describe<ISimpleDelayParams, SimpleDelayParams>("twechos", "delay", CLSID_TwEchos, IID_ISimpleDelayParams,
                                                      SimpleDelayFields()),
      Describe<IMultiTapParams, MultiTapParams>("twechomt", "multitap", CLSID_TwEchomt, IID_IMultiTapParams,
                                                MultiTapFields()),
      Describe<IChorusParams, ChorusParams>("twchorus", "chorus", CLSID_TwChorus, IID_IChorusParams, ChorusFields()),
      Describe<IReverbParams, ReverbParams>("twreverb", "reverb", CLSID_TwReverb, IID_IReverbParams, ReverbFields()),
      Describe<ITimeParams, TimeParams>("twtime", "time", CLSID_TwTime, IID_ITimeParams, TimeFields()),
      Describe<IPitchParams, PitchParams>("twpitchs", "pitch", CLSID_TwPitchs, IID_IPitchParams, PitchFields(),
                                          &DerivePitchRatio),
  };
  return effects;
}

const HostEffect* FindHostEffect(const std::string& name) {
  for (const HostEffect& e : HostEffects())
    if (SameText(name, e.name) || SameText(name, e.alias)) return &e;
  return nullptr;
}

bool ParseFieldArg(const HostEffect& effect, const std::string& arg, FieldEdit& edit, std::string& error) {
  const std::size_t eq = arg.find('=');
  const std::string name = arg.substr(0, eq);
  const std::string text = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
  const FieldInfo* field = FindField(effect.fields, name);
  if (field == nullptr) {
    error = std::string(effect.name) + " has no field " + name + " (try --list)";
    return false;
  }
  double value = 0.0;
  if (eq == std::string::npos || !ParseFieldValue(*field, text, value)) {
    error = arg + ": " + name + " needs " + (field->type == FieldType::Int32 ? "a whole number" : "a number");
    return false;
  }
  edit = FieldEdit{field, value};
  return true;
}

namespace {

// Preset names are ANSI text widened for the interface; this narrows them
// back the same way.
std::string Narrow(const WCHAR* wide) {
#if defined(_WIN32)
  char name[256];
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr) == 0) return std::string();
  return name;
#else
  std::string name;
  for (; *wide != 0; ++wide) name.push_back(*wide < 0x100 ? static_cast<char>(*wide) : '?');
  return name;
#endif
}

}  // namespace

HRESULT PresetNames(IEffectPresets* presets, std::vector<std::string>& names) {
  std::int32_t count = 0;
  HRESULT hr = presets->GetPresetCount(&count);
  if (FAILED(hr)) return hr;
  names.clear();
  for (std::int32_t i = 0; i < count; ++i) {
    WCHAR wide[64];
    hr = presets->GetPresetName(i, wide, 64);
    if (FAILED(hr)) return hr;
    names.push_back(Narrow(wide));
  }
  return S_OK;
}

int FindPreset(const std::vector<std::string>& names, const std::string& arg) {
  char* end = nullptr;
  const long number = std::strtol(arg.c_str(), &end, 10);
  const bool numeric = !arg.empty() && *end == '\0';
  for (std::size_t i = 0; i < names.size(); ++i)
    if ((numeric && number == static_cast<long>(i)) || (!numeric && arg == names[i])) return static_cast<int>(i);
  return -1;
}

HRESULT ApplyPresetArg(IEffectPresets* presets, const std::string& arg, std::string& applied) {
  std::vector<std::string> names;
  HRESULT hr = PresetNames(presets, names);
  if (FAILED(hr)) return hr;
  const int index = FindPreset(names, arg);
  if (index < 0) return E_INVALIDARG;
  applied = names[static_cast<std::size_t>(index)];
  return presets->ApplyPreset(index);
}

HRESULT ApplyFieldEdits(const HostEffect& effect, IUnknown* params, const std::vector<FieldEdit>& edits,
                        std::vector<FieldEdit>& notable, std::string& step) {
  notable.clear();
  if (edits.empty()) return S_OK;
  // Doubles, so that a block with double fields is aligned for them.
  std::vector<double> block((effect.blockSize + sizeof(double) - 1) / sizeof(double));
  step = "reading the parameters";
  HRESULT hr = effect.getParams(params, block.data());
  if (FAILED(hr)) return hr;
  ApplyEdits(block.data(), edits);
  if (effect.derive != nullptr) effect.derive(block.data(), edits);
  step = "setting the parameters";
  hr = effect.setParams(params, block.data());
  if (FAILED(hr) && hr != E_FAIL) return hr;
  step = "reading the parameters back";
  hr = effect.getParams(params, block.data());
  if (FAILED(hr)) return hr;
  std::vector<FieldEdit> checked = edits;
  notable = CheckEdits(block.data(), checked);
  return S_OK;
}

std::string NotableText(const FieldEdit& edit) {
  const FieldInfo& f = *edit.field;
  if (edit.stored != edit.requested)
    return std::string(f.name) + "=" + FieldValueText(f, edit.requested) + " is outside " + FieldRangeText(f) +
           "; clamped to " + FieldValueText(f, edit.stored);
  return std::string(f.name) + "=" + FieldValueText(f, edit.stored) + " is not a row of its table (" +
         FieldRangeText(f) + ")";
}

}  // namespace quill
