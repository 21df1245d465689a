// How a movie's sectors and frames read and write: the standard STR layout,
// or the one of a game. Each layout is one class in its own file in this
// folder, registered once in registry.cpp; nothing outside this folder
// asks which layout a movie has, only what its layout says. Plain
// functions of a sector's user data and of a frame's bytes: nothing here
// opens a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/codings.h"
#include "str/sector.h"

namespace belmora {

// Bytes of camera data in front of some Final Fantasy VII frames.
inline constexpr int kCameraDataSize = 40;

// What one sector of a layout says of itself.
struct GameChunk {
  bool IsSound = false;
  int SoundChannel = 0;  // 0 left, 1 right (sound sectors of split stereo)
  uint32_t FrameNumber = 0;
  int ChunkNumber = 0;  // among the frame's sectors (sound sectors included where they count)
  int ChunkCount = 0;
  uint32_t DataSize = 0;  // bytes of frame data used, as the layout counts them
  int Width = 0;          // 0 where the sector does not say
  int Height = 0;
};

// Where a sound sector keeps its SPU-ADPCM units: offset and size in bytes
// of the user data.
struct SoundPayload {
  int Offset = 0;
  int Size = 0;
  int Rate = 0;  // Hz, from the sound chip pitch the sector gives
};

class MovieLayout {
 public:
  // What a layout is, as data.
  struct Traits {
    const char* Id;    // short name: "standard", "ff7", ... (scripts, projects)
    const char* Name;  // as info names it
    FrameCoding Frames = FrameCoding::kStandard;
    SoundCoding Sound = SoundCoding::kXaAdpcm;
    int SoundRate = 0;          // Hz of SPU-ADPCM sound whose sectors do not say it
    int SectorsPerFrame = 0;    // where sound and video sectors make fixed frames, else 0
    int SoundSectorsPerFrame = 0;  // the first sectors of such a frame hold the sound
    bool SoundCountedAsChunks = false;  // its sound sectors count among the frame's chunks
    int PayloadOffset = 32;      // where frame data starts in a video sector's user data
    int PayloadSize = 2016;      // bytes of frame data a video sector holds
    int VideoUserDataSize = 2048;  // 2048 (Form 1) or 2324 (Form 2)
    bool ReverseChunks = false;    // frame data taken from the last video chunk down
    int FixedWidth = 0;            // picture size where the sectors do not give it
    int FixedHeight = 0;
    bool PictureWritable = true;  // false: read only, the layout is not known well enough
    bool SoundWritable = true;
    // Frames may be laid out anew and the movie lengthened (new sectors are
    // sectors of this layout).
    bool LaysOutAnew = false;
    // One of its sectors among a movie's first is enough to name it.
    bool Decisive = false;
  };

  explicit constexpr MovieLayout(const Traits& traits) : traits_(traits) {}
  virtual ~MovieLayout() = default;
  MovieLayout(const MovieLayout&) = delete;
  MovieLayout& operator=(const MovieLayout&) = delete;

  const Traits& Info() const { return traits_; }
  const char* Id() const { return traits_.Id; }
  const char* Name() const { return traits_.Name; }
  FrameCoding Frames() const { return traits_.Frames; }
  SoundCoding Sound() const { return traits_.Sound; }

  // Sectors.
  // What the sector whose user data is given says of itself; nullopt when
  // it is none of this layout's.
  virtual std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const = 0;
  // Writes the fields of `chunk` into a video sector's user data, and the
  // copy of the frame header (its first eight bytes) where the layout keeps
  // one; every other byte stays. False when the sector cannot be written.
  virtual bool WriteChunk(const GameChunk& chunk, std::span<const uint8_t> frameHeader,
                          std::span<uint8_t> user) const;
  // Whether this sector, among a movie's first, speaks for this layout.
  virtual bool Names(std::span<const uint8_t> user) const { return ReadChunk(user).has_value(); }
  // Whether a sector with this subheader holds XA sound, and whether the
  // frame reads pass over it.
  virtual bool IsXaSound(const Subheader& sub) const;
  virtual bool SkipsSector(const Subheader& sub) const;
  // Bytes of a video sector's user data its chunk header is read from.
  virtual size_t HeaderBytes() const { return size_t(traits_.VideoUserDataSize); }
  // The sector's chunk header in the standard form (video chunks counted
  // among the frame's video sectors); a sector that is no video chunk of
  // the layout gets a chunk number no frame has.
  virtual VideoChunkHeader ChunkHeader(std::span<const uint8_t> user) const;
  // The standard chunk: the 32-byte header, then the frame's data at 32 in
  // chunk order; frames are read and written straight from and into it.
  virtual bool PlainChunks() const { return false; }

