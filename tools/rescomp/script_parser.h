#pragma once
// The grammar of resource scripts: turns the tokens of a script into a
// ResourceScript, checking ids, ranges and duplicates on the way.

#include <string_view>

#include "tools/rescomp/resource_script.h"

namespace tx::rescomp {

/// Reads a whole script. Throws ScriptError at the first fault. Icon files
/// are named but not read; LoadIcons does that.
ResourceScript ParseScript(std::string_view text);

}  // namespace tx::rescomp
