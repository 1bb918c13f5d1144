#include "tools/common/effect_catalog.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "framework/field_units.h"
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

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// One "name=value" against the row it names.
class FieldArg {
 public:
  FieldArg(const HostEffect& effect, const std::string& arg, const std::string& name, const FieldInfo& field,
           bool friendly)
      : effect_(effect), arg_(arg), name_(name), f_(field), friendly_(friendly) {}

  bool Read(const std::string& text, FieldEdit& edit, std::string& error) {
    const std::string word = Lower(text);
    if (word == "on" || word == "off") return Switch(word == "on", edit, error);
    if (word == "-inf" && f_.format == ValueFormat::Decibels) return Keep(f_.floor, edit, error);
    double value = 0.0;
    if (!friendly_ && ParseFieldValue(f_, text, value)) return Keep(value, edit, error);
    double number = 0.0;
    std::string unit;
    if (!SplitNumber(text, number, unit) || (unit.empty() && !friendly_)) return Refuse(Needs(), error);
    const double factor = unit.empty() ? 1.0 : UnitFactor(f_.quantity, unit);
    real_ = true;
    if (factor == 0.0) {
      const bool units = *BaseUnit(f_.quantity) != '\0';
      return Refuse(": " + name_ + (units ? " takes " + UnitNames(f_.quantity) : " takes no unit"), error);
    }
    const double base = number * factor;
    // A level at or below its floor is silence, which the floor stands for.
    if (f_.format == ValueFormat::Decibels && base <= f_.floor * f_.step) return Keep(f_.floor, edit, error);
    value = base / f_.step;
    if (f_.type == FieldType::Int32) {
      const double whole = std::round(value);
      if (std::abs(value - whole) > 1e-6) {
        const bool units = f_.quantity != Quantity::None && f_.quantity != Quantity::OnOff;
        return Refuse(units ? " must be a multiple of " + StepText(f_) : ": " + name_ + " needs a whole number", error);
      }
      value = whole;
    }
    return Keep(value, edit, error);
  }

 private:
  // "on" and "off": a switched frequency's switch, a switch itself, and
  // "off" for a level (silent) or a time whose 0 is off.
  bool Switch(bool on, FieldEdit& edit, std::string& error) {
    if (f_.switchedBy != nullptr) {
      edit = FieldEdit{FindField(effect_.fields, f_.switchedBy), on ? 1.0 : 0.0};
      return true;
    }
    if (f_.quantity == Quantity::OnOff) return Keep(on ? 1.0 : 0.0, edit, error);
    if (!on && f_.format == ValueFormat::Decibels) return Keep(f_.floor, edit, error);
    if (!on && f_.format == ValueFormat::MsOrOff) return Keep(0.0, edit, error);
    return Refuse(": " + name_ + " cannot be switched " + (on ? "on" : "off"), error);
  }

  bool Keep(double value, FieldEdit& edit, std::string& error) {
    switch (f_.range) {
      case FieldRange::Clamped:
      case FieldRange::Table:
        if (!(value >= f_.lo && value <= f_.hi)) return Refuse(" is outside " + Range(), error);
        break;
      case FieldRange::Ceiling:
        if (!(value <= f_.hi)) return Refuse(" is above " + Range(), error);
        break;
      case FieldRange::Positive:
        if (!(value > 0.0) || !std::isfinite(value)) return Refuse(" is not a positive number", error);
        if (!(value >= f_.lo && value <= f_.hi)) return Refuse(" is outside " + Range(), error);
        break;
      case FieldRange::None:
        break;
    }
    // Unranged, and below a ceiling, a value can still be too large for 32 bits.
    if (f_.type == FieldType::Int32 && (value < INT32_MIN || value > INT32_MAX))
      return Refuse(" does not fit the field (" + std::string(f_.name) + ", 32 bits)", error);
    edit = FieldEdit{&f_, value};
    if (friendly_ && f_.switchedBy != nullptr) edit.turnsOn = FindField(effect_.fields, f_.switchedBy);
    return true;
  }

