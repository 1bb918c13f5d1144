// Fakes shared by the core tests: a byte stream and a line allocator that refuses.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dsp/line_memory.h"
#include "framework/com.h"

namespace quill::test {

// A byte stream that can be told to fail its n-th Read or Write.
class MemoryStream : public ISequentialStream {
 public:
  std::vector<std::uint8_t> bytes;
  std::size_t readAt = 0;
  int failCall = -1, calls = 0;
  HRESULT failWith = STG_E_READFAULT;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void* data, ULONG count, ULONG* done) override {
    if (calls++ == failCall) return failWith;
    const std::size_t n = std::min<std::size_t>(count, bytes.size() - readAt);
    // An empty vector's data() may be null, which memcpy may not be given.
    if (n != 0) std::memcpy(data, bytes.data() + readAt, n);
    readAt += n;
    if (done != nullptr) *done = static_cast<ULONG>(n);
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG count, ULONG* done) override {
    if (calls++ == failCall) return failWith;
    bytes.insert(bytes.end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + count);
    if (done != nullptr) *done = count;
    return S_OK;
  }
};

// A stream holding a 20-byte header (total size, identifier) and a block.
template <class Params>
MemoryStream StreamOf(const Params& p, const GUID& id, std::uint32_t total = 20 + sizeof(Params)) {
  MemoryStream s;
  s.bytes.resize(20 + sizeof p);
  std::memcpy(s.bytes.data(), &total, 4);
  std::memcpy(s.bytes.data() + 4, &id, 16);
  std::memcpy(s.bytes.data() + 20, &p, sizeof p);
  return s;
}

// Every line allocation fails for the length of a scope.
class RefuseLines {
 public:
  RefuseLines() : previous_(SetLineAllocator([](std::size_t, std::size_t) -> void* { return nullptr; })) {}
  ~RefuseLines() { SetLineAllocator(previous_); }

 private:
  LineAllocFn previous_;
};

}  // namespace quill::test
