#include "tests/support/game_movie_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "base/bytes.h"
#include "convert/game_movie.h"
#include "str/cd_sector.h"
#include "tests/support/game_sector_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora::test {

GameFrameSectors BuildGameFrame(GameFormat format, const std::vector<uint8_t>& frame,
                                int videoSectors, int width, int height, uint32_t number,
                                const std::vector<uint8_t>& sound) {
  const GameFormatInfo& info = InfoOf(format);
  // Final Fantasy VIII and IX count the sound sectors among the frame's chunks.
  const bool soundCounted = format == GameFormat::kFf8 || format == GameFormat::kFf9;
  GameFrameSectors m;
  if (info.SoundSectorsPerFrame) {
    for (int c = 0; c < 2; c++) {
      switch (format) {
        case GameFormat::kFf8:
          // A movie of sound only counts two sectors a frame.
          m.Sectors.push_back(Ff8SoundSector(c, videoSectors ? 10 : 2, int(number), sound));
          break;
        case GameFormat::kFf9:
          m.Sectors.push_back(Ff9SoundSector(c, number, sound));
          break;
        default:
          m.Sectors.push_back(ChronoCrossSoundSector(0x00000160, c, int(number), sound));
          break;
      }
    }
  }
  const int first = soundCounted ? int(m.Sectors.size()) : 0;
  for (int v = 0; v < videoSectors; v++) {
    GameVideoFields f;
    f.FrameNumber = number;
    f.ChunkNumber = first + v;
    f.ChunkCount = first + videoSectors;
    f.DataSize = uint32_t(frame.size() + 3) & ~3u;
    f.Width = width;
    f.Height = height;
    std::memcpy(f.Header, frame.data(), 8);
    std::vector<uint8_t> s;
    switch (format) {
      case GameFormat::kFf7:
        // Bytes 20..27 copy the frame's first eight bytes (camera data).
        s = Ff7VideoSector(f, 0xC7);
        std::memcpy(&s[20], frame.data(), 8);
        for (int i = 20; i < 28; i++) m.Kept.push_back({m.Sectors.size(), i});
        break;
      case GameFormat::kFf8:
        s = Ff8VideoSector(f.ChunkNumber, 10, int(number));
        for (int i = 0; i < 4; i++) m.Kept.push_back({m.Sectors.size(), i});
        break;
      case GameFormat::kFf9:
        s = Ff9VideoSector(f);
        break;
      case GameFormat::kLain:
        s = LainVideoSector(f, 0xE1);
        std::memcpy(&s[20], frame.data(), 8);
        m.Kept.push_back({m.Sectors.size(), 10});
        m.Kept.push_back({m.Sectors.size(), 11});
        break;
      case GameFormat::kIki:
        s = IkiVideoSector(f, GetU16(frame.data()));
        break;
      default:
        s = StandardVideoSector(f);
        break;
    }
    // The payload of chunk v (from the last chunk down where the format
    // takes them so).
    const int slot = info.ReverseChunks ? videoSectors - 1 - v : v;
    const size_t from = size_t(slot) * size_t(info.PayloadSize);
    for (int i = 0; i < info.PayloadSize; i++)
      s[size_t(info.PayloadOffset + i)] =
          from + size_t(i) < frame.size() ? frame[from + size_t(i)] : 0;
    m.Video.push_back(m.Sectors.size());
    m.Sectors.push_back(std::move(s));
  }
  return m;
}

GameMovieFile WriteGameMovie(const GameMovieRecipe& r, const std::string& path) {
  const GameFormatInfo& info = InfoOf(r.Format);
  const BitstreamCodec& codec = CodecOf(LayoutOf(r.Format));
  const int pw = (r.Width + 15) / 16 * 16, ph = (r.Height + 15) / 16 * 16;
  GameMovieFile file;
  for (int i = 0; i < 40 && r.Camera; i++) file.Camera.push_back(uint8_t(0xA0 + i));
  StrBuilder b(2352, false);
  // Video in Form 2 where the format keeps it there; the rest Form 1 data.
  const Subheader data{1, 1, kSubmodeRealTime | kSubmodeData, 0};
  const Subheader form2{1, 1, kSubmodeRealTime | kSubmodeData | kSubmodeForm2, 0};
  MdecCodec mdec;
  for (int k = 0; k < r.Frames; k++) {
    file.Pictures.push_back(NaturalPicture(pw, ph, k + 1));
    std::vector<uint8_t> frame = file.Camera;
    if (r.VideoSectors > 0) {
      EncodedFrame encoded;
      const EncodeRequest request{r.Width, r.Height, 2,
                                  FrameCapacity(r.Format, r.VideoSectors) - int(frame.size())};
      if (codec.Encode(mdec, {file.Pictures.back().data(), pw, ph, pw * 3}, request, {},
                       encoded) != EncodeStatus::kOk)
        throw std::runtime_error("test movie frame does not encode");
      frame.insert(frame.end(), encoded.Bytes.begin(), encoded.Bytes.begin() + encoded.Length);
    }
    // Each frame's sound units differ, so that a sound sector moved or
    // rewritten shows.
    std::vector<uint8_t> sound(1680);
    for (size_t i = 0; i < sound.size(); i++) sound[i] = uint8_t(i * 7 + size_t(k) * 31);
    for (size_t i = 0; i < sound.size(); i += 16) sound[i] = uint8_t(0x10 * (k % 5) + 4);
    const GameFrameSectors m =
        BuildGameFrame(r.Format, frame, r.VideoSectors, r.Width, r.Height, uint32_t(k + 1), sound);
    std::vector<int> sectors;
    for (size_t i = 0; i < m.Sectors.size(); i++) {
      const bool video = std::find(m.Video.begin(), m.Video.end(), i) != m.Video.end();
      (video ? sectors : file.SoundSectors).push_back(b.SectorCount());
      b.AddRaw(video && info.VideoUserDataSize > 2048 ? form2 : data, m.Sectors[i]);
    }
    for (const auto& [sector, byte] : m.Kept)
      file.Kept.push_back({b.SectorCount() - int(m.Sectors.size()) + int(sector), byte});
    file.FrameSectors.push_back(std::move(sectors));
  }
  // Sealed as on a disc, from 00:02:00.
  std::vector<uint8_t> bytes = b.Bytes();
  for (size_t n = 0; n * 2352 < bytes.size(); n++)
    SealRawSector(&bytes[n * 2352], int32_t(kFirstDataAddress + n), true);
  file.Path = path.empty() ? TempPath("game.str") : path;
  WriteFileBytes(file.Path, bytes);
  return file;
}

}  // namespace belmora::test
