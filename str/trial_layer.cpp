#include "str/trial_layer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace belmora {

namespace {

// An unlinked temporary file: nothing to remove afterwards, whatever ends
// the run.
int TemporaryFile() {
  std::error_code ec;
  std::string dir = std::filesystem::temp_directory_path(ec).string();
  if (ec) dir = "/tmp";
#ifdef O_TMPFILE
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
#endif
  std::string name = dir + "/belmora-trial-XXXXXX";
  const int named = ::mkostemp(name.data(), O_CLOEXEC);
  if (named >= 0) ::unlink(name.c_str());
  return named;
}

bool ReadAll(int fd, int64_t offset, uint8_t* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd, buffer + got, size - got, off_t(offset + int64_t(got)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {  // a hole at the layer's end
      std::memset(buffer + got, 0, size - got);
      return true;
    }
    got += size_t(n);
  }
  return true;
}

bool WriteAll(int fd, int64_t offset, const uint8_t* data, size_t size) {
  size_t put = 0;
  while (put < size) {
    const ssize_t n = ::pwrite(fd, data + put, size - put, off_t(offset + int64_t(put)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    put += size_t(n);
  }
  return true;
}

}  // namespace

bool TrialLayer::Open(int64_t length) {
  Close();
  fd_ = TemporaryFile();
  if (fd_ < 0) return false;
  Clear(length);
  return true;
}

void TrialLayer::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  written_.clear();
}

void TrialLayer::Clear(int64_t length) {
  written_.clear();
  length_ = length;
  cut_ = INT64_MAX;
  if (fd_ >= 0) (void)::ftruncate(fd_, 0);
}

void TrialLayer::Cut(int64_t length) {
  if (length < length_) {
    cut_ = std::min(cut_, length);
    // Blocks past the new end are the layer's no longer; the one it ends
    // in keeps its bytes before the end.
    const int64_t keep = (length + kBlock - 1) / kBlock;
    if (int64_t(written_.size()) > keep) written_.resize(size_t(keep));
    if (length % kBlock != 0 && Written(length / kBlock)) {
      const uint8_t zeros[kBlock] = {};
      (void)WriteAll(fd_, length, zeros, size_t(kBlock - length % kBlock));
    }
  }
  length_ = length;
}

bool TrialLayer::Adopt(int64_t b, const BaseRead& base) {
  uint8_t block[kBlock];
  if (!Read(b * kBlock, block, kBlock, base)) return false;
  if (!WriteAll(fd_, b * kBlock, block, kBlock)) return false;
  if (written_.size() <= size_t(b)) written_.resize(size_t(b) + 1, false);
  written_[size_t(b)] = true;
  return true;
}

bool TrialLayer::Read(int64_t offset, uint8_t* buffer, size_t size, const BaseRead& base) {
  const int64_t end = offset + int64_t(size);
  for (int64_t at = offset; at < end;) {
    const int64_t b = at / kBlock;
    const int64_t stop = std::min(end, (b + 1) * kBlock);
    uint8_t* out = buffer + (at - offset);
    const size_t n = size_t(stop - at);
    if (Written(b)) {
      if (!ReadAll(fd_, at, out, n)) return false;
    } else {
      // The file's own bytes, up to where the trial cut it.
      size_t got = 0;
      const size_t own = at < cut_ ? size_t(std::min<int64_t>(stop, cut_) - at) : 0;
      if (own > 0 && !base(at, out, own, got)) return false;
      std::memset(out + got, 0, n - got);
    }
    at = stop;
  }
  return true;
}

bool TrialLayer::Write(int64_t offset, const uint8_t* data, size_t size, const BaseRead& base) {
  const int64_t end = offset + int64_t(size);
  for (int64_t b = offset / kBlock; b * kBlock < end; b++)
    if (!Written(b) && !Adopt(b, base)) return false;
  if (!WriteAll(fd_, offset, data, size)) return false;
  length_ = std::max(length_, end);
  return true;
}

}  // namespace belmora
