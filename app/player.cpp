#include "app/player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "convert/frame_codec.h"
#include "str/frame_walker.h"
#include "str/str_document.h"
#include "xa/xa_codec.h"

namespace belmora::app {

// --- the worker ---

FrameReadAhead::FrameReadAhead(const PlaybackStart& start, const PcmFormat* pcm, size_t depth)
    : depth_(std::max<size_t>(depth, 1)) {
  thread_ = std::thread(&FrameReadAhead::Run, this, start, pcm != nullptr,
                        pcm ? *pcm : PcmFormat{});
}

FrameReadAhead::~FrameReadAhead() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  room_.notify_all();
  thread_.join();
}

void FrameReadAhead::Run(PlaybackStart start, bool sound, PcmFormat pcm) {
  // Nothing may escape the thread: whatever goes wrong ends playback.
  try {
    Read(start, sound, pcm);
  } catch (...) {
  }
  std::lock_guard lock(mutex_);
  ended_ = true;
}

void FrameReadAhead::Read(const PlaybackStart& start, bool sound, PcmFormat pcm) {
  // Messages of the worker's own document are nobody's business: a frame
  // that cannot be read ends playback, one that cannot be decoded is skipped.
  CollectingHost quiet;
  AudioSectorHook hook;
  StrDocument doc(quiet, &hook);
  FrameCodec codec;
  XaDecoderState xa;
  std::vector<uint8_t> decoded;

  if (OpenMovieFile(doc, quiet, start.Path, OpenMode::kReadOnly) != 0) return;
  if (start.Movie != 0 && SelectMovie(doc, start.Movie) != 0) return;
  if (doc.PaddedWidth <= 0) return;
  doc.SpeedFactor = start.SpeedFactor;
  codec.HalfWidthView = start.HalfWidthView;
  codec.Image.LayOut(doc.PaddedWidth, doc.PaddedHeight);
  if (sound) {
    XaSetOutputFormat(xa, pcm.Rate, pcm.Channels, 16);
    decoded.resize(XaMaxOutputBytes(xa));
    hook.Install([&](uint8_t* image) {
      if (image[1] != start.AudioChannel) return 0;
      int32_t n = 0;
      XaDecodeSector(xa, image, decoded.data(), n);
      std::lock_guard lock(mutex_);
      sound_.insert(sound_.end(), decoded.begin(), decoded.begin() + n);
      return 0;
    });
  }

  FrameWalker walker(doc, start.StartSector, doc.LastFrameSector);
  for (int index = 0;; index++) {
    {
      std::unique_lock lock(mutex_);
      room_.wait(lock, [this] { return stop_ || frames_.size() < depth_; });
      if (stop_) break;
    }
    if (walker.Next() != WalkStep::kFrame) break;
    const int r = DecodeCurrentFrame(codec, doc);
    PlaybackFrame frame;
    frame.Sector = doc.CurrentSector;
    frame.FrameNumber = doc.ChunkHeader.FrameNumber;
    frame.Index = index;
    if (r == 0) {
      const FrameView v = codec.View();
      frame.Picture = QImage(v.Pixels, v.Width, v.Height, v.Stride, QImage::Format_BGR888)
                          .convertToFormat(QImage::Format_RGB32);
    }
    std::lock_guard lock(mutex_);
    frames_.push_back(std::move(frame));
    framesRead_ = index + 1;
  }
}

bool FrameReadAhead::TakeFrameUpTo(int index, PlaybackFrame& out) {
  {
    std::lock_guard lock(mutex_);
    if (frames_.empty() || frames_.front().Index > index) return false;
    out = std::move(frames_.front());
    frames_.pop_front();
  }
  room_.notify_one();
  return true;
}

size_t FrameReadAhead::TakeSound(char* out, size_t max) {
  std::lock_guard lock(mutex_);
  const size_t n = std::min(max, sound_.size() - soundRead_);
  std::memcpy(out, sound_.data() + soundRead_, n);
  soundRead_ += n;
  if (soundRead_ > (1u << 20) && soundRead_ * 2 > sound_.size()) {
    sound_.erase(sound_.begin(), sound_.begin() + ptrdiff_t(soundRead_));
    soundRead_ = 0;
  }
  return n;
}

size_t FrameReadAhead::FramesWaiting() const {
  std::lock_guard lock(mutex_);
  return frames_.size();
}

size_t FrameReadAhead::SoundWaiting() const {
  std::lock_guard lock(mutex_);
  return sound_.size() - soundRead_;
}

bool FrameReadAhead::Ended() const {
  std::lock_guard lock(mutex_);
  return ended_;
}

int FrameReadAhead::FramesRead() const {
  std::lock_guard lock(mutex_);
  return framesRead_;
}

// --- the window side ---

