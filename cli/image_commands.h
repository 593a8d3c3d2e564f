#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli image ...`: inspect, convert, scale, crop and convert the
/// depth of picture files. `args` starts after "image".
int RunImageCommand(const Args& args);

}  // namespace tx::cli
