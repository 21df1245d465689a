// belmora-cli export-bmp and import-bmp: one frame to and from a BMP file.
#include <bit>

#include "cli/cli_common.h"
#include "cli/fit_options.h"
#include "convert/frame_bmp.h"

namespace belmora::cli {

namespace {

struct FrameChoice {
  int frame = -1;
  int sector = -1;
};

// Reads the chosen frame: index N from the first (in ReadFrame order), or
// the frame at or after a sector.
bool ReadChosenFrame(Session& s, const FrameChoice& choice) {
  StrDocument& doc = s.doc;
  if (choice.sector >= 0) doc.CurrentSector = choice.sector;
  bool ok = ReadFrame(doc) == 0;
  for (int i = 0; ok && i < choice.frame; i++) {
    doc.CurrentSector = doc.NextSector;
    ok = ReadFrame(doc) == 0;
  }
  if (!ok) Show(s.host, msg::kFrameNotFound);
  return ok;
}

void AddFrameChoice(CLI::App* cmd, FrameChoice& choice) {
  auto* frame =
      cmd->add_option("--frame", choice.frame, "Frame index from the first frame (0-based)")
          ->check(CLI::NonNegativeNumber);
  auto* sector = cmd->add_option("--sector", choice.sector, "The frame at or after this sector")
                     ->check(CLI::NonNegativeNumber);
  frame->excludes(sector);
}

// Opens the file and reads the chosen frame: 0, 2 when neither --frame nor
// --sector was given, 1 on any other failure (reported).
int OpenChosenFrame(Session& s, const std::string& path, OpenMode mode, const FrameChoice& c) {
  if (c.frame < 0 && c.sector < 0) {
    std::fprintf(stderr, "--frame or --sector is required\n");
    return kExitBadArguments;
  }
  if (!OpenForViewing(s, path, mode)) return kExitFailed;
  if (c.sector >= 0 && !CheckSectorRange(s.doc, c.sector, -1)) return kExitBadArguments;
  return ReadChosenFrame(s, c) ? kExitDone : kExitFailed;
}

struct ExportOptions {
  std::string path, out;
  FrameChoice choice;
  bool half = false;
  bool force = false;
};

int RunExport(const GlobalOptions& g, const ExportOptions& o) {
  Session s(g);
  if (!CheckOutput(s.host, o.out, {o.path}, o.force)) return kExitFailed;
  if (int r = OpenChosenFrame(s, o.path, OpenMode::kReadOnly, o.choice)) return r;
  if (RefuseUndecodableMovie(s.doc, s.host)) return kExitFailed;
  FrameCodec codec;
  codec.HalfWidthView = o.half;
  StrDocument& doc = s.doc;
  if (doc.FrameDamaged)
    Show(s.host, msg::kDamagedFramesShown, doc.Path.c_str(),
         DamagedFramesText({{doc.CurrentSector, doc.ChunkHeader.FrameNumber,
                             uint8_t(doc.ChunkHeader.ChunkCount),
                             uint8_t(std::popcount(doc.ChunksPresent))}})
             .c_str());
  // A damaged frame is drawn over the frame before it, as the viewer and the
  // exports show it.
  if (DecodeFrameAsShown(codec, s.doc) != 0) {
    Show(s.host, msg::kDecodeFailed);
    return kExitFailed;
  }
  if (!Ok(SaveFrameBmp(codec, o.out, s.host))) return kExitFailed;
  std::printf("frame %u at sector %d saved: %d x %d\n", s.doc.ChunkHeader.FrameNumber,
              s.doc.CurrentSector, codec.View().Width, codec.View().Height);
  return 0;
}

struct ImportOptions {
  std::string path, bmp;
  FrameChoice choice;
  std::vector<int> position;
  bool noEdc = false;
  std::string encoder = "best";
  FitCliOptions fit;
};

int RunImport(const GlobalOptions& g, const ImportOptions& o) {
  Session s(g);
  ReportOutput reportFile;
  if (!reportFile.Prepare(s.host, o.fit, {o.path, o.bmp}, false)) return kExitFailed;
  if (int r = OpenChosenFrame(s, o.path, EditMode(o.fit.dryRun), o.choice)) return r;
  if (s.doc.FrameDamaged) {
    const std::vector<MovieFrame> damaged = {{s.doc.CurrentSector, s.doc.ChunkHeader.FrameNumber,
                                              uint8_t(s.doc.ChunkHeader.ChunkCount),
                                              uint8_t(std::popcount(s.doc.ChunksPresent))}};
    if (!s.skipDamaged) {
      Show(s.host, msg::kDamagedInRange, s.doc.Path.c_str(), DamagedFramesText(damaged).c_str());
      return kExitFailed;
    }
    std::printf("frame %u at sector %d lacks sectors: left as it is\n",
                s.doc.ChunkHeader.FrameNumber, s.doc.CurrentSector);
    return kExitDone;
  }
  s.doc.SealSectors = !o.noEdc;
  FrameCodec codec;
  if (o.encoder == "best") codec.Encoder = EncoderChoice::kBest;
  FrameNumbering numbering;
  ImagePosition where;
  if (o.position.size() == 2) where = ImagePosition::FromDialog(o.position[0], o.position[1]);
  EncodeResult result;
  FitReport report;
  FrameFitter fitter({&report, 0});
  reportFile.WriteBeforeCommit(s.doc, s.host, report, o.fit);
  if (!Ok(ImportFrameBmp(codec, s.doc, numbering, o.bmp, where, &result,
                         o.fit.Wanted() ? &fitter : nullptr)))
    return kExitFailed;
  if (o.fit.Wanted())
    return reportFile.Finish(s.host, report, o.fit, o.fit.dryRun ? "" : o.path) ? kExitDone
                                                                                : kExitFailed;
  std::printf("frame %u at sector %d: quantizer scale %d, %d bytes\n",
              s.doc.ChunkHeader.FrameNumber, s.doc.CurrentSector, result.Scale, result.Bytes);
  return 0;
}

}  // namespace

void AddFrameBmpCommands(CLI::App& app, CommandRunner& run) {
  auto* ex = app.add_subcommand("export-bmp", "Save one frame as a BMP file");
  auto eo = std::make_shared<ExportOptions>();
  ex->add_option("FILE", eo->path, "STR file")->required();
  ex->add_option("-o,--output", eo->out, "BMP file to write")->required();
  ex->add_flag("--half", eo->half, "Half-width picture");
  ex->add_flag("--force", eo->force, "Replace an existing BMP file");
  AddFrameChoice(ex, eo->choice);
  ex->callback([&run, eo] { run = [eo](const GlobalOptions& g) { return RunExport(g, *eo); }; });

  auto* im = app.add_subcommand("import-bmp", "Encode a BMP file into one frame, in place");
  auto io = std::make_shared<ImportOptions>();
  im->add_option("FILE", io->path, "STR file")->required();
  im->add_option("BMP", io->bmp, "BMP file to encode")->required();
  im->add_option("--pos", io->position, "Position X,Y of the picture in the frame")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(-kMaxFrameDimension, kMaxFrameDimension));
  im->add_flag("--no-edc", io->noEdc,
               "Leave the EDC and ECC of the frame's sectors as they are");
  im->add_option("--encoder", io->encoder, "best (default, the best-quality encoder) or exact (the exact arithmetic)")
      ->check(CLI::IsMember({"exact", "best"}));
  AddFrameChoice(im, io->choice);
  AddFitOptions(im, io->fit);
  im->callback([&run, io] { run = [io](const GlobalOptions& g) { return RunImport(g, *io); }; });
}

}  // namespace belmora::cli
