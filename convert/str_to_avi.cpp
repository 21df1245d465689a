#include "convert/str_to_avi.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <optional>

#include "base/input_file.h"
#include "base/messages.h"
#include "convert/frame_pipeline.h"
#include "convert/movie_sound.h"
#include "convert/output_file.h"
#include "convert/progress.h"
#include "platform/media_module.h"
#include "str/frame_walker.h"

namespace belmora {

int AviAudioState::WriteAudioSector(uint8_t* image) {
  if (image[1] != Channel) return 0;
  int32_t n = 0;
  Decoded.resize(XaMaxOutputBytes(*Decoder));
  XaDecodeSector(*Decoder, image, Decoded.data(), n);
  WritePcm(Decoded.data(), size_t(n));
  return 0;
}

void AviAudioState::WritePcm(const uint8_t* pcm, size_t n) {
  if (Failed) return;
  if (!UseConverter) {
    Failed = !Writer->WriteAudio(pcm, n);
    SamplesWritten += int64_t(n) / BlockSize;
    return;
  }
  if (Fill + n > PcmBuffer.size()) PcmBuffer.resize(Fill + n);
  std::memcpy(PcmBuffer.data() + Fill, pcm, n);
  Fill += n;
  const size_t chunks = Fill / SourceChunk;
  if (chunks == 0) return;
  const size_t used = chunks * SourceChunk;
  if (!Writer->WriteAudio(PcmBuffer.data(), used)) {
    Failed = true;
    return;
  }
  std::memmove(PcmBuffer.data(), PcmBuffer.data() + used, Fill - used);
  Fill -= used;
}

void AviAudioState::Finish() {
  if (UseConverter && Fill > 0 && !Failed) Failed = !Writer->WriteAudio(PcmBuffer.data(), Fill);
  Fill = 0;
}

namespace {

// One export: the request checked, the AVI opened beside its output, then
// the frame loop (frames read ahead in order, decoded on the pipeline's
// threads, written in order, each after the sound its reads passed) and the
// AVI put in place.
class StrToAviRun {
 public:
  StrToAviRun(const StrToAviOptions& form, StrDocument& doc, FrameCodec& codec,
              XaDecoderState& decoder, Host& ui, int threadCount)
      : form_(form), doc_(doc), codec_(codec), decoder_(decoder), ui_(ui), hook_(doc),
        part_(form.OutputPath), width_(form.VideoWidth), height_(form.VideoHeight),
        stride_(size_t(24 * width_ + 31) / 8 & ~size_t(3)),
        threads_(threadCount > 0 ? threadCount : DefaultThreadCount()),
        first_(form.FirstSector), last_(form.LastSector) {}

  Result<StrToAviCounts> Run() {
    if (!CheckRequest()) return Status::kFailed;
    ui_.BeginProgress();
    const bool opened = OpenOutput();
    if (opened) {
      SetUpSound();
      StartWalk();
      while (!stopped_ && doc_.NextSector <= last_ && !readFailed_) {
        ReadAhead();
        while (!stopped_ && pipeline_->Full()) stopped_ = !WriteOldest();
      }
      while (!stopped_ && !pipeline_->Empty()) stopped_ = !WriteOldest();
      EndWalk();
    }
    const bool ok = opened && CloseOutput();
    ui_.EndProgress();
    hook_.Remove();
    if (!ok || !part_.Commit(ui_)) return Status::kFailed;
    counts_.FramesWritten = frameIndex_;
    if (cancelled_) return {Status::kCancelled, counts_};
    return counts_;
  }

 private:
  // A frame read ahead, waiting for its picture and its turn.
  struct ExportFrame {
    FramePosition Position;  // the frame read, and where the walk stands
    std::vector<std::vector<uint8_t>> Sound;
    DeferredMessages Messages;
    bool Decoded = false;
    FrameImage Image;
    std::vector<uint8_t> Frame;  // the AVI frame, when made by the worker
    bool FrameReady = false;
    int StrIndex = 0;  // of the STR frame the picture comes from
  };

  // Refused before anything is touched: writing over the open movie or into
  // a folder, rates that cannot time the frames, sizes no frame has.
  bool CheckRequest() {
    if (RefuseUndecodableMovie(doc_, ui_)) return false;
    if (!CheckOutputPath(ui_, form_.OutputPath, {doc_.Path, doc_.DiskPath()}, true,
                         msg::kSameFile))
      return false;
    scale_ = VideoScaleFor(form_.VideoRate);
    if (scale_ == 0) {
      Show(ui_, msg::kBadFrameRate, form_.VideoRate);
      return false;
    }
    if (width_ < 1 || width_ > kMaxFrameDimension || height_ < 1 || height_ > kMaxFrameDimension) {
      Show(ui_, msg::kBadFrameSize, width_, height_);
      return false;
    }
    if (form_.Audio && !ValidPcmFormat(form_.PcmRate, form_.PcmChannels, form_.PcmBits)) {
      Show(ui_, msg::kBadAudioFormat, form_.PcmRate, form_.PcmChannels, form_.PcmBits);
      return false;
    }
    return Ok(RequireMediaModule(ui_));
  }

