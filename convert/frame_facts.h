// What a viewer tells of the frame it shows: its time, its place among the
// movie's frames, its picture size, how it is coded, and the layout of the
// file it comes from.
#pragma once

#include <cstdint>

namespace belmora {

struct StrDocument;

struct FrameFacts {
  int64_t Hundredths = 0;  // of a second: the time of its first sector at the file's speed
  int64_t Index = 1;   // among the movie's frames, from 1
  int64_t Count = 1;
  int Width = 0;
  int Height = 0;
  // The MDEC version and quantizer scale the frame's own header gives; not
  // Coded where its coding keeps no single scale (iki: one per block).
  bool Coded = false;
  int Version = 0;
  int Scale = 0;
  // The frame lacks sectors: the chunks present of how many.
  bool Damaged = false;
  int ChunksPresent = 0;
  int ChunkCount = 0;
};

// The facts of the frame that begins at `sector`. With `read`, that frame
// is the one last read into the document (its coding and damage are taken
// from there); otherwise only its time and place are its own, the rest is
// the frame last read.
FrameFacts FactsOfFrame(const StrDocument& doc, int32_t sector, bool read);

// The name of the file's layout, as `info` gives it ("STR (MDEC v2/v3)",
// "Final Fantasy VII", ...).
const char* LayoutNameOf(const StrDocument& doc);

}  // namespace belmora
