// Quillset 1 (QUILLFX1.DLL): class and interface identifiers, parameter
// blocks and the effects' parameter and preset interfaces, in slot order.
// Host programs include this header; it builds on Windows and, for the
// portable core and its tests, elsewhere.
#pragma once

#include <cstdint>

#include "com.h"

// ---------------------------------------------------------------------------
// Audio format record kept by every filter: the 18-byte wave format header.
#pragma pack(push, 1)
struct AudioFormat {
  std::uint16_t formatTag;       // 1 integer PCM, 3 IEEE float
  std::uint16_t channels;        // 1 or 2
  std::uint32_t sampleRate;      // frames per second
  std::uint32_t avgBytesPerSec;  // blockAlign * sampleRate
  std::uint16_t blockAlign;      // (bitsPerSample / 8) * channels
  std::uint16_t bitsPerSample;   // 8, 16, 32 (PCM); 32, 64 (float)
  std::uint16_t extraSize;       // always 0
};
#pragma pack(pop)
static_assert(sizeof(AudioFormat) == 18, "AudioFormat is the 18-byte wave format header");

// ---------------------------------------------------------------------------
// Identifiers. Each effect: filter F, page F + 1, parameter interface F + 3.
inline constexpr CLSID CLSID_TwTime = {0x5FF5B4A0, 0x858F, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwTimePage = {0x5FF5B4A1, 0x858F, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwPitchs = {0xED1B4100, 0x93BE, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwPitchsPage = {0xED1B4101, 0x93BE, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwEchos = {0x54F29260, 0x79B1, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwEchosPage = {0x54F29261, 0x79B1, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwEchomt = {0x7298A3E0, 0x78EE, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwEchomtPage = {0x7298A3E1, 0x78EE, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwReverb = {0x607682E0, 0x6E21, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwReverbPage = {0x607682E1, 0x6E21, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwChorus = {0x28D9F1E0, 0x6ECC, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr CLSID CLSID_TwChorusPage = {0x28D9F1E1, 0x6ECC, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

inline constexpr IID IID_ISimpleDelayParams = {0x54F29263, 0x79B1, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};
inline constexpr IID IID_IEffectPresets = {0x36A22460, 0x0CC9, 0x11D0, {0x85, 0x74, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

// ---------------------------------------------------------------------------
// Shared preset interface.
struct IEffectPresets : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPresetCount(std::int32_t* count) = 0;
  // Copies the preset's name, converted from the system code page, into a
  // buffer of `length` characters.
  virtual HRESULT STDMETHODCALLTYPE GetPresetName(std::int32_t index, WCHAR* name, std::int32_t length) = 0;
  virtual HRESULT STDMETHODCALLTYPE ApplyPreset(std::int32_t index) = 0;
};

// ---------------------------------------------------------------------------
// Simple delay.
struct SimpleDelayParams {
  std::int32_t feedback;     // 0 one echo, non-zero repeating echoes
  std::int32_t delayMs;      // 1..5000 ms
  std::int32_t decayTenths;  // 1..200 tenths of a second
  std::int32_t delayOut;     // -800..0 tenths of a dB; -800 is silence
  std::int32_t dryOut;       // tenths of a dB, unclamped; -800 or below is silence
};
static_assert(sizeof(SimpleDelayParams) == 20, "five 32-bit fields");

struct ISimpleDelayParams : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetParams(SimpleDelayParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParams(const SimpleDelayParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFormat(AudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterNotify(HWND window, std::int32_t id) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDelayOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDelayOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDelay(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDelay(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDecay(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDecay(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBackground(std::int32_t flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackground(std::int32_t* flag) = 0;
};
