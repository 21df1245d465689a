#include "convert/str_to_avi_dialog.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/messages.h"
#include "convert/edit_text.h"
#include "convert/movie_sound.h"

namespace belmora {

namespace {

// The selected channel's sound as the decoder gives it by default; a
// layout's own sound at its own rate, as it is saved.
WaveFormat DefaultPcm(StrDocument& doc, bool& hasSound) {
  if (HasLayoutSound(doc)) {
    const std::optional<MovieSound> own = LayoutSoundOf(doc);
    hasSound = own.has_value();
    if (own) return WaveFormat::Pcm(own->Rate, own->Channels, 16);
  }
  hasSound = doc.AudioChannelCount > 0;
  const int coding = doc.AudioChannelCount > 0 ? doc.AudioCodings[0] : 0;
  return WaveFormat::Pcm(IsHalfRate(coding) ? 22050 : 44100, IsStereo(coding) ? 2 : 1, 16);
}

int DefaultWidthOf(const StrDocument& doc, bool halfWidthView) {
  return halfWidthView ? doc.ChunkHeader.Width / 2 : doc.ChunkHeader.Width;
}

}  // namespace

StrToAviOptions DefaultStrToAviOptions(StrDocument& doc, bool halfWidthView) {
  StrToAviOptions o;
  o.VideoRate = std::strtod(EditText(doc.FramesPerSecond).c_str(), nullptr);
  if (o.VideoRate == 0) o.VideoRate = doc.FramesPerSecond;
  o.VideoWidth = DefaultWidthOf(doc, halfWidthView);
  o.VideoHeight = doc.ChunkHeader.Height;
  o.AudioFormat = DefaultPcm(doc, o.Audio);
  o.PcmRate = int32_t(o.AudioFormat.nSamplesPerSec);
  o.PcmChannels = o.AudioFormat.nChannels;
  o.PcmBits = o.AudioFormat.wBitsPerSample;
  o.FirstSector = doc.MovieStart;
  o.LastSector = doc.LastFrameSector;
  return o;
}

CompressOptions ChosenCompressOptions(const CompressOptions& chosen) {
  CompressOptions o = chosen;
  o.dwFlags = kCompressValid;
  if (chosen.dwKeyFrameEvery != 0) o.dwFlags |= kCompressKeyFrames;
  if (chosen.dwBytesPerSecond >> 10 != 0) o.dwFlags |= kCompressDataRate;
  o.dwBytesPerSecond = (chosen.dwBytesPerSecond >> 10) << 10;
  return o;
}

std::optional<WaveFormat> DecodeFormatFor(const WaveFormat& audio) {
  if (audio.wFormatTag != kWaveFormatPcm) return SuggestPcmFormat(audio);
  WaveFormat pcm = audio;
  pcm.cbSize = 0;
  pcm.Extra.clear();
  return pcm;
}

void StrToAviDialogModel::FormShow(StrDocument& doc, bool halfWidthView) {
  NameEdit = OutputPath;
  DefaultWidth = DefaultWidthOf(doc, halfWidthView);
  DefaultHeight = doc.ChunkHeader.Height;
  documentRate_ = doc.FramesPerSecond;
  VRateEdit = EditText(doc.FramesPerSecond);
  VWidthEdit = std::to_string(DefaultWidth);
  VHeightEdit = std::to_string(DefaultHeight);
  bool hasSound = false;
  AudioFormat = DefaultPcm(doc, hasSound);
  DecodeFormat = AudioFormat;
  PcmRate = int32_t(AudioFormat.nSamplesPerSec);
  PcmChannels = AudioFormat.nChannels;
  PcmBits = AudioFormat.wBitsPerSample;
  AcmSelCaption = "PCM";
  AFormEdit = DescribeWaveFormat(AudioFormat);
  AEnableChecked = AEnableEnabled = hasSound;
}

void StrToAviDialogModel::FormClose() {
  OutputPath = NameEdit;
  VideoRate = std::strtod(VRateEdit.c_str(), nullptr);
  if (VideoRate == 0) VideoRate = documentRate_;
  VideoWidth = int32_t(std::strtol(VWidthEdit.c_str(), nullptr, 10));
  if (VideoWidth <= 0 || VideoWidth > 640) VideoWidth = DefaultWidth;
  VideoHeight = int32_t(std::strtol(VHeightEdit.c_str(), nullptr, 10));
  if (VideoHeight <= 0 || VideoHeight > 480) VideoHeight = DefaultHeight;
  PcmRate = int32_t(DecodeFormat.nSamplesPerSec);
  PcmBits = DecodeFormat.wBitsPerSample;
  PcmChannels = DecodeFormat.nChannels;
  if (PcmBits != 8) PcmBits = 16;
}

void StrToAviDialogModel::CompressorChosen(const belmora::CompressOptions& chosen,
                                    const std::string& description) {
  CompressOptions = ChosenCompressOptions(chosen);
  if (!description.empty()) CompSelCaption = description;
}

void StrToAviDialogModel::AudioFormatChosen(ChooserResult result, const WaveFormat& chosen, Host& host) {
  switch (result) {
    case ChooserResult::kCancelled:
      return;
    case ChooserResult::kNoDriver:
      Show(host, msg::kNoDriver);
      return;
    case ChooserResult::kError:
      Show(host, msg::kChooserError);
      return;
    case ChooserResult::kChosen:
      break;
  }
  AudioFormat = chosen;
  if (auto pcm = DecodeFormatFor(AudioFormat)) {
    DecodeFormat = *pcm;
  } else {
    DecodeFormat.wFormatTag = kWaveFormatPcm;
    Show(host, msg::kSuggestError);
  }
  AcmSelCaption = WaveTagName(AudioFormat.wFormatTag);
  AFormEdit = DescribeWaveFormat(AudioFormat);
}

StrToAviOptions StrToAviDialogModel::Options() const {
  StrToAviOptions o;
  o.OutputPath = OutputPath;
  o.VideoRate = VideoRate;
  o.Compress = CompressOptions;
  o.VideoWidth = VideoWidth;
  o.VideoHeight = VideoHeight;
  o.Audio = AEnableChecked;
  o.AudioFormat = AudioFormat;
  o.PcmRate = PcmRate;
  o.PcmChannels = PcmChannels;
  o.PcmBits = PcmBits;
  o.FirstSector = FirstSector;
  o.LastSector = LastSector;
  return o;
}

uint32_t VideoScaleFor(double videoRate) {
  if (!(videoRate > 0) || !std::isfinite(videoRate)) return 0;
  double scale = std::trunc(150000.0 / videoRate);
  return scale >= 1 && scale <= 150000 ? uint32_t(scale) : 0;
}

}  // namespace belmora
