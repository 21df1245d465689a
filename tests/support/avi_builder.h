// Writes AVI files for the tests through our own writer: natural-looking
// or flat grey pictures and a test signal as sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace belmora::test {

struct AviRecipe {
  int Frames = 20;
  int Fps = 15;
  int Width = 320;
  int Height = 240;
  bool Natural = true;  // else flat grey, level 20 + 10 (i mod 20)
  int SoundRate = 44100;  // 0: no sound
  int SoundChannels = 2;
};

// Writes the AVI; the pictures (BGR, top row first) when asked.
void WriteTestAvi(const std::string& path, const AviRecipe& recipe,
                  std::vector<std::vector<uint8_t>>* pictures = nullptr);

}  // namespace belmora::test
