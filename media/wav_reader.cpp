#include "media/wav_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/bytes.h"

namespace belmora {

bool ReadWavFile(const std::string& path, WavData& out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return false;
  bool haveFormat = false;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const uint32_t size = GetU32(&bytes[at + 4]);
    const uint8_t* body = &bytes[at + 8];
    const size_t room = bytes.size() - at - 8;
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && size >= 16 && room >= 16) {
      const int tag = GetU16(body);
      out.Channels = GetU16(body + 2);
      out.Rate = int(GetU32(body + 4));
      out.Bits = GetU16(body + 14);
      // PCM, or the extensible format holding PCM.
      haveFormat = (tag == 1 || tag == 0xFFFE) && (out.Channels == 1 || out.Channels == 2) &&
                   (out.Bits == 8 || out.Bits == 16) && out.Rate > 0;
    } else if (std::memcmp(&bytes[at], "data", 4) == 0 && haveFormat) {
      const size_t length = std::min<size_t>(size, room);
      const size_t step = size_t(out.Bits / 8);
      const size_t count = length / step / size_t(out.Channels) * size_t(out.Channels);
      out.Samples.resize(count);
      for (size_t i = 0; i < count; i++)
        out.Samples[i] = out.Bits == 16 ? int16_t(GetU16(body + 2 * i))
                                        : int16_t((int(body[i]) - 128) * 256);
      return true;
    }
    // In size_t: a chunk size near 4 GiB must not wrap around to a step of
    // nothing (a loop without end) or to a short one.
    at += 8 + size_t(size) + (size & 1);
  }
  return false;
}

}  // namespace belmora
