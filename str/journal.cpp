#include "str/journal.h"

#include <dirent.h>
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
#include <new>
#include <vector>

#include "base/bytes.h"
#include "base/input_file.h"

namespace belmora {

namespace {

constexpr char kMagic[16] = "BELMORA-JOURNAL";
constexpr uint32_t kVersion = 3;
constexpr uint32_t kOldVersion = 2;  // no digests of writes
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
// A digest record: its length field has this bit set; the rest is the
// length of the write, whose pieces end at multiples of kPiece.
constexpr uint32_t kDigestBit = 0x80000000u;
constexpr int64_t kPiece = 4096;
constexpr int64_t kMaxDigested = int64_t(1) << 30;  // a longer write takes several records

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

// The pieces a write of `size` bytes at `offset` is digested in.
int64_t PieceCount(int64_t offset, int64_t size) {
  return size <= 0 ? 0 : (offset + size - 1) / kPiece - offset / kPiece + 1;
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

uint32_t HeaderVersion(const uint8_t* header) {
  return GetU32(header + 16);
}

bool HeaderValid(const uint8_t* header) {
  const uint32_t version = HeaderVersion(header);
  return std::memcmp(header, kMagic, sizeof kMagic) == 0 &&
         (version == kVersion || version == kOldVersion) &&
         Crc32c(header, kHeaderCrcAt) == GetU32(header + kHeaderCrcAt);
}

std::string JournalName(const struct stat& st) {
  char name[96];
  std::snprintf(name, sizeof name, ".belmora-%llx-%llx.journal", (unsigned long long)st.st_dev,
                (unsigned long long)st.st_ino);
  return name;
}

// Where the journal of the file goes: beside its real path.
std::string JournalBeside(const std::string& file, const struct stat& st) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path real = fs::canonical(file, ec);
  if (ec) real = fs::absolute(file, ec);
  return (real.parent_path() / JournalName(st)).string();
}

// --- the index of journals by the identity of their files ---

// The folder of the index; empty when the user has no home to keep it in.
std::string IndexFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::string(state) + "/belmora/journals";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/state/belmora/journals";
  return "";
}

std::string IndexEntry(uint64_t dev, uint64_t ino) {
  const std::string folder = IndexFolder();
  if (folder.empty()) return "";
  char name[64];
  std::snprintf(name, sizeof name, "/%llx-%llx", (unsigned long long)dev, (unsigned long long)ino);
  return folder + name;
}

// The journal the index names for the identity (empty when none).
std::string IndexedJournal(uint64_t dev, uint64_t ino) {
  const std::string entry = IndexEntry(dev, ino);
  if (entry.empty()) return "";
  char target[PATH_MAX];
  const ssize_t n = ::readlink(entry.c_str(), target, sizeof target - 1);
  if (n <= 0) return "";
  target[n] = 0;
  return target;
}

// Removes the names in `folder` that begin with `prefix` (and are longer).
void RemoveNamesStarting(const std::string& folder, const std::string& prefix) {
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
      names.push_back(name);
  }
  ::closedir(d);
  for (const std::string& name : names) ::unlink((folder + "/" + name).c_str());
}

