// On-disk layouts of STR files: sector layouts, the CDXA file header, the
// XA subheader and its tests, the video chunk header and the audio codings.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace belmora {

inline constexpr int kUserDataSize = 2048;
inline constexpr int kChunkHeaderSize = 32;
inline constexpr int kChunkPayloadSize = 2016;
inline constexpr int kMaxChunks = 20;
inline constexpr int kFrameBufferSize = 40960;
inline constexpr int kSectorImageSize = 2336;  // subheader, copy, 2328 data bytes
inline constexpr int kXaDataSize = 2328;
inline constexpr int kCdxaHeaderSize = 44;
inline constexpr int kSectorsPerSecond = 75;  // at single speed
inline constexpr int kCdxaDataOffset = kCdxaHeaderSize + 24;  // 68
// Where data starts on a disc: sector 150, 00:02:00.
inline constexpr int32_t kFirstDataAddress = 150;

// How far the scans look: the first frame start and the picture size within
// the first 40 sectors, a frame start within 150 sectors, the audio channels
// and the speed within the first 32 sectors, two audio sectors of one channel
// within the first 150.
inline constexpr int kFrameStartWindow = 40;
inline constexpr int kFrameSearchWindow = 150;
inline constexpr int kOpenScanSectors = 32;
inline constexpr int kInterleaveScanSectors = 150;

struct SectorLayout {
  int SectorSize;
  int DataOffset;
  bool operator==(const SectorLayout&) const = default;
};

inline constexpr SectorLayout kLayout2048{2048, 0};
inline constexpr SectorLayout kLayout2336{2336, 8};
inline constexpr SectorLayout kLayout2352{2352, kCdxaDataOffset};
// Raw 2352-byte sectors without the RIFF header, as disc tools write them.
inline constexpr SectorLayout kLayout2352Raw{2352, 24};

// Bytes of a stored sector in front of its user data: sync header and
// subheaders (2352), subheaders (2336), nothing (2048).
inline int BytesBeforeUserData(int sectorSize) {
  return sectorSize == 2352 ? 24 : sectorSize == 2336 ? 8 : 0;
}

// File offset of the user data of sector n.
inline int64_t UserDataOffset(const SectorLayout& l, int64_t n) {
  return n * l.SectorSize + l.DataOffset;
}
// File offset of the subheader copy that readers test (layouts above 2048).
inline int64_t SubheaderOffset(const SectorLayout& l, int64_t n) {
  return UserDataOffset(l, n) - 4;
}
// File offset of the 2336-byte sector image (layouts above 2048).
inline int64_t SectorImageOffset(const SectorLayout& l, int64_t n) {
  return UserDataOffset(l, n) - 8;
}

// File offset where sector n as stored begins: its sync header (2352), its
// subheader (2336), its user data (2048).
inline int64_t SectorStartOffset(const SectorLayout& l, int64_t n) {
  return UserDataOffset(l, n) - BytesBeforeUserData(l.SectorSize);
}

// The 44-byte RIFF "CDXA" header of 2352-byte files, both sizes as given.
std::array<uint8_t, kCdxaHeaderSize> MakeCdxaHeader(uint32_t riffSize = 0, uint32_t dataSize = 0);

// The 16 bytes that begin every raw 2352-byte sector the program writes.
inline constexpr std::array<uint8_t, 16> kSyncHeader = {
    0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0};

struct Subheader {
  uint8_t FileNumber = 0;
  uint8_t Channel = 0;
  uint8_t Submode = 0;
  uint8_t CodingInfo = 0;

  static Subheader Parse(const uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }
  void Store(uint8_t* p) const {
    p[0] = FileNumber;
    p[1] = Channel;
    p[2] = Submode;
    p[3] = CodingInfo;
  }
  bool operator==(const Subheader&) const = default;
};

