// The viewer: the client area of the main window. It holds the open STR
// document and shows one frame of it at a time (the picture at its origin,
// the track bar with its time labels, Panel2 with Label1 and the frame
// buttons), moves through the movie by frame and by time, and keeps the
// selection. Playback and the questions around opening belong to the window.
#pragma once

#include <QFrame>
#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/bar_layout.h"
#include "app/track_bar.h"
#include "base/host.h"
#include "base/status.h"
#include "convert/frame_bmp.h"
#include "convert/frame_codec.h"
#include "convert/frame_facts.h"
#include "str/str_document.h"

class QLabel;
class QToolButton;

namespace belmora::app {

class Player;
struct PlaybackStart;

// What a quiet, read-only look at a file found, before the file shown is
// given up for it.
struct FileProbe {
  bool Opens = false;    // recognised as an STR file
  bool Picture = false;  // with a picture size
  std::vector<Movie> Movies;
  int SpeedFactor = 2;
  std::string Layout;   // the name of the file's layout
  std::string Failure;  // why it did not open: the system's reason or the opener's
};
FileProbe ProbeFile(const std::string& name);

class Viewer : public QWidget {
  Q_OBJECT
 public:
  // Messages of the document go to `host`.
  explicit Viewer(Host& host, QWidget* parent = nullptr);
  ~Viewer() override;

  // The document shown and the codec its frames are decoded with.
  StrDocument& Document() { return doc_; }
  const StrDocument& Document() const { return doc_; }
  FrameCodec& Codec() { return codec_; }

  // What is shown: a document (or a new file a conversion fills), and the
  // selection, in sectors.
  bool DocumentOpen = false;
  int32_t SelectionStart = 0;
  int32_t SelectionEnd = 0;

  // Opening: the file into the document (false: not opened, and why); its
  // movies and the choice of one; whether it has a picture; giving it up.
  bool OpenFile(const std::string& name, std::string& failure);
  const std::vector<Movie>& Movies() const { return doc_.Movies; }
  int MovieIndex() const { return doc_.MovieIndex; }
  bool SelectMovieAt(int index);
  bool HasPicture() const { return doc_.PaddedWidth > 0; }
  // False when none of the movie's first frames decode in any layout.
  bool FramesDecode() const { return doc_.FramesDecode; }
  void CloseFile();
  const std::string& Path() const { return doc_.Path; }
  // Shows the chosen movie from its first frame, the whole of it selected.
  void ShowMovie();
  // Shows no document (the file stays as the caller left it).
  void ShowNothing();
  // A new file that a conversion is about to fill.
  void EnterNewDocument();

  // Reads the frame at or after the current sector and shows it (and says
  // so: FrameShown); false when none could be read or decoded (the picture
  // shown stays).
  bool ShowCurrentFrame();
  // The moves of the frame buttons, the bar and the keys.
  void StepBack();
  void StepForward();
  void GoToBarPosition(int position);
  void GoToSector(int32_t sector);
  void GoToFirstFrame();
  void GoToLastFrame();
  // `seconds` of movie time on from the frame shown (back when negative),
  // stopping at the first and last frames.
  void JumpSeconds(int seconds);
  int32_t CurrentSector() const { return doc_.CurrentSector; }
  int32_t LastFrameSector() const { return doc_.LastFrameSector; }
  bool AtOrPastLastFrame() const { return doc_.CurrentSector >= doc_.LastFrameSector; }
  void SetBarPositionFromSector();

  // The selection marks, set at the frame shown.
  void MarkSelectionStart();
  void MarkSelectionEnd();
  void SelectAll();

  // The view: speed of the time labels, the picture's size.
  int SpeedFactor() const { return doc_.SpeedFactor; }
  void SetSpeed(int factor);
  bool HalfWidth() const { return codec_.HalfWidthView; }
  int ViewScale() const { return viewScale_; }
  void SetViewSize(bool half, int scale);
  // What the client area lacks for the doubled picture (0 x 0: nothing).
  QSize DoubledPictureNeeds() const;

  // Layout and what is drawn.
  void LayOutBar();
  void FormResize();
  QRect PictureRect() const;
  std::vector<TimeLabel> BarTimeLabels() const;
  // Label1's text, drawn small enough to stop short of the buttons.
  void SetLabel(const QString& text);
  // Label1 for the frame shown, or its caption without a document.
  void UpdateLabel();
  // A long operation's latest frame, shown until the next frame read.
  void ShowPreview(const FrameView& view);

  // Playback: the player whose frames are painted instead (null: none),
  // and the frame it shows, marked on the label and the bar.
  void SetPlayer(Player* player);
  void ShowPlaybackFrame(int32_t sector, uint32_t frameNumber);
  // Where playback of the shown movie starts: the frame shown, or the first
  // one from the last.
  PlaybackStart PlaybackFrom() const;

  // The frame shown: what the status line tells of it (the one on screen
  // while playing), and the layout of its file.
  FrameFacts Facts() const;
  QString LayoutName() const;
  // The place among the movie's frames (from 1) of the frame at `sector`.
  int64_t PlaceOf(int32_t sector) const { return FactsOfFrame(doc_, sector, false).Index; }
  // The picture as shown, as a BMP file; MOVIE_000123.bmp for the frame shown.
  Status SaveFrame(const std::string& path, Host& host);
  QString SuggestedBmpName() const;
  // Encodes the BMP file into the frame shown, placed at `position`, with
  // the best or the exact encoder.
  void ImportBmp(const std::string& path, bool best, FrameNumbering& numbering,
                 const ImagePosition& position);

  // Widgets.
  QFrame* Panel2;
  QLabel* Label1;
  QToolButton* PrevButton;
  QToolButton* NextButton;
  TrackBar* Bar;

 signals:
  // The user's own moves: the buttons and the bar.
  void PrevClicked();
  void NextClicked();
  void BarMoved();
  // Another frame is shown (read, or played).
  void FrameShown();

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void BuildPanel();
  void PaintPicture(QPainter& p);
  void PaintStrip(QPainter& p);

  AudioSectorHook hook_;
  StrDocument doc_;
  FrameCodec codec_;
  int viewScale_ = 1;  // 2 for "Dobro"
  QImage preview_;     // a long operation's latest frame
  Player* player_ = nullptr;
};

}  // namespace belmora::app
