#include "convert/audio_track.h"

namespace belmora {

int StreamAudioTrack(StrDocument& doc, XaDecoderState& decoder, int channel, const PcmSink& sink) {
  int sectors = 0;
  bool stopped = false;
  std::vector<uint8_t> out(XaMaxOutputBytes(decoder));
  ScopedAudioHook hook(doc);
  hook.Install([&](uint8_t* image) {
    if (image[1] != channel || stopped) return 0;
    int32_t n = 0;
    XaDecodeSector(decoder, image, out.data(), n);
    sectors++;
    stopped = !sink(out.data(), size_t(n));
    return 0;
  });
  doc.CurrentSector = doc.NextSector = 0;
  if (ReadFrame(doc) == 0) {
    while (!stopped && doc.NextSector <= doc.LastFrameSector) {
      doc.CurrentSector = doc.NextSector;
      if (ReadFrame(doc) != 0) break;
    }
  }
  return sectors;
}

AudioTrackResult DecodeAudioTrack(StrDocument& doc, XaDecoderState& decoder, int channel) {
  AudioTrackResult result;
  result.Sectors = StreamAudioTrack(doc, decoder, channel, [&](const uint8_t* pcm, size_t n) {
    result.Pcm.insert(result.Pcm.end(), pcm, pcm + n);
    return true;
  });
  return result;
}

}  // namespace belmora
