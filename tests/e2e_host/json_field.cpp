#include "tests/e2e_host/json_field.h"

namespace tovira::e2e {

std::optional<std::string> JsonField(const std::string& line, const std::string& key) {
  const std::string quoted = "\"" + key + "\":";
  const std::size_t at = line.find(quoted);
  if (at == std::string::npos) return std::nullopt;
  std::size_t start = at + quoted.size();
  if (start < line.size() && line[start] == '"') {
    const std::size_t end = line.find('"', start + 1);
    if (end == std::string::npos) return std::nullopt;
    return line.substr(start + 1, end - start - 1);
  }
  std::size_t end = line.find_first_of(",}", start);
  if (end == std::string::npos) end = line.size();
  return line.substr(start, end - start);
}

}  // namespace tovira::e2e
