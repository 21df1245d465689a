#include <gtest/gtest.h>

#include <filesystem>

#include "convert/frame_bmp.h"
#include "base/bytes.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

TEST(FrameBmpTest, BottomRowFirstAtPaddedSize) {
  FrameImage img;
  img.LayOut(320, 240);
  for (int y = 0; y < 240; y++)
    for (int x = 0; x < 320; x++) {
      uint8_t* p = &img.Pixels[(size_t(y) * 320 + x) * 3];
      p[0] = uint8_t(x);
      p[1] = uint8_t(y);
      p[2] = 7;
    }
  auto bmp = FrameBmpBytes(img, false);
  ASSERT_EQ(bmp.size(), 230454u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(GetU32(&bmp[2]), 230454u);
  EXPECT_EQ(GetU32(&bmp[10]), 54u);
  EXPECT_EQ(GetU32(&bmp[14]), 40u);
  EXPECT_EQ(int32_t(GetU32(&bmp[18])), 320);
  EXPECT_EQ(int32_t(GetU32(&bmp[22])), 240);  // bottom-up
  EXPECT_EQ(GetU16(&bmp[28]), 24);
  EXPECT_EQ(GetU32(&bmp[34]), 230400u);
  EXPECT_EQ(bmp[54 + 1], 239);  // first row in the file: the picture's bottom row
  EXPECT_EQ(bmp[54 + 3 * 5], 5);
  EXPECT_EQ(int32_t(GetU32(&img.Header[8])), -240);  // the picture's own header is kept

  auto half = FrameBmpBytes(img, true);
  ASSERT_EQ(half.size(), 54u + 160 * 240 * 3);
  EXPECT_EQ(int32_t(GetU32(&half[18])), 160);
  EXPECT_EQ(half[54 + 159 * 3], 159);  // left half of each row
  EXPECT_EQ(half[54 + 160 * 3 + 1], 238);
}

TEST(FrameBmpTest, UncreatableFileIsReported) {
  FrameCodec codec;
  CollectingHost sink;
  EXPECT_EQ(SaveFrameBmp(codec, "/no/such/dir/x.bmp", sink), Status::kFailed);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], "ファイルがオープンできません。");
}

}  // namespace
}  // namespace belmora
