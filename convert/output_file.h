// Where a new file goes: checked before anything is written, and written as
// OUT.part, put in place only when complete, so that no half-written file
// ever stands under the name the user chose.
#pragma once

#include <string>
#include <vector>

#include "base/host.h"
#include "base/messages.h"

namespace belmora {

// Refuses (reported) an output path that is a directory, or that is, or
// links to, one of `inputs`; without `overwrite`, also one that exists.
// `sameMessage` is what is shown for an output that is an input.
[[nodiscard]] bool CheckOutputPath(Host& host, const std::string& out,
                                   const std::vector<std::string>& inputs, bool overwrite,
                                   const Message& sameMessage = msg::kOutputIsInput);

class PartFile {
 public:
  explicit PartFile(std::string path);
  ~PartFile();
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  const std::string& Part() const { return part_; }
  const std::string& Final() const { return path_; }
  // Puts the finished file in place of any file of that name; false
  // (reported) on failure. Without it the .part is removed at the end.
  [[nodiscard]] bool Commit(Host& host);

 private:
  std::string path_, part_;
  bool committed_ = false;
};

}  // namespace belmora
