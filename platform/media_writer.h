// Writing AVI files through FFmpeg: one video stream and an optional audio
// stream. No FFmpeg type appears here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/media_formats.h"
#include "platform/media_reader.h"

namespace belmora {

class MediaWriter {
 public:
  MediaWriter();
  ~MediaWriter();
  MediaWriter(const MediaWriter&) = delete;
  MediaWriter& operator=(const MediaWriter&) = delete;

  // Creates `path` (replacing it) with a video stream of width x height at
  // rate / scale frames per second, compressed as `video` says; with
  // `audio`, an audio stream of that wave format fed with PCM of `pcm`
  // (the same format when `audio` is PCM). kDecoder: no such video
  // compressor; kAudio: the audio stream or its encoder could not be set up.
  MediaError Open(const std::string& path, int width, int height, uint32_t rate, uint32_t scale,
                  const CompressOptions& video, const WaveFormat* audio = nullptr,
                  const PcmFormatInfo* pcm = nullptr);
  // Appends one frame: 24-bit rows, bottom row first, each padded to 4 bytes.
  bool WriteVideo(const uint8_t* rows);
  // Appends PCM sound (whole sample frames), encoded when the stream is not PCM.
  bool WriteAudio(const uint8_t* pcm, size_t bytes);
  // Flushes the encoders and finishes the file; false when that failed.
  bool Close();
  // The system's errno of the last write to the file that failed (a full
  // disk: ENOSPC); 0 when none is known.
  int Error() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace belmora
