#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "base/messages.h"
#include "media/bmp_io.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::BmpRecipe;

class BmpIoTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path); }
  int Load(const BmpRecipe& recipe) {
    test::WriteBmp(path, recipe);
    return bmp.ReadBmp(path, sink);
  }
  std::array<uint8_t, 3> At(int x, int y) {
    uint8_t px[4] = {1, 2, 3, 4};
    bmp.GetPixel(x, y, px);
    return {px[0], px[1], px[2]};
  }

  std::string path = test::TempPath("pic.bmp");
  CollectingHost sink;
  TBmpIo bmp;
};

std::vector<std::array<uint8_t, 4>> Grey(int n) {
  std::vector<std::array<uint8_t, 4>> p;
  for (int i = 0; i < n; i++) p.push_back({uint8_t(i * 3), uint8_t(i * 5), uint8_t(i * 7), 0});
  return p;
}

TEST_F(BmpIoTest, EveryBitDepth) {
  BmpRecipe s;
  s.Width = 21;
  s.Height = 5;
  for (int bits : {1, 4, 8}) {
    s.BitCount = bits;
    s.Palette = Grey(1 << bits);
    int colours = 1 << bits;
    s.Pixel = [colours](int x, int y) { return uint32_t((x + 3 * y) % colours); };
    ASSERT_EQ(Load(s), 0) << bits;
    for (int y = 0; y < 5; y++)
      for (int x = 0; x < 21; x++) {
        int i = (x + 3 * y) % colours;
        ASSERT_EQ(At(x, y),
                  (std::array<uint8_t, 3>{uint8_t(i * 3), uint8_t(i * 5), uint8_t(i * 7)}))
            << bits << " at " << x << "," << y;
      }
  }
  s.Palette.clear();
  s.BitCount = 16;
  s.Pixel = [](int x, int) { return x == 0 ? 0x7FFFu : 0x0421u * uint32_t(x); };
  ASSERT_EQ(Load(s), 0);
  EXPECT_EQ(At(0, 0), (std::array<uint8_t, 3>{248, 248, 248}));
  EXPECT_EQ(At(1, 2), (std::array<uint8_t, 3>{8, 8, 8}));
  for (int bits : {24, 32}) {
    s.BitCount = bits;
    s.Pixel = [](int x, int y) { return uint32_t(x << 16 | y << 8 | (x + y)); };
    ASSERT_EQ(Load(s), 0);
    EXPECT_EQ(At(7, 3), (std::array<uint8_t, 3>{10, 3, 7})) << bits;
  }
}

TEST_F(BmpIoTest, BitFieldsUseTheirMasks) {
  BmpRecipe s;
  s.BitCount = 16;
  s.Compression = 3;
  s.Masks = {0xF800, 0x07E0, 0x001F};                         // 5-6-5
  s.Pixel = [](int, int) { return 0xF800u | (0x3Fu << 5); };  // full red and green
  ASSERT_EQ(Load(s), 0);
  EXPECT_EQ(At(3, 3), (std::array<uint8_t, 3>{0, 252, 248}));
  s.BitCount = 32;
  s.Masks = {0x0000FF00, 0x00FF0000, 0xFF000000};  // red, green, blue high up
  s.Pixel = [](int, int) { return 0x11223300u; };
  ASSERT_EQ(Load(s), 0);
  EXPECT_EQ(At(0, 0), (std::array<uint8_t, 3>{0x11, 0x22, 0x33}));
}

TEST_F(BmpIoTest, RowsAndOffsets) {
  BmpRecipe s;
  s.Width = 321;
  s.Height = 4;
  s.Pixel = [](int x, int y) { return uint32_t(y * 60 + (x == 0 ? 1 : 0)); };
  ASSERT_EQ(Load(s), 0);
  EXPECT_EQ(bmp.Stride(), 964);
  // Pixel (0, 0) is the first pixel of the last row in the file.
  EXPECT_EQ(bmp.Pixels[3 * 964], 1);
  EXPECT_EQ(At(0, 0)[0], 1);
  EXPECT_EQ(At(0, 3)[0], 181);
  bmp.XOffset = -10;
  EXPECT_EQ(At(10, 0)[0], 1);
  EXPECT_EQ(At(9, 0), (std::array<uint8_t, 3>{0, 0, 0}));
  bmp.XOffset = 0;
  bmp.YOffset = -2;
  EXPECT_EQ(At(0, 2)[0], 1);
  EXPECT_EQ(At(0, 6)[0], 0);  // below the picture
  // Top-down pictures read the right way up.
  s.TopDown = true;
  ASSERT_EQ(Load(s), 0);
  bmp.YOffset = 0;
  EXPECT_EQ(At(0, 0)[0], 1);
  EXPECT_EQ(At(5, 3)[0], 180);
}

