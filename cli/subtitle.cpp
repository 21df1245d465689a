// belmora-cli subtitle: subtitles burned into the frames they show on, in
// place; every other frame keeps its bytes.
#include "cli/cli_common.h"
#include "platform/media_module.h"
#include "cli/fit_options.h"
#include "convert/subtitle.h"

namespace belmora::cli {

namespace {

struct SubtitleCliOptions {
  std::string path, subs, font, encoder = "best";
  int from = -1, to = -1, size = 0;
  double offset = 0;
  bool noEdc = false;
  FitCliOptions fit;
};

int RunSubtitle(const GlobalOptions& g, const SubtitleCliOptions& o) {
  StartLoadingMediaModule();  // while the STR file opens
  Session s(g);
  ReportOutput reportFile;
  if (!reportFile.Prepare(s.host, o.fit, {o.path, o.subs}, false)) return kExitFailed;
  if (!OpenForViewing(s, o.path, EditMode(o.fit.dryRun))) return kExitFailed;
  StrDocument& doc = s.doc;
  if (!CheckSectorRange(doc, o.from, o.to)) return kExitBadArguments;
  doc.SealSectors = !o.noEdc;
  FrameCodec codec;
  if (o.encoder == "best") codec.Encoder = EncoderChoice::kBest;
  SubtitleOptions options;
  options.Path = o.subs;
  options.Style = {o.font, o.size};
  options.FirstSector = o.from >= 0 ? o.from : 0;
  options.LastSector = o.to;
  options.OffsetSeconds = o.offset;
  options.SkipDamaged = s.skipDamaged;
  options.Trial = o.fit.dryRun;
  FitReport report;
  FrameFitter fitter({&report, 0});
  reportFile.WriteBeforeCommit(doc, s.host, report, o.fit);
  s.host.CatchInterrupt();
  const Result<SubtitleCounts> burned = BurnSubtitles(doc, codec, options, fitter, s.host);
  if (burned.status() == Status::kFailed) return kExitFailed;
  std::printf("%s\n", FormatMessage(msg::kSubtitleDone, burned->Changed, burned->Untouched).c_str());
  if (!reportFile.Finish(s.host, report, o.fit,
                         o.fit.dryRun || burned->Changed == 0 ? "" : o.path))
    return kExitFailed;
  return ExitCodeOf(burned.status());
}

}  // namespace

void AddSubtitleCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand(
      "subtitle", "Burn subtitles (ASS or SRT) into the frames they show on, in place");
  auto o = std::make_shared<SubtitleCliOptions>();
  cmd->add_option("FILE", o->path, "STR file")->required();
  cmd->add_option("SUBS", o->subs, "Subtitles: .ass/.ssa or .srt")->required();
  cmd->add_option("--from", o->from, "First sector of the range (default: the whole file)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--to", o->to, "Sector of the range's last frame")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--offset", o->offset,
                  "Subtitle time of the range's first frame in seconds (default 0)");
  cmd->add_option("--font", o->font, "Font family (SRT style; fallback for ASS)");
  cmd->add_option("--size", o->size, "Font size in pixels for SRT (default: FFmpeg's, 16 of 288 rows)")
      ->check(CLI::Range(4, 400));
  cmd->add_option("--encoder", o->encoder, "best (default, the best-quality encoder) or exact (the exact arithmetic)")
      ->check(CLI::IsMember({"exact", "best"}));
  cmd->add_flag("--no-edc", o->noEdc,
                "Leave the EDC and ECC of the frames' sectors as they are");
  AddFitOptions(cmd, o->fit);
  cmd->callback([&run, o] { run = [o](const GlobalOptions& g) { return RunSubtitle(g, *o); }; });
}

}  // namespace belmora::cli
