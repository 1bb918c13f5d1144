// Quillset 1 (QUILLFX1.DLL): class and interface identifiers, parameter
// blocks and the effects' parameter and preset interfaces, in slot order.
// Host programs include this header; it builds on Windows and, for the
// portable core and its tests, elsewhere.
#pragma once

#include <cstdint>

#include "framework/com.h"

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

// ---------------------------------------------------------------------------
// Multi-tap delay.
inline constexpr IID IID_IMultiTapParams = {
    0x7298A3E3, 0x78EE, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

struct MultiTapParams {
  std::int32_t tapDelayMs[8];    // 1..2500 ms
  std::int32_t tapGain[8];       // -100..100 %; negative inverts the tap
  std::int32_t tapPan[8];        // -100 (left)..100 (right) %; ignored in mono
  std::int32_t tapCount;         // 1..8 active taps
  std::int32_t wetOut;           // -800..0 tenths of a dB; -800 is silence
  std::int32_t dryOut;           // -800..0 tenths of a dB
  std::int32_t feedbackPct;      // 0..150 %
  std::int32_t inputGain;        // -800..0 tenths of a dB
  std::int32_t lowpass;          // 0 off, non-zero on
  std::int32_t lowpassHz;        // 100..10000 Hz
  std::int32_t modDepth;         // 0..100 %
  std::int32_t modRate;          // 1..100 tenths of a Hz
  std::int32_t currentTap;       // 0..7, the tap the page edits
  std::int32_t graphResolution;  // 0..3, row of the page's graph resolution list
};
static_assert(sizeof(MultiTapParams) == 140, "35 32-bit fields");

struct IMultiTapParams : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetParams(MultiTapParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParams(const MultiTapParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFormat(AudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterNotify(HWND window, std::int32_t id) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputGain(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInputGain(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWetOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWetOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetModRate(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetModRate(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetModDepth(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetModDepth(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLowpass(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLowpass(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLowpassHz(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLowpassHz(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapCount(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapCount(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentTap(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCurrentTap(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetGraphResolution(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetGraphResolution(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain0(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain0(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain1(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain1(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain2(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain2(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain3(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain3(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain4(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain4(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain5(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain5(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain6(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain6(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapGain7(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapGain7(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay0(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay0(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay1(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay1(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay2(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay2(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay3(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay3(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay4(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay4(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay5(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay5(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay6(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay6(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapDelay7(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapDelay7(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan0(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan0(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan1(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan1(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan2(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan2(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan3(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan3(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan4(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan4(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan5(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan5(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan6(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan6(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTapPan7(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTapPan7(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBackground(std::int32_t flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackground(std::int32_t* flag) = 0;
};

// ---------------------------------------------------------------------------
// Time compress/expand.
inline constexpr IID IID_ITimeParams = {0x5FF5B4A3, 0x858F, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

struct TimeParams {
  double finalTenths;         // 500..5000: final length in tenths of a percent of the initial one
  std::int32_t mode;          // row of the stretch mode table, 0..18
  std::int32_t tempoTenths;   // initial tempo in tenths of a bpm, at most 5000
  double lengthSamples;       // initial length in frames, 0..793800000
  std::int32_t inputFormat;   // how the page enters the length: 0 percentage, 1 tempo, 2 time
  std::int32_t reserved;      // 0
};
static_assert(sizeof(TimeParams) == 32, "two doubles and four 32-bit fields");

struct ITimeParams : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetParams(TimeParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParams(const TimeParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFormat(AudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterNotify(HWND window, std::int32_t id) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFinal(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFinal(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMode(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMode(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTempo(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTempo(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLength(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLength(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputFormat(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInputFormat(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBackground(std::int32_t flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackground(std::int32_t* flag) = 0;
  // The connected input's sample rate; 44100 and E_FAIL while unconnected.
  virtual HRESULT STDMETHODCALLTYPE GetSampleRate(std::uint32_t* rate) = 0;
};

// ---------------------------------------------------------------------------
// Pitch shift.
inline constexpr IID IID_IPitchParams = {0xED1B4103, 0x93BE, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

struct PitchParams {
  std::int32_t semitones;         // -50..50, kept for the page
  std::int32_t centsTenths;       // -1000..1000 tenths of a cent, kept for the page
  std::int32_t accuracy;          // 1 low (two points), 2 (nine), 3 high (fifteen); other values act as 2
  std::int32_t preserveDuration;  // non-zero: the time stretcher restores the input's length
  std::int32_t mode;              // stretch mode row used with preserveDuration, 0..18
  std::int32_t reserved0;         // 0
  double ratio;                   // transposition ratio the engine applies (> 0)
  std::int32_t antiAlias;         // non-zero: low-pass the input before shifting up by more than 1.1
  std::int32_t reserved1;         // 0
  double lengthSamples;           // material length in frames, 0..225306900, kept for the page
};
static_assert(sizeof(PitchParams) == 48, "two doubles and eight 32-bit fields");

struct IPitchParams : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetParams(PitchParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParams(const PitchParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFormat(AudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterNotify(HWND window, std::int32_t id) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSemitones(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSemitones(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCents(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCents(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAccuracy(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAccuracy(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPreserve(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPreserve(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMode(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMode(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRatio(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRatio(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAntiAlias(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAntiAlias(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLength(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLength(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBackground(std::int32_t flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackground(std::int32_t* flag) = 0;
  // The connected input's sample rate; 44100 and E_FAIL while unconnected.
  virtual HRESULT STDMETHODCALLTYPE GetSampleRate(std::uint32_t* rate) = 0;
};

// ---------------------------------------------------------------------------
// Chorus.
inline constexpr IID IID_IChorusParams = {0x28D9F1E3, 0x6ECC, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

struct ChorusParams {
  std::int32_t inputGain;       // -600..0 tenths of a dB; -600 is silence
  std::int32_t dryOut;          // -600..0 tenths of a dB
  std::int32_t chorusOut;       // -600..0 tenths of a dB, the stages' level
  std::int32_t chorusSize;      // 1..3 cascaded stages
  std::int32_t feedbackPct;     // 0..100 %
  std::int32_t invertChorus;    // non-zero inverts the stages' contribution
  std::int32_t delayTenths;     // 1..1000 tenths of a ms
  std::int32_t modRate;         // 1..200 tenths of a Hz
  std::int32_t modDepth;        // 1..100 % of the delay
  std::int32_t highCut;         // 0 off, non-zero on
  std::int32_t highCutHz;       // 100..10000 Hz
  std::int32_t invertFeedback;  // non-zero inverts the feedback
};
static_assert(sizeof(ChorusParams) == 48, "twelve 32-bit fields");

struct IChorusParams : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetParams(ChorusParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParams(const ChorusParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFormat(AudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterNotify(HWND window, std::int32_t id) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputGain(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInputGain(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChorusOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetChorusOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChorusSize(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetChorusSize(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFeedback(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFeedback(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInvertChorus(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInvertChorus(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDelay(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDelay(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetModRate(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetModRate(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetModDepth(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetModDepth(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHighCut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHighCut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHighCutHz(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHighCutHz(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInvertFeedback(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInvertFeedback(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBackground(std::int32_t flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackground(std::int32_t* flag) = 0;
};

// ---------------------------------------------------------------------------
// Reverb.
inline constexpr IID IID_IReverbParams = {0x607682E3, 0x6E21, 0x11D0, {0xAE, 0xBC, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

struct ReverbParams {
  std::int32_t dryOut;       // -800..0 tenths of a dB; -800 is silence
  std::int32_t reverbOut;    // -800..0 tenths of a dB, the tail
  std::int32_t earlyOut;     // -800..0 tenths of a dB, the early reflections
  std::int32_t reverbMode;   // row of the mode table (0..18), stored unchecked
  std::int32_t earlyStyle;   // row of the early-style table (0..9), stored unchecked
  std::int32_t decayTenths;  // 5..50 tenths of a second
  std::int32_t preDelayMs;   // 0..200 ms; 0 is off
  std::int32_t bassCut;      // 0 off, 1 on
  std::int32_t bassCutHz;    // 10..5000 Hz
  std::int32_t highCut;      // 0 off, 1 on
  std::int32_t highCutHz;    // 100..15000 Hz
};
static_assert(sizeof(ReverbParams) == 44, "eleven 32-bit fields");

struct IReverbParams : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetParams(ReverbParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParams(const ReverbParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFormat(AudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterNotify(HWND window, std::int32_t id) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetReverbMode(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetReverbMode(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEarlyStyle(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEarlyStyle(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDryOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDryOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetReverbOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetReverbOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEarlyOut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEarlyOut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDecay(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDecay(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPreDelay(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPreDelay(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBassCut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBassCut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHighCut(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHighCut(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBassCutHz(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBassCutHz(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHighCutHz(std::int32_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHighCutHz(std::int32_t value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBackground(std::int32_t flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackground(std::int32_t* flag) = 0;
};
