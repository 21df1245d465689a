#include "platform/image_sequence.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace belmora {

bool IsSequencePattern(const std::string& path) {
  // One conversion: %, optional 0 and width digits, d.
  int found = 0;
  for (size_t i = 0; i < path.size(); i++) {
    if (path[i] != '%') continue;
    size_t k = i + 1;
    if (k < path.size() && path[k] == '%') {
      i = k;
      continue;
    }
    while (k < path.size() && path[k] >= '0' && path[k] <= '9') k++;
    if (k >= path.size() || path[k] != 'd') return false;
    found++;
    i = k;
  }
  return found == 1;
}

std::string SequenceFile(const std::string& pattern, int n) {
  std::vector<char> name(pattern.size() + 32);
  std::snprintf(name.data(), name.size(), pattern.c_str(), n);
  return name.data();
}

std::optional<SequenceRange> FindSequence(const std::string& pattern) {
  if (!IsSequencePattern(pattern)) return std::nullopt;
  SequenceRange range;
  std::error_code ec;
  if (std::filesystem::is_regular_file(SequenceFile(pattern, 0), ec))
    range.Start = 0;
  else if (std::filesystem::is_regular_file(SequenceFile(pattern, 1), ec))
    range.Start = 1;
  else
    return std::nullopt;
  while (std::filesystem::is_regular_file(SequenceFile(pattern, range.Start + range.Count), ec))
    range.Count++;
  return range;
}

}  // namespace belmora