// Forgets the entries whose journals are gone (their folders deleted).
void PruneIndex() {
  const std::string folder = IndexFolder();
  DIR* d = ::opendir(folder.c_str());
  if (!d) return;
  std::vector<std::string> gone;
  while (const dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string entry = folder + "/" + e->d_name;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(entry.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = 0;
    struct stat st;
    if (::lstat(target, &st) != 0 && errno == ENOENT) gone.push_back(entry);
  }
  ::closedir(d);
  for (const std::string& entry : gone) ::unlink(entry.c_str());
}

// Says in the index where the journal of the identity lies. Best effort:
// without it a file moved while it waits to be recovered is not found.
void IndexJournal(uint64_t dev, uint64_t ino, const std::string& journal) {
  const std::string entry = IndexEntry(dev, ino);
  if (entry.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(IndexFolder(), ec);
  PruneIndex();
  const std::string temp = entry + "." + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(journal.c_str(), temp.c_str()) != 0) return;
  if (::rename(temp.c_str(), entry.c_str()) != 0) ::unlink(temp.c_str());
}

// Forgets the identity's entry when it names `journal`, and the temporary
// names a kill left beside it.
void UnindexJournal(uint64_t dev, uint64_t ino, const std::string& journal) {
  const std::string entry = IndexEntry(dev, ino);
  if (entry.empty()) return;
  if (IndexedJournal(dev, ino) == journal) ::unlink(entry.c_str());
  const std::filesystem::path p(entry);
  RemoveNamesStarting(p.parent_path().string(), p.filename().string() + ".");
}

// The journal of the file with status `st`: beside it, else where the index
// says, else where a new one goes.
std::string JournalFor(const std::string& file, const struct stat& st) {
  const std::string beside = JournalBeside(file, st);
  struct stat js;
  if (::lstat(beside.c_str(), &js) == 0) return beside;
  const std::string indexed = IndexedJournal(uint64_t(st.st_dev), uint64_t(st.st_ino));
  if (!indexed.empty() && indexed != beside &&
      std::filesystem::path(indexed).filename() == JournalName(st) &&
      ::lstat(indexed.c_str(), &js) == 0)
    return indexed;
  return beside;
}

// Removes the temporary journals a kill left beside `journal`.
void RemoveLeftovers(const std::string& journal) {
  const std::filesystem::path p(journal);
  RemoveNamesStarting(p.parent_path().string(), p.filename().string() + ".");
}

uint32_t RecordCrc(const uint8_t* head, const uint8_t* data, size_t size) {
  return Crc32c(data, size, Crc32c(head, 12));
}

// Opens a journal to read it, never waiting on what is not a regular file
// nor following a link: the descriptor, -1 with errno (kNotRegularError for
// something other than a regular file).
int OpenJournal(const std::string& journal) {
  const int fd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ELOOP) errno = kNotRegularError;
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = S_ISREG(st.st_mode) ? errno : kNotRegularError;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

// The pid a journal's header names (0 when unreadable).
int JournalPid(const std::string& journal) {
  const int fd = OpenJournal(journal);
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
  return JournalFor(file, st);
}

std::string JournalPathOf(int fd, const std::string& file) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return file + ".belmora-journal";
  return JournalFor(file, st);
}

namespace {
// A journal that proves it was made for another file that had this one's
// inode (deleted since): nothing of this file's.
bool StaleJournal(const std::string& journal, int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  const int jfd = OpenJournal(journal);
  if (jfd < 0) return false;
  uint8_t header[kHeaderSize];
  const int64_t got = PreadSome(jfd, header, sizeof header, 0);
  ::close(jfd);
  return got == int64_t(kHeaderSize) && HeaderValid(header) &&
         !(IdentityInHeader(header) == IdentityOf(fd, st));
}

// Whether the journal of the file open as `fd` waits to be recovered
// (anything at the journal's name but a proven stale journal).
bool PendingJournal(int fd, const std::string& journal) {
  struct stat st;
  return ::lstat(journal.c_str(), &st) == 0 && !StaleJournal(journal, fd);
}
}  // namespace

