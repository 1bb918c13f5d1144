// The LV2 bundle as hosts see it: loaded through the LV2 host library, its
// plugins checked against the parameter and preset tables, and run (in this
// process through the library, and by lv2apply and a GStreamer pipeline)
// on 16-bit material held as float, where every host must give exactly
// what quillfx gives.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <malloc.h>
#include <sys/wait.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "lv2/controls.h"
#include "include/quillfx1.h"
#include "lv2/effects.h"
#include "tools/common/demo_material.h"
#include "tools/common/wav_file.h"
#include "twpitchs/transpose.h"

// Allocations counted while a plugin runs (the plugins' own copies of the
// core are out of reach of the line allocator's hook, so heap use is
// compared as well).
namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
void* Counted(std::size_t n) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n != 0 ? n : 1);
}
// Out of line, so that the compiler does not pair a new with this free.
[[gnu::noinline]] void Release(void* p) {
  std::free(p);
}
}  // namespace
void* operator new(std::size_t n) {
  if (void* p = Counted(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = Counted(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return Counted(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return Counted(n);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}

namespace quill::lv2 {
namespace {

constexpr const char* kPset = "http://lv2plug.in/ns/ext/presets#Preset";
constexpr const char* kUnits = "http://lv2plug.in/ns/extensions/units#";
constexpr const char* kCore = "http://lv2plug.in/ns/lv2core#";

std::string Dir() {
  return ::testing::TempDir() + "lv2_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
}

int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class Lv2Bundle : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Our bundle and the system's LV2 vocabularies, nothing else.
    setenv("LV2_PATH", QUILL_LV2_PATH, 1);
    world_ = lilv_world_new();
    lilv_world_load_all(world_);
  }
  static void TearDownTestSuite() { lilv_world_free(world_); }

  static LilvNode* Uri(const std::string& uri) { return lilv_new_uri(world_, uri.c_str()); }

  static const LilvPlugin* Find(const PluginEffect& effect, std::uint32_t channels) {
    LilvNode* uri = Uri(PluginUri(effect, channels));
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
    return plugin;
  }

  static const PluginEffect& Effect(const char* alias) {
    for (const PluginEffect& e : PluginEffects())
      if (std::strcmp(e.alias, alias) == 0) return e;
    throw std::runtime_error(alias);
  }

  static LilvWorld* world_;
};
LilvWorld* Lv2Bundle::world_ = nullptr;

// A URID map for the preset states.
std::vector<std::string> mapped;
LV2_URID MapUri(LV2_URID_Map_Handle, const char* uri) {
  for (std::size_t i = 0; i < mapped.size(); ++i)
    if (mapped[i] == uri) return static_cast<LV2_URID>(i + 1);
  mapped.emplace_back(uri);
  return static_cast<LV2_URID>(mapped.size());
}

TEST_F(Lv2Bundle, EveryPluginDescribesItsTable) {
  LilvNode* toggled = Uri(std::string(kCore) + "toggled");
  LilvNode* enumeration = Uri(std::string(kCore) + "enumeration");
  LilvNode* unit = Uri(std::string(kUnits) + "unit");
  for (const PluginEffect& effect : PluginEffects()) {
    const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
    for (std::uint32_t channels = 1; channels <= 2; ++channels) {
      SCOPED_TRACE(PluginUri(effect, channels));
      const LilvPlugin* plugin = Find(effect, channels);
      ASSERT_NE(plugin, nullptr);
      EXPECT_TRUE(lilv_plugin_verify(plugin));
      const std::uint32_t first = 2 * channels;
      ASSERT_EQ(lilv_plugin_get_num_ports(plugin), first + controls.size() + (effect.copying ? 1 : 0));
      EXPECT_EQ(lilv_plugin_has_latency(plugin), effect.copying);
      if (effect.copying) {
        EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), first + controls.size());
      }
      for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& c = controls[i];
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, static_cast<std::uint32_t>(first + i));
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), c.symbol.c_str());
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, port, &def, &min, &max);
        EXPECT_EQ(lilv_node_as_float(def), c.def) << c.symbol;
        EXPECT_EQ(lilv_node_as_float(min), c.min) << c.symbol;
        EXPECT_EQ(lilv_node_as_float(max), c.max) << c.symbol;
        EXPECT_LE(c.min, c.def);
        EXPECT_LE(c.def, c.max);
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);
        EXPECT_EQ(lilv_port_has_property(plugin, port, toggled), c.toggled) << c.symbol;
        EXPECT_EQ(lilv_port_has_property(plugin, port, enumeration), !c.rows.empty()) << c.symbol;
        LilvNodes* units = lilv_port_get_value(plugin, port, unit);
        const std::string got = units != nullptr ? lilv_node_as_uri(lilv_nodes_get_first(units)) : "";
        EXPECT_EQ(got, c.unit != nullptr ? std::string(kUnits) + c.unit : "") << c.symbol;
        lilv_nodes_free(units);
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
        std::map<int, std::string> names;
        LILV_FOREACH (scale_points, k, points) {
          const LilvScalePoint* point = lilv_scale_points_get(points, k);
          names[lilv_node_as_int(lilv_scale_point_get_value(point))] = lilv_node_as_string(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(points);
        const std::map<int, std::string> rows(c.rows.begin(), c.rows.end());
        EXPECT_EQ(names, rows) << c.symbol;
      }
    }
  }
  lilv_node_free(toggled);
  lilv_node_free(enumeration);
  lilv_node_free(unit);
}

