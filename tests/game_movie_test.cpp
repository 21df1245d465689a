// One frame of each game layout, its sectors written by the test builders:
// recognised, gathered and decoded; a new picture encoded in the format's
// own coding, spread back over the same sectors, gathered and decoded
// again. Only the frame's video payloads and chunk header fields change;
// sound sectors, camera data and unknown fields stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/bytes.h"
#include <cmath>

#include "convert/game_movie.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/game_sector_builder.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"

namespace belmora {
namespace {

using Movie = test::GameFrameSectors;

std::vector<std::span<const uint8_t>> VideoOf(const Movie& m) {
  std::vector<std::span<const uint8_t>> video;
  for (size_t i : m.Video) video.emplace_back(m.Sectors[i]);
  return video;
}

double DecodedPsnr(GameFormat format, const Movie& m, int width, int height,
                   const std::vector<uint8_t>& picture) {
  MdecCodec mdec;
  FrameImage image;
  if (DecodeGameFrame(mdec, LayoutOf(format), VideoOf(m), false, image) != 0) return 0;
  return test::LumaPsnr(picture.data(), size_t((width + 15) / 16 * 16) * 3, image.Pixels.data(),
                        size_t(image.Stride()), width, height);
}

TEST(GameMovieTest, AFrameIsReadAndReplacedInItsOwnSectors) {
  for (const test::GameMovieRecipe& c : test::kEveryGameLayout) {
    // Chrono Cross's video sectors are standard ones: only a file of its
    // sound sectors and frames shows the format (the file tests).
    if (c.Format == GameFormat::kChronoCross) continue;
    const GameFormatInfo& info = InfoOf(c.Format);
    SCOPED_TRACE(info.Name);
    const BitstreamCodec& codec = CodecOf(LayoutOf(c.Format));
    const int pw = (c.Width + 15) / 16 * 16, ph = (c.Height + 15) / 16 * 16;
    const int capacity = FrameCapacity(c.Format, c.VideoSectors);
    const std::vector<uint8_t> first = test::NaturalPicture(pw, ph, 1);
    const std::vector<uint8_t> second = test::NaturalPicture(pw, ph, 2);
    MdecCodec mdec;

    // The frame as the game has it: camera data first where there is some.
    std::vector<uint8_t> camera;
    if (c.Camera)
      for (int i = 0; i < 40; i++) camera.push_back(uint8_t(0xA0 + i));
    EncodedFrame encoded;
    const EncodeRequest request{c.Width, c.Height, 2, capacity - int(camera.size())};
    ASSERT_EQ(codec.Encode(mdec, {first.data(), pw, ph, pw * 3}, request, {}, encoded),
              EncodeStatus::kOk);
    std::vector<uint8_t> frame = camera;
    frame.insert(frame.end(), encoded.Bytes.begin(), encoded.Bytes.begin() + encoded.Length);
    Movie movie = test::BuildGameFrame(c.Format, frame, c.VideoSectors, c.Width, c.Height);
    // Lain's frames in standard sectors: the sectors alone say Final
    // Fantasy VII (the frames tell them apart, in the file tests).
    const GameFormat named = c.Format == GameFormat::kLainStandard ? GameFormat::kFf7 : c.Format;
    for (const auto& s : movie.Sectors) ASSERT_EQ(RecogniseGameSector(s), named);

    EXPECT_GE(DecodedPsnr(c.Format, movie, c.Width, c.Height, first), 35.0);

    // The replacement, in the format's coding, into the same sectors.
    const Movie before = movie;
    std::vector<std::span<uint8_t>> video;
    for (size_t i : movie.Video) video.emplace_back(movie.Sectors[i]);
    const GameFrameWrite written =
        ReplaceGameFrame(mdec, LayoutOf(c.Format), video, {second.data(), pw, ph, pw * 3});
    if (!info.PictureWritable) {
      EXPECT_EQ(written.Result, GameWrite::kReadOnly);
      EXPECT_EQ(movie.Sectors, before.Sectors);
      continue;
    }
    ASSERT_EQ(written.Result, GameWrite::kOk);
    EXPECT_LT(written.Length, capacity);
    for (size_t i = 0; i < movie.Sectors.size(); i++) {
      const bool isVideo = std::find(movie.Video.begin(), movie.Video.end(), i) != movie.Video.end();
      if (!isVideo) {
        EXPECT_EQ(movie.Sectors[i], before.Sectors[i]) << "sound sector " << i;
      }
    }
    for (const auto& [sector, byte] : movie.Kept)
      EXPECT_EQ(movie.Sectors[sector][size_t(byte)], before.Sectors[sector][size_t(byte)])
          << "sector " << sector << " byte " << byte;
    for (size_t i : movie.Video) {
      const auto chunk = ReadGameChunk(c.Format, movie.Sectors[i]);
      ASSERT_TRUE(chunk);
      EXPECT_EQ(chunk->FrameNumber, 21u);
    }
    std::vector<uint8_t> again;
    ASSERT_TRUE(GatherFrame(c.Format, VideoOf(movie), again));
    if (c.Camera) {
      EXPECT_TRUE(std::equal(camera.begin(), camera.end(), again.begin()));
      EXPECT_EQ(GetU16(&again[46]), 1);  // still version 1
    }
    EXPECT_GE(DecodedPsnr(c.Format, movie, c.Width, c.Height, second), 35.0);

    // A frame bigger than the sectors is refused and writes nothing.
    const Movie kept = movie;
    const std::vector<uint8_t> tooBig(size_t(capacity) + 1, 0x11);
    EXPECT_FALSE(SpreadFrame(c.Format, tooBig, video));
    EXPECT_EQ(movie.Sectors, kept.Sectors);
  }
}

TEST(GameMovieTest, SoundIsReadAndReplacedInItsOwnUnits) {
  std::vector<uint8_t> noise(1840);
  for (size_t i = 0; i < noise.size(); i++) noise[i] = uint8_t(i * 73 + 5);
  auto units = [&](size_t n) { return std::vector<uint8_t>(noise.begin(), noise.begin() + long(n)); };
  struct Case {
    std::string Name;
    GameFormat Format;
    std::vector<uint8_t> Sector;
    int Rate;  // 0: no sound
    int Samples;
  };
  const std::vector<Case> cases = {
      {"FF8", GameFormat::kFf8, test::Ff8SoundSector(1, 10, 4, units(1680)), 44100, 2940},
      {"FF9", GameFormat::kFf9, test::Ff9SoundSector(0, 4, units(1840)), 48000, 3220},
      {"FF9 1824", GameFormat::kFf9, test::Ff9SoundSector(1, 5, units(1824)), 48000, 3192},
      {"FF9 none", GameFormat::kFf9, test::Ff9StrangeSoundSector(0, 6), 0, 0},
      {"Chrono Cross", GameFormat::kChronoCross,
       test::ChronoCrossSoundSector(0x01000160, 0, 9, units(1680)), 44100, 2940},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SpuAdpcmHistory history;
    std::vector<int16_t> samples;
    EXPECT_EQ(DecodeGameSound(LayoutOf(c.Format), c.Sector, history, samples), c.Rate);
    EXPECT_EQ(int(samples.size()), c.Samples);

    std::vector<int16_t> tone(size_t(std::max(c.Samples, 1)));
    for (size_t i = 0; i < tone.size(); i++)
      tone[i] = int16_t(10000 * std::sin(double(i) * 2 * M_PI * 700 / 44100));
    std::vector<uint8_t> sector = c.Sector;
    SpuAdpcmHistory enc;
    if (c.Rate == 0) {
      EXPECT_FALSE(ReplaceGameSound(LayoutOf(c.Format), sector, enc, tone));
      EXPECT_EQ(sector, c.Sector);
      continue;
    }
    // Too few samples: refused, nothing written.
    EXPECT_FALSE(ReplaceGameSound(LayoutOf(c.Format), sector, enc,
                                  std::span<const int16_t>(tone).first(tone.size() - 1)));
    EXPECT_EQ(sector, c.Sector);
    ASSERT_TRUE(ReplaceGameSound(LayoutOf(c.Format), sector, enc, tone));
    const auto payload = SoundPayloadOf(c.Format, sector);
    ASSERT_TRUE(payload);
    for (size_t i = 0; i < sector.size(); i++) {
      const bool unitByte = i >= size_t(payload->Offset) &&
                            i < size_t(payload->Offset + payload->Size) &&
                            (i - size_t(payload->Offset)) % kSpuUnitSize != 1;
      if (!unitByte) {
        ASSERT_EQ(sector[i], c.Sector[i]) << i;
      }
    }
    SpuAdpcmHistory dec;
    std::vector<int16_t> back;
    DecodeGameSound(LayoutOf(c.Format), sector, dec, back);
    double signal = 0, error = 0;
    for (size_t i = 0; i < back.size(); i++) {
      signal += double(tone[i]) * tone[i];
      error += double(tone[i] - back[i]) * (tone[i] - back[i]);
    }
    EXPECT_GE(10 * std::log10(signal / std::max(error, 1.0)), 40.0);
  }
}

}  // namespace
}  // namespace belmora
