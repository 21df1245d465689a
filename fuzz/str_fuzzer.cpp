// An STR file given as bytes: opened as the viewer opens it, every frame
// walked forwards and decoded (its audio sectors decoded on the way, as the
// AVI export does), then walked backwards as "Prev" does. A game movie's
// whole frames are also put back into copies of their sectors as a write
// does, and its own sound decoded as export-wav does.
#include <algorithm>
#include <span>
#include <vector>

#include "convert/frame_codec.h"
#include "convert/game_sound.h"
#include "fuzz/fuzz_common.h"
#include "str/str_document.h"
#include "xa/xa_codec.h"

using namespace belmora;

namespace {

// The write-back of a whole game frame, on copies of its sectors: the frame
// as read fits them, and reads back the same from them.
void CheckGameWriteBack(StrDocument& doc) {
  if (doc.Format->PlainChunks() || doc.FrameDamaged || !doc.Format->Info().PictureWritable)
    return;
  const int count = doc.ChunkHeader.ChunkCount;
  std::vector<std::vector<uint8_t>> users(static_cast<size_t>(count));
  for (int j = 0; j < count; j++)
    if (!ReadUserData(doc, doc.ChunkSectors[size_t(j)], users[size_t(j)])) return;
  const size_t length = std::min<size_t>(doc.ChunkHeader.FrameDataSize, doc.FrameBuffer.size());
  const std::span<const uint8_t> frame(doc.FrameBuffer.data(), length);
  const std::vector<std::span<uint8_t>> spans(users.begin(), users.end());
  FUZZ_CHECK(doc.Format->Spread(frame, spans));
  const std::vector<std::span<const uint8_t>> written(users.begin(), users.end());
  std::vector<uint8_t> again;
  FUZZ_CHECK(doc.Format->Gather(written, again));
  FUZZ_CHECK(again.size() >= length && std::equal(frame.begin(), frame.end(), again.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile file;
  file.Set(data, size);
  fuzz::QuietHost host;
  AudioSectorHook slot;
  StrDocument doc(host, &slot);
  if (OpenMovieFile(doc, host, file.Path(), OpenMode::kReadOnly) != 0) return 0;
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
    CheckGameWriteBack(doc);
    if (r == 0)
      FUZZ_CHECK(codec.Image.Pixels.size() ==
                 size_t(codec.Image.Width) * size_t(codec.Image.Height) * 3);
    doc.CurrentSector = doc.NextSector;
  }

  hook.Remove();
  GameSoundTrack track;
  if (DecodeGameSoundTrack(doc, track))
    FUZZ_CHECK(track.Samples.size() % 2 == 0 && track.Rate >= 0 && track.Sectors >= 0);

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
