#include "tests/windows/win_support.h"

#include <fstream>
#include <sstream>

namespace quill::test {

std::wstring BinDir() {
  WCHAR path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L".\\";
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

const Module& Quill() {
  static const Module module = [] {
    Module m;
    m.handle = LoadLibraryW((BinDir() + L"QUILLFX1.DLL").c_str());
    if (m.handle == nullptr) return m;
    m.getClassObject = reinterpret_cast<decltype(m.getClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllGetClassObject")));
    m.canUnloadNow = reinterpret_cast<decltype(m.canUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(m.handle, "DllCanUnloadNow")));
    return m;
  }();
  EXPECT_TRUE(module.getClassObject && module.canUnloadNow) << "QUILLFX1.DLL not loaded from " << Narrow(BinDir());
  return module;
}

HRESULT CreateFromModule(const CLSID& clsid, REFIID riid, void** object) {
  if (Quill().getClassObject == nullptr) return E_FAIL;
  ComRef<IClassFactory> factory;
  const HRESULT hr = Quill().getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
  return FAILED(hr) ? hr : factory->CreateInstance(nullptr, riid, object);
}

int RunProcess(const std::wstring& commandLine, const std::wstring& outputFile) {
  HANDLE output = nullptr;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return -1;
  }
  std::wstring line = commandLine;  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = output;
  }
  PROCESS_INFORMATION process{};
  DWORD code = static_cast<DWORD>(-1);
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                     &process)) {
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.hProcess, &code))
      code = static_cast<DWORD>(-1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (output != nullptr) CloseHandle(output);
  return static_cast<int>(code);
}

std::string ReadText(const std::wstring& path) {
  std::ifstream file(Narrow(path), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::wstring ScratchDir(const wchar_t* name) {
  const std::wstring dir = BinDir() + L"scratch_" + name + L"\\";
  if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return BinDir();
  return dir;
}

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.pop_back();
  return out;
}

AudioType MakeAudioType(WORD tag, WORD channels, DWORD rate, WORD bits) {
  AudioType t;
  const WORD align = static_cast<WORD>(bits / 8 * channels);
  t.wave = WAVEFORMATEX{tag, channels, rate, align * rate, align, bits, 0};
  return t;
}

std::vector<std::int16_t> Noise(size_t count, std::uint32_t seed) {
  std::vector<std::int16_t> out(count);
  for (auto& s : out) {
    seed = seed * 1664525u + 1013904223u;
    s = static_cast<std::int16_t>(static_cast<std::int32_t>(seed >> 16) - 32768) / 2;
  }
  return out;
}

PushPin::PushPin(PushSource* source) : OutputPin(source, L"Out"), source_(source) {}

HRESULT PushPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return SameMediaType(type, source_->type) ? S_OK : S_FALSE;
}

HRESULT PushPin::GetMediaType(int index, AM_MEDIA_TYPE& type) {
  return index != 0 ? VFW_S_NO_MORE_ITEMS : CopyMediaType(type, source_->type);
}

HRESULT PushPin::DecideAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) {
  ComRef<IMemAllocator> candidate;
  HRESULT hr = peer->GetAllocator(candidate.Put());
  ALLOCATOR_PROPERTIES wanted{1, source_->bufferSize, 1, 0}, granted{};
  if (SUCCEEDED(hr)) hr = candidate->SetProperties(&wanted, &granted);
  if (SUCCEEDED(hr)) hr = peer->NotifyAllocator(candidate.Get(), source_->readOnly ? TRUE : FALSE);
  if (FAILED(hr)) return hr;
  *allocator = candidate.Get();
  (*allocator)->AddRef();
  *owned = true;
  return S_OK;
}

// {CAA7EC9B-79DA-49C4-8BAC-28EF17B760A2}
constexpr CLSID kPushSourceClass = {0xcaa7ec9b, 0x79da, 0x49c4, {0x8b, 0xac, 0x28, 0xef, 0x17, 0xb7, 0x60, 0xa2}};

