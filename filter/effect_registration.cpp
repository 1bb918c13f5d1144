#include "filter/effect_registration.h"

namespace quill {

namespace {

const REGPINTYPES kAudioAnySubtype = {&MEDIATYPE_Audio, &GUID_NULL};

// The mapper's record takes non-const names.
WCHAR kInputName[] = L"Input";
WCHAR kOutputName[] = L"Output";

const REGFILTERPINS kPins[] = {
    {kInputName, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, L"Output", 1, &kAudioAnySubtype},
    {kOutputName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, L"Input", 1, &kAudioAnySubtype},
};

REGFILTER2 MakeRegistration() {
  REGFILTER2 r{};
  r.dwVersion = 1;
  r.dwMerit = kEffectMerit;
  r.cPins = 2;
  r.rgPins = kPins;
  return r;
}

const REGFILTER2 kRegistration = MakeRegistration();

}  // namespace

const REGFILTER2* EffectRegistration() {
  return &kRegistration;
}

}  // namespace quill
