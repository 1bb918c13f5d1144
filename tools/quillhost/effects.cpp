#include "effects.h"

#include <algorithm>
#include <cctype>

namespace quill {

namespace {

ISimpleDelayParams* AsDelay(IUnknown* p) {
  return static_cast<ISimpleDelayParams*>(p);
}

bool SameText(const std::string& a, const char* b) {
  const std::string other = b;
  return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

const std::vector<HostEffect>& HostEffects() {
  static const std::vector<HostEffect> effects = {
      {"twechos",
       "delay",
       &CLSID_TwEchos,
       &IID_ISimpleDelayParams,
       {
           {"feedback", [](IUnknown* p, std::int32_t v) { return AsDelay(p)->SetFeedback(v); }},
           {"delayMs", [](IUnknown* p, std::int32_t v) { return AsDelay(p)->SetDelay(v); }},
           {"decayTenths", [](IUnknown* p, std::int32_t v) { return AsDelay(p)->SetDecay(v); }},
           {"delayOut", [](IUnknown* p, std::int32_t v) { return AsDelay(p)->SetDelayOut(v); }},
           {"dryOut", [](IUnknown* p, std::int32_t v) { return AsDelay(p)->SetDryOut(v); }},
       }},
  };
  return effects;
}

const HostEffect* FindHostEffect(const std::string& name) {
  for (const HostEffect& e : HostEffects())
    if (SameText(name, e.name) || SameText(name, e.alias)) return &e;
  return nullptr;
}

}  // namespace quill
