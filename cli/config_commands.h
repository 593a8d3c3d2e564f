#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli string ID`: prints text ID of the message catalogue.
int RunStringCommand(const Args& args);

/// `tesserix-cli config get FILE SECTION KEY` and `config set SECTION KEY
/// VALUE`: reads the settings file or the user profile, writes the user
/// profile. `args` starts after "config".
int RunConfigCommand(const Args& args);

}  // namespace tx::cli