  // The AVI, written beside the output and put in its place once complete.
  bool OpenOutput() {
    try {
      frame_.assign(stride_ * size_t(std::max(height_, 0)), 0);
    } catch (const std::bad_alloc&) {
      Show(ui_, msg::kMallocError);
      return false;
    }
    if (!part_.Create(ui_)) return false;
    const PcmFormatInfo pcm{form_.PcmRate, form_.PcmChannels, form_.PcmBits};
    const MediaError opened =
        writer_.Open(part_.Part(), width_, height_, 150000, scale_, form_.Compress,
                     form_.Audio ? &form_.AudioFormat : nullptr, form_.Audio ? &pcm : nullptr);
    switch (opened) {
      case MediaError::kNone:
        return true;
      case MediaError::kDecoder:
        Show(ui_, msg::kVideoCompressorFailed);
        break;
      case MediaError::kAudio:
        Show(ui_, form_.AudioFormat.wFormatTag == kWaveFormatPcm ? msg::kAudioStreamFailed
                                                                 : msg::kAudioCodecFailed);
        break;
      case MediaError::kFormat:
        Show(ui_, msg::kVideoStreamFailed);
        break;
      case MediaError::kModule:
        (void)RequireMediaModule(ui_);
        break;
      default:
        Show(ui_, msg::kAviCreateFailed);
        break;
    }
    writer_.Close();
    return false;
  }

  // The movie's sound, decoded as the reads pass its sectors; sectors passed
  // while a frame is read ahead wait with that frame.
  void SetUpSound() {
    if (!form_.Audio) return;
    sound_.Writer = &writer_;
    sound_.Decoder = &decoder_;
    sound_.Channel = doc_.AudioChannels[0];
    sound_.BlockSize = std::max<int>(1, form_.AudioFormat.nBlockAlign);
    sound_.UseConverter = form_.AudioFormat.wFormatTag != kWaveFormatPcm;
    const size_t bytesPerSecond =
        size_t(form_.PcmRate) * size_t(form_.PcmChannels) * size_t(form_.PcmBits) / 8;
    sound_.SourceChunk = std::max<size_t>(bytesPerSecond, 1);
    sound_.PcmBuffer.assign(2 * sound_.SourceChunk + 256, 0);
    // A layout's own sound is read beside the walk, up to where each frame
    // written ends (its sound sectors come before its frame's).
    if (HasLayoutSound(doc_)) {
      layoutSound_ = layoutStream_.Attach(doc_, kLayoutSound, first_, form_.PcmRate,
                                          form_.PcmChannels, form_.PcmBits);
      return;
    }
    XaSetOutputFormat(decoder_, form_.PcmRate, form_.PcmChannels, form_.PcmBits);
    hook_.Install([this](uint8_t* image) {
      if (heldSound_) {
        heldSound_->emplace_back(image, image + kSectorImageSize);
        return 0;
      }
      if (image[1] == sound_.Channel) counts_.AudioSectors++;
      return sound_.WriteAudioSector(image);
    });
  }

  // The first frame of the range, and the pipeline that decodes ahead.
  void StartWalk() {
    doc_.NextSector = doc_.CurrentSector = first_;
    walker_.emplace(doc_, first_, doc_.LastFrameSector);
    (void)walker_->Next();  // after a failure NextSector stays at the first sector
    (void)DecodeCurrentFrame(codec_, doc_);
    decoders_.assign(size_t(threads_), codec_.Codec);
    pipeline_ = std::make_unique<FramePipeline>(
        threads_, [this](int slot, int worker) { Decode(*jobs_[size_t(slot)], worker); });
    for (int i = 0; i < pipeline_->Depth(); i++) jobs_.push_back(std::make_unique<ExportFrame>());
  }

