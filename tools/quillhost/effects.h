// The effects the host knows: names on the command line, class and
// parameter-interface identifiers, the field table of the parameter block,
// and whole-block access through the parameter interface.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "field_table.h"
#include "quillfx1.h"

namespace quill {

struct HostEffect {
  const char* name;
  const char* alias;
  const CLSID* clsid;
  const IID* paramsIid;
  FieldTable fields;
  std::size_t blockSize;
  // GetParams and SetParams of the parameter interface, on a block of
  // blockSize bytes; `params` is that interface.
  HRESULT (*getParams)(IUnknown* params, void* block);
  HRESULT (*setParams)(IUnknown* params, const void* block);
  // Fields a page computes from others, brought up to date after the edits
  // (the pitch effect's ratio from semitones and cents); null for none.
  void (*derive)(void* block, std::span<const FieldEdit> edits) = nullptr;
};

const std::vector<HostEffect>& HostEffects();
// By internal name or alias, case-insensitive; null if unknown.
const HostEffect* FindHostEffect(const std::string& name);

}  // namespace quill
