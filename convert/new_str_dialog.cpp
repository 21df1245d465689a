#include "convert/new_str_dialog.h"

#include <cstdio>

namespace belmora {

void NewStrDialogModel::FormShow() {
  ComboBox1 = "2x";
  ComboBox2 = "2336";
  Edit1 = "60";
  Edit2 = "01";
  Edit3 = "01";
  Edit4 = "80";
  Edit5 = "0";
}

namespace {
// "%x" reading: the hexadecimal digits at the start (after an optional 0x).
unsigned Hex(const std::string& s) {
  unsigned v = 0;
  return std::sscanf(s.c_str(), "%x", &v) == 1 ? v : 0;
}
}  // namespace

NewStrOptions NewStrDialogModel::OKButtonClick() const {
  NewStrOptions o;
  SetHeaderBytes(o, {Hex(Edit1), Hex(Edit2), Hex(Edit3), Hex(Edit4)});
  o.SpeedFactor = ComboBox1 == "1x" ? 1 : 2;
  int trailing = 0;
  o.TrailingSectors = std::sscanf(Edit5.c_str(), "%d", &trailing) == 1 ? trailing : 0;
  o.Layout = ComboBox2 == "2048" ? kLayout2048 : ComboBox2 == "2352(RIFF)" ? kLayout2352 : kLayout2336;
  return o;
}

}  // namespace belmora
