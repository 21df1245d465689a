#include "tests/support/avi_builder.h"

#include <cstring>
#include <stdexcept>

#include "base/bytes.h"
#include "platform/media_writer.h"
#include "tests/support/audio.h"
#include "tests/support/mdec_builder.h"

namespace belmora::test {

void WriteTestAvi(const std::string& path, const AviSpec& spec,
                  std::vector<std::vector<uint8_t>>* pictures) {
  MediaWriter w;
  const bool sound = spec.SoundRate > 0;
  WaveFormat f = WaveFormat::Pcm(sound ? spec.SoundRate : 44100, spec.SoundChannels, 16);
  PcmFormatInfo in{f.nSamplesPerSec == 0 ? 44100 : int(f.nSamplesPerSec), spec.SoundChannels, 16};
  if (w.Open(path, spec.Width, spec.Height, uint32_t(spec.Fps), 1, CompressOptions{},
             sound ? &f : nullptr, sound ? &in : nullptr) != MediaError::kNone)
    throw std::runtime_error("cannot write " + path);
  const size_t row = size_t(spec.Width) * 3;
  for (int i = 0; i < spec.Frames; i++) {
    std::vector<uint8_t> top = spec.Natural
                                   ? NaturalPicture(spec.Width, spec.Height, i)
                                   : std::vector<uint8_t>(row * spec.Height, uint8_t(20 + 10 * (i % 20)));
    std::vector<uint8_t> rows(top.size());
    for (int y = 0; y < spec.Height; y++)
      std::memcpy(&rows[size_t(spec.Height - 1 - y) * row], &top[size_t(y) * row], row);
    w.WriteVideo(rows.data());
    if (pictures) pictures->push_back(std::move(top));
  }
  if (sound) {
    const int count = int(int64_t(spec.SoundRate) * spec.Frames / spec.Fps);
    auto left = MakeSignal(Signal::kSine1k, count, spec.SoundRate, 9000);
    auto right = MakeSignal(Signal::kSpeechLike, count, spec.SoundRate, 9000);
    const int channels = spec.SoundChannels;
    std::vector<uint8_t> pcm(size_t(count) * 2 * channels);
    for (int i = 0; i < count; i++) {
      PutU16(&pcm[size_t(i) * 2 * channels], uint16_t(left[size_t(i)]));
      if (channels == 2) PutU16(&pcm[size_t(i) * 4 + 2], uint16_t(right[size_t(i)]));
    }
    w.WriteAudio(pcm.data(), pcm.size());
  }
  if (!w.Close()) throw std::runtime_error("cannot finish " + path);
}

}  // namespace belmora::test
