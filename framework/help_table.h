// Each settings page's help table: which help context a control opens with
// F1 or the caption's help button. Pairs of control id and context, searched
// in order (the first match counts) and ended by a pair of zeros; the layout
// is the one the platform's context help takes.
#pragma once

#include <cstdint>

namespace quill {

struct HelpPair {
  std::uint32_t controlId;
  std::uint32_t context;
};
static_assert(sizeof(HelpPair) == 8, "the platform reads the table as pairs of 32-bit numbers");

// Contexts every page opens besides its table's: the contents from the
// page menu, the page as a whole for F1 elsewhere.
constexpr std::uint32_t kHelpContents = 0;
constexpr std::uint32_t kHelpPage = 1;

// The context for a control, or 0 when the table does not list it.
std::uint32_t HelpContextFor(const HelpPair* table, std::uint32_t controlId);

extern const HelpPair kSimpleDelayHelp[];
extern const HelpPair kMultiTapHelp[];
extern const HelpPair kChorusHelp[];
extern const HelpPair kReverbHelp[];
extern const HelpPair kTimeHelp[];
extern const HelpPair kPitchHelp[];

}  // namespace quill
