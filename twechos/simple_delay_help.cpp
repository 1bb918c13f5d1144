#include "framework/help_table.h"

namespace quill {

// Fader, its label and its value text share a context.
const HelpPair kSimpleDelayHelp[] = {
    {3009, 30}, {3008, 30}, {3019, 30},  // dry out
    {3011, 31}, {3010, 31}, {3020, 31},  // delay out
    {3016, 32}, {3014, 32}, {3021, 32},  // delay time
    {3017, 33}, {3015, 33}, {3018, 33},  // decay time
    {3012, 34},                          // feedback
    {0, 0},
};

}  // namespace quill
