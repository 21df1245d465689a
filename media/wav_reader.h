// Reading PCM sound from a RIFF WAVE file (16 or 8 bits, one or two channels).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace belmora {

struct WavData {
  int Rate = 0;
  int Channels = 0;
  int Bits = 0;                  // as stored
  std::vector<int16_t> Samples;  // interleaved, 16-bit
  int64_t Frames() const { return Channels ? int64_t(Samples.size()) / Channels : 0; }
};

// False when the file cannot be read or is not 8- or 16-bit PCM of one or
// two channels.
bool ReadWavFile(const std::string& path, WavData& out);

}  // namespace belmora
