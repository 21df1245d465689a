#include "platform/media_writer.h"

#include "platform/media_backend.h"

namespace belmora {

struct MediaWriter::Impl {
  std::unique_ptr<media::WriterBackend> backend;
};

MediaWriter::MediaWriter() : impl_(std::make_unique<Impl>()) {}
MediaWriter::~MediaWriter() = default;

MediaError MediaWriter::Open(const std::string& path, int width, int height, uint32_t rate,
                             uint32_t scale, const CompressOptions& video, const WaveFormat* audio,
                             const PcmFormatInfo* pcm) {
  impl_->backend.reset();
  const media::Module* module = media::LoadModule();
  if (!module) return MediaError::kModule;
  std::string videoEncoder, audioEncoder;
  if (!video.Uncompressed())
    if (auto info = FindVideoCompressor(video.fccHandler)) videoEncoder = info->Encoder;
  if (audio && audio->wFormatTag != kWaveFormatPcm)
    for (const auto& tag : AudioFormatTags())
      if (tag.Tag == audio->wFormatTag) audioEncoder = tag.Encoder;
  impl_->backend = module->NewWriter();
  return impl_->backend->Open(path, width, height, rate, scale, video, videoEncoder, audio, pcm,
                              audioEncoder);
}

bool MediaWriter::WriteVideo(const uint8_t* rows) {
  return impl_->backend && impl_->backend->WriteVideo(rows);
}

bool MediaWriter::WriteAudio(const uint8_t* pcm, size_t bytes) {
  return impl_->backend && impl_->backend->WriteAudio(pcm, bytes);
}

bool MediaWriter::Close() {
  return impl_->backend && impl_->backend->Close();
}

int MediaWriter::Error() const {
  return impl_->backend ? impl_->backend->Error() : 0;
}

}  // namespace belmora
