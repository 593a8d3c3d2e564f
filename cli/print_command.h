#pragma once

#include "cli/cli_common.h"

namespace tx::cli {

/// `tesserix-cli print PICTURE ...`: prints a picture on one sheet or as a
/// poster, to a printer queue or a PDF file, or writes the layout as JSON.
/// `args` starts after "print".
int RunPrintCommand(const Args& args);

}  // namespace tx::cli
