// The chorus's settings page.
#pragma once

#include "streaming/base_object.h"

namespace quill {

UnknownBase* CreateChorusPage(IUnknown* outer, HRESULT* result);

}  // namespace quill
