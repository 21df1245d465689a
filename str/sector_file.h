// A file accessed by position: every access is a seek followed by a small
// read or write. Reads go through a block cache, since the frame scans read
// a few bytes from every sector.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace belmora {

class SectorFile {
 public:
  enum class Mode { kReadWrite, kReadOnly, kCreate };

  SectorFile() = default;
  SectorFile(const SectorFile&) = delete;
  SectorFile& operator=(const SectorFile&) = delete;
  ~SectorFile() { Close(); }

  // Opens `path`; false on failure, with `Error()` holding errno.
  bool Open(const std::string& path, Mode mode);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  int Error() const { return error_; }

  // Whole-or-nothing transfers: false when fewer bytes than asked could be
  // read or written.
  bool ReadAt(int64_t offset, void* buffer, size_t size);
  bool WriteAt(int64_t offset, const void* buffer, size_t size);
  int64_t Size();

 private:
  static constexpr size_t kBlockSize = 64 * 1024;
  bool Seek(int64_t offset);

  std::FILE* file_ = nullptr;
  int error_ = 0;
  std::vector<uint8_t> cache_;
  int64_t cacheStart_ = -1;  // file offset of cache_[0]; -1 when empty
};

}  // namespace belmora
