// Shared by the Windows tests: the module loaded from the build tree, child
// processes and scratch files, and a graph rig that puts one of the module's
// filters between a source the test drives and a sink that records.
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

inline void* const kJunk = reinterpret_cast<void*>(1);  // an out-parameter a failing call must clear

inline ULONG Refs(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

template <class T>
T* Query(IUnknown* object, REFIID iid) {
  T* result = nullptr;
  EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&result)), S_OK);
  return result;
}

std::wstring BinDir();  // the test executable's directory, with the DLL and tools, ending in a backslash

struct Module {
  HMODULE handle = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};
const Module& Quill();  // QUILLFX1.DLL, loaded once
// Through the module's class factory, not the registry.
HRESULT CreateFromModule(const CLSID& clsid, REFIID riid, void** object);

// The exit code, or -1; standard output and error go to `outputFile` if given.
int RunProcess(const std::wstring& commandLine, const std::wstring& outputFile = L"");
std::string ReadText(const std::wstring& path);  // empty if missing
std::wstring ScratchDir(const wchar_t* name);
std::string Narrow(const std::wstring& text);

struct AudioType {
  GUID major = MEDIATYPE_Audio;
  bool temporalCompression = false;
  WAVEFORMATEX wave{};
  ULONG formatBytes = sizeof(WAVEFORMATEX);  // may be cut short
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

// One buffer in the downstream allocator, offered read-only or not.
class PushSource final : public BaseFilter {
 public:
  PushSource(const AudioType& type, long bufferSize, bool readOnly);
  int PinCount() override { return 1; }
  BasePin* Pin(int index) override { return index == 0 ? &pin_ : nullptr; }
  PushPin& Output() { return pin_; }

  // The buffer is filled with 0x33 before `length` bytes of `data` go in;
  // stamped from `start` to `start` + 500 when given.
  HRESULT Push(const void* data, long length, bool discontinuity = false, const REFERENCE_TIME* start = nullptr,
               bool syncPoint = false);
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

// {673FD7C0-5708-46D3-BA68-39A02D5B2261}
inline constexpr CLSID kCaptureSinkClass = {0x673fd7c0, 0x5708, 0x46d3, {0xba, 0x68, 0x39, 0xa0, 0x2d, 0x5b, 0x22, 0x61}};

class CaptureSink final : public SinkFilter {
 public:
  CaptureSink() : SinkFilter(L"Capture", kCaptureSinkClass, nullptr) {}
  HRESULT CheckType(const AM_MEDIA_TYPE& type) override {
    return type.majortype == MEDIATYPE_Audio ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT OnSample(IMediaSample* sample) override;
  HRESULT OnStreamEnd() override {
    ++endOfStreams;
    samplesAtEnd = samples.size();
    return S_OK;
  }
  std::vector<std::uint8_t> Joined() const;

  std::vector<Captured> samples;
  int endOfStreams = 0;
  size_t samplesAtEnd = 0;  // how many samples had arrived when the end did
};

inline std::vector<std::int16_t> Int16s(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}
std::vector<std::int16_t> Noise(size_t count, std::uint32_t seed);  // about half full scale

// Source, the module's filter and sink in one graph without a clock; the
// teardown checks that the module has nothing left alive.
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
