#include "tests/support/disc_builder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "base/bytes.h"
#include "tests/support/run.h"

namespace belmora::test {

namespace {

constexpr int kBlock = 2048;
constexpr int64_t kPvdLsn = 16;
constexpr int64_t kPathTableLsn = 18;   // after the descriptor and its terminator
constexpr uint8_t kSubmodeFile = 0x08;  // data
constexpr uint8_t kSubmodeLast = 0x89;  // end of file, data, end of record
constexpr uint8_t kRecordingTime[7] = {124, 1, 1, 0, 0, 0, 0};  // 2024-01-01, UTC
constexpr char kVolumeTime[] = "2024010100000000";

// ISO 9660 numbers: both byte orders (7.2.3, 7.3.3) and big-endian alone.
void Put723(uint8_t* p, uint32_t v) {
  PutU16(p, v);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
void Put733(uint8_t* p, uint32_t v) {
  PutU32(p, v);
  PutBe32(p + 4, v);
}
void PutText(uint8_t* p, size_t width, const std::string& s) {
  std::memset(p, ' ', width);
  std::memcpy(p, s.data(), std::min(width, s.size()));
}

std::string ParentOf(const std::string& path) {
  return path.substr(0, path.rfind('/'));
}
std::string NameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

int64_t Blocks(size_t bytes) {
  return int64_t((bytes + kBlock - 1) / kBlock);
}

// Size of a directory record with an identifier of `n` bytes.
size_t RecordSize(size_t n, bool xa) {
  return 33 + n + (n % 2 == 0 ? 1 : 0) + (xa ? 14 : 0);
}

struct XaWord {
  uint16_t Attributes;
  uint8_t FileNumber;
};

// One directory record; returns its length.
size_t WriteRecord(uint8_t* p, const std::string& id, uint32_t extent, uint32_t size, bool dir,
                   const XaWord* xa) {
  const size_t len = RecordSize(id.size(), xa != nullptr);
  std::memset(p, 0, len);
  p[0] = uint8_t(len);
  Put733(p + 2, extent);
  Put733(p + 10, size);
  std::memcpy(p + 18, kRecordingTime, 7);
  p[25] = dir ? 0x02 : 0x00;
  Put723(p + 28, 1);
  p[32] = uint8_t(id.size());
  std::memcpy(p + 33, id.data(), id.size());
  if (xa) {
    uint8_t* x = p + len - 14;  // group and user ids stay 0
    x[4] = uint8_t(xa->Attributes >> 8);
    x[5] = uint8_t(xa->Attributes);
    x[6] = 'X';
    x[7] = 'A';
    x[8] = xa->FileNumber;
  }
  return len;
}

SectorImage Form1(const uint8_t* data, size_t size, uint8_t submode) {
  SectorImage s{};
  s[2] = s[6] = submode;
  if (size > 0) std::memcpy(s.data() + 8, data, std::min<size_t>(size, kBlock));
  return s;
}

uint8_t Bcd(int v) {
  return uint8_t(v / 10 << 4 | v % 10);
}

}  // namespace

void FinishRawSector(uint8_t* sector, int64_t lba) {
  std::memcpy(sector, kSyncHeader.data(), 12);
  const int64_t a = lba + 150;
  sector[12] = Bcd(int(a / 4500));
  sector[13] = Bcd(int(a / 75 % 60));
  sector[14] = Bcd(int(a % 75));
  sector[15] = 2;  // Mode 2
}

std::vector<SectorImage> SectorImagesOf(const StrBuilder& raw) {
  const std::vector<uint8_t> bytes = raw.Bytes();
  if (bytes.size() % 2352 != 0) throw std::invalid_argument("not raw 2352-byte sectors");
  std::vector<SectorImage> out(bytes.size() / 2352);
  for (size_t i = 0; i < out.size(); i++)
    std::memcpy(out[i].data(), &bytes[i * 2352 + 16], kSectorImageSize);
  return out;
}

std::vector<uint8_t> UserDataOf(const std::vector<SectorImage>& sectors) {
  std::vector<uint8_t> out;
  for (const SectorImage& s : sectors) out.insert(out.end(), s.begin() + 8, s.begin() + 8 + kBlock);
  return out;
}

void DiscBuilder::AddParents(const std::string& path) {
  const std::string parent = ParentOf(path);
  if (parent.empty()) return;
  for (const File& f : files_)
    if (f.Path == parent) return;
  AddParents(parent);
  File d;
  d.Path = parent;
  d.IsDirectory = true;
  files_.push_back(d);
}

void DiscBuilder::AddDirectory(const std::string& path) {
  AddParents(path);
  for (const File& f : files_)
    if (f.Path == path) return;
  File d;
  d.Path = path;
  d.IsDirectory = true;
  files_.push_back(d);
}

void DiscBuilder::AddSectorFile(const std::string& path, std::vector<SectorImage> sectors,
                                uint16_t xaAttributes) {
  AddParents(path);
  File f;
  f.Path = path;
  f.Images = true;
  f.Sectors = std::move(sectors);
  f.XaAttributes = xaAttributes;
  files_.push_back(std::move(f));
}

void DiscBuilder::AddDataFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  AddParents(path);
  File f;
  f.Path = path;
  f.Bytes = bytes;
  f.XaAttributes = kXaForm1FileAttributes;
  files_.push_back(std::move(f));
}

int DiscBuilder::AddUnlisted(std::vector<SectorImage> sectors) {
  unlisted_.push_back(std::move(sectors));
  return int(unlisted_.size()) - 1;
}

// Where everything goes. Directories are numbered root first, then level by
// level, each level by parent number and name: the path table's order.
struct DiscBuilder::Layout {
  std::vector<int> Dirs;                    // indices into files_, -1 for the root
  std::vector<std::vector<int>> Children;   // per entry of Dirs, sorted by identifier
  std::vector<int64_t> DirLsn, DirSectors;  // per entry of Dirs
  std::vector<int64_t> Lsn, Sectors;        // per file
  int64_t PathTableSectors = 0;
  uint32_t PathTableSize = 0;
  std::vector<int64_t> UnlistedLsn;
  int64_t Total = 0;
};

DiscBuilder::Layout DiscBuilder::Lay() const {
  Layout l;
  auto identifier = [&](int i) {
    return files_[size_t(i)].IsDirectory ? NameOf(files_[size_t(i)].Path)
                                         : NameOf(files_[size_t(i)].Path) + ";1";
  };
  auto childrenOf = [&](const std::string& dirPath) {
    std::vector<int> c;
    for (size_t i = 0; i < files_.size(); i++)
      if (ParentOf(files_[i].Path) == dirPath) c.push_back(int(i));
    std::sort(c.begin(), c.end(), [&](int a, int b) { return identifier(a) < identifier(b); });
    return c;
  };
  l.Dirs.push_back(-1);
  for (size_t k = 0; k < l.Dirs.size(); k++) {
    const std::string path = l.Dirs[k] < 0 ? "" : files_[size_t(l.Dirs[k])].Path;
    l.Children.push_back(childrenOf(path));
    for (int c : l.Children.back())
      if (files_[size_t(c)].IsDirectory) l.Dirs.push_back(c);
  }
  // Path table: 8 bytes per directory plus its padded identifier.
  for (int d : l.Dirs) {
    const size_t n = d < 0 ? 1 : NameOf(files_[size_t(d)].Path).size();
    l.PathTableSize += uint32_t(8 + n + n % 2);
  }
  l.PathTableSectors = Blocks(l.PathTableSize);
  int64_t next = kPathTableLsn + 2 * l.PathTableSectors;
  l.Lsn.assign(files_.size(), 0);
  l.Sectors.assign(files_.size(), 0);
  for (size_t k = 0; k < l.Dirs.size(); k++) {
    // Records never cross a sector boundary.
    int64_t sectors = 1;
    size_t used = 2 * RecordSize(1, xa_);
    for (int c : l.Children[k]) {
      const size_t len = RecordSize(identifier(c).size(), xa_);
      if (used + len > size_t(kBlock)) {
        sectors++;
        used = 0;
      }
      used += len;
    }
    l.DirLsn.push_back(next);
    l.DirSectors.push_back(sectors);
    if (l.Dirs[k] >= 0) {
      l.Lsn[size_t(l.Dirs[k])] = next;
      l.Sectors[size_t(l.Dirs[k])] = sectors;
    }
    next += sectors;
  }
  for (size_t i = 0; i < files_.size(); i++) {
    if (files_[i].IsDirectory) continue;
    l.Lsn[i] = next;
    l.Sectors[i] =
        files_[i].Images ? int64_t(files_[i].Sectors.size()) : Blocks(files_[i].Bytes.size());
    next += l.Sectors[i];
  }
  for (const auto& run : unlisted_) {
    l.UnlistedLsn.push_back(next + 1);
    next += 1 + int64_t(run.size());
  }
  l.Total = next + trailing_;
  return l;
}

std::vector<DiscPlacement> DiscBuilder::Placements() const {
  const Layout l = Lay();
  std::vector<DiscPlacement> out;
  for (size_t i = 0; i < files_.size(); i++) {
    DiscPlacement p;
    p.Path = files_[i].Path;
    p.IsDirectory = files_[i].IsDirectory;
    p.Lsn = l.Lsn[i];
    p.Sectors = l.Sectors[i];
    p.Size = files_[i].Images || files_[i].IsDirectory ? uint32_t(l.Sectors[i] * kBlock)
                                                       : uint32_t(files_[i].Bytes.size());
    out.push_back(p);
  }
  return out;
}

DiscPlacement DiscBuilder::Placement(const std::string& path) const {
  for (const DiscPlacement& p : Placements())
    if (p.Path == path) return p;
  throw std::invalid_argument("no such entry: " + path);
}

int64_t DiscBuilder::UnlistedLsn(int index) const {
  return Lay().UnlistedLsn.at(size_t(index));
}

int64_t DiscBuilder::SectorCount() const {
  return Lay().Total;
}

std::vector<SectorImage> DiscBuilder::Volume() const {
  const Layout l = Lay();
  std::vector<SectorImage> v(size_t(l.Total), Form1(nullptr, 0, kSubmodeFile));

  // Primary volume descriptor and terminator.
  uint8_t pvd[kBlock] = {};
  pvd[0] = 1;
  std::memcpy(pvd + 1, "CD001", 5);
  pvd[6] = 1;
  PutText(pvd + 8, 32, "BELMORA");
  PutText(pvd + 40, 32, "BELMORA_TEST");
  Put733(pvd + 80, uint32_t(l.Total));
  Put723(pvd + 120, 1);
  Put723(pvd + 124, 1);
  Put723(pvd + 128, kBlock);
  Put733(pvd + 132, l.PathTableSize);
  PutU32(pvd + 140, uint32_t(kPathTableLsn));
  PutBe32(pvd + 148, uint32_t(kPathTableLsn + l.PathTableSectors));
  WriteRecord(pvd + 156, std::string(1, '\0'), uint32_t(l.DirLsn[0]),
              uint32_t(l.DirSectors[0] * kBlock), true, nullptr);
  for (int off : {190, 318, 446, 574}) PutText(pvd + off, 128, "");
  for (int off : {702, 739, 776}) PutText(pvd + off, 37, "");
  for (int off : {813, 830, 847, 864}) std::memcpy(pvd + off, kVolumeTime, 16);
  pvd[881] = 1;
  if (xa_) std::memcpy(pvd + 1024, "CD-XA001", 8);
  v[kPvdLsn] = Form1(pvd, kBlock, kSubmodeFile);
  uint8_t end[kBlock] = {};
  end[0] = 255;
  std::memcpy(end + 1, "CD001", 5);
  end[6] = 1;
  v[kPvdLsn + 1] = Form1(end, kBlock, kSubmodeLast);

  // Path tables, little-endian then big-endian.
  auto dirNumber = [&](const std::string& path) {
    for (size_t k = 0; k < l.Dirs.size(); k++)
      if ((l.Dirs[k] < 0 ? "" : files_[size_t(l.Dirs[k])].Path) == path) return int(k) + 1;
    throw std::logic_error("directory without a number");
  };
  for (int bigEndian = 0; bigEndian < 2; bigEndian++) {
    std::vector<uint8_t> t;
    for (size_t k = 0; k < l.Dirs.size(); k++) {
      const std::string name =
          l.Dirs[k] < 0 ? std::string(1, '\0') : NameOf(files_[size_t(l.Dirs[k])].Path);
      const int parent = l.Dirs[k] < 0 ? 1 : dirNumber(ParentOf(files_[size_t(l.Dirs[k])].Path));
      uint8_t r[8] = {uint8_t(name.size()), 0};
      if (bigEndian) {
        PutBe32(r + 2, uint32_t(l.DirLsn[k]));
        r[6] = uint8_t(parent >> 8);
        r[7] = uint8_t(parent);
      } else {
        PutU32(r + 2, uint32_t(l.DirLsn[k]));
        PutU16(r + 6, uint32_t(parent));
      }
      t.insert(t.end(), r, r + 8);
      t.insert(t.end(), name.begin(), name.end());
      if (name.size() % 2) t.push_back(0);
    }
    const int64_t at = kPathTableLsn + bigEndian * l.PathTableSectors;
    for (int64_t s = 0; s < l.PathTableSectors; s++)
      v[size_t(at + s)] = Form1(t.data() + s * kBlock, t.size() - size_t(s) * kBlock,
                                s + 1 == l.PathTableSectors ? kSubmodeLast : kSubmodeFile);
  }

  // Directories.
  const XaWord dirXa{kXaDirectoryAttributes, 0};
  for (size_t k = 0; k < l.Dirs.size(); k++) {
    std::vector<uint8_t> d(size_t(l.DirSectors[k] * kBlock), 0);
    size_t at = 0;
    auto put = [&](const std::string& id, uint32_t extent, uint32_t size, bool dir,
                   const XaWord& xa) {
      const size_t len = RecordSize(id.size(), xa_);
      if (at % kBlock + len > size_t(kBlock)) at += kBlock - at % kBlock;
      at += WriteRecord(&d[at], id, extent, size, dir, xa_ ? &xa : nullptr);
    };
    size_t parentK = 0;
    if (l.Dirs[k] >= 0) {
      const int parent = dirNumber(ParentOf(files_[size_t(l.Dirs[k])].Path));
      parentK = size_t(parent - 1);
    }
    put(std::string(1, '\0'), uint32_t(l.DirLsn[k]), uint32_t(l.DirSectors[k] * kBlock), true,
        dirXa);
    put(std::string(1, '\1'), uint32_t(l.DirLsn[parentK]), uint32_t(l.DirSectors[parentK] * kBlock),
        true, dirXa);
    for (int c : l.Children[k]) {
      const File& f = files_[size_t(c)];
      const XaWord xa = f.IsDirectory ? dirXa : XaWord{f.XaAttributes, uint8_t(f.Images ? 1 : 0)};
      const uint32_t size = f.Images || f.IsDirectory ? uint32_t(l.Sectors[size_t(c)] * kBlock)
                                                      : uint32_t(f.Bytes.size());
      put(f.IsDirectory ? NameOf(f.Path) : NameOf(f.Path) + ";1", uint32_t(l.Lsn[size_t(c)]), size,
          f.IsDirectory, xa);
    }
    for (int64_t s = 0; s < l.DirSectors[k]; s++)
      v[size_t(l.DirLsn[k] + s)] = Form1(&d[size_t(s) * kBlock], kBlock,
                                         s + 1 == l.DirSectors[k] ? kSubmodeLast : kSubmodeFile);
  }

  // Files and the unlisted runs.
  for (size_t i = 0; i < files_.size(); i++) {
    const File& f = files_[i];
    if (f.IsDirectory) continue;
    for (int64_t s = 0; s < l.Sectors[i]; s++) {
      SectorImage& out = v[size_t(l.Lsn[i] + s)];
      if (f.Images) {
        out = f.Sectors[size_t(s)];
      } else {
        const size_t from = size_t(s) * kBlock;
        out = Form1(f.Bytes.data() + from, f.Bytes.size() - from,
                    s + 1 == l.Sectors[i] ? kSubmodeLast : kSubmodeFile);
      }
    }
  }
  for (size_t r = 0; r < unlisted_.size(); r++)
    std::copy(unlisted_[r].begin(), unlisted_[r].end(), v.begin() + l.UnlistedLsn[r]);
  return v;
}

std::vector<uint8_t> DiscBuilder::IsoBytes() const {
  return UserDataOf(Volume());
}

std::vector<uint8_t> DiscBuilder::RawBytes(int64_t startLba) const {
  const std::vector<SectorImage> v = Volume();
  std::vector<uint8_t> out(v.size() * 2352);
  for (size_t i = 0; i < v.size(); i++) {
    uint8_t* s = &out[i * 2352];
    std::memcpy(s + 16, v[i].data(), kSectorImageSize);
    FinishRawSector(s, startLba + int64_t(i));
  }
  return out;
}

void DiscBuilder::WriteIso(const std::string& path) const {
  WriteFileBytes(path, IsoBytes());
}

std::string DiscBuilder::CueText(const std::string& binName) {
  return "FILE \"" + binName + "\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n";
}

void DiscBuilder::WriteBinCue(const std::string& binPath, const std::string& cuePath) const {
  WriteFileBytes(binPath, RawBytes());
  const std::string cue = CueText(std::filesystem::path(binPath).filename().string());
  WriteFileBytes(cuePath, std::vector<uint8_t>(cue.begin(), cue.end()));
}

}  // namespace belmora::test
