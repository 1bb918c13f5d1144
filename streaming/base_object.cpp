#include "streaming/base_object.h"

namespace quill {

namespace {
std::atomic<long> g_liveObjects{0};
std::atomic<long> g_serverLocks{0};
}  // namespace

long LiveObjectCount() {
  return g_liveObjects.load();
}
long ServerLockCount() {
  return g_serverLocks.load();
}
void LockServerCount(bool lock) {
  if (lock)
    ++g_serverLocks;
  else
    --g_serverLocks;
}

BaseObject::BaseObject() {
  ++g_liveObjects;
}
BaseObject::~BaseObject() {
  --g_liveObjects;
}

UnknownBase::UnknownBase(IUnknown* outer) : owner_(outer != nullptr ? outer : Inner()) {}

HRESULT STDMETHODCALLTYPE UnknownBase::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown) return GetInterface(Inner(), object);
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE UnknownBase::NonDelegatingAddRef() {
  return static_cast<ULONG>(++refs_);
}

ULONG STDMETHODCALLTYPE UnknownBase::NonDelegatingRelease() {
  const long left = --refs_;
  if (left == 0) {
    // Keep a reference while the destructor runs, so that an interface
    // released from it cannot bring the count to zero a second time.
    refs_ = 1;
    delete this;
    return 0;
  }
  return static_cast<ULONG>(left);
}

}  // namespace quill
