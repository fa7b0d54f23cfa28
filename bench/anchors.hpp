// Anchors for the JSON rows: what a C++ program would do without the
// library to get the same canonical hash. Each parses the text into a
// general-purpose DOM, writes it canonically (members sorted by name in byte
// order, minimal escaping, integers as written, doubles shortest) and hashes
// the result with SHA-256. Each call builds its own parser, as one call of
// the library does.
#pragma once

#include <string>

#include "table.hpp"

namespace bench {

Floor rapidjson_anchor(std::string text);
Floor simdjson_anchor(std::string text);

}  // namespace bench
