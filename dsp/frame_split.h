// 16-bit samples as engine samples scaled by a gain, in a portable and a
// wide version that give the same values.
#pragma once

#include <cstdint>

namespace quill {

// Stereo frames split into two channels: left[i] = Pcm16::ToEngine(frames[2i])
// * gain, the same on the right.
using SplitPcm16Fn = void (*)(const std::int16_t* frames, std::uint32_t n, double gain, double* left, double* right);

void SplitPcm16Portable(const std::int16_t* frames, std::uint32_t n, double gain, double* left, double* right);
// Null where the wide loops are not built or the processor lacks them.
SplitPcm16Fn SplitPcm16Wide();

// Samples kept in their order: out[i] = Pcm16::ToEngine(words[i]) * gain.
using ScalePcm16Fn = void (*)(const std::int16_t* words, std::uint32_t n, double gain, double* out);

void ScalePcm16Portable(const std::int16_t* words, std::uint32_t n, double gain, double* out);
ScalePcm16Fn ScalePcm16Wide();

}  // namespace quill
