#include "effects.h"

#include <algorithm>
#include <cctype>

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

}  // namespace quill
