#include "str/sector.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

namespace belmora {

std::array<uint8_t, kCdxaHeaderSize> MakeCdxaHeader(uint32_t riffSize, uint32_t dataSize) {
  std::array<uint8_t, kCdxaHeaderSize> h{};
  std::memcpy(&h[0], "RIFF", 4);
  PutU32(&h[4], riffSize);
  std::memcpy(&h[8], "CDXA", 4);
  std::memcpy(&h[12], "fmt ", 4);
  PutU32(&h[16], 16);
  static const uint8_t kFmtBody[16] = {0, 0, 0, 0, 0x3D, 0x55, 'X', 'A', 1, 0, 0, 0, 0, 0, 0, 0};
  std::memcpy(&h[20], kFmtBody, 16);
  std::memcpy(&h[36], "data", 4);
  PutU32(&h[40], dataSize);
  return h;
}

VideoChunkHeader VideoChunkHeader::Parse(const uint8_t* p) {
  VideoChunkHeader h;
  h.Status = GetU16(p);
  h.Type = GetU16(p + 2);
  h.ChunkNumber = GetU16(p + 4);
  h.ChunkCount = GetU16(p + 6);
  h.FrameNumber = GetU32(p + 8);
  h.FrameDataSize = GetU32(p + 12);
  h.Width = GetU16(p + 16);
  h.Height = GetU16(p + 18);
  std::memcpy(h.MdecHeader.data(), p + 20, 8);
  h.Reserved = GetU32(p + 28);
  return h;
}

void VideoChunkHeader::Store(uint8_t* p) const {
  PutU16(p, Status);
  PutU16(p + 2, Type);
  PutU16(p + 4, ChunkNumber);
  PutU16(p + 6, ChunkCount);
  PutU32(p + 8, FrameNumber);
  PutU32(p + 12, FrameDataSize);
  PutU16(p + 16, Width);
  PutU16(p + 18, Height);
  std::memcpy(p + 20, MdecHeader.data(), 8);
  PutU32(p + 28, Reserved);
}

std::optional<DetectedLayout> DetectLayout(std::span<const uint8_t> head) {
  // Bytes past the end of a short file read as zero, as they would from a
  // zero-filled buffer; no rule matches on zeros alone.
  uint8_t b[kUserDataSize] = {};
  if (!head.empty()) std::memcpy(b, head.data(), std::min(head.size(), sizeof b));

  DetectedLayout d;
  if (std::memcmp(b, "RIFF", 4) == 0) {
    d.Layout = kLayout2352;
    d.HasRiffHeader = true;
    d.FirstSectorSkipped = IsSkippedSector(Subheader::Parse(b + 60));
    if (!d.FirstSectorSkipped) {
      d.Width = GetU16(b + 84);
      d.Height = GetU16(b + 86);
    }
    return d;
  }
  if (std::memcmp(b, kSyncHeader.data(), 12) == 0) {
    d.Layout = kLayout2352Raw;
    d.FirstSectorSkipped = IsSkippedSector(Subheader::Parse(b + 16));
    if (!d.FirstSectorSkipped) {
      d.Width = GetU16(b + 40);
      d.Height = GetU16(b + 42);
    }
    return d;
  }
  bool subheaderTwice = std::memcmp(b, b + 4, 4) == 0;
  if (subheaderTwice && b[42] == 0x00 && b[43] == 0x38 && (b[46] & 0xFE) == 2) {
    d.Layout = kLayout2336;
    d.Width = GetU16(b + 24);
    d.Height = GetU16(b + 26);
    return d;
  }
  if (subheaderTwice && std::memcmp(b + 8, b + 12, 4) == 0 && IsAudioSector(Subheader::Parse(b))) {
    d.Layout = kLayout2336;
    d.FirstSectorSkipped = true;
    return d;
  }
  if (b[34] == 0x00 && b[35] == 0x38 && (b[38] & 0xFE) == 2) {
    d.Layout = kLayout2048;
    d.Width = GetU16(b + 16);
    d.Height = GetU16(b + 18);
    return d;
  }
  return std::nullopt;
}

}  // namespace belmora