  // AVI frame k shows the first STR frame whose time is not earlier than
  // k / rate: the STR frames up to it are read, and the record handed to
  // the pipeline.
  void ReadAhead() {
    ExportFrame& job = *jobs_[size_t(pipeline_->NextSlot())];
    // The reads' own messages wait in the job's queue with the rest of its.
    Host& reads = job.Messages.To(*doc_.Ui);
    heldSound_ = &job.Sound;
    const double aviTime = form_.FrameExact ? readIndex_ : readIndex_ / form_.VideoRate;
    while (aviTime > strTime_) {
      const WalkStep step = walker_->Next(reads);
      if (step != WalkStep::kFrame) {
        // A read past the movie's last frame says so too, as it always has.
        Show(job.Messages.To(ui_), msg::kStrReadError);
        // The same position would fail again for every later frame: the
        // AVI ends here, with this frame the last.
        readFailed_ = true;
        break;
      }
      strIndex_++;
      strTime_ = form_.FrameExact ? strIndex_
                                  : (doc_.CurrentSector - first_) * (1.0 / kSectorsPerSecond) /
                                        doc_.SpeedFactor;
    }
    job.StrIndex = strIndex_;
    heldSound_ = nullptr;
    job.Position.Take(doc_);
    readIndex_++;
    pipeline_->Submit();
  }

  // On a pipeline thread: the picture, and where it is whole and needs no
  // overlay, its AVI frame. A frame that lacks chunks is drawn over the
  // picture before it, in turn.
  void Decode(ExportFrame& job, int worker) {
    if (job.Position.FrameDamaged) {
      job.Decoded = job.FrameReady = false;
      return;
    }
    const VideoChunkHeader& h = job.Position.ChunkHeader;
    job.Decoded = DecodeFrameOf(decoders_[size_t(worker)], doc_.Format->Frames(),
                                job.Position.FrameBuffer, h.Width, h.Height,
                                codec_.HalfWidthView, job.Image) == 0;
    // A half-width picture (its right half is the earlier pictures') or a
    // failed one is made in turn.
    job.FrameReady = job.Decoded && !codec_.HalfWidthView && !form_.Overlay;
    if (job.FrameReady) MakeFrame(job.Image, job.Frame);
  }

  // Copies the picture into an AVI frame: rows bottom-up, left edge kept.
  void MakeFrame(const FrameImage& image, std::vector<uint8_t>& out) const {
    out.assign(stride_ * size_t(height_), 0);
    const int rows = std::min(image.Height, height_);
    const size_t rowBytes = std::min(size_t(image.Width) * 3, size_t(width_) * 3);
    const size_t sourceStride = (size_t(image.Stride()) + 3) & ~size_t(3);
    for (int i = 0; i < rows; i++)
      std::memcpy(&out[size_t(rows - 1 - i) * stride_], &image.Pixels[size_t(i) * sourceStride],
                  rowBytes);
  }

  // The picture of the oldest frame, as the viewer would show it.
  void TakePicture(ExportFrame& job) {
    const VideoChunkHeader& h = job.Position.ChunkHeader;
    if (job.Decoded) {
      if (doc_.PictureWidth != h.Width || doc_.PictureHeight != h.Height)
        doc_.SetPictureSize(h.Width, h.Height);
      AdoptDecodedPicture(codec_.Image, job.Image, codec_.HalfWidthView);
    } else if (job.Position.FrameDamaged) {
      ConcealFrame(codec_, job.Position.FrameBuffer, h,
                   IntactFrameBytes(h.ChunkCount, job.Position.ChunksPresent));
      if (doc_.PictureWidth != h.Width || doc_.PictureHeight != h.Height)
        doc_.SetPictureSize(h.Width, h.Height);
      if (damaged_.empty() || damaged_.back().FirstSector != job.Position.CurrentSector)
        damaged_.push_back({job.Position.CurrentSector, h.FrameNumber, uint8_t(h.ChunkCount),
                            uint8_t(std::popcount(job.Position.ChunksPresent))});
    } else {
      // A frame that does not decode is written as the picture then holds it.
      (void)DecodeFrameOf(codec_.Codec, doc_.Format->Frames(), job.Position.FrameBuffer, h.Width, h.Height,
                          codec_.HalfWidthView, codec_.Image);
    }
  }

  // Writes the oldest frame after the sound its reads passed; false when the
  // run stops there.
  bool WriteOldest() {
    ExportFrame& job = *jobs_[size_t(pipeline_->TakeOldest())];
    job.Messages.Replay();
    TakePicture(job);
    ui_.PreviewFrame(codec_.View());
    for (auto& image : job.Sound) {
      if (image[1] == sound_.Channel) counts_.AudioSectors++;
      sound_.WriteAudioSector(image.data());
    }
    job.Sound.clear();
    if (layoutSound_) WriteLayoutSound(job.Position.NextSector);
    if (form_.Overlay) {
      overlaid_ = codec_.Image;
      form_.Overlay(job.StrIndex, overlaid_);
      MakeFrame(overlaid_, job.Frame);
    } else if (!job.FrameReady) {
      MakeFrame(codec_.Image, job.Frame);
    }
    std::swap(written_, job.Position);
    anyWritten_ = true;
    if (!writer_.WriteVideo(job.Frame.data())) {
      Show(ui_, msg::kWriteError, form_.OutputPath.c_str(), WriteFailure(msg::kVideoWriteFailed).c_str());
      writeFailed_ = true;
      return false;
    }
    if (sound_.Failed) return false;
    frameIndex_++;
    ReportFrame(ui_, written_.CurrentSector, written_.ChunkHeader.FrameNumber, first_, last_);
    // The user's stop ends the AVI after this frame; the frames read ahead
    // (and the sound their reads passed) are dropped.
    if (ui_.CancelRequested()) {
      cancelled_ = true;
      return false;
    }
    return true;
  }

