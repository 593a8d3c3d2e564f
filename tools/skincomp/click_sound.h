#pragma once
// The click a button makes when pressed: a short sound synthesised the same
// way on every build.

#include <cstdint>
#include <vector>

namespace tx::skincomp {

/// A mono 16-bit PCM WAV file of a soft click (about 30 ms at 22050 Hz).
std::vector<std::uint8_t> ClickWav();

}  // namespace tx::skincomp
