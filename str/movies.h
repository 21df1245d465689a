// The movies of an STR file: the runs of frames of one video channel whose
// frame numbers rise and whose picture size stays the same. A file may hold
// several, interleaved on different channels or one after another; each
// frame found is listed with the chunks present of the chunks it should have.
// A new movie begins where the picture size changes, or where the numbers
// start again and go on rising from there (kRestartFrames frames); one frame
// whose number is out of sequence (a stray number, or two frames swapped)
// stays in its movie, marked, and a lone chunk of another frame's sectors
// whose number is astray is left out (its frame lacks that chunk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "str/sector.h"

namespace belmora {

// One frame as the scan found it: where its first chunk present lies.
struct MovieFrame {
  int32_t FirstSector = 0;
  uint32_t FrameNumber = 0;
  uint8_t ChunkCount = 0;
  uint8_t ChunksPresent = 0;
  // Its number is out of sequence with the frames around it.
  bool OutOfOrder = false;
  bool Damaged() const { return ChunksPresent < ChunkCount; }
};

struct Movie {
  int Index = 0;           // from 1, in file order
  int Channel = 0;         // video channel (0 in files without subheaders)
  int32_t FirstSector = 0;  // first sector holding one of its chunks
  int32_t LastSector = 0;   // last sector holding one of its chunks
  int Width = 0;
  int Height = 0;
  int Version = 0;        // MDEC version of its first frame
  int AudioChannel = -1;  // its sound's XA channel; -1 when there is none
  int AudioCoding = 0;
  std::vector<MovieFrame> Frames;  // in file order

  uint32_t FirstFrameNumber() const { return Frames.empty() ? 0 : Frames.front().FrameNumber; }
  uint32_t LastFrameNumber() const { return Frames.empty() ? 0 : Frames.back().FrameNumber; }
  std::vector<MovieFrame> DamagedFrames() const;
  std::vector<MovieFrame> OutOfOrderFrames() const;
  // The frame whose first chunk present is at `sector`; null when none.
  const MovieFrame* FrameAt(int32_t sector) const;
  // The last frame whose first chunk present is at or before `sector`.
  const MovieFrame* FrameFrom(int32_t sector) const;
};

// Bytes of a frame's data as read, with bit j of `present` set for each
// chunk j read: those before the first chunk missing.
inline size_t IntactFrameBytes(int chunkCount, uint32_t present) {
  int j = 0;
  while (j < chunkCount && (present >> j & 1)) j++;
  return size_t(j) * kChunkPayloadSize;
}

// "11 (3/4), 20 (1/2)": frame numbers, each with the chunks present of how
// many it should have.
std::string DamagedFramesText(const std::vector<MovieFrame>& frames);
// "99 (sector 80), 3 (sector 84)": frame numbers out of sequence, with where
// each frame begins.
std::string OutOfOrderFramesText(const std::vector<MovieFrame>& frames);

// A chunk of some frame: what a garbled header is not.
inline bool IsChunkHeader(const VideoChunkHeader& h) {
  return IsFrameStartHeader(h) && h.ChunkCount <= kMaxChunks && h.ChunkNumber < h.ChunkCount;
}

// Frames whose numbers rise from a lower number than the frames before them
// that make a new movie.
inline constexpr int kRestartFrames = 3;

// Collects the movies while a scan visits the sectors in file order.
class MovieScanner {
 public:
  // An audio sector of `channel`.
  void Audio(int channel, int coding);
  // A video sector of `channel` at `sector` whose chunk header is `h`.
  void Video(int32_t sector, int channel, const VideoChunkHeader& h);
  // Ends the scan. With several movies each takes the sound of its own
  // channel number when that channel exists; a single movie, or one whose
  // channel has no sound, takes `fileAudioChannel` (-1: none).
  std::vector<Movie> Finish(int fileAudioChannel, int fileAudioCoding);

 private:
  struct Open {
    bool Active = false;
    int MovieAt = -1;  // index into movies_ of the channel's last movie
    uint32_t FrameNumber = 0;
    uint8_t ChunkCount = 0;
    uint32_t Chunks = 0;  // bit j: chunk j seen
    int32_t FirstSector = 0;
    int32_t SectorBefore = 0;  // the movie's last sector before this frame
    int Version = 0;
    bool HasClosed = false;
    uint32_t ClosedNumber = 0;  // number of the frame closed before
    bool LastFromStart = true;  // the last frame listed had its first chunk
    // A drop in the numbers, not yet judged: frames from RestartAt of the
    // movie rise from a number below Above (the last number before them).
    int RestartAt = -1;
    uint32_t Above = 0;
    int32_t RestartSectorBefore = 0;
    int RestartVersion = 0;
    bool RestartLone = false;  // its first frame is a lone chunk without its first
  };
  void Close(Open& o);
  // Judges the frame just listed at `at` of its movie against those before.
  void Judge(Open& o, size_t at, bool fromStart);
  // The drop waiting to be judged was no restart: its frames are astray.
  void Astray(Open& o);
  // It was: its frames begin the next movie.
  void Restart(Open& o);
  // The channel's movie ends (a new picture size, or the file's end): a drop
  // still waiting is a restart when two frames rose from it.
  void Settle(Open& o);

  Open channels_[256];
  std::vector<Movie> movies_;
  int audioCoding_[256];
  bool audioSeen_[256] = {};
};

}  // namespace belmora
