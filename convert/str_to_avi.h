// Writing the selection of the open STR to an AVI file: decoded frames
// re-timed to the chosen rate, and the sound of the selected channel or the
// layout's own.
#pragma once

#include <cstdint>
#include <vector>

#include "base/host.h"
#include "base/status.h"
#include "convert/frame_codec.h"
#include "convert/str_to_avi_dialog.h"
#include "platform/media_writer.h"
#include "str/str_document.h"
#include "xa/xa_codec.h"

namespace belmora {

// The audio side of one export: decodes the selected channel's sectors (or
// takes a layout's own sound, decoded) and hands the PCM to the writer, per sector, or in one-second chunks when the
// stream's format is not PCM (the writer encodes those).
struct AviAudioState {
  MediaWriter* Writer = nullptr;
  XaDecoderState* Decoder = nullptr;
  int Channel = 0;
  int64_t SamplesWritten = 0;  // blocks of BlockSize bytes
  int BlockSize = 1;
  bool UseConverter = false;
  size_t SourceChunk = 0;
  std::vector<uint8_t> PcmBuffer;
  size_t Fill = 0;
  std::vector<uint8_t> Decoded;  // one sector's output
  bool Failed = false;           // a write of sound failed

  int WriteAudioSector(uint8_t* image);
  // Decoded sound in the decoder's format.
  void WritePcm(const uint8_t* pcm, size_t n);
  // The rest of the waiting PCM, at the end.
  void Finish();
};

// What a run wrote, for callers that report it.
struct StrToAviCounts {
  int FramesWritten = 0;
  int AudioSectors = 0;
};

// Writes the range of `options` to its AVI file; failures are reported.
// The frames are decoded on `threads` threads (0: one per core); the AVI is
// the same whatever their number. A user's stop leaves a whole AVI of the
// frames written (kCancelled with the counts); a failure leaves none.
Result<StrToAviCounts> ConvertStrToAvi(const StrToAviOptions& options, StrDocument& doc, FrameCodec& codec,
                               XaDecoderState& decoder, Host& host, int threads = 0);

}  // namespace belmora
