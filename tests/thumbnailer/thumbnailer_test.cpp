// belmora-thumbnailer as file managers run it: a PNG of the frame of the
// movie's first second that shows the most, at the size asked, called
// through the thumbnailer entry the package installs; whatever is no movie,
// or too large, is refused and nothing is written; memory stays bounded.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "base/bytes.h"
#include "convert/thumbnail.h"
#include "str/sector.h"
#include "tests/support/disc_files.h"
#include "tests/support/hostile_inputs.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "tests/support/xa_builder.h"

namespace belmora::test {
namespace {

namespace fs = std::filesystem;

struct Png {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgb;
};

uint32_t BigU32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Reads an 8-bit truecolour PNG whose rows are unfiltered, as the
// thumbnailer writes them; false for anything else.
bool ReadPng(const std::string& path, Png& png) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) return false;
  std::vector<uint8_t> packed;
  for (size_t at = 8; at + 12 <= bytes.size();) {
    const uint32_t length = BigU32(&bytes[at]);
    const std::string type(bytes.begin() + ptrdiff_t(at) + 4, bytes.begin() + ptrdiff_t(at) + 8);
    const uint8_t* data = &bytes[at + 8];
    if (at + 12 + length > bytes.size()) return false;
    if (crc32(0, &bytes[at + 4], length + 4) != BigU32(data + length)) return false;
    if (type == "IHDR") {
      png.Width = int(BigU32(data));
      png.Height = int(BigU32(data + 4));
      if (data[8] != 8 || data[9] != 2 || data[12] != 0) return false;
    } else if (type == "IDAT") {
      packed.insert(packed.end(), data, data + length);
    }
    at += 12 + length;
  }
  const size_t row = size_t(png.Width) * 3;
  std::vector<uint8_t> raw((row + 1) * size_t(png.Height));
  uLongf size = uLongf(raw.size());
  if (uncompress(raw.data(), &size, packed.data(), uLong(packed.size())) != Z_OK ||
      size != raw.size())
    return false;
  for (int y = 0; y < png.Height; y++) {
    if (raw[size_t(y) * (row + 1)] != 0) return false;
    const auto from = raw.begin() + ptrdiff_t(size_t(y) * (row + 1) + 1);
    png.Rgb.insert(png.Rgb.end(), from, from + ptrdiff_t(row));
  }
  return true;
}

// 30 frames of 320 x 240 with sound; in its first second (15 frames) only
// frame 5 shows a picture, the others are flat grey at changing levels.
void WriteMovie(const std::string& path) {
  MovieRecipe m;
  m.Frames = 30;
  m.ChunkPattern = {9};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  auto random = std::make_shared<std::mt19937>(5);
  m.Bitstream = [random](int frame) {
    if (frame == 5 || frame >= 15) return EncodeLevels(RandomLevels(320, 240, *random), 2, 2);
    std::vector<MacroblockLevels> flat(20 * 15, MacroblockLevels{});
    for (MacroblockLevels& mb : flat)
      for (int b = 2; b < 6; b++) mb[size_t(b)][0] = int16_t(4 * frame);
    return EncodeLevels(flat, 2, 2);
  };
  BuildMovie(m).Write(path);
}

// The picture of a 24-bit bottom-up BMP file, blue-green-red, top row first.
std::vector<uint8_t> BmpPixels(const std::string& path, int& w, int& h) {
  const auto bytes = ReadFileBytes(path);
  w = int(GetU32(&bytes[18]));
  h = int(GetU32(&bytes[22]));
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> out;
  for (int y = h - 1; y >= 0; y--) {
    const auto row = bytes.begin() + ptrdiff_t(54 + size_t(y) * stride);
    out.insert(out.end(), row, row + w * 3);
  }
  return out;
}

class ThumbnailerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    WriteMovie(movie);
  }
  void TearDown() override { fs::remove_all(dir); }
  // The hidden temporary files left in the folder.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string()[0] == '.') names.push_back(e.path().string());
    return names;
  }

  const std::string dir = TempPath("thumbnailer");
  const std::string movie = dir + "/movie with space.str";
};

// The frame that shows the most of the first second, scaled to fit the
// size asked: the same pixels as that frame's BMP export scaled.
TEST_F(ThumbnailerTest, ThePictureOfTheFirstSecond) {
  const std::string png = dir + "/thumb.png", bmp = dir + "/frame.bmp";
  auto r = RunCommand({BELMORA_THUMBNAILER, "-s", "128", movie, png});
  ASSERT_EQ(r.Status, 0) << r.Err;
  Png thumb;
  ASSERT_TRUE(ReadPng(png, thumb));
  EXPECT_EQ(thumb.Width, 128);
  EXPECT_EQ(thumb.Height, 96);
  ASSERT_EQ(RunCommand({BELMORA_CLI, "export-bmp", movie, "--frame", "5", "-o", bmp}).Status, 0);
  int w = 0, h = 0;
  const std::vector<uint8_t> frame = BmpPixels(bmp, w, h);
  EXPECT_TRUE(thumb.Rgb == ScaledRgb(frame.data(), w, h, size_t(w) * 3, 128, 96));
  EXPECT_TRUE(Leftovers().empty());
  // Larger than the picture: scaled up; the default size is 256.
  ASSERT_EQ(RunCommand({BELMORA_THUMBNAILER, movie, png, "400"}).Status, 0);
  ASSERT_TRUE(ReadPng(png, thumb = {}));
  EXPECT_EQ(thumb.Width, 400);
  EXPECT_EQ(thumb.Height, 300);
  ASSERT_EQ(RunCommand({BELMORA_THUMBNAILER, movie, png}).Status, 0);
  ASSERT_TRUE(ReadPng(png, thumb = {}));
  EXPECT_EQ(thumb.Width, 256);
}

