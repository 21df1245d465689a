#include "str/disc_document.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/messages.h"
#include "str/cd_sector.h"
#include "str/str_document.h"

namespace belmora {

namespace {

std::optional<SectorLayout> Fail(Host& host, Message m, const std::string& what) {
  Show(host, m, what.c_str());
  return std::nullopt;
}

// Opens the image's data file for reading and writing, or for reading only
// where the file or medium allows no writing.
bool OpenDataFile(StrDocument& doc, const std::string& file, OpenMode mode) {
  doc.ReadOnly = mode == OpenMode::kReadOnly;
  if (mode == OpenMode::kReadOnly) return doc.File.Open(file, SectorFile::Mode::kReadOnly);
  if (mode == OpenMode::kTrial) return doc.File.Open(file, SectorFile::Mode::kTrial);
  if (doc.File.Open(file, SectorFile::Mode::kReadWrite)) return true;
  const int err = doc.File.Error();
  if (err != EACCES && err != EROFS && err != EPERM) return false;
  doc.ReadOnly = true;
  return doc.File.Open(file, SectorFile::Mode::kReadOnly);
}

bool IsCueSheet(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".cue";
}

}  // namespace

std::optional<SectorLayout> OpenImageExtent(StrDocument& doc, Host& host, const ImagePath& path,
                                            OpenMode mode) {
  const std::string image = FullPath(path.Image);
  doc.Path = image + "::" + path.Inner;
  DiscImage disc;
  if (!disc.Open(image)) {
    host.ShowMessage(disc.LastError(), Tr(kMessageCaption), MessageKind::kInformation);
    return std::nullopt;
  }
  const DataTrack& track = disc.Track();
  // STR sectors are Mode 2: raw with their subheaders, or their user data
  // alone in an ISO. Raw Mode 1 sectors hold no STR layout.
  SectorLayout layout;
  if (track.HasSubheaders())
    layout = kLayout2352Raw;
  else if (track.SectorSize == kUserDataSize)
    layout = kLayout2048;
  else
    return Fail(host, msg::kCueUnsupportedMode, "MODE1/2352");

  const DiscEntry* entry = disc.Find(path.Inner);
  if (!entry) return Fail(host, msg::kDiscFileNotFound, path.Inner);
  doc.Path = image + "::" + entry->Path;
  if (entry->IsDirectory) return Fail(host, msg::kDiscIsDirectory, doc.Path);
  // A file said to run past its track would take in what follows it.
  if (entry->Lsn < 0 || entry->Lsn + entry->Sectors > track.SectorCount)
    return Fail(host, msg::kDiscDirectoryDamaged, image);

  const FileExtent extent = disc.ExtentOf(*entry);
  // An image in the middle of an edit is not what it seems.
  if (RefusePendingEdit(host, doc.Path, FullPath(extent.ImagePath))) return std::nullopt;
  if (!OpenDataFile(doc, extent.ImagePath, mode) ||
      !doc.File.Restrict(extent.ByteOffset, extent.SectorCount * extent.SectorSize)) {
    Show(host, msg::kDiscUnreadable, extent.ImagePath.c_str());
    doc.File.Close();
    return std::nullopt;
  }
  // Sectors written anew take the addresses the image gives them: the first
  // sector's own header, or failing that its place on the disc.
  doc.FirstAddress = int32_t(extent.FirstLba + kFirstDataAddress);
  uint8_t head[16];
  if (layout == kLayout2352Raw && doc.File.ReadAt(0, head, sizeof head) &&
      std::memcmp(head, kSyncPattern.data(), kSyncPattern.size()) == 0 && head[15] == kMode2)
    if (auto lba = DecodeMsf(head + 12)) doc.FirstAddress = *lba;
  return layout;
}

std::optional<DetectedLayout> DetectImageLayout(std::span<const uint8_t> head,
                                                const SectorLayout& layout) {
  auto detected = DetectLayout(head);
  if (detected && detected->Layout == layout) return detected;
  if (layout != kLayout2352Raw) return std::nullopt;
  // A raw sector whose sync pattern is damaged is the image's all the same;
  // the picture size then comes from the first frame start.
  DetectedLayout d;
  d.Layout = layout;
  d.FirstSectorSkipped = true;
  return d;
}

std::string FileOnDisk(const std::string& path) {
  const auto inner = SplitImagePath(path);
  const std::string image = FullPath(inner ? inner->Image : path);
  if (!inner && !IsCueSheet(image)) return image;
  DiscImage disc;
  if (!disc.Open(image) || disc.Track().FilePath.empty()) return image;
  return FullPath(disc.Track().FilePath);
}

bool RefuseIfFixedLength(StrDocument& doc, Host& host) {
  if (!doc.File.Restricted()) return false;
  Show(host, msg::kImageFixedLength, doc.Path.c_str());
  return true;
}

bool RefuseIfFixedLength(StrDocument& doc) {
  return RefuseIfFixedLength(doc, *doc.Ui);
}

}  // namespace belmora
