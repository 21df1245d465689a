// How every frame of an encoding run fares: the room it has, the quantizer
// scale chosen, the bytes it took and how close the result is to the source
// picture; frames whose source matches what they already show can be kept
// untouched. Written as CSV or JSON, and shown by the application.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/host.h"
#include "convert/frame_codec.h"
#include "media/bmp_io.h"
#include "str/str_document.h"

namespace belmora {

// The PSNR of two identical pictures, and the highest one reported.
inline constexpr double kPsnrIdentical = 99.0;
// The default --only-changed threshold: a source at or above this luma PSNR
// against the frame as it is decodes keeps the frame's bitstream.
inline constexpr double kDefaultKeepPsnr = 45.0;

// One frame of a run.
struct FrameFit {
  int Index = 0;              // from the first frame of the run, 0-based
  int32_t FirstSector = 0;    // the frame's first sector
  int Capacity = 0;           // bytes its chunks hold
  int Scale = 0;              // quantizer scale chosen (the frame's own when kept)
  int Bytes = 0;              // bitstream bytes, header included
  double Psnr = 0;            // luma PSNR of the result against the source picture
  bool Kept = false;          // the frame's bytes were left as they were
};

// The line under the table.
struct FitSummary {
  int Frames = 0;
  int Reencoded = 0;
  int Kept = 0;
  int WorstIndex = -1;  // among the re-encoded frames (all frames when none was)
  double WorstPsnr = 0;
  double MeanPsnr = 0;  // likewise
};

class FitReport {
 public:
  void Add(const FrameFit& frame) { frames_.push_back(frame); }
  void Clear() { frames_.clear(); }
  const std::vector<FrameFit>& Frames() const { return frames_; }
  FitSummary Summary() const;
  // "N frames, R re-encoded, K kept; worst frame W at P dB; mean M dB".
  std::string SummaryLine() const;
  // A header row, one row per frame, and a last row with the summary.
  std::string Csv() const;
  // {"frames": [...], "summary": {...}}
  std::string Json() const;
  // Written as JSON when the name ends in .json, else as CSV; false
  // (reported) when the file cannot be written.
  bool Write(const std::string& path, Host& host) const;
  // The report as written to `path`: JSON for a .json file, else CSV.
  std::string Text(const std::string& path) const;

 private:
  std::vector<FrameFit> frames_;
};

// PSNR in dB of the BT.601 luma of two BGR pictures (w x h pixels, with
// their row strides); kPsnrIdentical when they are the same.
double LumaPsnr(const uint8_t* a, size_t strideA, const uint8_t* b, size_t strideB, int w, int h);

// Luma PSNR of the decoded picture against `source` as the encoder sees it
// (its padded area, offsets applied), over the frame's width x height.
double PsnrAgainstSource(const FrameImage& decoded, const TBmpIo& source, int width, int height);

// What a run does with each frame beyond encoding it: keep frames whose
// source matches them, and note every frame in a report.
struct FitOptions {
  FitReport* Report = nullptr;
  double KeepPsnr = 0;  // 0: every frame is encoded
};

// Encodes and stores frames as EncodeAndStoreFrame does, one run long.
class FrameFitter {
 public:
  explicit FrameFitter(const FitOptions& options) : options_(options) {}

  // The current frame from `picture`. `asRead` is the frame's chunk header
  // as the file holds it, for frames already in the file (null for frames
  // laid out anew): when the picture matches the frame's decoded picture at
  // or above the threshold, that header is restored and nothing is written
  // (but a new frame number, when frames are renumbered).
  // The codec's picture is the frame's afterwards. 0, or -1 (reported to
  // `host`, the document's own when none is given).
  [[nodiscard]] int Store(FrameCodec& codec, StrDocument& doc, Host& host, const TBmpIo& picture,
                          FrameNumbering& numbering, const VideoChunkHeader* asRead);
  [[nodiscard]] int Store(FrameCodec& codec, StrDocument& doc, const TBmpIo& picture,
                          FrameNumbering& numbering, const VideoChunkHeader* asRead);
  // A frame the run passed over untouched (its decoded picture the source).
  void NoteKept(const StrDocument& doc, int scale, int bytes);

  int Frames() const { return index_; }
  int Kept() const { return kept_; }

 private:
  void Note(const StrDocument& doc, int scale, int bytes, double psnr, bool kept);
  // The frame as it decodes at full width, whatever the view shows.
  bool DecodeFull(const StrDocument& doc);

  FitOptions options_;
  MdecCodec decoder_;
  FrameImage image_;
  int index_ = 0;
  int kept_ = 0;
};

// The quantizer scale and length of the current frame's bitstream as the
// file holds it (from its chunk header).
void CurrentFrameFit(const StrDocument& doc, int& scale, int& bytes);

// A place for a new file in the temporary folder, removed again at the end:
// a dry run of a new file makes it there.
class ScratchCopy {
 public:
  ScratchCopy() = default;
  ~ScratchCopy();
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;
  // Names the place (false, reported, on failure).
  bool Make(Host& host);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace belmora
