// belmora-cli import-avi and new: an AVI's pictures and sound into an STR,
// in place or laid out anew, and new STR files made from an AVI.
#include <climits>
#include <cstdlib>
#include <sstream>

#include "cli/cli_common.h"
#include "platform/media_module.h"
#include "cli/fit_options.h"
#include "convert/output_file.h"
#include "convert/avi_to_str.h"
#include "str/new_str.h"

namespace belmora::cli {

namespace {

struct AviOptions {
  std::string path, avi, fps, size, audio, resize = "no", header, encoder = "best";
  int from = -1, to = -1, mdec = 0, channel = -1, tailNumber = INT32_MIN, tailFrames = -1,
      sector = 2336, speed = 2, trailing = 0, threads = 0;
  bool rebuild = false, force = false, noEdc = false;
  std::vector<int> renumber, position;
  FitCliOptions fit;
  bool frameExact = false;
  bool onlyChanged = false;  // --only-changed given, with or without its DB
  std::vector<double> keepPsnr;
  double inputFps = 15;
  double KeepPsnr() const {
    // Given without its DB, the option holds nothing (or a zero).
    if (!onlyChanged) return 0;
    return keepPsnr.empty() || !(keepPsnr.front() > 0) ? kDefaultKeepPsnr : keepPsnr.front();
  }
};

// The options that do not need the file: false (printed) when one is wrong.
bool CheckOptions(const AviOptions& o) {
  if (!o.fps.empty()) {
    char* end = nullptr;
    const double fps = std::strtod(o.fps.c_str(), &end);
    if (*end || !(fps > 0) || fps > 150) {
      std::fprintf(stderr, "--fps %s: frames per second, more than 0 and at most 150\n",
                   o.fps.c_str());
      return false;
    }
  }
  if (!o.size.empty()) {
    auto size = ParseSize(o.size);
    if (!size) {
      std::fprintf(stderr, "--size %s: give WIDTHxHEIGHT\n", o.size.c_str());
      return false;
    }
    if (!CheckRange("--size width", size->first, kMinFrameDimension, kMaxFrameDimension) ||
        !CheckRange("--size height", size->second, kMinFrameDimension, kMaxFrameDimension))
      return false;
  }
  if (o.renumber.size() == 3 && o.renumber[1] > o.renumber[2]) {
    std::fprintf(stderr, "numbers %d,%d,%d: MIN must not be above MAX\n", o.renumber[0],
                 o.renumber[1], o.renumber[2]);
    return false;
  }
  if (!o.header.empty() && !ParseHeaderBytes(o.header)) {
    std::fprintf(stderr, "--header %s: give four hexadecimal bytes, e.g. 60,01,01,80\n",
                 o.header.c_str());
    return false;
  }
  return true;
}

// The choices of the conversion, straight from the options.
class OptionsChooser : public AviToStrChooser {
 public:
  OptionsChooser(const AviOptions& o, Host& host, bool newFile)
      : o_(o), host_(host), newFile_(newFile) {}

  Status ChooseNewStr(NewStrOptions& n) override {
    n.SpeedFactor = o_.speed == 1 ? 1 : 2;
    n.Layout = o_.sector == 2048 ? kLayout2048 : o_.sector == 2352 ? kLayout2352 : kLayout2336;
    if (auto bytes = ParseHeaderBytes(o_.header))  // checked with the options
      SetHeaderBytes(n, *bytes);
    n.TrailingSectors = o_.trailing;
    return Status::kOk;
  }

  Status ChooseSettings(const StrDocument& doc, const AviToStrInputs& in,
                        AviToStrOptions& s) override {
    s = DefaultAviToStrOptions(doc, in, o_.rebuild);
    if (!o_.fps.empty()) s.FrameRate = std::strtod(o_.fps.c_str(), nullptr);
    if (!o_.size.empty()) {
      auto size = ParseSize(o_.size);
      if (!size) {
        Show(host_, msg::kBadSize, o_.size.c_str());
        return Status::kFailed;
      }
      s.FrameWidth = size->first;
      s.FrameHeight = size->second;
    }
    if (o_.mdec) s.MdecVersion = o_.mdec;
    // Only changed frames: the sound is left as it is unless --audio asks.
    if (o_.audio.empty() && o_.onlyChanged && !s.RebuildSectors) s.NoAudio = true;
    if (!o_.audio.empty() && !TakeAudio(doc, s)) return Status::kFailed;
    if (!s.NoAudio && !in.AviHasAudio) Show(host_, msg::kNoAviSound);  // silence it is
    if (o_.channel >= 0) s.AudioChannel = o_.channel;
    if (o_.renumber.size() == 3) {
      s.KeepFrameNumbers = false;
      s.StartNumber = o_.renumber[0];
      s.MinNumber = o_.renumber[1];
      s.MaxNumber = o_.renumber[2];
    }
    if (o_.tailNumber != INT32_MIN) s.TailNumber = o_.tailNumber;
    if (o_.tailFrames >= 0) s.TailFrames = o_.tailFrames;
    s.BestQuality = o_.encoder == "best";
    return Status::kOk;
  }

