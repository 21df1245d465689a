// What an STR-to-AVI conversion is asked to do, the defaults the open
// document gives, and the logic of the "Converter STR para AVI" dialog that
// offers them. The window itself only shows these fields.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/host.h"
#include "mdec/frame_image.h"
#include "platform/media_formats.h"
#include "str/str_document.h"

namespace belmora {

struct StrToAviOptions {
  std::string OutputPath;
  double VideoRate = 0;  // AVI frames per second
  belmora::CompressOptions Compress;
  int32_t VideoWidth = 0, VideoHeight = 0;
  bool Audio = false;  // write the selected channel's sound
  WaveFormat AudioFormat;
  // What the XA decoder delivers: the PCM that is written, or converted to AudioFormat.
  int32_t PcmRate = 44100, PcmChannels = 2, PcmBits = 16;
  int32_t FirstSector = 0, LastSector = 0;  // first sectors of the range's first and last frame
  // One AVI frame for each STR frame of the range, in order, instead of
  // frames re-timed to VideoRate (which then only labels the AVI).
  bool FrameExact = false;
  // Drawn onto a copy of each picture before it is written, given the STR
  // frame's index in the range (a preview: the STR is not touched).
  std::function<void(int frameIndex, FrameImage& picture)> Overlay;
};

// What the dialog offers for the open document and the current frame (its
// chunk header gives the size), used unchanged: the frame's size (half the
// width with the half-width view), the file's frame rate, and the selected
// channel's sound as 16-bit PCM at 44.1 or 22.05 kHz, or a layout's own
// sound at its own rate (its first sectors read).
StrToAviOptions DefaultStrToAviOptions(StrDocument& doc, bool halfWidthView);

// The compression options as a chooser confirms them: the flags follow the
// key-frame interval and the data rate, kept in whole KiB per second.
CompressOptions ChosenCompressOptions(const CompressOptions& chosen);
// The PCM format the decoder gives for `audio`: itself when it is PCM, else
// the one that converts to it (nullopt when there is none).
std::optional<WaveFormat> DecodeFormatFor(const WaveFormat& audio);

// How the audio-format chooser ended.
enum class ChooserResult { kChosen, kNoDriver, kCancelled, kError };

struct StrToAviDialogModel {
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
  void FormShow(StrDocument& doc, bool halfWidthView);
  // Turns the edits into numbers, falling back where they make no sense.
  void FormClose();
  // The compressor chooser confirmed `chosen` (with the compressor's description).
  void CompressorChosen(const belmora::CompressOptions& chosen, const std::string& description);
  // The audio-format chooser ended; with kChosen, `chosen` is the format picked.
  void AudioFormatChosen(ChooserResult result, const WaveFormat& chosen, Host& host);
  // The settings as the dialog closed with them (after FormClose).
  StrToAviOptions Options() const;

 private:
  double documentRate_ = 0;
};

// The rate, size and stride arithmetic of the export.
uint32_t VideoScaleFor(double videoRate);  // 150000 / rate, truncated; 0 when unusable

}  // namespace belmora
