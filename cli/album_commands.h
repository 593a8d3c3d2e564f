#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli album ...`: create, fill, list and delete the albums of the
/// album library in the user folder. `args` starts after "album".
int RunAlbumCommand(const Args& args);

}  // namespace tx::cli
