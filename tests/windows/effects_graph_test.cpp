// The multi-tap delay, reverb and chorus filters in real filter graphs: the
// multi-tap's tail of one ring length, the reverb's tail of whole seconds,
// the chorus ending its stream at once, float stereo routed to the engine;
// and persistence and presets through each filter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "tests/windows/effect_rig.h"
#include "include/quillfx1.h"
#include "tools/common/run_engine.h"
#include "twchorus/chorus_engine.h"
#include "twechomt/multi_tap_engine.h"
#include "twechos/simple_delay_engine.h"
#include "twreverb/reverb_engine.h"
#include "tools/common/wav_file.h"
#include "tests/windows/win_support.h"

namespace quill::test {
namespace {

// Deterministic noise of about half full scale.
std::vector<std::int16_t> Noise(size_t count, std::uint32_t seed) {
  std::vector<std::int16_t> out(count);
  for (auto& s : out) {
    seed = seed * 1664525u + 1013904223u;
    s = static_cast<std::int16_t>(static_cast<std::int32_t>(seed >> 16) - 32768) / 2;
  }
  return out;
}

int Peak(const std::vector<std::int16_t>& s, size_t from, size_t to) {
  int peak = 0;
  for (size_t i = from; i < to && i < s.size(); ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
  return peak;
}

class EffectsInGraph : public EffectRig {
 protected:
  // Connects and runs mono 16-bit at 44100 Hz unless told otherwise.
  template <class Params>
  Params* ConnectAndRun(const CLSID& clsid, const IID& iid, long bufferSize, WORD channels = 1, DWORD rate = 44100,
                        bool run = true) {
    BuildRig(clsid, iid, MakeAudioType(WAVE_FORMAT_PCM, channels, rate, 16), bufferSize);
    EXPECT_EQ(ConnectInput(), S_OK);
    EXPECT_EQ(ConnectOutput(), S_OK);
    if (run) Run();
    return static_cast<Params*>(rigParams_);
  }
  void PushThenEnd(const std::vector<std::int16_t>& in) {
    ASSERT_EQ(source_->Push(in.data(), static_cast<long>(in.size() * 2)), S_OK);
    ASSERT_EQ(source_->PushEnd(), S_OK);
    EXPECT_EQ(sink_->endOfStreams, 1);
  }
  // The mono tail after the first buffer: `frames` long in buffers of at most
  // `bufferSize` bytes, full ones but for the last.
  std::vector<std::int16_t> Tail(long bufferSize, size_t frames) {
    for (size_t i = 1; i < sink_->samples.size(); ++i)
      EXPECT_LE(sink_->samples[i].bytes.size(), static_cast<size_t>(bufferSize));
    EXPECT_EQ(sink_->samples.back().bytes.size(), (frames % (bufferSize / 2)) * 2u);
    std::vector<std::int16_t> tail = Int16s(sink_->Joined(1));
    EXPECT_EQ(tail.size(), frames);
    return tail;
  }
};

// Default preset at 44100 Hz mono: one tap at 100 ms is 4405 samples
// (44 per millisecond plus the tap's 0.123 ms offset, 5 samples), and the
// ring is trunc(1.05 x 4405) = 4625 long. The tail is one ring length; in it
// the impulse's echo arrives 4405 samples after the impulse.
TEST_F(EffectsInGraph, MultiTapTailIsOneRingLengthAndCarriesTheEcho) {
  ConnectAndRun<IMultiTapParams>(CLSID_TwEchomt, IID_IMultiTapParams, 4096);
  std::vector<std::int16_t> in(1000, 0);
  in[0] = 16384;
  PushThenEnd(in);
  ASSERT_GE(sink_->samples.size(), 2u);
  const std::vector<std::int16_t> first = Int16s(sink_->samples[0].bytes);
  ASSERT_EQ(first.size(), 1000u);
  EXPECT_EQ(first[0], Pcm16Of(0.5 * kGain));  // the dry impulse
  for (size_t i = 1; i < first.size(); ++i) ASSERT_EQ(first[i], 0) << i;
  const std::vector<std::int16_t> tail = Tail(4096, 4625);
  ASSERT_EQ(tail.size(), 4625u);
  for (size_t k = 0; k < tail.size(); ++k) ASSERT_EQ(tail[k], k == 4405 - 1000 ? Pcm16Of(0.5 * kGain) : 0) << k;
}

// Default preset (2.5 s decay) at 44100 Hz: the tail is trunc(2.5) = 2 whole
// seconds, 88200 frames, and dies away: every line loses 60 dB over the
// decay time, so the last tenth of a second lies some 40 dB below the first.
TEST_F(EffectsInGraph, ReverbTailLastsTheWholeSecondsOfTheDecay) {
  ConnectAndRun<IReverbParams>(CLSID_TwReverb, IID_IReverbParams, 8192);
  PushThenEnd(Noise(4000, 7));
  const std::vector<std::int16_t> tail = Tail(8192, 88200);
  const int early = Peak(tail, 0, 22050);
  EXPECT_GT(early, 300);
  EXPECT_LT(Peak(tail, 88200 - 4410, 88200) * 30, early);  // at least 29.5 dB down
}

// Under one second of decay there is no whole second to add: the first
// tail buffer already reports the end, and goes out empty.
TEST_F(EffectsInGraph, ReverbWithDecayUnderOneSecondEndsWithOneEmptyBuffer) {
  auto* reverb = ConnectAndRun<IReverbParams>(CLSID_TwReverb, IID_IReverbParams, 8192, 2, 22050, false);
  ASSERT_EQ(reverb->SetDecay(9), S_OK);
  Run();
  PushThenEnd(Noise(2000, 11));
  ASSERT_EQ(sink_->samples.size(), 2u);
  EXPECT_EQ(sink_->samples[0].bytes.size(), 4000u);
  EXPECT_EQ(sink_->samples[1].bytes.size(), 0u);
}

// The chorus has no tail: what was pushed arrives, then the end of the
// stream, nothing in between. Its lines start silent, so until the shortest
// stage delay (about 1380 samples at the default 40 ms) has passed the
// output is the dry path alone, in every run.
TEST_F(EffectsInGraph, ChorusPassesTheEndOfStreamOnAtOnce) {
  ConnectAndRun<IChorusParams>(CLSID_TwChorus, IID_IChorusParams, 8192, 2, 44100, false);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Run();
    std::vector<std::vector<std::int16_t>> pushed;
    for (int b = 0; b < 7; ++b) {  // 7000 frames: every slot of every line written
      pushed.push_back(Noise(2000, 100 + b));
      ASSERT_EQ(source_->Push(pushed.back().data(), 4000), S_OK);
    }
    ASSERT_EQ(source_->PushEnd(), S_OK);
    EXPECT_EQ(sink_->endOfStreams, 1);
    ASSERT_EQ(sink_->samples.size(), 7u);
    for (const Captured& c : sink_->samples) EXPECT_EQ(c.bytes.size(), 4000u);
    const std::vector<std::int16_t> first = Int16s(sink_->samples[0].bytes);
    for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i], Pcm16Of(Normalised(pushed[0][i]) * kGain)) << i;
    const std::vector<std::int16_t> last = Int16s(sink_->samples[6].bytes);  // the voices have joined in
    size_t differing = 0;
    for (size_t i = 0; i < last.size(); ++i) differing += last[i] != Pcm16Of(Normalised(pushed[6][i]) * kGain);
    EXPECT_GT(differing, last.size() / 2);
    Stop();
    sink_->samples.clear();
    sink_->endOfStreams = 0;
  }
}

