// Creating an empty STR file, the choices a new file is made with, and the
// logic of the "Novo STR" dialog that offers them.
#pragma once

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

// Takes the choices into the new document; the 2352 layout writes its
// header at once. -1 when that write failed.
[[nodiscard]] int ApplyNewStrOptions(StrDocument& doc, const NewStrOptions& options);

struct TForm4 {
  std::string ComboBox1;  // "1x", "2x"
  std::string ComboBox2;  // "2048", "2336", "2352(RIFF)"
  std::string Edit1, Edit2, Edit3, Edit4, Edit5;

  void FormShow();
  // The choices as the edits give them (hexadecimal header bytes, decimal
  // count; text that does not parse gives 0).
  NewStrOptions OKButtonClick() const;
};

}  // namespace belmora
