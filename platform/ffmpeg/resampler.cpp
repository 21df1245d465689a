#include "platform/ffmpeg/backends.h"

#include "platform/ffmpeg/ffmpeg_common.h"

namespace belmora::ffmpeg {

struct Resampler::Impl {
  ff::SwrPtr swr;
  int inRate = 0, outRate = 0;
};

Resampler::Resampler() : impl_(std::make_unique<Impl>()) {}
Resampler::~Resampler() = default;

bool Resampler::Open(int inRate, int outRate) {
  Impl& m = *impl_;
  m.swr.reset();
  if (inRate <= 0 || outRate <= 0) return false;
  AVChannelLayout stereo{};
  av_channel_layout_default(&stereo, 2);
  SwrContext* swr = nullptr;
  int r = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, outRate, &stereo,
                              AV_SAMPLE_FMT_S16, inRate, 0, nullptr);
  av_channel_layout_uninit(&stereo);
  m.swr.reset(swr);
  if (r < 0 || !swr) return false;
  // A windowed-sinc filter four times the default length, its pass band
  // reaching 99 % of the new Nyquist frequency: what lies above it (44.1
  // kHz sound going to 37.8 or 18.9 kHz) is removed instead of folded
  // back, and little below it is lost (with the default filter the loss
  // between 97 % and the Nyquist frequency costs pink noise over 1 dB).
  av_opt_set_int(swr, "filter_size", 128, 0);
  av_opt_set_int(swr, "phase_shift", 12, 0);
  av_opt_set_double(swr, "cutoff", 0.99, 0);
  if (swr_init(swr) < 0) {
    m.swr.reset();
    return false;
  }
  m.inRate = inRate;
  m.outRate = outRate;
  return true;
}

bool Resampler::Convert(const int16_t* in, int frames, std::vector<int16_t>& out) {
  Impl& m = *impl_;
  if (!m.swr) return false;
  if (in && frames <= 0) return true;  // nothing in; no input at all flushes
  const int room = swr_get_out_samples(m.swr.get(), frames) + 16;
  const size_t at = out.size();
  out.resize(at + size_t(room) * 2);
  uint8_t* outData[1] = {reinterpret_cast<uint8_t*>(out.data() + at)};
  const uint8_t* inData[1] = {reinterpret_cast<const uint8_t*>(in)};
  const int n = swr_convert(m.swr.get(), outData, room, frames > 0 ? inData : nullptr, frames);
  if (n < 0) {
    out.resize(at);
    return false;
  }
  out.resize(at + size_t(n) * 2);
  return true;
}

bool Resampler::Flush(std::vector<int16_t>& out) {
  return Convert(nullptr, 0, out);
}

}  // namespace belmora::ffmpeg
