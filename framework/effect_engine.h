// The parameter-block machinery every effect engine shares: the lock, the
// changed and dirty flags, the two notification slots, the page-background
// flag, the whole-block and single-field operations, presets and the
// persisted stream. An engine derives from EffectEngine<Traits>, where Traits
// names the parameter block, the parameter interface and its identifier,
// the parameter table (ranges, set-up costs, formats) and the preset table.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "framework/audio_format.h"
#include "framework/field_table.h"
#include "framework/notify_host.h"
#include "framework/presets.h"
#include "include/quillfx1.h"

namespace quill {

struct NotifySlot {
  HWND window = nullptr;
  std::int32_t id = 0;
};

inline constexpr std::uint32_t kStreamHeaderSize = 20;

template <class Traits>
class EffectEngine : public Traits::Interface {
 public:
  using Params = typename Traits::Params;
  static constexpr std::uint32_t kBlockSize = sizeof(Params);
  static constexpr std::uint32_t kStreamSize = kStreamHeaderSize + kBlockSize;

  // A new engine holds preset 0, marked changed (so the first buffer
  // configures) but not dirty (nothing to save yet).
  EffectEngine() : params_(Traits::Presets()[0].params) {}
  EffectEngine(const EffectEngine&) = delete;
  EffectEngine& operator=(const EffectEngine&) = delete;
  virtual ~EffectEngine() = default;

  // The object whose identity and reference count the interface shares
  // (the filter). Without one, the engine answers for itself and is not
  // reference counted: its owner's scope keeps it alive.
  void SetOwner(IUnknown* owner) { owner_ = owner; }

  // --- IUnknown -------------------------------------------------------------
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (owner_ != nullptr) return owner_->QueryInterface(riid, object);
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == Traits::kInterfaceId) {
      *object = static_cast<typename Traits::Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_ != nullptr ? owner_->AddRef() : 1; }
  ULONG STDMETHODCALLTYPE Release() override { return owner_ != nullptr ? owner_->Release() : 1; }

