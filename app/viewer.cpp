#include "app/viewer.h"

#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/app_language.h"
#include "app/player.h"
#include "base/input_file.h"
#include "convert/frame_codec.h"
#include "convert/frame_facts.h"
#include "convert/movie_sound.h"
#include "str/frame_walker.h"

namespace belmora::app {
namespace {

// The client area below the menu bar; the bar sits 80 pixels above its
// bottom, Panel2 takes its last 29.
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 322;
constexpr int kBarLeft = 8;
constexpr int kBarHeight = 33;
constexpr int kBarFromBottom = 80;
constexpr int kPanelHeight = 29;

// An 8-pixel monochrome glyph: a solid triangle pointing left or right.
QIcon TriangleGlyph(bool left) {
  QImage glyph(8, 8, QImage::Format_ARGB32);
  glyph.fill(Qt::transparent);
  for (int y = 0; y < 8; y++) {
    const int d = std::min(y, 7 - y);  // 0 at the top and bottom rows, 3 in the middle
    for (int i = 0; i <= d; i++) glyph.setPixel(left ? 5 - i : 2 + i, y, qRgb(0, 0, 0));
  }
  return QIcon(QPixmap::fromImage(glyph));
}

QString LabelText(int32_t sector, uint32_t frameNumber) {
  return QString::fromStdString(ProgressLabel({0, sector, frameNumber}));
}

// Why `name` could not be opened: the system's reason when it cannot be
// read at all, else what the opener said (or that it is of no known kind).
std::string OpenFailure(const std::string& name, const CollectingHost& said) {
  // Looked at, never opened: a FIFO's open would wait for a writer.
  if (const InputStatus there = CheckRegularFile(name); !there.Ok()) return InputProblemText(there);
  for (const std::string& text : said.texts)
    if (text != FormatMessage(msg::kCannotOpenStr)) return text;
  return FormatMessage(msg::kUnknownFormat);
}

}  // namespace

FileProbe ProbeFile(const std::string& name) {
  CollectingHost quiet;
  StrDocument probe(quiet);
  FileProbe found;
  found.Opens = OpenMovieFile(probe, quiet, name, OpenMode::kReadOnly) == 0;
  found.Picture = found.Opens && probe.PaddedWidth > 0;
  if (found.Opens) found.Movies = probe.Movies;
  found.SpeedFactor = probe.SpeedFactor;
  found.Layout = LayoutNameOf(probe);
  CloseStrFile(probe);
  if (!found.Opens) found.Failure = OpenFailure(name, quiet);
  return found;
}

// --- construction ---

Viewer::Viewer(Host& host, QWidget* parent) : QWidget(parent), doc_(host, &hook_) {
  setObjectName("ClientArea");
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  resize(kClientWidth, kClientHeight);
  BuildPanel();
}

Viewer::~Viewer() = default;

void Viewer::BuildPanel() {
  Panel2 = new QFrame(this);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);

  Label1 = new QLabel(Panel2);
  SetCaption(Label1, msg::kFramesLabel);
  Label1->setObjectName("Label1");
  Label1->move(8, 9);
  // Whatever the font, the label stops short of the buttons.
  Label1->setMaximumWidth(256 - 8 - 4);
  Label1->adjustSize();

  PrevButton = new QToolButton(Panel2);
  NextButton = new QToolButton(Panel2);
  PrevButton->setObjectName("PrevButton");
  NextButton->setObjectName("NextButton");
  PrevButton->setGeometry(256, 7, 25, 16);
  NextButton->setGeometry(281, 7, 25, 16);
  for (QToolButton* b : {PrevButton, NextButton}) {
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(8, 8));
  }
  PrevButton->setIcon(TriangleGlyph(true));
  NextButton->setIcon(TriangleGlyph(false));
  connect(PrevButton, &QToolButton::clicked, this, &Viewer::PrevClicked);
  connect(NextButton, &QToolButton::clicked, this, &Viewer::NextClicked);

  Bar = new TrackBar(this);
  Bar->setObjectName("Bar");
  Bar->setGeometry(kBarLeft, kClientHeight - kBarFromBottom, 305, kBarHeight);
  Bar->SetMax(0);
  Bar->SetFrequency(30);
  connect(Bar, &QAbstractSlider::valueChanged, this, &Viewer::BarMoved);
}

