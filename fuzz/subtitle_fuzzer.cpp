// Subtitle files as the subtitle commands read them: the first byte picks
// SRT or ASS, the rest is the file. The text is turned into a script, kept
// to what a small picture can show, and drawn at a few moments onto a
// 64 x 48 picture. Whatever the file says (sizes, scales, borders, blurs,
// thousands of events at once), drawing must stay on the picture and within
// the bounds the renderer promises.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "platform/subtitle_renderer.h"

using namespace belmora;

namespace {

// libass picks the reader by the file's name, so the input goes to a real
// file of the right extension.
// Fontconfig is pointed at one small folder of fonts with a cache of its
// own: every Load sets up its fonts anew, and scanning every font of the
// system each time would leave no time for fuzzing.
struct Files {
  Files() {
    char name[] = "/tmp/belmora-subtitle-fuzz-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    dir = name;
    std::ofstream(dir + "/fonts.conf")
        << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>"
           "<dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>"
        << dir << "/cache</cachedir></fontconfig>\n";
    ::setenv("FONTCONFIG_FILE", (dir + "/fonts.conf").c_str(), 1);
  }
  ~Files() { std::filesystem::remove_all(dir); }
  std::string dir;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Files files;
  fuzz::FieldReader in(data, size);
  const bool ass = in.U8() & 1;
  const std::string text(reinterpret_cast<const char*>(in.Rest()), in.RestSize());
  constexpr int kWidth = 64, kHeight = 48;

  // The script as the renderer will take it is bounded in every size.
  bool changed = false;
  const std::string script =
      BoundAssScript(ass ? text : SrtToAss(text, kWidth, kHeight, {}), kWidth, kHeight, changed);
  FUZZ_CHECK(script.size() <= 2 * (text.size() + 4096));

  const std::string path = files.dir + (ass ? "/in.ass" : "/in.srt");
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), std::streamsize(text.size()));
  SubtitleRenderer renderer;
  if (!renderer.Load(path, kWidth, kHeight, {})) return 0;
  FUZZ_CHECK(renderer.EventCount() <= SubtitleRenderer::kMaxEvents);
  // A border of guard bytes around the picture must stay untouched.
  constexpr size_t kStride = kWidth * 3 + 16;
  std::vector<uint8_t> picture(kStride * (kHeight + 2), 0x5A);
  for (int64_t ms : {int64_t(0), int64_t(500), int64_t(3000), int64_t(60000)})
    (void)renderer.Draw(ms, picture.data() + kStride, kWidth, kHeight, kStride);
  for (size_t i = 0; i < kStride; i++) {
    FUZZ_CHECK(picture[i] == 0x5A);
    FUZZ_CHECK(picture[kStride * (kHeight + 1) + i] == 0x5A);
  }
  for (int y = 0; y < kHeight; y++)
    for (size_t x = kWidth * 3; x < kStride; x++) FUZZ_CHECK(picture[kStride * size_t(y + 1) + x] == 0x5A);
  return 0;
}
