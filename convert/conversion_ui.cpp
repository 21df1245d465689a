#include "convert/conversion_ui.h"

#include <cstdio>

#include "convert/avi_to_str_dialog.h"
#include "str/new_str.h"
#include "str/str_document.h"

namespace belmora {

bool ConversionUi::AfterFrame(const StrDocument& doc, int32_t first, int32_t last) {
  // A range of one frame must not divide by zero: it is all done.
  SetProgress(last > first ? int(int64_t(doc.CurrentSector - first) * 100 / (last - first)) : 100);
  char label[96];
  std::snprintf(label, sizeof label, "Setor Nº. : %06d   Nº do quadro : %06u", doc.CurrentSector,
                doc.ChunkHeader.FrameNumber);
  SetLabel(label);
  PumpMessages();
  return CancelRequested();
}

bool ConversionUi::ShowNewStrDialog(TForm4& dialog, StrDocument& doc) {
  dialog.FormShow();
  return dialog.OKButtonClick(doc) == 0;
}

bool ConversionUi::ShowSettingsDialog(AviToStrSettings& settings, const StrDocument& doc) {
  settings.FormShow(doc);
  return settings.Button1Click(doc, *this);
}

}  // namespace belmora
