// The effects the host knows: names on the command line, class and
// parameter-interface identifiers, and single-field setters by field name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quillfx1.h"

namespace quill {

struct FieldSetter {
  const char* field;
  // `params` is the effect's parameter interface.
  HRESULT (*set)(IUnknown* params, std::int32_t value);
};

struct HostEffect {
  const char* name;
  const char* alias;
  const CLSID* clsid;
  const IID* paramsIid;
  std::vector<FieldSetter> fields;
};

const std::vector<HostEffect>& HostEffects();
// By internal name or alias, case-insensitive; null if unknown.
const HostEffect* FindHostEffect(const std::string& name);

}  // namespace quill
