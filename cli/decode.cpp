// belmora-cli decode: decodes frames in file order, as the viewer's Next
// button walks them, optionally saving each as a BMP.
#include <filesystem>

#include "cli/cli_common.h"
#include "convert/frame_bmp.h"
#include "mdec/codec.h"

namespace belmora::cli {

namespace {

struct DecodeOptions {
  std::string path;
  std::string outDir;
  bool half = false;
  bool scalar = false;
  int from = -1;
  int to = -1;
};

int RunDecode(const DecodeOptions& o) {
  Session s;
  if (!OpenForViewing(s, o.path, true)) return 1;
  StrDocument& doc = s.doc;
  MdecCodec codec;
  InitCodec(codec, s.sink);
  codec.HalfWidthView = o.half;
  if (o.scalar) codec.PackedTransformsEnabled = false;
  if (!o.outDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.outDir, ec);
  }
  if (o.from >= 0) doc.CurrentSector = o.from;
  const int32_t last = o.to >= 0 ? o.to : doc.LastFrameSector;
  int decoded = 0, failed = 0, index = 0;
  while (doc.CurrentSector <= last) {
    int r = ReadAndDecodeFrame(codec, doc);
    if (r == -1) break;  // end of file or a read error
    if (r == 1) {        // nothing in this window: look further on
      doc.CurrentSector += 150;
      continue;
    }
    if (doc.CurrentSector > last) break;
    if (r == 0) {
      decoded++;
      if (!o.outDir.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "%06d.bmp", index);
        if (SaveFrameBmp(codec, (std::filesystem::path(o.outDir) / name).string(), s.sink) != 0)
          return 1;
      }
    } else {
      failed++;
    }
    index++;
    doc.CurrentSector = doc.NextSector;
  }
  std::printf("%d frames decoded, %d failed\n", decoded, failed);
  return 0;
}

}  // namespace

void AddDecodeCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("decode", "Decode frames, optionally to BMP files");
  auto o = std::make_shared<DecodeOptions>();
  cmd->add_option("FILE", o->path, "STR file")->required();
  cmd->add_option("--out", o->outDir, "Write DIR/000000.bmp, DIR/000001.bmp, ...");
  cmd->add_flag("--half", o->half, "Half-width pictures");
  cmd->add_flag("--scalar", o->scalar, "Use the scalar transforms");
  cmd->add_option("--from", o->from, "Start at the frame at or after this sector");
  cmd->add_option("--to", o->to, "Stop after the frame starting at or before this sector");
  cmd->callback([&run, o] { run = [o] { return RunDecode(*o); }; });
}

}  // namespace belmora::cli
