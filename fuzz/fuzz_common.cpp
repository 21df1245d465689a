#include "fuzz/fuzz_common.h"

#include <sys/mman.h>
#include <unistd.h>

namespace belmora::fuzz {

InputFile::InputFile() {
  fd_ = memfd_create("belmora-fuzz-input", 0);
  if (fd_ < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

InputFile::~InputFile() {
  if (fd_ >= 0) close(fd_);
}

void InputFile::Set(const uint8_t* data, size_t size) {
  if (ftruncate(fd_, 0) != 0) std::abort();
  size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(fd_, data + done, size - done, off_t(done));
    if (n <= 0) std::abort();
    done += size_t(n);
  }
}

}  // namespace belmora::fuzz
