#include "cli/cli_common.h"

#include <cstdlib>

namespace belmora::cli {

bool OpenForViewing(Session& s, const std::string& path, bool readOnly) {
  if (OpenStrFile(s.doc, path, readOnly) != 0) {
    Show(s.host, msg::kCannotOpenStr);
    return false;
  }
  return true;
}

std::optional<std::pair<int, int>> ParseSize(const std::string& size) {
  auto x = size.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const std::string w = size.substr(0, x), h = size.substr(x + 1);
  char* end = nullptr;
  const long width = std::strtol(w.c_str(), &end, 10);
  if (w.empty() || *end) return std::nullopt;
  const long height = std::strtol(h.c_str(), &end, 10);
  if (h.empty() || *end) return std::nullopt;
  return std::pair<int, int>(int(width), int(height));
}

}  // namespace belmora::cli
