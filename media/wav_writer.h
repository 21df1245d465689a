// Writing PCM sound as a RIFF WAVE file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace belmora {

// The 44-byte header of a PCM WAVE file holding `dataBytes` bytes.
std::vector<uint8_t> WavHeader(int rate, int channels, int bits, uint32_t dataBytes);
// Writes header and data; false when the file cannot be written.
bool WriteWavFile(const std::string& path, int rate, int channels, int bits,
                  const std::vector<uint8_t>& data);

// A WAVE file written as its sound comes: the data gathered in a large
// buffer and written in big pieces, the header's sizes filled in by Close.
// The file is the one WriteWavFile makes of all the data at once. A failed
// write makes every later call false; Error() tells why.
class WavStreamWriter {
 public:
  WavStreamWriter() = default;
  ~WavStreamWriter();
  WavStreamWriter(const WavStreamWriter&) = delete;
  WavStreamWriter& operator=(const WavStreamWriter&) = delete;

  bool Open(const std::string& path, int rate, int channels, int bits);
  bool Write(const uint8_t* data, size_t size);
  // Writes what is buffered and the header; the file is closed either way.
  bool Close();
  uint64_t DataBytes() const { return dataBytes_; }
  // The errno of the first failure (open, write or close); 0 if none.
  int Error() const { return error_; }

 private:
  static constexpr size_t kBufferSize = 1 << 20;
  bool Flush();
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> buffer_;
  size_t fill_ = 0;
  uint64_t dataBytes_ = 0;
  int rate_ = 0, channels_ = 0, bits_ = 0;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace belmora
