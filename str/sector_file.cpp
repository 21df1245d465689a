#include "str/sector_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/input_file.h"

namespace belmora {

bool SectorFile::Fail(int error) {
  error_ = error ? error : EIO;
  return false;
}

bool SectorFile::Open(const std::string& path, Mode mode) {
  Close();
  const int flags = mode == Mode::kReadWrite                          ? O_RDWR
                    : mode == Mode::kReadOnly || mode == Mode::kTrial ? O_RDONLY
                                                                      : O_RDWR | O_CREAT;
  // Only a regular file: a FIFO would block the open or give no sectors,
  // a device endless ones. A new file is made, then cut to nothing.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Fail(EISDIR);
  InputStatus status;
  fd_ = mode == Mode::kCreate && ::stat(path.c_str(), &st) != 0 && errno == ENOENT
            ? ::open(path.c_str(), flags | O_CLOEXEC | O_EXCL, 0644)
            : OpenRegularFile(path, flags, status);
  if (fd_ < 0) return Fail(errno);
  if (::fstat(fd_, &st) != 0 || (mode == Mode::kCreate && ::ftruncate(fd_, 0) != 0) ||
      (mode == Mode::kCreate && ::fstat(fd_, &st) != 0)) {
    const int e = errno;
    Close();
    return Fail(e);
  }
  path_ = path;
  error_ = 0;
  knownSize_ = int64_t(st.st_size);
  if (mode == Mode::kTrial && !trial_.Open(knownSize_)) {
    const int e = errno;
    Close();
    return Fail(e);
  }
  return true;
}

bool SectorFile::Restrict(int64_t start, int64_t size) {
  const int64_t length = FileSize();
  if (fd_ < 0 || start < 0 || size < 0 || length < 0 || start > length) return Fail(EINVAL);
  windowStart_ = start;
  windowSize_ = std::min(size, length - start);
  return true;
}

bool SectorFile::Place(int64_t& offset, int64_t size) const {
  if (offset < 0) return false;
  if (windowSize_ < 0) return true;
  if (size > windowSize_ || offset > windowSize_ - size) return false;
  offset += windowStart_;
  return true;
}

bool SectorFile::Close() {
  cacheStart_ = -1;
  windowStart_ = 0;
  windowSize_ = -1;
  if (fd_ < 0) return true;
  if (locked_) UnlockEdit(fd_);
  locked_ = false;
  trial_.Close();
  const bool ok = ::close(fd_) == 0;
  if (!ok) error_ = errno;
  fd_ = -1;
  return ok;
}

bool SectorFile::ReadAt(int64_t offset, void* buffer, size_t size) {
  if (fd_ < 0 || !Place(offset, int64_t(size))) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    if (cacheStart_ < 0 || offset < cacheStart_ || offset >= cacheStart_ + int64_t(cache_.size())) {
      const int64_t start = offset - offset % int64_t(kBlockSize);
      cache_.resize(kBlockSize);
      size_t got = 0;
      bool read = true;
      if (trial_.Active()) {
        got = size_t(std::clamp<int64_t>(trial_.Length() - start, 0, int64_t(kBlockSize)));
        read = trial_.Read(start, cache_.data(), got,
                           [this](int64_t at, uint8_t* b, size_t n, size_t& own) {
                             return ReadOwn(at, b, n, own);
                           });
      } else {
        read = ReadOwn(start, cache_.data(), kBlockSize, got);
      }
      if (!read) {
        cacheStart_ = -1;
        return Fail(errno);
      }
      cache_.resize(got);
      cacheStart_ = start;
      if (offset >= start + int64_t(got)) return false;  // end of file
    }
    const size_t at = size_t(offset - cacheStart_);
    const size_t n = std::min(size, cache_.size() - at);
    std::memcpy(out, cache_.data() + at, n);
    out += n;
    offset += int64_t(n);
    size -= n;
  }
  return true;
}

bool SectorFile::ReadOwn(int64_t offset, uint8_t* buffer, size_t size, size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd_, buffer + got, size - got, off_t(offset + int64_t(got)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += size_t(n);
  }
  return true;
}

