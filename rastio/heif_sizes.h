#pragma once
// The sizes a HEIF file's pictures really decode to, read from its own boxes
// and parameter sets before any decoder runs.
//
// libheif checks only the sizes items declare. A grid or overlay canvas, or
// the coded size in an HEVC or AV1 stream, may be far larger, and it decodes
// those in full before its caller sees a single size. A 600-byte file can
// so ask for gigapixels.

#include <string>

#include "rastio/codec.h"

namespace tx::rastio {

/// False (with a reason) when any grid or overlay canvas, any coded picture
/// of an HEVC or AV1 item, or the total of a grid's tiles is beyond the
/// picture size limits. Structure it cannot read is left to libheif, which
/// refuses it on its own.
bool CheckHeifDecodeSizes(ByteSpan file, std::string& error);

}  // namespace tx::rastio
