// The windowing side of the parameter machinery's format notifications.
#pragma once

#include "framework/notify_host.h"

namespace quill {

NotifyHost& WindowNotifyHost();

}  // namespace quill