inline constexpr uint8_t kSubmodeAudio = 0x04;
inline constexpr uint8_t kSubmodeData = 0x08;
inline constexpr uint8_t kSubmodeTrigger = 0x10;
inline constexpr uint8_t kSubmodeForm2 = 0x20;
inline constexpr uint8_t kSubmodeRealTime = 0x40;

inline constexpr Subheader kFillerSubheader{1, 0, 0, 0};

inline bool IsSkippedSector(const Subheader& s) {
  return (s.Submode & (kSubmodeTrigger | kSubmodeForm2)) != 0 || s == kFillerSubheader;
}
inline bool IsAudioSector(const Subheader& s) {
  return (s.Submode & (kSubmodeRealTime | kSubmodeForm2 | kSubmodeTrigger)) ==
         (kSubmodeRealTime | kSubmodeForm2);
}

inline constexpr Subheader kVideoSubheader{1, 1, kSubmodeRealTime | kSubmodeData, 0};
inline Subheader AudioSubheader(int channel, int coding) {
  return {1, uint8_t(channel), kSubmodeRealTime | kSubmodeForm2 | kSubmodeAudio, uint8_t(coding)};
}

// CodingInfo bits.
inline constexpr int kCodingStereoBit = 0x01;
inline constexpr int kCodingHalfRateBit = 0x04;  // 18.9 kHz
inline bool IsStereo(int coding) {
  return coding & kCodingStereoBit;
}
inline bool IsHalfRate(int coding) {
  return coding & kCodingHalfRateBit;
}
inline constexpr int kCoding378Stereo = 0x01;
inline constexpr int kCoding378Mono = 0x00;
inline constexpr int kCoding189Stereo = 0x05;
inline constexpr int kCoding189Mono = 0x04;
// The CodingInfo of a sound format.
inline int CodingFor(bool highRate, bool stereo) {
  return (highRate ? 0 : kCodingHalfRateBit) | (stereo ? kCodingStereoBit : 0);
}

// "37.8 kHz stereo" and the like.
inline const char* CodingText(int coding) {
  if (IsHalfRate(coding)) return IsStereo(coding) ? "18.9 kHz stereo" : "18.9 kHz mono";
  return IsStereo(coding) ? "37.8 kHz stereo" : "37.8 kHz mono";
}

// Sectors between two audio sectors of one channel.
inline int InterleaveFor(int speedFactor, int coding) {
  int n = speedFactor * 4;
  if (IsHalfRate(coding)) n *= 2;
  if (!IsStereo(coding)) n *= 2;
  return n;
}

struct VideoChunkHeader {
  uint16_t Status = 0;
  uint16_t Type = 0;
  uint16_t ChunkNumber = 0;
  uint16_t ChunkCount = 0;
  uint32_t FrameNumber = 0;
  uint32_t FrameDataSize = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  std::array<uint8_t, 8> MdecHeader{};
  uint32_t Reserved = 0;

  static VideoChunkHeader Parse(const uint8_t* p);
  void Store(uint8_t* p) const;
  bool operator==(const VideoChunkHeader&) const = default;
};

// The full test for the first sector of a frame (ChunkNumber 0 checked by the caller).
inline constexpr uint16_t kFrameChunkStatus = 0x60;  // Status & 0xF0 of a frame chunk
inline constexpr uint16_t kFrameChunkType = 0x8001;
inline bool IsFrameStartHeader(const VideoChunkHeader& h) {
  return (h.Status & 0xF0) == kFrameChunkStatus && h.Type == kFrameChunkType && h.ChunkCount != 0;
}

// What the first 2048 bytes of a file say about it.
struct DetectedLayout {
  SectorLayout Layout;
  bool HasRiffHeader = false;
  int Width = 0;
  int Height = 0;
  // The first sector is audio or filler: its bytes say nothing about the
  // picture, whose size is taken from the first frame start instead.
  bool FirstSectorSkipped = false;
};

// Applies the layout detection rules; nullopt for an unknown format.
std::optional<DetectedLayout> DetectLayout(std::span<const uint8_t> head);

}  // namespace belmora
