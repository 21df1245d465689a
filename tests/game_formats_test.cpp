// The game movie layouts: sectors written from the published layouts are
// recognised as their format, read back field by field, rewritten with new
// fields while the bytes each format keeps stay, and their sound found.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/bytes.h"
#include "tests/support/game_layouts.h"
#include "tests/support/game_sector_builder.h"

namespace belmora {
namespace {

using test::GameVideoFields;

GameVideoFields Fields(int chunk, int chunks, uint32_t frame, int width, int height,
                       uint32_t size, std::initializer_list<uint8_t> header) {
  GameVideoFields f;
  f.ChunkNumber = chunk;
  f.ChunkCount = chunks;
  f.FrameNumber = frame;
  f.Width = width;
  f.Height = height;
  f.DataSize = size;
  std::copy(header.begin(), header.end(), f.Header);
  return f;
}

TEST(GameFormatsTest, VideoSectorsAreRecognisedReadAndRewritten) {
  struct Case {
    std::string Name;
    std::vector<uint8_t> Sector;
    GameFormat Format;
    GameChunk Expected;
    std::vector<int> KeptBytes;  // bytes a rewrite leaves as they were
  };
  const std::vector<Case> cases = {
      {"standard v2",
       test::StandardVideoSector(
           Fields(1, 4, 17, 320, 240, 7000, {0x60, 0x01, 0x00, 0x38, 0x05, 0x00, 0x02, 0x00})),
       GameFormat::kStandard, GameChunk{false, 0, 17, 1, 4, 7000, 320, 240}, {28, 29, 30, 31}},
      {"version 1",
       test::StandardVideoSector(
           Fields(0, 9, 3, 320, 224, 17000, {0x60, 0x01, 0x00, 0x38, 0x05, 0x00, 0x01, 0x00})),
       GameFormat::kVersion1, GameChunk{false, 0, 3, 0, 9, 17000, 320, 224}, {}},
      {"Final Fantasy VII", test::Ff7VideoSector(Fields(2, 10, 44, 320, 224, 18000, {}), 0xC7),
       GameFormat::kFf7, GameChunk{false, 0, 44, 2, 10, 18000, 320, 224}, {}},
      {"Lain",
       test::LainVideoSector(Fields(5, 9, 300, 320, 240, 0, {7, 9, 0x00, 0x38, 0x10, 0x20, 0, 0}),
                             0xE1),
       GameFormat::kLain, GameChunk{false, 0, 300, 5, 9, 9 * 2016, 320, 240}, {10, 11}},
      {"iki", test::IkiVideoSector(Fields(0, 6, 12, 304, 208, 11000, {}), 4321),
       GameFormat::kIki, GameChunk{false, 0, 12, 0, 6, 11000, 304, 208}, {}},
      {"Final Fantasy VIII", test::Ff8VideoSector(4, 10, 513), GameFormat::kFf8,
       GameChunk{false, 0, 513, 4, 10, 0, 320, 224}, {0, 1, 2, 3}},
      {"Final Fantasy IX",
       test::Ff9VideoSector(
           Fields(7, 10, 90, 320, 224, 14000, {0x40, 0x02, 0x00, 0x38, 0x03, 0x00, 0x02, 0x00})),
       GameFormat::kFf9, GameChunk{false, 0, 90, 7, 10, 14000, 320, 224}, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(RecogniseGameSector(c.Sector), c.Format);
    const auto got = ReadGameChunk(c.Format, c.Sector);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->IsSound, false);
    EXPECT_EQ(got->FrameNumber, c.Expected.FrameNumber);
    EXPECT_EQ(got->ChunkNumber, c.Expected.ChunkNumber);
    EXPECT_EQ(got->ChunkCount, c.Expected.ChunkCount);
    EXPECT_EQ(got->DataSize, c.Expected.DataSize);
    EXPECT_EQ(got->Width, c.Expected.Width);
    EXPECT_EQ(got->Height, c.Expected.Height);

    // A rewrite with other values reads back as written; the frame header
    // copy follows the new frame where the format keeps one. A format whose
    // pictures are read only refuses and changes nothing.
    std::vector<uint8_t> sector = c.Sector;
    if (!InfoOf(c.Format).PictureWritable) {
      EXPECT_FALSE(WriteGameChunk(c.Format, *got, {}, sector));
      EXPECT_EQ(sector, c.Sector);
      continue;
    }
    GameChunk next = *got;
    next.FrameNumber += 2;
    next.ChunkNumber = next.ChunkCount - 1;
    if (c.Format == GameFormat::kLain) next.DataSize = uint32_t(next.ChunkCount) * 2016;
    else if (next.DataSize) next.DataSize += 4;
    uint8_t header[8] = {0x20, 0, 0x00, 0x38, 9, 0, 0, 0};
    if (c.Format == GameFormat::kVersion1) header[6] = 1;
    if (c.Format == GameFormat::kStandard || c.Format == GameFormat::kFf9) header[6] = 2;
    if (c.Format == GameFormat::kFf7) std::fill(header, header + 8, 0xB5);  // camera data
    if (c.Format == GameFormat::kIki) {
      PutU16(header + 4, uint32_t(next.Width));
      PutU16(header + 6, uint32_t(next.Height));
    }
    ASSERT_TRUE(WriteGameChunk(c.Format, next, header, sector));
    for (int i : c.KeptBytes) EXPECT_EQ(sector[size_t(i)], c.Sector[size_t(i)]) << "byte " << i;
    for (size_t i = 32; i < sector.size(); i++) ASSERT_EQ(sector[i], c.Sector[i]) << i;
    ASSERT_EQ(RecogniseGameSector(sector), c.Format);
    const auto back = ReadGameChunk(c.Format, sector);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->FrameNumber, next.FrameNumber);
    EXPECT_EQ(back->ChunkNumber, next.ChunkNumber);
    EXPECT_EQ(back->DataSize, next.DataSize);
    if (c.Format != GameFormat::kFf8) {
      EXPECT_TRUE(std::equal(header, header + 8, sector.begin() + 20));
    }
  }
}

TEST(GameFormatsTest, SoundSectorsSayWhereTheirUnitsAre) {
  const std::vector<uint8_t> units1680(1680, 0x11), units1840(1840, 0x22), units1824(1824, 0x33);
  struct Case {
    std::string Name;
    std::vector<uint8_t> Sector;
    GameFormat Format;
    int Channel;
    uint32_t Frame;
    std::optional<SoundPayload> Payload;
  };
  // Sizes of 1680 bytes play at 44100 Hz, the others at 48000 Hz.
  const std::vector<Case> cases = {
      {"FF8 left", test::Ff8SoundSector(0, 10, 77, units1680), GameFormat::kFf8, 0, 77,
       SoundPayload{368, 1680}},
      {"FF8 right, sound-only movie", test::Ff8SoundSector(1, 2, 78, units1680),
       GameFormat::kFf8, 1, 78, SoundPayload{368, 1680}},
      {"FF9 1840", test::Ff9SoundSector(0, 5, units1840), GameFormat::kFf9, 0, 5,
       SoundPayload{208, 1840}},
      {"FF9 1824", test::Ff9SoundSector(1, 6, units1824), GameFormat::kFf9, 1, 6,
       SoundPayload{208, 1824}},
      {"FF9 without sound", test::Ff9StrangeSoundSector(0, 7), GameFormat::kFf9, 0, 7,
       std::nullopt},
      {"Chrono Cross", test::ChronoCrossSoundSector(0x00010160, 1, 12, units1680),
       GameFormat::kChronoCross, 1, 12, SoundPayload{208, 1680}},
      {"Legend of Mana", test::ChronoCrossSoundSector(0x01000160, 0, 3, units1680),
       GameFormat::kChronoCross, 0, 3, SoundPayload{208, 1680}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(RecogniseGameSector(c.Sector), c.Format);
    const auto chunk = ReadGameChunk(c.Format, c.Sector);
    ASSERT_TRUE(chunk);
    EXPECT_TRUE(chunk->IsSound);
    EXPECT_EQ(chunk->SoundChannel, c.Channel);
    EXPECT_EQ(chunk->FrameNumber, c.Frame);
    const auto payload = SoundPayloadOf(c.Format, c.Sector);
    ASSERT_EQ(payload.has_value(), c.Payload.has_value());
    if (payload) {
      EXPECT_EQ(payload->Offset, c.Payload->Offset);
      EXPECT_EQ(payload->Size, c.Payload->Size);
      EXPECT_EQ(payload->Rate, c.Payload->Size == 1680 ? 44100 : 48000);
    }
    // A sound sector is never written as a video chunk.
    std::vector<uint8_t> copy = c.Sector;
    EXPECT_FALSE(WriteGameChunk(c.Format, *chunk, {}, copy));
    EXPECT_EQ(copy, c.Sector);
  }
}

// The sound chip pitch a sound sector gives is its rate only within 4 to
// 48 kHz; anything else is damage: the sector holds no sound to play.
TEST(GameFormatsTest, SoundRatesOutsideWhatMoviesPlayAreDamage) {
  const std::vector<uint8_t> units(1680, 0x11);
  const struct {
    uint32_t Pitch;
    int Rate;  // 0: no sound
  } cases[] = {{0x1000, 44100}, {0x116A, 48000}, {0x0800, 22050}, {0x0174, 4005}, {0, 44100},
               {0x0173, 0},     {0x116B, 0},     {0x100000, 0},   {0xFFFFFFFF, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Pitch);
    for (auto [format, akao] : {std::pair{GameFormat::kFf8, 256},
                                std::pair{GameFormat::kChronoCross, 128}}) {
      std::vector<uint8_t> sector = format == GameFormat::kFf8
                                        ? test::Ff8SoundSector(0, 10, 1, units)
                                        : test::ChronoCrossSoundSector(0x00010160, 0, 1, units);
      PutU32(&sector[size_t(akao) + 28], c.Pitch);
      const auto payload = SoundPayloadOf(format, sector);
      EXPECT_EQ(payload ? payload->Rate : 0, c.Rate);
    }
  }
}

TEST(GameFormatsTest, AMovieIsNamedByItsSectors) {
  const std::vector<uint8_t> units(1680, 0x11);
  const auto standard = test::StandardVideoSector(
      Fields(0, 8, 1, 320, 240, 9000, {0x60, 0x01, 0x00, 0x38, 0x05, 0x00, 0x02, 0x00}));
  const auto lain = test::LainVideoSector(Fields(0, 9, 1, 320, 240, 0, {7, 9, 0, 0x38}), 0);
  const std::vector<uint8_t> filler(2048), empty;
  struct Case {
    std::string Name;
    std::vector<std::vector<uint8_t>> Sectors;
    std::optional<GameFormat> Expected;
  };
  const std::vector<Case> cases = {
      {"standard", {standard, filler, standard}, GameFormat::kStandard},
      {"Lain", {filler, lain, lain, standard}, GameFormat::kLain},
      {"Chrono Cross: its sound sectors decide",
       {standard, standard, test::ChronoCrossSoundSector(0x00000160, 0, 1, units), standard},
       GameFormat::kChronoCross},
      {"FF8 sound only", {test::Ff8SoundSector(0, 2, 0, units)}, GameFormat::kFf8},
      {"nothing known", {filler, empty}, std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<std::span<const uint8_t>> spans(c.Sectors.begin(), c.Sectors.end());
    EXPECT_EQ(DetectGameFormat(spans), c.Expected) << c.Name;
  }
}

TEST(GameFormatsTest, EveryFormatIsDescribed) {
  for (GameFormat f : kAllGameFormats) {
    const GameFormatInfo& info = InfoOf(f);
    EXPECT_EQ(FormatOf(LayoutById(info.Id)), f);
    EXPECT_GT(info.PayloadSize, 0);
    EXPECT_LE(info.PayloadOffset + info.PayloadSize, info.VideoUserDataSize);
    if (info.SectorsPerFrame) {
      EXPECT_EQ(info.SoundSectorsPerFrame, 2);
    }
  }
  // Sectors of nothing known, and an empty one, are no game's.
  std::vector<uint8_t> zeros(2048), noise(2048);
  for (size_t i = 0; i < noise.size(); i++) noise[i] = uint8_t(i * 37 + 11);
  EXPECT_FALSE(RecogniseGameSector(zeros));
  EXPECT_FALSE(RecogniseGameSector(noise));
  EXPECT_FALSE(RecogniseGameSector({}));
}

}  // namespace
}  // namespace belmora
