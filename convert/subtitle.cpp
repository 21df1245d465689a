#include "convert/subtitle.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "base/messages.h"
#include "convert/progress.h"
#include "platform/media_module.h"

namespace belmora {

int64_t SubtitleTimeMs(int index, double framesPerSecond, double offsetSeconds) {
  return std::llround((offsetSeconds + index / framesPerSecond) * 1000.0);
}

namespace {

// The decoded picture as a top-down 24-bit picture for the encoder (padded
// widths are multiples of 16, so rows need no padding).
void ToPicture(const FrameImage& image, TBmpIo& picture) {
  picture.Header = BitmapInfoHeader{};
  picture.Header.Width = image.Width;
  picture.Header.Height = -image.Height;
  picture.Header.BitCount = 24;
  picture.Header.ImageSize = uint32_t(image.Pixels.size());
  picture.Pixels = image.Pixels;
  picture.XOffset = picture.YOffset = 0;
}

bool LoadRenderer(SubtitleRenderer& renderer, const SubtitleOptions& o, int width, int height,
                  Host& host) {
  if (!Ok(RequireMediaModule(host))) return false;
  if (!renderer.Load(o.Path, width, height, o.Style)) {
    if (!renderer.ReadProblem().Ok())
      ShowInputProblem(host, o.Path, renderer.ReadProblem());
    else
      Show(host, msg::kSubtitleCannotOpen, o.Path.c_str());
    return false;
  }
  // A file in which not one event could be read is no subtitle file (or
  // not one this reader understands): refused rather than "applied".
  if (renderer.EventCount() == 0) {
    Show(host, msg::kSubtitleNoEvents, o.Path.c_str());
    return false;
  }
  if (renderer.Bounded())
    Show(host, msg::kSubtitleBounded, o.Path.c_str(), SubtitleRenderer::kMaxShownAtOnce,
         SubtitleRenderer::kMaxEvents);
  return true;
}

// The macroblocks (column by column) the text changed weigh kTextEmphasis
// times the others in the best encoder's choices: legible text is worth
// more than the last detail of the picture behind it.
std::vector<uint8_t> TextEmphasis(const std::vector<uint8_t>& before, const FrameImage& after) {
  constexpr int kTextEmphasis = 4;
  const int columns = after.Width / 16, rows = after.Height / 16;
  std::vector<uint8_t> factors(size_t(columns) * size_t(rows), 1);
  if (before.size() != after.Pixels.size()) return factors;
  const size_t stride = size_t(after.Stride());
  for (int y = 0; y < rows * 16; y++)
    for (int x = 0; x < columns * 16; x++) {
      const size_t at = size_t(y) * stride + size_t(x) * 3;
      if (std::memcmp(&before[at], &after.Pixels[at], 3) != 0)
        factors[size_t(x / 16) * size_t(rows) + size_t(y / 16)] = uint8_t(kTextEmphasis);
    }
  return factors;
}

}  // namespace

namespace {

// What a burn carries from frame to frame.
struct Burn {
  SubtitleRenderer Renderer;
  FrameNumbering Numbering;
  TBmpIo Picture;
  std::vector<uint8_t> Before;  // the decoded picture, before the text
  SubtitleCounts Counts;
};

// Refused before anything is written: a file opened read-only, a movie
// without a frame rate, subtitles that do not load, damaged frames in the
// range unless they are to be passed.
bool CheckBurn(StrDocument& doc, const SubtitleOptions& o, Burn& burn, Host& host) {
  if (RefuseIfReadOnly(doc)) return false;
  if (!(doc.FramesPerSecond > 0)) {
    Show(host, msg::kBadFrameRate, doc.FramesPerSecond);
    return false;
  }
  if (!LoadRenderer(burn.Renderer, o, std::max(doc.PictureWidth, 16),
                    std::max(doc.PictureHeight, 16), host))
    return false;
  const auto damaged = DamagedFramesBetween(
      doc, o.FirstSector, o.LastSector >= 0 ? o.LastSector : doc.LastFrameSector);
  if (!damaged.empty() && !o.SkipDamaged) {
    Show(host, msg::kDamagedInRange, doc.Path.c_str(), DamagedFramesText(damaged).c_str());
    return false;
  }
  return true;
}

// The text of the frame just read (the `index`th of the run) drawn onto its
// picture and the frame stored where any was drawn; a frame without text
// is kept as it is. False when the store failed.
bool BurnFrame(StrDocument& doc, FrameCodec& codec, const SubtitleOptions& o, int index,
               FrameFitter& fit, Burn& burn) {
  bool drawn = false;
  burn.Before = codec.Image.Pixels;
  if (doc.FrameDamaged) {
    (void)DecodeCurrentFrame(codec, doc);  // the picture the next frames build on
  } else if (DecodeCurrentFrame(codec, doc) == 0) {
    drawn = burn.Renderer.Draw(SubtitleTimeMs(index, doc.FramesPerSecond, o.OffsetSeconds),
                               codec.Image.Pixels.data(), doc.ChunkHeader.Width,
                               doc.ChunkHeader.Height, size_t(codec.Image.Stride()));
  }
  if (!drawn) {
    int scale = 0, bytes = 0;
    CurrentFrameFit(doc, scale, bytes);
    fit.NoteKept(doc, scale, bytes);
    burn.Counts.Untouched++;
    return true;
  }
  codec.Best.SetEmphasis(TextEmphasis(burn.Before, codec.Image));
  ToPicture(codec.Image, burn.Picture);
  burn.Numbering.NumberLimit = INT32_MAX;
  if (fit.Store(codec, doc, burn.Picture, burn.Numbering, nullptr) != 0 || doc.WriteFailed)
    return false;
  burn.Counts.Changed++;
  return true;
}

}  // namespace

Result<SubtitleCounts> BurnSubtitles(StrDocument& doc, FrameCodec& codec, const SubtitleOptions& o,
                                     FrameFitter& fit, Host& host) {
  Burn burn;
  if (!CheckBurn(doc, o, burn, host)) return Status::kFailed;
  DocumentEdit edit(doc);
  if (!edit.Ok()) return Status::kFailed;

  const int32_t first = o.FirstSector, last = o.LastSector >= 0 ? o.LastSector : doc.LastFrameSector;
  const bool halfView = codec.HalfWidthView;
  codec.HalfWidthView = false;  // the whole picture is encoded back
  Status outcome = Status::kOk;
  host.BeginProgress();
  doc.CurrentSector = first;
  for (int index = 0; doc.CurrentSector <= last; index++) {
    const int r = ReadFrame(doc);
    if (r != 0) {
      if (!doc.WriteFailed) Show(host, msg::kStrReadError);
      outcome = Status::kFailed;
      break;
    }
    if (doc.CurrentSector > last) break;
    if (!BurnFrame(doc, codec, o, index, fit, burn)) {
      outcome = Status::kFailed;
      break;
    }
    host.PreviewFrame(codec.View());
    if (FrameDone(host, doc, first, last)) {
      outcome = Status::kCancelled;
      break;
    }
    doc.CurrentSector = doc.NextSector;
  }
  host.EndProgress();
  codec.HalfWidthView = halfView;
  codec.Best.SetEmphasis({});
  if (doc.WriteFailed) outcome = Status::kFailed;
  // A stopped run keeps the frames done, each whole, or puts the file back,
  // as the user chooses.
  if (outcome == Status::kCancelled && !o.Trial) {
    if (!EndCancelledEdit(edit, doc, host)) outcome = Status::kFailed;
  } else if (outcome != Status::kFailed && !edit.Commit()) {
    outcome = Status::kFailed;
  }
  if (outcome == Status::kFailed) return Status::kFailed;
  return {outcome, burn.Counts};
}

Status AddSubtitlePreview(StrToAviOptions& export_, const StrDocument& doc,
                          const SubtitleOptions& o, Host& host) {
  if (!(doc.FramesPerSecond > 0)) {
    Show(host, msg::kBadFrameRate, doc.FramesPerSecond);
    return Status::kFailed;
  }
  auto renderer = std::make_shared<SubtitleRenderer>();
  const int width = std::max(doc.PictureWidth, 16), height = std::max(doc.PictureHeight, 16);
  if (!LoadRenderer(*renderer, o, width, height, host)) return Status::kFailed;
  const double fps = doc.FramesPerSecond, offset = o.OffsetSeconds;
  export_.Overlay = [renderer, fps, offset, width, height](int index, FrameImage& image) {
    (void)renderer->Draw(SubtitleTimeMs(index, fps, offset), image.Pixels.data(),
                         std::min(width, image.Width), std::min(height, image.Height),
                         size_t(image.Stride()));
  };
  return Status::kOk;
}

}  // namespace belmora
