// Reading video files through FFmpeg: the pictures of the video stream by
// frame index and the sound as PCM. No FFmpeg type appears here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace belmora {

struct PcmFormatInfo {
  int Rate = 44100;
  int Channels = 2;
  int Bits = 16;
  int BlockAlign() const { return Channels * Bits / 8; }
};

struct VideoStreamInfo {
  int Width = 0;
  int Height = 0;
  uint32_t Rate = 0;  // frames per second = Rate / Scale
  uint32_t Scale = 1;
  int64_t Length = 0;  // frames
  // Uncompressed DIB frames (AVI "DIB " of 8, 16, 24 or 32 bits) are given
  // as stored, with their 40-byte header (a negative height for top-down
  // rows) and palette; all others are decoded to 24-bit bottom-up rows.
  bool Raw = false;
  std::vector<uint8_t> RawHeaderAndPalette;
};

// kAudio: the sound stream cannot be decoded or converted; kModule: the
// media module could not be loaded (MediaModuleProblem says why).
enum class MediaError {
  kNone,
  kCannotOpen,
  kNoVideo,
  kFormat,
  kDecoder,
  kMemory,
  kRead,
  kAudio,
  kModule
};

class MediaReader {
 public:
  MediaReader();
  ~MediaReader();
  MediaReader(const MediaReader&) = delete;
  MediaReader& operator=(const MediaReader&) = delete;

  // Looks at the first four streams and takes the last video and the last
  // audio stream among them (attached pictures are not video). A path with
  // a number conversion (frames/%04d.png) is a numbered picture sequence,
  // numbered from 0 or 1, shown at `sequenceRate` frames per second.
  MediaError Open(const std::string& path, double sequenceRate = 15);
  void Close();

  const VideoStreamInfo& Video() const;
  bool HasAudio() const;
  const PcmFormatInfo& Audio() const;

  // The picture of frame `index`, asked for in rising order: a frame index
  // without a picture of its own repeats the one before. Raw streams give
  // their stored bytes, the others 24-bit rows bottom-up, each row padded
  // to 4 bytes. False past the last picture or on a decoding error.
  bool ReadFrame(int64_t index, std::vector<uint8_t>& pixels);

  // The next `size` bytes of sound, interleaved PCM in Audio()'s format;
  // fewer at the end of the sound, -1 on an error.
  int64_t ReadPcm(uint8_t* out, size_t size);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace belmora
