// belmora-cli export-avi: the STR to AVI conversion, with the dialog's defaults.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "cli/cli_common.h"
#include "cli/cli_ui.h"
#include "convert/str_to_avi.h"

namespace belmora::cli {

namespace {

struct ExportAviOptions {
  std::string path, out, rate, size, vcodec = "DIB ", atag;
  int from = -1, to = -1, quality = -1, keyint = -1, kbps = -1, arate = 0, achannels = 0, abits = 0,
      speed = 0;
  bool half = false, noAudio = false;
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

int RunExportAvi(const ExportAviOptions& o) {
  Session s;
  if (!OpenForViewing(s, o.path, true)) return 1;
  StrDocument& doc = s.doc;
  if (o.speed) doc.SpeedFactor = o.speed;
  MdecCodec codec;
  InitCodec(codec, s.sink);
  codec.HalfWidthView = o.half;
  doc.CurrentSector = 0;
  ReadFrame(doc);  // the current frame's header gives the default size

  TConvAviForm form;
  form.FirstSector = o.from >= 0 ? o.from : 0;
  form.LastSector = o.to >= 0 ? o.to : doc.LastFrameSector;
  form.OutputPath = o.out;
  form.FormShow(doc, o.half);
  if (!o.rate.empty()) form.VRateEdit = o.rate;
  SplitSize(o.size, form.VWidthEdit, form.VHeightEdit);
  if (o.noAudio) form.AEnableChecked = false;
  CliConversionUi ui;
  if (o.vcodec.size() != 4 ||
      !FindVideoCompressor(FourCC({o.vcodec[0], o.vcodec[1], o.vcodec[2], o.vcodec[3], 0}))) {
    MessageBoxF(ui, "ビデオ圧縮CODECが見つかりません: %s", o.vcodec.c_str());
    return 2;
  }
  CompressOptions chosen = form.CompressOptions;
  chosen.fccHandler = FourCC({o.vcodec[0], o.vcodec[1], o.vcodec[2], o.vcodec[3], 0});
  if (o.quality >= 0) chosen.dwQuality = uint32_t(std::min(o.quality, 10000));
  if (o.keyint >= 0) chosen.dwKeyFrameEvery = uint32_t(o.keyint);
  if (o.kbps >= 0) chosen.dwBytesPerSecond = uint32_t(o.kbps) * 1000 / 8;
  form.CompressorChosen(chosen, FindVideoCompressor(chosen.fccHandler)->Description);

  if (!o.atag.empty() || o.arate || o.achannels || o.abits) {
    auto tag = FindTag(o.atag.empty() ? "PCM" : o.atag);
    if (!tag) {
      MessageBoxF(ui, "音声形式が見つかりません: %s", o.atag.c_str());
      return 2;
    }
    const WaveFormat* pick = nullptr;
    const int rate = o.arate ? o.arate : form.PcmRate,
              channels = o.achannels ? o.achannels : form.PcmChannels;
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
    if (!pick) {
      MessageBoxF(ui, "その音声形式は %d Hz, %d チャンネルで使えません。", rate, channels);
      return 2;
    }
    form.AudioFormatChosen(kChooseOk, *pick, ui);
  }
  form.FormClose();

  XaDecoderState decoder;
  auto result = ConvertStrToAvi(form, doc, codec, decoder, ui);
  if (!result.Completed) return 1;
  std::printf("%d frames written at %g fps, %d x %d%s; %d audio sectors\n", result.FramesWritten,
              form.VideoRate, form.VideoWidth, form.VideoHeight,
              result.Cancelled ? " (cancelled)" : "", result.AudioSectors);
  return 0;
}

}  // namespace

void AddExportAviCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd =
      app.add_subcommand("export-avi", "Convert the STR (or a stretch of it) to an AVI file");
  auto o = std::make_shared<ExportAviOptions>();
  cmd->add_option("FILE", o->path, "STR file")->required();
  cmd->add_option("-o,--output", o->out, "AVI file to write")->required();
  cmd->add_option("--from", o->from, "First sector of the range (default: the whole file)");
  cmd->add_option("--to", o->to, "Sector of the range's last frame");
  cmd->add_option("--rate", o->rate, "AVI frames per second (default: the STR's)");
  cmd->add_option("--size", o->size, "AVI frame size WxH (default: the frame's)");
  cmd->add_flag("--half", o->half, "Half-width pictures");
  cmd->add_option("--vcodec", o->vcodec, "Video compressor FourCC (see 'formats'; default DIB)");
  cmd->add_option("--quality", o->quality, "Compressor quality 0..10000");
  cmd->add_option("--keyint", o->keyint, "Key frame every N frames");
  cmd->add_option("--kbps", o->kbps, "Video data rate in kbit/s");
  cmd->add_flag("--no-audio", o->noAudio, "Write no audio stream");
  cmd->add_option("--atag", o->atag,
                  "Audio format tag: number or name (see 'formats'; default PCM)");
  cmd->add_option("--arate", o->arate, "Audio rate in Hz");
  cmd->add_option("--achannels", o->achannels, "Audio channels")->check(CLI::IsMember({1, 2}));
  cmd->add_option("--abits", o->abits, "PCM bits")->check(CLI::IsMember({8, 16}));
  cmd->add_option("--speed", o->speed, "Override the detected speed")->check(CLI::IsMember({1, 2}));
  cmd->callback([&run, o] { run = [o] { return RunExportAvi(*o); }; });
}

}  // namespace belmora::cli
