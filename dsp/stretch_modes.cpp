#include "dsp/stretch_modes.h"

namespace quill {

// name; window, search (ms), stride (frames), fade (ms), accept (hundredths)
const StretchMode StretchModeTable[kStretchModeCount] = {
    {"A01. Music 1 (minimum flange, may echo)", 300, 15, 2, 15, 2500},
    {"A02. Music 2", 275, 22, 2, 20, 10000},
    {"A03. Music 3 (less echo)", 150, 15, 2, 15, 1500},
    {"A04. Music 4 (fast, good for bass)", 220, 15, 4, 15, 1500},
    {"A05. Music 5", 190, 15, 2, 15, 1500},
    {"A06. Music 6", 150, 15, 3, 10, 1000},
    {"A07. Speech 1", 90, 15, 2, 30, 2500},
    {"A08. Speech 2", 78, 12, 2, 10, 2000},
    {"A09. Speech 3 (fast)", 80, 12, 4, 10, 2000},
    {"A10. Solo instruments 1", 150, 25, 2, 30, 2500},
    {"A11. Solo instruments 2", 130, 25, 3, 30, 2500},
    {"A12. Solo instruments 3", 110, 25, 2, 30, 2500},
    {"A13. Solo instruments 4 (less echo)", 75, 10, 2, 10, 1000},
    {"A14. Solo instruments 5", 90, 15, 2, 12, 2000},
    {"A15. Solo instruments 6", 85, 15, 4, 12, 2000},
    {"A16. Solo instruments 7 (fast)", 95, 15, 8, 12, 2000},
    {"A17. Drums, unpitched (minimum echo)", 50, 5, 2, 3, 1000},
    {"A18. Drums (better for toms)", 70, 9, 2, 8, 2000},
    {"A19. Drums (tiny echo)", 50, 7, 2, 8, 1000},
};

}  // namespace quill
