// Shared by the Windows tests: the module under test loaded from the build
// tree, reference counts, child processes and scratch files; and a filter of
// the module in a real graph between a source the test drives buffer by
// buffer and a sink that records what arrives, both on our own streaming
// machinery.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "streaming/base_filter.h"
#include "streaming/media_type.h"
#include "streaming/pins.h"
#include "streaming/sink_filter.h"
#include "tools/quillhost/com_ref.h"

namespace quill::test {

// Current reference count of an object (one AddRef and one Release).
inline ULONG Refs(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// `object`'s interface `iid`, or nullptr with a failure.
template <class T>
T* Query(IUnknown* object, REFIID iid) {
  T* result = nullptr;
  EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&result)), S_OK);
  return result;
}

// The test executable's directory with a trailing backslash; the DLL and
// the tools are built next to it.
std::wstring BinDir();

// QUILLFX1.DLL loaded into the test process once, and two of its entry points.
struct Module {
  HMODULE handle = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};
const Module& Quill();

// A filter of the module by class identifier through its class factory
// (not the registry).
HRESULT CreateFromModule(const CLSID& clsid, REFIID riid, void** object);

// Runs a command line to its end: the exit code, or -1. With `outputFile`,
// standard output and error go there.
int RunProcess(const std::wstring& commandLine, const std::wstring& outputFile = L"");
int Regsvr32(const std::wstring& dll, bool unregister = false);
std::string ReadText(const std::wstring& path);  // empty if missing

// A directory under the build tree for one test's files.
std::wstring ScratchDir(const wchar_t* name);
std::string Narrow(const std::wstring& text);

// An audio type with a wave format header; `formatBytes` may be cut short.
struct AudioType {
  GUID major = MEDIATYPE_Audio;
  bool temporalCompression = false;
  WAVEFORMATEX wave{};
  ULONG formatBytes = sizeof(WAVEFORMATEX);
};
AudioType MakeAudioType(WORD tag, WORD channels, DWORD rate, WORD bits);

class PushSource;
class PushPin final : public OutputPin {
 public:
  explicit PushPin(PushSource* source);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT GetMediaType(int index, AM_MEDIA_TYPE& type) override;

 protected:
  HRESULT DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) override;

 private:
  PushSource* source_;
};

// One buffer in its allocator, offered read-only or not. The test pushes on
// its own thread while the graph runs.
class PushSource final : public BaseFilter {
 public:
  PushSource(const AudioType& type, long bufferSize, bool readOnly);
  int PinCount() override { return 1; }
  BasePin* Pin(int index) override { return index == 0 ? &pin_ : nullptr; }
  PushPin& Output() { return pin_; }

  // Delivers one buffer: first filled with `junk`, then `length` bytes of
  // `data` copied in; stamped from `start` to `start` + 500 when given.
  HRESULT Push(const void* data, long length, bool discontinuity = false, BYTE junk = 0x33,
               const REFERENCE_TIME* start = nullptr, bool syncPoint = false);
  HRESULT PushEnd() { return pin_.DeliverEndOfStream(); }
  IMediaSample* LastPushed() const { return lastPushed_; }  // identity only

  AM_MEDIA_TYPE type{};
  WAVEFORMATEX wave{};
  long bufferSize;
  bool readOnly;

 private:
  IMediaSample* lastPushed_ = nullptr;
  PushPin pin_;
};

struct Captured {
  IMediaSample* sample;  // identity only
  std::vector<std::uint8_t> bytes;
  bool discontinuity, syncPoint, hasTime;
  REFERENCE_TIME start, stop;
};

class CaptureSink final : public SinkFilter {
 public:
  CaptureSink();
  HRESULT CheckType(const AM_MEDIA_TYPE& type) override;
  HRESULT OnSample(IMediaSample* sample) override;
  HRESULT OnStreamEnd() override;
  std::vector<std::uint8_t> Joined(size_t first = 0) const;  // the bytes of the samples from `first` on

  std::vector<Captured> samples;
  int endOfStreams = 0;
  size_t samplesAtEnd = 0;  // how many samples had arrived when the end did
};

inline std::vector<std::int16_t> Int16s(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}
// Deterministic noise of about half full scale.
std::vector<std::int16_t> Noise(size_t count, std::uint32_t seed);

// Source, the module's filter and sink in one graph without a clock.
class GraphRig : public ::testing::Test {
 protected:
  void Build(const CLSID& clsid, const AudioType& type, long bufferSize, bool readOnly = false);
  template <class T>
  ComRef<T> Effect(REFIID iid) {
    ComRef<T> p;
    EXPECT_EQ(effect_->QueryInterface(iid, p.PutVoid()), S_OK);
    return p;
  }
  HRESULT ConnectInput() { return graph_->ConnectDirect(&source_->Output(), in_.Get(), nullptr); }
  HRESULT ConnectOutput() { return graph_->ConnectDirect(out_.Get(), &sink_->Input(), nullptr); }
  void Connect() {
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
  }
  void Run() { EXPECT_TRUE(SUCCEEDED(Control()->Run())); }
  void Stop() { EXPECT_EQ(Control()->Stop(), S_OK); }
  HRESULT Push(const std::vector<std::int16_t>& frames, bool discontinuity = false) {
    return source_->Push(frames.data(), static_cast<long>(frames.size() * 2), discontinuity);
  }
  // Releases everything; the module must have nothing left alive.
  void Dismantle();
  void TearDown() override { Dismantle(); }

  ComRef<IGraphBuilder> graph_;
  PushSource* source_ = nullptr;
  CaptureSink* sink_ = nullptr;
  ComRef<IBaseFilter> effect_;
  ComRef<IPin> in_, out_;

 private:
  ComRef<IMediaControl> Control() {
    ComRef<IMediaControl> control;
    EXPECT_EQ(graph_->QueryInterface(IID_IMediaControl, control.PutVoid()), S_OK);
    return control;
  }
};

}  // namespace quill::test
