// Game disc images: a cue sheet with its BIN file, a raw 2352-byte BIN, or a
// 2048-byte ISO. Opening one finds its first data track, reads the ISO 9660
// directory on it (through libiso9660) and keeps the list of files; for each
// file it tells where its sectors lie in the image file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "str/disc_content.h"
#include "str/sector_file.h"

namespace belmora {

// Messages of the disc image layer; the %s is the image, cue or inner path.

// A path to a file inside a disc image: "IMAGE.bin::/MOVIE/OPEN.STR".
struct ImagePath {
  std::string Image;  // the image (.cue, .bin, .iso)
  std::string Inner;  // the path inside it, starting with "/"
  bool operator==(const ImagePath&) const = default;
};
// Splits at the first "::" followed by "/"; nullopt for a plain path.
std::optional<ImagePath> SplitImagePath(const std::string& path);

// One TRACK of a cue sheet. Positions are in sectors from the start of the
// track's file.
struct CueTrack {
  int Number = 0;
  std::string Mode;     // as written, upper case: "MODE2/2352", "MODE1/2048", "AUDIO"...
  std::string File;     // the FILE it belongs to, resolved against the cue's folder
  int64_t Index0 = -1;  // -1 when absent
  int64_t Index1 = -1;
  int64_t Pregap = 0;  // PREGAP: sectors not stored in the file
  int Line = 0;        // of the TRACK command
};

struct CueSheet {
  std::vector<CueTrack> Tracks;
};

// Parses a cue sheet. Relative file names resolve against `folder` (a file
// missing under its written name is looked for case-insensitively). On a
// malformed line returns nullopt with `badLine` set to its number.
std::optional<CueSheet> ParseCueSheet(const std::string& text, const std::string& folder,
                                      int& badLine);

// Where the data track's sectors lie.
struct DataTrack {
  std::string FilePath;    // the file holding them (the BIN a cue names, or the image)
  int64_t FileOffset = 0;  // byte offset of the track's first sector in that file
  int SectorSize = 2048;   // as stored: 2352 or 2048
  int DataOffset = 0;      // user data within a stored sector: 24 raw Mode 2, 16 raw Mode 1, 0
  int64_t StartLba = 0;    // absolute address of the first sector (its MSF header says +150)
  int64_t SectorCount = 0;
  // Raw Mode 2 sectors carry XA subheaders.
  bool HasSubheaders() const { return SectorSize == 2352 && DataOffset == 24; }
};

// The XA system-use record of a directory entry.
struct XaRecord {
  uint16_t Attributes = 0;  // XA_ATTR_* bits and permissions
  uint8_t FileNumber = 0;
  bool operator==(const XaRecord&) const = default;
};
inline constexpr uint16_t kXaAttrForm1 = 1 << 11;
inline constexpr uint16_t kXaAttrForm2 = 1 << 12;
inline constexpr uint16_t kXaAttrInterleaved = 1 << 13;
inline constexpr uint16_t kXaAttrCdda = 1 << 14;
inline constexpr uint16_t kXaAttrDirectory = 1 << 15;

// A file or directory of the image.
struct DiscEntry {
  std::string Path;  // "/MOVIE/OPEN.STR": full path, case as stored, no ";1"
  bool IsDirectory = false;
  int64_t Lsn = 0;      // first sector, from the track start
  uint32_t Size = 0;    // bytes, as the directory records it
  int64_t Sectors = 0;  // Size rounded up to whole 2048-byte sectors
  std::optional<XaRecord> Xa;
};

// Where a file's sectors lie in the image file: what a reader or writer of
// the file's sectors needs.
struct FileExtent {
  std::string ImagePath;   // the file holding the sectors
  int64_t ByteOffset = 0;  // of the first sector as stored (its sync pattern for raw sectors)
  int SectorSize = 2048;   // 2352 or 2048
  int DataOffset = 0;      // user data within a stored sector: 24 raw Mode 2, 0 ISO
  int64_t FirstLba = 0;    // absolute address of the first sector
  int64_t SectorCount = 0;
};

class DiscImage {
 public:
  // Opens `path` (a .cue, or any other file taken for a BIN or ISO image:
  // raw 2352-byte or 2048-byte sectors, told apart by where the primary
  // volume descriptor lies) and reads its directory. False on failure, with
  // the message in LastError().
  bool Open(const std::string& path);

  const std::string& Path() const { return path_; }
  const std::string& LastError() const { return lastError_; }
  const DataTrack& Track() const { return track_; }
  // Every file and directory, each directory followed by its contents.
  const std::vector<DiscEntry>& Entries() const { return entries_; }

  // The entry at `inner`, compared without regard to case; a missing leading
  // "/" and a ";1" version are accepted. Null when there is none.
  const DiscEntry* Find(const std::string& inner) const;
  FileExtent ExtentOf(const DiscEntry& entry) const;
  // Find plus ExtentOf; nullopt with LastError() set when the path is not in
  // the image.
  std::optional<FileExtent> Locate(const std::string& inner);

 private:
  bool Fail(const char* format, const std::string& what);
  // The file could not be read: its name and the reason.
  bool FailRead(const std::string& file, const std::string& reason);
  bool OpenCue(const std::string& path);
  bool OpenPlain(const std::string& path);
  bool ReadDirectories();

  std::string path_;
  std::string lastError_;
  DataTrack track_;
  std::vector<DiscEntry> entries_;
};

// Reads sector heads of a data track; sector 0 is the track's first.
class TrackSectorReader : public SectorReader {
 public:
  explicit TrackSectorReader(const DataTrack& track);
  bool IsOpen() const { return file_.IsOpen(); }
  int64_t SectorCount() const override { return track_.SectorCount; }
  bool ReadHead(int64_t sector, SectorHead& out) override;

 private:
  DataTrack track_;
  SectorFile file_;
};

}  // namespace belmora
