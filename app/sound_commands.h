// "Salvar som do canal…" and "Reproduzir som do canal…": the sound of the
// file shown, a movie or a file of sound only. The user picks one of its
// sounds: an XA channel, or the movie layout's own sound.
#pragma once

namespace belmora::app {

class TForm1;

// The chosen sound to a WAV file of its own rate and channels.
void SaveAudioChannelCommand(TForm1& form);
// The chosen sound, played where a sound device takes it (again: the
// playing one stops).
void PlayAudioChannelCommand(TForm1& form);

}  // namespace belmora::app
