#include "framework/help_table.h"

namespace quill {

std::uint32_t HelpContextFor(const HelpPair* table, std::uint32_t controlId) {
  if (controlId == 0) return 0;
  for (const HelpPair* p = table; p->controlId != 0 || p->context != 0; ++p)
    if (p->controlId == controlId) return p->context;
  return 0;
}

}  // namespace quill
