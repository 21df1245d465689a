// What the fuzz targets share: the input as a file that the readers open by
// path, a host that keeps every message to itself, and a reader of the
// parameter bytes some targets take from the front of their input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/host.h"

namespace belmora::fuzz {

// A file in memory (memfd) holding the current input. Its path opens it like
// any file, so the readers take it through their ordinary open calls, and
// nothing reaches the disk.
class InputFile {
 public:
  InputFile();
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Replaces the file's contents with `size` bytes of `data`.
  void Set(const uint8_t* data, size_t size);
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Shows nothing and answers every question with No or Cancel.
class QuietHost : public Host {
 public:
  void ShowMessage(const std::string&, const std::string&, MessageKind) override { messages++; }
  Answer Ask(const std::string&, const std::string&, Buttons buttons) override {
    return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kCancel;
  }
  int messages = 0;
};

// Takes little-endian fields off the front of an input; zeros once it is used up.
class FieldReader {
 public:
  FieldReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t U8() { return at_ < size_ ? data_[at_++] : (at_++, 0); }
  uint16_t U16() {
    uint16_t lo = U8();
    return uint16_t(lo | U8() << 8);
  }
  uint32_t U32() {
    uint32_t lo = U16();
    return lo | uint32_t(U16()) << 16;
  }
  // What is left after the fields taken so far.
  const uint8_t* Rest() const { return data_ + (at_ < size_ ? at_ : size_); }
  size_t RestSize() const { return at_ < size_ ? size_ - at_ : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Stops the run with a message when a property the code promises fails.
#define FUZZ_CHECK(cond)                                                          \
  do {                                                                            \
    if (!(cond)) {                                                                \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

}  // namespace belmora::fuzz
