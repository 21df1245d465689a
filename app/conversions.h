// The conversions of the main window's menu, each through its windows:
// "Converter STR para AVI" (MenuAviOClick), "Converter AVI para STR"
// (MenuAviIClick) and "Criar novo STR" (MenuNewClick).
//
// A conversion runs on the window's thread. The main window is disabled and
// TForm3 shows the percentage while it runs; after every frame the host
// lets the waiting window events through, so the picture, Label1 and the
// bar follow the conversion and Cancelar can be pressed. Only one runs at a
// time: the commands do nothing while TForm1::Converting is set.
#pragma once

#include <QString>

namespace belmora::app {

class TForm1;

// Puts the commands below into the main window's conversion hooks.
void InstallConversions(TForm1& form);

// The selection to an AVI file: TConvAviForm, then the export.
void StrToAviCommand(TForm1& form);
// A video into the selection: the open-video dialog, then as below.
void AviToStrCommand(TForm1& form);
// A video into the selection of the open STR: TForm2 (and the length
// question), then the conversion. A document that a failed edit has put
// back and closed is opened again.
void AviToStrWith(TForm1& form, const QString& video);
// A new STR: the save dialog, the open-video dialog, then TForm4, TForm2
// and the conversion. The new file is written beside its name and takes it
// when whole; a cancelled or failed step leaves nothing behind, a later
// stop keeps what was written, and the new file opens in the window.
void NewStrCommand(TForm1& form);
// "Criar novo STR" with the video already chosen (dropped): no open-video dialog.
void NewStrWith(TForm1& form, const QString& video);

}  // namespace belmora::app