  // The range in the units the value was given in, then in the others:
  // "0..200 ms (preDelayMs 0..200 ms; 0 is off)" for "predelay=250ms",
  // "0..200 ms; 0 is off (predelay 0..200 ms)" for "preDelayMs=250".
  std::string Range() const {
    const bool ceiling = f_.range == FieldRange::Ceiling;
    const std::string raw = ceiling ? FieldValueText(f_, f_.hi) + " " + f_.unit : FieldRangeText(f_);
    if (f_.quantity == Quantity::None || f_.quantity == Quantity::OnOff)
      return raw + (name_ != f_.name ? " (" + std::string(f_.name) + ")" : "");
    const std::string real = ceiling ? RealText(f_, f_.hi) : RealRangeText(f_);
    if (real_) return real + " (" + f_.name + " " + FieldRangeText(f_) + ")";
    return raw + " (" + f_.friendly + (ceiling ? " at most " : " ") + real + ")";
  }

  std::string Needs() const {
    if (f_.range == FieldRange::Positive) return ": " + name_ + " needs a positive finite number";
    if (friendly_ && *BaseUnit(f_.quantity) != '\0')
      return ": " + name_ + " needs a number, in " + UnitNames(f_.quantity);
    return ": " + name_ + (f_.type == FieldType::Int32 ? " needs a whole number" : " needs a number");
  }

  bool Refuse(const std::string& why, std::string& error) const {
    error = std::string(effect_.name) + ": " + arg_ + why;
    return false;
  }

  const HostEffect& effect_;
  const std::string& arg_;
  const std::string& name_;
  const FieldInfo& f_;
  const bool friendly_;
  bool real_ = friendly_;  // given in real units: the message leads with them
};

}  // namespace

bool ParseFieldArg(const HostEffect& effect, const std::string& arg, FieldEdit& edit, std::string& error) {
  const std::size_t eq = arg.find('=');
  const std::string name = arg.substr(0, eq);
  const std::string text = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
  const FieldInfo* raw = FindField(effect.fields, name);
  const FieldInfo* friendly = FindFriendly(effect.fields, name);
  // A switch's raw name can be the friendly name of the frequency it
  // switches (the multi-tap's "lowpass"): a bare number keeps the raw meaning.
  double number = 0.0;
  if (raw != nullptr && friendly != nullptr && raw != friendly) {
    if (ParseFieldValue(*raw, text, number))
      friendly = nullptr;
    else
      raw = nullptr;
  }
  if (raw == nullptr && friendly == nullptr) {
    error = std::string(effect.name) + " has no field " + name + " (try --list)";
    return false;
  }
  FieldArg field(effect, arg, name, raw != nullptr ? *raw : *friendly, raw == nullptr);
  return field.Read(text, edit, error);
}

HRESULT ReadBlock(const HostEffect& effect, IUnknown* params, std::vector<double>& block) {
  block.assign((effect.blockSize + sizeof(double) - 1) / sizeof(double), 0.0);
  return effect.getParams(params, block.data());
}

namespace {

// The row whose frequency `f` switches; null if it switches none.
const FieldInfo* Switched(const HostEffect& effect, const FieldInfo& f) {
  for (const FieldInfo& g : effect.fields)
    if (g.switchedBy != nullptr && std::strcmp(g.switchedBy, f.name) == 0) return &g;
  return nullptr;
}

std::string Columns(const std::string& a, const std::string& b, const std::string& c) {
  char text[256];
  std::snprintf(text, sizeof text, "%-16s %-18s %s", a.c_str(), b.c_str(), c.c_str());
  return text;
}

}  // namespace

