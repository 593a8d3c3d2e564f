#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli effect ...`: runs one effect of the effects library on a
/// picture file, or lists the effects. `args` starts after "effect".
int RunEffectCommand(const Args& args);

}  // namespace tx::cli
