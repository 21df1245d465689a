#include "convert/avi_to_str.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/bytes.h"
#include "base/messages.h"
#include "convert/frame_pipeline.h"
#include "convert/output_file.h"
#include "convert/picture_sequence.h"
#include "convert/progress.h"
#include "platform/media_module.h"
#include "str/cd_sector.h"
#include "str/disc_document.h"

namespace belmora {

AviToStrInputs VideoInput::Inputs(const StrDocument& doc, bool newFile) const {
  return {newFile, Avi.FrameRate, doc.FramesPerSecond, Avi.HasAudio};
}

std::unique_ptr<VideoInput> OpenVideoInput(const std::string& path, Host& host,
                                           double sequenceRate) {
  if (!Ok(RequireMediaModule(host))) return nullptr;
  // A sequence with a picture missing, or one no frame can hold, is refused
  // before anything is read or written.
  if (RefuseBadSequence(host, path)) return nullptr;
  auto in = std::make_unique<VideoInput>();
  if (in->Avi.Open(path, sequenceRate) != 0) {
    MessageBoxF(host, "%s", in->Avi.LastError.c_str());
    return nullptr;
  }
  return in;
}

namespace {

// Whether the conversion changes the STR's length.
enum class ResizeMode { kKeep, kLengthen, kShorten };

// How laying out a new frame went.
enum class LayoutResult { kLaidOut, kNoVideoSector, kShortWrite, kTooManySectors };

// One run of the conversion, step by step.
class AviToStrRun {
 public:
  AviToStrRun(AviToStrContext& c, VideoInput& in, bool newFile)
      : c_(c), doc_(c.Doc), in_(in), newFile_(newFile) {}

  // The document made ready for the settings: kCancelled when the user
  // cancelled, kFailed (reported) when the layout cannot be made.
  Status Prepare(AviToStrChooser& chooser);
  // Settings that cannot work are refused before anything is written.
  bool Accept(const AviToStrOptions& options);
  void TakeSettings();
  // False (reported) when the length is beyond any STR's.
  bool DecideLength(AviToStrChooser& chooser);
  // The frame loop: the frames converted, and how it ended: done, failed
  // (reported) or cancelled.
  Result<int> RunFrames();
  // The length set and the sound put away; false on a failure (reported).
  bool Finish();

 private:
  LayoutResult LayOutNewFrame(Host& reads);
  int ReencodeAudioSector(uint8_t* image);
  int FinishStrResize(int32_t next);
  void ChoosePicture();
  bool NextAviFrame();
  bool IsLaidOutAudio(int32_t n) const;
  bool ProtectAhead(int32_t sector, Host& ui);

  AviToStrContext& c_;
  StrDocument& doc_;
  VideoInput& in_;
  const bool newFile_;
  AviToStrOptions s_;
  TBmpIo black_;
  TBmpIo* picture_ = nullptr;
  ResizeMode resize_ = ResizeMode::kKeep;
  int32_t rewriteLimit_ = -1;
  bool aviExhausted_ = false;
  int t_ = 0;
  std::optional<ScopedAudioHook> hook_;
  int32_t protectedUpTo_ = 0;
  bool* tailReset_ = nullptr;  // of the frame being laid out
  int framesDone_ = 0;

