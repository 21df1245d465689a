#include "str/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/bytes.h"

namespace belmora {

namespace {

constexpr char kMagic[16] = "BELMORA-JOURNAL";
constexpr uint32_t kVersion = 2;
// Header: magic, version u32, pid u32, device u64, inode u64, original
// length u64, hashed head length u32, head CRC u32, sealed journal length
// u64, birth time seconds u64 and nanoseconds u32 (0 where the file system
// keeps none), 8 reserved, CRC of the bytes before it u32.
constexpr size_t kHeaderSize = 88;
constexpr size_t kSealAt = 56;  // the sealed length, rewritten as records are added
constexpr size_t kHeaderCrcAt = 84;
constexpr size_t kRecordHeaderSize = 16;
constexpr int64_t kChunk = 1 << 20;       // records carry at most this many bytes
constexpr int64_t kHeadBytes = 64 * 1024;  // the start of the file the journal identifies it by

void PutU64(uint8_t* p, uint64_t v) {
  PutU32(p, uint32_t(v));
  PutU32(p + 4, uint32_t(v >> 32));
}
uint64_t GetU64(const uint8_t* p) {
  return uint64_t(GetU32(p)) | uint64_t(GetU32(p + 4)) << 32;
}

const std::array<uint32_t, 256>& Crc32cTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; i++) {
      uint32_t c = i;
      for (int k = 0; k < 8; k++) c = c & 1 ? (c >> 1) ^ 0x82F63B78u : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

// Writes all of `data` at `offset`.
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
  if (dir.empty()) dir = ".";
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// What tells one file from another: its device and inode, and its birth
// time, since a deleted file's inode is given to the next file made.
struct Identity {
  uint64_t Dev = 0, Ino = 0, BirthSec = 0;
  uint32_t BirthNsec = 0;
  bool operator==(const Identity&) const = default;
};

Identity IdentityOf(int fd, const struct stat& st) {
  Identity id{uint64_t(st.st_dev), uint64_t(st.st_ino), 0, 0};
  struct statx sx;
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
    id.BirthSec = uint64_t(sx.stx_btime.tv_sec);
    id.BirthNsec = sx.stx_btime.tv_nsec;
  }
  return id;
}

Identity IdentityInHeader(const uint8_t* header) {
  return {GetU64(header + 24), GetU64(header + 32), GetU64(header + 64), GetU32(header + 72)};
}

bool HeaderValid(const uint8_t* header) {
  return std::memcmp(header, kMagic, sizeof kMagic) == 0 && GetU32(header + 16) == kVersion &&
         Crc32c(header, kHeaderCrcAt) == GetU32(header + kHeaderCrcAt);
}

std::string JournalPathFor(const std::string& file, const struct stat& st) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path real = fs::canonical(file, ec);
  if (ec) real = fs::absolute(file, ec);
  char name[96];
  std::snprintf(name, sizeof name, ".belmora-%llx-%llx.journal", (unsigned long long)st.st_dev,
                (unsigned long long)st.st_ino);
  return (real.parent_path() / name).string();
}

uint32_t RecordCrc(const uint8_t* head, const uint8_t* data, size_t size) {
  return Crc32c(data, size, Crc32c(head, 12));
}

// The pid a journal's header names (0 when unreadable).
int JournalPid(const std::string& journal) {
  int fd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  uint8_t header[kHeaderSize];
  const int64_t got = PreadSome(fd, header, sizeof header, 0);
  ::close(fd);
  if (got != int64_t(kHeaderSize) || std::memcmp(header, kMagic, sizeof kMagic) != 0) return 0;
  return int(GetU32(header + 20));
}

}  // namespace

uint32_t Crc32c(const void* data, size_t size, uint32_t crc) {
  const auto& table = Crc32cTable();
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (size_t i = 0; i < size; i++) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::string JournalPath(const std::string& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return file + ".belmora-journal";
  return JournalPathFor(file, st);
}

std::string JournalPathOf(int fd, const std::string& file) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return file + ".belmora-journal";
  return JournalPathFor(file, st);
}