// Float stereo through each filter: what leaves the graph, tail included,
// is what the engine gives in this process for the same buffers, bit for
// bit; the filter only routes them.
class FloatThroughFilters : public EffectRig {
 protected:
  template <class Engine>
  void ExpectEnginesOutput(const CLSID& clsid, const IID& iid, std::int32_t preset, WORD bits) {
    constexpr long kBufferFrames = 2048;
    const long bufferSize = kBufferFrames * 2 * bits / 8;
    BuildRig(clsid, iid, MakeAudioType(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, bits), bufferSize);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    IEffectPresets* presets = nullptr;
    ASSERT_EQ(effect_->QueryInterface(IID_IEffectPresets, reinterpret_cast<void**>(&presets)), S_OK);
    EXPECT_EQ(presets->ApplyPreset(preset), S_OK);
    presets->Release();
    WavData in;
    in.format = MakeFormat(3, 2, 44100, bits);
    for (const std::int16_t s : Noise(3 * 2 * kBufferFrames, 23)) {
      const float f = static_cast<float>(Normalised(s));
      const double d = Normalised(s);
      const void* bytes = bits == 32 ? static_cast<const void*>(&f) : static_cast<const void*>(&d);
      const auto* first = static_cast<const std::uint8_t*>(bytes);
      in.bytes.insert(in.bytes.end(), first, first + bits / 8);
    }
    Run();
    for (size_t at = 0; at < in.bytes.size(); at += static_cast<size_t>(bufferSize))
      ASSERT_EQ(source_->Push(in.bytes.data() + at, bufferSize), S_OK);
    ASSERT_EQ(source_->PushEnd(), S_OK);
    EXPECT_EQ(sink_->endOfStreams, 1);
    Engine engine;
    ASSERT_EQ(engine.ApplyPreset(preset), S_OK);
    WavData expected;
    RunStats stats;
    ASSERT_EQ(RunInPlace(engine, in, expected, kBufferFrames, stats), S_OK);
    const std::vector<std::uint8_t> got = sink_->Joined(0);
    ASSERT_EQ(got.size(), expected.bytes.size());
    EXPECT_EQ(got, expected.bytes);
    Dismantle();
  }
};