TEST_F(Lv2Bundle, EveryPresetHoldsTheTablesValues) {
  LV2_URID_Map map{nullptr, &MapUri};
  LilvNode* preset = Uri(kPset);
  for (const PluginEffect& effect : PluginEffects()) {
    const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
    for (std::uint32_t channels = 1; channels <= 2; ++channels) {
      SCOPED_TRACE(PluginUri(effect, channels));
      LilvNodes* presets = lilv_plugin_get_related(Find(effect, channels), preset);
      EXPECT_EQ(lilv_nodes_size(presets), effect.presetCount);
      for (std::size_t i = 0; i < effect.presetCount; ++i) {
        LilvNode* uri = Uri(PresetUri(effect, channels, i));
        ASSERT_TRUE(lilv_nodes_contains(presets, uri)) << i;
        lilv_world_load_resource(world_, uri);
        LilvState* state = lilv_state_new_from_world(world_, &map, uri);
        ASSERT_NE(state, nullptr);
        EXPECT_STREQ(lilv_state_get_label(state), effect.presetName(i));
        std::map<std::string, float> values;
        lilv_state_emit_port_values(
            state,
            [](const char* symbol, void* into, const void* value, std::uint32_t size, std::uint32_t) {
              float v = 0.0f;
              if (size == sizeof v) std::memcpy(&v, value, sizeof v);
              (*static_cast<std::map<std::string, float>*>(into))[symbol] = v;
            },
            &values);
        ASSERT_EQ(values.size(), controls.size());
        for (const Control& c : controls)
          EXPECT_EQ(values[c.symbol], c.FromRaw(ReadFieldValue(effect.presetBlock(i), *c.field))) << c.symbol;
        lilv_state_free(state);
        lilv_node_free(uri);
      }
      lilv_nodes_free(presets);
    }
  }
  lilv_node_free(preset);
}

// The plugins set the pitch ratio from semitones and cents when they are
// edited, as the page does; the built-in presets store a rounded ratio,
// which must play the same. (No shift keeps the block's ratio of exactly 1.)
TEST_F(Lv2Bundle, PitchPresetsPlayTheRatioTheirShiftGives) {
  const PluginEffect& pitch = Effect("pitch");
  for (std::size_t i = 0; i < pitch.presetCount; ++i) {
    PitchParams p;
    std::memcpy(&p, pitch.presetBlock(i), sizeof p);
    if (p.semitones == 0 && p.centsTenths == 0) continue;
    for (std::uint32_t rate : {8000u, 22050u, 44100u, 48000u, 96000u}) {
      EXPECT_EQ(VirtualRate(rate, p.ratio), VirtualRate(rate, PageRatio(p.semitones, p.centsTenths)))
          << pitch.presetName(i) << " at " << rate;
    }
  }
}

