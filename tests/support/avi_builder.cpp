#include "tests/support/avi_builder.h"

#include <cstring>
#include <stdexcept>

#include "base/bytes.h"
#include "platform/media_writer.h"
#include "tests/support/audio.h"
#include "tests/support/mdec_builder.h"

namespace belmora::test {

void WriteTestAvi(const std::string& path, const AviRecipe& recipe,
                  std::vector<std::vector<uint8_t>>* pictures) {
  MediaWriter w;
  const bool sound = recipe.SoundRate > 0;
  WaveFormat f = WaveFormat::Pcm(sound ? recipe.SoundRate : 44100, recipe.SoundChannels, 16);
  PcmFormatInfo in{f.nSamplesPerSec == 0 ? 44100 : int(f.nSamplesPerSec), recipe.SoundChannels, 16};
  if (w.Open(path, recipe.Width, recipe.Height, uint32_t(recipe.Fps), 1, CompressOptions{},
             sound ? &f : nullptr, sound ? &in : nullptr) != MediaError::kNone)
    throw std::runtime_error("cannot write " + path);
  const size_t row = size_t(recipe.Width) * 3;
  for (int i = 0; i < recipe.Frames; i++) {
    std::vector<uint8_t> top = recipe.Natural
                                   ? NaturalPicture(recipe.Width, recipe.Height, i)
                                   : std::vector<uint8_t>(row * recipe.Height, uint8_t(20 + 10 * (i % 20)));
    std::vector<uint8_t> rows(top.size());
    for (int y = 0; y < recipe.Height; y++)
      std::memcpy(&rows[size_t(recipe.Height - 1 - y) * row], &top[size_t(y) * row], row);
    w.WriteVideo(rows.data());
    if (pictures) pictures->push_back(std::move(top));
  }
  if (sound) {
    const int count = int(int64_t(recipe.SoundRate) * recipe.Frames / recipe.Fps);
    auto left = MakeSignal(Signal::kSine1k, count, recipe.SoundRate, 9000);
    auto right = MakeSignal(Signal::kSpeechLike, count, recipe.SoundRate, 9000);
    const int channels = recipe.SoundChannels;
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
