// The effects the host knows: names on the command line, class and
// parameter-interface identifiers, the field table of the parameter block,
// and whole-block access through the parameter interface.
#pragma once

#include <cstddef>
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
};

const std::vector<HostEffect>& HostEffects();
// By internal name or alias, case-insensitive; null if unknown.
const HostEffect* FindHostEffect(const std::string& name);

}  // namespace quill
