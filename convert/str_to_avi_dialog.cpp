#include "convert/str_to_avi_dialog.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace belmora {

void TConvAviForm::FormShow(const StrDocument& doc, bool halfWidthView) {
  NameEdit = OutputPath;
  DefaultWidth = halfWidthView ? doc.ChunkHeader.Width / 2 : doc.ChunkHeader.Width;
  DefaultHeight = doc.ChunkHeader.Height;
  documentRate_ = doc.FramesPerSecond;
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", doc.FramesPerSecond);
  VRateEdit = text;
  VWidthEdit = std::to_string(DefaultWidth);
  VHeightEdit = std::to_string(DefaultHeight);
  const int coding = doc.AudioChannelCount > 0 ? doc.AudioCodings[0] : 0;
  PcmRate = IsHalfRate(coding) ? 22050 : 44100;
  PcmChannels = IsStereo(coding) ? 2 : 1;
  PcmBits = 16;
  AudioFormat = WaveFormat::Pcm(PcmRate, PcmChannels, PcmBits);
  DecodeFormat = AudioFormat;
  AcmSelCaption = "PCM";
  AFormEdit = DescribeWaveFormat(AudioFormat);
  AEnableChecked = AEnableEnabled = doc.AudioChannelCount > 0;
}

void TConvAviForm::FormClose() {
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

void TConvAviForm::CompressorChosen(const belmora::CompressOptions& chosen,
                                    const std::string& description) {
  CompressOptions = chosen;
  CompressOptions.dwFlags = kCompressValid;
  if (chosen.dwKeyFrameEvery != 0) CompressOptions.dwFlags |= kCompressKeyFrames;
  if (chosen.dwBytesPerSecond >> 10 != 0) CompressOptions.dwFlags |= kCompressDataRate;
  CompressOptions.dwBytesPerSecond = (chosen.dwBytesPerSecond >> 10) << 10;
  if (!description.empty()) CompSelCaption = description;
}

void TConvAviForm::AudioFormatChosen(int result, const WaveFormat& chosen, MessageSink& sink) {
  if (result == kChooseCancelled) return;
  if (result == kChooseNoDriver) {
    MessageBoxF(sink, "%s", kMsgNoDriver);
    return;
  }
  if (result != kChooseOk) {
    MessageBoxF(sink, "%s", kMsgChooserError);
    return;
  }
  AudioFormat = chosen;
  if (AudioFormat.wFormatTag == kWaveFormatPcm) {
    DecodeFormat = AudioFormat;
    DecodeFormat.cbSize = 0;
    DecodeFormat.Extra.clear();
  } else {
    DecodeFormat.wFormatTag = kWaveFormatPcm;
    if (auto pcm = SuggestPcmFormat(AudioFormat))
      DecodeFormat = *pcm;
    else
      sink.Show(kMsgSuggestError, "");
  }
  AcmSelCaption = WaveTagName(AudioFormat.wFormatTag);
  AFormEdit = DescribeWaveFormat(AudioFormat);
}

uint32_t VideoScaleFor(double videoRate) {
  if (!(videoRate > 0) || !std::isfinite(videoRate)) return 0;
  double scale = std::trunc(150000.0 / videoRate);
  return scale >= 1 && scale <= 150000 ? uint32_t(scale) : 0;
}

}  // namespace belmora
