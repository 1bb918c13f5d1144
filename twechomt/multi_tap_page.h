// The multi-tap delay's settings page.
#pragma once

#include "streaming/base_object.h"

namespace quill {

UnknownBase* CreateMultiTapPage(IUnknown* outer, HRESULT* result);

}  // namespace quill
