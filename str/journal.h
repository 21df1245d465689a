// The rollback journal of an in-place edit. Before any byte of a file is
// overwritten for the first time, its original bytes are appended to
// FILE.belmora-journal and made durable; truncating saves the tail the same
// way, and the original length is recorded when the journal is made. When
// the edit completes, the file is synced and the journal deleted. A journal
// left behind (a crash, a kill, a failed write) lets the file be rolled back
// to exactly what it was.
//
// Journal layout: a 32-byte header ("BELMORA-JOURNAL\0", version u32,
// reserved u32, original length u64), then records of offset u64, length
// u32, checksum u32 (over offset, length and data), data. A record that is
// cut short or fails its checksum ends the journal: its overwrite never began.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace belmora {

std::string JournalPath(const std::string& file);
bool JournalExists(const std::string& file);

class RollbackJournal {
 public:
  RollbackJournal() = default;
  RollbackJournal(const RollbackJournal&) = delete;
  RollbackJournal& operator=(const RollbackJournal&) = delete;
  ~RollbackJournal();

  // Starts the journal of `file`, open as `fd`, now `length` bytes long.
  // False (Error() set) when it cannot be made, or one exists already.
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

  std::string file_;
  std::string path_;
  int fileFd_ = -1;  // not owned
  int journalFd_ = -1;
  int64_t length_ = 0;
  std::map<int64_t, int64_t> saved_;  // start -> end of saved ranges, disjoint
  int error_ = 0;
};

enum class RecoverResult { kNoJournal, kRolledBack, kFailed };
// Rolls `file` back as its journal says, then deletes the journal. `error`
// gets the system's reason of a failure.
RecoverResult RecoverJournal(const std::string& file, int* error = nullptr);

}  // namespace belmora
