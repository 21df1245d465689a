// Builds XA files of sound only: several channels interleaved sector by
// sector, each channel's sectors encoded from a sound of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace belmora::test {

struct XaChannelRecipe {
  int Channel = 0;
  int Coding = 0x01;  // CodingInfo: 37.8 kHz stereo
  int Sectors = 4;
  std::vector<int16_t> Left, Right;  // the sound encoded (zeros past the end)
};

struct XaFileRecipe {
  int SectorSize = 2336;  // or 2352 (with the RIFF header)
  // Channels take sectors in turn: channel 0's first, channel 1's first, ...
  // until every channel has had its sectors.
  std::vector<XaChannelRecipe> Channels;
};

// The file's bytes; the 2336-byte image of every audio sector of channel
// `recipe.Channels[k]` is noted in `images[k]` when given.
std::vector<uint8_t> BuildXaFile(const XaFileRecipe& recipe,
                                 std::vector<std::vector<std::vector<uint8_t>>>* images = nullptr);

}  // namespace belmora::test
