// The sector layouts some games use for their movies, beside the standard
// one: how to recognise a sector of the layout, how its chunk header reads
// and writes (frame number, chunk number and count, size, picture size),
// which frame coding its pictures use and which sound its sound sectors
// carry. Plain data and functions on a sector's user data; nothing here
// opens a file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace belmora {

enum class GameFormat {
  kStandard,     // chunk header 0x0160 / 0x8001, frames of version 2 or 3
  kVersion1,     // the same sectors, frames of version 1 (data as version 2)
  kFf7,          // Final Fantasy VII: own chunk header, camera data in some frames
  kFf8,          // Final Fantasy VIII: "SM" sectors, 10 a frame, 2 of SPU-ADPCM sound
  kFf9,          // Final Fantasy IX: 0x00080160 sectors, 10 a frame, video in Form 2
  kChronoCross,  // Chrono Cross and Legend of Mana: Square sound sectors, standard video
  kLain,         // Serial Experiments Lain: own chunk header and code tables
  kIki,          // .iki: per-block scales and DC levels in a compressed table
};
inline constexpr GameFormat kAllGameFormats[] = {
    GameFormat::kStandard, GameFormat::kVersion1, GameFormat::kFf7,  GameFormat::kFf8,
    GameFormat::kFf9,      GameFormat::kChronoCross, GameFormat::kLain, GameFormat::kIki};

// Bytes of camera data in front of some Final Fantasy VII frames.
inline constexpr int kCameraDataSize = 40;

// How a format's frames are coded; the MDEC codec has one codec for each.
enum class FrameCoding { kStandard, kVersion1, kLain, kIki };
enum class SoundCoding { kNone, kXaAdpcm, kSpuAdpcm };

struct GameFormatInfo {
  GameFormat Id;
  const char* Name;  // as `info` names it
  FrameCoding Frames;
  SoundCoding Sound;
  int SoundRate;             // Hz of the SPU-ADPCM sound; 0 when the sound says it itself
  int SectorsPerFrame;       // 10 where sound and video sectors make fixed frames, else 0
  int SoundSectorsPerFrame;  // the first sectors of such a frame hold the sound
  int PayloadOffset;         // where frame data starts in a video sector's user data
  int PayloadSize;           // bytes of frame data a video sector holds
  int VideoUserDataSize;     // 2048 (Form 1) or 2324 (Form 2)
  bool ReverseChunks;        // frame data taken from the last video chunk down
  int FixedWidth;            // picture size where the sectors do not give it, else 0
  int FixedHeight;
  bool PictureWritable;  // false: readable only, the layout is not known well enough
  bool SoundWritable;
};

const GameFormatInfo& InfoOf(GameFormat format);

// What one sector of a format says of itself.
struct GameChunk {
  bool IsSound = false;
  int SoundChannel = 0;  // 0 left, 1 right (sound sectors of split stereo)
  uint32_t FrameNumber = 0;
  int ChunkNumber = 0;  // among the frame's sectors (sound sectors included where they count)
  int ChunkCount = 0;
  uint32_t DataSize = 0;  // bytes of frame data used, as the format counts them
  int Width = 0;          // 0 where the sector does not say
  int Height = 0;
};

// Reads a sector's user data as a sector of `format`; nullopt when it is not one.
std::optional<GameChunk> ReadGameChunk(GameFormat format, std::span<const uint8_t> user);

// Writes the fields of `chunk` into a video sector's user data, and the copy
// of the frame header (its first eight bytes) where the format keeps one;
// every other byte (unknown fields, camera data) stays as it is. False when
// the format does not let this sector be written.
bool WriteGameChunk(GameFormat format, const GameChunk& chunk, std::span<const uint8_t> frameHeader,
                    std::span<uint8_t> user);

// The format a video or sound sector belongs to, tried from the most
// particular layout to the standard one; nullopt for none of them.
std::optional<GameFormat> RecogniseGameSector(std::span<const uint8_t> user);

// The format of a movie from the user data of its first sectors (empty spans
// for sectors that are not there): a game whose frames mix sound sectors of
// its own with standard video sectors is named by its sound sectors; else the
// format most of the recognised sectors have. nullopt when none is known.
std::optional<GameFormat> DetectGameFormat(std::span<const std::span<const uint8_t>> sectors);

// A frame's data gathered from the user data of its video sectors, in the
// order the format takes them (by chunk number; from the last chunk down
// where the format says so). Every sector must be a video chunk of the same
// frame; false otherwise.
bool GatherFrame(GameFormat format, std::span<const std::span<const uint8_t>> videoSectors,
                 std::vector<uint8_t>& frame);

// Bytes of frame data the sectors of a frame can hold.
int FrameCapacity(GameFormat format, int videoSectors);

// Puts `frame` back into the sectors it was gathered from: payloads in the
// same order, zeros after its end, each chunk header's size and frame header
// copy brought up to date (the copy stays as it was where the frame's first
// bytes would not read as the format's header). Everything else in the
// sectors stays; every sector reads back as the chunk it was. False (nothing
// written) when the frame does not fit, a sector is not a video chunk of the
// format, or the format is not writable.
bool SpreadFrame(GameFormat format, std::span<const uint8_t> frame,
                 std::span<const std::span<uint8_t>> videoSectors);

// Where a sound sector keeps its SPU-ADPCM units: offset and size in bytes
// of the user data; nullopt when the sector holds no sound.
struct SoundPayload {
  int Offset = 0;
  int Size = 0;
  int Rate = 0;  // Hz, from the sound chip pitch the sector gives (0x1000 = 44100 Hz)
};
std::optional<SoundPayload> SoundPayloadOf(GameFormat format, std::span<const uint8_t> user);

}  // namespace belmora
