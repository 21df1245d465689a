#include "base/roff.h"

#include <sstream>

namespace belmora {

std::string RoffText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  std::string safe;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) safe += "\\&";
    safe += line + "\n";
  }
  if (!safe.empty()) safe.pop_back();
  return safe;
}

}  // namespace belmora
