// An STR file given as bytes: opened as the viewer opens it, every frame
// walked forwards and decoded (its audio sectors decoded on the way, as the
// AVI export does), then walked backwards as "Prev" does.
#include <vector>

#include "convert/frame_codec.h"
#include "fuzz/fuzz_common.h"
#include "str/str_document.h"
#include "xa/xa_codec.h"

using namespace belmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile file;
  file.Set(data, size);
  fuzz::QuietHost host;
  AudioSectorHook slot;
  StrDocument doc(host, &slot);
  if (OpenStrFile(doc, file.Path(), /*readOnly=*/true) != 0) return 0;
  FUZZ_CHECK(doc.SectorCount >= 0 && doc.CurrentSector >= 0);

  XaDecoderState xa;
  XaSetOutputFormat(xa, 44100, 2, 16);
  std::vector<uint8_t> pcm(XaMaxOutputBytes(xa));
  ScopedAudioHook hook(doc);
  hook.Install([&](uint8_t* image) {
    int32_t bytes = 0;
    XaDecodeSector(xa, image, pcm.data(), bytes);
    FUZZ_CHECK(bytes >= 0 && size_t(bytes) <= pcm.size());
    return 0;
  });

  FrameCodec codec;
  // The last byte of a sector is never read as a field: it picks the view.
  codec.HalfWidthView = size > 0 && (data[size - 1] & 1);
  for (;;) {
    const int32_t at = doc.CurrentSector;
    int r = ReadAndDecodeFrame(codec, doc);
    if (r != 0 && r != -2) break;
    // A whole frame can be written back to every chunk's sector; one that
    // lacks chunks (shown concealed) to none.
    FUZZ_CHECK(doc.ValidChunkSectors == (doc.FrameDamaged ? 0 : int(doc.ChunkHeader.ChunkCount)));
    FUZZ_CHECK(doc.NextSector > at && doc.NextSector <= doc.SectorCount);
    if (r == 0)
      FUZZ_CHECK(codec.Image.Pixels.size() ==
                 size_t(codec.Image.Width) * size_t(codec.Image.Height) * 3);
    doc.CurrentSector = doc.NextSector;
  }

  hook.Remove();
  doc.CurrentSector = doc.LastFrameSector;
  for (;;) {
    const int32_t at = doc.CurrentSector;
    if (FindPreviousFrame(doc) != 0) break;
    FUZZ_CHECK(doc.CurrentSector < at);
    const int32_t start = doc.CurrentSector;
    if (ReadFrame(doc) < 0) break;
    doc.CurrentSector = start;
  }
  CloseStrFile(doc);
  return 0;
}
