#pragma once

#include <string>
#include <string_view>

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli collection duplicates [KEY...] [--threshold T] [--sheet
/// OUT.png] [--json]`: lists the groups of near-duplicate tiles of the named
/// collections (or of every selected one), optionally drawing them on a
/// contact sheet. `args` starts after "duplicates". Exit 0, or 1 with a
/// reason on stderr for bad arguments, unknown keys, video sources and
/// outputs that cannot be written.
int RunDuplicatesCommand(const Args& args);

/// Appends `text` to `out` as a JSON string with its quotes: quote,
/// backslash and control characters escaped, bytes that are not UTF-8
/// replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace tx::cli
