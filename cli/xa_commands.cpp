#include "cli/xa_commands.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "convert/game_sound.h"
#include "convert/xa_channels.h"

namespace belmora::cli {

namespace {

bool OpenSectors(Session& s, const std::string& path, OpenMode mode) {
  std::vector<std::string> said;
  s.host.Captured = &said;
  const int opened = OpenSectorFile(s.doc, path, mode);
  s.host.Captured = nullptr;
  if (opened != 0) {
    ShowOpenFailure(s.host, path, said, s.doc.File.Error());
    return false;
  }
  return true;
}

const XaChannelInfo* FindChannel(const XaFileInfo& info, int channel) {
  for (const auto& c : info.Channels)
    if (c.Channel == channel) return &c;
  return nullptr;
}

}  // namespace

bool IsAudioOnlyFile(const std::string& path) {
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (OpenSectorFile(doc, path, true) != 0) return false;
  const XaFileInfo info = ScanXaChannels(doc, true);
  return info.VideoSectors == 0 && !info.Channels.empty();
}

int RunXaInfo(const GlobalOptions& g, const std::string& path, bool json) {
  Session s(g);
  if (!OpenSectors(s, path, OpenMode::kReadOnly)) return kExitFailed;
  const StrDocument& d = s.doc;
  const XaFileInfo info = ScanXaChannels(s.doc);
  if (json) {
    nlohmann::ordered_json j;
    AddLayoutJson(j, d);
    j["FrameCount"] = 0;
    auto channels = nlohmann::ordered_json::array();
    for (const auto& c : info.Channels)
      channels.push_back({{"Channel", c.Channel},
                          {"CodingInfo", c.Coding},
                          {"Sectors", c.Sectors},
                          {"Seconds", c.Seconds()}});
    j["AudioChannels"] = channels;
    std::printf("%s\n", JsonText(j).c_str());
    return kExitDone;
  }
  PrintLayout(d);
  std::printf("Picture:            %s\n", FormatMessage(msg::kNoPicture).c_str());
  for (const auto& c : info.Channels)
    std::printf("Audio channel:      %d, %s, %d sectors, %.2f s\n", c.Channel, CodingText(c.Coding),
                c.Sectors, c.Seconds());
  return kExitDone;
}

int RunXaExportWav(const GlobalOptions& g, const XaExportOptions& o) {
  Session s(g);
  if (!o.out.empty() && !CheckOutput(s.host, o.out, {o.path}, o.force)) return kExitFailed;
  if (!OpenSectors(s, o.path, OpenMode::kReadOnly)) return kExitFailed;
  const XaFileInfo info = ScanXaChannels(s.doc);
  if (info.Channels.empty()) {
    Show(s.host, msg::kNoAudio);
    return kExitFailed;
  }
  const XaWavFormat format{o.rate, o.channels, o.bits};
  if (!o.allChannelsDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.allChannelsDir, ec);
    if (!std::filesystem::is_directory(o.allChannelsDir)) {
      Show(s.host, msg::kWriteError, o.allChannelsDir.c_str(), ec ? ec.message().c_str() : "");
      return kExitFailed;
    }
    auto outOf = [&](const XaChannelInfo& c) {
      return (std::filesystem::path(o.allChannelsDir) / ChannelWavName(c.Channel)).string();
    };
    // Every output is checked before the first is written.
    for (const auto& c : info.Channels)
      if (!CheckOutput(s.host, outOf(c), {o.path}, o.force)) return kExitFailed;
    for (const auto& c : info.Channels) {
      const std::string out = outOf(c);
      if (!Ok(ExportXaChannel(s.doc, c, out, format, s.host))) return kExitFailed;
      std::printf("%s: %d sectors, %s, %.2f s\n", out.c_str(), c.Sectors, CodingText(c.Coding),
                  c.Seconds());
    }
    return kExitDone;
  }
  if (o.out.empty()) {
    std::fprintf(stderr, "--output or --all-channels is required\n");
    return kExitBadArguments;
  }
  const XaChannelInfo* c = o.channel >= 0 ? FindChannel(info, o.channel) : &info.Channels[0];
  if (!c) {
    Show(s.host, msg::kNoSuchChannel, o.channel);
    return kExitFailed;
  }
  if (!Ok(ExportXaChannel(s.doc, *c, o.out, format, s.host))) return kExitFailed;
  std::printf("%s: %d sectors, %s, %.2f s\n", o.out.c_str(), c->Sectors, CodingText(c->Coding),
              c->Seconds());
  return kExitDone;
}

namespace {

struct ImportWavOptions {
  std::string path, wav;
  int channel = -1;
  bool noEdc = false;
  bool dryRun = false;
};

// After an import: what a trial did not do.
int ImportDone(const ImportWavOptions& o) {
  if (o.dryRun) std::printf("%s\n", FormatMessage(msg::kDryRunDone).c_str());
  return kExitDone;
}

// A game movie's own sound (no XA channel to name) in its own coding.
int ImportGameSoundTrack(Session& s, const ImportWavOptions& o) {
  if (!OpenForViewing(s, o.path, EditMode(o.dryRun))) return kExitFailed;
  if (!HasGameSound(s.doc)) {
    std::fprintf(stderr, "--channel is required\n");
    return kExitBadArguments;
  }
  s.doc.SealSectors = !o.noEdc;
  if (!ImportGameSound(s.doc, o.wav, s.host)) return kExitFailed;
  std::printf("%s: sound re-encoded (%s)\n", o.path.c_str(), s.doc.Format->Name());
  return ImportDone(o);
}

int RunImportWav(const GlobalOptions& g, const ImportWavOptions& o) {
  Session s(g);
  if (o.channel < 0) return ImportGameSoundTrack(s, o);
  if (!OpenSectors(s, o.path, EditMode(o.dryRun))) return kExitFailed;
  s.doc.SealSectors = !o.noEdc;
  const XaFileInfo info = ScanXaChannels(s.doc);
  const XaChannelInfo* c = FindChannel(info, o.channel);
  if (!c) {
    Show(s.host, msg::kNoSuchChannel, o.channel);
    return kExitFailed;
  }
  s.host.CatchInterrupt();
  if (const Status imported = ImportXaChannel(s.doc, *c, o.wav, s.host); !Ok(imported))
    return ExitCodeOf(imported);
  std::printf("channel %d: %d sectors re-encoded, %s, %.2f s\n", c->Channel, c->Sectors,
              CodingText(c->Coding), c->Seconds());
  return ImportDone(o);
}

}  // namespace

void AddImportWavCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("import-wav", "Re-encode one XA channel in place from a WAV file");
  auto o = std::make_shared<ImportWavOptions>();
  cmd->add_option("FILE", o->path, "XA or STR file")->required();
  cmd->add_option("WAV", o->wav, "WAV file of the channel's rate and length")->required();
  cmd->add_option("--channel", o->channel,
                  "Audio channel to replace (required but for a game movie's own sound)")
      ->check(CLI::Range(0, 255));
  cmd->add_flag("--no-edc", o->noEdc, "Leave the EDC and ECC of the sectors as they are");
  cmd->add_flag("--dry-run", o->dryRun, "Encode everything as the import would; write nothing to the file");
  cmd->callback([&run, o] { run = [o](const GlobalOptions& g) { return RunImportWav(g, *o); }; });
}

}  // namespace belmora::cli
