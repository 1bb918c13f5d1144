#include "module/window_notify_host.h"

namespace quill {

namespace {

class Host final : public NotifyHost {
 public:
  bool WindowExists(HWND window) override { return IsWindow(window) != FALSE; }
  void PostCommand(HWND window, std::uint16_t id, std::uint16_t code) override {
    // A window that closed between the check and the post just misses this
    // notice; its slot is emptied at the next one.
    if (!PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, code), 0)) return;
  }
};

}  // namespace

NotifyHost& WindowNotifyHost() {
  static Host host;
  return host;
}

}  // namespace quill
