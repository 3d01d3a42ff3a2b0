#pragma once
// One field of the JSON lines that the test tools print (flat objects only).

#include <optional>
#include <string>

namespace tovira::e2e {

// The value of a top-level "key" in one JSON line: its string or its number text.
std::optional<std::string> JsonField(const std::string& line, const std::string& key);

}  // namespace tovira::e2e
