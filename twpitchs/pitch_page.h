// The pitch shift effect's settings page.
#pragma once

#include "streaming/base_object.h"

namespace quill {

UnknownBase* CreatePitchPage(IUnknown* outer, HRESULT* result);

}  // namespace quill
