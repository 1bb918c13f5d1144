#include "tools/quillhost/settings_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/quillhost/com_ref.h"

namespace quill {

namespace {

std::string Failure(const std::string& path, const std::string& what, HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  return path + ": " + what + ", " + code;
}

HRESULT Persistence(IBaseFilter* filter, ComRef<IPersistStream>& persist, std::uint64_t& size) {
  HRESULT hr = filter->QueryInterface(IID_IPersistStream, persist.PutVoid());
  if (FAILED(hr)) return hr;
  ULARGE_INTEGER max{};
  hr = persist->GetSizeMax(&max);
  size = max.QuadPart;
  return hr;
}

}  // namespace

HRESULT LoadSettingsFile(IBaseFilter* filter, const std::string& path, std::string& error) {
  ComRef<IPersistStream> persist;
  std::uint64_t expected = 0;
  HRESULT hr = Persistence(filter, persist, expected);
  if (FAILED(hr)) {
    error = Failure(path, "the effect has no settings to load", hr);
    return hr;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    error = Failure(path, "cannot open the settings file", hr);
    return hr;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) {
    hr = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    error = Failure(path, "cannot read the settings file", hr);
    return hr;
  }
  // Load reads only what it needs, so a longer file would pass unnoticed.
  if (bytes.size() != expected) {
    hr = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    error = Failure(
        path, std::to_string(bytes.size()) + " bytes where this effect's settings take " + std::to_string(expected),
        hr);
    return hr;
  }
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (memory == nullptr) {
    error = Failure(path, "no memory for the settings", E_OUTOFMEMORY);
    return E_OUTOFMEMORY;
  }
  void* data = GlobalLock(memory);
  if (data != nullptr) {
    std::memcpy(data, bytes.data(), bytes.size());
    GlobalUnlock(memory);
  }
  ComRef<IStream> stream;
  hr = data != nullptr ? CreateStreamOnHGlobal(memory, TRUE, stream.Put()) : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    GlobalFree(memory);
    error = Failure(path, "cannot make a stream of the settings", hr);
    return hr;
  }
  hr = persist->Load(stream.Get());
  if (FAILED(hr)) error = Failure(path, "the effect refused these settings (another effect's, or out of range)", hr);
  return hr;
}

HRESULT SaveSettingsFile(IBaseFilter* filter, const std::string& path, std::string& error) {
  ComRef<IPersistStream> persist;
  std::uint64_t size = 0;
  HRESULT hr = Persistence(filter, persist, size);
  if (FAILED(hr)) {
    error = Failure(path, "the effect has no settings to save", hr);
    return hr;
  }
  ComRef<IStream> stream;
  hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (SUCCEEDED(hr)) hr = persist->Save(stream.Get(), FALSE);
  HGLOBAL memory = nullptr;
  if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream.Get(), &memory);
  STATSTG stat{};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) {
    error = Failure(path, "saving the settings failed", hr);
    return hr;
  }
  const auto* data = static_cast<const char*>(GlobalLock(memory));
  if (data == nullptr) {
    error = Failure(path, "saving the settings failed", E_OUTOFMEMORY);
    return E_OUTOFMEMORY;
  }
  const std::vector<char> bytes(data, data + stat.cbSize.QuadPart);
  GlobalUnlock(memory);

  const std::string temporary = path + ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      DeleteFileA(temporary.c_str());
      hr = HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
      error = Failure(path, "cannot write the settings file", hr);
      return hr;
    }
  }
  if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    hr = HRESULT_FROM_WIN32(GetLastError());
    DeleteFileA(temporary.c_str());
    error = Failure(path, "cannot write the settings file", hr);
    return hr;
  }
  return S_OK;
}

}  // namespace quill
