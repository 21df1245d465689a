// Playback of the open STR from a frame on, with the movie's own sound: its
// first XA channel, or the layout's own sound (a game's SPU-ADPCM). A
// worker thread reads and decodes ahead with a read-only document of its
// own, so the viewer's document is never touched from another thread; the
// window thread shows each frame when the sound clock (or, without sound, a
// wall clock) reaches its time.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QAudioSink;
class QIODevice;

namespace belmora::app {

// Where and how to play: taken from the viewer's document when playback starts.
struct PlaybackStart {
  std::string Path;
  int32_t StartSector = 0;
  int32_t LastFrameSector = 0;
  int32_t SpeedFactor = 2;
  double FramesPerSecond = 15;
  bool HalfWidthView = false;
  int AudioChannel = -1;  // the XA channel; -1: none
  bool LayoutSound = false;  // the layout's own sound instead of an XA channel
  int Movie = 0;             // which movie of the file, from 0
  bool HasSound() const { return LayoutSound || AudioChannel >= 0; }
};

// One decoded frame, ready to show.
struct PlaybackFrame {
  QImage Picture;  // as shown: the left half with the half-width view
  int32_t Sector = 0;
  uint32_t FrameNumber = 0;
  int Index = 0;  // 0 for the frame playback started from
};

// The sound as the worker decodes it.
struct PcmFormat {
  int Rate = 44100;
  int Channels = 2;  // 16-bit samples
};

// Reads and decodes frames (and the sound among them) on its own thread,
// a bounded number of frames ahead of what the window has taken.
class FrameReadAhead {
 public:
  // `pcm` null: the sound is not decoded.
  FrameReadAhead(const PlaybackStart& start, const PcmFormat* pcm, size_t depth);
  ~FrameReadAhead();
  FrameReadAhead(const FrameReadAhead&) = delete;
  FrameReadAhead& operator=(const FrameReadAhead&) = delete;

  // Takes the oldest waiting frame when its index is at most `index`.
  bool TakeFrameUpTo(int index, PlaybackFrame& out);
  // Moves up to `max` bytes of waiting sound into `out`; the count moved.
  size_t TakeSound(char* out, size_t max);
  size_t FramesWaiting() const;
  size_t SoundWaiting() const;
  // The reader has reached the end (or failed); nothing more will come.
  bool Ended() const;
  // Frames read so far (the index the next one gets).
  int FramesRead() const;

 private:
  void Run(PlaybackStart start, bool sound, PcmFormat pcm);
  void Read(const PlaybackStart& start, bool sound, PcmFormat pcm);

  const size_t depth_;
  mutable std::mutex mutex_;
  std::condition_variable room_;
  std::deque<PlaybackFrame> frames_;
  std::vector<char> sound_;
  size_t soundRead_ = 0;
  bool ended_ = false;
  bool stop_ = false;
  int framesRead_ = 0;
  std::thread thread_;
};

// Frames shown against frames due during one playback.
struct PlaybackStats {
  int Shown = 0;    // frames painted
  int Due = 0;      // frames whose time came
  int Dropped = 0;  // frames replaced before they were painted
  bool Sound = false;  // the sound was played
  double Seconds = 0;
};

class Player : public QObject {
  Q_OBJECT
 public:
  // `sound`: play the sound when the file has some and a device takes it.
  Player(const PlaybackStart& start, bool sound, QObject* parent = nullptr);
  ~Player() override;

  // The frame to show now; null until the first one is ready.
  const PlaybackFrame* Current() const { return hasCurrent_ ? &current_ : nullptr; }
  // Counts the current frame as shown, once.
  void NotePainted();
  PlaybackStats Stats() const;
  bool HasSound() const { return sink_ != nullptr; }

 signals:
  void FrameChanged();
  void Finished();

 private:
  void Tick();
  void StartClock();
  double Clock();
  void FeedSound();
  void DropSound();

  PlaybackStart start_;
  double fps_;
  size_t depth_;
  std::unique_ptr<FrameReadAhead> reader_;
  QTimer timer_;
  QElapsedTimer wall_;
  double wallBase_ = 0;  // the clock when the wall timer took over
  bool running_ = false;
  bool soundPlayed_ = false;  // the sound device took the sound
  bool finished_ = false;
  double lastClock_ = 0;
  double soundStalledSince_ = -1;
  std::unique_ptr<QAudioSink> sink_;
  QIODevice* soundOut_ = nullptr;
  std::vector<char> soundBuffer_;
  PlaybackFrame current_;
  bool hasCurrent_ = false;
  bool currentPainted_ = true;
  int lastIndex_ = -1;  // of the last frame, once the end is known
  PlaybackStats stats_;
};

}  // namespace belmora::app