// --- the document ---

bool Viewer::OpenFile(const std::string& name, std::string& failure) {
  CollectingHost said;
  if (OpenMovieFile(doc_, said, name, OpenMode::kEdit) == 0) return true;
  failure = OpenFailure(name, said);
  return false;
}

bool Viewer::SelectMovieAt(int index) {
  return index == doc_.MovieIndex || SelectMovie(doc_, index) == 0;
}

void Viewer::CloseFile() {
  CloseStrFile(doc_);
}

void Viewer::ShowMovie() {
  DocumentOpen = true;
  SelectionStart = doc_.MovieStart;
  SelectionEnd = doc_.LastFrameSector;
  codec_.Image.LayOut(doc_.PaddedWidth, doc_.PaddedHeight);
  preview_ = QImage();
  ShowCurrentFrame();
  LayOutBar();
  SetBarPositionFromSector();
  update();
}

void Viewer::ShowNothing() {
  DocumentOpen = false;
  SelectionStart = SelectionEnd = 0;
  preview_ = QImage();
  UpdateLabel();
  LayOutBar();
  update();
}

void Viewer::EnterNewDocument() {
  DocumentOpen = true;
  SelectionStart = SelectionEnd = 0;
  codec_.Image.LayOut(0, 0);
  codec_.ImageSector = -1;
  preview_ = QImage();
  update();
}

// --- navigation ---

bool Viewer::ShowCurrentFrame() {
  // A stretch without a frame longer than one search is searched past, as
  // every reader walks the movie.
  // A damaged frame is drawn over the frame before it in file order,
  // whichever way the user came.
  if (ReadNextFrame(doc_, doc_.LastFrameSector) != 0 || DecodeFrameAsShown(codec_, doc_) != 0)
    return false;
  preview_ = QImage();
  update();
  UpdateLabel();
  emit FrameShown();
  return true;
}

void Viewer::SetBarPositionFromSector() {
  Bar->SetPosition(doc_.CurrentSector / kSectorsPerBarUnit);
}

void Viewer::StepBack() {
  (void)FindPreviousFrame(doc_);
  ShowCurrentFrame();
  SetBarPositionFromSector();
}

void Viewer::StepForward() {
  doc_.CurrentSector = doc_.NextSector;
  ShowCurrentFrame();
  SetBarPositionFromSector();
}

void Viewer::GoToBarPosition(int position) {
  doc_.CurrentSector = position * kSectorsPerBarUnit;
  ShowCurrentFrame();
  Bar->SetPosition(position);
}

void Viewer::GoToSector(int32_t sector) {
  doc_.CurrentSector = sector;
  ShowCurrentFrame();
  SetBarPositionFromSector();
}

void Viewer::GoToFirstFrame() {
  GoToSector(doc_.MovieStart);
}

void Viewer::GoToLastFrame() {
  GoToSector(doc_.LastFrameSector);
}

void Viewer::JumpSeconds(int seconds) {
  // Movie time from the frame shown, not the bar's whole seconds (whose
  // last one may end before the last frame); a jump past either end lands
  // on the first or the last frame.
  const int64_t step = int64_t(seconds) * kSectorsPerBarUnit * std::max(doc_.SpeedFactor, 1);
  const int64_t target = int64_t(doc_.CurrentSector) + step;
  if (target <= doc_.MovieStart)
    GoToFirstFrame();
  else if (target >= doc_.LastFrameSector)
    GoToLastFrame();
  else
    GoToSector(int32_t(target));
}

// --- the selection ---

void Viewer::MarkSelectionStart() {
  SelectionStart = doc_.CurrentSector;
  if (SelectionStart > SelectionEnd) SelectionEnd = SelectionStart;
  LayOutBar();
}

void Viewer::MarkSelectionEnd() {
  SelectionEnd = doc_.CurrentSector;
  if (SelectionEnd < SelectionStart) SelectionStart = SelectionEnd;
  LayOutBar();
}

void Viewer::SelectAll() {
  SelectionStart = 0;
  SelectionEnd = doc_.LastFrameSector;
  LayOutBar();
}