TEST_F(BmpIoTest, FramePixelsMatchGetPixel) {
  std::mt19937 random(3);
  for (int bits : {8, 16, 24, 32}) {
    for (bool topDown : {false, true}) {
      BmpRecipe s;
      s.Width = 37;
      s.Height = 23;
      s.BitCount = bits;
      s.TopDown = topDown;
      if (bits == 8) s.Palette = Grey(256);
      s.Pixel = [&](int, int) { return uint32_t(random()); };
      ASSERT_EQ(Load(s), 0);
      for (auto [dx, dy] : {std::pair{0, 0}, {-5, 3}, {7, -4}, {-40, 0}}) {
        bmp.XOffset = dx;
        bmp.YOffset = dy;
        std::vector<uint8_t> fast(48 * 32 * 3);
        ReadFramePixels(bmp, 48, 32, fast.data());
        for (int y = 0; y < 32; y++)
          for (int x = 0; x < 48; x++) {
            uint8_t px[4] = {0, 0, 0, 0};
            bmp.GetPixel(x, y, px);
            ASSERT_EQ(0, std::memcmp(px, &fast[(size_t(y) * 48 + x) * 3], 3))
                << bits << " " << x << "," << y;
          }
      }
    }
  }
}

TEST_F(BmpIoTest, HeaderFieldsAreAdjusted) {
  BmpRecipe s;
  s.BitCount = 8;
  s.Palette = Grey(256);
  s.ColorsUsedField = 0;
  ASSERT_EQ(Load(s), 0);
  EXPECT_EQ(bmp.Header.ColorsUsed, 256u);
  s.ColorsUsedField = 300;  // read as 256
  ASSERT_EQ(Load(s), 0);
  EXPECT_EQ(bmp.Header.ColorsUsed, 256u);
  s.BitCount = 24;
  s.Palette.clear();
  s.ColorsUsedField = 0;
  s.ImageSizeField = 0;
  ASSERT_EQ(Load(s), 0);
  EXPECT_EQ(bmp.Header.ImageSize, 48u * 16);
}

// A file that could not be read: its name and the reason.
std::string CannotRead(const std::string& path, const std::string& why) {
  return FormatMessage(msg::kCannotRead, path.c_str(), why.c_str());
}

TEST_F(BmpIoTest, BadFilesAreRefused) {
  EXPECT_EQ(bmp.ReadBmp("/no/such.bmp", sink), -1);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], CannotRead("/no/such.bmp", std::strerror(ENOENT)));

  sink.texts.clear();
  test::WriteFileBytes(path, std::vector<uint8_t>(100, 'x'));
  EXPECT_EQ(bmp.ReadBmp(path, sink), -1);
  EXPECT_EQ(sink.texts, (std::vector<std::string>{CannotRead(path, "BMP形式ではありません。")}));

  sink.texts.clear();
  test::WriteFileBytes(path, {'B', 'M', 0, 0});
  EXPECT_EQ(bmp.ReadBmp(path, sink), -1);
  EXPECT_EQ(sink.texts, (std::vector<std::string>{CannotRead(path, msg::kFileEndsEarly)}));

  // Pixel data shorter than the rows need, whatever the header says.
  for (int64_t field : {-1, 16}) {
    sink.texts.clear();
    BmpRecipe s;
    s.CutPixelBytes = 10;
    s.ImageSizeField = field;
    EXPECT_EQ(Load(s), -1);
    EXPECT_EQ(sink.texts, (std::vector<std::string>{CannotRead(path, msg::kFileEndsEarly)}));
  }
  // Run-length compression is refused, not misread.
  for (uint32_t rle : {1u, 2u}) {
    sink.texts.clear();
    BmpRecipe s;
    s.BitCount = rle == 1 ? 8 : 4;
    s.Palette = Grey(16);
    s.Compression = rle;
    EXPECT_EQ(Load(s), -1);
    EXPECT_EQ(sink.texts,
              (std::vector<std::string>{CannotRead(path, "圧縮されたBMP形式には対応していません。")}));
  }
}

TEST_F(BmpIoTest, BlankAndCopiedPictures) {
  bmp.Header.Width = 5;
  bmp.Header.Height = 3;
  bmp.Header.BitCount = 24;
  ASSERT_EQ(bmp.AllocPixels(sink), 0);
  EXPECT_EQ(bmp.Pixels.size(), 48u);
  EXPECT_EQ(At(4, 2), (std::array<uint8_t, 3>{0, 0, 0}));
  // A DIB header with a palette: colours used 0 means all 16.
  std::vector<uint8_t> dib(40 + 16 * 4, 0);
  BitmapInfoHeader h;
  h.Width = 2;
  h.Height = 2;
  h.BitCount = 4;
  h.ImageSize = 0;
  h.Store(dib.data());
  dib[40 + 4 * 15 + 2] = 200;
  TBmpIo copy;
  ASSERT_EQ(copy.CopyDibHeader(dib.data()), 0);
  EXPECT_EQ(copy.Header.ColorsUsed, 16u);
  EXPECT_EQ(copy.Header.ImageSize, 8u);
  EXPECT_EQ(copy.Palette[15][2], 200);
}

}  // namespace
}  // namespace belmora