TEST_F(FloatThroughFilters, MultiTapPanChorusThreeStagesAndPlateReverbAreTheEnginesOutput) {
  {
    SCOPED_TRACE("multi-tap stereo pan");
    ExpectEnginesOutput<MultiTapEngine>(CLSID_TwEchomt, IID_IMultiTapParams, 24, 32);
  }
  {
    SCOPED_TRACE("chorus three stages");
    ExpectEnginesOutput<ChorusEngine>(CLSID_TwChorus, IID_IChorusParams, 8, 64);
  }
  SCOPED_TRACE("reverb plate");
  ExpectEnginesOutput<ReverbEngine>(CLSID_TwReverb, IID_IReverbParams, 8, 32);
}

struct PersistCase {
  const char* what;
  const CLSID* clsid;
  ULONG size;
  std::int32_t presets;
  const void* preset3;  // block of preset 3 from the effect's table
};

// A saved block's tag: the parameter interface, the class plus 3.
GUID ParamsTag(GUID clsid) {
  clsid.Data1 += 3;
  return clsid;
}

std::vector<std::uint8_t> SavedBytes(IPersistStream* persist, BOOL clearDirty) {
  IStream* stream = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  if (stream == nullptr) return {};
  EXPECT_EQ(persist->Save(stream, clearDirty), S_OK);
  LARGE_INTEGER zero{};
  ULARGE_INTEGER end{};
  EXPECT_EQ(stream->Seek(zero, STREAM_SEEK_END, &end), S_OK);
  EXPECT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
  std::vector<std::uint8_t> bytes(static_cast<size_t>(end.QuadPart));
  ULONG read = 0;
  EXPECT_EQ(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read), S_OK);
  EXPECT_EQ(read, bytes.size());
  stream->Release();
  return bytes;
}

HRESULT LoadBytes(IPersistStream* persist, const std::vector<std::uint8_t>& bytes) {
  IStream* stream = nullptr;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) return hr;
  ULONG written = 0;
  hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER zero{};
  if (SUCCEEDED(hr)) hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(hr)) hr = persist->Load(stream);
  stream->Release();
  return hr;
}

