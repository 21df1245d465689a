// belmora-cli check: the sync, address, EDC and ECC of every sector, and
// with --fix the framing of the bad ones rewritten.
#include <nlohmann/json.hpp>

#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/input_file.h"
#include "cli/cli_common.h"
#include "str/disc_image.h"
#include "str/journal.h"
#include "str/movies.h"
#include "str/sector_check.h"
#include "str/str_document.h"

namespace belmora::cli {

namespace {

std::string Problems(const SectorCheck& c) {
  std::string s;
  auto add = [&s](const char* what) { s += s.empty() ? what : std::string(", ") + what; };
  if (!c.SyncOk) add("sync");
  if (!c.HeaderOk) add("address/mode");
  if (!c.EdcOk && !c.Form2EdcZero) add("EDC");
  if (!c.EccOk) add("ECC");
  return s;
}

std::string LayoutText(const SectorCheckReport& r) {
  if (r.Layout.SectorSize == kRawSectorSize)
    return r.HasRiffHeader ? "2352-byte sectors, RIFF CDXA header" : "2352-byte raw sectors";
  return std::to_string(r.Layout.SectorSize) + "-byte sectors";
}

// The movies of an STR file whose frames lack sectors (a bad read), or
// whose numbers are out of sequence: listed beside the sectors, since a
// lost sector leaves no bad sector behind.
struct DamagedMovie {
  int Index = 0;
  std::vector<MovieFrame> Frames;      // damaged
  std::vector<MovieFrame> OutOfOrder;  // out of sequence
};

std::vector<DamagedMovie> DamagedMovies(const std::string& path) {
  std::vector<DamagedMovie> out;
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (OpenMovieFile(doc, quiet, path, OpenMode::kReadOnly) != 0) return out;
  for (const Movie& m : doc.Movies) {
    auto frames = m.DamagedFrames();
    auto astray = m.OutOfOrderFrames();
    if (!frames.empty() || !astray.empty())
      out.push_back({m.Index, std::move(frames), std::move(astray)});
  }
  CloseStrFile(doc);
  return out;
}

void PrintJson(const std::string& path, const SectorCheckReport& r, bool fix,
               const std::vector<DamagedMovie>& damaged) {
  nlohmann::ordered_json j;
  j["Path"] = path;
  j["SectorSize"] = r.Layout.SectorSize;
  j["HasRiffHeader"] = r.HasRiffHeader;
  j["Checkable"] = r.Checkable;
  j["SectorCount"] = r.SectorCount;
  j["TrailingBytes"] = r.TrailingBytes;
  j["CdAudioSectors"] = r.CdAudio;
  auto kinds = nlohmann::ordered_json::object();
  for (int k = 0; k < kSectorKindCount; k++) {
    const SectorKindCounts& c = r.Kinds[size_t(k)];
    if (c.Sectors == 0) continue;
    kinds[SectorKindName(SectorKind(k))] = {
        {"Sectors", c.Sectors}, {"Valid", c.Valid},     {"SyncOk", c.SyncOk},
        {"HeaderOk", c.HeaderOk}, {"EdcOk", c.EdcOk}, {"EdcZero", c.EdcZero},
        {"Form1", c.Form1},     {"EccOk", c.EccOk}};
  }
  j["Kinds"] = kinds;
  j["BadCount"] = r.BadCount;
  auto bad = nlohmann::ordered_json::array();
  for (const BadSector& b : r.FirstBad)
    bad.push_back({{"Sector", b.Index},
                   {"Kind", SectorKindName(b.Kind)},
                   {"SyncOk", b.Check.SyncOk},
                   {"HeaderOk", b.Check.HeaderOk},
                   {"EdcOk", b.Check.EdcOk || b.Check.Form2EdcZero},
                   {"EccOk", b.Check.EccOk}});
  j["FirstBad"] = bad;
  if (fix) j["Fixed"] = r.Fixed;
  auto frames = nlohmann::ordered_json::array();
  for (const DamagedMovie& m : damaged)
    for (const MovieFrame& f : m.Frames)
      frames.push_back({{"Movie", m.Index},
                        {"FrameNumber", f.FrameNumber},
                        {"ChunksPresent", f.ChunksPresent},
                        {"ChunkCount", f.ChunkCount}});
  j["DamagedFrames"] = frames;
  auto astray = nlohmann::ordered_json::array();
  for (const DamagedMovie& m : damaged)
    for (const MovieFrame& f : m.OutOfOrder)
      astray.push_back({{"Movie", m.Index}, {"FrameNumber", f.FrameNumber}, {"Sector", f.FirstSector}});
  j["OutOfOrderFrames"] = astray;
  std::printf("%s\n", JsonText(j).c_str());
}

void PrintText(const std::string& path, const SectorCheckReport& r, bool fix) {
  std::printf("%s: %s, %lld sectors\n", path.c_str(), LayoutText(r).c_str(),
              (long long)r.SectorCount);
  if (r.TrailingBytes)
    std::printf("  %lld bytes after the last whole sector\n", (long long)r.TrailingBytes);
  if (r.CdAudio)
    std::printf("  %lld sectors of CD audio (no framing; left as they are)\n", (long long)r.CdAudio);
  if (!r.Checkable) {
    std::printf("  2048-byte sectors carry no sync, address or checksums: nothing to check.\n");
    return;
  }
  for (int k = 0; k < kSectorKindCount; k++) {
    const SectorKindCounts& c = r.Kinds[size_t(k)];
    if (c.Sectors == 0) continue;
    std::printf("  %-6s %7lld sectors: %lld valid (sync %lld, address %lld, EDC %lld",
                SectorKindName(SectorKind(k)), (long long)c.Sectors, (long long)c.Valid,
                (long long)c.SyncOk, (long long)c.HeaderOk, (long long)c.EdcOk);
    if (c.EdcZero) std::printf(" + %lld zero", (long long)c.EdcZero);
    if (c.Form1) std::printf(", ECC %lld of %lld Form 1", (long long)c.EccOk, (long long)c.Form1);
    std::printf(")\n");
  }
  if (r.BadCount == 0) {
    std::printf("All sectors valid.\n");
    return;
  }
  std::printf("%lld bad sectors%s:\n", (long long)r.BadCount,
              r.BadCount > int64_t(r.FirstBad.size()) ? " (the first 20)" : "");
  for (const BadSector& b : r.FirstBad)
    std::printf("  sector %d (%s): %s wrong\n", b.Index, SectorKindName(b.Kind),
                Problems(b.Check).c_str());
  if (fix) std::printf("Rewrote the framing of %lld sectors.\n", (long long)r.Fixed);
}

void PrintDamaged(const std::vector<DamagedMovie>& damaged) {
  for (const DamagedMovie& m : damaged) {
    if (!m.Frames.empty())
      std::printf("Movie %d, frames that lack sectors: %s\n", m.Index,
                  DamagedFramesText(m.Frames).c_str());
    if (!m.OutOfOrder.empty())
      std::printf("Movie %d, frames out of sequence: %s\n", m.Index,
                  OutOfOrderFramesText(m.OutOfOrder).c_str());
  }
}

// The sectors of a cue sheet's AUDIO tracks in its first file, which then is
// the file checked. False (reported) for a cue sheet that cannot be read.
bool ReadCueTracks(Host& host, const std::string& cuePath, std::string& file,
                   std::vector<std::pair<int64_t, int64_t>>& audio) {
  std::string text;
  if (const InputStatus read = ReadWholeFile(cuePath, kMaxCueSheetBytes, text); !read.Ok()) {
    ShowInputProblem(host, cuePath, read);
    return false;
  }
  int badLine = 0;
  const auto cue = ParseCueSheet(text, std::filesystem::path(cuePath).parent_path().string(), badLine);
  if (!cue || cue->Tracks.empty()) {
    Show(host, msg::kCueBadLine, cuePath.c_str(), badLine);
    return false;
  }
  file = cue->Tracks[0].File;
  auto startOf = [](const CueTrack& t) { return t.Index0 >= 0 ? t.Index0 : t.Index1; };
  for (size_t i = 0; i < cue->Tracks.size(); i++) {
    const CueTrack& t = cue->Tracks[i];
    if (t.File != file || t.Mode != "AUDIO") continue;
    int64_t end = INT64_MAX;
    if (i + 1 < cue->Tracks.size() && cue->Tracks[i + 1].File == file)
      end = startOf(cue->Tracks[i + 1]);
    audio.push_back({startOf(t), end});
  }
  return true;
}

int RunCheck(const GlobalOptions& g, const std::string& given, bool fix, bool json) {
  CliHost host(g.Quiet);
  std::string path = FullPath(given);
  // A cue sheet: its data file, whose AUDIO tracks are left alone.
  std::vector<std::pair<int64_t, int64_t>> audio;
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".cue" && !ReadCueTracks(host, path, path, audio)) return kExitFailed;
  // A file in the middle of an edit is not what it seems (an edit of our
  // own checks that under its lock, below).
  if (!fix && RefusePendingEdit(host, path, path)) return kExitFailed;
  // A lone STR file: its frames too, read before the file is opened for the
  // check (a fix rewrites framing only, never which sectors are there).
  const auto damaged = ext == ".cue" ? std::vector<DamagedMovie>{} : DamagedMovies(path);
  SectorFile file;
  if (!file.Open(path, fix ? SectorFile::Mode::kReadWrite : SectorFile::Mode::kReadOnly)) {
    const int err = file.Error();
    if (fix && (err == EACCES || err == EROFS || err == EPERM))
      Show(host, msg::kReadOnly);
    else
      Show(host, msg::kCannotOpenNamed, given.c_str(), ErrorText(err).c_str());
    return kExitFailed;
  }
  if (fix && !file.BeginJournal()) {
    ReportEditRefused(host, path, path, file.Error());
    return kExitFailed;
  }
  SectorCheckReport report;
  const SectorCheckResult result = CheckSectors(file, fix, report, audio);
  if (result == SectorCheckResult::kOk && (!fix || file.CommitJournal())) {
    if (json) {
      PrintJson(path, report, fix, damaged);
    } else {
      PrintText(path, report, fix);
      PrintDamaged(damaged);
    }
    return report.BadCount == 0 || (fix && report.Fixed == report.BadCount) ? kExitDone
                                                                            : kExitFailed;
  }
  // What went wrong first, then what was done about it.
  switch (result) {
    case SectorCheckResult::kUnknownLayout:
      Show(host, msg::kCheckUnknownLayout, path.c_str());
      break;
    case SectorCheckResult::kReadFailed:
      Show(host, msg::kCannotRead, path.c_str(), ErrorText(file.Error() ? file.Error() : EIO).c_str());
      break;
    default:
      Show(host, msg::kWriteError, path.c_str(), std::strerror(file.Error()));
  }
  if (fix && file.Journaling()) {
    if (!file.RollbackJournal())
      Show(host, msg::kRollbackFailed, path.c_str(), path.c_str());
    else if (file.Changed())
      Show(host, msg::kRolledBack, path.c_str());
  }
  return kExitFailed;
}

}  // namespace

void AddCheckCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand(
      "check", "Check the sync, address, EDC and ECC of every sector (exit 1 when any is bad)");
  auto path = std::make_shared<std::string>();
  auto fix = std::make_shared<bool>(false);
  auto json = std::make_shared<bool>(false);
  cmd->add_option("FILE", *path, "STR or XA file (2352 or 2336-byte sectors), or a cue sheet")->required();
  cmd->add_flag("--fix", *fix,
                "Rewrite the sync, address, EDC and ECC of bad sectors (never their data)");
  cmd->add_flag("--json", *json, "Print the report as JSON");
  cmd->callback([&run, path, fix, json] {
    run = [=](const GlobalOptions& g) { return RunCheck(g, *path, *fix, *json); };
  });
}

}  // namespace belmora::cli
