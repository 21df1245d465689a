// Writing PCM sound as a RIFF WAVE file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace belmora {

// The 44-byte header of a PCM WAVE file holding `dataBytes` bytes.
std::vector<uint8_t> WavHeader(int rate, int channels, int bits, uint32_t dataBytes);
// Writes header and data; false when the file cannot be written.
bool WriteWavFile(const std::string& path, int rate, int channels, int bits,
                  const std::vector<uint8_t>& data);

}  // namespace belmora