IPersistStream* CreatePersistent(const CLSID& clsid) {
  IPersistStream* persist = nullptr;
  EXPECT_EQ(CreateFromModule(clsid, IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
  return persist;
}

const PersistCase kPersistCases[] = {
    {"simple delay", &CLSID_TwEchos, 40, 6, &SimpleDelayPresets()[3].params},
    {"multi-tap delay", &CLSID_TwEchomt, 160, 26, &MultiTapPresets()[3].params},
    {"reverb", &CLSID_TwReverb, 64, 12, &ReverbPresets()[3].params},
    {"chorus", &CLSID_TwChorus, 68, 23, &ChorusPresets()[3].params},
};

TEST(EffectPersistence, EachFilterSavesItsBlockBehindItsHeaderAndLoadsItBack) {
  for (const PersistCase& c : kPersistCases) {
    SCOPED_TRACE(c.what);
    IPersistStream* persist = CreatePersistent(*c.clsid);
    ASSERT_NE(persist, nullptr);
    ULARGE_INTEGER max{};
    ASSERT_EQ(persist->GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, c.size);
    CLSID id{};
    ASSERT_EQ(persist->GetClassID(&id), S_OK);
    EXPECT_EQ(id, *c.clsid);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);  // a new filter holds its default
    IEffectPresets* presets = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IEffectPresets, reinterpret_cast<void**>(&presets)), S_OK);
    std::int32_t count = 0;
    ASSERT_EQ(presets->GetPresetCount(&count), S_OK);
    EXPECT_EQ(count, c.presets);
    WCHAR name[64];
    ASSERT_EQ(presets->GetPresetName(0, name, 64), S_OK);
    EXPECT_STREQ(name, L"(Default)");
    EXPECT_EQ(presets->ApplyPreset(count), E_INVALIDARG);
    EXPECT_EQ(presets->ApplyPreset(-1), E_INVALIDARG);
    ASSERT_EQ(presets->ApplyPreset(3), S_OK);
    presets->Release();
    EXPECT_EQ(persist->IsDirty(), S_OK);
    EXPECT_EQ(SavedBytes(persist, FALSE).size(), c.size);
    EXPECT_EQ(persist->IsDirty(), S_OK);  // not asked to clear
    const std::vector<std::uint8_t> saved = SavedBytes(persist, TRUE);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_EQ(saved.size(), c.size);
    std::uint32_t total = 0;
    std::memcpy(&total, saved.data(), 4);
    EXPECT_EQ(total, c.size);
    const GUID tag = ParamsTag(*c.clsid);
    EXPECT_EQ(std::memcmp(saved.data() + 4, &tag, 16), 0);
    EXPECT_EQ(std::memcmp(saved.data() + 20, c.preset3, c.size - 20), 0);
    // Into a fresh filter of the same effect, and out again unchanged.
    IPersistStream* other = CreatePersistent(*c.clsid);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(LoadBytes(other, saved), S_OK);
    EXPECT_EQ(other->IsDirty(), S_FALSE);  // loading is not an edit
    EXPECT_EQ(SavedBytes(other, FALSE), saved);
    other->Release();
    persist->Release();
  }
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

TEST(EffectPersistence, AnotherEffectsStreamIsRefusedAndChangesNothing) {
  for (size_t i = 0; i < std::size(kPersistCases); ++i) {
    const PersistCase& from = kPersistCases[i];
    const PersistCase& into = kPersistCases[(i + 1) % std::size(kPersistCases)];
    SCOPED_TRACE(std::string(from.what) + " into " + into.what);
    IPersistStream* source = CreatePersistent(*from.clsid);
    IPersistStream* target = CreatePersistent(*into.clsid);
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    const std::vector<std::uint8_t> before = SavedBytes(target, FALSE);
    EXPECT_EQ(LoadBytes(target, SavedBytes(source, FALSE)), E_FAIL);
    EXPECT_EQ(SavedBytes(target, FALSE), before);
    // A stream of the right size tagged with another effect's interface.
    std::vector<std::uint8_t> forged = before;
    const GUID otherTag = ParamsTag(*from.clsid);
    std::memcpy(forged.data() + 4, &otherTag, 16);
    EXPECT_EQ(LoadBytes(target, forged), E_FAIL);
    EXPECT_EQ(SavedBytes(target, FALSE), before);
    source->Release();
    target->Release();
  }
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quill::test