  std::optional<bool> ResizeAnswer() override { return o_.resize == "yes"; }
  // Asked for explicitly: the run goes on, and the difference is said.
  std::optional<bool> FrameCountAnswer() override { return true; }

 private:
  // --audio: a format of laid-out sectors, or what happens to the sound in place.
  bool TakeAudio(const StrDocument& doc, AviToStrOptions& s) {
    static const std::pair<const char*, LaidOutAudio> kLaidOut[] = {
        {"18.9-mono", LaidOutAudio::k189Mono},     {"18.9-stereo", LaidOutAudio::k189Stereo},
        {"37.8-mono", LaidOutAudio::k378Mono},     {"37.8-stereo", LaidOutAudio::k378Stereo},
        {"none", LaidOutAudio::kNone}};
    bool fits = false;
    if (s.RebuildSectors) {
      for (const auto& [name, format] : kLaidOut) {
        if (o_.audio != name) continue;
        // Sectors of 2048 bytes carry no sound.
        fits = doc.HasSubheaders() || format == LaidOutAudio::kNone;
        s.NoAudio = !doc.HasSubheaders() || format == LaidOutAudio::kNone;
        if (!s.NoAudio) {
          s.Stereo = int(format) & 1;
          s.HighRate = int(format) & 2;
        }
      }
    } else if (o_.audio == "keep" || o_.audio == "none") {
      fits = true;
      s.NoAudio = true;
    } else if (o_.audio == "reencode" && doc.AudioChannelCount != 0) {
      fits = true;
      s.NoAudio = false;
      s.Stereo = IsStereo(doc.AudioCodings[0]);
      s.HighRate = !IsHalfRate(doc.AudioCodings[0]);
    }
    if (!fits) Show(host_, msg::kAudioUnfit, o_.audio.c_str());
    return fits;
  }

  const AviOptions& o_;
  Host& host_;
  const bool newFile_;
};

int Run(const GlobalOptions& g, const AviOptions& o, bool newFile) {
  StartLoadingMediaModule();  // while the STR file opens
  Session s(g);
  if (!CheckOptions(o)) return kExitBadArguments;
  StrDocument& doc = s.doc;
  FrameCodec codec;
  XaEncoderState encoder;
  FrameNumbering numbering;
  int32_t start = 0, end = 0;
  ImagePosition position;
  if (o.position.size() == 2) position = ImagePosition::FromDialog(o.position[0], o.position[1]);
  AviToStrContext c{doc, codec, encoder, numbering, s.host, start, end, position};
  c.Threads = o.threads;
  c.SkipDamaged = s.skipDamaged;
  OptionsChooser chooser(o, s.host, newFile);
  doc.SealSectors = !o.noEdc;
  // The fit of every frame, when asked for; a dry run of a new file makes it
  // in a scratch file, one of an existing file writes nothing to it.
  FitReport report;
  FrameFitter fitter({&report, o.KeepPsnr()});
  if (o.fit.Wanted() || o.onlyChanged) c.Fit = &fitter;
  if (!newFile) c.Mapping = o.frameExact ? FrameMapping::kFrameExact : FrameMapping::kAuto;
  c.SequenceRate = o.inputFps;
  c.Trial = o.fit.dryRun;
  ScratchCopy scratch;
  ReportOutput reportFile;
  if (!reportFile.Prepare(s.host, o.fit, {o.path, o.avi}, o.force)) return kExitFailed;
  reportFile.WriteBeforeCommit(doc, s.host, report, o.fit);
  s.host.CatchInterrupt();
  Result<int> converted = Status::kFailed;
  if (newFile) {
    if (!CheckOutput(s.host, o.path, {o.avi, o.fit.report}, o.force)) return kExitFailed;
    if (o.fit.dryRun && !scratch.Make(s.host)) return kExitFailed;
    converted = CreateStrFromAvi(c, o.fit.dryRun ? scratch.Path() : o.path, o.avi, chooser);
  } else {
    if (!CheckOutputPath(s.host, o.path, {o.avi}, true)) return kExitFailed;
    if (!OpenForViewing(s, o.path, EditMode(o.fit.dryRun))) return kExitFailed;
    if (!CheckSectorRange(doc, o.from, o.to)) return kExitBadArguments;
    start = o.from >= 0 ? o.from : 0;
    end = o.to >= 0 ? o.to : doc.LastFrameSector;
    converted = ConvertAviToStr(c, o.avi, chooser);
  }
  if (converted.status() == Status::kFailed) return kExitFailed;
  const bool cancelled = converted.status() == Status::kCancelled;
  // Stopped and put back as it was (said): nothing more to tell.
  if (cancelled && !doc.IsOpen()) return kExitCancelled;
  if (!doc.IsOpen()) return kExitFailed;
  if (c.Fit && !reportFile.Finish(s.host, report, o.fit, o.fit.dryRun ? "" : o.path))
    return kExitFailed;
  if (o.fit.dryRun) return cancelled ? kExitCancelled : kExitDone;
  std::printf("%d sectors, last frame at sector %d (number %d), %s\n", doc.SectorCount,
              doc.LastFrameSector, doc.LastFrameNumber, cancelled ? "cancelled" : "done");
  return cancelled ? kExitCancelled : kExitDone;
}

void AddSettingsOptions(CLI::App* cmd, AviOptions& o) {
  cmd->add_option("--fps", o.fps, "Frames per second of the result (laid-out frames)");
  cmd->add_option("--size", o.size, "Picture size WxH written into the frames");
  cmd->add_option("--mdec", o.mdec, "MDEC version 2 or 3")->check(CLI::IsMember({2, 3}));
  cmd->add_option("--audio", o.audio,
                  "reencode|keep|none, or for laid-out frames "
                  "18.9-mono|18.9-stereo|37.8-mono|37.8-stereo|none");
  cmd->add_option("--channel", o.channel, "XA channel of the audio sectors")
      ->check(CLI::Range(0, kMaxChannel));
  cmd->add_option("--tail-number", o.tailNumber, "First number of the frames after the AVI's end")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--tail-frames", o.tailFrames,
                  "Frames added after the AVI's end when lengthening")
      ->check(CLI::Range(0, kMaxTailFrames));
  cmd->add_flag("--no-edc", o.noEdc,
                "Write no sync, address, EDC or ECC: bytes outside the user data stay as they are");
  cmd->add_option("--pos", o.position, "Position X,Y of the pictures in the frames")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(-kMaxFrameDimension, kMaxFrameDimension));
  cmd->add_option("--encoder", o.encoder,
                  "best (default): the best-quality picture encoder and a filtered sound "
                  "resampler; or exact: the exact arithmetic, for those bytes")
      ->check(CLI::IsMember({"exact", "best"}));
  cmd->add_option("--threads", o.threads, "Encoding threads (default: one per core)")
      ->check(CLI::Range(1, 64));
  AddFitOptions(cmd, o.fit);
  cmd->add_option("--input-fps", o.inputFps,
                  "Frames per second of a picture sequence VIDEO such as frames/%04d.png "
                  "(numbered from 0 or 1; default 15)")
      ->check(CLI::Range(0.1, 150.0));
}

}  // namespace

