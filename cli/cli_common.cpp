#include "cli/cli_common.h"

namespace belmora::cli {

bool OpenForViewing(Session& s, const std::string& path, bool readOnly) {
  if (OpenStrFile(s.doc, path, readOnly) != 0) {
    MessageBoxF(s.sink, "%s", kMsgCannotOpenStr);
    return false;
  }
  return true;
}

void SplitSize(const std::string& size, std::string& width, std::string& height) {
  if (size.empty()) return;
  auto x = size.find_first_of("xX");
  width = size.substr(0, x);
  height = x == std::string::npos ? "" : size.substr(x + 1);
}

}  // namespace belmora::cli
