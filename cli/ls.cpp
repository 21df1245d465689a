// belmora-cli ls: the files of a disc image, with what each holds.
#include <nlohmann/json.hpp>

#include "cli/cli_common.h"
#include "str/disc_image.h"

namespace belmora::cli {

namespace {

void AddDetails(nlohmann::ordered_json& j, const ContentInfo& info) {
  if (info.Kind == ContentKind::kStrVideo) {
    j["Frames"] = info.Frames;
    j["Width"] = info.Width;
    j["Height"] = info.Height;
    j["MdecVersion"] = info.MdecVersion;
  }
  if (info.Kind == ContentKind::kOther) return;
  auto channels = nlohmann::ordered_json::array();
  for (const AudioChannelInfo& c : info.Channels)
    channels.push_back(
        {{"Channel", c.Channel}, {"CodingInfo", c.CodingInfo}, {"Sectors", c.Sectors}});
  j["AudioChannels"] = channels;
  // The movies, where there are several.
  if (info.Movies.size() > 1) {
    auto movies = nlohmann::ordered_json::array();
    for (const Movie& m : info.Movies) {
      auto damaged = nlohmann::ordered_json::array();
      for (const MovieFrame& f : m.DamagedFrames()) damaged.push_back(f.FrameNumber);
      movies.push_back({{"Index", m.Index},
                        {"Channel", m.Channel},
                        {"Frames", m.Frames.size()},
                        {"Width", m.Width},
                        {"Height", m.Height},
                        {"AudioChannel", m.AudioChannel},
                        {"DamagedFrames", damaged}});
    }
    j["Movies"] = movies;
  }
}

int RunLs(const GlobalOptions& g, const std::string& path, bool json, bool scan) {
  CliHost host(g.Quiet);
  if (SplitImagePath(path)) {
    std::fprintf(stderr, "ls takes a disc image, not a file inside one: %s\n", path.c_str());
    return 2;
  }
  DiscImage image;
  if (!image.Open(path)) {
    host.ShowMessage(image.LastError(), Tr(kMessageCaption), MessageKind::kInformation);
    return 1;
  }
  // An image in the middle of an edit holds neither what it held nor what
  // it will hold.
  if (RefusePendingEdit(host, path, FullPath(image.Track().FilePath))) return 1;
  TrackSectorReader reader(image.Track());
  if (!reader.IsOpen()) {
    Show(host, msg::kDiscUnreadable, image.Track().FilePath.c_str());
    return 1;
  }

  auto out = nlohmann::ordered_json::array();
  std::vector<SectorExtent> covered;
  for (const DiscEntry& e : image.Entries()) {
    covered.push_back({e.Lsn, e.Sectors});
    const FileExtent x = image.ExtentOf(e);
    ContentInfo info;
    if (!e.IsDirectory) info = ClassifySectors(reader, e.Lsn, e.Sectors);
    if (json) {
      nlohmann::ordered_json j;
      j["Path"] = e.Path;
      j["Lsn"] = e.Lsn;
      j["Size"] = e.Size;
      j["Sectors"] = e.Sectors;
      j["Kind"] = e.IsDirectory ? "directory" : ContentKindName(info.Kind);
      j["ByteOffset"] = x.ByteOffset;
      if (!e.IsDirectory) AddDetails(j, info);
      if (e.Xa) j["Xa"] = {{"Attributes", e.Xa->Attributes}, {"FileNumber", e.Xa->FileNumber}};
      out.push_back(j);
    } else {
      std::printf("%s  lsn %lld  %u bytes  %s\n", e.Path.c_str(), static_cast<long long>(e.Lsn),
                  e.Size, e.IsDirectory ? "directory" : DescribeContent(info).c_str());
    }
  }
  if (scan) {
    for (const ContentRun& r : FindUncoveredRuns(reader, covered)) {
      if (json) {
        nlohmann::ordered_json j;
        j["Path"] = nullptr;
        j["Lsn"] = r.First;
        j["Sectors"] = r.Count;
        j["Kind"] = ContentKindName(r.Info.Kind);
        j["ByteOffset"] = image.Track().FileOffset + r.First * image.Track().SectorSize;
        AddDetails(j, r.Info);
        j["Unlisted"] = true;
        out.push_back(j);
      } else {
        std::printf("(unlisted)  lsn %lld  %lld sectors  %s\n", static_cast<long long>(r.First),
                    static_cast<long long>(r.Count), DescribeContent(r.Info).c_str());
      }
    }
  }
  if (json) std::printf("%s\n", JsonText(out).c_str());
  return 0;
}

}  // namespace

void AddLsCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("ls", "List the files of a disc image (.cue, .bin, .iso)");
  auto path = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  auto scan = std::make_shared<bool>(false);
  cmd->add_option("IMAGE", *path, "Disc image")->required();
  cmd->add_flag("--json", *json, "Print a JSON array");
  cmd->add_flag("--scan", *scan, "Also report STR and XA sectors no file covers");
  cmd->callback([&run, path, json, scan] {
    run = [path, json, scan](const GlobalOptions& g) { return RunLs(g, *path, *json, *scan); };
  });
}

}  // namespace belmora::cli