// Run as a file manager runs it: the entry's Exec line with %i (or %u) %o
// %s filled in, for the type the package's MIME file gives STR files; and
// in the gdk-pixbuf-thumbnailer manner, INPUT OUTPUT SIZE.
TEST_F(ThumbnailerTest, AsAFileManagerRunsIt) {
  std::ifstream entryFile(std::string(BELMORA_SOURCE_DIR) + "/thumbnailer/belmora.thumbnailer");
  std::stringstream entry;
  entry << entryFile.rdbuf();
  std::smatch exec, type;
  const std::string text = entry.str();
  ASSERT_TRUE(std::regex_search(text, exec, std::regex("\nExec=(.*)\n")));
  ASSERT_TRUE(std::regex_search(text, type, std::regex("\nMimeType=(.*);\n")));
  const auto mime = ReadFileBytes(std::string(BELMORA_SOURCE_DIR) + "/app/desktop/belmora.xml");
  EXPECT_NE(std::string(mime.begin(), mime.end()).find("type=\"" + type[1].str() + "\""),
            std::string::npos);
  const std::string png = dir + "/manager.png";
  std::string command = exec[1].str();
  command.replace(command.find("belmora-thumbnailer"), 19, BELMORA_THUMBNAILER);
  for (const auto& [field, value] : {std::pair{"%s", std::string("64")},
                                     std::pair{"%o", "'" + png + "'"},
                                     std::pair{"%i", "'" + movie + "'"},
                                     std::pair{"%u", "'file://" + movie + "'"}})
    if (const size_t at = command.find(field); at != std::string::npos)
      command.replace(at, 2, value);
  auto r = RunCommand({"sh", "-c", command});
  ASSERT_EQ(r.Status, 0) << command << "\n" << r.Err;
  Png thumb;
  ASSERT_TRUE(ReadPng(png, thumb));
  EXPECT_EQ(thumb.Width, 64);
  // A URI, its space escaped, with the size last.
  std::string uri = "file://" + movie;
  uri.replace(uri.find(' '), 1, "%20");
  r = RunCommand({BELMORA_THUMBNAILER, uri, png, "32"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_TRUE(ReadPng(png, thumb = {}));
  EXPECT_EQ(thumb.Width, 32);
  EXPECT_EQ(thumb.Height, 24);
}

// What is no movie, or too large to open within a second, is refused with
// the file's name and the reason, and no output (nor temporary file) is
// left; wrong arguments are told apart.
TEST_F(ThumbnailerTest, RefusesWhatIsNoMovie) {
  const std::string text = dir + "/notes.str", sound = dir + "/voices.xa", huge = dir + "/huge.str";
  WriteFileBytes(text, std::vector<uint8_t>(5000, 'a'));
  XaFileRecipe recipe;
  recipe.Channels = {{0, 0x01, 6, {}, {}}};
  WriteFileBytes(sound, BuildXaFile(recipe));
  {
    std::ofstream out(huge);
  }
  fs::resize_file(huge, uintmax_t(kThumbnailMaxFileBytes) + 2352);
  const std::string png = dir + "/refused.png";
  for (const std::string& input : {text, sound, huge, dir + "/missing.str"}) {
    SCOPED_TRACE(input);
    auto r = RunCommand({BELMORA_THUMBNAILER, input, png, "128"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find(input), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(" ("), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(png));
    EXPECT_TRUE(Leftovers().empty());
  }
  EXPECT_EQ(RunCommand({BELMORA_THUMBNAILER, movie}).Status, 2);
  EXPECT_EQ(RunCommand({BELMORA_THUMBNAILER, "-s", "0", movie, png}).Status, 2);
  EXPECT_EQ(RunCommand({BELMORA_THUMBNAILER, movie, dir + "/no/such/folder/x.png"}).Status, 1);
}

// Inputs made to exhaust the readers: a picture size at the readers'
// limit, garbled and lost chunks, the hostile movie. Each ends (with or
// without a thumbnail) well under 100 MiB.
TEST_F(ThumbnailerTest, BoundedOnHostileInputs) {
  std::vector<std::string> inputs;
  MovieRecipe big;
  big.Frames = 20;
  big.Width = 4080;
  big.Height = 4080;
  inputs.push_back(dir + "/big-picture.str");
  BuildMovie(big).Write(inputs.back());
  for (DiscFileKind kind : {DiscFileKind::kGarbledHeader, DiscFileKind::kLostSector}) {
    inputs.push_back(dir + "/disc-" + std::to_string(int(kind)) + ".str");
    BuildDiscFile(kind).Write(inputs.back());
  }
  inputs.push_back(dir + "/hostile.str");
  WriteFileBytes(inputs.back(), HostileMovie());
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    auto r = RunCommand({BELMORA_THUMBNAILER, input, dir + "/hostile.png", "256"});
    EXPECT_TRUE(r.Status == 0 || r.Status == 1) << r.Err;
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_GT(r.PeakKib, 0);
    EXPECT_LT(r.PeakKib, 100 * 1024) << "peak resident KiB";
#endif
    EXPECT_TRUE(Leftovers().empty());
  }
}

}  // namespace
}  // namespace belmora::test
