// A file accessed by position: reads go through a block cache, since the
// frame scans read a few bytes from every sector; writes go straight to the
// file. While an edit is journaled, every write and truncation first saves
// the bytes it replaces (see str/journal.h). A file may be restricted to a
// window of its bytes (a file inside a disc image): positions then count
// from the window's start, nothing outside it is read or written, and its
// length cannot change. A file opened for a trial is only read: what is
// written lies in a layer beside it (see str/trial_layer.h), which the
// reads see, until the file is closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "str/journal.h"
#include "str/trial_layer.h"

namespace belmora {

class SectorFile {
 public:
  enum class Mode { kReadWrite, kReadOnly, kCreate, kTrial };

  SectorFile() = default;
  SectorFile(const SectorFile&) = delete;
  SectorFile& operator=(const SectorFile&) = delete;
  ~SectorFile() { Close(); }

  // Opens `path`; false on failure, with `Error()` holding errno.
  bool Open(const std::string& path, Mode mode);
  // Restricts the open file to `size` bytes from `start` (cut at the file's
  // end); false when the window does not lie inside the file.
  [[nodiscard]] bool Restrict(int64_t start, int64_t size);
  bool Restricted() const { return windowSize_ >= 0; }
  // Where the window starts in the file (0 when not restricted).
  int64_t WindowStart() const { return windowStart_; }
  // Closes the file; false when closing reported an error.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }
  // Opened for a trial: the file is never written.
  bool Trial() const { return trial_.Active(); }
  const std::string& Path() const { return path_; }
  // errno of the last failure.
  int Error() const { return error_; }

  // Whole-or-nothing transfers: false when fewer bytes than asked could be
  // read or written.
  [[nodiscard]] bool ReadAt(int64_t offset, void* buffer, size_t size);
  [[nodiscard]] bool WriteAt(int64_t offset, const void* buffer, size_t size);
  // The length of the file, or of its window.
  int64_t Size();
  // Refused (EFBIG) in a window, unless the length stays as it is.
  [[nodiscard]] bool Truncate(int64_t size);
  [[nodiscard]] bool Sync();

  // The journal of an edit: begun before its first write, committed when
  // the edit is complete, rolled back when it failed (the file is then
  // closed: its contents changed under the cache). Beginning takes the
  // file's edit lock, held until the commit or rollback, and fails with
  // EAGAIN while another edit holds it, EEXIST while a journal of an
  // interrupted edit waits to be recovered, and ESTALE when the file is no
  // longer what was opened (shortened, grown, replaced or deleted by
  // someone else since).
  [[nodiscard]] bool BeginJournal();
  [[nodiscard]] bool CommitJournal();
  [[nodiscard]] bool RollbackJournal();
  bool Journaling() const { return journal_.Active(); }
  // Whether anything was written or truncated since the journal began.
  bool Changed() const { return changed_; }
  // Saves the original bytes of a range ahead of the writes that will
  // replace them (one durable append instead of one per write).
  [[nodiscard]] bool Protect(int64_t offset, int64_t size);

 private:
  static constexpr size_t kBlockSize = 64 * 1024;
  bool Fail(int error);
  // Turns a position in the window into one in the file; false when
  // [offset, offset + size) does not lie inside the window.
  bool Place(int64_t& offset, int64_t size) const;
  int64_t FileSize();
  // Reads the file itself (not the trial's layer) into the block cache's
  // buffer: the bytes got, fewer at its end; false on a read error.
  bool ReadOwn(int64_t offset, uint8_t* buffer, size_t size, size_t& got);

  int fd_ = -1;
  std::string path_;
  int error_ = 0;
  std::vector<uint8_t> cache_;
  int64_t cacheStart_ = -1;  // file offset of cache_[0]; -1 when empty
  belmora::RollbackJournal journal_;
  bool changed_ = false;
  int64_t windowStart_ = 0;
  int64_t windowSize_ = -1;  // -1: the whole file
  // The length the file had when opened, as changed by our own writes
  // since; an edit begun on a file of another length would write at
  // positions that no longer mean what they did.
  int64_t knownSize_ = -1;
  bool locked_ = false;
  TrialLayer trial_;
};

}  // namespace belmora