namespace {
// A journal that proves it was made for another file that had this one's
// inode (deleted since): nothing of this file's.
bool StaleJournal(const std::string& journal, int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  int jfd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (jfd < 0) return false;
  uint8_t header[kHeaderSize];
  const int64_t got = PreadSome(jfd, header, sizeof header, 0);
  ::close(jfd);
  return got == int64_t(kHeaderSize) && HeaderValid(header) &&
         !(IdentityInHeader(header) == IdentityOf(fd, st));
}

// Whether the journal of the file open as `fd` waits to be recovered.
bool PendingJournal(int fd, const std::string& journal) {
  struct stat st;
  return ::lstat(journal.c_str(), &st) == 0 && !StaleJournal(journal, fd);
}
}  // namespace

bool JournalExists(const std::string& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    struct stat st;
    return ::lstat(JournalPath(file).c_str(), &st) == 0;
  }
  const bool pending = PendingJournal(fd, JournalPathOf(fd, file));
  ::close(fd);
  return pending;
}

bool RemoveStaleJournal(int fd, const std::string& file) {
  const std::string journal = JournalPathOf(fd, file);
  if (!StaleJournal(journal, fd)) return false;
  return ::unlink(journal.c_str()) == 0;
}

bool LockForEdit(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno == EINTR) continue;
    if (errno == EACCES) errno = EAGAIN;
    return false;
  }
  return true;
}

void UnlockEdit(int fd) {
  struct flock lock {};
  lock.l_type = F_UNLCK;
  lock.l_whence = SEEK_SET;
  ::fcntl(fd, F_OFD_SETLK, &lock);
}

