// Reading PCM sound from a RIFF WAVE file (16 or 8 bits, one or two channels).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/input_file.h"

namespace belmora {

struct WavData {
  int Rate = 0;
  int Channels = 0;
  int Bits = 0;                  // as stored
  std::vector<int16_t> Samples;  // interleaved, 16-bit
  // Sample frames the file holds (its data chunk, as far as the file goes):
  // those in Samples, unless there were more than the reader was to take.
  int64_t TotalFrames = 0;
  int64_t Frames() const { return Channels ? int64_t(Samples.size()) / Channels : 0; }
};

// Reads a regular file of at most kMaxWavBytes, in pieces, as 8- or 16-bit
// PCM of one or two channels. When it holds more than `maxFrames` sample
// frames (given when the caller needs no more), none are read: TotalFrames
// says how many there are. The status says why a file was refused (not a
// regular file, too large, no RIFF WAVE, not such PCM, a read error, no
// memory).
InputStatus ReadWavFile(const std::string& path, WavData& out, int64_t maxFrames = -1);

}  // namespace belmora
