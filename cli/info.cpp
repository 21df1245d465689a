// belmora-cli info: what the viewer learns about a file at open.
#include <nlohmann/json.hpp>

#include "cli/cli_common.h"
#include "cli/xa_commands.h"

namespace belmora::cli {

namespace {

// Frames from the first to the last, walked as the viewer's Next button does.
int CountFrames(StrDocument& doc) {
  int count = 0;
  while (doc.CurrentSector <= doc.LastFrameSector && ReadFrame(doc) == 0) {
    count++;
    doc.CurrentSector = doc.NextSector;
  }
  return count;
}

// The frames of the chosen movie from its first to its last whole frame,
// from the table the opening scan made (the walk where there is none).
int MovieFrames(StrDocument& doc) {
  const Movie* movie = doc.CurrentMovie();
  if (!movie) return CountFrames(doc);
  int count = 0;
  for (const MovieFrame& f : movie->Frames)
    count += f.FirstSector >= doc.CurrentSector && f.FirstSector <= doc.LastFrameSector;
  return count;
}

nlohmann::ordered_json MoviesJson(const StrDocument& d) {
  auto movies = nlohmann::ordered_json::array();
  for (const Movie& m : d.Movies) {
    auto damaged = nlohmann::ordered_json::array();
    for (const MovieFrame& f : m.DamagedFrames()) damaged.push_back(f.FrameNumber);
    auto astray = nlohmann::ordered_json::array();
    for (const MovieFrame& f : m.OutOfOrderFrames()) astray.push_back(f.FrameNumber);
    movies.push_back({{"Index", m.Index},
                      {"Channel", m.Channel},
                      {"FirstSector", m.FirstSector},
                      {"LastSector", m.LastSector},
                      {"FirstFrameNumber", m.FirstFrameNumber()},
                      {"LastFrameNumber", m.LastFrameNumber()},
                      {"Frames", m.Frames.size()},
                      {"Width", m.Width},
                      {"Height", m.Height},
                      {"Version", m.Version},
                      {"AudioChannel", m.AudioChannel},
                      {"DamagedFrames", damaged},
                      {"OutOfOrderFrames", astray}});
  }
  return movies;
}

int RunInfo(const GlobalOptions& g, const std::string& path, bool json) {
  if (IsAudioOnlyFile(path)) return RunXaInfo(g, path, json);  // sound only: every channel
  Session s(g);
  if (!OpenForViewing(s, path, true)) return 1;
  StrDocument& d = s.doc;
  int frames = MovieFrames(d);
  if (json) {
    nlohmann::ordered_json j;
    AddLayoutJson(j, d);
    j["Format"] = d.Format->Name();
    j["Layout"] = d.Format->Id();
    j["FramesDecode"] = d.FramesDecode;
    j["SpeedFactor"] = d.SpeedFactor;
    j["FramesPerSecond"] = d.FramesPerSecond;
    j["FirstFrameNumber"] = d.FirstFrameNumber;
    j["LastFrameSector"] = d.LastFrameSector;
    j["LastFrameNumber"] = d.LastFrameNumber;
    j["TrailingSectors"] = d.TrailingSectors;
    j["PictureWidth"] = d.PictureWidth;
    j["PictureHeight"] = d.PictureHeight;
    auto channels = nlohmann::ordered_json::array();
    for (int i = 0; i < d.AudioChannelCount; i++)
      channels.push_back({{"Channel", d.AudioChannels[i]}, {"CodingInfo", d.AudioCodings[i]}});
    j["AudioChannels"] = channels;
    j["FrameCount"] = frames;
    j["Movies"] = MoviesJson(d);
    std::printf("%s\n", JsonText(j).c_str());
    return 0;
  }
  PrintLayout(d);
  // How its movies are laid out: the standard layout, or a game's.
  std::printf("Format:             %s\n", d.Format->Name());
  if (!d.FramesDecode) Show(s.host, msg::kFramesDoNotDecode, d.Path.c_str());
  std::printf("Speed:              %dx (%d sectors per second)\n", d.SpeedFactor,
              kSectorsPerSecond * d.SpeedFactor);
  std::printf("Frames per second:  %g\n", d.FramesPerSecond);
  std::printf("First frame number: %d\n", d.FirstFrameNumber);
  std::printf("Last frame:         sector %d, number %d\n", d.LastFrameSector, d.LastFrameNumber);
  std::printf("Trailing sectors:   %d\n", d.TrailingSectors);
  std::printf("Picture:            %d x %d\n", d.PictureWidth, d.PictureHeight);
  if (d.AudioChannelCount == 0) std::printf("Audio channels:     none\n");
  for (int i = 0; i < d.AudioChannelCount; i++)
    std::printf("Audio channel:      %d, %s\n", d.AudioChannels[i], CodingText(d.AudioCodings[i]));
  std::printf("Frames:             %d\n", frames);
  // The movies, where the file is more than one clean movie.
  bool damaged = false;
  for (const Movie& m : d.Movies)
    damaged |= !m.DamagedFrames().empty() || !m.OutOfOrderFrames().empty();
  if (d.Movies.size() > 1 || damaged) {
    for (const Movie& m : d.Movies) {
      std::printf("Movie %d:%*s channel %d, %d x %d, frames %zu (numbers %u-%u), sectors %d-%d",
                  m.Index, m.Index < 10 ? 8 : 7, "", m.Channel, m.Width, m.Height, m.Frames.size(),
                  m.FirstFrameNumber(), m.LastFrameNumber(), m.FirstSector, m.LastSector);
      if (m.AudioChannel >= 0) std::printf(", sound channel %d", m.AudioChannel);
      std::printf("\n");
      if (const std::string text = DamagedFramesText(m.Frames); !text.empty())
        std::printf("  Damaged frames:   %s\n", text.c_str());
      if (const std::string text = OutOfOrderFramesText(m.Frames); !text.empty())
        std::printf("  Frames out of sequence: %s\n", text.c_str());
    }
  }
  return 0;
}

}  // namespace

void AddInfoCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("info", "Describe an STR file");
  auto path = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  cmd->add_option("FILE", *path, "STR file")->required();
  cmd->add_flag("--json", *json, "Print one JSON object");
  cmd->callback([&run, path, json] { run = [path, json](const GlobalOptions& g) { return RunInfo(g, *path, *json); }; });
}

}  // namespace belmora::cli
