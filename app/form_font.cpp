#include "app/form_font.h"

#include <QFontMetrics>
#include <QStringList>

namespace belmora::app {

QFont FormFont() {
  QFont font;
  font.setFamilies({"Lucida Console", "DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono",
                    "monospace"});
  font.setStyleHint(QFont::Monospace);
  // A height of 12 counts the whole character cell, internal leading
  // included: the largest pixel size whose line fits in 12 pixels.
  for (int size = 12; size > 6; size--) {
    font.setPixelSize(size);
    if (QFontMetrics(font).height() <= 12) break;
  }
  return font;
}

}  // namespace belmora::app
