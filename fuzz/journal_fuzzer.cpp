// Recovery from a rollback journal. The input starts with the length of the
// file the journal belongs to (u16; its bytes follow a fixed pattern); the
// rest is the journal, as a crash, a full disk or a damaged disk may leave
// it. Whatever the journal says, recovery must neither crash nor write
// outside what a journal can describe, and must leave the journal in place
// exactly when it reports a failure or refuses it; a refused journal
// leaves the file untouched.
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "str/journal.h"
#include "tests/support/run.h"

using namespace belmora;

namespace {

// A folder of this process's own: the journal lives beside its file, so a
// memory file will not do.
struct Workspace {
  Workspace() {
    char name[] = "/tmp/belmora-journal-fuzz-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    dir = name;
    file = dir + "/movie.str";
    // A journal may claim any original length: past this limit the file
    // cannot grow, and the recovery reports the failure.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{kFileLimit, kFileLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~Workspace() { std::filesystem::remove_all(dir); }
  static constexpr rlim_t kFileLimit = 8 << 20;
  std::string dir, file;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Workspace w;
  fuzz::FieldReader in(data, size);
  const size_t length = in.U16();
  std::vector<uint8_t> file(length);
  for (size_t i = 0; i < length; i++) file[i] = uint8_t(i * 7 + 3);
  test::WriteFileBytes(w.file, file);
  // The journal is made for this very file (its device, inode and birth
  // time put in, the header's CRC made again), so that recovery looks past
  // the header.
  std::vector<uint8_t> journal(in.Rest(), in.Rest() + in.RestSize());
  if (journal.size() >= 88) {
    struct statx sx;
    if (::statx(AT_FDCWD, w.file.c_str(), 0, STATX_INO | STATX_BTIME, &sx) != 0) std::abort();
    const uint64_t dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    const uint64_t sec = (sx.stx_mask & STATX_BTIME) ? uint64_t(sx.stx_btime.tv_sec) : 0;
    const uint32_t nsec = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_nsec : 0;
    for (int i = 0; i < 8; i++) {
      journal[size_t(24 + i)] = uint8_t(dev >> (8 * i));
      journal[size_t(32 + i)] = uint8_t(uint64_t(sx.stx_ino) >> (8 * i));
      journal[size_t(64 + i)] = uint8_t(sec >> (8 * i));
    }
    for (int i = 0; i < 4; i++) journal[size_t(72 + i)] = uint8_t(nsec >> (8 * i));
    const uint32_t crc = Crc32c(journal.data(), 84);
    for (int i = 0; i < 4; i++) journal[size_t(84 + i)] = uint8_t(crc >> (8 * i));
  }
  test::WriteFileBytes(JournalPath(w.file), journal);
  const auto before = test::ReadFileBytes(w.file);

  RecoverDetail detail;
  const RecoverResult r = RecoverJournal(w.file, &detail);
  FUZZ_CHECK(r != RecoverResult::kNoJournal && r != RecoverResult::kBeingEdited);
  FUZZ_CHECK((r == RecoverResult::kFailed || r == RecoverResult::kRefused) ==
             JournalExists(w.file));
  FUZZ_CHECK(r != RecoverResult::kFailed || detail.Error != 0);
  // A refused journal leaves the file as it was.
  FUZZ_CHECK(r != RecoverResult::kRefused || test::ReadFileBytes(w.file) == before);
  std::error_code ec;
  FUZZ_CHECK(std::filesystem::file_size(w.file, ec) <= Workspace::kFileLimit);
  std::filesystem::remove(JournalPath(w.file), ec);
  return 0;
}
