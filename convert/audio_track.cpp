#include "convert/audio_track.h"

namespace belmora {

AudioTrackResult DecodeAudioTrack(StrDocument& doc, XaDecoderState& decoder, int channel) {
  AudioTrackResult result;
  std::vector<uint8_t> out(XaMaxOutputBytes(decoder));
  ScopedAudioHook hook(doc);
  hook.Install([&](uint8_t* image) {
    if (image[1] != channel) return 0;
    int32_t n = 0;
    XaDecodeSector(decoder, image, out.data(), n);
    result.Pcm.insert(result.Pcm.end(), out.begin(), out.begin() + n);
    result.Sectors++;
    return 0;
  });
  doc.CurrentSector = doc.NextSector = 0;
  if (ReadFrame(doc) == 0) {
    while (doc.NextSector <= doc.LastFrameSector) {
      doc.CurrentSector = doc.NextSector;
      if (ReadFrame(doc) != 0) break;
    }
  }
  return result;
}

}  // namespace belmora
