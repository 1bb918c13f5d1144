// Built-in presets: a 64-byte ANSI name followed by an effect's parameter block.
#pragma once

#include <cstddef>
#include <span>

namespace quill {

template <class Params>
struct Preset {
  char name[64];
  Params params;
};

template <class Params>
using PresetTable = std::span<const Preset<Params>>;

}  // namespace quill
