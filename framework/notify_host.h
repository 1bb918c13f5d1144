// What the parameter machinery needs from the windowing system: whether a
// registered page window still exists, and posting it a command message.
// The Windows layer installs the real one; tests install a fake.
#pragma once

#include <cstdint>

#include "framework/com.h"

namespace quill {

class NotifyHost {
 public:
  virtual ~NotifyHost() = default;
  virtual bool WindowExists(HWND window) = 0;
  // Posts WM_COMMAND with wParam = (code << 16) | id and lParam = 0.
  virtual void PostCommand(HWND window, std::uint16_t id, std::uint16_t code) = 0;
};

// The installed host, or null (then nothing is posted and slots are kept).
NotifyHost* CurrentNotifyHost();
// Installs a host and returns the previous one.
NotifyHost* SetNotifyHost(NotifyHost* host);

}  // namespace quill
