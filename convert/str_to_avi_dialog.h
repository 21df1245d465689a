// The logic of the "Converter STR para AVI" dialog: what it offers when it
// opens, what it makes of the edits when it closes, and what the compressor
// and audio-format choices do. The window itself only shows these fields.
#pragma once

#include <cstdint>
#include <string>

#include "platform/media_formats.h"
#include "platform/message_sink.h"
#include "str/str_document.h"

namespace belmora {

inline constexpr const char* kMsgNoDriver = "利用可能なドライバが存在しません";
inline constexpr const char* kMsgChooserError = "エラーが発生しました";
inline constexpr const char* kMsgSuggestError = "acmFormatSuggest error";

struct TConvAviForm {
  // Settings, in the dialog's field order.
  double VideoRate = 0;
  belmora::CompressOptions CompressOptions;
  int32_t VideoWidth = 0;
  int32_t VideoHeight = 0;
  int32_t DefaultWidth = 0;
  int32_t DefaultHeight = 0;
  WaveFormat AudioFormat;
  WaveFormat DecodeFormat;
  int32_t PcmRate = 0;
  int32_t PcmBits = 0;
  int32_t PcmChannels = 0;
  std::string OutputPath;
  int32_t FirstSector = 0;
  int32_t LastSector = 0;

  // What the controls show.
  std::string NameEdit, VRateEdit, VWidthEdit, VHeightEdit, AFormEdit;
  std::string AcmSelCaption = "PCM", CompSelCaption;
  bool AEnableChecked = false, AEnableEnabled = false;

  // Offers the values of the open document (and the view's half width).
  void FormShow(const StrDocument& doc, bool halfWidthView);
  // Turns the edits into numbers, falling back where they make no sense.
  void FormClose();
  // The compressor chooser confirmed `chosen` (with the compressor's description).
  void CompressorChosen(const belmora::CompressOptions& chosen, const std::string& description);
  // The audio-format chooser ended with `result` (0, 6, 515 or another);
  // on 0 `chosen` is the format picked.
  void AudioFormatChosen(int result, const WaveFormat& chosen, MessageSink& sink);

 private:
  double documentRate_ = 0;
};

// The rate, size and stride arithmetic of the export.
uint32_t VideoScaleFor(double videoRate);  // 150000 / rate, truncated; 0 when unusable

}  // namespace belmora
