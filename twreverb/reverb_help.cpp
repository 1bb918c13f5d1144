#include "framework/help_table.h"

namespace quill {

// The reverb page has no per-control help: F1 anywhere on it opens the page
// topic, whose overview describes every control.
const HelpPair kReverbHelp[] = {
    {0, 0},
};

}  // namespace quill
