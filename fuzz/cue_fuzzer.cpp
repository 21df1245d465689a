// A cue sheet parsed as a disc image's opener parses it, against a folder
// holding a few files (one named in another case than any sheet would
// write). Whatever the text, the parser must neither crash nor take more
// than a disc's 99 tracks, and every track it gives must have an INDEX 01
// in its own file.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_common.h"
#include "str/disc_image.h"
#include "tests/support/run.h"

using namespace belmora;

namespace {

struct Folder {
  Folder() {
    char name[] = "/tmp/belmora-cue-fuzz-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    dir = name;
    for (const char* f : {"game.bin", "Track 02.BIN", "disc.img"})
      test::WriteFileBytes(dir + "/" + f, {1, 2, 3});
  }
  ~Folder() { std::filesystem::remove_all(dir); }
  std::string dir;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Folder folder;
  const std::string text(reinterpret_cast<const char*>(data), size);
  int badLine = -1;
  const auto cue = ParseCueSheet(text, folder.dir, badLine);
  if (!cue) {
    FUZZ_CHECK(badLine >= 1);
    return 0;
  }
  FUZZ_CHECK(cue->Tracks.size() <= 99);
  for (const CueTrack& t : cue->Tracks) {
    FUZZ_CHECK(t.Number >= 1 && t.Number <= 99);
    FUZZ_CHECK(t.Index1 >= 0);
    FUZZ_CHECK(!t.File.empty());
  }
  return 0;
}
