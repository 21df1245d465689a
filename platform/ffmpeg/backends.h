// The media module's classes: FFmpeg and libass behind the interface the
// core loads (platform/media_backend.h).
#pragma once

#include <memory>

#include "platform/media_backend.h"

namespace belmora::ffmpeg {

class Reader final : public media::ReaderBackend {
 public:
  Reader();
  ~Reader() override;
  MediaError Open(const std::string& path, double sequenceRate) override;
  const VideoStreamInfo& Video() const override;
  bool HasAudio() const override;
  const PcmFormatInfo& Audio() const override;
  bool ReadFrame(int64_t index, std::vector<uint8_t>& pixels) override;
  int64_t ReadPcm(uint8_t* out, size_t size) override;

 private:
  void Close();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Writer final : public media::WriterBackend {
 public:
  Writer();
  ~Writer() override;
  MediaError Open(const std::string& path, int width, int height, uint32_t rate, uint32_t scale,
                  const CompressOptions& video, const std::string& videoEncoder,
                  const WaveFormat* audio, const PcmFormatInfo* pcm,
                  const std::string& audioEncoder) override;
  bool WriteVideo(const uint8_t* rows) override;
  bool WriteAudio(const uint8_t* pcm, size_t bytes) override;
  bool Close() override;
  int Error() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int error_ = 0;
};

class Resampler final : public media::ResamplerBackend {
 public:
  Resampler();
  ~Resampler() override;
  bool Open(int inRate, int outRate) override;
  bool Convert(const int16_t* in, int frames, std::vector<int16_t>& out) override;
  bool Flush(std::vector<int16_t>& out) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Subtitles final : public media::SubtitleBackend {
 public:
  Subtitles();
  ~Subtitles() override;
  bool Load(const std::string& ass, int width, int height, const SubtitleStyle& style) override;
  bool Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride) override;
  int EventCount() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

bool WritePngFile(const std::string& path, const uint8_t* bgr, int width, int height,
                  size_t stride);

}  // namespace belmora::ffmpeg
