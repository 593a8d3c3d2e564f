#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli collection ...`: list, select, delete and build tile
/// collections. `args` starts after "collection".
int RunCollectionCommand(const Args& args);

}  // namespace tx::cli