// 16-bit material as float: what every host reads the same way.
WavData FloatMaterial(std::uint16_t channels, std::uint32_t seconds) {
  const WavData pcm = channels == 1 ? MakeDemoMaterial() : MakeLongMaterial(seconds, channels);
  WavData out;
  out.format = MakeFormat(3, channels, pcm.format.sampleRate, 32);
  const std::size_t n = pcm.bytes.size() / 2;
  out.bytes.resize(n * 4);
  for (std::size_t i = 0; i < n; ++i) {
    std::int16_t s;
    std::memcpy(&s, &pcm.bytes[2 * i], 2);
    const float f = s / 32768.0f;
    std::memcpy(&out.bytes[4 * i], &f, 4);
  }
  return out;
}

std::vector<float> Samples(const WavData& wav) {
  std::vector<float> out(wav.bytes.size() / 4);
  std::memcpy(out.data(), wav.bytes.data(), out.size() * 4);
  return out;
}

std::vector<float> ReadSamples(const std::string& path) {
  WavData wav;
  std::string error;
  EXPECT_TRUE(ReadWav(path, wav, error)) << error;
  EXPECT_EQ(wav.format.formatTag, 3) << path;
  return Samples(wav);
}

struct Case {
  const char* alias;
  std::uint16_t channels;
  std::size_t preset;
  std::map<std::string, double> fields;  // raw values on top of the preset
};

std::string QuillfxArgs(const Case& c) {
  std::string args = std::string(c.alias) + " " + std::to_string(c.preset);
  for (const auto& [name, value] : c.fields) args += " " + name + "=" + std::to_string(static_cast<long long>(value));
  return args;
}

// The port values of a case, by control.
std::vector<float> PortValues(const PluginEffect& effect, const std::vector<Control>& controls, const Case& c) {
  std::vector<float> values;
  for (const Control& control : controls) {
    const auto edit = c.fields.find(control.field->name);
    values.push_back(control.FromRaw(edit != c.fields.end() ? edit->second
                                                            : ReadFieldValue(effect.presetBlock(c.preset), *control.field)));
  }
  return values;
}

std::vector<float> RunQuillfx(const Case& c, const std::string& in, const std::string& out) {
  EXPECT_EQ(Shell(std::string(QUILLFX_PATH) + " -q " + in + " " + out + " " + QuillfxArgs(c)), 0) << QuillfxArgs(c);
  return ReadSamples(out);
}

// `got` is quillfx's output `expected` delayed by `latency` frames of silence
// and cut at the input's length.
void ExpectDelayed(const std::vector<float>& got, const std::vector<float>& expected, std::size_t latency,
                   std::uint16_t channels) {
  const std::size_t lead = latency * channels;
  ASSERT_LE(lead, got.size());
  for (std::size_t i = 0; i < lead; ++i) ASSERT_EQ(got[i], 0.0f) << "in the latency, sample " << i;
  const std::size_t n = std::min(got.size() - lead, expected.size());
  ASSERT_GT(n, got.size() / 2);
  for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(got[lead + i], expected[i]) << "sample " << lead + i;
}

const Case kCases[] = {
    {"delay", 1, 2, {}},
    {"multitap", 2, 5, {}},
    {"chorus", 2, 1, {}},
    {"reverb", 2, 8, {{"highCut", 0}}},
    {"time", 2, 0, {}},
    {"time", 1, 0, {{"mode", 5}, {"finalTenths", 2000}}},
    {"pitch", 2, 2, {{"preserveDuration", 1}}},
    {"pitch", 1, 1, {{"accuracy", 3}}},
    {"pitch", 2, 0, {{"preserveDuration", 1}}},
};

