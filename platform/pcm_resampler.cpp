#include "platform/pcm_resampler.h"

#include "platform/media_backend.h"

namespace belmora {

struct PcmResampler::Impl {
  std::unique_ptr<media::ResamplerBackend> backend;
};

PcmResampler::PcmResampler() : impl_(std::make_unique<Impl>()) {}
PcmResampler::~PcmResampler() = default;

bool PcmResampler::Open(int inRate, int outRate) {
  impl_->backend.reset();
  const media::Module* module = media::LoadModule();
  if (!module) return false;
  auto backend = module->NewResampler();
  if (!backend->Open(inRate, outRate)) return false;
  impl_->backend = std::move(backend);
  return true;
}

bool PcmResampler::IsOpen() const {
  return impl_->backend != nullptr;
}

bool PcmResampler::Convert(const int16_t* in, int frames, std::vector<int16_t>& out) {
  return impl_->backend && impl_->backend->Convert(in, frames, out);
}

bool PcmResampler::Flush(std::vector<int16_t>& out) {
  return impl_->backend && impl_->backend->Flush(out);
}

}  // namespace belmora
