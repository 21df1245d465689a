// The writes of a trial run kept beside the file instead of in it: the
// file itself is only read, and what the run writes lies in a temporary
// file of its own (unlinked, at the same offsets) that reads see through.
// A trial of an edit of a file inside a disc image so costs what the edit
// writes, not a copy of the image.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace belmora {

class TrialLayer {
 public:
  TrialLayer() = default;
  TrialLayer(const TrialLayer&) = delete;
  TrialLayer& operator=(const TrialLayer&) = delete;
  ~TrialLayer() { Close(); }

  // Starts a layer over a file now `length` bytes long; false with errno
  // when its temporary file cannot be made.
  bool Open(int64_t length);
  void Close();
  bool Active() const { return fd_ >= 0; }
  // The file's length as the trial has it.
  int64_t Length() const { return length_; }

  // Reads [offset, offset + size) of the file: `base` reads the file itself
  // (returning the bytes it got, fewer at its end); what the trial wrote is
  // taken from the layer, what lies past a cut reads as zeros. False on a
  // read error of the layer.
  using BaseRead = std::function<bool(int64_t offset, uint8_t* buffer, size_t size, size_t& got)>;
  bool Read(int64_t offset, uint8_t* buffer, size_t size, const BaseRead& base);
  // Writes into the layer; the file's length grows with writes past it.
  bool Write(int64_t offset, const uint8_t* data, size_t size, const BaseRead& base);
  // Changes the trial's length; bytes past a shortening read as zeros when
  // the length grows again.
  void Cut(int64_t length);
  // Forgets every write: the file as it is.
  void Clear(int64_t length);

 private:
  static constexpr int64_t kBlock = 4096;
  bool Written(int64_t block) const {
    return block < int64_t(written_.size()) && written_[size_t(block)];
  }
  // Puts block `b` into the layer as the trial sees it now.
  bool Adopt(int64_t b, const BaseRead& base);

  int fd_ = -1;
  int64_t length_ = 0;
  int64_t cut_ = INT64_MAX;  // file bytes from here on are no longer the trial's
  std::vector<bool> written_;  // per block: the layer holds it
};

}  // namespace belmora
