#include "platform/media_formats.h"

#include <algorithm>
#include <cstdio>

#include "base/messages.h"
#include "platform/media_backend.h"
#include "platform/media_module.h"

namespace belmora {

std::string FourCCText(uint32_t fcc) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; i++) s[size_t(i)] = char((fcc >> (8 * i)) & 0xFF);
  return s;
}

WaveFormat WaveFormat::Pcm(int rate, int channels, int bits) {
  WaveFormat f;
  f.wFormatTag = kWaveFormatPcm;
  f.nChannels = uint16_t(channels);
  f.nSamplesPerSec = uint32_t(rate);
  f.wBitsPerSample = uint16_t(bits);
  f.nBlockAlign = uint16_t(channels * bits / 8);
  f.nAvgBytesPerSec = uint32_t(int64_t(rate) * bits / 8 * channels);
  return f;
}

namespace {

// Without the media module only uncompressed frames are offered.
bool HaveEncoder(const std::string& name) {
  if (name.empty()) return true;
  const media::Module* module = media::LoadModule();
  return module && module->HaveEncoder(name);
}

const VideoCompressorInfo kVideo[] = {
    {FourCC("DIB "), "", msg::kFullFramesItem},
    {FourCC("MJPG"), "mjpeg", "Motion JPEG"},
    {FourCC("FFV1"), "ffv1", "FFV1 (lossless)"},
    {FourCC("HFYU"), "huffyuv", "Huffyuv (lossless)"},
    {FourCC("ULRG"), "utvideo", "Ut Video RGB (lossless)"},
    {FourCC("FMP4"), "mpeg4", "MPEG-4 part 2"},
    {FourCC("H264"), "libx264", "H.264 (x264)"},
    {FourCC("cvid"), "cinepak", "Cinepak"},
    {FourCC("MSVC"), "msvideo1", "Microsoft Video 1"},
    {FourCC("ZMBV"), "zmbv", "Zip Motion Blocks Video"},
    {FourCC("MPNG"), "png", "PNG"},
};

struct TagSpec {
  uint16_t Tag;
  const char* Name;
  const char* Encoder;
};
const TagSpec kTags[] = {
    {1, "PCM", "pcm_s16le"},
    {2, "Microsoft ADPCM", "adpcm_ms"},
    {0x11, "IMA ADPCM", "adpcm_ima_wav"},
    {0x55, "MPEG Layer-3", "libmp3lame"},
    {6, "CCITT A-Law", "pcm_alaw"},
    {7, "CCITT u-Law", "pcm_mulaw"},
    {0x31, "GSM 6.10", "libgsm_ms"},
    {0x2000, "AC-3", "ac3"},
};

// Block sizes the Microsoft wave formats of these tags use.
WaveFormat Coded(uint16_t tag, int rate, int channels, int bits, uint16_t blockAlign,
                 uint32_t bytesPerSecond) {
  WaveFormat f;
  f.wFormatTag = tag;
  f.nChannels = uint16_t(channels);
  f.nSamplesPerSec = uint32_t(rate);
  f.wBitsPerSample = uint16_t(bits);
  f.nBlockAlign = blockAlign;
  f.nAvgBytesPerSec = bytesPerSecond;
  return f;
}

std::vector<WaveFormat> FormatsOf(uint16_t tag) {
  std::vector<WaveFormat> out;
  const int rates[] = {8000, 11025, 22050, 44100};
  for (int rate : rates) {
    for (int channels : {1, 2}) {
      switch (tag) {
        case 1:
          out.push_back(WaveFormat::Pcm(rate, channels, 8));
          out.push_back(WaveFormat::Pcm(rate, channels, 16));
          break;
        case 2:
        case 0x11: {
          // 4-bit ADPCM blocks: Microsoft's keep 7 header bytes and 2 samples
          // per channel, IMA's 4 bytes and 1 sample.
          const bool ms = tag == 2;
          uint16_t block = uint16_t(256 * channels * std::max(1, rate / 11025));
          int samples = (block - (ms ? 7 : 4) * channels) * 8 / (4 * channels) + (ms ? 2 : 1);
          out.push_back(
              Coded(tag, rate, channels, 4, block, uint32_t(int64_t(rate) * block / samples)));
          break;
        }
        case 6:
        case 7:
          out.push_back(
              Coded(tag, rate, channels, 8, uint16_t(channels), uint32_t(rate * channels)));
          break;
        case 0x31:
          if (rate == 8000 && channels == 1) out.push_back(Coded(0x31, 8000, 1, 0, 65, 1625));
          break;
        case 0x55:
          if (rate >= 22050)
            for (int kbps : {64, 128, 192})
              out.push_back(Coded(0x55, rate, channels, 0, 1, uint32_t(kbps * 125)));
          break;
        case 0x2000:
          if (rate == 44100)
            out.push_back(
                Coded(0x2000, rate, channels, 0, 1, uint32_t((channels == 1 ? 96 : 192) * 125)));
          break;
      }
    }
  }
  return out;
}

}  // namespace

std::string MediaLibraryVersion() {
  const media::Module* module = media::LoadModule();
  return module ? module->Version() : MediaModuleProblem();
}

std::vector<VideoCompressorInfo> VideoCompressors() {
  std::vector<VideoCompressorInfo> out;
  for (const auto& v : kVideo) {
    if (!HaveEncoder(v.Encoder)) continue;
    out.push_back(v);
    out.back().Description = Tr(v.Description.c_str());
  }
  return out;
}

std::optional<VideoCompressorInfo> FindVideoCompressor(uint32_t fccHandler) {
  if (fccHandler == 0) fccHandler = FourCC("DIB ");
  for (const auto& v : VideoCompressors())
    if (v.fccHandler == fccHandler) return v;
  return std::nullopt;
}

std::vector<AudioFormatTag> AudioFormatTags() {
  std::vector<AudioFormatTag> out;
  for (const auto& t : kTags)
    if (HaveEncoder(t.Encoder)) out.push_back({t.Tag, t.Name, t.Encoder, FormatsOf(t.Tag)});
  return out;
}

std::string WaveTagName(uint16_t tag) {
  for (const auto& t : kTags)
    if (t.Tag == tag) return t.Name;
  char s[16];
  std::snprintf(s, sizeof s, "0x%04X", tag);
  return s;
}

std::string DescribeWaveFormat(const WaveFormat& f) {
  char s[96];
  const char* channels = Tr(f.nChannels == 1 ? msg::kMonoName : msg::kStereoName);
  if (f.wFormatTag == kWaveFormatPcm || f.wBitsPerSample > 0)
    std::snprintf(s, sizeof s, "%u Hz, %u Bit.; %s", f.nSamplesPerSec, f.wBitsPerSample, channels);
  else
    std::snprintf(s, sizeof s, "%u Hz, %u kbps; %s", f.nSamplesPerSec, f.nAvgBytesPerSec / 125,
                  channels);
  return s;
}

std::optional<WaveFormat> SuggestPcmFormat(const WaveFormat& target) {
  for (const auto& t : kTags) {
    if (t.Tag != target.wFormatTag || !HaveEncoder(t.Encoder)) continue;
    int bits = target.wFormatTag == kWaveFormatPcm && target.wBitsPerSample == 8 ? 8 : 16;
    return WaveFormat::Pcm(int(target.nSamplesPerSec), target.nChannels, bits);
  }
  return std::nullopt;
}

}  // namespace belmora
