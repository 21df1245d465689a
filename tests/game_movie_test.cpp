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
#include "mdec/variants.h"
#include "str/game_formats.h"
#include "tests/support/game_sector_builder.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"

namespace belmora {
namespace {

using test::GameVideoFields;

BitstreamKind KindOf(FrameCoding coding) {
  switch (coding) {
    case FrameCoding::kVersion1:
      return BitstreamKind::kVersion1;
    case FrameCoding::kLain:
      return BitstreamKind::kLain;
    case FrameCoding::kIki:
      return BitstreamKind::kIki;
    default:
      return BitstreamKind::kStandard;
  }
}

struct Movie {
  std::vector<std::vector<uint8_t>> Sectors;
  std::vector<size_t> Video;  // which sectors hold the frame's video chunks
  std::vector<std::pair<size_t, int>> Kept;  // (sector, byte) that must not change
};

// The sectors of one frame of `format` holding `frame`.
Movie BuildFrame(GameFormat format, const std::vector<uint8_t>& frame, int videoSectors,
                 int width, int height) {
  const GameFormatInfo& info = InfoOf(format);
  Movie m;
  const std::vector<uint8_t> units(1680, 0x4C);
  if (info.SoundSectorsPerFrame) {
    for (int c = 0; c < 2; c++)
      m.Sectors.push_back(format == GameFormat::kFf8 ? test::Ff8SoundSector(c, 10, 21, units)
                                                     : test::Ff9SoundSector(c, 21, units));
  }
  for (int v = 0; v < videoSectors; v++) {
    const int chunk = int(m.Sectors.size());
    GameVideoFields f;
    f.FrameNumber = 21;
    f.ChunkNumber = info.SoundSectorsPerFrame ? chunk : v;
    f.ChunkCount = info.SoundSectorsPerFrame ? 10 : videoSectors;
    f.DataSize = uint32_t(frame.size() + 3) & ~3u;
    f.Width = width;
    f.Height = height;
    std::memcpy(f.Header, frame.data(), 8);
    std::vector<uint8_t> s;
    switch (format) {
      case GameFormat::kFf7:
        // Bytes 20..27 copy the camera data's first eight bytes.
        s = test::Ff7VideoSector(f, 0xC7);
        std::memcpy(&s[20], frame.data(), 8);
        for (int i = 20; i < 28; i++) m.Kept.push_back({m.Sectors.size(), i});
        break;
      case GameFormat::kFf8:
        s = test::Ff8VideoSector(f.ChunkNumber, 10, 21);
        for (int i = 0; i < 4; i++) m.Kept.push_back({m.Sectors.size(), i});
        break;
      case GameFormat::kFf9:
        s = test::Ff9VideoSector(f);
        break;
      case GameFormat::kLain:
        s = test::LainVideoSector(f, 0xE1);
        std::memcpy(&s[20], frame.data(), 8);
        m.Kept.push_back({m.Sectors.size(), 10});
        m.Kept.push_back({m.Sectors.size(), 11});
        break;
      case GameFormat::kIki:
        s = test::IkiVideoSector(f, GetU16(frame.data()));
        break;
      default:
        s = test::StandardVideoSector(f);
        break;
    }
    // The payload of chunk v (from the last chunk down where the format
    // takes them so).
    const int slot = info.ReverseChunks ? videoSectors - 1 - v : v;
    const size_t from = size_t(slot) * size_t(info.PayloadSize);
    for (int i = 0; i < info.PayloadSize; i++)
      s[size_t(info.PayloadOffset + i)] = from + size_t(i) < frame.size() ? frame[from + size_t(i)] : 0;
    m.Video.push_back(m.Sectors.size());
    m.Sectors.push_back(std::move(s));
  }
  return m;
}

std::vector<uint8_t> Gather(GameFormat format, const Movie& m) {
  std::vector<std::span<const uint8_t>> video;
  for (size_t i : m.Video) video.emplace_back(m.Sectors[i]);
  std::vector<uint8_t> frame;
  EXPECT_TRUE(GatherFrame(format, video, frame));
  return frame;
}

double DecodedPsnr(const BitstreamCodec& codec, const std::vector<uint8_t>& frame, int width,
                   int height, const std::vector<uint8_t>& picture) {
  MdecCodec mdec;
  FrameImage image;
  if (codec.Decode(mdec, frame, width, height, false, image) != 0) return 0;
  return test::LumaPsnr(picture.data(), size_t((width + 15) / 16 * 16) * 3, image.Pixels.data(),
                        size_t(image.Stride()), width, height);
}

TEST(GameMovieTest, AFrameIsReadAndReplacedInItsOwnSectors) {
  struct Case {
    GameFormat Format;
    int VideoSectors, Width, Height;
    bool Camera;
  };
  const Case cases[] = {
      {GameFormat::kVersion1, 3, 160, 112, false},
      {GameFormat::kFf7, 3, 160, 112, true},
      {GameFormat::kFf8, 8, 320, 224, false},
      {GameFormat::kFf9, 8, 320, 224, false},
      {GameFormat::kLain, 3, 160, 112, false},
      {GameFormat::kIki, 3, 160, 112, false},
  };
  for (const Case& c : cases) {
    const GameFormatInfo& info = InfoOf(c.Format);
    SCOPED_TRACE(info.Name);
    const BitstreamCodec& codec = BitstreamCodecFor(KindOf(info.Frames));
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
    Movie movie = BuildFrame(c.Format, frame, c.VideoSectors, c.Width, c.Height);
    for (const auto& s : movie.Sectors) ASSERT_EQ(RecogniseGameSector(s), c.Format);

    const std::vector<uint8_t> gathered = Gather(c.Format, movie);
    ASSERT_GE(gathered.size(), frame.size());
    EXPECT_GE(DecodedPsnr(codec, gathered, c.Width, c.Height, first), 35.0);

    // The replacement, encoded against the frame it replaces.
    EncodedFrame replacement;
    ASSERT_EQ(codec.Encode(mdec, {second.data(), pw, ph, pw * 3},
                           {c.Width, c.Height, 2, capacity}, gathered, replacement),
              EncodeStatus::kOk);
    const std::span<const uint8_t> newFrame(replacement.Bytes.data(), size_t(replacement.Length));
    const Movie before = movie;
    std::vector<std::span<uint8_t>> video;
    for (size_t i : movie.Video) video.emplace_back(movie.Sectors[i]);
    if (!info.PictureWritable) {
      EXPECT_FALSE(SpreadFrame(c.Format, newFrame, video));
      EXPECT_EQ(movie.Sectors, before.Sectors);
      continue;
    }
    ASSERT_TRUE(SpreadFrame(c.Format, newFrame, video));
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
    const std::vector<uint8_t> again = Gather(c.Format, movie);
    if (c.Camera) {
      EXPECT_TRUE(std::equal(camera.begin(), camera.end(), again.begin()));
    }
    EXPECT_GE(DecodedPsnr(codec, again, c.Width, c.Height, second), 35.0);

    // A frame bigger than the sectors is refused and writes nothing.
    const Movie kept = movie;
    const std::vector<uint8_t> tooBig(size_t(capacity) + 1, 0x11);
    EXPECT_FALSE(SpreadFrame(c.Format, tooBig, video));
    EXPECT_EQ(movie.Sectors, kept.Sectors);
  }
}

}  // namespace
}  // namespace belmora
