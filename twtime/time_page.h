// The time compress/expand effect's settings page.
#pragma once

#include "streaming/base_object.h"

namespace quill {

UnknownBase* CreateTimePage(IUnknown* outer, HRESULT* result);

}  // namespace quill
