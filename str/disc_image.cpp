#include "str/disc_image.h"

#include "base/input_file.h"

#include "base/messages.h"

#include <cdio/iso9660.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "base/bytes.h"

namespace belmora {

namespace {

constexpr int kIsoBlock = 2048;
constexpr int kPvdSector = 16;
// libiso9660 finds the volume descriptor of a raw image by trying the
// sectors around sector 16, but it gives up at the first position before the
// file's start: a track may begin at most this many sectors into its file.
constexpr int64_t kMaxFuzzySectors = 17;
constexpr int kMaxDirectoryDepth = 32;
// More entries than any disc holds: a directory tree that says otherwise is
// damaged (or made to exhaust the reader).
constexpr size_t kMaxEntries = 200000;

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Format(const char* format, const std::string& what) {
  char text[1024];
  std::snprintf(text, sizeof text, Tr(format), what.c_str());
  return text;
}

// True when the 2048 bytes at `offset` begin a primary volume descriptor.
bool PvdAt(SectorFile& file, int64_t offset) {
  uint8_t b[7];
  return file.ReadAt(offset, b, sizeof b) && b[0] == 1 && std::memcmp(b + 1, "CD001", 5) == 0 &&
         b[6] == 1;
}

// "mm:ss:ff" in sectors; -1 when malformed.
int64_t ParseMsf(const std::string& s) {
  int m, sec, f;
  char tail;
  if (std::sscanf(s.c_str(), "%d:%d:%d%c", &m, &sec, &f, &tail) != 3) return -1;
  if (m < 0 || sec < 0 || sec >= 60 || f < 0 || f >= 75) return -1;
  return (int64_t(m) * 60 + sec) * 75 + f;
}

// Splits a cue line into words; a double-quoted word may hold spaces.
std::vector<std::string> CueWords(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) {
      i++;
      continue;
    }
    std::string w;
    if (line[i] == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string::npos) end = line.size();
      w = line.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) w += line[i++];
    }
    words.push_back(w);
  }
  return words;
}

// The files a cue names: as written, or failing that a file in the same
// folder whose name differs only in case (cue sheets made on systems that
// ignore case often disagree with the names on disk). Each name is looked
// up once, and each folder listed once, however many FILE lines there are.
class CueFileResolver {
 public:
  explicit CueFileResolver(std::string folder) : folder_(std::move(folder)) {}
  std::string Resolve(const std::string& name) {
    auto known = resolved_.find(name);
    if (known != resolved_.end()) return known->second;
    namespace fs = std::filesystem;
    fs::path p(name);
    if (p.is_relative()) p = fs::path(folder_) / p;
    std::string found = p.string();
    std::error_code ec;
    if (!fs::exists(p, ec)) {
      const auto& listing = Listing(p.parent_path().string());
      auto it = listing.find(Lower(p.filename().string()));
      if (it != listing.end()) found = it->second;
    }
    if (resolved_.size() < kMaxNames) resolved_[name] = found;
    return found;
  }

 private:
  // A folder's files by lower-case name (the first of names alike); a
  // folder of more than kMaxListed entries is listed that far.
  const std::map<std::string, std::string>& Listing(const std::string& dir) {
    auto it = listings_.find(dir);
    if (it != listings_.end()) return it->second;
    auto& listing = listings_[dir];
    std::error_code ec;
    size_t seen = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
      if (++seen > kMaxListed) break;
      listing.emplace(Lower(e.path().filename().string()), e.path().string());
    }
    return listing;
  }
  static constexpr size_t kMaxNames = 4096;
  static constexpr size_t kMaxListed = 100000;
  std::string folder_;
  std::map<std::string, std::string> resolved_;
  std::map<std::string, std::map<std::string, std::string>> listings_;
};