bool LockedForEdit(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

EditState PendingEdit(const std::string& file, int* pid) {
  if (pid) *pid = 0;
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return EditState::kNone;
  const std::string journal = JournalPathOf(fd, file);
  const bool locked = LockedForEdit(fd);
  const bool exists = PendingJournal(fd, journal);
  ::close(fd);
  if (locked) {
    if (pid && exists) *pid = JournalPid(journal);
    return EditState::kBeingEdited;
  }
  return exists ? EditState::kInterrupted : EditState::kNone;
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
  fileFd_ = fd;
  length_ = length;
  saved_.clear();
  error_ = 0;
  struct stat st;
  if (::fstat(fd, &st) != 0) return Fail(errno);
  path_ = JournalPathFor(file, st);
  uint8_t header[kHeaderSize] = {};
  std::memcpy(header, kMagic, sizeof kMagic);
  PutU32(header + 16, kVersion);
  PutU32(header + 20, uint32_t(::getpid()));
  PutU64(header + 24, uint64_t(st.st_dev));
  PutU64(header + 32, uint64_t(st.st_ino));
  PutU64(header + 40, uint64_t(length));
  std::vector<uint8_t> head(size_t(std::min(length, kHeadBytes)));
  const int64_t got = PreadSome(fd, head.data(), head.size(), 0);
  if (got != int64_t(head.size())) return Fail(got < 0 ? errno : EIO);
  PutU32(header + 48, uint32_t(head.size()));
  PutU32(header + 52, Crc32c(head.data(), head.size()));
  PutU64(header + kSealAt, kHeaderSize);
  const Identity id = IdentityOf(fd, st);
  PutU64(header + 64, id.BirthSec);
  PutU32(header + 72, id.BirthNsec);
  PutU32(header + kHeaderCrcAt, Crc32c(header, kHeaderCrcAt));
  // Made whole under a unique name, then linked in place: the journal's
  // name never stands for a header that is not complete and durable.
  std::string temp = path_ + ".XXXXXX";
  journalFd_ = ::mkostemp(temp.data(), O_CLOEXEC);
  if (journalFd_ < 0) return Fail(errno);
  if (!PwriteAll(journalFd_, header, sizeof header, 0) || ::fsync(journalFd_) != 0 ||
      ::link(temp.c_str(), path_.c_str()) != 0) {
    const int e = errno;
    Close();
    ::unlink(temp.c_str());
    return Fail(e);
  }
  ::unlink(temp.c_str());
  SyncDirectoryOf(path_);
  journalEnd_ = kHeaderSize;
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
  int64_t put = journalEnd_;
  for (auto [from, to] : gaps) {
    for (int64_t p = from; p < to; p += kChunk) {
      const int64_t n = std::min(kChunk, to - p);
      data.resize(size_t(n));
      const int64_t got = PreadSome(fileFd_, data.data(), size_t(n), p);
      if (got < 0) return Fail(errno);
      data.resize(size_t(got));  // the file may be shorter than recorded
      uint8_t head[kRecordHeaderSize];
      PutU64(head, uint64_t(p));
      PutU32(head + 8, uint32_t(data.size()));
      PutU32(head + 12, RecordCrc(head, data.data(), data.size()));
      if (!PwriteAll(journalFd_, head, sizeof head, put) ||
          !PwriteAll(journalFd_, data.data(), data.size(), put + int64_t(sizeof head)))
        return Fail(errno);
      put += int64_t(sizeof head + data.size());
    }
  }
  if (::fdatasync(journalFd_) != 0) return Fail(errno);
  // The records are durable; now the header says they belong to the journal.
  uint8_t header[kHeaderSize];
  if (PreadSome(journalFd_, header, sizeof header, 0) != int64_t(kHeaderSize)) return Fail(errno);
  PutU64(header + kSealAt, uint64_t(put));
  PutU32(header + kHeaderCrcAt, Crc32c(header, kHeaderCrcAt));
  if (!PwriteAll(journalFd_, header + kSealAt, kHeaderCrcAt + 4 - kSealAt, int64_t(kSealAt)) ||
      ::fdatasync(journalFd_) != 0)
    return Fail(errno);
  journalEnd_ = put;
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
  RecoverDetail detail;
  const RecoverResult r = RecoverLocked(fileFd_, path_, &detail);
  if (r == RecoverResult::kFailed) return Fail(detail.Error);
  if (r == RecoverResult::kRefused) return Fail(EBADMSG);
  return true;
}

RecoverResult RecoverLocked(int fd, const std::string& path, RecoverDetail* detail) {
  RecoverDetail scratch;
  RecoverDetail& d = detail ? *detail : scratch;
  auto fail = [&](int e) {
    d.Error = e ? e : EIO;
    return RecoverResult::kFailed;
  };
  auto refuse = [&](JournalFault f) {
    d.Fault = f;
    return RecoverResult::kRefused;
  };
  struct stat target;
  if (::fstat(fd, &target) != 0) return fail(errno);
  int jfd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (jfd < 0) return errno == ENOENT ? RecoverResult::kNoJournal : fail(errno);
  std::vector<uint8_t> journal;
  {
    struct stat st;
    if (::fstat(jfd, &st) != 0 || !S_ISREG(st.st_mode)) {
      const int e = errno;
      ::close(jfd);
      return S_ISREG(st.st_mode) ? fail(e) : refuse(JournalFault::kDamaged);
    }
    // Nothing longer than the header's own bound is read (checked below).
    const uint64_t size = uint64_t(st.st_size);
    uint8_t header[kHeaderSize];
    if (size < kHeaderSize || PreadSome(jfd, header, kHeaderSize, 0) != int64_t(kHeaderSize)) {
      ::close(jfd);
      return refuse(JournalFault::kCut);
    }
    if (!HeaderValid(header)) {
      ::close(jfd);
      return refuse(JournalFault::kDamaged);
    }
    const uint64_t sealed = GetU64(header + kSealAt);
    if (sealed > size) {
      ::close(jfd);
      return refuse(JournalFault::kCut);
    }
    // A journal holds each original byte at most once, each record at
    // least one byte (but for a few at the end of a file cut short).
    const uint64_t length = GetU64(header + 40);
    if (length > uint64_t(INT64_MAX / 32) ||
        sealed - kHeaderSize > length * (kRecordHeaderSize + 1) + kRecordHeaderSize * 1024) {
      ::close(jfd);
      return refuse(JournalFault::kDamaged);
    }
    journal.resize(size_t(sealed));
    const int64_t got = PreadSome(jfd, journal.data(), journal.size(), 0);
    const int e = errno;
    ::close(jfd);
    if (got < 0) return fail(e);
    if (uint64_t(got) != sealed) return refuse(JournalFault::kCut);
  }
  const uint8_t* header = journal.data();
  if (!(IdentityInHeader(header) == IdentityOf(fd, target))) return refuse(JournalFault::kForeign);
  const int64_t length = int64_t(GetU64(header + 40));
  const int64_t headSize = GetU32(header + 48);
  if (headSize != std::min(length, kHeadBytes)) return refuse(JournalFault::kDamaged);

  // Every record whole and inside the original length.
  struct Record {
    int64_t Offset;
    const uint8_t* Data;
    size_t Size;
  };
  std::vector<Record> records;
  size_t at = kHeaderSize;
  while (at < journal.size()) {
    if (journal.size() - at < kRecordHeaderSize) return refuse(JournalFault::kDamaged);
    const uint8_t* head = journal.data() + at;
    const uint64_t offset = GetU64(head);
    const uint32_t size = GetU32(head + 8);
    if (size > journal.size() - at - kRecordHeaderSize) return refuse(JournalFault::kDamaged);
    const uint8_t* data = head + kRecordHeaderSize;
    if (RecordCrc(head, data, size) != GetU32(head + 12)) return refuse(JournalFault::kDamaged);
    if (offset > uint64_t(length) || size > uint64_t(length) - offset)
      return refuse(JournalFault::kDamaged);
    records.push_back({int64_t(offset), data, size});
    at += kRecordHeaderSize + size;
  }

  // What the rollback would give must be the file the journal was made
  // for: its first bytes as they were, and nothing of its original length
  // missing (what the file lost since must be in the records).
  const int64_t current = int64_t(target.st_size);
  std::vector<uint8_t> head(size_t(headSize), 0);
  const int64_t got = PreadSome(fd, head.data(), size_t(std::min(headSize, current)), 0);
  if (got < 0) return fail(errno);
  std::map<int64_t, int64_t> covered;
  for (const Record& r : records) {
    if (r.Offset < headSize) {
      const size_t n = size_t(std::min<int64_t>(int64_t(r.Size), headSize - r.Offset));
      std::memcpy(head.data() + r.Offset, r.Data, n);
    }
    if (r.Size) covered[r.Offset] = std::max(covered[r.Offset], r.Offset + int64_t(r.Size));
  }
  int64_t reach = std::min(current, length);
  for (auto [from, to] : covered) {
    if (from > reach) break;
    reach = std::max(reach, to);
  }
  if (reach < length) return refuse(JournalFault::kChanged);
  if (Crc32c(head.data(), head.size()) != GetU32(header + 52)) return refuse(JournalFault::kChanged);

  for (const Record& r : records)
    if (!PwriteAll(fd, r.Data, r.Size, r.Offset)) return fail(errno);
  if (::ftruncate(fd, off_t(length)) != 0 || ::fsync(fd) != 0) return fail(errno);
  if (::unlink(path.c_str()) != 0) return fail(errno);
  SyncDirectoryOf(path);
  return RecoverResult::kRolledBack;
}

RecoverResult RecoverJournal(const std::string& file, RecoverDetail* detail) {
  RecoverDetail scratch;
  RecoverDetail& d = detail ? *detail : scratch;
  // A journal whose file is gone has nothing to roll back.
  int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return RecoverResult::kNoJournal;
    d.Error = errno;
    return RecoverResult::kFailed;
  }
  if (!LockForEdit(fd)) {
    const int e = errno;
    const std::string journal = JournalPathOf(fd, file);
    ::close(fd);
    if (e != EAGAIN) {
      d.Error = e;
      return RecoverResult::kFailed;
    }
    d.Pid = JournalPid(journal);
    return RecoverResult::kBeingEdited;
  }
  const RecoverResult r = RecoverLocked(fd, JournalPathOf(fd, file), &d);
  UnlockEdit(fd);
  ::close(fd);
  return r;
}

}  // namespace belmora