void AddImportAviCommands(CLI::App& app, CommandRunner& run) {
  auto* im =
      app.add_subcommand("import-avi", "Put a video's pictures and sound into the STR, in place");
  auto io = std::make_shared<AviOptions>();
  im->add_option("FILE", io->path, "STR file")->required();
  im->add_option("VIDEO", io->avi, "AVI (or any video FFmpeg reads)")->required();
  im->add_option("--from", io->from,
                 "First sector of the stretch to replace (default: the whole file)")
      ->check(CLI::NonNegativeNumber);
  im->add_option("--to", io->to, "Sector of the stretch's last frame")
      ->check(CLI::NonNegativeNumber);
  im->add_flag("--rebuild", io->rebuild, "Lay every frame of the stretch out anew");
  im->add_option("--renumber", io->renumber, "Renumber frames: START,MIN,MAX")
      ->delimiter(',')
      ->expected(3);
  im->add_option("--resize", io->resize, "Answer to lengthening or shortening the STR")
      ->check(CLI::IsMember({"yes", "no"}));
  AddSettingsOptions(im, *io);
  im->add_flag("--frame-exact", io->frameExact,
               "One STR frame per video frame, in order (chosen by itself when the counts agree)");
  auto* changed = im->add_option("--only-changed", io->keepPsnr,
                                 "Keep the bitstream of frames whose picture matches at or above "
                                 "DB luma PSNR (default 45); the sound is kept unless --audio")
                      ->expected(0, 1);
  im->callback([&run, io, changed] {
    io->onlyChanged = changed->count() > 0;
    run = [io](const GlobalOptions& g) { return Run(g, *io, false); };
  });

  auto* nw = app.add_subcommand("new", "Make a new STR file from a video");
  auto no = std::make_shared<AviOptions>();
  nw->add_option("OUT", no->path, "STR file to create")->required();
  nw->add_option("VIDEO", no->avi, "AVI (or any video FFmpeg reads)")->required();
  nw->add_option("--sector", no->sector, "Sector size")->check(CLI::IsMember({2048, 2336, 2352}));
  nw->add_option("--speed", no->speed, "1 or 2 (double speed)")->check(CLI::IsMember({1, 2}));
  nw->add_option("--header", no->header, "First four chunk header bytes in hex, e.g. 60,01,01,80");
  nw->add_option("--trailing", no->trailing, "Filler sectors after the last frame")
      ->check(CLI::Range(0, kMaxTrailingSectors));
  nw->add_flag("--force", no->force, "Replace an existing file");
  nw->add_option("--numbers", no->renumber, "Frame numbers START,MIN,MAX")
      ->delimiter(',')
      ->expected(3);
  AddSettingsOptions(nw, *no);
  nw->callback([&run, no] { run = [no](const GlobalOptions& g) { return Run(g, *no, true); }; });
}

}  // namespace belmora::cli
