// Files of sound only (XA music and voice files) in the window: there is no
// picture, which the status line says, and the sound of a chosen channel
// can be saved as a WAV file.
#pragma once

#include <string>

namespace belmora::app {

class TForm1;

// Whether `path` holds sound sectors and nothing else.
bool IsAudioOnlyFile(const std::string& path);
// When `path` is a file of sound only, shows it so and returns true.
bool OpenAudioOnly(TForm1& form, const std::string& path);
// "Salvar som do canal…": a channel of the file shown, to a WAV file.
void SaveAudioChannelCommand(TForm1& form);
// "Reproduzir som do canal…": a channel of the file shown, played where a
// sound device takes it (again: the playing one stops).
void PlayAudioChannelCommand(TForm1& form);

}  // namespace belmora::app
