// What every effect filter enters in the platform's filter registry: the
// lowest merit, so that graph building never picks it on its own, and an
// audio input and output pin.
#pragma once

#include "streaming/platform.h"

namespace quill {

inline constexpr DWORD kEffectMerit = 0x00200000;

const REGFILTER2* EffectRegistration();

}  // namespace quill
