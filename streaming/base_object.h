// The reference-counted base of every component object in the module, and
// the module-wide counters that decide whether the module may be unloaded.
#pragma once

#include <atomic>
#include <mutex>

#include "streaming/platform.h"

namespace quill {

// Live objects built on BaseObject (filters, pins, enumerators, pages) and
// server locks taken through IClassFactory::LockServer.
long LiveObjectCount();
long ServerLockCount();
void LockServerCount(bool lock);

// Counts itself among the module's live objects for as long as it exists.
class BaseObject {
 public:
  BaseObject();
  BaseObject(const BaseObject&) = delete;
  BaseObject& operator=(const BaseObject&) = delete;
  virtual ~BaseObject();
};

// The inner unknown of an object that can be aggregated: its identity and
// its own reference count, whatever the outer object does.
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

// A counted object with a non-delegating unknown. Interfaces it exposes
// forward their IUnknown methods to Owner(): the outer object when
// aggregated, the inner unknown otherwise.
class UnknownBase : public INonDelegatingUnknown, public BaseObject {
 public:
  explicit UnknownBase(IUnknown* outer);

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  IUnknown* Owner() const { return owner_; }
  // The inner unknown seen as the IUnknown it is laid out like.
  IUnknown* Inner() { return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this)); }

 private:
  IUnknown* owner_;
  std::atomic<long> refs_{0};
};

// Hands out an interface pointer with a reference.
inline HRESULT GetInterface(IUnknown* p, void** object) {
  *object = p;
  p->AddRef();
  return S_OK;
}

// The filter and streaming locks: recursive, and given back whole when the
// object goes. Not std::recursive_mutex: with MinGW's threads its first lock
// allocates a block that its destructor never frees, so every filter that
// joined a graph and streamed lost one per lock.
class Lock {
 public:
  Lock() { InitializeCriticalSection(&section_); }
  ~Lock() { DeleteCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock() { EnterCriticalSection(&section_); }
  void unlock() { LeaveCriticalSection(&section_); }
  bool try_lock() { return TryEnterCriticalSection(&section_) != FALSE; }

 private:
  CRITICAL_SECTION section_;
};
using AutoLock = std::lock_guard<Lock>;

}  // namespace quill

// IUnknown of an interface that shares the identity of its UnknownBase.
#define QUILL_DELEGATING_UNKNOWN                                                  \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override { \
    return Owner()->QueryInterface(riid, object);                                 \
  }                                                                               \
  ULONG STDMETHODCALLTYPE AddRef() override {                                     \
    return Owner()->AddRef();                                                     \
  }                                                                               \
  ULONG STDMETHODCALLTYPE Release() override {                                    \
    return Owner()->Release();                                                    \
  }
