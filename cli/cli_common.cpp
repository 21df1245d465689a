#include "cli/cli_common.h"

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "base/input_file.h"
#include "convert/output_file.h"
#include "str/disc_document.h"
#include "str/journal.h"

namespace belmora::cli {

void AddLayoutJson(nlohmann::ordered_json& j, const StrDocument& d) {
  j["Path"] = d.Path;
  j["SectorSize"] = d.SectorSize;
  j["DataOffset"] = d.DataOffset;
  j["HasRiffHeader"] = d.HasRiffHeader;
  j["SectorCount"] = d.SectorCount;
}

void PrintLayout(const StrDocument& d) {
  std::printf("File:               %s\n", d.Path.c_str());
  std::printf("Sector size:        %d (data offset %d%s)\n", d.SectorSize, d.DataOffset,
              d.SectorSize == 2352 ? (d.HasRiffHeader ? ", RIFF header" : ", raw sectors") : "");
  std::printf("Sectors:            %d\n", d.SectorCount);
}

bool OpenForViewing(Session& s, const std::string& path, bool readOnly) {
  return OpenForViewing(s, path, OpenModeFor(readOnly));
}

void ShowOpenFailure(Host& host, const std::string& path, const std::vector<std::string>& said,
                     int error) {
  // A text naming the file (or the disc image it is in) is shown as it is.
  const std::string file = path.substr(0, path.find("::"));
  const std::string full = FullPath(file);
  if (said.empty()) {
    const std::string why = error ? ErrorText(error) : Tr(msg::kFrameNotFound.Text);
    Show(host, msg::kCannotOpenNamed, path.c_str(), why.c_str());
    return;
  }
  for (const std::string& text : said) {
    if (text.find(file) != std::string::npos || text.find(full) != std::string::npos)
      host.ShowMessage(text, Tr(kMessageCaption), MessageKind::kInformation);
    else
      Show(host, msg::kCannotOpenNamed, path.c_str(), text.c_str());
  }
}

bool OpenForViewing(Session& s, const std::string& path, OpenMode mode) {
  // A file left in the middle of an edit (or being edited) is refused by
  // the opener, which says so; any other failure is said with the file's
  // name and the reason.
  std::vector<std::string> said;
  s.host.Captured = &said;
  const int opened = OpenMovieFile(s.doc, s.host, path, mode);
  s.host.Captured = nullptr;
  if (opened != 0) {
    ShowOpenFailure(s.host, path, said, s.doc.File.Error());
    return false;
  }
  for (const std::string& text : said)
    s.host.ShowMessage(text, Tr(kMessageCaption), MessageKind::kInformation);
  const int movies = int(s.doc.Movies.size());
  if (s.movie < 1 || s.movie > std::max(movies, 1)) {
    Show(s.host, msg::kNoSuchMovie, path.c_str(), s.movie, movies);
    CloseStrFile(s.doc);
    return false;
  }
  if (s.movie != 1 && SelectMovie(s.doc, s.movie - 1) != 0) {
    Show(s.host, msg::kCannotOpenStr);
    CloseStrFile(s.doc);
    return false;
  }
  if (movies > 1) Show(s.host, msg::kMovieChosen, path.c_str(), s.movie, movies);
  return true;
}

std::string JsonText(const nlohmann::ordered_json& j) {
  return j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<std::pair<int, int>> ParseSize(const std::string& size) {
  auto x = size.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const std::string w = size.substr(0, x), h = size.substr(x + 1);
  char* end = nullptr;
  const long width = std::strtol(w.c_str(), &end, 10);
  if (w.empty() || *end) return std::nullopt;
  const long height = std::strtol(h.c_str(), &end, 10);
  if (h.empty() || *end) return std::nullopt;
  return std::pair<int, int>(int(width), int(height));
}

bool CheckRange(const char* option, long long value, long long low, long long high) {
  if (value >= low && value <= high) return true;
  std::fprintf(stderr, "%s %lld: must be from %lld to %lld\n", option, value, low, high);
  return false;
}

bool CheckSectorRange(const StrDocument& doc, int from, int to) {
  if (from >= 0 && !CheckRange("--from", from, 0, doc.SectorCount - 1)) return false;
  if (to >= 0 && !CheckRange("--to", to, std::max(from, 0), doc.SectorCount - 1)) return false;
  return true;
}

bool CheckOutput(Host& host, const std::string& out, const std::vector<std::string>& inputs,
                 bool force) {
  return CheckOutputPath(host, out, inputs, force);
}

}  // namespace belmora::cli
