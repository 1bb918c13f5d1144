#include "lv2/turtle.h"

#include <cstdio>
#include <sstream>

#include "lv2/controls.h"
#include "lv2/effects.h"

namespace quill::lv2 {

namespace {

constexpr const char* kPrefixes =
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n\n";

// A Turtle string: the names are ANSI text, written out as UTF-8.
std::string Quoted(const char* text) {
  std::string out = "\"";
  for (const char* p = text; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x80) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// A float as a Turtle number that reads back as the same float.
std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  std::string s = text;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

std::string Uri(const std::string& uri) {
  return "<" + uri + ">";
}

const char* const kSides[2][2] = {{"Left", "left"}, {"Right", "right"}};

void AudioPorts(std::ostringstream& out, const std::string& uri, std::uint32_t channels, bool input,
                std::uint32_t& index) {
  const char* way = input ? "in" : "out";
  for (std::uint32_t c = 0; c < channels; ++c) {
    out << "    [\n        a lv2:AudioPort , lv2:" << (input ? "InputPort" : "OutputPort") << " ;\n"
        << "        lv2:index " << index++ << " ;\n";
    if (channels == 1) {
      out << "        lv2:symbol \"" << way << "\" ;\n        lv2:name \"" << (input ? "In" : "Out") << "\"\n";
    } else {
      out << "        lv2:symbol \"" << way << "_" << kSides[c][1] << "\" ;\n"
          << "        lv2:name \"" << kSides[c][0] << " " << way << "\" ;\n"
          << "        pg:group " << Uri(uri + "#" + way) << " ;\n"
          << "        lv2:designation pg:" << kSides[c][1] << "\n";
    }
    out << "    ] ,\n";
  }
}

void ControlPort(std::ostringstream& out, const Control& c, std::uint32_t index) {
  out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << index << " ;\n"
      << "        lv2:symbol \"" << c.symbol << "\" ;\n"
      << "        lv2:name " << Quoted(c.name.c_str()) << " ;\n"
      << "        lv2:default " << Number(c.def) << " ;\n"
      << "        lv2:minimum " << Number(c.min) << " ;\n"
      << "        lv2:maximum " << Number(c.max);
  if (c.unit != nullptr) out << " ;\n        units:unit units:" << c.unit;
  if (c.toggled) out << " ;\n        lv2:portProperty lv2:toggled";
  else if (!c.rows.empty()) out << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration";
  else if (c.integer) out << " ;\n        lv2:portProperty lv2:integer";
  for (const auto& [value, name] : c.rows)
    out << " ;\n        lv2:scalePoint [ rdfs:label " << Quoted(name.c_str()) << " ; rdf:value " << value << " ]";
  out << "\n    ]";
}

}  // namespace

std::string ManifestTtl() {
  std::ostringstream out;
  out << kPrefixes;
  for (const PluginEffect& effect : PluginEffects()) {
    for (std::uint32_t channels = 1; channels <= 2; ++channels) {
      const std::string uri = PluginUri(effect, channels);
      out << Uri(uri) << "\n    a lv2:Plugin ;\n    lv2:binary <" << kBinary << "> ;\n    rdfs:seeAlso <"
          << kPluginsTtl << "> .\n\n";
      for (std::size_t i = 0; i < effect.presetCount; ++i)
        out << Uri(PresetUri(effect, channels, i)) << "\n    a pset:Preset ;\n    lv2:appliesTo " << Uri(uri)
            << " ;\n    rdfs:seeAlso <" << kPresetsTtl << "> .\n\n";
    }
  }
  return out.str();
}

std::string PluginsTtl() {
  std::ostringstream out;
  out << kPrefixes;
  for (const PluginEffect& effect : PluginEffects()) {
    const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
    for (std::uint32_t channels = 1; channels <= 2; ++channels) {
      const std::string uri = PluginUri(effect, channels);
      if (channels == 2) {
        out << Uri(uri + "#in") << "\n    a pg:StereoGroup , pg:InputGroup ;\n    lv2:symbol \"in\" ;\n"
            << "    rdfs:label \"Input\" .\n\n";
        out << Uri(uri + "#out") << "\n    a pg:StereoGroup , pg:OutputGroup ;\n    lv2:symbol \"out\" ;\n"
            << "    rdfs:label \"Output\" ;\n    pg:source " << Uri(uri + "#in") << " .\n\n";
      }
      out << Uri(uri) << "\n    a lv2:Plugin , lv2:" << effect.lv2Class << " ;\n"
          << "    doap:name " << Quoted((std::string("Quillset ") + effect.title + (channels == 1 ? " (mono)" : " (stereo)")).c_str())
          << " ;\n    lv2:optionalFeature lv2:hardRTCapable ;\n";
      if (channels == 2) out << "    pg:mainInput " << Uri(uri + "#in") << " ;\n    pg:mainOutput " << Uri(uri + "#out") << " ;\n";
      out << "    lv2:port\n";
      std::uint32_t index = 0;
      AudioPorts(out, uri, channels, true, index);
      AudioPorts(out, uri, channels, false, index);
      for (std::size_t i = 0; i < controls.size(); ++i) {
        ControlPort(out, controls[i], index++);
        out << (i + 1 < controls.size() || effect.copying ? " ,\n" : " .\n\n");
      }
      if (effect.copying)
        out << "    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index " << index
            << " ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
            << "        lv2:designation lv2:latency ;\n"
            << "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n        units:unit units:frame\n    ] .\n\n";
    }
  }
  return out.str();
}

std::string PresetsTtl() {
  std::ostringstream out;
  out << kPrefixes;
  for (const PluginEffect& effect : PluginEffects()) {
    const std::vector<Control> controls = Controls(effect.fields, effect.presetBlock(0));
    for (std::uint32_t channels = 1; channels <= 2; ++channels) {
      for (std::size_t i = 0; i < effect.presetCount; ++i) {
        out << Uri(PresetUri(effect, channels, i)) << "\n    a pset:Preset ;\n    lv2:appliesTo "
            << Uri(PluginUri(effect, channels)) << " ;\n    rdfs:label " << Quoted(effect.presetName(i)) << " ;\n"
            << "    lv2:port";
        const void* block = effect.presetBlock(i);
        for (std::size_t k = 0; k < controls.size(); ++k) {
          const Control& c = controls[k];
          out << (k == 0 ? " " : " , ") << "[\n        lv2:symbol \"" << c.symbol << "\" ;\n        pset:value "
              << Number(c.FromRaw(ReadFieldValue(block, *c.field))) << "\n    ]";
        }
        out << " .\n\n";
      }
    }
  }
  return out.str();
}

}  // namespace quill::lv2
