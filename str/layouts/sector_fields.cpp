#include "str/layouts/sector_fields.h"

#include <cstring>

#include "base/bytes.h"

namespace belmora::layout {

GameChunk ReadCommon(const uint8_t* p) {
  GameChunk c;
  c.ChunkNumber = GetU16(p + 4);
  c.ChunkCount = GetU16(p + 6);
  c.FrameNumber = GetU32(p + 8);
  c.DataSize = GetU32(p + 12);
  c.Width = GetU16(p + 16);
  c.Height = GetU16(p + 18);
  return c;
}

void WriteCommon(const GameChunk& c, uint8_t* p) {
  PutU16(p + 4, uint32_t(c.ChunkNumber));
  PutU16(p + 6, uint32_t(c.ChunkCount));
  PutU32(p + 8, c.FrameNumber);
  PutU32(p + 12, c.DataSize);
  PutU16(p + 16, uint32_t(c.Width));
  PutU16(p + 18, uint32_t(c.Height));
}

bool PlausibleChunk(const GameChunk& c) {
  return c.ChunkCount >= 1 && c.ChunkCount <= 40 && c.ChunkNumber < c.ChunkCount;
}

bool PlausibleSize(const GameChunk& c) {
  return c.Width >= 1 && c.Height >= 1 && c.Width <= 1024 && c.Height <= 1024;
}

std::optional<GameChunk> ReadStandardLike(std::span<const uint8_t> user, bool (*version)(int)) {
  if (!Has(user, 32)) return std::nullopt;
  const uint8_t* p = user.data();
  if ((GetU16(p) & 0xF0) != 0x60 || GetU16(p + 2) != 0x8001 || GetU16(p + 22) != kFrameMagic ||
      !version(GetU16(p + 26)))
    return std::nullopt;
  GameChunk c = ReadCommon(p);
  if (!PlausibleChunk(c)) return std::nullopt;
  return c;
}

std::optional<GameChunk> ReadLooseStandard(std::span<const uint8_t> user) {
  if (!Has(user, 32)) return std::nullopt;
  const uint8_t* p = user.data();
  if (GetU32(p) != kMagic80010160 || GetU32(p + 28) != 0) return std::nullopt;
  GameChunk c = ReadCommon(p);
  if (!PlausibleChunk(c) || !PlausibleSize(c)) return std::nullopt;
  return c;
}

bool SaysStandardVersion(std::span<const uint8_t> frame) {
  if (frame.size() < 8 || GetU16(frame.data() + 2) != kFrameMagic) return false;
  const int version = GetU16(frame.data() + 6);
  return version == 2 || version == 3;
}

std::optional<SoundPayload> AkaoSound(std::span<const uint8_t> user, int akao, int data,
                                      int defaultRate) {
  if (!Has(user, 2048) || std::memcmp(user.data() + akao, "AKAO", 4) != 0) return std::nullopt;
  // The block's size field says how many bytes of units follow it; the
  // units end with the user data at most.
  const uint32_t size = GetU32(user.data() + akao + 32);
  if (size == 0 || size % 16 != 0 || size > uint32_t(2048 - data)) return std::nullopt;
  const uint32_t pitch = GetU32(user.data() + akao + 28);
  int rate = defaultRate;
  if (pitch == 0x116A) {
    rate = 48000;
  } else if (pitch != 0) {
    // A rate outside 4 to 48 kHz is damage, not a rate.
    if (pitch < 0x0174 || pitch > 0x116A) return std::nullopt;
    rate = int((uint64_t(pitch) * 44100 + 2048) / 4096);
  }
  return SoundPayload{data, int(size), rate};
}

}  // namespace belmora::layout
