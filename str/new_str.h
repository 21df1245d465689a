// Creating an empty STR file, and the logic of the "Novo STR" dialog.
#pragma once

#include <string>

#include "str/str_document.h"

namespace belmora {

// Creates (or truncates) `path` and resets the document for a new file.
int CreateStrFile(StrDocument& doc, const std::string& path);

struct TForm4 {
  std::string ComboBox1;  // "1x", "2x"
  std::string ComboBox2;  // "2048", "2336", "2352(RIFF)"
  std::string Edit1, Edit2, Edit3, Edit4, Edit5;

  void FormShow();
  // Stores the choices in the document; the 2352 layout writes its header.
  // -1 when that write failed.
  int OKButtonClick(StrDocument& doc);
};

}  // namespace belmora
