#include "module/factory_table.h"

#include "filter/chorus_filter.h"
#include "filter/multi_tap_filter.h"
#include "filter/pitch_filter.h"
#include "filter/reverb_filter.h"
#include "filter/simple_delay_filter.h"
#include "filter/time_filter.h"
#include "twchorus/chorus_page.h"
#include "twechomt/multi_tap_page.h"
#include "twechos/simple_delay_page.h"
#include "twpitchs/pitch_page.h"
#include "twreverb/reverb_page.h"
#include "twtime/time_page.h"

namespace quill {

const FactoryTemplate FactoryTable[] = {
    {TimeEffect::kName, &CLSID_TwTime, &TimeFilter::Create, nullptr},                 // 0
    {L"TwTime Property Page", &CLSID_TwTimePage, &CreateTimePage, nullptr},           // 1
    {PitchEffect::kName, &CLSID_TwPitchs, &PitchFilter::Create, nullptr},             // 2
    {L"TwPitchs Property Page", &CLSID_TwPitchsPage, &CreatePitchPage, nullptr},      // 3
    {SimpleDelayEffect::kName, &CLSID_TwEchos, &SimpleDelayFilter::Create, nullptr},  // 4
    {L"TwEchos Property Page", &CLSID_TwEchosPage, &CreateSimpleDelayPage, nullptr},  // 5
    {MultiTapEffect::kName, &CLSID_TwEchomt, &MultiTapFilter::Create, nullptr},       // 6
    {L"TwEchomt Property Page", &CLSID_TwEchomtPage, &CreateMultiTapPage, nullptr},   // 7
    {ReverbEffect::kName, &CLSID_TwReverb, &ReverbFilter::Create, nullptr},           // 8
    {L"TwReverb Property Page", &CLSID_TwReverbPage, &CreateReverbPage, nullptr},     // 9
    {ChorusEffect::kName, &CLSID_TwChorus, &ChorusFilter::Create, nullptr},           // 10
    {L"TwChorus Property Page", &CLSID_TwChorusPage, &CreateChorusPage, nullptr},     // 11
};

const int FactoryCount = sizeof FactoryTable / sizeof FactoryTable[0];

}  // namespace quill