  // The frame loop's steps and state.
  struct PendingFrame;
  struct FrameLoop;
  std::unique_ptr<FrameLoop> loop_;
  void StartFrames();
  bool LayOutFrame();
  bool ReadOrLayOut(PendingFrame& f, Host& ui, Host& reads,
                    std::optional<VideoChunkHeader>& asRead);
  void PrepareFrame(PendingFrame& f, Host& reads, const std::optional<VideoChunkHeader>& asRead);
  void TakeNumbering(const PendingFrame& f);
  bool FinishOldest();
  void DrainFrames();
};

// Saves the original bytes of the sectors ahead in one step, instead of one
// journal append for every sector written.
bool AviToStrRun::ProtectAhead(int32_t sector, Host& ui) {
  constexpr int32_t kAhead = 256;
  if (!doc_.File.Journaling() || sector + kMaxChunks * 2 < protectedUpTo_) return true;
  const int64_t from = SectorStartOffset(doc_.Layout(), sector);
  protectedUpTo_ = sector + kAhead;
  if (doc_.File.Protect(from, SectorStartOffset(doc_.Layout(), protectedUpTo_) - from)) return true;
  Show(ui, msg::kWriteError, JournalPath(doc_.DiskPath()).c_str(), std::strerror(doc_.File.Error()));
  doc_.WriteFailed = true;
  return false;
}

// Which sectors of a laid-out frame carry sound.
bool AviToStrRun::IsLaidOutAudio(int32_t n) const {
  return !s_.NoAudio && doc_.AudioInterleave > 0 && doc_.HasSubheaders() &&
         (int64_t(n) - doc_.LastAudioSector) % doc_.AudioInterleave == 0;
}

// The new sectors' write failures are reported to `reads`.
LayoutResult AviToStrRun::LayOutNewFrame(Host& reads) {
  doc_.GeneratedFrames += 1;
  const int32_t end =
      int32_t(doc_.LayoutBaseSector +
              double(int64_t(doc_.GeneratedFrames) * doc_.SpeedFactor * kSectorsPerSecond) /
                  doc_.FramesPerSecond);
  doc_.NextSector = end;
  int video = 0;
  for (int32_t n = doc_.CurrentSector; n < end; n++) video += !IsLaidOutAudio(n);
  if (video > kMaxChunks) return LayoutResult::kTooManySectors;
  doc_.ValidChunkSectors = 0;
  uint8_t image[kSectorImageSize];
  for (int32_t n = doc_.CurrentSector; n < end; n++) {
    std::memset(image, 0, sizeof image);
    if (IsLaidOutAudio(n)) {
      doc_.AudioSubheaderTemplate.Channel = uint8_t(doc_.AudioChannels[0]);
      doc_.AudioSubheaderTemplate.Store(image);
      doc_.AudioSubheaderTemplate.Store(image + 4);
      XaEncodeSector(c_.Encoder, image);
    } else {
      doc_.VideoSubheaderTemplate.Store(image);
      doc_.VideoSubheaderTemplate.Store(image + 4);
      doc_.ChunkSectors[size_t(doc_.ValidChunkSectors++)] = n;
    }
    if (!StoreNewSector(doc_, reads, n, image)) return LayoutResult::kShortWrite;
  }
  doc_.ChunkHeader.ChunkCount = uint16_t(video);
  return video == 0 ? LayoutResult::kNoVideoSector : LayoutResult::kLaidOut;
}

int AviToStrRun::ReencodeAudioSector(uint8_t* image) {
  if (s_.NoAudio) return 0;
  // In a file of several movies the sound of the others is theirs: only the
  // edited movie's own channel is encoded anew.
  if (!s_.RebuildSectors && doc_.Movies.size() > 1)
    if (const Movie* movie = doc_.CurrentMovie(); movie && image[1] != movie->AudioChannel)
      return 0;
  if (s_.RebuildSectors) {
    Subheader sub = AudioSubheader(doc_.AudioChannels[0] & 0xFF, CodingFor(s_.HighRate, s_.Stereo));
    sub.Store(image);
    sub.Store(image + 4);
  }
  XaEncodeSector(c_.Encoder, image);
  return 1;
}

int AviToStrRun::FinishStrResize(int32_t next) {
  uint8_t filler[kSectorImageSize] = {};
  kFillerSubheader.Store(filler);
  kFillerSubheader.Store(filler + 4);
  for (int32_t i = 0; i < doc_.TrailingSectors; i++)
    if (!StoreNewSector(doc_, next + i, filler)) return -1;
  const int64_t sectors = int64_t(next) + doc_.TrailingSectors;
  const int64_t end = SectorStartOffset(doc_.Layout(), sectors);
  // Shortened, or lengthened but stopped before the file grew past the
  // last converted frame: what lies after the new end goes, so that no old
  // frame follows the new ones under a header that does not count it.
  const int64_t size = doc_.File.Size();
  if (resize_ != ResizeMode::kKeep && (size < 0 || size > end) && !doc_.File.Truncate(end)) {
    Show(c_.Ui, msg::kWriteError, doc_.Path.c_str(), std::strerror(doc_.File.Error()));
    doc_.WriteFailed = true;
    return -1;
  }
  doc_.SectorCount = int32_t(sectors);
  if (doc_.HasRiffHeader) {
    uint8_t size[4];
    PutU32(size, uint32_t(end - 8));
    if (!StoreBytes(doc_, 4, size, 4)) return -1;
    PutU32(size, uint32_t(end - kCdxaHeaderSize));
    if (!StoreBytes(doc_, kCdxaHeaderSize - 4, size, 4)) return -1;
  }
  (void)FindLastFrame(doc_);
  return 0;
}

bool AviToStrRun::NextAviFrame() {
  if (TBmpIo* img = in_.Avi.NextFrame(&t_)) {
    picture_ = img;
    return true;
  }
  picture_ = &black_;
  if (!aviExhausted_) {
    // The numbers change for the frame being laid out, when it is finished.
    if (tailReset_) *tailReset_ = true;
    aviExhausted_ = true;
  }
  return false;
}

// The video frame whose time matches the STR frame's: catch up by skipping
// video frames, step to the next one, or show the same one again.
void AviToStrRun::ChoosePicture() {
  const int ts = int((int64_t(doc_.CurrentSector - c_.SelectionStart) * 1000 / kSectorsPerSecond) /
                     doc_.SpeedFactor);
  const int d = in_.Avi.FrameDurationMs;
  if (ts > t_ + d) {
    while (ts > t_ + d && NextAviFrame()) {
    }
  } else if (t_ >= d && ts > t_ - d) {
    NextAviFrame();
  }
}

Status AviToStrRun::Prepare(AviToStrChooser& chooser) {
  StrDocument& doc = doc_;
  if (!newFile_) {
    (void)FindFrameStart(doc, c_.SelectionStart);  // its header gives the settings' defaults
    return Status::kOk;
  }
  doc.ChunkHeader = VideoChunkHeader{};
  const int width = in_.Avi.Image.Header.Width, height = in_.Avi.Image.Rows();
  if (width < kMinFrameDimension || width > kMaxFrameDimension || height < kMinFrameDimension ||
      height > kMaxFrameDimension) {
    Show(c_.Ui, msg::kBadFrameSize, width, height);
    return Status::kFailed;
  }
  NewStrOptions layout;
  if (const Status chosen = chooser.ChooseNewStr(layout); !Ok(chosen)) return chosen;
  // Chunk headers no reader takes for frames, or a tail no file has, make
  // nothing anyone can use.
  VideoChunkHeader probe;
  probe.Status = layout.Status;
  probe.Type = layout.Type;
  probe.ChunkCount = 1;
  if (!IsFrameStartHeader(probe)) {
    Show(c_.Ui, msg::kBadChunkHeader, layout.Status, layout.Type);
    return Status::kFailed;
  }
  if (layout.TrailingSectors < 0 || layout.TrailingSectors > kMaxTrailingSectors) {
    Show(c_.Ui, msg::kBadCount, layout.TrailingSectors);
    return Status::kFailed;
  }
  if (ApplyNewStrOptions(doc, layout) != 0) return Status::kFailed;
  doc.ChunkHeader.FrameNumber = 1;
  doc.ChunkHeader.Width = uint16_t(width);
  doc.ChunkHeader.Height = uint16_t(height);
  if (in_.Avi.HasAudio) {
    doc.AudioChannelCount = 1;
    doc.AudioChannels[0] = 1;
    // 37.8 kHz only from sound above 37800 Hz.
    doc.AudioCodings[0] =
        CodingFor(in_.Avi.PcmFormat.nSamplesPerSec > 37800, in_.Avi.PcmFormat.nChannels == 2);
  }
  return Status::kOk;
}

}  // namespace

AviToStrField CheckAviToStrOptions(const StrDocument& doc, const AviToStrOptions& options,
                                   Host& host) {
  // At most one frame a sector.
  if (!(options.FrameRate > 0) || !std::isfinite(options.FrameRate) ||
      options.FrameRate > double(kSectorsPerSecond) * doc.SpeedFactor) {
    Show(host, msg::kBadFrameRate, options.FrameRate);
    return AviToStrField::kFrameRate;
  }
  if (options.FrameWidth < kMinFrameDimension || options.FrameWidth > kMaxFrameDimension ||
      options.FrameHeight < kMinFrameDimension || options.FrameHeight > kMaxFrameDimension) {
    Show(host, msg::kBadFrameSize, options.FrameWidth, options.FrameHeight);
    return AviToStrField::kSize;
  }
  if (options.MdecVersion != 2 && options.MdecVersion != 3) {
    Show(host, msg::kBadVersion, options.MdecVersion);
    return AviToStrField::kVersion;
  }
  if (options.AudioChannel < 0 || options.AudioChannel > kMaxChannel) {
    Show(host, msg::kBadChannel, options.AudioChannel);
    return AviToStrField::kChannel;
  }
  if (!options.KeepFrameNumbers && options.MinNumber > options.MaxNumber) {
    Show(host, msg::kBadNumbering, options.MinNumber, options.MaxNumber);
    return AviToStrField::kNumbering;
  }
  if (options.TailFrames < 0 || options.TailFrames > kMaxTailFrames) {
    Show(host, msg::kBadCount, options.TailFrames);
    return AviToStrField::kTailFrames;
  }
  return AviToStrField::kNone;
}

namespace {

bool AviToStrRun::Accept(const AviToStrOptions& options) {
  const StrDocument& doc = doc_;
  if (CheckAviToStrOptions(doc, options, c_.Ui) != AviToStrField::kNone) return false;
  const bool layout = newFile_ || options.RebuildSectors || c_.SelectionEnd >= doc.LastFrameSector;
  const int interleave =
      InterleaveFor(doc.SpeedFactor, CodingFor(options.HighRate, options.Stereo));
  const double perFrame = double(kSectorsPerSecond) * doc.SpeedFactor / options.FrameRate;
  const bool audioSectors = !options.NoAudio && doc.HasSubheaders();
  if (layout &&
      std::ceil(perFrame) - (audioSectors ? std::floor(perFrame / interleave) : 0) > kMaxChunks) {
    Show(c_.Ui, msg::kTooManySectors, options.FrameRate);
    return false;
  }
  s_ = options;
  return true;
}

void AviToStrRun::TakeSettings() {
  StrDocument& doc = doc_;
  doc.AudioChannels[0] = s_.AudioChannel;
  doc.FramesPerSecond = s_.FrameRate;
  c_.Numbering = {!s_.KeepFrameNumbers, s_.StartNumber, s_.MinNumber, s_.MaxNumber};
  c_.Codec.Encoder = s_.BestQuality ? EncoderChoice::kBest : EncoderChoice::kExact;
  // The sound is taken from its start by the resampler the settings ask for.
  SamplePairSource* sound = &in_.Wav;
  if (s_.BestQuality) {
    in_.FilteredWav.Attach(in_.Avi);
    sound = &in_.FilteredWav;
  } else {
    in_.Wav.Attach(in_.Avi);
  }
  XaEncodeSetup(c_.Encoder, *sound, s_.HighRate ? 37800 : 18900, s_.Stereo ? 2 : 1);
  doc.VideoSubheaderTemplate = kVideoSubheader;
  doc.AudioSubheaderTemplate = AudioSubheader(s_.AudioChannel & 0xFF, CodingFor(s_.HighRate, s_.Stereo));
  doc.AudioInterleave = InterleaveFor(doc.SpeedFactor, CodingFor(s_.HighRate, s_.Stereo));
  doc.LayoutBaseSector = c_.SelectionStart;
  doc.LastAudioSector = c_.SelectionStart - 1;
  doc.GeneratedFrames = 0;
  rewriteLimit_ = s_.RebuildSectors ? -1 : c_.SelectionEnd;
}

bool AviToStrRun::DecideLength(AviToStrChooser& chooser) {
  StrDocument& doc = doc_;
  if (c_.SelectionEnd < doc.LastFrameSector || c_.Mapping == FrameMapping::kFrameExact) return true;
  const double wanted =
      double(c_.SelectionStart +
             int64_t(in_.Avi.LengthMs()) * doc.SpeedFactor * kSectorsPerSecond / 1000) +
      (s_.TailFrames / s_.FrameRate) * kSectorsPerSecond * doc.SpeedFactor;
  // No STR is longer than a disc holds many times over.
  if (!(wanted <= kMaxStrSectors)) {
    Show(c_.Ui, msg::kTooLong, wanted);
    return false;
  }
  const int32_t target = int32_t(wanted);
  const bool longer = target > doc.LastFrameSector;
  bool yes = true;
  if (!newFile_) {
    auto answer = chooser.ResizeAnswer();
    yes = answer ? *answer
                 : AskQuestion(c_.Ui, longer ? msg::kLengthen : msg::kShorten, Buttons::kYesNo) ==
                       Answer::kYes;
  }
  if (!yes) return true;
  if (RefuseIfFixedLength(doc)) return false;  // a file inside a disc image
  // New sectors would be laid out in the standard layout, not the game's.
  if (!newFile_ && !doc.Format->Info().LaysOutAnew) {
    Show(c_.Ui, msg::kFormatRelayout, doc.Path.c_str(), doc.Format->Name());
    return false;
  }
  // Growing or shrinking would move the sectors of the movies among these.
  if (!newFile_ && HasInterleavedMovies(doc)) {
    Show(c_.Ui, msg::kInterleavedRelayout, doc.Path.c_str());
    return false;
  }
  resize_ = newFile_ || longer ? ResizeMode::kLengthen : ResizeMode::kShorten;
  c_.SelectionEnd = target;
  doc.LastFrameSector = target;
  doc.SectorCount = target + doc.TrailingSectors;
  return true;
}

// One frame of the run between its layout (or read) and its write: the
// encoding runs on the pipeline's threads, everything else in frame order.
constexpr int kHistoryLag = 16;
struct AviToStrRun::PendingFrame {
  FramePosition Position;  // the document's record of the frame
  DeferredMessages Messages;
  bool Failed = false;     // its layout, read or preparation failed (reported)
  bool Renumber = false;   // laid out anew: numbered from here on
  bool TailReset = false;  // the video ran out while its picture was chosen
  bool WriteFailed = false;  // a write failed by the end of its layout
  bool Stored = false;       // encoded (or kept) and written as it was laid out
  EncodeWork Work;
  // The best encoder's searches start where those of the frame
  // kHistoryLag frames before ended, whatever the number of threads.
  BestEncoder::History StartHistory, EndHistory;
  bool Decoded = false;
  FrameImage Image;  // the encoding decoded again, for the preview
};

// What the frame loop keeps between its steps.
struct AviToStrRun::FrameLoop {
  // Each thread encodes with a codec of its own, set as the run's.
  std::vector<std::unique_ptr<FrameCodec>> Codecs;
  std::vector<std::unique_ptr<PendingFrame>> Frames;
  std::unique_ptr<FramePipeline> Pipeline;
  std::vector<BestEncoder::History> Histories;
  // Each encoding is decoded again for the preview, when there is one to show.
  bool Previews = false;
  int64_t LaidOut = 0, Finished = 0;  // frames
  FramePosition Done;  // the document's record after the last frame finished
  bool AnyDone = false;
  // A failed write is reported once, by the first write that fails in
  // frame order: the layouts ahead and the frames finished each keep their
  // own record of it, and a frame is finished knowing of its own layout's.
  bool LaidOutWriteFailed = false, FinishedWriteFailed = false;
  Status Outcome = Status::kOk;
  int Converted = 0;  // frames finished
};

Result<int> AviToStrRun::RunFrames() {
  StartFrames();
  bool stopped = false;
  while (!stopped && doc_.IsOpen() && doc_.NextSector <= c_.SelectionEnd) {
    stopped = !LayOutFrame();
    while (!stopped && loop_->Pipeline->Full()) stopped = !FinishOldest();
    // The user's stop is asked for as each frame is laid out; the frames
    // already laid out are still finished.
    if (!stopped && c_.Ui.CancelRequested()) {
      loop_->Outcome = Status::kCancelled;
      break;
    }
  }
  DrainFrames();
  return {loop_->Outcome, loop_->Converted};
}

// The first picture, the sound hook, and the pipeline that encodes ahead
// (one thread for a fit report, which encodes or keeps each frame as it is
// laid out).
void AviToStrRun::StartFrames() {
  StrDocument& doc = doc_;
  c_.Ui.BeginProgress();
  black_.Header.Width = black_.Header.Height = 1;
  black_.Header.BitCount = 24;
  (void)black_.AllocPixels(c_.Ui);
  picture_ = in_.Avi.NextFrame(&t_);
  if (!picture_) picture_ = &black_;
  hook_.emplace(doc);
  hook_->Install([this](uint8_t* image) { return ReencodeAudioSector(image); });
  doc.NextSector = c_.SelectionStart;

  loop_ = std::make_unique<FrameLoop>();
  FrameLoop& l = *loop_;
  const int threads = c_.Fit ? 1 : c_.Threads > 0 ? c_.Threads : DefaultThreadCount();
  for (int t = 0; t < threads; t++) l.Codecs.push_back(std::make_unique<FrameCodec>(c_.Codec));
  l.Previews = c_.Ui.WantsPreviews();
  l.Pipeline = std::make_unique<FramePipeline>(threads, [this](int slot, int worker) {
    FrameLoop& l = *loop_;
    PendingFrame& f = *l.Frames[size_t(slot)];
    FrameCodec& codec = *l.Codecs[size_t(worker)];
    codec.Best.SetSearchHistory(f.StartHistory);
    RunEncode(codec, f.Work);
    f.EndHistory = codec.Best.SearchHistory();
    f.Decoded = f.Work.Status == EncodeStatus::kOk &&
                (!l.Previews ||
                 DecodeFrameOf(codec.Codec, f.Work.Coding, f.Work.Encoded.Bytes,
                               f.Work.Request.Width, f.Work.Request.Height, codec.HalfWidthView,
                               f.Image) == 0);
  }, kHistoryLag);
  l.Histories.assign(kHistoryLag, c_.Codec.Best.SearchHistory());
  for (int i = 0; i < l.Pipeline->Depth(); i++) l.Frames.push_back(std::make_unique<PendingFrame>());
  l.LaidOutWriteFailed = l.FinishedWriteFailed = doc.WriteFailed;
}

// Lays out (or reads) the next frame, chooses its picture and prepares its
// encoding, then hands it to the pipeline; false when it failed (reported).
bool AviToStrRun::LayOutFrame() {
  StrDocument& doc = doc_;
  FrameLoop& l = *loop_;
  PendingFrame& f = *l.Frames[size_t(l.Pipeline->NextSlot())];
  tailReset_ = &f.TailReset;
  f.StartHistory = l.Histories[size_t(l.LaidOut++ % kHistoryLag)];
  f.Failed = f.Renumber = f.TailReset = f.Stored = false;
  std::optional<VideoChunkHeader> asRead;  // a frame already in the file, as it is there
  // What the frame's reads and writes of the document say waits with the
  // rest of its messages.
  Host& reads = f.Messages.To(*doc.Ui);
  Host& ui = f.Messages.To(c_.Ui);
  doc.WriteFailed = l.LaidOutWriteFailed || l.FinishedWriteFailed;
  f.Failed = !ReadOrLayOut(f, ui, reads, asRead);
  if (!f.Failed) {
    if (c_.Mapping != FrameMapping::kFrameExact)
      ChoosePicture();
    else if (framesDone_ > 0)
      NextAviFrame();
    framesDone_++;
    PrepareFrame(f, reads, asRead);
  }
  tailReset_ = nullptr;
  l.LaidOutWriteFailed = f.WriteFailed = doc.WriteFailed;
  f.Position.Take(doc);
  if (f.Failed) {
    l.Pipeline->SubmitDone();
    return false;
  }
  l.Pipeline->Submit();
  return true;
}

// The frame's sectors: new ones laid out past the part rewritten in place,
// else the frame read where it is; the document's own messages go to
// `reads`. False when that failed (reported).
bool AviToStrRun::ReadOrLayOut(PendingFrame& f, Host& ui, Host& reads,
                               std::optional<VideoChunkHeader>& asRead) {
  StrDocument& doc = doc_;
  doc.CurrentSector = doc.NextSector;
  doc.FrameDamaged = false;  // until a frame read says otherwise
  if (!ProtectAhead(doc.CurrentSector, ui)) return false;
  if (doc.CurrentSector > rewriteLimit_) {
    f.Renumber = true;
    const LayoutResult r = LayOutNewFrame(reads);
    if (r == LayoutResult::kLaidOut) return true;
    // A failed write has been reported where it happened.
    if (r == LayoutResult::kTooManySectors) Show(ui, msg::kTooManySectors, s_.FrameRate);
    if (r == LayoutResult::kNoVideoSector) Show(ui, msg::kFrameLayoutError);
    return false;
  }
  if (ReadFrame(doc, reads) != 0) {
    if (!doc.WriteFailed) Show(ui, msg::kSourceReadError);
    return false;
  }
  asRead = doc.ChunkHeader;
  return true;
}

// The frame's header set from the settings and its picture taken: encoded
// and stored now for a fit report, else prepared for the pipeline. A frame
// read that lacks sectors stays as it is.
void AviToStrRun::PrepareFrame(PendingFrame& f, Host& reads,
                               const std::optional<VideoChunkHeader>& asRead) {
  StrDocument& doc = doc_;
  if (asRead && doc.FrameDamaged) {
    f.Stored = true;
    return;
  }
  doc.ChunkHeader.Width = uint16_t(s_.FrameWidth);
  doc.ChunkHeader.Height = uint16_t(s_.FrameHeight);
  PutU16(&doc.ChunkHeader.MdecHeader[6], uint32_t(s_.MdecVersion));
  picture_->XOffset = c_.Position.ImageOffsetX;
  picture_->YOffset = c_.Position.ImageOffsetY;
  if (c_.Fit) {
    // Encoded, or kept as it is, and written now, numbered as it goes.
    TakeNumbering(f);
    f.Stored = true;
    f.Failed = RefuseIfReadOnly(doc, reads) ||
               c_.Fit->Store(c_.Codec, doc, reads, *picture_, c_.Numbering,
                             asRead ? &*asRead : nullptr) != 0;
  } else {
    // The picture is taken now: the video moves on before it is encoded.
    f.Failed = RefuseIfReadOnly(doc, reads) || PrepareEncode(doc, reads, *picture_, f.Work) != 0;
  }
}

// A frame laid out anew is numbered from here on; one laid out after the
// video ran out takes the tail's numbers.
void AviToStrRun::TakeNumbering(const PendingFrame& f) {
  if (f.Renumber) c_.Numbering.Renumber = true;
  if (f.TailReset) {
    c_.Numbering.NextNumber = c_.Numbering.WrapNumber = s_.TailNumber;
    c_.Numbering.NumberLimit = INT_MAX;
  }
}

// The oldest frame encoded, written and decoded as EncodeAndStoreFrame
// does; false when the run stops there.
bool AviToStrRun::FinishOldest() {
  StrDocument& doc = doc_;
  FrameLoop& l = *loop_;
  PendingFrame& f = *l.Frames[size_t(l.Pipeline->TakeOldest())];
  f.Messages.Replay();
  std::swap(l.Done, f.Position);
  l.AnyDone = true;
  if (f.Failed) {
    l.Outcome = Status::kFailed;
    return false;
  }
  if (f.Stored) {
    l.Converted++;
    c_.Ui.PreviewFrame(c_.Codec.View());
    ReportFrame(c_.Ui, l.Done.CurrentSector, l.Done.ChunkHeader.FrameNumber, c_.SelectionStart,
                c_.SelectionEnd);
    return true;
  }
  TakeNumbering(f);
  l.Histories[size_t(l.Finished++ % kHistoryLag)] = f.EndHistory;
  c_.Codec.Best.SetSearchHistory(f.EndHistory);
  l.Done.Swap(doc);
  doc.WriteFailed = l.FinishedWriteFailed || f.WriteFailed;
  int r = FinishEncode(doc, f.Work, c_.Numbering);
  if (r == 0) r = WriteFrame(doc);
  l.FinishedWriteFailed = doc.WriteFailed;
  if (r == 0 && !f.Decoded) r = -1;
  if (r == 0) {
    if (doc.PictureWidth != f.Work.Request.Width || doc.PictureHeight != f.Work.Request.Height)
      doc.SetPictureSize(f.Work.Request.Width, f.Work.Request.Height);
    if (l.Previews) AdoptDecodedPicture(c_.Codec.Image, f.Image, c_.Codec.HalfWidthView);
  }
  l.Done.Swap(doc);
  // A frame that cannot be encoded or stored ends the run (reported).
  if (r != 0) {
    l.Outcome = Status::kFailed;
    return false;
  }
  l.Converted++;
  if (l.Previews) c_.Ui.PreviewFrame(c_.Codec.View());
  ReportFrame(c_.Ui, l.Done.CurrentSector, l.Done.ChunkHeader.FrameNumber, c_.SelectionStart,
              c_.SelectionEnd);
  return true;
}

// The frames laid out are finished (after a failure, dropped), and the
// document is left at the last frame finished.
void AviToStrRun::DrainFrames() {
  StrDocument& doc = doc_;
  FrameLoop& l = *loop_;
  bool stopped = l.Outcome == Status::kFailed;
  while (!l.Pipeline->Empty()) {
    if (stopped) {
      (void)l.Pipeline->TakeOldest();  // laid out after a failure: not finished
    } else {
      stopped = !FinishOldest();
    }
  }
  l.Pipeline.reset();  // its threads end with the loop
  if (l.AnyDone) l.Done.Swap(doc);
  doc.WriteFailed = l.FinishedWriteFailed || (!l.AnyDone && l.LaidOutWriteFailed);
}

bool AviToStrRun::Finish() {
  bool ok = true;
  if (resize_ != ResizeMode::kKeep && doc_.IsOpen()) {
    ok = FinishStrResize(doc_.NextSector) == 0;
    if (doc_.IsOpen()) c_.SelectionEnd = doc_.LastFrameSector;
  }
  hook_.reset();
  in_.Avi.Close();
  c_.Ui.EndProgress();
  return ok;
}

// Prepare, choose, run.
Result<int> Convert(AviToStrContext& c, const std::string& aviPath, bool newFile,
                    AviToStrChooser& chooser) {
  if (!newFile && RefuseIfReadOnly(c.Doc)) return Status::kFailed;
  auto in = OpenVideoInput(aviPath, c.Ui, c.SequenceRate);
  if (!in) return Status::kFailed;
  AviToStrRun run(c, *in, newFile);
  if (const Status prepared = run.Prepare(chooser); !Ok(prepared)) return prepared;
  AviToStrOptions options;
  if (const Status chosen = chooser.ChooseSettings(c.Doc, in->Inputs(c.Doc, newFile), options);
      !Ok(chosen))
    return chosen;
  if (!newFile) {
    const MovieLayout& layout = *c.Doc.Format;
    if (options.RebuildSectors && !layout.Info().LaysOutAnew) {
      Show(c.Ui, msg::kFormatRelayout, c.Doc.Path.c_str(), layout.Name());
      return Status::kFailed;
    }
    // A game's own sound sectors are not XA: the pictures alone are replaced.
    if (!options.NoAudio && layout.Sound() == SoundCoding::kSpuAdpcm) {
      Show(c.Ui, msg::kGameSoundKept, c.Doc.Path.c_str(), layout.Name());
      options.NoAudio = true;
    }
  }
  if (!run.Accept(options)) return Status::kFailed;
  if (!newFile) {
    // Laid out anew, the frames would move the sectors of movies among them.
    if (options.RebuildSectors && HasInterleavedMovies(c.Doc)) {
      Show(c.Ui, msg::kInterleavedRelayout, c.Doc.Path.c_str());
      return Status::kFailed;
    }
    const auto damaged = DamagedFramesBetween(c.Doc, c.SelectionStart, c.SelectionEnd);
    if (!damaged.empty() && !c.SkipDamaged) {
      Show(c.Ui, msg::kDamagedInRange, c.Doc.Path.c_str(), DamagedFramesText(damaged).c_str());
      return Status::kFailed;
    }
    if (const Status mapped =
            ResolveFrameMapping(c.Doc, c.Ui, in->Avi, c.SelectionStart, c.SelectionEnd,
                                options.RebuildSectors, c.Mapping, chooser.FrameCountAnswer());
        !Ok(mapped))
      return mapped;
  }
  // An existing file is edited under a rollback journal: a failure puts it
  // back as it was; a new file is a .part file of its own.
  std::optional<DocumentEdit> edit;
  if (!newFile) {
    edit.emplace(c.Doc);
    if (!edit->Ok()) return Status::kFailed;
  }
  run.TakeSettings();
  if (!run.DecideLength(chooser)) return Status::kFailed;
  const Result<int> ran = run.RunFrames();
  Status outcome = ran.status();
  if (!run.Finish() || c.Doc.WriteFailed) outcome = Status::kFailed;
  if (edit && outcome == Status::kCancelled && !c.Trial) {
    if (!EndCancelledEdit(*edit, c.Doc, c.Ui)) outcome = Status::kFailed;
  } else if (outcome != Status::kFailed && edit && !edit->Commit()) {
    outcome = Status::kFailed;
  }
  return {outcome, *ran};
}

}  // namespace

Result<int> ConvertAviToStr(AviToStrContext& c, const std::string& aviPath,
                            AviToStrChooser& chooser) {
  return Convert(c, aviPath, false, chooser);
}

Result<int> CreateStrFromAvi(AviToStrContext& c, const std::string& strPath,
                             const std::string& aviPath, AviToStrChooser& chooser) {
  if (!CheckOutputPath(c.Ui, strPath, {aviPath}, true)) return Status::kFailed;
  if (!Ok(RequireMediaModule(c.Ui))) return Status::kFailed;
  PartFile part(FullPath(strPath));
  if (!part.Create(c.Ui)) return Status::kFailed;
  if (CreateStrFile(c.Doc, part.Part()) != 0) {
    Show(c.Ui, msg::kCannotOpenFile);
    return Status::kFailed;
  }
  c.SelectionStart = c.SelectionEnd = 0;
  const Result<int> ran = Convert(c, aviPath, true, chooser);
  // A whole file (also a cancelled one) takes its name; anything else goes.
  if (ran.has_value() && ran.status() != Status::kFailed && c.Doc.IsOpen()) {
    if (!c.Doc.File.Sync()) {
      Show(c.Ui, msg::kWriteError, part.Part().c_str(), std::strerror(c.Doc.File.Error()));
    } else if ((!c.Doc.BeforeCommit || c.Doc.BeforeCommit()) && part.Commit(c.Ui)) {
      c.Doc.Path = part.Final();
      return ran;
    }
  }
  CloseStrFile(c.Doc);
  // Nothing written (a choice cancelled, or refused) or a failure: the file goes.
  return ran.has_value() ? Status::kFailed : ran.status();
}

}  // namespace belmora
