// Writes sectors (their user data) of the game movie layouts, byte by byte
// as the published layouts give them, for the format tests.
#pragma once

#include <cstdint>
#include <vector>

namespace belmora::test {

struct GameVideoFields {
  uint32_t FrameNumber = 1;
  int ChunkNumber = 0;
  int ChunkCount = 1;
  uint32_t DataSize = 0;
  int Width = 320;
  int Height = 240;
  uint8_t Header[8] = {};  // the frame header copy (bytes 20..27) where there is one
};

// 0x80010160 sectors: the standard layout (frame version in the header copy).
std::vector<uint8_t> StandardVideoSector(const GameVideoFields& f);
// Final Fantasy VII: magic 0x80010160, bytes 20..27 unknown (filled with `fill`).
std::vector<uint8_t> Ff7VideoSector(const GameVideoFields& f, uint8_t fill);
// Serial Experiments Lain: two-byte frame number, bytes 10..11 `fill`,
// size = every byte of the frame's chunks, header copy with version 0.
std::vector<uint8_t> LainVideoSector(const GameVideoFields& f, uint8_t fill);
// .iki: code count, 0x3800, width and height again.
std::vector<uint8_t> IkiVideoSector(const GameVideoFields& f, int codes);
// Final Fantasy VIII: "SMJ\1", chunk, chunks - 1, frame (2 bytes).
std::vector<uint8_t> Ff8VideoSector(int chunk, int chunks, int frame);
// Final Fantasy VIII sound: "SMN\1" (left) or "SMR\1", the AKAO block at 256
// with its size at 288, `units` bytes of sound at 368.
std::vector<uint8_t> Ff8SoundSector(int channel, int chunks, int frame,
                                    const std::vector<uint8_t>& units);
// Final Fantasy IX: sound sectors (magic 0x00080160, chunks 0 and 1) with
// the AKAO block at 128 and units at 208; video sectors (magic 0x00040160)
// of 2324 bytes with the size / 4 at 12.
std::vector<uint8_t> Ff9SoundSector(int channel, uint32_t frame,
                                    const std::vector<uint8_t>& units);
std::vector<uint8_t> Ff9StrangeSoundSector(int channel, uint32_t frame);
std::vector<uint8_t> Ff9VideoSector(const GameVideoFields& f);
// Chrono Cross / Legend of Mana sound: magic 0x00000160 (or another of its
// four), index, 2, frame (2 bytes), AKAO block at 128, units at 208.
std::vector<uint8_t> ChronoCrossSoundSector(uint32_t magic, int channel, int frame,
                                            const std::vector<uint8_t>& units);

}  // namespace belmora::test
