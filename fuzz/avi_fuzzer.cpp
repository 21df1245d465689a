// The video source of the AVI import on arbitrary bytes: opened, every
// picture fetched in order, and the sound read through the resampling
// source the XA encoder pulls from. FFmpeg behind the reader tries every
// format it knows on the bytes, as it does with any file the user names.
#include <vector>

#include "fuzz/fuzz_common.h"
#include "media/avi_reader.h"

using namespace belmora;

namespace {
// Bounds that keep one input short: a file may declare far more frames or
// sound than it holds, and the reader repeats the last picture up to the
// declared length.
constexpr int kMaxFrames = 600;
constexpr int kMaxSamplePairs = 1 << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile file;
  file.Set(data, size);
  TAviIo avi;
  if (avi.Open(file.Path()) != 0) {
    FUZZ_CHECK(!avi.LastError.empty());
    return 0;
  }
  FUZZ_CHECK(avi.HasVideo);
  (void)avi.LengthMs();

  unsigned sum = 0;
  for (int i = 0; i < kMaxFrames; i++) {
    int timeMs = -1;
    TBmpIo* picture = avi.NextFrame(&timeMs);
    if (!picture) break;
    // Every row the header promises must be there.
    FUZZ_CHECK(int64_t(picture->Pixels.size()) >= int64_t(picture->Stride()) * picture->Rows());
    uint8_t px[4];
    picture->GetPixel(0, 0, px);
    picture->GetPixel(picture->Header.Width - 1, picture->Rows() - 1, px);
    sum += px[0];
  }

  TWavIo wav;
  wav.Attach(avi);
  wav.SetTargetRate(size % 2 ? 37800 : 18900);
  for (int i = 0; i < kMaxSamplePairs; i++) {
    int16_t left = 0, right = 0;
    int r = wav.NextSample(left, right);
    sum += unsigned(left) + unsigned(right);
    if (r != 0) break;
  }
  (void)sum;
  avi.Close();
  return 0;
}
