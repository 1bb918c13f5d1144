// What DllMain records about the loaded module.
#pragma once

#include "framework/com.h"

namespace quill {

HINSTANCE ModuleHandle();
// The operating system's platform identifier (1 if it could not be read).
DWORD PlatformId();

}  // namespace quill
