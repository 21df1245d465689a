#include "convert/xa_channels.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>

#include "base/messages.h"
#include "convert/output_file.h"
#include "convert/progress.h"
#include "media/wav_reader.h"
#include "media/wav_writer.h"
#include "xa/xa_codec.h"

namespace belmora {

std::string ChannelWavName(int channel) {
  char name[32];
  std::snprintf(name, sizeof name, "channel_%02d.wav", channel);
  return name;
}

Result<std::vector<uint8_t>> DecodeXaChannel(StrDocument& doc, const XaChannelInfo& channel,
                                             const XaWavFormat& format, Host& host) {
  XaDecoderState decoder;
  XaSetOutputFormat(decoder, format.Rate > 0 ? format.Rate : channel.Rate(),
                    format.Channels > 0 ? format.Channels : channel.ChannelCount(), format.Bits);
  std::vector<uint8_t> out(XaMaxOutputBytes(decoder));
  std::vector<uint8_t> pcm;
  const bool read = ForEachAudioSector(doc, channel.Channel, [&](uint8_t* image) {
    int32_t n = 0;
    XaDecodeSector(decoder, image, out.data(), n);
    pcm.insert(pcm.end(), out.begin(), out.begin() + n);
    return 0;
  });
  if (!read) {
    Show(host, msg::kStrReadError);
    return Status::kFailed;
  }
  return pcm;
}

Status ExportXaChannel(StrDocument& doc, const XaChannelInfo& channel, const std::string& path,
                       const XaWavFormat& format, Host& host) {
  const int rate = format.Rate > 0 ? format.Rate : channel.Rate();
  const int channels = format.Channels > 0 ? format.Channels : channel.ChannelCount();
  const Result<std::vector<uint8_t>> pcm = DecodeXaChannel(doc, channel, format, host);
  if (!pcm.Ok()) return pcm.status();
  PartFile part(path);
  if (!part.Create(host)) return Status::kFailed;
  if (!WriteWavFile(part.Part(), rate, channels, format.Bits, *pcm)) {
    Show(host, msg::kWriteError, path.c_str(), std::strerror(errno));
    return Status::kFailed;
  }
  return part.Commit(host) ? Status::kOk : Status::kFailed;
}

namespace {

// The WAV's sample pairs, then silence. The decoder gives sound at half the
// scale the encoder takes (as every export has), so the pairs are doubled:
// a channel exported and imported again keeps its level.
class WavPairs : public SamplePairSource {
 public:
  explicit WavPairs(const WavData& wav) : wav_(wav) {}
  int NextSample(int16_t& left, int16_t& right) override {
    if (next_ >= wav_.Frames()) {
      left = right = 0;
      return 1;
    }
    const size_t at = size_t(next_++) * size_t(wav_.Channels);
    left = Doubled(wav_.Samples[at]);
    right = wav_.Channels == 2 ? Doubled(wav_.Samples[at + 1]) : left;
    return 0;
  }
  static int16_t Doubled(int16_t v) { return int16_t(std::clamp(2 * int(v), -32768, 32767)); }
  void SetTargetRate(int) override {}

 private:
  const WavData& wav_;
  int64_t next_ = 0;
};

}  // namespace

Status ImportXaChannel(StrDocument& doc, const XaChannelInfo& channel, const std::string& wavPath,
                       Host& host) {
  if (RefuseIfReadOnly(doc)) return Status::kFailed;
  // No more of the WAV is read than the channel can take.
  const int64_t perSector = channel.Sectors ? channel.Frames() / channel.Sectors : 0;
  WavData wav;
  if (const InputStatus read = ReadWavFile(wavPath, wav, channel.Frames() + perSector);
      !read.Ok()) {
    ShowInputProblem(host, wavPath, read);
    return Status::kFailed;
  }
  if (wav.Rate != channel.Rate()) {
    Show(host, msg::kBadAudioFormat, wav.Rate, wav.Channels, wav.Bits);
    return Status::kFailed;
  }
  if (std::llabs(wav.TotalFrames - channel.Frames()) >= perSector) {
    Show(host, msg::kAudioLengthDiffers, (long long)wav.TotalFrames, channel.Channel,
         (long long)channel.Frames());
    return Status::kFailed;
  }
  DocumentEdit edit(doc);
  if (!edit.Ok()) return Status::kFailed;
  WavPairs source(wav);
  XaEncoderState encoder;
  XaEncodeSetup(encoder, source, channel.Rate(), channel.ChannelCount());
  bool stopped = false;
  const bool ok = ForEachAudioSector(doc, channel.Channel, [&](uint8_t* image) {
    if (host.CancelRequested()) {
      stopped = true;
      return -1;
    }
    XaEncodeSector(encoder, image);
    return 1;
  });
  if (!ok || doc.WriteFailed) {
    if (!doc.WriteFailed) Show(host, msg::kStrReadError);
    return Status::kFailed;
  }
  if (stopped) return EndCancelledEdit(edit, doc, host) ? Status::kCancelled : Status::kFailed;
  return edit.Commit() ? Status::kOk : Status::kFailed;
}

}  // namespace belmora
