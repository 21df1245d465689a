// belmora-cli export-avi: the STR to AVI conversion, with the dialog's defaults.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "cli/cli_common.h"
#include "platform/media_module.h"
#include "convert/str_to_avi.h"
#include "convert/subtitle.h"

namespace belmora::cli {

namespace {

struct ExportAviOptions {
  std::string path, out, rate, size, vcodec = "DIB ", atag;
  int from = -1, to = -1, quality = -1, keyint = -1, kbps = -1, arate = 0, achannels = 0, abits = 0,
      speed = 0, threads = 0;
  bool half = false, noAudio = false, force = false, frameExact = false;
  SubtitleOptions subtitles;  // a preview drawn onto the pictures when its path is given
};

// A tag given by its number (1, 0x0002) or its name, any case.
std::optional<AudioFormatTag> FindTag(const std::string& text) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
  };
  char* end = nullptr;
  long number = std::strtol(text.c_str(), &end, 0);
  for (const auto& tag : AudioFormatTags()) {
    if ((end && *end == 0 && number == tag.Tag) || lower(tag.Name) == lower(text) ||
        lower(tag.Encoder) == lower(text))
      return tag;
  }
  return std::nullopt;
}

int RunExportAvi(const GlobalOptions& g, const ExportAviOptions& o) {
  StartLoadingMediaModule();  // while the STR file opens
  Session s(g);
  if (!CheckOutput(s.host, o.out, {o.path}, o.force)) return kExitFailed;
  if (!OpenForViewing(s, o.path, true)) return kExitFailed;
  StrDocument& doc = s.doc;
  if (!CheckSectorRange(doc, o.from, o.to)) return kExitBadArguments;
  if (o.speed) doc.SpeedFactor = o.speed;
  FrameCodec codec;
  codec.HalfWidthView = o.half;
  doc.CurrentSector = 0;
  (void)ReadFrame(doc);  // the current frame's header gives the default size

  StrToAviOptions options = DefaultStrToAviOptions(doc, o.half);
  options.OutputPath = o.out;
  if (o.from >= 0) options.FirstSector = o.from;
  if (o.to >= 0) options.LastSector = o.to;
  if (!o.rate.empty()) {
    char* end = nullptr;
    const double rate = std::strtod(o.rate.c_str(), &end);
    if (*end || !(rate > 0) || VideoScaleFor(rate) == 0) {
      std::fprintf(stderr, "--rate %s: frames per second, more than 1 and at most 150000\n",
                   o.rate.c_str());
      return kExitBadArguments;
    }
    options.VideoRate = rate;
  }
  if (!o.size.empty()) {
    auto size = ParseSize(o.size);
    if (!size) {
      std::fprintf(stderr, "--size %s: give WIDTHxHEIGHT\n", o.size.c_str());
      return kExitBadArguments;
    }
    if (!CheckRange("--size width", size->first, 16, kMaxFrameDimension) ||
        !CheckRange("--size height", size->second, 16, kMaxFrameDimension))
      return kExitBadArguments;
    options.VideoWidth = size->first;
    options.VideoHeight = size->second;
  }
  if (o.noAudio) options.Audio = false;
  options.FrameExact = o.frameExact;
  if (!o.subtitles.Path.empty() && !Ok(AddSubtitlePreview(options, doc, o.subtitles, s.host)))
    return kExitFailed;
  const uint32_t handler = o.vcodec.size() == 4
                               ? FourCC({o.vcodec[0], o.vcodec[1], o.vcodec[2], o.vcodec[3], 0})
                               : 0;
  if (!handler || !FindVideoCompressor(handler)) {
    Show(s.host, msg::kNoVideoCodec, o.vcodec.c_str());
    return kExitBadArguments;
  }
  CompressOptions chosen = options.Compress;
  chosen.fccHandler = handler;
  if (o.quality >= 0) chosen.dwQuality = uint32_t(std::min(o.quality, 10000));
  if (o.keyint >= 0) chosen.dwKeyFrameEvery = uint32_t(o.keyint);
  if (o.kbps >= 0) chosen.dwBytesPerSecond = uint32_t(o.kbps) * 1000 / 8;
  options.Compress = ChosenCompressOptions(chosen);

  if (!o.atag.empty() || o.arate || o.achannels || o.abits) {
    auto tag = FindTag(o.atag.empty() ? "PCM" : o.atag);
    if (!tag) {
      Show(s.host, msg::kNoAudioFormat, o.atag.c_str());
      return kExitBadArguments;
    }
    const WaveFormat* pick = nullptr;
    const int rate = o.arate ? o.arate : options.PcmRate,
              channels = o.achannels ? o.achannels : options.PcmChannels;
    for (const auto& f : tag->Formats) {
      if (int(f.nSamplesPerSec) != rate || f.nChannels != channels) continue;
      if (tag->Tag == kWaveFormatPcm && f.wBitsPerSample != (o.abits ? o.abits : 16)) continue;
      if (!pick) pick = &f;
    }
    WaveFormat custom;
    if (!pick && tag->Tag == kWaveFormatPcm) {  // any PCM rate is fine
      custom = WaveFormat::Pcm(rate, channels, o.abits ? o.abits : 16);
      pick = &custom;
    }
    auto pcm = pick ? DecodeFormatFor(*pick) : std::nullopt;
    if (!pcm) {
      Show(s.host, msg::kAudioFormatUnfit, rate, channels);
      return kExitBadArguments;
    }
    options.AudioFormat = *pick;
    options.PcmRate = int32_t(pcm->nSamplesPerSec);
    options.PcmChannels = pcm->nChannels;
    options.PcmBits = pcm->wBitsPerSample == 8 ? 8 : 16;
  }

  s.host.CatchInterrupt();
  XaDecoderState decoder;
  const Result<StrToAviCounts> written =
      ConvertStrToAvi(options, doc, codec, decoder, s.host, o.threads);
  if (written.status() == Status::kFailed) return kExitFailed;
  std::printf("%d frames written at %g fps, %d x %d%s; %d audio sectors\n", written->FramesWritten,
              options.VideoRate, options.VideoWidth, options.VideoHeight,
              written.Ok() ? "" : " (cancelled)", written->AudioSectors);
  return ExitCodeOf(written.status());
}

}  // namespace

void AddExportAviCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd =
      app.add_subcommand("export-avi", "Convert the STR (or a stretch of it) to an AVI file");
  auto o = std::make_shared<ExportAviOptions>();
  cmd->add_option("FILE", o->path, "STR file")->required();
  cmd->add_option("-o,--output", o->out, "AVI file to write")->required();
  cmd->add_option("--from", o->from, "First sector of the range (default: the whole file)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--to", o->to, "Sector of the range's last frame")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--rate", o->rate, "AVI frames per second (default: the STR's)");
  cmd->add_option("--size", o->size, "AVI frame size WxH (default: the frame's)");
  cmd->add_flag("--half", o->half, "Half-width pictures");
  cmd->add_option("--vcodec", o->vcodec, "Video compressor FourCC (see 'formats'; default DIB)");
  cmd->add_option("--quality", o->quality, "Compressor quality 0..10000")
      ->check(CLI::Range(0, 10000));
  cmd->add_option("--keyint", o->keyint, "Key frame every N frames")->check(CLI::Range(0, 10000));
  cmd->add_option("--kbps", o->kbps, "Video data rate in kbit/s")->check(CLI::Range(0, 1000000));
  cmd->add_flag("--force", o->force, "Replace an existing AVI file");
  cmd->add_flag("--no-audio", o->noAudio, "Write no audio stream");
  cmd->add_option("--atag", o->atag,
                  "Audio format tag: number or name (see 'formats'; default PCM)");
  cmd->add_option("--arate", o->arate, "Audio rate in Hz")
      ->check(CLI::Range(kMinSampleRate, kMaxSampleRate));
  cmd->add_option("--achannels", o->achannels, "Audio channels")->check(CLI::IsMember({1, 2}));
  cmd->add_option("--abits", o->abits, "PCM bits")->check(CLI::IsMember({8, 16}));
  cmd->add_flag("--frame-exact", o->frameExact,
                "One AVI frame per STR frame of the range, at the STR's rate (not re-timed)");
  cmd->add_option("--subtitles", o->subtitles.Path,
                  "Draw these subtitles (ASS or SRT) onto the pictures; the STR is not changed");
  cmd->add_option("--offset", o->subtitles.OffsetSeconds,
                  "Subtitle time of the range's first frame in seconds (default 0)");
  cmd->add_option("--speed", o->speed, "Override the detected speed")->check(CLI::IsMember({1, 2}));
  cmd->add_option("--threads", o->threads, "Decoding threads (default: one per core)")
      ->check(CLI::Range(1, 64));
  cmd->callback([&run, o] { run = [o](const GlobalOptions& g) { return RunExportAvi(g, *o); }; });
}

}  // namespace belmora::cli
