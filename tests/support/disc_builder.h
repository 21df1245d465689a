// Builds small ISO 9660 disc images for tests: a volume with directories and
// files, written as a 2048-byte ISO or as a raw Mode 2 BIN with its cue sheet.
// Files made of whole 2336-byte sector images (STR movies, XA audio) keep
// their own subheaders in the BIN; everything else is laid down as Form 1
// sectors.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "str/sector.h"
#include "tests/support/str_builder.h"

namespace belmora::test {

using SectorImage = std::array<uint8_t, kSectorImageSize>;

// The sector images (subheader, copy, data) of an STR built with 2352-byte
// sectors and no RIFF header.
std::vector<SectorImage> SectorImagesOf(const StrBuilder& raw2352);
// The user data of a sector image as a 2048-byte ISO keeps it.
std::vector<uint8_t> UserDataOf(const std::vector<SectorImage>& sectors);

// XA attribute words for directory records (permissions all set).
inline constexpr uint16_t kXaDirectoryAttributes = 0x8D55;        // directory, Form 1
inline constexpr uint16_t kXaForm1FileAttributes = 0x0D55;        // Form 1 data
inline constexpr uint16_t kXaInterleavedFileAttributes = 0x3555;  // Form 2, interleaved

// Where the builder put an entry.
struct DiscPlacement {
  std::string Path;
  bool IsDirectory = false;
  int64_t Lsn = 0;
  int64_t Sectors = 0;
  uint32_t Size = 0;  // as recorded: 2048 per sector for sector-image files
};

class DiscBuilder {
 public:
  // Directories of files are made on the way; AddDirectory adds an empty one.
  void AddDirectory(const std::string& path);
  void AddSectorFile(const std::string& path, std::vector<SectorImage> sectors,
                     uint16_t xaAttributes = kXaInterleavedFileAttributes);
  void AddDataFile(const std::string& path, const std::vector<uint8_t>& bytes);
  // Sectors after the files that no directory entry covers, each run after
  // one free sector; returns the run's index.
  int AddUnlisted(std::vector<SectorImage> sectors);
  // Free sectors at the end of the volume.
  void SetTrailingSectors(int count) { trailing_ = count; }
  // Without XA records the primary volume descriptor lacks the "CD-XA001"
  // mark and directory records carry no system-use data.
  void SetXaRecords(bool on) { xa_ = on; }

  std::vector<DiscPlacement> Placements() const;
  DiscPlacement Placement(const std::string& path) const;  // throws when absent
  int64_t UnlistedLsn(int index) const;
  int64_t SectorCount() const;

  std::vector<uint8_t> IsoBytes() const;
  // Raw 2352-byte sectors; `startLba` is the address of the first one.
  std::vector<uint8_t> RawBytes(int64_t startLba = 0) const;
  void WriteIso(const std::string& path) const;
  // The BIN and a cue sheet naming it by its file name.
  void WriteBinCue(const std::string& binPath, const std::string& cuePath) const;
  static std::string CueText(const std::string& binName);

 private:
  struct File {
    std::string Path;
    bool IsDirectory = false;
    bool Images = false;  // sector images rather than data bytes
    std::vector<SectorImage> Sectors;
    std::vector<uint8_t> Bytes;
    uint16_t XaAttributes = 0;
  };
  struct Layout;
  Layout Lay() const;
  std::vector<SectorImage> Volume() const;
  void AddParents(const std::string& path);

  std::vector<File> files_;
  std::vector<std::vector<SectorImage>> unlisted_;
  int trailing_ = 0;
  bool xa_ = true;
};

// Seals a raw 2352-byte sector of address `lba`: sync pattern and the BCD
// address header of a Mode 2 sector. The error detection and correction
// bytes are left as they are.
void FinishRawSector(uint8_t* sector, int64_t lba);

}  // namespace belmora::test
