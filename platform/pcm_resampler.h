// Sound resampled by FFmpeg's filtered resampler (libswresample): 16-bit
// stereo frames in at one rate, 16-bit stereo frames out at another. No
// FFmpeg type appears here.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace belmora {

class PcmResampler {
 public:
  PcmResampler();
  ~PcmResampler();
  PcmResampler(const PcmResampler&) = delete;
  PcmResampler& operator=(const PcmResampler&) = delete;

  // Sets up the conversion from `inRate` to `outRate`; false when FFmpeg
  // refuses it. Anything pending from an earlier set-up is dropped.
  bool Open(int inRate, int outRate);
  bool IsOpen() const;
  // Resamples `frames` interleaved stereo frames and appends what comes out
  // (interleaved stereo) to `out`; the filter holds some input back until
  // more arrives or Flush. False on an FFmpeg failure.
  bool Convert(const int16_t* in, int frames, std::vector<int16_t>& out);
  // Appends the frames still held back: the end of the sound.
  bool Flush(std::vector<int16_t>& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace belmora
