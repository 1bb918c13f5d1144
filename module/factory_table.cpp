#include "factory_table.h"

#include "filter/simple_delay_filter.h"

namespace quill {

const FactoryTemplate FactoryTable[] = {
    // 0 "Tarnwell Time Compress/Expand", 1 "TwTime Property Page"
    // 2 "Tarnwell Pitch Shift", 3 "TwPitchs Property Page"
    {SimpleDelayEffect::kName, &CLSID_TwEchos, &SimpleDelayFilter::Create, nullptr},  // 4
                                                                                      // 5 "TwEchos Property Page"
    // 6 "Tarnwell Multi-Tap Delay", 7 "TwEchomt Property Page"
    // 8 "Tarnwell Reverb", 9 "TwReverb Property Page"
    // 10 "Tarnwell Chorus", 11 "TwChorus Property Page"
};

const int FactoryCount = sizeof FactoryTable / sizeof FactoryTable[0];

}  // namespace quill
