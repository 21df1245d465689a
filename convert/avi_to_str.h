// Putting a video's pictures and sound into the STR: in place in the frames
// of the selection, or laid out anew; the STR grows or shrinks to the
// video's length; and new STR files made from a video.
//
// A conversion is prepared (the video opened, the document set up), its
// settings chosen (defaults from the document and the video, then a dialog
// or the command line's options), and then run.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/host.h"
#include "base/status.h"
#include "convert/avi_to_str_dialog.h"
#include "convert/fit_report.h"
#include "convert/frame_exact.h"
#include "convert/frame_bmp.h"
#include "convert/frame_codec.h"
#include "media/avi_reader.h"
#include "media/filtered_wav_io.h"
#include "str/new_str.h"
#include "str/str_document.h"
#include "xa/xa_codec.h"

namespace belmora {

// Bounds of what a conversion accepts: frame sizes, the tail, the filler
// sectors after the last frame, and the length of an STR (about ten discs).
inline constexpr int kMinFrameDimension = 16;
inline constexpr int kMaxChannel = 31;
inline constexpr int kMaxTailFrames = 100000;
inline constexpr int kMaxTrailingSectors = 1000000;
inline constexpr int32_t kMaxStrSectors = 4500000;

// The video a conversion reads: its pictures with their times, and its
// sound resampled for the XA encoder (linearly, or by the filtered
// resampler when the best quality is asked for).
struct VideoInput {
  TAviIo Avi;
  TWavIo Wav;
  FilteredWavIo FilteredWav;
  AviToStrInputs Inputs(const StrDocument& doc, bool newFile) const;
};
// Opens the video at `path` (a picture sequence at `sequenceRate`); its
// failure is shown. Null on failure.
std::unique_ptr<VideoInput> OpenVideoInput(const std::string& path, Host& host,
                                           double sequenceRate = 15);

// What the conversion works on: the application's records and the main
// window's selection and image position.
struct AviToStrContext {
  StrDocument& Doc;
  FrameCodec& Codec;
  XaEncoderState& Encoder;
  FrameNumbering& Numbering;
  Host& Ui;
  int32_t& SelectionStart;
  int32_t& SelectionEnd;
  ImagePosition Position;
  // The file is a scratch copy thrown away afterwards: a stop needs no question.
  bool Trial = false;
  // Threads that encode frames (0: one per core); the file is the same
  // whatever their number. With more than one, a few frames are laid out
  // ahead of those being encoded, and the user's stop finishes those too.
  int Threads = 0;
  // How video frames meet STR frames (by time unless asked otherwise), and
  // what else each frame's encoding does (null: encode and store it).
  FrameMapping Mapping = FrameMapping::kByTime;
  FrameFitter* Fit = nullptr;
  double SequenceRate = 15;  // frames per second of a picture sequence
  // Frames of the selection that lack sectors are left as they are; without
  // it such a selection is refused before anything is written.
  bool SkipDamaged = false;
};

// The settings' fields that a conversion cannot take, checked in this order.
enum class AviToStrField { kNone, kFrameRate, kSize, kVersion, kChannel, kNumbering, kTailFrames };
// The first field of `options` that the conversion cannot take (reported),
// or kNone.
AviToStrField CheckAviToStrOptions(const StrDocument& doc, const AviToStrOptions& options,
                                   Host& host);

// Where the choices of a conversion come from: the dialogs of the
// application, or the options of the command line. Each returns kCancelled
// when the user cancelled, kFailed when the choices given are refused
// (reported).
class AviToStrChooser {
 public:
  virtual ~AviToStrChooser() = default;
  // The layout of a new file.
  virtual Status ChooseNewStr(NewStrOptions& options) = 0;
  // The settings, for the document (whose current chunk header is the
  // frame at the selection's start) and what the dialog is told.
  virtual Status ChooseSettings(const StrDocument& doc, const AviToStrInputs& inputs,
                                AviToStrOptions& options) = 0;
  // The answer to lengthening (or shortening) the STR to the video's
  // length; nullopt asks the user.
  virtual std::optional<bool> ResizeAnswer() { return std::nullopt; }
  // Whether a frame-by-frame run goes on when the video's frames and the
  // selection's differ in number; nullopt asks the user.
  virtual std::optional<bool> FrameCountAnswer() { return std::nullopt; }
};

// "Converter AVI para STR": the video into the selection of the open STR.
// A value (the frames converted) when the frame loop ran, whatever ended
// it: status() says done, stopped by a failure (reported; the file is put
// back as it was and closed) or by the user (the file keeps what was
// written, whole, or is put back and closed, as the user answers). No
// value when nothing was written: the video failed to open or the settings
// were refused (kFailed), or a choice was cancelled (kCancelled).
Result<int> ConvertAviToStr(AviToStrContext& c, const std::string& aviPath,
                            AviToStrChooser& chooser);

// "Criar novo STR" after its save dialog: creates `strPath` and fills it
// from the video. The file is written as strPath.part and takes its name
// when complete, also when the user stopped the run (what was written is a
// whole file): then the value is the frames converted, and the document is
// the new file. Otherwise nothing is left of the file and the document is
// closed: kFailed (reported), or kCancelled when a choice was cancelled.
Result<int> CreateStrFromAvi(AviToStrContext& c, const std::string& strPath,
                             const std::string& aviPath, AviToStrChooser& chooser);

}  // namespace belmora
