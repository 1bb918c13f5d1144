// The reverb's settings page.
#pragma once

#include "streaming/base_object.h"

namespace quill {

UnknownBase* CreateReverbPage(IUnknown* outer, HRESULT* result);

}  // namespace quill
