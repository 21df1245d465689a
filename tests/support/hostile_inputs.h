// Inputs made to exhaust the readers, shared by the tests that bound them
// and by the benchmark that measures them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace belmora::test {

// The 12-frame 160 x 112 movie they are used with.
std::vector<uint8_t> HostileMovie();

// Writes into `dir` (which must exist):
//   shared.iso   directories D01/.../D24, each also holding an entry "X"
//                that points at its subdirectory (2^23 paths, 24 extents);
//                the deepest file's name is Latin-1, not UTF-8
//   many/        2,000 files, disc.bin and big.cue: a cue sheet of 20,000
//                missing files before the one that is there
//   huge.ass     one 592-byte line scaled 100000%
//   many.srt     100,000 lines shown at once
//   seq/N.bmp    six 160 x 112 pictures, 3.bmp claiming 16000 x 16000
//   caf\xE9.str  a copy of `movie` under a name that is not UTF-8
// False when the disc image could not be made as described.
bool WriteHostileInputs(const std::string& dir, const std::vector<uint8_t>& movie);

// Makes `png` (the 2 MB picture file of a sequence) claim 16000 x 16000.
void WriteHugePng(const std::string& png);

// Writes into `dir` the largest inputs of each kind a user may really give
// (what the readers' limits are measured against):
//   big.srt      20,000 subtitles (as many as are ever shown), about 1 MiB
//   big.cue      99 tracks with titles and remarks, beside big.bin
//   big.bmp      4096 x 4096 at 32 bits, 64 MiB
//   long.xa      one 37.8 kHz stereo channel of `minutes` minutes, and
//   long.wav     its sound as a WAV of that length
void WriteLargestInputs(const std::string& dir, int minutes);

}  // namespace belmora::test
