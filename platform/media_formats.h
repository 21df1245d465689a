// The records through which the conversions name video compressors and
// wave formats: the fields of the platform's compression options and wave
// format that the conversions use, and the catalogues of what this build
// can write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace belmora {

constexpr uint32_t FourCC(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}
std::string FourCCText(uint32_t fcc);

// Flags of CompressOptions.dwFlags.
inline constexpr uint32_t kCompressDataRate = 2, kCompressKeyFrames = 4, kCompressValid = 8;

struct CompressOptions {
  uint32_t fccType = FourCC("vids");
  uint32_t fccHandler = FourCC("DIB ");
  uint32_t dwKeyFrameEvery = 4;
  uint32_t dwQuality = 10000;  // 0 .. 10000
  uint32_t dwBytesPerSecond = 307200;
  uint32_t dwFlags = kCompressKeyFrames | kCompressDataRate | kCompressValid;
  std::vector<uint8_t> Parms;  // the compressor's own settings
  bool Uncompressed() const { return fccHandler == FourCC("DIB ") || fccHandler == 0; }
};

inline constexpr uint16_t kWaveFormatPcm = 1;

struct WaveFormat {
  uint16_t wFormatTag = kWaveFormatPcm;
  uint16_t nChannels = 2;
  uint32_t nSamplesPerSec = 44100;
  uint32_t nAvgBytesPerSec = 176400;
  uint16_t nBlockAlign = 4;
  uint16_t wBitsPerSample = 16;
  uint16_t cbSize = 0;
  std::vector<uint8_t> Extra;  // format-specific bytes
  bool operator==(const WaveFormat&) const = default;
  static WaveFormat Pcm(int rate, int channels, int bits);
};

// Sound the decoder and the writers handle: 8000 to 192000 Hz, one or two
// channels, 8 or 16 bits.
inline constexpr int kMinSampleRate = 8000, kMaxSampleRate = 192000;
inline bool ValidPcmFormat(int rate, int channels, int bits) {
  return rate >= kMinSampleRate && rate <= kMaxSampleRate && (channels == 1 || channels == 2) &&
         (bits == 8 || bits == 16);
}

// A video compressor this build can use.
struct VideoCompressorInfo {
  uint32_t fccHandler;
  std::string Encoder;      // FFmpeg encoder name ("" for uncompressed frames)
  std::string Description;  // what the chooser shows
};

// A wave format tag and the formats it offers.
struct AudioFormatTag {
  uint16_t Tag;
  std::string Name;     // the chooser's format-tag name
  std::string Encoder;  // FFmpeg encoder name
  std::vector<WaveFormat> Formats;
};


// What the media module's FFmpeg offers, only the entries whose encoder
// exists (only uncompressed frames when the module cannot be loaded).
std::vector<VideoCompressorInfo> VideoCompressors();
std::optional<VideoCompressorInfo> FindVideoCompressor(uint32_t fccHandler);
std::vector<AudioFormatTag> AudioFormatTags();
// "%d Hz, %d Bit.; ..." style description of a format, and its tag's name.
std::string DescribeWaveFormat(const WaveFormat& f);
std::string WaveTagName(uint16_t tag);
// The PCM format that converts to `target` (same rate and channels, 16 bits
// unless the target is 8-bit PCM); nullopt for a tag this build cannot write.
std::optional<WaveFormat> SuggestPcmFormat(const WaveFormat& target);

// The FFmpeg release in use and its libavformat version, e.g.
// "5.1.6 (libavformat 59.27.100)"; what is missing when the media module
// cannot be loaded.
std::string MediaLibraryVersion();

}  // namespace belmora