  // Frames.
  // Puts the frame header a frame's bytes begin with (behind camera data
  // where there is some) into `h`: its version and scale, as the frame
  // says, not as a chunk header keeps them.
  virtual void TakeFrameHeader(std::span<const uint8_t> frame, VideoChunkHeader& h) const;
  // The MDEC version a frame re-encoded in place is given: the one its own
  // header has (the layouts' frames keep theirs), given the chunk header
  // its conversion prepared.
  virtual int VersionFor(const VideoChunkHeader& prepared, std::span<const uint8_t> frame) const;
  // Whether a frame's bytes can be one of this layout's (a frame that says
  // it is coded otherwise is not).
  virtual bool AcceptsFrame(std::span<const uint8_t> /*frame*/) const { return true; }
  // A frame's data gathered from the user data of its video sectors, in the
  // order the layout takes them. Every sector must be a video chunk of the
  // same frame; false otherwise.
  bool Gather(std::span<const std::span<const uint8_t>> videoSectors,
              std::vector<uint8_t>& frame) const;
  // Bytes of frame data the sectors of a frame can hold.
  int Capacity(int videoSectors) const { return traits_.PayloadSize * videoSectors; }
  // The frame size the chunk headers give for `length` bytes of frame data
  // in `videoSectors` sectors.
  virtual uint32_t SizeField(size_t length, int /*videoSectors*/) const {
    return uint32_t((length + 3) & ~size_t(3));
  }
  // Puts `frame` back into the sectors it was gathered from: payloads in the
  // same order, zeros after its end, each chunk header brought up to date
  // (the frame header copy stays as it was where the frame's first bytes
  // would not read as the layout's). Every sector reads back as the chunk it
  // was. False (nothing written) when the frame does not fit, a sector is
  // not a video chunk of the layout, or the layout is not writable.
  bool Spread(std::span<const uint8_t> frame,
              std::span<const std::span<uint8_t>> videoSectors) const;

  // Sound.
  // Where a sound sector keeps its SPU-ADPCM units; nullopt when it holds
  // none (or its units or rate are not what the sound chip can play).
  virtual std::optional<SoundPayload> SoundPayloadOf(std::span<const uint8_t> /*user*/) const {
    return std::nullopt;
  }

 protected:
  // The frame gathered: what the layout adds to the payloads' bytes.
  virtual void CompleteFrame(std::span<const uint8_t> /*firstSector*/,
                             std::vector<uint8_t>& /*frame*/) const {}

 private:
  // The sectors' chunks in the order their payloads make up the frame;
  // empty when one is not a video chunk of the layout or they differ in frame.
  std::vector<std::pair<int, size_t>> FrameOrder(
      std::span<const std::span<const uint8_t>> sectors) const;

  Traits traits_;
};

// Every layout, in the order recognition tries a sector on them.
std::span<const MovieLayout* const> AllLayouts();
const MovieLayout& StandardLayout();
// The layout of that Id; null when there is none.
const MovieLayout* LayoutById(std::string_view id);

// The layout the first sector that speaks for one names; null for none.
const MovieLayout* RecogniseSector(std::span<const uint8_t> user);
// The layouts a movie may have, from the user data of its first sectors
// that are not sound: first those its sectors name (a decisive one alone,
// else the most named first), then the others that read its sectors, then
// the standard layout. The frames decide among them.
std::vector<const MovieLayout*> CandidateLayouts(std::span<const std::span<const uint8_t>> sectors);

}  // namespace belmora
