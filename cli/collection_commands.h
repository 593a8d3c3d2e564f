#pragma once

#include "cli/cli_common.h"

namespace tx {
class CollectionRegistry;
}

namespace tx::cli {

/// The program's collection registry, its folders prepared and loaded, as
/// every command that works on collections starts.
CollectionRegistry& LoadedCollections();

/// `tesserix-cli collection ...`: list, select, delete and build tile
/// collections. `args` starts after "collection".
int RunCollectionCommand(const Args& args);

}  // namespace tx::cli
