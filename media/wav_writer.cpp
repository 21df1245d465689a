#include "media/wav_writer.h"

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
  ok &= std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok &= std::fclose(f) == 0;
  return ok;
}

}  // namespace belmora
