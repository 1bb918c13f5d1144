// The simple delay's settings page.
#pragma once

#include "streaming/base_object.h"

namespace quill {

UnknownBase* CreateSimpleDelayPage(IUnknown* outer, HRESULT* result);

}  // namespace quill