// Blocks of changing length, single frames among them: hosts give any.
TEST_F(Lv2Bundle, PluginsRunLikeQuillfxInAnyBlocks) {
  for (const Case& c : kCases) {
    const PluginEffect& effect = Effect(c.alias);
    SCOPED_TRACE(PluginUri(effect, c.channels) + " " + QuillfxArgs(c));
    const WavData material = FloatMaterial(c.channels, 3);
    const std::string in = Dir() + "in.wav", out = Dir() + "quillfx.wav";
    std::string error;
    ASSERT_TRUE(WriteWav(in, material, error)) << error;
    const std::vector<float> expected = RunQuillfx(c, in, out);

    const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
    std::vector<float> values = PortValues(effect, controls, c);
    const std::vector<float> input = Samples(material);
    const std::size_t frames = input.size() / c.channels;
    std::vector<std::vector<float>> ins(c.channels, std::vector<float>(frames)), outs(ins);
    for (std::size_t i = 0; i < frames; ++i)
      for (std::uint16_t ch = 0; ch < c.channels; ++ch) ins[ch][i] = input[i * c.channels + ch];

    LilvInstance* instance = lilv_plugin_instantiate(Find(effect, c.channels), 44100.0, nullptr);
    ASSERT_NE(instance, nullptr);
    float latency = -1.0f;
    for (std::uint32_t i = 0; i < values.size(); ++i) lilv_instance_connect_port(instance, 2 * c.channels + i, &values[i]);
    if (effect.copying) lilv_instance_connect_port(instance, 2 * c.channels + static_cast<std::uint32_t>(values.size()), &latency);
    lilv_instance_activate(instance);
    const std::uint32_t blocks[] = {1, 61, 4096, 700, 1, 1, 2048};
    for (std::size_t done = 0, k = 0; done < frames; ++k) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(blocks[k % std::size(blocks)], frames - done));
      for (std::uint16_t ch = 0; ch < c.channels; ++ch) {
        lilv_instance_connect_port(instance, ch, ins[ch].data() + done);
        lilv_instance_connect_port(instance, c.channels + ch, outs[ch].data() + done);
      }
      lilv_instance_run(instance, n);
      done += n;
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);

    std::vector<float> got(frames * c.channels);
    for (std::size_t i = 0; i < frames; ++i)
      for (std::uint16_t ch = 0; ch < c.channels; ++ch) got[i * c.channels + ch] = outs[ch][i];
    if (effect.copying) {
      ASSERT_GT(latency, 0.0f) << "no latency reported";
    }
    ExpectDelayed(got, expected, effect.copying ? static_cast<std::size_t>(latency) : 0, c.channels);
  }
}

