#include "str/game_formats.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/bytes.h"

namespace belmora {

namespace {

constexpr uint32_t kMagic80010160 = 0x80010160;
constexpr uint32_t kMagic81010160 = 0x81010160;  // Chrono Cross, second disc
constexpr uint32_t kFf9Magic = 0x00080160;       // sound sectors (and video, by some accounts)
constexpr uint32_t kFf9VideoMagic = 0x00040160;  // video sectors
constexpr uint16_t kFrameMagic = 0x3800;
constexpr int kPayload = 2016;

constexpr GameFormatInfo kInfos[] = {
    {GameFormat::kStandard, "STR (MDEC v2/v3)", FrameCoding::kStandard, SoundCoding::kXaAdpcm, 0,
     0, 0, 32, kPayload, 2048, false, 0, 0, true, true},
    {GameFormat::kVersion1, "STR (MDEC v1)", FrameCoding::kVersion1, SoundCoding::kXaAdpcm, 0, 0,
     0, 32, kPayload, 2048, false, 0, 0, true, true},
    {GameFormat::kFf7, "Final Fantasy VII", FrameCoding::kVersion1, SoundCoding::kXaAdpcm, 0, 0,
     0, 32, kPayload, 2048, false, 0, 0, true, true},
    {GameFormat::kFf8, "Final Fantasy VIII", FrameCoding::kStandard, SoundCoding::kSpuAdpcm,
     44100, 10, 2, 8, 2040, 2048, false, 320, 224, true, true},
    // Some of its movies keep extra data after a frame's data, marked in the
    // chunk header of the sector where the frame ends; that is not known
    // well enough to move it: its pictures are read, never written.
    {GameFormat::kFf9, "Final Fantasy IX", FrameCoding::kStandard, SoundCoding::kSpuAdpcm, 0, 10,
     2, 32, 2292, 2324, true, 0, 0, false, true},
    {GameFormat::kChronoCross, "Chrono Cross / Legend of Mana", FrameCoding::kStandard,
     SoundCoding::kSpuAdpcm, 44100, 10, 2, 32, kPayload, 2048, false, 0, 0, true, true},
    {GameFormat::kLain, "Serial Experiments Lain", FrameCoding::kLain, SoundCoding::kXaAdpcm, 0,
     0, 0, 32, kPayload, 2048, false, 0, 0, true, true},
    {GameFormat::kIki, "iki", FrameCoding::kIki, SoundCoding::kXaAdpcm, 0, 0, 0, 32, kPayload,
     2048, false, 0, 0, true, true},
};

bool Has(std::span<const uint8_t> user, size_t bytes) { return user.size() >= bytes; }

// The fields every 0x0160-style chunk header shares.
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

bool PlausibleChunk(const GameChunk& c) {
  return c.ChunkCount >= 1 && c.ChunkCount <= 40 && c.ChunkNumber < c.ChunkCount;
}

bool PlausibleSize(const GameChunk& c) {
  return c.Width >= 1 && c.Height >= 1 && c.Width <= 1024 && c.Height <= 1024;
}

void WriteCommon(const GameChunk& c, uint8_t* p) {
  PutU16(p + 4, uint32_t(c.ChunkNumber));
  PutU16(p + 6, uint32_t(c.ChunkCount));
  PutU32(p + 8, c.FrameNumber);
  PutU32(p + 12, c.DataSize);
  PutU16(p + 16, uint32_t(c.Width));
  PutU16(p + 18, uint32_t(c.Height));
}

bool HasAkao(std::span<const uint8_t> user, size_t at) {
  return Has(user, at + 4) && std::memcmp(user.data() + at, "AKAO", 4) == 0;
}

// The standard header test, with the version words a format takes.
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

std::optional<GameChunk> ReadFf8(std::span<const uint8_t> user) {
  if (!Has(user, 8)) return std::nullopt;
  const uint8_t* p = user.data();
  if (p[0] != 'S' || p[1] != 'M' || p[3] != 1 || (p[5] != 9 && p[5] != 1) || p[4] > p[5])
    return std::nullopt;
  GameChunk c;
  c.ChunkNumber = p[4];
  c.ChunkCount = p[5] + 1;
  c.FrameNumber = GetU16(p + 6);
  switch (p[2]) {
    case 'J':
      c.Width = 320;
      c.Height = 224;
      return c;
    case 'N':
    case 'R':
      c.IsSound = true;
      c.SoundChannel = p[2] == 'R';
      return c;
    default:
      return std::nullopt;
  }
}

std::optional<GameChunk> ReadFf9(std::span<const uint8_t> user) {
  if (!Has(user, 32)) return std::nullopt;
  const uint8_t* p = user.data();
  const uint32_t magic = GetU32(p);
  if (magic != kFf9Magic && magic != kFf9VideoMagic) return std::nullopt;
  GameChunk c;
  c.ChunkNumber = GetU16(p + 4);
  c.ChunkCount = GetU16(p + 6);
  c.FrameNumber = GetU32(p + 8);
  if (c.ChunkCount != 10 || c.ChunkNumber >= 10) return std::nullopt;
  if (c.ChunkNumber < 2) {
    if (magic != kFf9Magic) return std::nullopt;
    c.IsSound = true;
    c.SoundChannel = c.ChunkNumber;
    return c;
  }
  if (GetU16(p + 22) != kFrameMagic) return std::nullopt;
  c.DataSize = GetU32(p + 12) * 4;
  c.Width = GetU16(p + 16);
  c.Height = GetU16(p + 18);
  return c;
}

std::optional<GameChunk> ReadChronoCross(std::span<const uint8_t> user) {
  if (!Has(user, 32)) return std::nullopt;
  const uint8_t* p = user.data();
  const uint32_t magic = GetU32(p);
  if (magic == 0x00000160 || magic == 0x00010160 || magic == 0x01000160 ||
      magic == 0x01010160) {
    if (GetU16(p + 6) != 2 || GetU16(p + 4) >= 2 || !HasAkao(user, 128)) return std::nullopt;
    GameChunk c;
    c.IsSound = true;
    c.ChunkNumber = GetU16(p + 4);
    c.SoundChannel = c.ChunkNumber;
    c.ChunkCount = 2;
    c.FrameNumber = GetU16(p + 8);
    return c;
  }
  if ((magic != kMagic80010160 && magic != kMagic81010160) || GetU16(p + 22) != kFrameMagic)
    return std::nullopt;
  GameChunk c = ReadCommon(p);
  if (!PlausibleChunk(c)) return std::nullopt;
  return c;
}

std::optional<GameChunk> ReadLain(std::span<const uint8_t> user) {
  if (!Has(user, 32)) return std::nullopt;
  const uint8_t* p = user.data();
  if (GetU32(p) != kMagic80010160 || GetU16(p + 26) != 0 || GetU32(p + 28) != 0)
    return std::nullopt;
  GameChunk c = ReadCommon(p);
  c.FrameNumber = GetU16(p + 8);
  // The size field counts every byte the frame's chunks hold.
  if (!PlausibleChunk(c) || c.DataSize != uint32_t(c.ChunkCount) * kPayload) return std::nullopt;
  return c;
}

std::optional<GameChunk> ReadIki(std::span<const uint8_t> user) {
  if (!Has(user, 32)) return std::nullopt;
  const uint8_t* p = user.data();
  if (GetU32(p) != kMagic80010160 || GetU16(p + 22) != kFrameMagic || GetU32(p + 28) != 0 ||
      GetU16(p + 24) != GetU16(p + 16) || GetU16(p + 26) != GetU16(p + 18))
    return std::nullopt;
  GameChunk c = ReadCommon(p);
  if (!PlausibleChunk(c) || !PlausibleSize(c)) return std::nullopt;
  return c;
}

std::optional<GameChunk> ReadFf7(std::span<const uint8_t> user) {
  if (!Has(user, 32)) return std::nullopt;
  const uint8_t* p = user.data();
  if (GetU32(p) != kMagic80010160 || GetU32(p + 28) != 0) return std::nullopt;
  GameChunk c = ReadCommon(p);
  if (!PlausibleChunk(c) || !PlausibleSize(c)) return std::nullopt;
  return c;
}

}  // namespace

const GameFormatInfo& InfoOf(GameFormat format) {
  for (const GameFormatInfo& i : kInfos)
    if (i.Id == format) return i;
  return kInfos[0];
}

std::optional<GameChunk> ReadGameChunk(GameFormat format, std::span<const uint8_t> user) {
  switch (format) {
    case GameFormat::kStandard:
      return ReadStandardLike(user, [](int v) { return v == 2 || v == 3; });
    case GameFormat::kVersion1:
      return ReadStandardLike(user, [](int v) { return v == 1; });
    case GameFormat::kFf7:
      return ReadFf7(user);
    case GameFormat::kFf8:
      return ReadFf8(user);
    case GameFormat::kFf9:
      return ReadFf9(user);
    case GameFormat::kChronoCross:
      return ReadChronoCross(user);
    case GameFormat::kLain:
      return ReadLain(user);
    case GameFormat::kIki:
      return ReadIki(user);
  }
  return std::nullopt;
}

bool WriteGameChunk(GameFormat format, const GameChunk& c, std::span<const uint8_t> frameHeader,
                    std::span<uint8_t> user) {
  const GameFormatInfo& info = InfoOf(format);
  if (!info.PictureWritable || c.IsSound || !Has(user, 32)) return false;
  uint8_t* p = user.data();
  const bool headerCopy = frameHeader.size() >= 8;
  switch (format) {
    case GameFormat::kFf8:
      if (c.ChunkCount < 1 || c.ChunkCount > 256) return false;
      p[4] = uint8_t(c.ChunkNumber);
      p[5] = uint8_t(c.ChunkCount - 1);
      PutU16(p + 6, c.FrameNumber);
      return true;
    case GameFormat::kFf9:
      WriteCommon(c, p);
      PutU32(p + 12, c.DataSize / 4);
      if (headerCopy) std::memcpy(p + 20, frameHeader.data(), 8);
      return true;
    case GameFormat::kLain: {
      // The frame number takes two bytes; the two after it stay as they are.
      const uint8_t kept[2] = {p[10], p[11]};
      WriteCommon(c, p);
      p[10] = kept[0];
      p[11] = kept[1];
      PutU16(p + 8, c.FrameNumber);
      if (headerCopy) std::memcpy(p + 20, frameHeader.data(), 8);
      return true;
    }
    case GameFormat::kFf7:
      // Bytes 20 to 27 copy the frame's first eight bytes: its camera data
      // where it has some, else its frame header.
      WriteCommon(c, p);
      if (headerCopy) std::memcpy(p + 20, frameHeader.data(), 8);
      return true;
    default:
      WriteCommon(c, p);
      if (headerCopy) std::memcpy(p + 20, frameHeader.data(), 8);
      return true;
  }
}

std::optional<GameFormat> RecogniseGameSector(std::span<const uint8_t> user) {
  static constexpr GameFormat kOrder[] = {GameFormat::kFf8,  GameFormat::kFf9,
                                          GameFormat::kChronoCross, GameFormat::kIki,
                                          GameFormat::kLain, GameFormat::kVersion1,
                                          GameFormat::kStandard,    GameFormat::kFf7};
  for (GameFormat f : kOrder) {
    const auto chunk = ReadGameChunk(f, user);
    if (!chunk) continue;
    // Chrono Cross's video sectors are standard ones; only its sound
    // sectors (and those of its second disc) tell it apart.
    if (f == GameFormat::kChronoCross && !chunk->IsSound &&
        GetU32(user.data()) != kMagic81010160)
      continue;
    return f;
  }
  return std::nullopt;
}

std::optional<GameFormat> DetectGameFormat(std::span<const std::span<const uint8_t>> sectors) {
  int counts[std::size(kAllGameFormats)] = {};
  for (const auto& user : sectors) {
    const auto format = RecogniseGameSector(user);
    if (!format) continue;
    if (*format == GameFormat::kChronoCross || *format == GameFormat::kFf8 ||
        *format == GameFormat::kFf9)
      return format;
    counts[int(*format)]++;
  }
  int best = -1;
  for (int f = 0; f < int(std::size(counts)); f++)
    if (counts[f] > 0 && (best < 0 || counts[f] > counts[best])) best = f;
  if (best < 0) return std::nullopt;
  return kAllGameFormats[best];
}

namespace {

// The sectors' chunks in the order their payloads make up the frame; empty
// when one is not a video chunk of the format or they differ in frame.
template <typename Sector>
std::vector<std::pair<int, size_t>> FrameOrder(GameFormat format, std::span<const Sector> sectors) {
  const GameFormatInfo& info = InfoOf(format);
  std::vector<std::pair<int, size_t>> order;
  std::optional<uint32_t> frameNumber;
  for (size_t i = 0; i < sectors.size(); i++) {
    const std::span<const uint8_t> user(sectors[i].data(), sectors[i].size());
    const auto chunk = ReadGameChunk(format, user);
    if (!chunk || chunk->IsSound ||
        user.size() < size_t(info.PayloadOffset + info.PayloadSize) ||
        (frameNumber && *frameNumber != chunk->FrameNumber))
      return {};
    frameNumber = chunk->FrameNumber;
    order.push_back({info.ReverseChunks ? -chunk->ChunkNumber : chunk->ChunkNumber, i});
  }
  std::sort(order.begin(), order.end());
  for (size_t i = 1; i < order.size(); i++)
    if (order[i].first == order[i - 1].first) return {};
  return order;
}

}  // namespace

bool GatherFrame(GameFormat format, std::span<const std::span<const uint8_t>> sectors,
                 std::vector<uint8_t>& frame) {
  const GameFormatInfo& info = InfoOf(format);
  const auto order = FrameOrder(format, sectors);
  frame.clear();
  if (order.empty()) return false;
  for (const auto& [key, i] : order) {
    const uint8_t* payload = sectors[i].data() + info.PayloadOffset;
    frame.insert(frame.end(), payload, payload + info.PayloadSize);
  }
  // Data without a frame header of its own takes the copy in the chunk
  // header in front of it.
  if (format == GameFormat::kFf9 && GetU16(frame.data() + 2) != kFrameMagic &&
      GetU16(sectors[order[0].second].data() + 22) == kFrameMagic) {
    const uint8_t* copy = sectors[order[0].second].data() + 20;
    frame.insert(frame.begin(), copy, copy + 8);
  }
  return true;
}

int FrameCapacity(GameFormat format, int videoSectors) {
  return InfoOf(format).PayloadSize * videoSectors;
}

bool SpreadFrame(GameFormat format, std::span<const uint8_t> frame,
                 std::span<const std::span<uint8_t>> sectors) {
  const GameFormatInfo& info = InfoOf(format);
  if (!info.PictureWritable) return false;
  std::vector<std::span<const uint8_t>> readOnly(sectors.begin(), sectors.end());
  const auto order = FrameOrder<std::span<const uint8_t>>(format, readOnly);
  if (order.empty() || frame.size() > size_t(FrameCapacity(format, int(order.size()))))
    return false;
  // The size each format's chunk headers give.
  const uint32_t length = uint32_t(frame.size());
  uint32_t dataSize = (length + 3) & ~3u;
  if (format == GameFormat::kLain) dataSize = uint32_t(order.size()) * uint32_t(info.PayloadSize);
  if (format == GameFormat::kFf7) dataSize = length;
  const std::span<const uint8_t> header = frame.size() >= 8 ? frame.first(8) : frame.first(0);
  // Each sector is made in a copy and must read back as the same chunk: a
  // frame whose first bytes disagree with the copy its chunk headers keep
  // (data kept as it was read, only renumbered) leaves that copy as it is,
  // where writing it would make the sector unreadable as the format.
  auto sameChunk = [format](std::span<const uint8_t> user, const GameChunk& c) {
    const auto back = ReadGameChunk(format, user);
    return back && !back->IsSound && back->ChunkNumber == c.ChunkNumber &&
           back->ChunkCount == c.ChunkCount && back->FrameNumber == c.FrameNumber;
  };
  std::vector<std::vector<uint8_t>> made;
  made.reserve(order.size());
  size_t at = 0;
  for (const auto& [key, i] : order) {
    const std::span<const uint8_t> was = sectors[i];
    std::vector<uint8_t>& user = made.emplace_back(was.begin(), was.end());
    GameChunk chunk = *ReadGameChunk(format, was);
    chunk.DataSize = dataSize;
    if (!WriteGameChunk(format, chunk, header, user)) return false;
    if (!sameChunk(user, chunk)) {
      std::copy(was.begin(), was.end(), user.begin());
      if (!WriteGameChunk(format, chunk, {}, user) || !sameChunk(user, chunk)) return false;
    }
    uint8_t* payload = user.data() + info.PayloadOffset;
    const size_t n = std::min(frame.size() - std::min(at, frame.size()), size_t(info.PayloadSize));
    if (n) std::memcpy(payload, frame.data() + at, n);
    std::memset(payload + n, 0, size_t(info.PayloadSize) - n);
    at += size_t(info.PayloadSize);
  }
  for (size_t k = 0; k < order.size(); k++)
    std::copy(made[k].begin(), made[k].end(), sectors[order[k].second].begin());
  return true;
}

std::optional<SoundPayload> SoundPayloadOf(GameFormat format, std::span<const uint8_t> user) {
  const auto chunk = ReadGameChunk(format, user);
  if (!chunk || !chunk->IsSound || !Has(user, 2048)) return std::nullopt;
  // The sound header holds Square's "AKAO" block whose size field says how
  // many bytes of units follow it; the units end with the user data at most.
  int akao = 0, data = 0;
  switch (format) {
    case GameFormat::kFf8:
      akao = 256;
      data = 368;
      break;
    case GameFormat::kFf9:
    case GameFormat::kChronoCross:
      akao = 128;
      data = 208;
      break;
    default:
      return std::nullopt;
  }
  if (!HasAkao(user, size_t(akao))) return std::nullopt;
  const uint32_t size = GetU32(user.data() + akao + 32);
  if (size == 0 || size % 16 != 0 || size > uint32_t(2048 - data)) return std::nullopt;
  const uint32_t pitch = GetU32(user.data() + akao + 28);
  int rate = pitch == 0x116A ? 48000 : int((uint64_t(pitch) * 44100 + 2048) / 4096);
  if (rate == 0) rate = InfoOf(format).SoundRate;
  return SoundPayload{data, int(size), rate};
}

}  // namespace belmora
