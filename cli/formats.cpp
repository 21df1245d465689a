// belmora-cli formats: the video compressors and wave formats this build can write.
#include "cli/cli_common.h"
#include "platform/media_formats.h"
#include "platform/media_module.h"

namespace belmora::cli {

namespace {

int RunFormats(const GlobalOptions& g) {
  Session s(g);
  if (!Ok(RequireMediaModule(s.host))) return kExitFailed;
  std::printf("Video compressors (--vcodec):\n");
  for (const auto& v : VideoCompressors())
    std::printf("  %s  %s\n", FourCCText(v.fccHandler).c_str(), v.Description.c_str());
  std::printf("Audio formats (--atag):\n");
  for (const auto& tag : AudioFormatTags()) {
    std::printf("  0x%04X  %s\n", tag.Tag, tag.Name.c_str());
    for (const auto& f : tag.Formats)
      std::printf("          %s (%u bytes/s)\n", DescribeWaveFormat(f).c_str(), f.nAvgBytesPerSec);
  }
  return 0;
}

}  // namespace

void AddFormatsCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("formats", "List the video compressors and audio formats");
  cmd->callback([&run] { run = [](const GlobalOptions& g) { return RunFormats(g); }; });
}

}  // namespace belmora::cli
