#include "media/filtered_wav_io.h"

#include <algorithm>

#include "base/bytes.h"

namespace belmora {

namespace {
constexpr int kReadFrames = 4096;
}  // namespace

void FilteredWavIo::Attach(TAviIo& source) {
  source_ = &source;
  format_ = source.PcmFormat;
  targetRate_ = int(format_.nSamplesPerSec);
  pending_.clear();
  next_ = 0;
  ended_ = failed_ = false;
  resampler_.Open(targetRate_, targetRate_);
}

void FilteredWavIo::SetTargetRate(int rate) {
  targetRate_ = rate;
  // Only sound still to be read is resampled at the new rate.
  if (rate > 0) resampler_.Open(int(format_.nSamplesPerSec), rate);
}

bool FilteredWavIo::Fill() {
  if (ended_ || failed_ || !source_ || !resampler_.IsOpen()) return false;
  // What was delivered goes; what was not stays at the front.
  pending_.erase(pending_.begin(), pending_.begin() + long(next_));
  next_ = 0;
  const int channels = std::max<int>(1, format_.nChannels);
  const int bytesPerSample = format_.wBitsPerSample == 8 ? 1 : 2;
  const int blockAlign = std::max<int>(1, format_.nBlockAlign);
  raw_.resize(size_t(kReadFrames) * size_t(blockAlign));
  const int bytes = source_->ReadAudio(raw_.data(), int(raw_.size()));
  if (bytes < 0) {
    failed_ = true;
    return false;
  }
  // The same channel and sample reading as TWavIo: a mono source gives
  // both channels, 8-bit samples are unsigned.
  const int frames = bytes / blockAlign;
  stereo_.resize(size_t(frames) * 2);
  for (int f = 0; f < frames; f++) {
    const uint8_t* p = &raw_[size_t(f) * size_t(blockAlign)];
    for (int c = 0; c < 2; c++) {
      const int ch = channels == 1 ? 0 : c;
      stereo_[size_t(f) * 2 + size_t(c)] =
          bytesPerSample == 1 ? int16_t((int32_t(p[ch]) - 128) * 256)
                              : int16_t(GetU16(p + 2 * ch));
    }
  }
  bool ok = resampler_.Convert(stereo_.data(), frames, pending_);
  if (frames < kReadFrames) {  // the sound has ended: let the filter's tail out
    ended_ = true;
    ok = ok && resampler_.Flush(pending_);
  }
  if (!ok) failed_ = true;
  return ok;
}

int FilteredWavIo::NextSample(int16_t& left, int16_t& right) {
  left = right = 0;
  if (!source_ || targetRate_ <= 0) return 1;
  while (next_ + 2 > pending_.size()) {
    if (!Fill()) return failed_ ? -1 : 1;
  }
  left = pending_[next_];
  right = pending_[next_ + 1];
  next_ += 2;
  return 0;
}

}  // namespace belmora
