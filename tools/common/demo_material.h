#pragma once

#include <cstdint>

#include "tools/common/wav_file.h"

namespace quill {

// Four seconds of plucked-string tones and noise bursts, 16-bit mono,
// made the same way every time, so that demos and end-to-end checks need no
// audio files from anywhere.
WavData MakeDemoMaterial(std::uint32_t sampleRate = 44100);

// Longer material for measurements: `seconds` of plucked arpeggios over a
// bass line with noise bursts on the off-beats, 16-bit, panned in stereo.
WavData MakeLongMaterial(std::uint32_t seconds, std::uint16_t channels, std::uint32_t sampleRate = 44100);

}  // namespace quill
