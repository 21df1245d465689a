#include "convert/conversion_ui.h"

#include "convert/avi_to_str_dialog.h"
#include "str/new_str.h"

namespace belmora {

bool ConversionUi::ShowNewStrDialog(TForm4& dialog, StrDocument& doc) {
  dialog.FormShow();
  return dialog.OKButtonClick(doc) == 0;
}

bool ConversionUi::ShowSettingsDialog(AviToStrSettings& settings, const StrDocument& doc) {
  settings.FormShow(doc);
  return settings.Button1Click(doc, *this);
}

}  // namespace belmora
