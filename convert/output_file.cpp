#include "convert/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/messages.h"
#include "str/disc_image.h"
#include "str/journal.h"
#include "str/str_document.h"

namespace belmora {

namespace fs = std::filesystem;

namespace {
// The same file: one inode (through symbolic or hard links), or one path
// once resolved.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  const fs::path ca = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path cb = fs::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

// The data file of an input inside a disc image ("IMAGE.cue::/A.STR"): the
// one its cue names, or the image itself.
std::vector<std::string> WithImageFiles(const std::vector<std::string>& inputs) {
  std::vector<std::string> all = inputs;
  for (const std::string& in : inputs) {
    if (auto inner = SplitImagePath(in)) {
      all.push_back(inner->Image);
      DiscImage disc;
      if (disc.Open(inner->Image) && !disc.Track().FilePath.empty())
        all.push_back(disc.Track().FilePath);
    }
  }
  return all;
}

// A FIFO, a device or a socket under the name: never replaced, --force or
// not (a link is replaced itself, never what it points at).
bool NotRegular(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) &&
         !S_ISDIR(st.st_mode);
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}
}  // namespace

bool CheckOutputPath(Host& host, const std::string& out, const std::vector<std::string>& inputs,
                     bool overwrite, const Message& sameMessage) {
  std::error_code ec;
  if (out.empty() || fs::is_directory(out, ec)) {
    Show(host, msg::kOutputIsDirectory, out.c_str());
    return false;
  }
  for (const std::string& in : WithImageFiles(inputs)) {
    if (SameFile(out, in)) {
      Show(host, sameMessage, out.c_str());
      return false;
    }
  }
  if (NotRegular(out)) {
    Show(host, msg::kOutputNotRegular, out.c_str());
    return false;
  }
  if (!overwrite && fs::exists(fs::symlink_status(out, ec))) {
    Show(host, msg::kOutputExists, out.c_str());
    return false;
  }
  return true;
}

PartFile::PartFile(std::string path) : path_(std::move(path)) {}

PartFile::~PartFile() {
  if (committed_ || part_.empty()) return;
  ::unlink(part_.c_str());
}

bool PartFile::Create(Host& host, const Message* failure) {
  if (!part_.empty()) return true;
  const fs::path final(path_);
  std::string name =
      (final.parent_path() / ("." + final.filename().string() + ".XXXXXX.part")).string();
  const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
  if (fd < 0) {
    if (failure)
      Show(host, *failure);
    else
      Show(host, msg::kWriteError, path_.c_str(), std::strerror(errno));
    return false;
  }
  ::fchmod(fd, NewFileMode());
  ::close(fd);
  part_ = name;
  return true;
}

bool PartFile::Commit(Host& host) {
  if (part_.empty()) {
    Show(host, msg::kWriteError, path_.c_str(), std::strerror(ENOENT));
    return false;
  }
  if (NotRegular(path_)) {
    Show(host, msg::kOutputNotRegular, path_.c_str());
    return false;
  }
  // The file replaced is locked while it goes: one being edited stays, and
  // the journal of an edit of it that never finished goes with it.
  int old = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (old >= 0) {
    struct stat st;
    if (::fstat(old, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(old);
      old = -1;
    } else if (!LockForEdit(old)) {
      ::close(old);
      int pid = 0;
      (void)PendingEdit(path_, &pid);
      const std::string who = pid > 0 ? " (pid " + std::to_string(pid) + ")" : std::string();
      Show(host, msg::kBeingEdited, path_.c_str(), who.c_str());
      return false;
    }
  }
  std::error_code ec;
  fs::rename(part_, path_, ec);
  if (ec) {
    if (old >= 0) ::close(old);
    Show(host, msg::kWriteError, path_.c_str(), ec.message().c_str());
    return false;
  }
  committed_ = true;
  if (old >= 0) {
    DiscardJournalOf(old, path_);
    ::close(old);
  }
  // A journal under the new file's identity can only be a stale one of a
  // file long gone whose inode it reuses.
  const int now = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (now >= 0) {
    if (LockForEdit(now)) DiscardJournalOf(now, path_);
    ::close(now);
  }
  return true;
}

}  // namespace belmora
