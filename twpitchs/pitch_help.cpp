#include "framework/help_table.h"

namespace quill {

// The splice-mode label (2002) opens the mode topic the time page shares.
const HelpPair kPitchHelp[] = {
    {2022, 78}, {2011, 78}, {2021, 78}, {2023, 79}, {2012, 79}, {2075, 79}, {2005, 80}, {2004, 81},
    {2002, 62}, {2010, 82}, {2024, 83}, {2025, 83}, {2018, 83}, {2027, 84}, {2026, 84}, {2029, 85},
    {2028, 85}, {2016, 87}, {2030, 87}, {2031, 86}, {2032, 86}, {0, 0},
};

}  // namespace quill
