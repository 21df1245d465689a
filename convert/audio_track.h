// Decoding the sound of one audio channel over the whole file, walking the
// frames from the first to the last as the AVI export does.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "str/str_document.h"
#include "xa/xa_codec.h"

namespace belmora {

struct AudioTrackResult {
  std::vector<uint8_t> Pcm;  // in the decoder's output format
  int Sectors = 0;           // audio sectors of the channel decoded
};

// Every audio sector of `channel` that the frame reads pass, from sector 0
// to the last video sector of the last frame, decoded with `decoder` (whose
// output format the caller has set). The document is left at the last frame read.
AudioTrackResult DecodeAudioTrack(StrDocument& doc, XaDecoderState& decoder, int channel);

// The same walk, each sector's sound handed to `sink` as it is decoded
// (false from the sink stops handing on, the walk ends). Returns the audio
// sectors of the channel decoded.
using PcmSink = std::function<bool(const uint8_t* pcm, size_t bytes)>;
int StreamAudioTrack(StrDocument& doc, XaDecoderState& decoder, int channel, const PcmSink& sink);

}  // namespace belmora
