#include "cli/cli_common.h"

namespace belmora::cli {

bool OpenForViewing(Session& s, const std::string& path, bool readOnly) {
  if (OpenStrFile(s.doc, path, readOnly) != 0) {
    MessageBoxF(s.sink, "%s", "オープンできません。");
    return false;
  }
  return true;
}

}  // namespace belmora::cli
