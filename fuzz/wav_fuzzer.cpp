// A WAV file read as the sound import reads it. Whatever its chunks claim
// (sizes past the end, odd lengths, formats of any kind), the reader must
// give well-formed PCM or refuse, reading no more samples than the file
// holds.
#include "fuzz/fuzz_common.h"
#include "media/wav_reader.h"

using namespace belmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile file;
  file.Set(data, size);
  WavData wav;
  if (!ReadWavFile(file.Path(), wav).Ok()) return 0;
  FUZZ_CHECK(wav.Channels == 1 || wav.Channels == 2);
  FUZZ_CHECK(wav.Bits == 8 || wav.Bits == 16);
  FUZZ_CHECK(wav.Rate > 0);
  FUZZ_CHECK(wav.Samples.size() % size_t(wav.Channels) == 0);
  FUZZ_CHECK(wav.Samples.size() * size_t(wav.Bits / 8) <= size);
  return 0;
}
