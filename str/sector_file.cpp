#include "str/sector_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace belmora {

namespace {
#ifdef _WIN32
int SeekFile(std::FILE* f, int64_t off) {
  return _fseeki64(f, off, SEEK_SET);
}
int64_t TellFile(std::FILE* f) {
  return _ftelli64(f);
}
int SeekEnd(std::FILE* f) {
  return _fseeki64(f, 0, SEEK_END);
}
#else
int SeekFile(std::FILE* f, int64_t off) {
  return fseeko(f, off_t(off), SEEK_SET);
}
int64_t TellFile(std::FILE* f) {
  return ftello(f);
}
int SeekEnd(std::FILE* f) {
  return fseeko(f, 0, SEEK_END);
}
#endif
}  // namespace

bool SectorFile::Open(const std::string& path, Mode mode) {
  Close();
  const char* how = mode == Mode::kReadWrite ? "r+b" : mode == Mode::kReadOnly ? "rb" : "w+b";
  errno = 0;
  file_ = std::fopen(path.c_str(), how);
  error_ = file_ ? 0 : errno;
  return file_ != nullptr;
}

void SectorFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  cacheStart_ = -1;
}

bool SectorFile::Seek(int64_t offset) {
  return offset >= 0 && SeekFile(file_, offset) == 0;
}

bool SectorFile::ReadAt(int64_t offset, void* buffer, size_t size) {
  if (!file_ || offset < 0) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    if (cacheStart_ < 0 || offset < cacheStart_ || offset >= cacheStart_ + int64_t(cache_.size())) {
      int64_t start = offset - offset % int64_t(kBlockSize);
      cache_.resize(kBlockSize);
      if (!Seek(start)) return false;
      size_t got = std::fread(cache_.data(), 1, kBlockSize, file_);
      cache_.resize(got);
      cacheStart_ = start;
      if (offset >= start + int64_t(got)) return false;  // end of file
    }
    size_t at = size_t(offset - cacheStart_);
    size_t n = std::min(size, cache_.size() - at);
    std::memcpy(out, cache_.data() + at, n);
    out += n;
    offset += int64_t(n);
    size -= n;
  }
  return true;
}

bool SectorFile::WriteAt(int64_t offset, const void* buffer, size_t size) {
  if (!file_ || !Seek(offset)) return false;
  // Written through at once: nothing of a user's file waits in a buffer.
  size_t put = std::fwrite(buffer, 1, size, file_);
  if (std::fflush(file_) != 0) put = 0;
  // Write through into the cached block so that it stays what the file holds.
  if (cacheStart_ >= 0) {
    int64_t cacheEnd = cacheStart_ + int64_t(cache_.size());
    int64_t end = offset + int64_t(size);
    if (put != size || (end > cacheEnd && offset < cacheStart_ + int64_t(kBlockSize))) {
      cacheStart_ = -1;  // short write, or the file grew inside the block
    } else if (offset < cacheEnd && end > cacheStart_) {
      int64_t from = std::max(offset, cacheStart_);
      int64_t to = std::min(end, cacheEnd);
      std::memcpy(cache_.data() + (from - cacheStart_),
                  static_cast<const uint8_t*>(buffer) + (from - offset), size_t(to - from));
    }
  }
  return put == size;
}

int64_t SectorFile::Size() {
  if (!file_ || SeekEnd(file_) != 0) return -1;
  return TellFile(file_);
}

}  // namespace belmora
