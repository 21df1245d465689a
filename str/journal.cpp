#include "str/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/bytes.h"
#include "str/cd_sector.h"

namespace belmora {

namespace {

constexpr char kMagic[16] = "BELMORA-JOURNAL";
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 32;
constexpr size_t kRecordHeaderSize = 16;
constexpr int64_t kChunk = 1 << 20;  // records carry at most this many bytes

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= size_t(n);
  }
  return true;
}

bool PwriteAll(int fd, const uint8_t* data, size_t size, int64_t offset) {
  while (size > 0) {
    ssize_t n = ::pwrite(fd, data, size, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= size_t(n);
    offset += n;
  }
  return true;
}

// Reads up to `size` bytes; the count read, -1 on an error.
int64_t PreadSome(int fd, uint8_t* data, size_t size, int64_t offset) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, data + done, size - done, off_t(offset + int64_t(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

// Makes a file's creation or removal durable.
void SyncDirectoryOf(const std::string& path) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (dir.empty()) dir = std::filesystem::current_path();
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

uint32_t RecordChecksum(const uint8_t* head, const uint8_t* data, size_t size) {
  std::vector<uint8_t> all(12 + size);
  std::memcpy(all.data(), head, 12);
  std::memcpy(all.data() + 12, data, size);
  return ComputeEdc(all.data(), all.size());
}

}  // namespace

std::string JournalPath(const std::string& file) {
  return file + ".belmora-journal";
}

bool JournalExists(const std::string& file) {
  std::error_code ec;
  return std::filesystem::exists(JournalPath(file), ec);
}

RollbackJournal::~RollbackJournal() {
  Close();
}

void RollbackJournal::Close() {
  if (journalFd_ >= 0) ::close(journalFd_);
  journalFd_ = -1;
}

bool RollbackJournal::Fail(int error) {
  error_ = error ? error : EIO;
  return false;
}

bool RollbackJournal::Begin(const std::string& file, int fd, int64_t length) {
  file_ = file;
  path_ = JournalPath(file);
  fileFd_ = fd;
  length_ = length;
  saved_.clear();
  error_ = 0;
  journalFd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (journalFd_ < 0) return Fail(errno);
  uint8_t header[kHeaderSize] = {};
  std::memcpy(header, kMagic, sizeof kMagic);
  PutU32(header + 16, kVersion);
  PutU32(header + 24, uint32_t(uint64_t(length)));
  PutU32(header + 28, uint32_t(uint64_t(length) >> 32));
  if (!WriteAll(journalFd_, header, sizeof header) || ::fsync(journalFd_) != 0) {
    const int e = errno;
    Close();
    ::unlink(path_.c_str());
    return Fail(e);
  }
  SyncDirectoryOf(path_);
  return true;
}

bool RollbackJournal::Protect(int64_t offset, int64_t size) {
  if (!Active()) return true;
  const int64_t end = std::min(offset + size, length_);
  // The parts of [offset, end) not saved yet.
  std::vector<std::pair<int64_t, int64_t>> gaps;
  int64_t at = offset;
  auto it = saved_.upper_bound(at);
  if (it != saved_.begin() && std::prev(it)->second > at) at = std::prev(it)->second;
  while (at < end) {
    it = saved_.upper_bound(at);
    const int64_t next = it == saved_.end() ? end : std::min(end, it->first);
    if (next > at) gaps.push_back({at, next});
    if (it == saved_.end()) break;
    at = std::max(at, it->second);
  }
  if (gaps.empty()) return true;
  std::vector<uint8_t> data;
  for (auto [from, to] : gaps) {
    for (int64_t p = from; p < to; p += kChunk) {
      const int64_t n = std::min(kChunk, to - p);
      data.resize(size_t(n));
      const int64_t got = PreadSome(fileFd_, data.data(), size_t(n), p);
      if (got < 0) return Fail(errno);
      data.resize(size_t(got));  // the file may be shorter than recorded
      uint8_t head[kRecordHeaderSize];
      PutU32(head, uint32_t(uint64_t(p)));
      PutU32(head + 4, uint32_t(uint64_t(p) >> 32));
      PutU32(head + 8, uint32_t(data.size()));
      PutU32(head + 12, RecordChecksum(head, data.data(), data.size()));
      if (!WriteAll(journalFd_, head, sizeof head) ||
          !WriteAll(journalFd_, data.data(), data.size()))
        return Fail(errno);
    }
  }
  if (::fsync(journalFd_) != 0) return Fail(errno);
  // Merge the new ranges into the saved set.
  for (auto [from, to] : gaps) {
    auto next = saved_.lower_bound(from);
    if (next != saved_.begin() && std::prev(next)->second >= from) {
      --next;
      from = next->first;
      to = std::max(to, next->second);
      next = saved_.erase(next);
    }
    while (next != saved_.end() && next->first <= to) {
      to = std::max(to, next->second);
      next = saved_.erase(next);
    }
    saved_[from] = to;
  }
  return true;
}

bool RollbackJournal::Commit() {
  if (!Active()) return true;
  if (::fsync(fileFd_) != 0) return Fail(errno);
  Close();
  if (::unlink(path_.c_str()) != 0) return Fail(errno);
  SyncDirectoryOf(path_);
  return true;
}

bool RollbackJournal::Rollback() {
  if (!Active()) return true;
  Close();
  int error = 0;
  if (RecoverJournal(file_, &error) == RecoverResult::kFailed) return Fail(error);
  return true;
}

RecoverResult RecoverJournal(const std::string& file, int* error) {
  const std::string path = JournalPath(file);
  auto fail = [&](int e) {
    if (error) *error = e ? e : EIO;
    return RecoverResult::kFailed;
  };
  int jfd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (jfd < 0) return errno == ENOENT ? RecoverResult::kNoJournal : fail(errno);
  std::vector<uint8_t> journal;
  {
    struct stat st;
    if (::fstat(jfd, &st) != 0) {
      const int e = errno;
      ::close(jfd);
      return fail(e);
    }
    journal.resize(size_t(st.st_size));
    const int64_t got = PreadSome(jfd, journal.data(), journal.size(), 0);
    ::close(jfd);
    if (got < 0) return fail(errno);
    journal.resize(size_t(got));
  }
  // A header that never became durable: nothing was overwritten yet.
  if (journal.size() < kHeaderSize || std::memcmp(journal.data(), kMagic, sizeof kMagic) != 0 ||
      GetU32(journal.data() + 16) != kVersion) {
    if (::unlink(path.c_str()) != 0) return fail(errno);
    SyncDirectoryOf(path);
    return RecoverResult::kRolledBack;
  }
  const int64_t length =
      int64_t(uint64_t(GetU32(journal.data() + 24)) | uint64_t(GetU32(journal.data() + 28)) << 32);
  int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  size_t at = kHeaderSize;
  while (at + kRecordHeaderSize <= journal.size()) {
    const uint8_t* head = journal.data() + at;
    const int64_t offset = int64_t(uint64_t(GetU32(head)) | uint64_t(GetU32(head + 4)) << 32);
    const uint32_t size = GetU32(head + 8);
    if (size > journal.size() - at - kRecordHeaderSize) break;  // cut short
    const uint8_t* data = head + kRecordHeaderSize;
    if (RecordChecksum(head, data, size) != GetU32(head + 12)) break;
    if (offset < 0 || offset > length || size > length - offset) break;
    if (!PwriteAll(fd, data, size, offset)) {
      const int e = errno;
      ::close(fd);
      return fail(e);
    }
    at += kRecordHeaderSize + size;
  }
  if (::ftruncate(fd, off_t(length)) != 0 || ::fsync(fd) != 0) {
    const int e = errno;
    ::close(fd);
    return fail(e);
  }
  ::close(fd);
  if (::unlink(path.c_str()) != 0) return fail(errno);
  SyncDirectoryOf(path);
  return RecoverResult::kRolledBack;
}

}  // namespace belmora
