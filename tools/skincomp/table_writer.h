#pragma once
// The program's screen tables (app/skin/screen_layout.h) as C++ source.

#include <string>

#include "tools/skincomp/skin_source.h"

namespace tx::skincomp {

/// The definitions of MainScreenLayout and DetailBarLayout for `source`; each
/// button's rectangle is where the skin files place it.
std::string ScreenTablesSource(const SkinSource& source);

}  // namespace tx::skincomp
