#include "tests/support/disc_files.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "tests/support/mdec_builder.h"

namespace belmora::test {

std::vector<uint8_t> DiscFrameBitstream(int width, int height, int index, int seed) {
  std::mt19937 random(uint32_t(seed * 1000 + index));
  const int scale = 4 + index % 3 * 2;
  auto levels = RandomLevels(width, height, random, 2 + index % 3);
  // Within range, so that decoders that round and place chroma differently
  // agree on the luma; fewer details until the frame fits its chunks.
  for (int budgetScale = 4;; budgetScale *= 2) {
    auto kept = levels;
    for (auto& mb : kept)
      for (int b = 0; b < 6; b++) {
        mb[b][0] = int16_t((mb[b][0] / 2) & ~3);
        int budget = (b < 2 ? 40 : 120) * 4 / budgetScale;
        for (int k = 1; k < 64; k++) {
          const int step = QuantMatrix[ZigzagOrder[k]] * scale / 16 + 1;
          const int allowed = budget / step;
          mb[b][k] = int16_t(std::clamp<int>(mb[b][k], -allowed, allowed));
          budget -= std::abs(mb[b][k]) * step;
        }
      }
    auto bits = EncodeLevels(kept, 2, scale);
    if (bits.size() <= size_t(kDiscFrameChunks) * kChunkPayloadSize || budgetScale > 1024)
      return bits;
  }
}

namespace {

struct Chunk {
  FrameRecipe Frame;
  int Number = 0;
  bool Garbled = false;  // its header overwritten, its payload intact
  int FillersBefore = 0;  // sectors of nothing laid before it
};

// The chunks of a movie in order.
std::vector<Chunk> MovieChunks(int channel, int width, int height, uint32_t firstNumber,
                               int frames, int seed, int firstIndex = 0) {
  std::vector<Chunk> chunks;
  for (int i = 0; i < frames; i++) {
    FrameRecipe f;
    f.Number = firstNumber + uint32_t(i);
    f.Chunks = kDiscFrameChunks;
    f.Width = uint16_t(width);
    f.Height = uint16_t(height);
    f.Channel = uint8_t(channel);
    f.Bitstream = DiscFrameBitstream(width, height, firstIndex + i, seed);
    for (int c = 0; c < f.Chunks; c++) chunks.push_back({f, c});
  }
  return chunks;
}

// Sound of each channel every 16 sectors (18.9 kHz stereo at double
// speed), the video sectors of the streams taken in turn between them.
StrBuilder Lay(const std::vector<std::vector<Chunk>>& streams, const std::vector<int>& sound) {
  StrBuilder b(2352);
  std::vector<size_t> next(streams.size(), 0);
  size_t turn = 0;
  for (int i = 0;; i++) {
    bool left = false;
    for (size_t k = 0; k < streams.size(); k++) left |= next[k] < streams[k].size();
    if (!left) break;
    const int slot = i % 16;
    if (slot == 15 || (sound.size() > 1 && slot == 7)) {
      const int channel = sound[slot == 15 ? 0 : 1];
      b.AddAudio(channel, kCoding189Stereo, uint8_t(0x21 + 0x22 * channel));
      continue;
    }
    while (next[turn % streams.size()] >= streams[turn % streams.size()].size()) turn++;
    const Chunk& c = streams[turn % streams.size()][next[turn % streams.size()]++];
    for (int f = 0; f < c.FillersBefore; f++) b.AddFiller();
    if (c.Garbled) {
      std::vector<uint8_t> data(kUserDataSize, 0xA5);
      const size_t from = size_t(c.Number) * kChunkPayloadSize;
      const auto& bits = c.Frame.Bitstream;
      if (from < bits.size())
        std::copy(bits.begin() + long(from),
                  bits.begin() + long(std::min(bits.size(), from + kChunkPayloadSize)),
                  data.begin() + kChunkHeaderSize);
      Subheader sub = kVideoSubheader;
      sub.Channel = c.Frame.Channel;
      b.AddRaw(sub, data);
    } else {
      b.AddChunk(c.Frame, c.Number);
    }
    turn++;
  }
  return b;
}

}  // namespace

StrBuilder BuildDiscFile(DiscFileKind kind) {
  const int n = kDiscMovieFrames;
  std::vector<Chunk> first = MovieChunks(0, 320, 240, 1, n, 1);
  switch (kind) {
    case DiscFileKind::kClean:
      break;
    case DiscFileKind::kInterleaved:
      return Lay({first, MovieChunks(1, 256, 224, 1, n, 2)}, {0, 1});
    case DiscFileKind::kLostSector:
    case DiscFileKind::kLostFirstChunk: {
      const int lost = kind == DiscFileKind::kLostSector ? 2 : 0;
      std::erase_if(first, [lost](const Chunk& c) {
        return c.Frame.Number == uint32_t(kDamagedFrameNumber) && c.Number == lost;
      });
      break;
    }
    case DiscFileKind::kBackToBack: {
      auto second = MovieChunks(0, 320, 240, 1, n, 3);
      first.insert(first.end(), second.begin(), second.end());
      break;
    }
    case DiscFileKind::kSizeChange: {
      first = MovieChunks(0, 320, 240, 1, 20, 1);
      auto rest = MovieChunks(0, 320, 224, 21, n - 20, 1, 20);
      first.insert(first.end(), rest.begin(), rest.end());
      break;
    }
    case DiscFileKind::kLongGap:
      for (Chunk& c : first)
        if (c.Frame.Number == uint32_t(kDamagedFrameNumber) && c.Number == 0) c.FillersBefore = 400;
      break;
    case DiscFileKind::kStrayChunk:
    case DiscFileKind::kStrayFrame:
    case DiscFileKind::kStrayLow:
      for (Chunk& c : first)
        if (c.Frame.Number == uint32_t(kStrayFrameNumber) &&
            (kind != DiscFileKind::kStrayChunk || c.Number == 1))
          c.Frame.Number = kind == DiscFileKind::kStrayLow ? 3 : 99;
      break;
    case DiscFileKind::kSwappedFrames: {
      const auto at = first.begin() + (kStrayFrameNumber - 1) * kDiscFrameChunks;
      std::rotate(at, at + kDiscFrameChunks, at + 2 * kDiscFrameChunks);
      break;
    }
    case DiscFileKind::kGarbledHeader:
      for (Chunk& c : first)
        c.Garbled = c.Frame.Number == uint32_t(kDamagedFrameNumber) && c.Number == 1;
      break;
  }
  return Lay({first}, {0});
}

}  // namespace belmora::test
