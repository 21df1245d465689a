#include "convert/game_movie.h"

#include "base/bytes.h"

namespace belmora {

const BitstreamCodec& CodecOf(const MovieLayout& layout) {
  return BitstreamCodecFor(layout.Frames());
}

namespace {

// The picture size the frame's first video sector gives.
bool FrameSize(const MovieLayout& layout, std::span<const uint8_t> sector, int& width,
               int& height) {
  const auto chunk = layout.ReadChunk(sector);
  if (!chunk || chunk->IsSound) return false;
  width = chunk->Width ? chunk->Width : layout.Info().FixedWidth;
  height = chunk->Height ? chunk->Height : layout.Info().FixedHeight;
  return width > 0 && height > 0;
}

}  // namespace

int DecodeGameFrame(MdecCodec& codec, const MovieLayout& layout,
                    std::span<const std::span<const uint8_t>> videoSectors, bool halfWidth,
                    FrameImage& image) {
  int width = 0, height = 0;
  std::vector<uint8_t> frame;
  if (videoSectors.empty() || !FrameSize(layout, videoSectors[0], width, height) ||
      !layout.Gather(videoSectors, frame))
    return -1;
  return CodecOf(layout).Decode(codec, frame, width, height, halfWidth, image);
}

GameFrameWrite ReplaceGameFrame(MdecCodec& codec, const MovieLayout& layout,
                                std::span<const std::span<uint8_t>> videoSectors,
                                const FrameView& picture) {
  GameFrameWrite result;
  if (!layout.Info().PictureWritable) {
    result.Result = GameWrite::kReadOnly;
    return result;
  }
  std::vector<std::span<const uint8_t>> readOnly(videoSectors.begin(), videoSectors.end());
  int width = 0, height = 0;
  std::vector<uint8_t> old;
  if (readOnly.empty() || !FrameSize(layout, readOnly[0], width, height) ||
      !layout.Gather(readOnly, old))
    return result;
  // A standard frame keeps its version (2 or 3).
  const int at = LocateFrameHeader(old.data(), old.size());
  const int version = at >= 0 ? GetU16(old.data() + at + 6) : 2;
  const EncodeRequest request{width, height, version,
                              layout.Capacity(int(readOnly.size()))};
  EncodedFrame encoded;
  switch (CodecOf(layout).Encode(codec, picture, request, old, encoded)) {
    case EncodeStatus::kOk:
      break;
    case EncodeStatus::kNoMemory:
      result.Result = GameWrite::kNoMemory;
      return result;
    default:
      result.Result = GameWrite::kNoFit;
      return result;
  }
  const std::span<const uint8_t> bytes(encoded.Bytes.data(), size_t(encoded.Length));
  if (!layout.Spread(bytes, videoSectors)) {
    result.Result = GameWrite::kNoFit;
    return result;
  }
  result.Result = GameWrite::kOk;
  result.Scale = encoded.Scale;
  result.Length = encoded.Length;
  return result;
}

int DecodeGameSound(const MovieLayout& layout, std::span<const uint8_t> sector, SpuAdpcmHistory& history,
                    std::vector<int16_t>& samples) {
  const auto payload = layout.SoundPayloadOf(sector);
  if (!payload) return 0;
  const int units = payload->Size / kSpuUnitSize;
  const size_t at = samples.size();
  samples.resize(at + size_t(units) * kSpuSamplesPerUnit);
  SpuAdpcmDecode(history, sector.data() + payload->Offset, units, samples.data() + at);
  return payload->Rate;
}

bool ReplaceGameSound(const MovieLayout& layout, std::span<uint8_t> sector, SpuAdpcmHistory& history,
                      std::span<const int16_t> samples) {
  if (!layout.Info().SoundWritable) return false;
  const auto payload = layout.SoundPayloadOf(sector);
  if (!payload) return false;
  const int units = payload->Size / kSpuUnitSize;
  if (samples.size() < size_t(units) * kSpuSamplesPerUnit) return false;
  SpuAdpcmEncode(history, samples.data(), units, sector.data() + payload->Offset);
  return true;
}

}  // namespace belmora