  // The layout's own sound up to `sector`.
  void WriteLayoutSound(int32_t sector) {
    layoutPcm_.clear();
    if (!layoutStream_.DecodeUpTo(sector, layoutPcm_)) {
      // A sound sector that cannot be read ends the sound, not the export.
      layoutSound_ = false;
      return;
    }
    sound_.WritePcm(reinterpret_cast<const uint8_t*>(layoutPcm_.data()), layoutPcm_.size());
    counts_.AudioSectors = layoutStream_.Sectors();
  }

  // Frames read after a stop are dropped; the document is left at the last
  // frame written, and the sound's tail is written.
  void EndWalk() {
    while (!pipeline_->Empty()) (void)pipeline_->TakeOldest();
    if (anyWritten_) written_.Swap(doc_);
    ui_.Progress({100, doc_.CurrentSector, doc_.ChunkHeader.FrameNumber});
    if (form_.Audio) sound_.Finish();
    hook_.Remove();
    // Damage in the source is listed; it does not fail the export.
    if (!damaged_.empty())
      Show(ui_, msg::kDamagedFramesShown, doc_.Path.c_str(), DamagedFramesText(damaged_).c_str());
  }

  bool CloseOutput() {
    bool ok = !writeFailed_ && !sound_.Failed;
    if (sound_.Failed)
      Show(ui_, msg::kWriteError, form_.OutputPath.c_str(), WriteFailure(msg::kAudioWriteFailed).c_str());
    if (!writer_.Close() && ok) {
      Show(ui_, msg::kWriteError, form_.OutputPath.c_str(), WriteFailure({"AVI"}).c_str());
      ok = false;
    }
    return ok;
  }

  // Why a write of the AVI failed: the system's reason where it is known.
  std::string WriteFailure(const Message& otherwise) const {
    return writer_.Error() ? ErrorText(writer_.Error()) : std::string(Tr(otherwise.Text));
  }

  const StrToAviOptions& form_;
  StrDocument& doc_;
  FrameCodec& codec_;
  XaDecoderState& decoder_;
  Host& ui_;
  ScopedAudioHook hook_;
  PartFile part_;
  MediaWriter writer_;
  AviAudioState sound_;
  MovieSoundStream layoutStream_;  // a layout's own sound
  bool layoutSound_ = false;
  std::vector<char> layoutPcm_;
  StrToAviCounts counts_;
  const int width_, height_;
  const size_t stride_;
  const int threads_;
  const int32_t first_, last_;
  uint32_t scale_ = 0;
  std::vector<uint8_t> frame_;
  // Audio sectors passed by the reads of a frame read ahead wait with it;
  // null: straight to the writer.
  std::vector<std::vector<uint8_t>>* heldSound_ = nullptr;
  std::vector<MdecCodec> decoders_;
  std::vector<std::unique_ptr<ExportFrame>> jobs_;
  std::unique_ptr<FramePipeline> pipeline_;
  std::optional<FrameWalker> walker_;
  FrameImage overlaid_;  // the picture with the overlay drawn on
  FramePosition written_;  // where the walk stood after the last frame written
  std::vector<MovieFrame> damaged_;  // frames written concealed
  bool anyWritten_ = false, readFailed_ = false, writeFailed_ = false, stopped_ = false,
       cancelled_ = false;
  int frameIndex_ = 0;  // AVI frames written
  int readIndex_ = 0;   // AVI frames read (ahead of those written)
  int strIndex_ = 0;    // the STR frame's index in the range
  double strTime_ = 0;
};

}  // namespace

Result<StrToAviCounts> ConvertStrToAvi(const StrToAviOptions& form, StrDocument& doc,
                                       FrameCodec& codec, XaDecoderState& decoder, Host& ui,
                                       int threadCount) {
  return StrToAviRun(form, doc, codec, decoder, ui, threadCount).Run();
}

}  // namespace belmora
