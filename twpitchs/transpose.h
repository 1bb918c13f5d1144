// The transposition ratio for a shift in semitones and tenths of a cent.
// The page writes it into the parameter block beside the two values it
// came from; the engine only ever reads the ratio.
#pragma once

#include <cstdint>

namespace quill {

// Semitone factor times cent factor. Each factor is a power of a stored
// base, with a separate base for downward shifts; note that the cent base
// is slightly larger than the hundredth root of the semitone base.
double TransposeRatio(std::int32_t semitones, std::int32_t centsTenths);

// The whole rate the input is read at for a ratio above 0: trunc(rate /
// ratio), kept within 1..4294967295. Only rates below the ratio (under 20
// Hz) or near the top of 32 bits reach those ends, where the ratio played
// is rate / the kept rate.
std::uint32_t VirtualRate(std::uint32_t rate, double ratio);

}  // namespace quill

namespace quill {

// The ratio the page stores for a shift: the transposition ratio nudged up
// by a millionth.
inline double PageRatio(std::int32_t semitones, std::int32_t centsTenths) {
  return TransposeRatio(semitones, centsTenths) + 0.000001;
}

}  // namespace quill
