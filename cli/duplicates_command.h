#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli collection duplicates [KEY...] [--threshold T] [--sheet
/// OUT.png] [--json] [--prune]`: lists the groups of near-duplicate tiles of
/// the named collections (or of every selected one), optionally drawing them
/// on a contact sheet, and with --prune removes every tile of a group but
/// its first from its collection's index (never the pictures). `args`
/// starts after "duplicates". Exit 0, or 1 with a reason on stderr for bad
/// arguments, unknown keys, video sources, outputs that cannot be written,
/// and indexes that could not be pruned.
int RunDuplicatesCommand(const Args& args);

}  // namespace tx::cli
