#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli montage TARGET -o OUT [options]`: one montage of TARGET
/// from the selected collections, written to OUT.
int RunMontageCommand(const Args& args);

}  // namespace tx::cli
