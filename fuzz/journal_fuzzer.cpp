// Recovery from a rollback journal. The input starts with the length of the
// file the journal belongs to (u16; its bytes follow a fixed pattern); the
// rest is the journal, as a crash, a full disk or a damaged disk may leave
// it. Whatever the journal says, recovery must neither crash nor write
// outside what a journal can describe, and must leave the journal in place
// exactly when it reports a failure.
#include <sys/resource.h>
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
  test::WriteFileBytes(JournalPath(w.file), std::vector<uint8_t>(in.Rest(), in.Rest() + in.RestSize()));

  int error = 0;
  const RecoverResult r = RecoverJournal(w.file, &error);
  FUZZ_CHECK(r != RecoverResult::kNoJournal);
  FUZZ_CHECK((r == RecoverResult::kFailed) == JournalExists(w.file));
  FUZZ_CHECK(r != RecoverResult::kFailed || error != 0);
  std::error_code ec;
  FUZZ_CHECK(std::filesystem::file_size(w.file, ec) <= Workspace::kFileLimit);
  std::filesystem::remove(JournalPath(w.file), ec);
  return 0;
}