PushSource::PushSource(const AudioType& t, long size, bool readOnlyBuffers)
    : BaseFilter(L"Push source", kPushSourceClass, nullptr),
      wave(t.wave),
      bufferSize(size),
      readOnly(readOnlyBuffers),
      pin_(this) {
  type.majortype = t.major;
  type.subtype = MEDIASUBTYPE_PCM;
  type.formattype = FORMAT_WaveFormatEx;
  type.bFixedSizeSamples = TRUE;
  type.bTemporalCompression = t.temporalCompression ? TRUE : FALSE;
  type.lSampleSize = t.wave.nBlockAlign;
  type.cbFormat = t.formatBytes;
  type.pbFormat = reinterpret_cast<BYTE*>(&wave);
}

HRESULT PushSource::Push(const void* data, long length, bool discontinuity, const REFERENCE_TIME* start,
                         bool syncPoint) {
  ComRef<IMediaSample> sample;
  BYTE* buffer = nullptr;
  HRESULT hr = pin_.GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
  if (SUCCEEDED(hr)) hr = sample->GetPointer(&buffer);
  if (FAILED(hr)) return hr;
  std::memset(buffer, 0x33, static_cast<size_t>(sample->GetSize()));
  std::memcpy(buffer, data, static_cast<size_t>(length));
  REFERENCE_TIME times[2] = {start != nullptr ? *start : 0, (start != nullptr ? *start : 0) + 500};
  sample->SetActualDataLength(length);
  sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
  sample->SetSyncPoint(syncPoint ? TRUE : FALSE);
  sample->SetTime(start != nullptr ? &times[0] : nullptr, start != nullptr ? &times[1] : nullptr);
  lastPushed_ = sample.Get();
  return pin_.Deliver(sample.Get());
}

HRESULT CaptureSink::OnSample(IMediaSample* sample) {
  BYTE* data = nullptr;
  HRESULT hr = sample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  Captured c{sample, {data, data + sample->GetActualDataLength()}, sample->IsDiscontinuity() == S_OK,
             sample->IsSyncPoint() == S_OK, false, 0, 0};
  c.hasTime = SUCCEEDED(sample->GetTime(&c.start, &c.stop));
  samples.push_back(std::move(c));
  return S_OK;
}

std::vector<std::uint8_t> CaptureSink::Joined() const {
  std::vector<std::uint8_t> out;
  for (const Captured& c : samples) out.insert(out.end(), c.bytes.begin(), c.bytes.end());
  return out;
}

void GraphRig::Build(const CLSID& clsid, const AudioType& type, long bufferSize, bool readOnly) {
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph_.PutVoid()),
            S_OK);
  ComRef<IMediaFilter> clockless;
  ASSERT_EQ(graph_->QueryInterface(IID_IMediaFilter, clockless.PutVoid()), S_OK);
  EXPECT_EQ(clockless->SetSyncSource(nullptr), S_OK);
  source_ = new PushSource(type, bufferSize, readOnly);
  source_->NonDelegatingAddRef();
  sink_ = new CaptureSink();
  sink_->NonDelegatingAddRef();
  ASSERT_EQ(CreateFromModule(clsid, IID_IBaseFilter, effect_.PutVoid()), S_OK);
  ASSERT_EQ(graph_->AddFilter(source_, L"Source"), S_OK);
  ASSERT_EQ(graph_->AddFilter(effect_.Get(), L"Effect"), S_OK);
  ASSERT_EQ(graph_->AddFilter(sink_, L"Sink"), S_OK);
  ASSERT_EQ(effect_->FindPin(L"Input", in_.Put()), S_OK);
  ASSERT_EQ(effect_->FindPin(L"Output", out_.Put()), S_OK);
}

void GraphRig::Dismantle() {
  if (graph_) Stop();
  in_.Reset(), out_.Reset(), effect_.Reset(), graph_.Reset();
  if (source_ != nullptr) source_->NonDelegatingRelease();
  if (sink_ != nullptr) sink_->NonDelegatingRelease();
  source_ = nullptr, sink_ = nullptr;
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

namespace {
// COM for every test executable of the suite, multithreaded so that the
// platform's objects need no message loop.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const g_com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);
}  // namespace

}  // namespace quill::test