// A directory entry name without its ";1" version, and without the "." an
// ISO 9660 file name keeps when it has no extension.
std::string CleanName(std::string name, bool directory) {
  auto semi = name.rfind(';');
  if (semi != std::string::npos &&
      std::all_of(name.begin() + long(semi) + 1, name.end(),
                  [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    name.erase(semi);
  if (!directory && name.size() > 1 && name.back() == '.') name.pop_back();
  return name;
}

// The inner path in the form entries are kept in, upper-cased for comparing.
std::string NormalInner(std::string p) {
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || p[0] != '/') p.insert(p.begin(), '/');
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  auto slash = p.rfind('/');
  std::string last = CleanName(p.substr(slash + 1), false);
  return Upper(p.substr(0, slash + 1) + last);
}

struct IsoCloser {
  void operator()(iso9660_t* iso) const { iso9660_close(iso); }
};
using IsoHandle = std::unique_ptr<iso9660_t, IsoCloser>;

struct ListFreer {
  void operator()(CdioList_t* list) const { iso9660_filelist_free(list); }
};

// One entry of a directory, with its name as stored (libiso9660 looks paths
// up in stored names).
struct DirectoryChild {
  DiscEntry Entry;
  std::string RawName;
};

// The entries of the directory at `rawPath` ("." and ".." left out), their
// paths under `path`; false when it cannot be read.
bool ListDirectory(iso9660_t* iso, const std::string& rawPath, const std::string& path,
                   std::vector<DirectoryChild>& children) {
  std::unique_ptr<CdioList_t, ListFreer> list(
      iso9660_ifs_readdir(iso, rawPath.empty() ? "/" : rawPath.c_str()));
  if (!list) return false;
  for (CdioListNode_t* node = _cdio_list_begin(list.get()); node;
       node = _cdio_list_node_next(node)) {
    const auto* st = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
    const std::string raw = st->filename;
    if (raw == "." || raw == "..") continue;
    DirectoryChild c;
    c.RawName = raw;
    c.Entry.IsDirectory = st->type == iso9660_stat_s::_STAT_DIR;
    c.Entry.Path = path + "/" + CleanName(raw, c.Entry.IsDirectory);
    c.Entry.Lsn = st->lsn;
    c.Entry.Size = st->size;
    c.Entry.Sectors = (int64_t(st->size) + kIsoBlock - 1) / kIsoBlock;
    if (st->b_xa) {
      // The XA record's words are big-endian.
      const auto* a = reinterpret_cast<const uint8_t*>(&st->xa.attributes);
      c.Entry.Xa = XaRecord{uint16_t(a[0] << 8 | a[1]), st->xa.filenum};
    }
    children.push_back(std::move(c));
  }
  return true;
}

}  // namespace

std::optional<ImagePath> SplitImagePath(const std::string& path) {
  const auto at = path.find("::/");
  if (at == std::string::npos || at == 0) return std::nullopt;
  return ImagePath{path.substr(0, at), path.substr(at + 2)};
}

std::optional<CueSheet> ParseCueSheet(const std::string& text, const std::string& folder,
                                      int& badLine) {
  CueSheet cue;
  CueFileResolver files(folder);
  std::string file;
  bool haveFile = false;
  int lineNo = 0;
  size_t pos = 0;
  // A UTF-8 byte order mark before the first command.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  auto bad = [&] {
    badLine = lineNo;
    return std::nullopt;
  };
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    lineNo++;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto w = CueWords(line);
    if (w.empty()) continue;
    const std::string cmd = Upper(w[0]);
    if (cmd == "FILE") {
      if (w.size() < 2 || w[1].empty()) return bad();
      file = files.Resolve(w[1]);
      haveFile = true;
    } else if (cmd == "TRACK") {
      if (!haveFile || w.size() < 3) return bad();
      CueTrack t;
      char* stop = nullptr;
      t.Number = int(std::strtol(w[1].c_str(), &stop, 10));
      if (*stop != '\0' || t.Number < 1 || t.Number > 99) return bad();
      if (cue.Tracks.size() >= 99) return bad();  // a disc holds at most 99 tracks
      t.Mode = Upper(w[2]);
      t.File = file;
      t.Line = lineNo;
      cue.Tracks.push_back(t);
    } else if (cmd == "INDEX") {
      if (cue.Tracks.empty() || w.size() < 3) return bad();
      char* stop = nullptr;
      const long index = std::strtol(w[1].c_str(), &stop, 10);
      const int64_t at = ParseMsf(w[2]);
      if (*stop != '\0' || index < 0 || index > 99 || at < 0) return bad();
      if (cue.Tracks.back().File != file) return bad();  // a track's indexes lie in its own file
      if (index == 0) cue.Tracks.back().Index0 = at;
      if (index == 1) cue.Tracks.back().Index1 = at;
    } else if (cmd == "PREGAP") {
      if (cue.Tracks.empty() || w.size() < 2 || ParseMsf(w[1]) < 0) return bad();
      cue.Tracks.back().Pregap = ParseMsf(w[1]);
    }
    // REM, CATALOG, TITLE, PERFORMER, FLAGS, ISRC, POSTGAP... say nothing about
    // where the sectors are.
  }
  for (const CueTrack& t : cue.Tracks)
    if (t.Index1 < 0) {
      badLine = t.Line;
      return std::nullopt;
    }
  return cue;
}

bool DiscImage::Fail(const char* format, const std::string& what) {
  lastError_ = Format(format, what);
  entries_.clear();
  return false;
}

bool DiscImage::FailRead(const std::string& file, const std::string& reason) {
  lastError_ = FormatMessage(msg::kCannotRead, file.c_str(), reason.c_str());
  entries_.clear();
  return false;
}

