#include "media/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/bytes.h"

namespace belmora {

std::vector<uint8_t> WavHeader(int rate, int channels, int bits, uint32_t dataBytes) {
  std::vector<uint8_t> h(44, 0);
  const int blockAlign = channels * bits / 8;
  std::memcpy(&h[0], "RIFF", 4);
  PutU32(&h[4], 36 + dataBytes);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  PutU32(&h[16], 16);
  PutU16(&h[20], 1);  // PCM
  PutU16(&h[22], uint32_t(channels));
  PutU32(&h[24], uint32_t(rate));
  PutU32(&h[28], uint32_t(rate * blockAlign));
  PutU16(&h[32], uint32_t(blockAlign));
  PutU16(&h[34], uint32_t(bits));
  std::memcpy(&h[36], "data", 4);
  PutU32(&h[40], dataBytes);
  return h;
}

bool WriteWavFile(const std::string& path, int rate, int channels, int bits,
                  const std::vector<uint8_t>& data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  auto header = WavHeader(rate, channels, bits, uint32_t(data.size()));
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  if (!data.empty()) ok &= std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok &= std::fclose(f) == 0;
  return ok;
}

}  // namespace belmora

namespace belmora {

WavStreamWriter::~WavStreamWriter() {
  if (file_) std::fclose(file_);
}

bool WavStreamWriter::Open(const std::string& path, int rate, int channels, int bits) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    error_ = errno ? errno : EIO;
    return false;
  }
  // Our own buffer does the gathering.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  rate_ = rate;
  channels_ = channels;
  bits_ = bits;
  buffer_.resize(kBufferSize);
  // The header with sizes of zero for now.
  auto header = WavHeader(rate, channels, bits, 0);
  std::memcpy(buffer_.data(), header.data(), header.size());
  fill_ = header.size();
  return true;
}

bool WavStreamWriter::Flush() {
  if (fill_ > 0 && !failed_ && std::fwrite(buffer_.data(), 1, fill_, file_) != fill_) {
    failed_ = true;
    error_ = errno ? errno : EIO;
  }
  fill_ = 0;
  return !failed_;
}

bool WavStreamWriter::Write(const uint8_t* data, size_t size) {
  if (!file_ || failed_) return false;
  dataBytes_ += size;
  while (size > 0) {
    if (fill_ == buffer_.size() && !Flush()) return false;
    const size_t n = std::min(size, buffer_.size() - fill_);
    std::memcpy(buffer_.data() + fill_, data, n);
    fill_ += n;
    data += n;
    size -= n;
  }
  return true;
}

bool WavStreamWriter::Close() {
  if (!file_) return false;
  bool ok = Flush();
  if (ok) {
    // The sizes, as WriteWavFile writes them (wrapping past 4 GB).
    auto header = WavHeader(rate_, channels_, bits_, uint32_t(dataBytes_));
    ok = std::fseek(file_, 0, SEEK_SET) == 0 &&
         std::fwrite(header.data(), 1, header.size(), file_) == header.size();
    if (!ok) error_ = errno ? errno : EIO;
  }
  if (std::fclose(file_) != 0 && ok) {
    error_ = errno ? errno : EIO;
    ok = false;
  }
  file_ = nullptr;
  return ok;
}

}  // namespace belmora
