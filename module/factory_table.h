// The classes this module serves, in table order.
#pragma once

#include "streaming/base_object.h"

namespace quill {

// Makes one instance; sets *result on failure (the object, if any, is then
// deleted by the caller).
using CreateFunction = UnknownBase* (*)(IUnknown* outer, HRESULT* result);
// Called at module attach (loading 1) and detach (0).
using InitRoutine = void (*)(BOOL loading, const CLSID* clsid);

struct FactoryTemplate {
  const wchar_t* name;
  const CLSID* clsid;
  CreateFunction create;
  InitRoutine init;
};

extern const FactoryTemplate FactoryTable[];
extern const int FactoryCount;

}  // namespace quill