bool DiscImage::Open(const std::string& path) {
  path_ = path;
  lastError_.clear();
  entries_.clear();
  track_ = DataTrack{};
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (!(ext == ".cue" ? OpenCue(path) : OpenPlain(path))) return false;
  return ReadDirectories();
}

bool DiscImage::OpenCue(const std::string& path) {
  // Read whole, but never more than a cue sheet needs.
  std::string text;
  if (const InputStatus read = ReadWholeFile(path, kMaxCueSheetBytes, text); !read.Ok())
    return FailRead(path, InputProblemText(read));
  int badLine = 0;
  const auto folder = std::filesystem::path(path).parent_path().string();
  const auto cue = ParseCueSheet(text, folder, badLine);
  if (!cue) {
    char msg[1024];
    std::snprintf(msg, sizeof msg, Tr(msg::kCueBadLine.Text), path.c_str(), badLine);
    lastError_ = msg;
    return false;
  }
  if (cue->Tracks.empty()) return Fail(msg::kCueNoTrack.Text, path);
  // The file system lives on the first track; a disc that starts with audio
  // has none there.
  const CueTrack& t = cue->Tracks[0];
  if (t.Mode == "AUDIO") return Fail(msg::kDiscFirstTrackAudio.Text, path);
  if (t.Mode == "MODE2/2352") {
    track_.SectorSize = 2352;
    track_.DataOffset = 24;
  } else if (t.Mode == "MODE1/2352") {
    track_.SectorSize = 2352;
    track_.DataOffset = 16;
  } else if (t.Mode == "MODE1/2048") {
    track_.SectorSize = 2048;
    track_.DataOffset = 0;
  } else {
    return Fail(msg::kCueUnsupportedMode.Text, t.Mode);
  }
  if (const InputStatus there = CheckRegularFile(t.File); !there.Ok())
    return there.Problem == InputStatus::kSystem && there.Error == ENOENT
               ? Fail(msg::kCueFileMissing.Text, t.File)
               : FailRead(t.File, InputProblemText(there));
  SectorFile file;
  if (!file.Open(t.File, SectorFile::Mode::kReadOnly)) return FailRead(t.File, ErrorText(file.Error()));
  track_.FilePath = t.File;
  track_.FileOffset = t.Index1 * track_.SectorSize;
  track_.StartLba = t.Pregap + t.Index1;
  int64_t end = (file.Size() - track_.FileOffset) / track_.SectorSize;
  if (cue->Tracks.size() > 1 && cue->Tracks[1].File == t.File) {
    const CueTrack& next = cue->Tracks[1];
    end = std::min(end, (next.Index0 >= 0 ? next.Index0 : next.Index1) - t.Index1);
  }
  track_.SectorCount = std::max<int64_t>(end, 0);
  if (!PvdAt(file, track_.FileOffset + kPvdSector * track_.SectorSize + track_.DataOffset))
    return Fail(msg::kDiscNoVolume.Text, path);
  return true;
}

bool DiscImage::OpenPlain(const std::string& path) {
  SectorFile file;
  if (!file.Open(path, SectorFile::Mode::kReadOnly)) return FailRead(path, ErrorText(file.Error()));
  track_.FilePath = path;
  // 2048-byte sectors, raw Mode 2, raw Mode 1: told apart by where the
  // primary volume descriptor is.
  static constexpr std::array<std::pair<int, int>, 3> kForms = {
      {{2048, 0}, {2352, 24}, {2352, 16}}};
  for (const auto& [size, offset] : kForms) {
    if (PvdAt(file, int64_t(kPvdSector) * size + offset)) {
      track_.SectorSize = size;
      track_.DataOffset = offset;
      track_.SectorCount = file.Size() / size;
      return true;
    }
  }
  return Fail(msg::kDiscNoVolume.Text, path);
}

