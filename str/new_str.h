// Creating an empty STR file and the choices a new file is made with.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "str/str_document.h"

namespace belmora {

// Creates (or truncates) `path` and resets the document for a new file.
[[nodiscard]] int CreateStrFile(StrDocument& doc, const std::string& path);

// How a new file is laid out.
struct NewStrOptions {
  SectorLayout Layout = kLayout2336;  // kLayout2352 brings the CDXA header
  int SpeedFactor = 2;
  uint16_t Status = 0x0160;  // first two words of every chunk header
  uint16_t Type = kFrameChunkType;
  int32_t TrailingSectors = 0;  // filler sectors after the last frame
};

// The first four chunk header bytes: Status from the first two, Type from
// the last two, low byte first.
void SetHeaderBytes(NewStrOptions& options, const std::array<unsigned, 4>& bytes);
// Four hexadecimal bytes separated by commas ("60,01,01,80"); nullopt for
// anything else.
std::optional<std::array<unsigned, 4>> ParseHeaderBytes(const std::string& text);

// Takes the choices into the new document; the 2352 layout writes its
// header at once. -1 when that write failed.
[[nodiscard]] int ApplyNewStrOptions(StrDocument& doc, const NewStrOptions& options);

}  // namespace belmora
