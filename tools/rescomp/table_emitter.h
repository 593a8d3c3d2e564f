#pragma once
// Writes the C++ source of a resource library's tables (the ResourceTables
// object that resources/library/res_exports.cpp answers from).

#include <string>
#include <string_view>

#include "tools/rescomp/resource_script.h"

namespace tx::rescomp {

/// The whole generated source file. `scriptName` only goes into the header
/// comment. Every text becomes a string literal of printable ASCII, so the
/// file reads the same whatever the compiler's source character set.
std::string EmitTables(const ResourceScript& script, std::string_view scriptName);

/// `bytes` as one or more adjacent C++ string literals, each at most about
/// `width` source characters, the pieces separated by `separator`.
std::string CppLiteral(std::string_view bytes, std::size_t width = 72,
                       std::string_view separator = "\n        ");

}  // namespace tx::rescomp
