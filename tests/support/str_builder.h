// Builds STR files of the three sector layouts for tests and samples.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "str/sector.h"

namespace belmora::test {

// One frame: its chunk header fields and bitstream (cut into 2016-byte
// chunk payloads; missing bytes are zero).
struct FrameRecipe {
  uint32_t Number = 1;
  int Chunks = 1;
  uint16_t Width = 320;
  uint16_t Height = 240;
  uint16_t Status = 0x0160;
  uint16_t Type = 0x8001;
  uint8_t Channel = 1;  // the video sectors' subheader channel
  std::vector<uint8_t> Bitstream;  // empty: a minimal version-2 MDEC header
};

// An MDEC header (code count 0, magic, scale, version) followed by zeros.
std::vector<uint8_t> MinimalBitstream(int scale = 1, int version = 2);

class StrBuilder {
 public:
  // sectorSize 2048, 2336 or 2352; riff selects the CDXA header of 2352 files.
  explicit StrBuilder(int sectorSize, bool riff = true);

  // Appends the frame's chunks as consecutive video sectors.
  void AddFrame(const FrameRecipe& frame);
  // Appends one video sector holding chunk `chunk` of `frame`.
  void AddChunk(const FrameRecipe& frame, int chunk);
  // An audio sector; data area bytes follow `fill` (sound parameters stay
  // repeated, as in real XA data).
  void AddAudio(int channel, int coding, uint8_t fill = 0);
  void AddFiller();
  // A sector with any subheader; `data` gives the start of its data area.
  void AddRaw(const Subheader& sub, const std::vector<uint8_t>& data = {});

  int SectorCount() const { return int(sectors_.size()); }
  std::vector<uint8_t> Bytes() const;
  void Write(const std::string& path) const;  // throws on failure

 private:
  struct Sector {
    Subheader Sub;
    std::array<uint8_t, kXaDataSize> Data{};  // user data in the first 2048 bytes
  };
  int sectorSize_;
  bool riff_;
  std::vector<Sector> sectors_;
};

// A movie with audio interleaved at a fixed period.
struct MovieRecipe {
  int SectorSize = 2352;
  bool Riff = true;
  int Frames = 10;
  std::vector<int> ChunkPattern = {9};  // chunks of frame i: entry i % size
  uint32_t FirstNumber = 1;
  uint16_t Width = 320;
  uint16_t Height = 240;
  int AudioCoding = -1;  // -1: no audio sectors
  int AudioChannel = 0;
  int Interleave = 8;  // one audio sector every Interleave sectors
  int AudioPhase = 7;  // index of the first audio sector
  int TrailingFillers = 0;
  // Bitstream of frame i (0-based); unset: a minimal header.
  std::function<std::vector<uint8_t>(int)> Bitstream;
};

StrBuilder BuildMovie(const MovieRecipe& recipe);

// A unique path in the test temporary directory.
std::string TempPath(const std::string& name);

}  // namespace belmora::test
