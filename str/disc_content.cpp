#include "str/disc_content.h"

#include <algorithm>

#include "base/bytes.h"

namespace belmora {

SectorRole RoleOf(const SectorHead& h) {
  if (h.HasSubheader) {
    if (IsAudioSector(h.Sub)) return SectorRole::kAudio;
    if (IsSkippedSector(h.Sub)) return SectorRole::kOther;
  }
  const uint8_t* p = h.UserData.data();
  const uint16_t status = GetU16(p), type = GetU16(p + 2), chunk = GetU16(p + 4),
                 chunks = GetU16(p + 6);
  if ((status & 0xF0) != 0x60 || type != 0x8001) return SectorRole::kOther;
  if (chunks == 0 || chunks > kMaxChunks || chunk >= chunks) return SectorRole::kOther;
  return SectorRole::kVideo;
}

bool IsFrameStart(const SectorHead& h) {
  return RoleOf(h) == SectorRole::kVideo && GetU16(h.UserData.data() + 4) == 0;
}

const char* ContentKindName(ContentKind kind) {
  switch (kind) {
    case ContentKind::kStrVideo:
      return "str";
    case ContentKind::kXaAudio:
      return "xa";
    case ContentKind::kOther:
      break;
  }
  return "other";
}

ContentInfo ClassifySectors(SectorReader& reader, int64_t first, int64_t count) {
  ContentInfo info;
  const int64_t end = std::min(first + count, reader.SectorCount());
  SectorHead h;
  MovieScanner movies;
  for (int64_t n = std::max<int64_t>(first, 0); n < end; n++) {
    if (!reader.ReadHead(n, h)) break;
    info.Sectors++;
    switch (RoleOf(h)) {
      case SectorRole::kVideo:
        info.VideoSectors++;
        movies.Video(int32_t(info.Sectors - 1), h.HasSubheader ? h.Sub.Channel : 0,
                     VideoChunkHeader::Parse(h.UserData.data()));
        if (GetU16(h.UserData.data() + 4) == 0) {
          if (info.Frames++ == 0) {
            const VideoChunkHeader c = VideoChunkHeader::Parse(h.UserData.data());
            info.Width = c.Width;
            info.Height = c.Height;
            info.MdecVersion = GetU16(c.MdecHeader.data() + 6);
          }
        }
        break;
      case SectorRole::kAudio: {
        info.AudioSectors++;
        auto at =
            std::find_if(info.Channels.begin(), info.Channels.end(),
                         [&](const AudioChannelInfo& c) { return c.Channel == h.Sub.Channel; });
        if (at == info.Channels.end())
          at = info.Channels.insert(
              std::upper_bound(info.Channels.begin(), info.Channels.end(), h.Sub.Channel,
                               [](int ch, const AudioChannelInfo& c) { return ch < c.Channel; }),
              AudioChannelInfo{h.Sub.Channel, h.Sub.CodingInfo, 0});
        at->Sectors++;
        movies.Audio(h.Sub.Channel, h.Sub.CodingInfo);
        break;
      }
      case SectorRole::kOther:
        break;
    }
  }
  const bool sound = !info.Channels.empty();
  info.Movies = movies.Finish(sound ? info.Channels.front().Channel : -1,
                              sound ? info.Channels.front().CodingInfo : 0);
  if (info.Frames > 0)
    info.Kind = ContentKind::kStrVideo;
  else if (info.AudioSectors > 0 && info.VideoSectors == 0)
    info.Kind = ContentKind::kXaAudio;
  return info;
}

std::vector<ContentRun> FindUncoveredRuns(SectorReader& reader,
                                          const std::vector<SectorExtent>& covered) {
  // Covered ranges sorted by start, so the walk can jump over each in turn.
  std::vector<SectorExtent> skip;
  for (const SectorExtent& e : covered)
    if (e.Count > 0) skip.push_back(e);
  std::sort(skip.begin(), skip.end(),
            [](const SectorExtent& a, const SectorExtent& b) { return a.First < b.First; });

  std::vector<ContentRun> runs;
  int64_t runStart = -1;
  auto closeRun = [&](int64_t end) {
    if (runStart < 0) return;
    runs.push_back({runStart, end - runStart, ClassifySectors(reader, runStart, end - runStart)});
    runStart = -1;
  };
  const int64_t total = reader.SectorCount();
  size_t next = 0;  // first covered range not yet passed
  SectorHead h;
  for (int64_t n = 0; n < total; n++) {
    while (next < skip.size() && skip[next].First + skip[next].Count <= n) next++;
    if (next < skip.size() && skip[next].First <= n) {
      closeRun(n);
      n = skip[next].First + skip[next].Count - 1;
      continue;
    }
    if (!reader.ReadHead(n, h)) {
      closeRun(n);
      break;
    }
    if (RoleOf(h) == SectorRole::kOther) {
      closeRun(n);
    } else if (runStart < 0) {
      runStart = n;
    }
  }
  closeRun(total);
  return runs;
}

std::string DescribeContent(const ContentInfo& info) {
  std::string s;
  switch (info.Kind) {
    case ContentKind::kStrVideo: {
      s = "STR video: " + std::to_string(info.Frames) +
          (info.Frames == 1 ? " frame " : " frames ") + std::to_string(info.Width) + "x" +
          std::to_string(info.Height) + " MDEC v" + std::to_string(info.MdecVersion);
      if (info.Channels.empty()) {
        s += ", no audio";
      } else {
        s += ", audio";
        const char* sep = " ";
        for (const AudioChannelInfo& c : info.Channels) {
          s += sep + std::string("ch ") + std::to_string(c.Channel) + " " + CodingText(c.CodingInfo);
          sep = ", ";
        }
      }
      // The movies, where there are several or frames lack sectors.
      bool damaged = false;
      for (const Movie& m : info.Movies) damaged |= !m.DamagedFrames().empty();
      if (info.Movies.size() > 1 || damaged) {
        s += "; movies:";
        const char* sep = " ";
        for (const Movie& m : info.Movies) {
          s += sep + std::to_string(m.Index) + ": ch " + std::to_string(m.Channel) + " " +
               std::to_string(m.Width) + "x" + std::to_string(m.Height) + " " +
               std::to_string(m.Frames.size()) + " frames";
          if (const std::string d = DamagedFramesText(m.Frames); !d.empty())
            s += " (damaged " + d + ")";
          sep = ", ";
        }
      }
      return s;
    }
    case ContentKind::kXaAudio: {
      s = "XA audio:";
      const char* sep = " ";
      for (const AudioChannelInfo& c : info.Channels) {
        s += sep + std::string("ch ") + std::to_string(c.Channel) + " " + CodingText(c.CodingInfo) +
             " " + std::to_string(c.Sectors) + " sectors";
        sep = ", ";
      }
      return s;
    }
    case ContentKind::kOther:
      break;
  }
  return "other";
}

}  // namespace belmora
