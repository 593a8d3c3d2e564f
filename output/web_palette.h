#pragma once
// Reduction of a true-colour picture to the 216-colour web palette with
// error diffusion, for writing GIF files.

#include "platform/global_memory.h"

namespace tx {

/// Levels per channel of the web palette, the step between two levels,
/// the palette's colours and the size of the colour table.
inline constexpr int kWebLevels = 6;
inline constexpr int kWebLevelStep = 51;
inline constexpr int kWebColours = kWebLevels * kWebLevels * kWebLevels;
inline constexpr int kWebTableSize = 256;

/// The web-palette level (0 to 5) of a channel value; values below 0 and
/// above 255 (corrected values carrying an error) map to 0 and 5.
int WebLevel(int value);

/// A new 8-bit picture of the same size as the 24-bit `picture`, every pixel
/// an index into a 256-entry table whose entry i < 216 is red (i mod 6) x 51,
/// green (i / 6 mod 6) x 51, blue (i / 36) x 51, the rest black. Each
/// channel's quantisation error is carried to later pixels in stored order
/// (bottom row first): along the first row the whole error goes to the next
/// pixel; later rows take 7/16 of the left error, 5/16 of the one above,
/// 3/16 of the one above-right and 1/16 of the one above-left (the first
/// pixel 5/8 above and 3/8 above-right), halves rounded away from zero,
/// nothing from beyond the right end. Null for any other depth, an invalid
/// handle or too little memory. The caller owns the result; `picture` is not
/// changed.
GlobalHandle ReduceToWebPalette(GlobalHandle picture);

}  // namespace tx
