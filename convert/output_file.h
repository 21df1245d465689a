// Where a new file goes: checked before anything is written, and written
// under a fresh name of its own beside it, put in place only when complete,
// so that no half-written file ever stands under the name the user chose.
#pragma once

#include <string>
#include <vector>

#include "base/host.h"
#include "base/messages.h"

namespace belmora {

// The one check of every output (a movie, a sound, a picture, a report):
// refuses (reported) a path that is empty or a directory, or that is, or
// links to, one of `inputs` (for a file inside a disc image, the image and
// its data file count as inputs too); without `overwrite`, also one that
// exists. `sameMessage` is what is shown for an output that is an input.
[[nodiscard]] bool CheckOutputPath(Host& host, const std::string& out,
                                   const std::vector<std::string>& inputs, bool overwrite,
                                   const Message& sameMessage = msg::kOutputIsInput);

class PartFile {
 public:
  explicit PartFile(std::string path);
  ~PartFile();
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // Creates the temporary file: a new name beside the output (never an
  // existing file or link, so neither a user's OUT.part nor anything a
  // link points at is written). False (reported) when the folder takes no
  // new file: with `failure` when given, else naming the output and the
  // reason.
  [[nodiscard]] bool Create(Host& host, const Message* failure = nullptr);
  const std::string& Part() const { return part_; }
  const std::string& Final() const { return path_; }
  // Puts the finished file in place of any file of that name; false
  // (reported) on failure, or when the file it would replace is being
  // edited. A journal left by an edit of the replaced file goes with it.
  // Without it the temporary file is removed at the end.
  [[nodiscard]] bool Commit(Host& host);

 private:
  std::string path_, part_;
  bool committed_ = false;
};

}  // namespace belmora
