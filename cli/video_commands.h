#pragma once
// The video commands: registering video files as video sources, and making
// video collections from them.

#include "cli/cli_common.h"

namespace tx {
class CollectionRegistry;
}

namespace tx::cli {

/// `tesserix-cli video ...`: add, list and delete video sources. `args`
/// starts after "video".
int RunVideoCommand(const Args& args);

/// `collection add-video KEY...`: video collections for the video sources
/// of these keys, marked to be built.
int AddVideoCollections(CollectionRegistry& registry, const Args& keys);

/// `collection build-video [TITLE...] [--interval MS] [--keep-flat]`.
int BuildVideoCollectionsCommand(CollectionRegistry& registry, const Args& args);

}  // namespace tx::cli