std::vector<std::string> ShowBlock(const HostEffect& effect, const void* block) {
  std::vector<std::string> lines;
  for (const FieldInfo& f : effect.fields) {
    if (Switched(effect, f) != nullptr) continue;  // on its frequency's line
    const double value = ReadFieldValue(block, f);
    std::string real = RealText(f, value);
    std::string raw = std::string(f.name) + "=" + FieldValueText(f, value);
    if (const FieldInfo* s = f.switchedBy != nullptr ? FindField(effect.fields, f.switchedBy) : nullptr) {
      const double on = ReadFieldValue(block, *s);
      if (on == 0.0) real = "off (" + real + ")";
      raw += " " + std::string(s->name) + "=" + FieldValueText(*s, on);
    }
    lines.push_back(Columns(f.friendly != nullptr ? f.friendly : f.name, real, raw));
  }
  return lines;
}

std::vector<std::string> ListFields(const HostEffect& effect) {
  std::vector<std::string> lines;
  for (const FieldInfo& f : effect.fields) {
    std::string range = FieldRangeText(f);
    const std::string real = RealRangeText(f);
    if (real != range) range = real + " (" + range + ")";
    if (f.switchedBy != nullptr) range += ", or off; switched by " + std::string(f.switchedBy);
    if (const FieldInfo* g = Switched(effect, f)) range += "; switches " + std::string(g->name);
    lines.push_back(Columns(f.friendly != nullptr ? f.friendly : "-", f.name, range));
  }
  return lines;
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

namespace {

// Lower case, no blanks at the ends, one space for each run inside.
std::string PresetKey(const std::string& name) {
  std::string key;
  for (char c : name) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!key.empty() && key.back() != ' ') key.push_back(' ');
    } else {
      key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
  }
  if (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

// Single-character insertions, deletions and substitutions from a to b.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

int FindPreset(const std::vector<std::string>& names, const std::string& arg) {
  char* end = nullptr;
  const long number = std::strtol(arg.c_str(), &end, 10);
  if (!arg.empty() && *end == '\0')
    return number >= 0 && number < static_cast<long>(names.size()) ? static_cast<int>(number) : -1;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (arg == names[i]) return static_cast<int>(i);
  const std::string key = PresetKey(arg);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!key.empty() && key == PresetKey(names[i])) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> SimilarPresets(const std::vector<std::string>& names, const std::string& arg) {
  // Close: at most a third of the longer name's letters differ (one at least).
  const std::string key = PresetKey(arg);
  std::vector<std::tuple<std::size_t, std::size_t>> close;  // distance, index
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string name = PresetKey(names[i]);
    const std::size_t d = EditDistance(key, name);
    if (d <= std::max<std::size_t>(1, std::max(key.size(), name.size()) / 3)) close.emplace_back(d, i);
  }
  std::sort(close.begin(), close.end());
  std::vector<std::string> similar;
  for (std::size_t k = 0; k < close.size() && k < 3; ++k) similar.push_back(names[std::get<1>(close[k])]);
  return similar;
}

std::string NoPresetText(const HostEffect& effect, const std::vector<std::string>& names, const std::string& arg,
                         const std::string& listHint) {
  std::string text = std::string(effect.name) + " has no preset \"" + arg + "\"";
  const std::vector<std::string> similar = SimilarPresets(names, arg);
  if (similar.empty()) {
    const std::string last = names.empty() ? std::string("none") : "0.." + std::to_string(names.size() - 1);
    return text + " (an index " + last + " or a name; try " + listHint + ")";
  }
  text += "; did you mean ";
  for (std::size_t k = 0; k < similar.size(); ++k)
    text += (k == 0 ? "" : k + 1 == similar.size() ? " or " : ", ") + ("\"" + similar[k] + "\"");
  return text + "?";
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
  std::vector<double> block;
  step = "reading the parameters";
  HRESULT hr = ReadBlock(effect, params, block);
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
  return std::string(f.name) + "=" + FieldValueText(f, edit.stored) + " is outside " + FieldRangeText(f) +
         "; kept, and played as " + FieldValueText(f, PlayedValue(f, edit.stored));
}

}  // namespace quill