// --- the view ---

void Viewer::SetSpeed(int factor) {
  doc_.SpeedFactor = factor;
  LayOutBar();
  update();
}

void Viewer::SetViewSize(bool half, int scale) {
  codec_.HalfWidthView = half;
  viewScale_ = scale;
  if (DocumentOpen) ShowCurrentFrame();
  update();
}

QSize Viewer::DoubledPictureNeeds() const {
  if (!DocumentOpen) return {0, 0};
  // Room for the doubled picture above the bar's strip.
  const int needW = doc_.PaddedWidth * 2;
  const int needH = doc_.PaddedHeight * 2 + kBarFromBottom + 2;
  return {std::max(needW - width(), 0), std::max(needH - height(), 0)};
}

// --- layout and painting ---

void Viewer::LayOutBar() {
  const BarSettings s = LayOutBarSettings(width(), DocumentOpen, doc_.SectorCount,
                                          doc_.SpeedFactor, SelectionStart, SelectionEnd);
  Bar->resize(std::max(s.Width, 0), kBarHeight);
  Bar->SetMax(s.Max);
  Bar->SetFrequency(s.Frequency);
  Bar->SetSelection(s.SelStart, s.SelEnd);
}

void Viewer::FormResize() {
  Bar->move(kBarLeft, height() - kBarFromBottom);
  Panel2->setGeometry(0, height() - kPanelHeight, width(), kPanelHeight);
  LayOutBar();
  update();
}

void Viewer::resizeEvent(QResizeEvent*) {
  FormResize();
}

QRect Viewer::PictureRect() const {
  if (!DocumentOpen) return {};
  QSize size;
  if (player_ && player_->Current()) {
    size = player_->Current()->Picture.size();
  } else if (!preview_.isNull()) {
    size = preview_.size();
  } else {
    const FrameView v = codec_.View();
    size = QSize(v.Width, v.Height);
  }
  return {0, 0, size.width() * viewScale_, size.height() * viewScale_};
}

std::vector<TimeLabel> Viewer::BarTimeLabels() const {
  if (!DocumentOpen) return {};
  return TimeLabels(Bar->width(), Bar->Max(), Bar->Frequency(), doc_.SpeedFactor);
}

void Viewer::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintPicture(p);
  PaintStrip(p);
}

void Viewer::PaintPicture(QPainter& p) {
  // The picture at the client origin, each pixel drawn scale x scale, kept
  // above the bar's strip when the window is shorter than the picture.
  if (!DocumentOpen) return;
  p.save();
  p.setClipRect(QRect(0, 0, width(), std::max(Bar->y() - 2, 0)));
  const QRect target = PictureRect();
  if (player_ && player_->Current()) {
    p.drawImage(target, player_->Current()->Picture);
    player_->NotePainted();
  } else if (!preview_.isNull()) {
    p.drawImage(target, preview_);
  } else if (!codec_.Image.Pixels.empty()) {
    const FrameView v = codec_.View();
    const QImage picture(v.Pixels, v.Width, v.Height, v.Stride, QImage::Format_BGR888);
    p.drawImage(target, picture);
  }
  p.restore();
}

void Viewer::PaintStrip(QPainter& p) {
  // The strip behind the bar: filled, with a sunken edge whose bottom lies
  // 3 pixels above Panel2.
  const int top = Bar->y() - 2, bottom = Panel2->y(), right = width();
  const QPalette& pal = palette();
  p.fillRect(QRect(0, top, right, bottom - top), pal.color(QPalette::Window));
  const int edgeBottom = bottom - 3;
  p.setPen(pal.color(QPalette::Dark));
  p.drawLine(0, top, right - 1, top);
  p.drawLine(0, top, 0, edgeBottom - 1);
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(0, edgeBottom - 1, right - 1, edgeBottom - 1);
  p.drawLine(right - 1, top, right - 1, edgeBottom - 1);

  // The time labels under the bar.
  if (!DocumentOpen) return;
  p.setPen(pal.color(QPalette::WindowText));
  p.setFont(font());
  const int y = Bar->y() + Bar->height();
  const int lineHeight = p.fontMetrics().height();
  for (const TimeLabel& label : BarTimeLabels())
    p.drawText(QRect(label.X, y, 200, lineHeight), Qt::AlignLeft | Qt::AlignTop,
               QString::fromStdString(label.Text));
}

