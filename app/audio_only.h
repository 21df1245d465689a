// Files of sound only (XA music and voice files) in the window: there is no
// picture, which the status line says; the sound commands take its channels.
#pragma once

#include <string>

namespace belmora::app {

class TForm1;

// Whether `path` holds sound sectors and nothing else.
bool IsAudioOnlyFile(const std::string& path);
// When `path` is a file of sound only, shows it so and returns true.
bool OpenAudioOnly(TForm1& form, const std::string& path);

}  // namespace belmora::app
