#include "framework/help_table.h"

namespace quill {

const HelpPair kTimeHelp[] = {
    {1004, 62}, {1022, 62}, {1003, 63}, {1007, 63}, {1002, 63}, {1015, 65},
    {1019, 65}, {1016, 64}, {1008, 64}, {1017, 66}, {1018, 66}, {0, 0},
};

}  // namespace quill