bool DiscImage::ReadDirectories() {
  // Our own reading of a 2048-byte block of the track, to check that
  // libiso9660 found the volume where we did.
  SectorFile file;
  if (!file.Open(track_.FilePath, SectorFile::Mode::kReadOnly))
    return Fail(msg::kDiscUnreadable.Text, track_.FilePath);
  auto readBlock = [&](int64_t lsn, uint8_t* out) {
    return file.ReadAt(track_.FileOffset + lsn * track_.SectorSize + track_.DataOffset, out,
                       kIsoBlock);
  };
  const int64_t skip = track_.FileOffset / track_.SectorSize;
  IsoHandle iso;
  if (track_.SectorSize == kIsoBlock && track_.FileOffset == 0) {
    iso.reset(iso9660_open_ext(track_.FilePath.c_str(), ISO_EXTENSION_NONE));
  } else {
    if (skip > kMaxFuzzySectors) return Fail(msg::kDiscTrackOffset.Text, path_);
    iso.reset(
        iso9660_open_fuzzy_ext(track_.FilePath.c_str(), ISO_EXTENSION_NONE, uint16_t(skip + 1)));
  }
  std::array<uint8_t, kIsoBlock> ours{}, theirs{};
  if (!iso || !readBlock(kPvdSector, ours.data())) return Fail(msg::kDiscUnreadable.Text, path_);
  iso9660_pvd_t pvd;
  static_assert(sizeof pvd == kIsoBlock);
  if (!iso9660_ifs_read_pvd(iso.get(), &pvd) || std::memcmp(&pvd, ours.data(), kIsoBlock) != 0)
    return Fail(msg::kDiscUnreadable.Text, path_);
  // The root directory's first block, read both ways, pins down the sector
  // size libiso9660 settled on.
  const uint32_t rootLsn = GetU32(ours.data() + 156 + 2);
  // libiso9660 allocates a directory's recorded size before reading it: a
  // size beyond the track is damage, not a directory.
  const int64_t trackBytes = track_.SectorCount * kIsoBlock;
  if (int64_t(GetU32(ours.data() + 156 + 10)) > trackBytes)
    return Fail(msg::kDiscDirectoryDamaged.Text, path_);
  if (!readBlock(rootLsn, ours.data()) ||
      iso9660_iso_seek_read(iso.get(), theirs.data(), lsn_t(rootLsn), 1) != kIsoBlock ||
      ours != theirs)
    return Fail(msg::kDiscDirectoryDamaged.Text, path_);

  // Depth first, each directory followed by its contents. `rawPath` is the
  // path in stored names, as libiso9660 looks it up. Each directory extent
  // is read once: a directory that another (or itself) shares is listed
  // where it is met again, but not walked again, so that directories
  // sharing subdirectories cost no more than their extents.
  std::set<int64_t> visited{rootLsn};
  auto walk = [&](auto& self, const std::string& rawPath, const std::string& path,
                  int depth) -> bool {
    std::vector<DirectoryChild> children;
    if (!ListDirectory(iso.get(), rawPath, path, children)) return false;
    if (entries_.size() + children.size() > kMaxEntries) return false;
    for (DirectoryChild& c : children) {
      entries_.push_back(c.Entry);
      if (!c.Entry.IsDirectory) continue;
      if (depth + 1 >= kMaxDirectoryDepth || int64_t(c.Entry.Size) > trackBytes) return false;
      if (!visited.insert(c.Entry.Lsn).second) continue;
      if (!self(self, rawPath + "/" + c.RawName, c.Entry.Path, depth + 1)) return false;
    }
    return true;
  };
  if (!walk(walk, "", "", 0)) return Fail(msg::kDiscDirectoryDamaged.Text, path_);
  return true;
}

const DiscEntry* DiscImage::Find(const std::string& inner) const {
  // The path as listed (whatever bytes its names hold), or as a user types
  // it: another case, "\" for "/", a ";1" version.
  const std::string listed = Upper(inner.empty() || inner[0] != '/' ? "/" + inner : inner);
  const std::string want = NormalInner(inner);
  for (const DiscEntry& e : entries_) {
    const std::string path = Upper(e.Path);
    if (path == listed || path == want) return &e;
  }
  return nullptr;
}

FileExtent DiscImage::ExtentOf(const DiscEntry& e) const {
  FileExtent x;
  x.ImagePath = track_.FilePath;
  x.ByteOffset = track_.FileOffset + e.Lsn * track_.SectorSize;
  x.SectorSize = track_.SectorSize;
  x.DataOffset = track_.DataOffset;
  x.FirstLba = track_.StartLba + e.Lsn;
  x.SectorCount = e.Sectors;
  return x;
}

std::optional<FileExtent> DiscImage::Locate(const std::string& inner) {
  const DiscEntry* e = Find(inner);
  if (!e) {
    lastError_ = Format(msg::kDiscFileNotFound.Text, inner);
    return std::nullopt;
  }
  return ExtentOf(*e);
}

TrackSectorReader::TrackSectorReader(const DataTrack& track) : track_(track) {
  file_.Open(track.FilePath, SectorFile::Mode::kReadOnly);
}

bool TrackSectorReader::ReadHead(int64_t sector, SectorHead& out) {
  if (sector < 0 || sector >= track_.SectorCount) return false;
  const int64_t data = track_.FileOffset + sector * track_.SectorSize + track_.DataOffset;
  out.HasSubheader = track_.HasSubheaders();
  if (!out.HasSubheader) {
    out.Sub = Subheader{};
    return file_.ReadAt(data, out.UserData.data(), out.UserData.size());
  }
  uint8_t b[4 + kChunkHeaderSize];
  if (!file_.ReadAt(data - 4, b, sizeof b)) return false;
  out.Sub = Subheader::Parse(b);
  std::memcpy(out.UserData.data(), b + 4, kChunkHeaderSize);
  return true;
}

}  // namespace belmora
