// belmora-cli export-frames: every frame of a range as a numbered picture.
#include "cli/cli_common.h"
#include "convert/frame_export.h"

namespace belmora::cli {

namespace {

struct ExportFramesOptions {
  std::string path, dir, format = "png";
  int from = -1, to = -1;
  bool half = false, force = false;
};

int RunExportFrames(const GlobalOptions& g, const ExportFramesOptions& o) {
  Session s(g);
  if (!OpenForViewing(s, o.path, true)) return kExitFailed;
  if (!CheckSectorRange(s.doc, o.from, o.to)) return kExitBadArguments;
  FrameCodec codec;
  codec.HalfWidthView = o.half;
  FrameExportOptions options;
  options.Dir = o.dir;
  options.Format = o.format == "bmp" ? PictureFormat::kBmp : PictureFormat::kPng;
  options.FirstSector = o.from >= 0 ? o.from : 0;
  options.LastSector = o.to;
  options.Overwrite = o.force;
  options.Inputs = {o.path};
  s.host.CatchInterrupt();
  const Result<int> written = ExportFrames(s.doc, codec, options, s.host);
  if (written.status() == Status::kFailed) return kExitFailed;
  std::printf("%d frames written to %s\n", *written, o.dir.c_str());
  return ExitCodeOf(written.status());
}

}  // namespace

void AddExportFramesCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("export-frames", "Write every frame as a numbered picture");
  auto o = std::make_shared<ExportFramesOptions>();
  cmd->add_option("FILE", o->path, "STR file")->required();
  cmd->add_option("DIR", o->dir, "Folder for 000000.png, 000001.png, ...")->required();
  cmd->add_option("--format", o->format, "png (default) or bmp")
      ->check(CLI::IsMember({"png", "bmp"}));
  cmd->add_option("--from", o->from, "First sector of the range (default: the whole file)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--to", o->to, "Sector of the range's last frame")
      ->check(CLI::NonNegativeNumber);
  cmd->add_flag("--half", o->half, "Half-width pictures");
  cmd->add_flag("--force", o->force, "Replace pictures of an earlier export");
  cmd->callback([&run, o] { run = [o](const GlobalOptions& g) { return RunExportFrames(g, *o); }; });
}

}  // namespace belmora::cli
