// A file inside a disc image opened as an STR document: the path
// "IMAGE.bin::/MOVIE/OPEN.STR" (or IMAGE.cue::..., IMAGE.iso::...) opens the
// sectors of that file's extent in the image, in the image's own layout (raw
// 2352-byte sectors with their user data 24 bytes in, or 2048-byte ISO
// sectors). The document's file is the image's data file restricted to the
// extent: nothing outside it is read or written, edits are journaled on the
// image file, and the file's length cannot change (its directory record
// would no longer describe it).
#pragma once

#include <optional>
#include <span>
#include <string>

#include "base/host.h"
#include "str/disc_image.h"
#include "str/sector.h"

namespace belmora {

struct StrDocument;
enum class OpenMode;

// Opens `path`'s extent as `doc.File` (read-only where the image allows no
// writing, or when asked) and sets the document's path, read-only mark and
// first sector address. Returns the layout the document must take; nullopt
// on failure, reported.
std::optional<SectorLayout> OpenImageExtent(StrDocument& doc, Host& host, const ImagePath& path,
                                            OpenMode mode);

// The layout detection for a file inside an image: the image decides the
// layout; the first sector only the picture size. Nullopt where the bytes
// cannot be a file of that layout.
std::optional<DetectedLayout> DetectImageLayout(std::span<const uint8_t> head,
                                                const SectorLayout& layout);

// The file on disk whose bytes an edit of `path` changes, as a full path: the
// data file of the disc image for a path inside one or for a cue sheet, else
// the file itself. The image's own path when its data file cannot be found.
std::string FileOnDisk(const std::string& path);

// Reports that the document's length cannot change (a file inside a disc
// image); true when the caller must stop.
bool RefuseIfFixedLength(StrDocument& doc, Host& host);
bool RefuseIfFixedLength(StrDocument& doc);

}  // namespace belmora
