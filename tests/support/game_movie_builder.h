// Whole movies in the game layouts: a frame's sectors (sound sectors first
// where the format's frames begin with them), and files of several frames
// in raw 2352-byte sectors, each frame coded by our own encoder for the
// format from a picture of its own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/game_layouts.h"

namespace belmora::test {

struct GameFrameSectors {
  std::vector<std::vector<uint8_t>> Sectors;  // user data
  std::vector<size_t> Video;                  // which of them hold video chunks
  std::vector<std::pair<size_t, int>> Kept;   // (sector, byte) an edit must not change
};

// The sectors of frame `number` of `format` holding `frame` in
// `videoSectors` video chunks; `sound` gives the units of its sound sectors.
GameFrameSectors BuildGameFrame(GameFormat format, const std::vector<uint8_t>& frame,
                                int videoSectors, int width, int height, uint32_t number = 21,
                                const std::vector<uint8_t>& sound = std::vector<uint8_t>(1680, 0x4C));

struct GameMovieRecipe {
  GameFormat Format = GameFormat::kVersion1;
  int Frames = 4;
  int Width = 160;
  int Height = 112;
  int VideoSectors = 3;  // 0: a movie of sound only
  bool Camera = false;  // 40 bytes of camera data in front of each frame
};

// A small movie of each layout (camera data in Final Fantasy VII's), as the
// format tests take them.
inline const GameMovieRecipe kEveryGameLayout[] = {
    {GameFormat::kVersion1, 4, 160, 112, 3, false}, {GameFormat::kFf7, 4, 160, 112, 3, true},
    {GameFormat::kFf8, 4, 320, 224, 8, false},      {GameFormat::kFf9, 4, 320, 224, 8, false},
    {GameFormat::kChronoCross, 4, 160, 112, 4, false}, {GameFormat::kLain, 4, 160, 112, 3, false},
    {GameFormat::kIki, 4, 160, 112, 3, false}, {GameFormat::kLainStandard, 4, 160, 112, 3, false}};

struct GameMovieFile {
  std::string Path;
  std::vector<std::vector<uint8_t>> Pictures;  // each frame's source (padded, blue-green-red)
  std::vector<std::vector<int>> FrameSectors;  // file sectors of each frame's video chunks
  std::vector<int> SoundSectors;              // file sectors of sound
  std::vector<std::pair<int, int>> Kept;       // (file sector, byte of its user data)
  std::vector<uint8_t> Camera;                 // the camera data, where there is some
};

// Writes the movie (raw 2352-byte sectors, sealed) to `path`, or to a new
// temporary file.
GameMovieFile WriteGameMovie(const GameMovieRecipe& recipe, const std::string& path = "");

// The user data offset of a sector in such a file.
inline constexpr int64_t kGameMovieUserData = 24;

}  // namespace belmora::test