bool SectorFile::WriteAt(int64_t offset, const void* buffer, size_t size) {
  if (fd_ < 0 || offset < 0) return Fail(EBADF);
  if (!Place(offset, int64_t(size))) return Fail(EFBIG);
  if (trial_.Active()) {
    cacheStart_ = -1;
    changed_ = true;
    const bool ok = trial_.Write(offset, static_cast<const uint8_t*>(buffer), size,
                                 [this](int64_t at, uint8_t* b, size_t n, size_t& got) {
                                   return ReadOwn(at, b, n, got);
                                 });
    knownSize_ = trial_.Length();
    return ok ? true : Fail(errno);
  }
  // The digest of the write first: the original bytes saved next are sealed
  // with it, so that no saved range is ever without the digest of the write
  // that follows (a kill between the two left a file replaced in place
  // looking untouched there).
  if (!journal_.NoteWrite(offset, buffer, size) || !journal_.Protect(offset, int64_t(size)))
    return Fail(journal_.Error());
  changed_ = true;
  const auto* in = static_cast<const uint8_t*>(buffer);
  size_t put = 0;
  while (put < size) {
    ssize_t n = ::pwrite(fd_, in + put, size - put, off_t(offset + int64_t(put)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      cacheStart_ = -1;
      return Fail(n < 0 ? errno : EIO);
    }
    put += size_t(n);
  }
  knownSize_ = std::max(knownSize_, offset + int64_t(size));
  // Keep the cached block what the file holds.
  if (cacheStart_ >= 0) {
    const int64_t cacheEnd = cacheStart_ + int64_t(cache_.size());
    const int64_t end = offset + int64_t(size);
    if (end > cacheEnd && offset < cacheStart_ + int64_t(kBlockSize)) {
      cacheStart_ = -1;  // the file grew inside the block
    } else if (offset < cacheEnd && end > cacheStart_) {
      const int64_t from = std::max(offset, cacheStart_);
      const int64_t to = std::min(end, cacheEnd);
      std::memcpy(cache_.data() + (from - cacheStart_), in + (from - offset), size_t(to - from));
    }
  }
  return true;
}

int64_t SectorFile::Size() {
  if (windowSize_ >= 0) return fd_ >= 0 ? windowSize_ : -1;
  return FileSize();
}

int64_t SectorFile::FileSize() {
  if (trial_.Active()) return fd_ >= 0 ? trial_.Length() : -1;
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return int64_t(st.st_size);
}

bool SectorFile::Truncate(int64_t size) {
  if (windowSize_ >= 0) return size == windowSize_ ? true : Fail(EFBIG);
  const int64_t now = Size();
  if (now < 0) return Fail(errno);
  cacheStart_ = -1;
  changed_ = true;
  if (trial_.Active()) {
    trial_.Cut(size);
    knownSize_ = size;
    return true;
  }
  if (size < now && !journal_.Protect(size, now - size)) return Fail(journal_.Error());
  if (::ftruncate(fd_, off_t(size)) != 0) return Fail(errno);
  knownSize_ = size;
  return true;
}

bool SectorFile::Sync() {
  if (fd_ < 0) return Fail(EBADF);
  if (trial_.Active()) return true;
  if (::fsync(fd_) != 0) return Fail(errno);
  return true;
}

bool SectorFile::BeginJournal() {
  if (fd_ < 0) return Fail(EBADF);
  // A trial writes nothing that would need putting back.
  if (trial_.Active()) {
    changed_ = false;
    return true;
  }
  if (!locked_) {
    if (!LockForEdit(fd_)) return Fail(errno);
    locked_ = true;
  }
  auto refuse = [this](int error) {
    UnlockEdit(fd_);
    locked_ = false;
    return Fail(error);
  };
  // Under the lock: the journal of an edit that did not finish, and the
  // file's identity, looked at before anything is written.
  (void)RemoveStaleJournal(fd_, path_);
  if (JournalExists(path_)) return refuse(EEXIST);
  struct stat st, named;
  if (::fstat(fd_, &st) != 0) return refuse(errno);
  if (st.st_nlink == 0 || ::stat(path_.c_str(), &named) != 0 || named.st_dev != st.st_dev ||
      named.st_ino != st.st_ino || int64_t(st.st_size) != knownSize_)
    return refuse(ESTALE);
  cacheStart_ = -1;  // what was cached may predate the lock
  const int64_t size = int64_t(st.st_size);  // the whole file's, window or not
  if (!journal_.Begin(path_, fd_, size)) return refuse(journal_.Error());
  changed_ = false;
  return true;
}

bool SectorFile::CommitJournal() {
  if (trial_.Active()) return true;
  if (!journal_.Commit()) return Fail(journal_.Error());
  knownSize_ = FileSize();
  if (locked_) UnlockEdit(fd_);
  locked_ = false;
  return true;
}

bool SectorFile::RollbackJournal() {
  cacheStart_ = -1;
  if (trial_.Active()) {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Fail(errno);
    trial_.Clear(int64_t(st.st_size));
    knownSize_ = trial_.Length();
    return true;
  }
  if (!journal_.Rollback()) return Fail(journal_.Error());
  knownSize_ = FileSize();
  if (locked_) UnlockEdit(fd_);
  locked_ = false;
  return true;
}

bool SectorFile::Protect(int64_t offset, int64_t size) {
  if (trial_.Active()) return true;
  // Nothing past a window is ever written: its part of the range needs no saving.
  if (windowSize_ >= 0 && offset >= 0) {
    size = std::max<int64_t>(0, std::min(size, windowSize_ - offset));
    offset += windowStart_;
  }
  if (!journal_.Protect(offset, size)) return Fail(journal_.Error());
  return true;
}

}  // namespace belmora
