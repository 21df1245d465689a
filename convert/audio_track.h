// Decoding the sound of one audio channel over the whole file, walking the
// frames from the first to the last as the AVI export does.
#pragma once

#include <cstdint>
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

}  // namespace belmora
