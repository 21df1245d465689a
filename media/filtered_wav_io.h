// The video's sound for the XA encoder, as TWavIo gives it, but resampled
// to the XA rate by FFmpeg's filtered resampler instead of linear
// interpolation: what lies above the new Nyquist frequency is removed
// rather than folded back into the sound.
#pragma once

#include <cstdint>
#include <vector>

#include "base/sample_source.h"
#include "media/avi_reader.h"
#include "platform/pcm_resampler.h"

namespace belmora {

class FilteredWavIo : public SamplePairSource {
 public:
  // Takes the source's sound from its current position on.
  void Attach(TAviIo& source);
  // 0 with the next pair; 1 past the end of the sound, -1 after a read or
  // resampling failure (zeros both).
  int NextSample(int16_t& left, int16_t& right) override;
  void SetTargetRate(int rate) override;

 private:
  // Reads and resamples more sound into pending_; false when none is left.
  bool Fill();

  TAviIo* source_ = nullptr;
  WaveFormat format_;
  PcmResampler resampler_;
  int targetRate_ = 0;
  std::vector<uint8_t> raw_;      // one read of the source's PCM
  std::vector<int16_t> stereo_;   // the same as 16-bit stereo
  std::vector<int16_t> pending_;  // resampled pairs not yet delivered
  size_t next_ = 0;               // the next value of pending_
  bool ended_ = false, failed_ = false;
};

}  // namespace belmora