  // --- the shared slots of every parameter interface -----------------------
  HRESULT STDMETHODCALLTYPE GetParams(Params* out) override {
    if (out == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    *out = params_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetParams(const Params* in) override {
    if (in == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    const Params previous = params_;
    params_ = *in;
    changed_ = 1;
    dirty_ = 1;
    rebuildRequest_ = 1;
    return ClampBlock(Traits::Fields(), &params_, &previous) ? E_FAIL : S_OK;
  }

  // [any thread] The format as it was when last set, from the engine's own
  // copy under the lock: the filter rewrites its kept format on the
  // application thread while a page may be asking.
  HRESULT STDMETHODCALLTYPE GetFormat(AudioFormat* out) override {
    if (out == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!connected_) return VFW_E_NOT_CONNECTED;
    *out = shownFormat_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE RegisterNotify(HWND window, std::int32_t id) override {
    std::lock_guard guard(lock_);
    NotifySlot* chosen = nullptr;
    for (NotifySlot& slot : slots_) {
      if (slot.window == window) {
        chosen = &slot;
        break;
      }
      if (slot.window == nullptr) chosen = &slot;
    }
    if (chosen == nullptr) return id != 0 ? E_OUTOFMEMORY : S_OK;
    chosen->window = id != 0 ? window : nullptr;
    chosen->id = id;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetBackground(std::int32_t flag) override {
    std::lock_guard guard(lock_);
    background_ = flag;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetBackground(std::int32_t* flag) override {
    if (flag == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    *flag = background_;
    return S_OK;
  }

  // One field by its row, stored as the field's own setter stores it (a
  // light change stays light): for hosts that reach fields through the
  // parameter table rather than the interface. E_INVALIDARG for a row of
  // another table.
  HRESULT SetFieldValue(const FieldInfo& row, double value) {
    if (FieldAt(Traits::Fields(), row.offset) != &row) return E_INVALIDARG;
    if (row.type == FieldType::Double) return SetAt(row.offset, value);
    if (!(value >= INT32_MIN && value <= INT32_MAX)) return E_INVALIDARG;
    return SetAt(row.offset, static_cast<std::int32_t>(value));
  }

  // --- state seen by the filter and the engine -----------------------------
  // [application thread, or the streaming thread while the application
  // thread waits] The format the engine works on, which the caller keeps
  // (null: none). Its values are copied for the interface's readers.
  void SetFormat(const AudioFormat* format) {
    format_ = format;
    std::lock_guard guard(lock_);
    connected_ = format != nullptr;
    if (connected_) shownFormat_ = *format;
  }
  // [streaming thread] The format itself.
  const AudioFormat* Format() const { return format_; }

  bool Changed() const {
    std::lock_guard guard(lock_);
    return changed_ != 0;
  }
  bool IsDirty() const {
    std::lock_guard guard(lock_);
    return dirty_ != 0;
  }
  // For the filter's construction: applying the default preset is not an edit.
  void MarkClean() {
    std::lock_guard guard(lock_);
    dirty_ = 0;
  }

  // Posts the format notification to every registered page window; slots
  // whose window has gone are emptied. direction: 0 input pin, 1 output pin.
  void NotifyFormat(std::uint16_t direction) {
    NotifyHost* host = CurrentNotifyHost();
    std::lock_guard guard(lock_);
    if (host == nullptr) return;
    for (NotifySlot& slot : slots_) {
      if (slot.window == nullptr) continue;
      if (!host->WindowExists(slot.window)) {
        slot = NotifySlot{};
        continue;
      }
      host->PostCommand(slot.window, static_cast<std::uint16_t>(slot.id), direction);
    }
  }

  const NotifySlot& Slot(int i) const { return slots_[i]; }

  // --- presets ----------------------------------------------------------------
  static std::int32_t PresetCount() { return static_cast<std::int32_t>(Traits::Presets().size()); }

  HRESULT PresetName(std::int32_t index, WCHAR* name, std::int32_t length) const {
    if (index < 0 || index >= PresetCount()) return E_INVALIDARG;
    if (name == nullptr) return E_POINTER;
    AnsiToWide(Traits::Presets()[index].name, name, length);
    return S_OK;
  }

  HRESULT ApplyPreset(std::int32_t index) {
    if (index < 0 || index >= PresetCount()) return E_INVALIDARG;
    return SetParams(&Traits::Presets()[index].params);
  }

  // --- persistence: 20-byte header (total size, interface id), then the block
  static std::uint32_t StreamSize() { return kStreamSize; }

  HRESULT Save(ISequentialStream* stream, bool clearDirty) {
    if (stream == nullptr) return E_POINTER;
    unsigned char header[kStreamHeaderSize];
    const std::uint32_t total = kStreamSize;
    std::memcpy(header, &total, 4);
    std::memcpy(header + 4, &Traits::kInterfaceId, 16);
    HRESULT hr = WriteAll(stream, header, sizeof header);
    if (FAILED(hr)) return hr;
    Params copy;
    {
      std::lock_guard guard(lock_);
      copy = params_;
    }
    hr = WriteAll(stream, &copy, kBlockSize);
    if (FAILED(hr)) return hr;
    if (clearDirty) {
      std::lock_guard guard(lock_);
      dirty_ = 0;
    }
    return hr;
  }

  // Refuses a stream of another size or effect with E_FAIL, leaving the
  // block as it was; a block with out-of-range fields is clamped (a
  // positive-only field given anything else keeps its stored value, as in
  // SetParams), stored and reported with E_FAIL. Does not touch changed or
  // dirty: the engine picks the values up at its next restart. It does
  // request the full set-up, as any whole-block set does: should an edit
  // make a running engine take the block before then, a Full field changed
  // by the load must not be applied by a light set-up.
  HRESULT Load(ISequentialStream* stream) {
    if (stream == nullptr) return E_POINTER;
    unsigned char header[kStreamHeaderSize];
    HRESULT hr = ReadAll(stream, header, sizeof header);
    if (FAILED(hr)) return hr;
    std::uint32_t total;
    GUID id;
    std::memcpy(&total, header, 4);
    std::memcpy(&id, header + 4, 16);
    if (total != kStreamSize || !(id == Traits::kInterfaceId)) return E_FAIL;
    Params incoming;
    hr = ReadAll(stream, &incoming, kBlockSize);
    if (FAILED(hr)) return hr;
    std::lock_guard guard(lock_);
    const Params previous = params_;
    params_ = incoming;
    rebuildRequest_ = 1;
    return ClampBlock(Traits::Fields(), &params_, &previous) ? E_FAIL : hr;
  }

 protected:
  // Reads one field for a single-field getter, under the lock: a page reads
  // while another thread writes the block (SetParams, Load, a preset), and
  // a read racing a write is undefined (a double can come back half old,
  // half new on a 32-bit build). The lock is held for the one copy, and the
  // streaming thread never waits on it for longer than its own snapshot.
  template <class T>
  HRESULT ReadField(T Params::*field, T* out) const {
    if (out == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    *out = params_.*field;
    return S_OK;
  }

  // The field setters: the value is limited as the field's row says, then
  // stored under the lock if it differs, which sets changed and dirty; a
  // Full row also requests the full set-up. A Positive row refuses anything
  // but a positive finite number with E_INVALIDARG.
  template <class T>
  HRESULT SetField(T Params::*field, T value) {
    return SetAt(OffsetOf(&(params_.*field)), value);
  }
  // One element of a per-tap array; an index outside it is refused.
  template <class T, std::size_t N>
  HRESULT SetElement(T (Params::*field)[N], std::int32_t k, T value) {
    if (k < 0 || static_cast<std::size_t>(k) >= N) return E_INVALIDARG;
    return SetAt(OffsetOf(&(params_.*field)[k]), value);
  }
  template <class T, std::size_t N>
  HRESULT GetElement(T (Params::*field)[N], std::int32_t k, T* out) const {
    if (out == nullptr) return E_POINTER;
    if (k < 0 || static_cast<std::size_t>(k) >= N) return E_INVALIDARG;
    std::lock_guard guard(lock_);
    *out = (params_.*field)[k];
    return S_OK;
  }

  // GetSampleRate of the time and pitch interfaces, from the copy.
  HRESULT ShownSampleRate(std::uint32_t* rate) const {
    std::lock_guard guard(lock_);
    return ConnectedSampleRate(connected_ ? &shownFormat_ : nullptr, rate);
  }

  // Copies the block under the lock and clears the changed flag (true if it
  // was set), handing over (and clearing) a pending full set-up request too.
  // The copy holds what a stream plays (PlayBlock): a stored value no stream
  // can use as it stands is played as the nearest that it can.
  bool TakeSnapshot(Params& out, bool& rebuildRequested) {
    bool was;
    {
      std::lock_guard guard(lock_);
      out = params_;
      was = changed_ != 0;
      changed_ = 0;
      rebuildRequested = rebuildRequest_ != 0;
      rebuildRequest_ = 0;
    }
    PlayBlock(Traits::Fields(), &out);
    return was;
  }

  // What every engine does first with a buffer that is not a flush: a
  // discontinuity after the first buffer of a run restarts it; otherwise a
  // change since the last buffer, or a set-up that has not succeeded, sets
  // the engine up from the snapshot before it runs.
  enum class BufferStart { Restart, SetUp, Run };
  static BufferStart StartOf(ProcessMode mode, bool started, bool changed, bool ready) {
    if (mode == ProcessMode::Discontinuity && started) return BufferStart::Restart;
    return changed || !ready ? BufferStart::SetUp : BufferStart::Run;
  }

 private:
  std::size_t OffsetOf(const void* member) const {
    return static_cast<std::size_t>(static_cast<const unsigned char*>(member) -
                                    reinterpret_cast<const unsigned char*>(&params_));
  }

  template <class T>
  HRESULT SetAt(std::size_t offset, T value) {
    const FieldInfo* row = FieldAt(Traits::Fields(), offset);
    bool full = false;
    if (row != nullptr) {
      if (row->range == FieldRange::Positive && !(value > 0 && std::isfinite(static_cast<double>(value))))
        return E_INVALIDARG;
      LimitValue(*row, value);
      full = row->setup == FieldSetup::Full;
    }
    std::lock_guard guard(lock_);
    T& slot = *reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(&params_) + offset);
    if (!(slot == value)) {
      slot = value;
      changed_ = 1;
      dirty_ = 1;
      if (full) rebuildRequest_ = 1;
    }
    return S_OK;
  }

  static HRESULT WriteAll(ISequentialStream* stream, const void* data, ULONG bytes) {
    ULONG done = 0;
    HRESULT hr = stream->Write(data, bytes, &done);
    if (FAILED(hr)) return hr;
    return done == bytes ? hr : STG_E_WRITEFAULT;
  }
  static HRESULT ReadAll(ISequentialStream* stream, void* data, ULONG bytes) {
    ULONG done = 0;
    HRESULT hr = stream->Read(data, bytes, &done);
    if (FAILED(hr)) return hr;
    return done == bytes ? hr : STG_E_READFAULT;
  }

  mutable std::mutex lock_;
  Params params_;
  std::int32_t changed_ = 1;
  std::int32_t dirty_ = 0;
  NotifySlot slots_[2];
  const AudioFormat* format_ = nullptr;
  AudioFormat shownFormat_{};  // under the lock, as last set
  bool connected_ = false;
  std::int32_t background_ = 1;
  std::int32_t rebuildRequest_ = 0;
  IUnknown* owner_ = nullptr;
};

// IEffectPresets over an engine, sharing the identity of the engine's owner.
template <class Engine>
class EffectPresets : public IEffectPresets {
 public:
  explicit EffectPresets(Engine& engine) : engine_(engine) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IEffectPresets) {
      *object = static_cast<IEffectPresets*>(this);
      AddRef();
      return S_OK;
    }
    return engine_.QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return engine_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return engine_.Release(); }

  HRESULT STDMETHODCALLTYPE GetPresetCount(std::int32_t* count) override {
    if (count == nullptr) return E_POINTER;
    *count = Engine::PresetCount();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPresetName(std::int32_t index, WCHAR* name, std::int32_t length) override {
    return engine_.PresetName(index, name, length);
  }
  HRESULT STDMETHODCALLTYPE ApplyPreset(std::int32_t index) override { return engine_.ApplyPreset(index); }

 private:
  Engine& engine_;
};

}  // namespace quill
