// The rollback journal of an in-place edit, and the lock that keeps one
// edit at a time on a file.
//
// An edit locks the file itself (an advisory lock on its open description),
// so every path that reaches the same file, through symbolic or hard links
// or as the data file of a disc image, meets the same lock. Under the lock
// the journal is made: before any byte of the file is overwritten for the
// first time, its original bytes are appended to the journal and made
// durable; truncating saves the tail the same way. Every write also leaves
// a digest of what it writes (a CRC32C of each 4 KiB piece) in the journal
// before it is made. When the edit completes, the file is synced and the
// journal deleted. A journal left behind (a crash, a kill, a failed write)
// lets the file be rolled back to exactly what it was.
//
// The journal is named after the file's identity (device and inode) and
// lies in the folder of the file's real path, so every name of the file
// finds it; an index in the user's state folder
// ($XDG_STATE_HOME/belmora/journals, by default ~/.local/state/...) maps
// the identity to the journal, so that a file moved to another folder of
// its file system still finds it. A journal under that name whose header
// names another file (a deleted one whose inode was given anew, told apart
// by its birth time) is no journal of this file. It proves itself before
// it is used: a header with magic, version, the file's identity, its
// original length and a CRC32C of its first bytes, sealed by a CRC32C of
// the header and the length of the journal that was durable before the
// next overwrite began; then records of offset u64, length u32 and a
// CRC32C over both and the data, then the data (a length with its top bit
// set marks the digest of a write: the CRC32C of each piece of the write
// cut at 4 KiB boundaries of the file). A journal that is cut before its
// sealed length, damaged, or made for another file (or for this one as it
// was before something else changed it: its first bytes, or any piece a
// write's digest covers alone, matching neither what the edit found there
// nor what it wrote) is refused whole: nothing is written. Journals of
// version 2 (no digests) are read as they are.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

namespace belmora {

// CRC-32C (Castagnoli, reflected, as used by iSCSI and ext4), continued
// from `crc` (0 to start).
uint32_t Crc32c(const void* data, size_t size, uint32_t crc = 0);

// The journal of `file` (any of its names): the one beside it, else the
// one the index names for its identity, else where a new one would go.
// When the file cannot be looked at, the path beside the name given.
std::string JournalPath(const std::string& file);
bool JournalExists(const std::string& file);
// The journal of `file`, open as `fd`.
std::string JournalPathOf(int fd, const std::string& file);
// Deletes the journal under the identity of the file open as `fd` when it
// proves it was made for another file (one deleted, whose inode this file
// was given); true when it did. The caller holds the edit lock.
bool RemoveStaleJournal(int fd, const std::string& file);
// Deletes whatever journal the file open as `fd` has (with its entry in the
// index and leftover temporary journals); the caller holds the edit lock.
void DiscardJournalOf(int fd, const std::string& file);

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
  // Notes what a write is about to put at `offset` (its digest), before it
  // is made.
  bool NoteWrite(int64_t offset, const void* data, size_t size);
  // The edit is complete: the file is synced, then the journal deleted.
  bool Commit();
  // Puts the saved bytes back and the original length, then deletes the
  // journal. On failure the journal stays for a later recovery.
  bool Rollback();
  int Error() const { return error_; }

 private:
  bool Fail(int error);
  void Close();
  // Seals what was appended: the header says the journal is this long.
  bool Seal();

  std::string path_;
  int fileFd_ = -1;  // not owned
  int journalFd_ = -1;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  int64_t length_ = 0;
  int64_t appendAt_ = 0;  // end of what was appended, sealed or not
  std::map<int64_t, int64_t> saved_;  // start -> end of saved ranges, disjoint
  int error_ = 0;
};

enum class RecoverResult { kNoJournal, kRolledBack, kBeingEdited, kRefused, kFailed };
// Why a journal was refused: cut, damaged, another file's, the file changed
// at its start or shortened since, something other than a regular file at
// the journal's name, or pieces the edit wrote that hold neither what was
// there nor what the edit wrote (the file replaced in place).
enum class JournalFault { kNone, kCut, kDamaged, kForeign, kChanged, kNotRegular, kMismatch };
struct RecoverDetail {
  int Error = 0;  // errno of kFailed
  int Pid = 0;    // the editor of kBeingEdited, when known
  JournalFault Fault = JournalFault::kNone;
  std::string Journal;  // the journal found (where there was one)
};
// Takes the edit lock of `file`, checks its journal whole, then rolls the
// file back as the journal says and deletes the journal. A refused journal
// stays, and the file is not touched. Temporary journals a kill left are
// removed.
RecoverResult RecoverJournal(const std::string& file, RecoverDetail* detail = nullptr);
// The same for a file open as `fd`, whose edit lock the caller holds.
RecoverResult RecoverLocked(int fd, const std::string& journal, RecoverDetail* detail = nullptr);
// Deletes the journal of `file` without rolling anything back, under its
// edit lock: kRolledBack when one was deleted (the file stays as it is).
RecoverResult DiscardJournal(const std::string& file, RecoverDetail* detail = nullptr);

}  // namespace belmora
