#include "framework/effect_engine.h"

#include <atomic>

namespace quill {

namespace {
std::atomic<NotifyHost*> g_notifyHost{nullptr};
}

NotifyHost* CurrentNotifyHost() { return g_notifyHost.load(); }

NotifyHost* SetNotifyHost(NotifyHost* host) { return g_notifyHost.exchange(host); }

}  // namespace quill