namespace {

constexpr int kTickMs = 4;
constexpr double kSoundBufferSeconds = 0.2;
// A sound clock that stands still this long with nothing left to play
// hands over to the wall clock.
constexpr double kSoundStall = 0.3;

// The default output device's format for 16-bit stereo sound, if it takes any.
std::optional<QAudioFormat> SoundFormat(const QAudioDevice& device) {
  if (device.isNull()) return std::nullopt;
  QAudioFormat format;
  format.setChannelCount(2);
  format.setSampleFormat(QAudioFormat::Int16);
  const int preferred = device.preferredFormat().sampleRate();
  for (int rate : {preferred, 44100, 48000}) {
    if (rate < 8000 || rate > 192000) continue;
    format.setSampleRate(rate);
    if (device.isFormatSupported(format)) return format;
  }
  return std::nullopt;
}

}  // namespace

Player::Player(const PlaybackStart& start, bool sound, QObject* parent)
    : QObject(parent), start_(start) {
  fps_ = start.FramesPerSecond > 0 ? start.FramesPerSecond : 15;
  depth_ = size_t(std::clamp(int(std::lround(fps_)), 8, 60));  // about a second ahead

  PcmFormat pcm;
  bool withSound = false;
  if (sound && start.AudioChannel >= 0) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (auto format = SoundFormat(device)) {
      sink_ = std::make_unique<QAudioSink>(device, *format);
      sink_->setBufferSize(format->bytesForDuration(qint64(kSoundBufferSeconds * 1e6)));
      pcm = {format->sampleRate(), format->channelCount()};
      withSound = true;
    }
  }
  soundBuffer_.resize(1 << 16);
  reader_ = std::make_unique<FrameReadAhead>(start, withSound ? &pcm : nullptr, depth_);

  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &Player::Tick);
  timer_.start();
}

Player::~Player() {
  timer_.stop();
  if (sink_) sink_->stop();
  reader_.reset();
}

void Player::NotePainted() {
  if (hasCurrent_ && !currentPainted_) {
    currentPainted_ = true;
    stats_.Shown++;
  }
}

PlaybackStats Player::Stats() const {
  PlaybackStats s = stats_;
  s.Sound = soundPlayed_;
  return s;
}

void Player::StartClock() {
  if (sink_) {
    FeedSound();
    soundOut_ = sink_->start();
    if (!soundOut_ || sink_->error() != QAudio::NoError)
      DropSound();
    else
      soundPlayed_ = true;
  }
  wall_.start();
  running_ = true;
}

void Player::DropSound() {
  if (sink_) {
    sink_->stop();
    sink_.reset();
  }
  soundOut_ = nullptr;
  wallBase_ = lastClock_;
  wall_.start();
}

void Player::FeedSound() {
  if (!sink_ || !soundOut_) return;
  qint64 room = sink_->bytesFree();
  while (room >= 4) {
    // Whole sample frames only: 16-bit stereo.
    const size_t want = std::min<size_t>(size_t(room), soundBuffer_.size()) & ~size_t(3);
    const size_t n = reader_->TakeSound(soundBuffer_.data(), want);
    if (n == 0) break;
    const qint64 written = soundOut_->write(soundBuffer_.data(), qint64(n));
    if (written <= 0) break;
    room -= written;
  }
}

double Player::Clock() {
  const double wall = wall_.nsecsElapsed() / 1e9;
  double t;
  if (sink_) {
    t = double(sink_->processedUSecs()) / 1e6;
    const bool nothingToPlay = reader_->SoundWaiting() == 0;
    if (t <= lastClock_ && nothingToPlay) {
      if (soundStalledSince_ < 0) {
        soundStalledSince_ = wall;
      } else if (wall - soundStalledSince_ > kSoundStall) {
        DropSound();
        return lastClock_;
      }
    } else {
      soundStalledSince_ = -1;
    }
    if (sink_->error() == QAudio::FatalError || sink_->error() == QAudio::OpenError) DropSound();
  } else {
    t = wallBase_ + wall;
  }
  lastClock_ = std::max(t, lastClock_);
  return lastClock_;
}

void Player::Tick() {
  if (finished_) return;
  if (!running_) {
    // Let the reader get ahead before the clock starts.
    if (reader_->FramesWaiting() < depth_ && !reader_->Ended()) return;
    StartClock();
  }
  FeedSound();
  const double t = Clock();

  int due = int(std::floor(t * fps_ + 1e-6));
  if (lastIndex_ >= 0) due = std::min(due, lastIndex_);
  stats_.Due = std::max(stats_.Due, due + 1);

  bool changed = false;
  PlaybackFrame frame;
  while (reader_->TakeFrameUpTo(due, frame)) {
    if (hasCurrent_ && !currentPainted_) stats_.Dropped++;
    QImage previous = std::move(current_.Picture);
    current_ = std::move(frame);
    // An undecodable frame keeps the picture before it.
    if (current_.Picture.isNull()) current_.Picture = std::move(previous);
    hasCurrent_ = true;
    currentPainted_ = false;
    changed = true;
  }
  if (changed) emit FrameChanged();

  if (reader_->Ended() && reader_->FramesWaiting() == 0) {
    lastIndex_ = reader_->FramesRead() - 1;
    stats_.Due = std::min(stats_.Due, lastIndex_ + 1);
    if (lastIndex_ < 0 || t >= (lastIndex_ + 1) / fps_) {
      finished_ = true;
      timer_.stop();
      stats_.Seconds = t;
      emit Finished();
    }
  }
}

}  // namespace belmora::app
