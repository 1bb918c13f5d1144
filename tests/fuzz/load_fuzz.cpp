// libFuzzer target: a persisted stream into an effect's Load, then a few
// short buffers of noise through the engine in the format the input picks.
//
// Input: four bytes that choose, then the stream Load reads.
//   [0] effect (index into kEffectNames; QUILL_FUZZ_EFFECT=<name> pins it
//       and the byte is ignored)
//   [1] bits 0-2 sample kind, bit 3 stereo, bits 4-6 rate, bit 7 load the
//       stream again between the first two buffers
//   [2] bits 0-4 preset the engine holds before the load, bits 5-6 which
//       read of the stream fails (1 the header, 2 the block), bit 7 fails
//       it with E_FAIL instead of a read fault
//   [3] seed of the buffer lengths and the noise; a seed of 1 modulo 3
//       puts a NaN or an infinity into every other float buffer
// Any broken rule traps, so that libFuzzer reports the input: among them a
// stream that stops for a setting, output that is not finite, lines that
// do not recover from a NaN, a copying engine that makes more than its
// lowest ratio allows.
//
// `load_fuzz --write-seeds DIR` writes the seed corpus (DIR/<effect>/...)
// and exits: every preset's saved block, and short, foreign and
// out-of-range streams.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/fuzz/effect_set.h"
#include "tests/native/test_support.h"

