#include "platform/media_reader.h"

#include "base/input_file.h"
#include "platform/image_sequence.h"
#include "platform/media_backend.h"

namespace belmora {

struct MediaReader::Impl {
  std::unique_ptr<media::ReaderBackend> backend;
};

namespace {
const VideoStreamInfo kNoVideo;
const PcmFormatInfo kNoAudio;
}  // namespace

MediaReader::MediaReader() : impl_(std::make_unique<Impl>()) {}
MediaReader::~MediaReader() = default;

MediaError MediaReader::Open(const std::string& path, double sequenceRate) {
  Close();
  // Only a regular file is handed to the decoders: a FIFO would block their
  // open, a device would be read without end. (A sequence's pictures are
  // looked at by its pattern's reader.)
  if (!IsSequencePattern(path)) {
    const InputStatus there = CheckRegularFile(path);
    if (!there.Ok()) return MediaError::kCannotOpen;
  }
  const media::Module* module = media::LoadModule();
  if (!module) return MediaError::kModule;
  auto backend = module->NewReader();
  const MediaError e = backend->Open(path, sequenceRate);
  if (e == MediaError::kNone) impl_->backend = std::move(backend);
  return e;
}

void MediaReader::Close() {
  impl_->backend.reset();
}

const VideoStreamInfo& MediaReader::Video() const {
  return impl_->backend ? impl_->backend->Video() : kNoVideo;
}
bool MediaReader::HasAudio() const {
  return impl_->backend && impl_->backend->HasAudio();
}
const PcmFormatInfo& MediaReader::Audio() const {
  return impl_->backend ? impl_->backend->Audio() : kNoAudio;
}

bool MediaReader::ReadFrame(int64_t index, std::vector<uint8_t>& pixels) {
  return impl_->backend && impl_->backend->ReadFrame(index, pixels);
}

int64_t MediaReader::ReadPcm(uint8_t* out, size_t size) {
  return impl_->backend ? impl_->backend->ReadPcm(out, size) : 0;
}

}  // namespace belmora
