// The rollback journal of an in-place edit, and the lock that keeps one
// edit at a time on a file.
//
// An edit locks the file itself (an advisory lock on its open description),
// so every path that reaches the same file, through symbolic or hard links
// or as the data file of a disc image, meets the same lock. Under the lock
// the journal is made: before any byte of the file is overwritten for the
// first time, its original bytes are appended to the journal and made
// durable; truncating saves the tail the same way. When the edit completes,
// the file is synced and the journal deleted. A journal left behind (a
// crash, a kill, a failed write) lets the file be rolled back to exactly
// what it was.
//
// The journal is named after the file's identity (device and inode) and
// lies in the folder of the file's real path, so every name of the file
// finds it; a journal under that name whose header names another file (a
// deleted one whose inode was given anew, told apart by its birth time)
// is no journal of this file. It proves itself before it is used: a header with magic,
// version, the file's identity, its original length and a CRC32C of its
// first bytes, sealed by a CRC32C of the header and the length of the
// journal that was durable before the next overwrite began; then records
// of offset u64, length u32 and a CRC32C over both and the data, then the
// data. A journal that is cut before its sealed length, damaged, or made
// for another file (or for this one as it was before something else
// changed it) is refused whole: nothing is written.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace belmora {

// CRC-32C (Castagnoli, reflected, as used by iSCSI and ext4), continued
// from `crc` (0 to start).
uint32_t Crc32c(const void* data, size_t size, uint32_t crc = 0);

// The journal of `file` (any of its names). When the file cannot be looked
// at, the path beside the name given.
std::string JournalPath(const std::string& file);
bool JournalExists(const std::string& file);
// The journal of `file`, open as `fd`.
std::string JournalPathOf(int fd, const std::string& file);
// Deletes the journal under the identity of the file open as `fd` when it
// proves it was made for another file (one deleted, whose inode this file
// was given); true when it did. The caller holds the edit lock.
bool RemoveStaleJournal(int fd, const std::string& file);

// The edit lock on an open file: taken (false with errno EAGAIN when
// another open description holds it), released, and looked at.
bool LockForEdit(int fd);
void UnlockEdit(int fd);
bool LockedForEdit(int fd);

// Whether `file` is being edited now (locked by another process), was left
// in the middle of an edit (a journal and no lock), or neither. `pid` gets
// the editing process where its journal names it (0 when not known).
enum class EditState { kNone, kBeingEdited, kInterrupted };
EditState PendingEdit(const std::string& file, int* pid = nullptr);

class RollbackJournal {
 public:
  RollbackJournal() = default;
  RollbackJournal(const RollbackJournal&) = delete;
  RollbackJournal& operator=(const RollbackJournal&) = delete;
  ~RollbackJournal();

  // Starts the journal of `file`, open as `fd` (locked by the caller), now
  // `length` bytes long. False (Error() set) when it cannot be made, or one
  // exists already (EEXIST).
  bool Begin(const std::string& file, int fd, int64_t length);
  bool Active() const { return journalFd_ >= 0; }
  // Saves the original bytes of [offset, offset + size) that are not saved
  // yet and lie within the original length; durable when this returns true.
  bool Protect(int64_t offset, int64_t size);
  // The edit is complete: the file is synced, then the journal deleted.
  bool Commit();
  // Puts the saved bytes back and the original length, then deletes the
  // journal. On failure the journal stays for a later recovery.
  bool Rollback();
  int Error() const { return error_; }

 private:
  bool Fail(int error);
  void Close();

  std::string path_;
  int fileFd_ = -1;  // not owned
  int journalFd_ = -1;
  int64_t length_ = 0;
  int64_t journalEnd_ = 0;
  std::map<int64_t, int64_t> saved_;  // start -> end of saved ranges, disjoint
  int error_ = 0;
};

enum class RecoverResult { kNoJournal, kRolledBack, kBeingEdited, kRefused, kFailed };
// Why a journal was refused.
enum class JournalFault { kNone, kCut, kDamaged, kForeign, kChanged };
struct RecoverDetail {
  int Error = 0;  // errno of kFailed
  int Pid = 0;    // the editor of kBeingEdited, when known
  JournalFault Fault = JournalFault::kNone;
};
// Takes the edit lock of `file`, checks its journal whole, then rolls the
// file back as the journal says and deletes the journal. A refused journal
// stays, and the file is not touched.
RecoverResult RecoverJournal(const std::string& file, RecoverDetail* detail = nullptr);
// The same for a file open as `fd`, whose edit lock the caller holds.
RecoverResult RecoverLocked(int fd, const std::string& journal, RecoverDetail* detail = nullptr);

}  // namespace belmora
