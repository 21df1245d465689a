// An ISO 9660 image (2048-byte sectors) opened as a disc image: its volume
// descriptor and its directory tree walked through libiso9660, then every
// entry looked up by its path. Whatever the directories say (loops, shared
// subdirectories, extents past the end, names of any bytes), the walk must
// end with a bounded list or a message, and every listed path must be found.
#include "fuzz/fuzz_common.h"
#include "str/disc_image.h"

using namespace belmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile file;
  file.Set(data, size);
  DiscImage image;
  if (!image.Open(file.Path())) {
    FUZZ_CHECK(!image.LastError().empty());
    FUZZ_CHECK(image.Entries().empty());
    return 0;
  }
  FUZZ_CHECK(image.Entries().size() <= 200000);
  size_t looked = 0;
  for (const DiscEntry& e : image.Entries()) {
    FUZZ_CHECK(!e.Path.empty() && e.Path[0] == '/');
    if (looked++ < 64) FUZZ_CHECK(image.Find(e.Path) != nullptr);
    const FileExtent x = image.ExtentOf(e);
    FUZZ_CHECK(x.SectorSize == 2048 || x.SectorSize == 2352);
  }
  return 0;
}