void Viewer::SetLabel(const QString& text) {
  // Whatever the font, the whole text stops short of the buttons: a wider
  // fallback font is drawn smaller.
  QFont font = Panel2->font();
  const int room = Label1->maximumWidth();
  int pixels = QFontInfo(font).pixelSize();
  while (pixels > 7 && QFontMetrics(font).horizontalAdvance(text) > room) {
    pixels--;
    font.setPixelSize(pixels);
  }
  Label1->setFont(font);
  ClearCaption(Label1);
  Label1->setText(text);
  Label1->adjustSize();
}

void Viewer::UpdateLabel() {
  if (DocumentOpen) {
    SetLabel(LabelText(doc_.CurrentSector, doc_.ChunkHeader.FrameNumber));
    return;
  }
  Label1->setFont(Panel2->font());
  SetCaption(Label1, msg::kFramesLabel);
  Label1->adjustSize();
}

void Viewer::ShowPreview(const FrameView& view) {
  if (!view.Pixels || view.Width <= 0 || view.Height <= 0) return;
  preview_ = QImage(view.Pixels, view.Width, view.Height, view.Stride, QImage::Format_BGR888)
                 .convertToFormat(QImage::Format_RGB32);
  update();
}

// --- playback ---

void Viewer::SetPlayer(Player* player) {
  player_ = player;
  update();
}

void Viewer::ShowPlaybackFrame(int32_t sector, uint32_t frameNumber) {
  SetLabel(LabelText(sector, frameNumber));
  Bar->SetPosition(sector / kSectorsPerBarUnit);
  update();
  emit FrameShown();
}

PlaybackStart Viewer::PlaybackFrom() const {
  PlaybackStart start;
  start.Path = doc_.Path;
  // From the last frame (or past it) playback starts over.
  start.StartSector = doc_.CurrentSector < doc_.LastFrameSector ? doc_.CurrentSector : 0;
  start.LastFrameSector = doc_.LastFrameSector;
  start.SpeedFactor = doc_.SpeedFactor;
  start.FramesPerSecond = doc_.FramesPerSecond;
  start.HalfWidthView = codec_.HalfWidthView;
  start.AudioChannel = doc_.AudioChannelCount > 0 ? doc_.AudioChannels[0] : -1;
  start.LayoutSound = HasLayoutSound(doc_);
  start.Movie = doc_.MovieIndex;
  return start;
}

// --- what the frame shown is ---

FrameFacts Viewer::Facts() const {
  const PlaybackFrame* playing = player_ ? player_->Current() : nullptr;
  return playing ? FactsOfFrame(doc_, playing->Sector, false)
                 : FactsOfFrame(doc_, doc_.CurrentSector, true);
}

QString Viewer::LayoutName() const {
  return QString::fromUtf8(LayoutNameOf(doc_));
}

Status Viewer::SaveFrame(const std::string& path, Host& host) {
  return SaveFrameBmp(codec_, path, host);
}

QString Viewer::SuggestedBmpName() const {
  const QFileInfo movie(QFile::decodeName(doc_.Path.c_str()));
  return QString("%1_%2.bmp")
      .arg(movie.completeBaseName())
      .arg(doc_.ChunkHeader.FrameNumber, 6, 10, QChar('0'));
}

void Viewer::ImportBmp(const std::string& path, bool best, FrameNumbering& numbering,
                       const ImagePosition& position) {
  // The encoder's own messages say what went wrong; the picture shown is
  // the frame as it now stands.
  codec_.Encoder = best ? EncoderChoice::kBest : EncoderChoice::kExact;
  (void)ImportFrameBmp(codec_, doc_, numbering, path, position);
  codec_.Encoder = EncoderChoice::kExact;
  preview_ = QImage();
  update();
  // The frame's coding (its quantizer scale) is the new one.
  if (doc_.IsOpen()) {
    UpdateLabel();
    emit FrameShown();
  }
}

}  // namespace belmora::app