bool JournalExists(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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

void DiscardJournalOf(int fd, const std::string& file) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return;
  const std::string journal = JournalFor(file, st);
  ::unlink(journal.c_str());
  UnindexJournal(uint64_t(st.st_dev), uint64_t(st.st_ino), journal);
  RemoveLeftovers(journal);
  RemoveLeftovers(JournalBeside(file, st));
  SyncDirectoryOf(journal);
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
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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

namespace {
// A journal file made whole and durable before its name appears: unnamed
// in the folder (O_TMPFILE) and linked in place, or, where the file system
// has no unnamed files, under a temporary name (which a kill may leave:
// the next edit or recovery of the file removes it). -1 with errno.
int PlaceJournal(const std::string& path, const uint8_t* header) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
  if (fd >= 0) {
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (PwriteAll(fd, header, kHeaderSize, 0) && ::fsync(fd) == 0 &&
        ::linkat(AT_FDCWD, proc, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return fd;
    const int e = errno;
    ::close(fd);
    if (e == EEXIST) {
      errno = e;
      return -1;
    }
  }
  std::string temp = path + ".XXXXXX";
  fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  if (!PwriteAll(fd, header, kHeaderSize, 0) || ::fsync(fd) != 0 ||
      ::link(temp.c_str(), path.c_str()) != 0) {
    const int e = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    errno = e;
    return -1;
  }
  ::unlink(temp.c_str());
  return fd;
}
}  // namespace

bool RollbackJournal::Begin(const std::string& file, int fd, int64_t length) {
  fileFd_ = fd;
  length_ = length;
  saved_.clear();
  error_ = 0;
  struct stat st;
  if (::fstat(fd, &st) != 0) return Fail(errno);
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  // A new journal goes beside the file; one found anywhere else is there.
  // Temporary journals a kill left are removed, also in the folder the
  // file was in then.
  path_ = JournalFor(file, st);
  RemoveLeftovers(path_);
  const std::string indexed = IndexedJournal(uint64_t(dev_), uint64_t(ino_));
  if (!indexed.empty() && std::filesystem::path(indexed).filename() == JournalName(st))
    RemoveLeftovers(indexed);
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
  // Indexed first: a file moved after a kill that left the journal (or its
  // temporary file) still finds it.
  IndexJournal(uint64_t(dev_), uint64_t(ino_), path_);
  journalFd_ = PlaceJournal(path_, header);
  if (journalFd_ < 0) {
    const int e = errno;
    UnindexJournal(uint64_t(dev_), uint64_t(ino_), path_);
    return Fail(e);
  }
  SyncDirectoryOf(path_);
  appendAt_ = kHeaderSize;
  return true;
}

// The rollback of this process's own edit (see Recover).
RecoverResult RecoverOwn(int fd, const std::string& path, RecoverDetail& detail);

bool RollbackJournal::Seal() {
  if (::fdatasync(journalFd_) != 0) return Fail(errno);
  // The records are durable; now the header says they belong to the journal.
  uint8_t header[kHeaderSize];
  if (PreadSome(journalFd_, header, sizeof header, 0) != int64_t(kHeaderSize)) return Fail(errno);
  PutU64(header + kSealAt, uint64_t(appendAt_));
  PutU32(header + kHeaderCrcAt, Crc32c(header, kHeaderCrcAt));
  if (!PwriteAll(journalFd_, header + kSealAt, kHeaderCrcAt + 4 - kSealAt, int64_t(kSealAt)) ||
      ::fdatasync(journalFd_) != 0)
    return Fail(errno);
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
  int64_t put = appendAt_;
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
  appendAt_ = put;
  if (!Seal()) return false;
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

bool RollbackJournal::NoteWrite(int64_t offset, const void* data, size_t size) {
  if (!Active()) return true;
  const auto* bytes = static_cast<const uint8_t*>(data);
  // Not made durable by itself: it is sealed with the next records saved,
  // and a digest lost in a crash only leaves its pieces unchecked.
  for (int64_t done = 0; done < int64_t(size);) {
    const int64_t at = offset + done;
    const int64_t n = std::min(int64_t(size) - done, kMaxDigested);
    const int64_t pieces = PieceCount(at, n);
    std::vector<uint8_t> record(kRecordHeaderSize + size_t(pieces) * 4);
    for (int64_t k = 0, from = at; k < pieces; k++) {
      const int64_t to = std::min(at + n, (from / kPiece + 1) * kPiece);
      PutU32(&record[kRecordHeaderSize + size_t(k) * 4],
             Crc32c(bytes + (from - offset), size_t(to - from)));
      from = to;
    }
    PutU64(&record[0], uint64_t(at));
    PutU32(&record[8], uint32_t(n) | kDigestBit);
    PutU32(&record[12], RecordCrc(record.data(), record.data() + kRecordHeaderSize,
                                  record.size() - kRecordHeaderSize));
    if (!PwriteAll(journalFd_, record.data(), record.size(), appendAt_)) return Fail(errno);
    appendAt_ += int64_t(record.size());
    done += n;
  }
  return true;
}

bool RollbackJournal::Commit() {
  if (!Active()) return true;
  if (::fsync(fileFd_) != 0) return Fail(errno);
  Close();
  if (::unlink(path_.c_str()) != 0) return Fail(errno);
  UnindexJournal(uint64_t(dev_), uint64_t(ino_), path_);
  SyncDirectoryOf(path_);
  return true;
}

bool RollbackJournal::Rollback() {
  if (!Active()) return true;
  Close();
  RecoverDetail detail;
  const RecoverResult r = RecoverOwn(fileFd_, path_, detail);
  if (r == RecoverResult::kFailed) return Fail(detail.Error);
  if (r == RecoverResult::kRefused) return Fail(EBADMSG);
  return true;
}

}  // namespace belmora

// --- recovery ---

namespace belmora {

namespace {

// A record of original bytes: where they go in the file, and where they lie
// in the journal.
struct SavedRecord {
  int64_t Offset = 0, Size = 0, DataAt = 0;
};
// A piece of a write, with the CRC32C of what the write put there.
struct WrittenPiece {
  int64_t At = 0, End = 0;
  uint32_t Crc = 0;
  uint32_t Write = 0;  // which write, from 0 in the journal's order
  bool operator<(const WrittenPiece& o) const { return At != o.At ? At < o.At : End < o.End; }
};
// Digests kept at most (their memory, 24 bytes each): more than a rewrite
// of a whole disc needs; past it the rest of the pieces go unchecked.
constexpr size_t kMaxPieces = size_t(1) << 22;

struct JournalContents {
  uint8_t Header[kHeaderSize] = {};
  std::vector<SavedRecord> Saved;
  std::vector<WrittenPiece> Written;
};

// Reads the records after the header: every one up to the sealed length
// must be whole and sound; after it (appended, not yet sealed) only the
// digests of writes are taken, as far as they are whole. kNone, or why the
// journal is refused (kFailed's errno in `error`).
JournalFault ReadRecords(int jfd, uint64_t sealed, uint64_t size, int64_t length,
                         JournalContents& c, int& error) {
  std::vector<uint8_t> data;
  uint64_t at = kHeaderSize, savedBytes = 0;
  uint32_t writes = 0;
  while (at < size) {
    const bool strict = at < sealed;
    const uint64_t end = strict ? sealed : size;
    uint8_t head[kRecordHeaderSize];
    if (end - at < kRecordHeaderSize ||
        PreadSome(jfd, head, sizeof head, int64_t(at)) != int64_t(kRecordHeaderSize))
      return strict ? JournalFault::kDamaged : JournalFault::kNone;
    const uint64_t offset = GetU64(head);
    const uint32_t field = GetU32(head + 8);
    const bool digest = (field & kDigestBit) && HeaderVersion(c.Header) == kVersion;
    const int64_t writeSize = int64_t(field & ~kDigestBit);
    const uint64_t bytes = digest ? uint64_t(PieceCount(int64_t(offset), writeSize)) * 4 : field;
    if ((!digest && bytes > uint64_t(kChunk)) || offset > uint64_t(INT64_MAX / 2) ||
        bytes > end - at - kRecordHeaderSize)
      return strict ? JournalFault::kDamaged : JournalFault::kNone;
    data.resize(size_t(bytes));
    const int64_t got = PreadSome(jfd, data.data(), data.size(), int64_t(at + kRecordHeaderSize));
    if (got < 0) {
      error = errno;
      return JournalFault::kNone;
    }
    if (uint64_t(got) != bytes || RecordCrc(head, data.data(), data.size()) != GetU32(head + 12))
      return strict ? JournalFault::kDamaged : JournalFault::kNone;
    if (digest) {
      for (int64_t k = 0, from = int64_t(offset); k < int64_t(bytes / 4); k++) {
        const int64_t to = std::min(int64_t(offset) + writeSize, (from / kPiece + 1) * kPiece);
        if (c.Written.size() < kMaxPieces)
          c.Written.push_back({from, to, GetU32(&data[size_t(k) * 4]), writes});
        from = to;
      }
      writes++;
    } else if (strict) {
      // Each original byte is saved at most once, inside the original length.
      savedBytes += bytes;
      if (offset > uint64_t(length) || bytes > uint64_t(length) - offset ||
          savedBytes > uint64_t(length))
        return JournalFault::kDamaged;
      c.Saved.push_back({int64_t(offset), int64_t(bytes), int64_t(at + kRecordHeaderSize)});
    }
    at += kRecordHeaderSize + bytes;
  }
  return JournalFault::kNone;
}

// Reads [offset, offset + size) of the original file from the saved
// records into `out` (sorted by offset); false when they do not hold all of
// it.
bool ReadOriginal(int jfd, const std::vector<SavedRecord>& sorted, int64_t offset, int64_t size,
                  uint8_t* out) {
  auto it = std::upper_bound(sorted.begin(), sorted.end(), offset,
                             [](int64_t o, const SavedRecord& r) { return o < r.Offset; });
  if (it == sorted.begin()) return false;
  --it;
  int64_t at = offset;
  for (; at < offset + size && it != sorted.end(); ++it) {
    if (it->Offset > at || it->Offset + it->Size <= at) return false;
    const int64_t n = std::min(offset + size, it->Offset + it->Size) - at;
    if (PreadSome(jfd, out + (at - offset), size_t(n), it->DataAt + (at - it->Offset)) != n)
      return false;
    at += n;
  }
  return at == offset + size;
}

// Whether the file's start is the one the journal was made for once the
// records are put back, and nothing of its original length is missing.
bool StartAndLengthAgree(int fd, int jfd, const JournalContents& c, int64_t current, int& error) {
  const int64_t length = int64_t(GetU64(c.Header + 40));
  const int64_t headSize = GetU32(c.Header + 48);
  std::vector<uint8_t> head(size_t(headSize), 0);
  if (PreadSome(fd, head.data(), size_t(std::min(headSize, current)), 0) < 0) {
    error = errno;
    return false;
  }
  std::map<int64_t, int64_t> covered;
  for (const SavedRecord& r : c.Saved) {
    if (r.Offset < headSize) {
      const int64_t n = std::min(r.Size, headSize - r.Offset);
      if (PreadSome(jfd, head.data() + r.Offset, size_t(n), r.DataAt) != n) {
        error = errno ? errno : EIO;
        return false;
      }
    }
    if (r.Size) covered[r.Offset] = std::max(covered[r.Offset], r.Offset + r.Size);
  }
  int64_t reach = std::min(current, length);
  for (auto [from, to] : covered) {
    if (from > reach) break;
    reach = std::max(reach, to);
  }
  return reach >= length && Crc32c(head.data(), head.size()) == GetU32(c.Header + 52);
}

// Counts the pieces written that hold neither what the edit wrote there nor
// what was there before. Each piece is judged by the last write that
// touched any of its bytes: a write before the last one finished (the
// next was noted after it), so a piece of it no later write overlaps holds
// exactly what it wrote; a piece of the last write (the one a kill or a
// full disk may have cut) holds what it wrote, or what was there before
// where that is known, or, for one piece, part of each. -1 on a read error.
int64_t MismatchedPieces(int fd, int jfd, JournalContents& c, int64_t current) {
  const int64_t length = int64_t(GetU64(c.Header + 40));
  std::vector<SavedRecord> sorted = c.Saved;
  std::sort(sorted.begin(), sorted.end(),
            [](const SavedRecord& a, const SavedRecord& b) { return a.Offset < b.Offset; });
  auto& w = c.Written;
  std::stable_sort(w.begin(), w.end(), [](const WrittenPiece& a, const WrittenPiece& b) {
    return a.At / kPiece < b.At / kPiece;
  });
  uint32_t last = 0;
  for (const WrittenPiece& p : w) last = std::max(last, p.Write);
  int64_t mismatched = 0;
  bool cutAllowed = true;
  uint8_t now[kPiece], was[kPiece];
  for (size_t from = 0; from < w.size();) {
    size_t to = from;
    while (to < w.size() && w[to].At / kPiece == w[from].At / kPiece) to++;
    // Pieces of one 4 KiB piece of the file: only these can overlap.
    for (size_t i = from; i < to; i++) {
      const WrittenPiece& p = w[i];
      bool later = false, earlier = false;
      for (size_t k = from; k < to; k++) {
        if (k == i || w[k].At >= p.End || w[k].End <= p.At) continue;
        later |= w[k].Write > p.Write;
        earlier |= w[k].Write < p.Write;
      }
      if (later || p.End > current) continue;
      const int64_t n = p.End - p.At;
      if (PreadSome(fd, now, size_t(n), p.At) != n) return -1;
      const uint32_t crc = Crc32c(now, size_t(n));
      bool known = crc == p.Crc;
      // What was there before it (a write that never landed: cut by a kill
      // or lost with the cache by a power cut): the original, or what an
      // earlier write of the same bytes put there.
      const bool original = !earlier && p.End <= length && ReadOriginal(jfd, sorted, p.At, n, was);
      if (!known && original) known = crc == Crc32c(was, size_t(n));
      for (size_t k = from; k < to && !known && earlier; k++)
        known = w[k].Write < p.Write && w[k].At == p.At && w[k].End == p.End && w[k].Crc == crc;
      if (!known && p.Write == last) {
        // The last write: its state before is unknown where it is not the
        // original, and one piece may hold part of it.
        known = !original;
        if (!known && cutAllowed) cutAllowed = false, known = true;
      }
      mismatched += !known;
    }
    from = to;
  }
  return mismatched;
}

// Puts the saved bytes back, then the original length; false with errno.
bool PutBack(int fd, int jfd, const JournalContents& c) {
  std::vector<uint8_t> data;
  for (const SavedRecord& r : c.Saved) {
    data.resize(size_t(r.Size));
    if (PreadSome(jfd, data.data(), data.size(), r.DataAt) != r.Size) {
      if (errno == 0) errno = EIO;
      return false;
    }
    if (!PwriteAll(fd, data.data(), data.size(), r.Offset)) return false;
  }
  return ::ftruncate(fd, off_t(GetU64(c.Header + 40))) == 0 && ::fsync(fd) == 0;
}

// Opens the journal and reads its header and records: kNone, or why it is
// refused. `error` gets the errno of a read that failed (or of ENOENT).
JournalFault ReadJournal(const std::string& path, int fd, const struct stat& target,
                         JournalContents& c, int& jfd, int& error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    error = errno;
    return JournalFault::kNone;
  }
  if (!S_ISREG(st.st_mode)) return JournalFault::kNotRegular;
  jfd = OpenJournal(path);
  if (jfd < 0) {
    if (errno == kNotRegularError) return JournalFault::kNotRegular;
    error = errno;
    return JournalFault::kNone;
  }
  if (::fstat(jfd, &st) != 0) {
    error = errno;
    return JournalFault::kNone;
  }
  const uint64_t size = uint64_t(st.st_size);
  if (size < kHeaderSize || PreadSome(jfd, c.Header, kHeaderSize, 0) != int64_t(kHeaderSize))
    return JournalFault::kCut;
  if (!HeaderValid(c.Header)) return JournalFault::kDamaged;
  const uint64_t sealed = GetU64(c.Header + kSealAt);
  if (sealed > size) return JournalFault::kCut;
  const uint64_t length = GetU64(c.Header + 40);
  if (length > uint64_t(INT64_MAX / 32)) return JournalFault::kDamaged;
  if (!(IdentityInHeader(c.Header) == IdentityOf(fd, target))) return JournalFault::kForeign;
  if (int64_t(GetU32(c.Header + 48)) != std::min(int64_t(length), kHeadBytes))
    return JournalFault::kDamaged;
  return ReadRecords(jfd, sealed, size, int64_t(length), c, error);
}

}  // namespace

namespace {
// Recovery under the edit lock; `checkWrites`: the pieces written are
// checked too (not in the rollback of an edit of this process, whose last
// write may have been cut short anywhere by a full disk).
RecoverResult Recover(int fd, const std::string& path, RecoverDetail& d, bool checkWrites) {
  d.Journal = path;
  int jfd = -1;
  auto end = [&](RecoverResult r) {
    if (jfd >= 0) ::close(jfd);
    return r;
  };
  auto fail = [&](int e) {
    d.Error = e ? e : EIO;
    return end(RecoverResult::kFailed);
  };
  auto refuse = [&](JournalFault f) {
    d.Fault = f;
    return end(RecoverResult::kRefused);
  };
  struct stat target;
  if (::fstat(fd, &target) != 0) return fail(errno);
  RemoveLeftovers(path);
  try {
    JournalContents c;
    int error = 0;
    const JournalFault fault = ReadJournal(path, fd, target, c, jfd, error);
    if (fault != JournalFault::kNone) return refuse(fault);
    if (error == ENOENT && jfd < 0) return end(RecoverResult::kNoJournal);
    if (error) return fail(error);
    // What the rollback would give must be the file the journal was made
    // for: its first bytes as they were, nothing of its original length
    // missing, and every piece an edit wrote holding what was there or what
    // the edit put there.
    const int64_t current = int64_t(target.st_size);
    if (!StartAndLengthAgree(fd, jfd, c, current, error))
      return error ? fail(error) : refuse(JournalFault::kChanged);
    const int64_t mismatched = checkWrites ? MismatchedPieces(fd, jfd, c, current) : 0;
    if (mismatched < 0) return fail(errno);
    if (mismatched > 0) return refuse(JournalFault::kMismatch);
    if (!PutBack(fd, jfd, c)) return fail(errno);
  } catch (const std::bad_alloc&) {
    return fail(ENOMEM);
  }
  if (::unlink(path.c_str()) != 0) return fail(errno);
  UnindexJournal(uint64_t(target.st_dev), uint64_t(target.st_ino), path);
  SyncDirectoryOf(path);
  return end(RecoverResult::kRolledBack);
}
}  // namespace

RecoverResult RecoverLocked(int fd, const std::string& path, RecoverDetail* detail) {
  RecoverDetail scratch;
  return Recover(fd, path, detail ? *detail : scratch, true);
}

RecoverResult RecoverOwn(int fd, const std::string& path, RecoverDetail& detail) {
  return Recover(fd, path, detail, false);
}

namespace {
// Removes the temporary journals a kill left for the file open as `fd`:
// beside it, and where its index entry says its journal went (the folder
// it was in when the kill came); an entry whose journal never came is
// forgotten.
void RemoveIndexedLeftovers(int fd, const std::string& file) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return;
  RemoveLeftovers(JournalBeside(file, st));
  const std::string indexed = IndexedJournal(uint64_t(st.st_dev), uint64_t(st.st_ino));
  if (indexed.empty() || std::filesystem::path(indexed).filename() != JournalName(st)) return;
  RemoveLeftovers(indexed);
  struct stat js;
  if (::lstat(indexed.c_str(), &js) != 0)
    UnindexJournal(uint64_t(st.st_dev), uint64_t(st.st_ino), indexed);
}

// Opens `file` to recover it and takes its edit lock: the descriptor, or -1
// with the result to give.
int OpenLocked(const std::string& file, RecoverDetail& d, RecoverResult& result) {
  InputStatus status;
  const int fd = OpenRegularFile(file, O_RDWR, status);
  if (fd < 0) {
    // A journal whose file is gone has nothing to roll back.
    result = status.Error == ENOENT ? RecoverResult::kNoJournal : RecoverResult::kFailed;
    d.Error = status.Error;
    return -1;
  }
  if (!LockForEdit(fd)) {
    const int e = errno;
    d.Journal = JournalPathOf(fd, file);
    ::close(fd);
    result = e == EAGAIN ? RecoverResult::kBeingEdited : RecoverResult::kFailed;
    if (e == EAGAIN)
      d.Pid = JournalPid(d.Journal);
    else
      d.Error = e;
    return -1;
  }
  return fd;
}
}  // namespace

RecoverResult RecoverJournal(const std::string& file, RecoverDetail* detail) {
  RecoverDetail scratch;
  RecoverDetail& d = detail ? *detail : scratch;
  RecoverResult result = RecoverResult::kFailed;
  const int fd = OpenLocked(file, d, result);
  if (fd < 0) return result;
  RemoveIndexedLeftovers(fd, file);
  result = RecoverLocked(fd, JournalPathOf(fd, file), &d);
  UnlockEdit(fd);
  ::close(fd);
  return result;
}

RecoverResult DiscardJournal(const std::string& file, RecoverDetail* detail) {
  RecoverDetail scratch;
  RecoverDetail& d = detail ? *detail : scratch;
  RecoverResult result = RecoverResult::kFailed;
  const int fd = OpenLocked(file, d, result);
  if (fd < 0) return result;
  RemoveIndexedLeftovers(fd, file);
  d.Journal = JournalPathOf(fd, file);
  struct stat st;
  result = ::lstat(d.Journal.c_str(), &st) == 0 ? RecoverResult::kRolledBack
                                                 : RecoverResult::kNoJournal;
  DiscardJournalOf(fd, file);
  UnlockEdit(fd);
  ::close(fd);
  return result;
}

}  // namespace belmora
