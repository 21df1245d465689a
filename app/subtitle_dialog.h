// "Aplicar legendas…": a subtitle file chosen, tried without writing the
// file and its fit report shown, then burned into the selection's frames in place,
// with progress and cancel like the other conversions.
#pragma once

#include <QWidget>
#include <string>

#include "convert/avi_to_str.h"

namespace belmora::app {

class TForm1;

void ApplySubtitlesCommand(TForm1& form);

// "Simular" of the AVI-to-STR settings: the conversion with `options` tried
// on the document without writing it (a new file: into a scratch file), its fit
// report shown; nothing of the document changes. Double-clicking a frame
// shows it in the viewer.
void SimulateAviToStr(TForm1& form, QWidget* owner, const std::string& video,
                      const AviToStrOptions& options, bool newFile, bool frameExact);

}  // namespace belmora::app