// Every control of every plugin swung between its ends while it streams:
// nothing is allocated, and the output stays finite.
TEST_F(Lv2Bundle, RunAllocatesNothingWhileEveryControlMoves) {
  constexpr std::uint32_t kBlock = 256;
  std::vector<float> noise(kBlock);
  for (std::uint32_t i = 0; i < kBlock; ++i) noise[i] = static_cast<float>((i * 7919u % 2001u) / 1000.0 - 1.0);
  for (const PluginEffect& effect : PluginEffects()) {
    const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
    for (std::uint32_t channels = 1; channels <= 2; ++channels) {
      SCOPED_TRACE(PluginUri(effect, channels));
      LilvInstance* instance = lilv_plugin_instantiate(Find(effect, channels), 48000.0, nullptr);
      ASSERT_NE(instance, nullptr);
      std::vector<float> values(controls.size()), outs(2 * kBlock);
      float latency = 0.0f;
      for (std::uint32_t c = 0; c < channels; ++c) {
        lilv_instance_connect_port(instance, c, noise.data());
        lilv_instance_connect_port(instance, channels + c, outs.data() + c * kBlock);
      }
      for (std::uint32_t i = 0; i < values.size(); ++i) {
        values[i] = controls[i].def;
        lilv_instance_connect_port(instance, 2 * channels + i, &values[i]);
      }
      lilv_instance_connect_port(instance, 2 * channels + static_cast<std::uint32_t>(values.size()), &latency);
      lilv_instance_activate(instance);
      lilv_instance_run(instance, kBlock);
      const struct mallinfo2 before = mallinfo2();
      g_allocations = 0;
      g_counting = true;
      bool finite = true;
      for (int step = 0; step < 12; ++step) {
        for (std::size_t i = 0; i < values.size(); ++i)
          values[i] = step % 3 == 0 ? controls[i].max : step % 3 == 1 ? controls[i].min : controls[i].def;
        for (int k = 0; k < 4; ++k) {
          lilv_instance_run(instance, kBlock);
          for (std::uint32_t i = 0; i < channels * kBlock; ++i) finite = finite && std::isfinite(outs[i]);
        }
      }
      g_counting = false;
      const struct mallinfo2 after = mallinfo2();
      EXPECT_EQ(g_allocations.load(), 0);
      EXPECT_EQ(after.uordblks, before.uordblks);
      EXPECT_EQ(after.hblkhd, before.hblkhd);
      EXPECT_TRUE(finite);
      lilv_instance_deactivate(instance);
      lilv_instance_free(instance);
    }
  }
}

// lv2apply (the host library's own tool) and GStreamer's LV2 element, on
// the in-place effects, whose output starts at once.
TEST_F(Lv2Bundle, HostToolsGiveWhatQuillfxGives) {
  const std::string in = Dir() + "in.wav";
  std::string error;
  for (const Case& c : kCases) {
    const PluginEffect& effect = Effect(c.alias);
    if (effect.copying) continue;
    SCOPED_TRACE(PluginUri(effect, c.channels) + " " + QuillfxArgs(c));
    ASSERT_TRUE(WriteWav(in, FloatMaterial(c.channels, 2), error)) << error;
    const std::vector<float> expected = RunQuillfx(c, in, Dir() + "quillfx.wav");
    const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
    const std::vector<float> values = PortValues(effect, controls, c);
    std::string args;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      char value[32];
      std::snprintf(value, sizeof value, "%.9g", static_cast<double>(values[i]));
      args += " -c " + controls[i].symbol + " " + value;
    }
    const std::string out = Dir() + "lv2apply.wav";
    ASSERT_EQ(Shell("lv2apply -i " + in + " -o " + out + args + " " + PluginUri(effect, c.channels)), 0);
    ExpectDelayed(ReadSamples(out), expected, 0, c.channels);
  }

  // The element takes the ports as properties; switches are booleans.
  const Case& reverb = kCases[3];
  const PluginEffect& effect = Effect(reverb.alias);
  const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
  const std::vector<float> values = PortValues(effect, controls, reverb);
  std::string element = PluginUri(effect, reverb.channels);
  for (char& ch : element)
    if (ch == ':') ch = '-';
  for (std::size_t i = 0; i < controls.size(); ++i) {
    char value[32];
    if (controls[i].toggled) std::snprintf(value, sizeof value, "%s", values[i] > 0 ? "true" : "false");
    else std::snprintf(value, sizeof value, "%.9g", static_cast<double>(values[i]));
    element += " " + controls[i].symbol + "=" + value;
  }
  ASSERT_TRUE(WriteWav(in, FloatMaterial(reverb.channels, 2), error)) << error;
  const std::vector<float> expected = RunQuillfx(reverb, in, Dir() + "quillfx.wav");
  const std::string out = Dir() + "gst.wav";
  ASSERT_EQ(Shell("GST_REGISTRY=" + Dir() + "registry.bin gst-launch-1.0 -q filesrc location=" + in + " ! wavparse ! " +
                element + " ! wavenc ! filesink location=" + out),
            0);
  ExpectDelayed(ReadSamples(out), expected, 0, reverb.channels);
}

}  // namespace
}  // namespace quill::lv2