namespace quill::fault {
namespace {

int pinnedEffect = -1;

// Traps with a line on stderr, so that the report says which rule broke.
#define QUILL_CHECK(cond)                                                        \
  do {                                                                           \
    if (!(cond)) {                                                               \
      std::fprintf(stderr, "load_fuzz: %s:%d: %s\n", __FILE__, __LINE__, #cond); \
      __builtin_trap();                                                          \
    }                                                                            \
  } while (0)

constexpr std::size_t kChoiceBytes = 4;

struct Choice {
  int effect = 0;
  SampleKind kind = SampleKind::Pcm16;
  std::uint16_t channels = 1;
  std::uint32_t rate = 44100;
  bool reload = false;
  int preset = 0;
  int failRead = -1;  // which Read call of the load fails; -1 none
  HRESULT failWith = STG_E_READFAULT;
  std::uint32_t seed = 0;
};

Choice Decode(const std::uint8_t* data, std::size_t size) {
  std::uint8_t b[kChoiceBytes] = {};
  std::memcpy(b, data, std::min(size, kChoiceBytes));
  Choice c;
  c.effect = pinnedEffect >= 0 ? pinnedEffect : b[0] % kEffectCount;
  c.kind = static_cast<SampleKind>((b[1] & 7) % 5);
  c.channels = (b[1] & 8) ? 2 : 1;
  c.rate = kRates[((b[1] >> 4) & 7) % 5];
  c.reload = (b[1] & 0x80) != 0;
  c.preset = b[2] & 0x1F;
  const int fail = (b[2] >> 5) & 3;
  c.failRead = fail == 1 ? 0 : fail == 2 ? 1 : -1;
  c.failWith = (b[2] & 0x80) ? E_FAIL : STG_E_READFAULT;
  c.seed = b[3];
  return c;
}

test::MemoryStream StreamFrom(const std::uint8_t* bytes, std::size_t n, const Choice& c) {
  test::MemoryStream s;
  s.bytes.assign(bytes, bytes + n);
  s.failCall = c.failRead;
  s.failWith = c.failWith;
  return s;
}

// Load of `bytes` into an engine holding `before`, judged against what the
// stream holds: a refused stream leaves the block byte for byte; an accepted
// one stores each field as given when its row can hold it, else the row's
// end it went past (a positive-only row keeps its stored value), reports
// any such change with E_FAIL, and stores the bytes no row covers as given.
template <class Engine, class Traits>
void CheckLoad(Engine& engine, const std::uint8_t* bytes, std::size_t n, const Choice& c) {
  using Params = typename Traits::Params;
  constexpr std::size_t kBlock = sizeof(Params);
  const FieldTable table = Traits::Fields();
  Params before, after;
  std::memset(&before, 0, kBlock);
  std::memset(&after, 0, kBlock);
  QUILL_CHECK(engine.GetParams(&before) == S_OK);

  test::MemoryStream stream = StreamFrom(bytes, n, c);
  const HRESULT hr = engine.Load(&stream);
  QUILL_CHECK(engine.GetParams(&after) == S_OK);

  std::uint32_t total = 0;
  GUID id{};
  if (n >= kStreamHeaderSize) {
    std::memcpy(&total, bytes, 4);
    std::memcpy(&id, bytes + 4, 16);
  }
  const bool headerRead = n >= kStreamHeaderSize && c.failRead != 0;
  const bool ours = headerRead && total == Engine::StreamSize() && id == Traits::kInterfaceId;
  const bool blockRead = ours && n >= kStreamHeaderSize + kBlock && c.failRead != 1;
  if (!blockRead) {
    QUILL_CHECK(FAILED(hr));
    QUILL_CHECK(std::memcmp(&before, &after, kBlock) == 0);
    return;
  }

  Params incoming;
  std::memcpy(&incoming, bytes + kStreamHeaderSize, kBlock);
  bool covered[kBlock] = {};
  bool changed = false;
  for (const FieldInfo& f : table) {
    const std::size_t w = FieldBytes(f);
    std::fill(covered + f.offset, covered + f.offset + w, true);
    const auto* in = reinterpret_cast<const unsigned char*>(&incoming) + f.offset;
    const auto* got = reinterpret_cast<const unsigned char*>(&after) + f.offset;
    const auto* was = reinterpret_cast<const unsigned char*>(&before) + f.offset;
    const double value = ReadFieldValue(&incoming, f);
    if (Holdable(f, value)) {
      QUILL_CHECK(std::memcmp(in, got, w) == 0);
      continue;
    }
    changed = true;
    const double stored = ReadFieldValue(&after, f);
    if (f.range == FieldRange::Positive)
      QUILL_CHECK(std::memcmp(was, got, w) == 0);
    else
      QUILL_CHECK(stored == (value > f.hi ? f.hi : f.lo));
  }
  for (std::size_t i = 0; i < kBlock; ++i)
    if (!covered[i])
      QUILL_CHECK(reinterpret_cast<const unsigned char*>(&incoming)[i] ==
                  reinterpret_cast<const unsigned char*>(&after)[i]);
  QUILL_CHECK(hr == (changed ? E_FAIL : S_OK));
}

template <class Engine, class Traits>
void FuzzWith(Engine& engine, const std::uint8_t* data, std::size_t size, const Choice& c) {
  const std::uint8_t* bytes = data + std::min(size, kChoiceBytes);
  const std::size_t n = size - std::min(size, kChoiceBytes);

  QUILL_CHECK(engine.ApplyPreset(c.preset % Engine::PresetCount()) == S_OK);
  CheckLoad<Engine, Traits>(engine, bytes, n, c);
  typename Traits::Params held;
  QUILL_CHECK(engine.GetParams(&held) == S_OK);
  QUILL_CHECK(OutOfRange(Traits::Fields(), &held) == nullptr);

  // A few short buffers: lengths from the seed, now and then an empty one.
  Noise noise{c.seed * 2654435761u + 1u};
  std::uint32_t sizes[3];
  for (std::uint32_t& s : sizes) s = noise.Below(8) == 0 ? 0 : 1 + noise.Below(384);
  const auto between = [&](std::size_t i) {
    if (i != 1 || !c.reload) return;
    test::MemoryStream again = StreamFrom(bytes, n, c);
    engine.Load(&again);
    typename Traits::Params now;
    QUILL_CHECK(engine.GetParams(&now) == S_OK);
    QUILL_CHECK(OutOfRange(Traits::Fields(), &now) == nullptr);
  };
  const AudioFormat format = FormatOf(c.kind, c.channels, c.rate);
  const bool poison = c.seed % 3 == 1;
  StreamResult r;
  if constexpr (kCopying<Engine>)
    r = StreamCopying(engine, format, sizes, noise, between, poison);
  else
    r = StreamInPlace(engine, format, sizes, 3, noise, between, poison);
  QUILL_CHECK(r.finite);
  QUILL_CHECK(r.countsKept);
  QUILL_CHECK(r.played);
  QUILL_CHECK(r.recovered);
  QUILL_CHECK(r.bounded);
}

// A fresh engine per input, except the chorus: it takes three 8 MB sine
// caches with the engine, whose allocation and release cost some 30 ms
// under AddressSanitizer, twenty times the rest of an input. Its one engine
// per process is brought back to a known state by every input: the preset,
// the load, and the restart that clears its lines and stages.
template <class Engine, class Traits>
void FuzzEffect(const std::uint8_t* data, std::size_t size, const Choice& c) {
  if constexpr (std::is_same_v<Engine, ChorusEngine>) {
    static ChorusEngine kept;
    FuzzWith<Engine, Traits>(kept, data, size, c);
  } else {
    Engine fresh;
    FuzzWith<Engine, Traits>(fresh, data, size, c);
  }
}

// --- the seed corpus --------------------------------------------------------

void WriteSeed(const std::filesystem::path& dir, const std::string& name, const std::vector<std::uint8_t>& choice,
               const std::vector<std::uint8_t>& stream) {
  std::ofstream out(dir / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(choice.data()), static_cast<std::streamsize>(choice.size()));
  out.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
}

// The stream an engine saves holding preset `index`.
template <class Engine>
std::vector<std::uint8_t> SavedPreset(int index) {
  Engine engine;
  engine.ApplyPreset(index);
  test::MemoryStream s;
  engine.Save(&s, true);
  return s.bytes;
}

int WriteSeeds(const char* root) {
  for (int effect = 0; effect < kEffectCount; ++effect) {
    WithEffect(effect, [&](auto e, auto t) {
      using Engine = typename decltype(e)::type;
      const std::filesystem::path dir = std::filesystem::path(root) / kEffectNames[effect];
      std::filesystem::create_directories(dir);
      const auto e8 = static_cast<std::uint8_t>(effect);
      // Every preset, each in another format.
      for (int p = 0; p < Engine::PresetCount(); ++p) {
        const auto format = static_cast<std::uint8_t>((p % 5) | ((p & 1) << 3) | (((p / 2) % 5) << 4));
        char name[32];
        std::snprintf(name, sizeof name, "preset-%02d", p);
        WriteSeed(dir, name, {e8, format, static_cast<std::uint8_t>((p + 1) % 32), static_cast<std::uint8_t>(p)},
                  SavedPreset<Engine>(p));
      }
      const std::vector<std::uint8_t> saved = SavedPreset<Engine>(0);
      // Short: nothing, part of the header, the header alone, the block cut short.
      WriteSeed(dir, "short-empty", {e8, 0x19, 0, 1}, {});
      WriteSeed(dir, "short-header", {e8, 0x2B, 0, 2}, {saved.begin(), saved.begin() + 11});
      WriteSeed(dir, "short-block", {e8, 0x3C, 0, 3},
                {saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(saved.size() - 3)});
      // Another effect's stream, and this one's with a wrong total size.
      const int other = (effect + 1) % kEffectCount;
      WithEffect(other, [&](auto o, auto) {
        WriteSeed(dir, std::string("foreign-") + kEffectNames[other], {e8, 0x0A, 2, 4},
                  SavedPreset<typename decltype(o)::type>(0));
      });
      std::vector<std::uint8_t> wrong = saved;
      wrong[0] = static_cast<std::uint8_t>(wrong[0] + 8);
      WriteSeed(dir, "wrong-size", {e8, 0x1D, 3, 5}, wrong);
      // Every field out of range: all bits set (NaN doubles, -1 integers),
      // then the block loaded again mid-stream.
      std::vector<std::uint8_t> wild = saved;
      std::fill(wild.begin() + kStreamHeaderSize, wild.end(), 0xFF);
      WriteSeed(dir, "wild-block", {e8, 0x8C, 4, 6}, wild);
      // Far beyond every row: whole numbers of a million (modes, levels),
      // tiny doubles (a ratio that would make ten thousand frames of each).
      std::vector<std::uint8_t> far = saved;
      typename Engine::Params p;
      std::memcpy(&p, far.data() + kStreamHeaderSize, sizeof p);
      for (const FieldInfo& f : decltype(t)::type::Fields())
        WriteFieldValue(&p, f, f.type == FieldType::Double ? 1e-4 : 1e6);
      std::memcpy(far.data() + kStreamHeaderSize, &p, sizeof p);
      WriteSeed(dir, "far-block", {e8, 0x1B, 1, 8}, far);
      // A read fault on the block.
      WriteSeed(dir, "fault-block", {e8, 0x04, 0x40, 7}, saved);
    });
  }
  return 0;
}

}  // namespace
}  // namespace quill::fault

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  using namespace quill::fault;
  if (*argc >= 3 && std::strcmp((*argv)[1], "--write-seeds") == 0) std::exit(WriteSeeds((*argv)[2]));
  if (const char* name = std::getenv("QUILL_FUZZ_EFFECT")) {
    pinnedEffect = EffectIndex(name);
    if (pinnedEffect < 0) {
      std::fprintf(stderr, "load_fuzz: QUILL_FUZZ_EFFECT=%s is none of the six effects\n", name);
      std::exit(2);
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quill::fault;
  const Choice c = Decode(data, size);
  WithEffect(c.effect, [&](auto e, auto t) {
    FuzzEffect<typename decltype(e)::type, typename decltype(t)::type>(data, size, c);
  });
  return 0;
}
