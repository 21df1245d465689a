// The logic of the "Novo STR" dialog: its fields and the choices they give
// a new file.
#pragma once

#include <string>

#include "str/new_str.h"

namespace belmora {

struct NewStrDialogModel {
  std::string ComboBox1;  // "1x", "2x"
  std::string ComboBox2;  // "2048", "2336", "2352(RIFF)"
  std::string Edit1, Edit2, Edit3, Edit4, Edit5;

  void FormShow();
  // The choices as the edits give them (hexadecimal header bytes, decimal
  // count; text that does not parse gives 0).
  NewStrOptions OKButtonClick() const;
};

}  // namespace belmora
