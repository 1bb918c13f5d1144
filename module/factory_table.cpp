#include "module/factory_table.h"

#include "filter/chorus_filter.h"
#include "filter/multi_tap_filter.h"
#include "filter/reverb_filter.h"
#include "filter/simple_delay_filter.h"
#include "filter/pitch_filter.h"
#include "filter/time_filter.h"

namespace quill {

const FactoryTemplate FactoryTable[] = {
    {TimeEffect::kName, &CLSID_TwTime, &TimeFilter::Create, nullptr},  // 0
    // 1 "TwTime Property Page"
    {PitchEffect::kName, &CLSID_TwPitchs, &PitchFilter::Create, nullptr},  // 2
    // 3 "TwPitchs Property Page"
    {SimpleDelayEffect::kName, &CLSID_TwEchos, &SimpleDelayFilter::Create, nullptr},  // 4
    // 5 "TwEchos Property Page"
    {MultiTapEffect::kName, &CLSID_TwEchomt, &MultiTapFilter::Create, nullptr},  // 6
    // 7 "TwEchomt Property Page"
    {ReverbEffect::kName, &CLSID_TwReverb, &ReverbFilter::Create, nullptr},  // 8
    // 9 "TwReverb Property Page"
    {ChorusEffect::kName, &CLSID_TwChorus, &ChorusFilter::Create, nullptr},  // 10
                                                                             // 11 "TwChorus Property Page"
};

const int FactoryCount = sizeof FactoryTable / sizeof FactoryTable[0];

}  // namespace quill
