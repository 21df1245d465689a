#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <bit>
#include <cstring>

#include "app/app_language.h"
#include "app/audio_only.h"
#include "app/form_font.h"
#include "app/image_file_chooser.h"
#include "app/movie_chooser.h"
#include "app/position_form.h"
#include "app/progress_form.h"
#include "base/version.h"
#include "platform/media_formats.h"
#include "str/disc_document.h"
#include "str/journal.h"

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

std::string FileName(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString LabelText(int32_t sector, uint32_t frameNumber) {
  return QString::fromStdString(ProgressLabel({0, sector, frameNumber}));
}

}  // namespace

// --- the client area ---

ViewArea::ViewArea(TForm1& form) : form_(form) {
  setObjectName("ClientArea");
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
}

void ViewArea::paintEvent(QPaintEvent*) {
  QPainter p(this);
  form_.Paint(p);
}

void ViewArea::resizeEvent(QResizeEvent*) {
  form_.FormResize();
}

// --- construction ---

TForm1::TForm1() {
  setObjectName("Form1");
  setWindowTitle(kCaption);
  setAcceptDrops(true);

  client_ = new ViewArea(*this);
  client_->setFont(FormFont());
  setCentralWidget(client_);
  BuildPanel();
  BuildMenu();

  SetUpFileDialogs();
  RunModal = [this](QDialog& dialog) {
    KeepAbove(dialog);
    return dialog.exec();
  };

  resize(kClientWidth, kClientHeight + MainMenu1->sizeHint().height());
  client_->resize(kClientWidth, kClientHeight);
  FormResize();
  UpdateViewChecks();
  client_->setFocus();
}

void TForm1::SetUpFileDialogs() {
  // Captions only: the file last chosen and the option's state stay.
  using Kind = FileDialog::Kind;
  auto set = [](FileDialog& d, Kind kind, const QString& title, const QString& filter,
                const char* ext, bool fileMustExist, bool pathMustExist, bool overwrite,
                const QString& option) {
    d.DialogKind = kind;
    d.Title = title;
    d.Filter = filter;
    d.DefaultExt = ext;
    d.FileMustExist = fileMustExist;
    d.PathMustExist = pathMustExist;
    d.OverwritePrompt = overwrite;
    d.OptionCaption = option;
  };
  auto filter = [](std::initializer_list<const char*> parts) {
    QStringList all;
    for (const char* p : parts) all << T(p);
    return all.join('|');
  };
  const QString strFilter = filter({msg::kStrFilesFilter, msg::kAllFilesFilter});
  // Opening also takes disc images, whose STR and XA files are listed.
  const QString openFilter =
      filter({msg::kStrFilesFilter, msg::kDiscImagesFilter, msg::kAllFilesFilter});
  // Any video the reader takes; AVI files first, as the dialog always had them.
  const QString aviFilter =
      filter({msg::kAviFilesFilter, msg::kVideoFilesFilter, msg::kAllFilesFilter});
  const QString bmpFilter = filter({msg::kBmpFilesFilter, msg::kAllFilesFilter});
  set(OpenStrDlg, Kind::kOpen, "", openFilter, "str", true, true, false, "");
  set(SaveStrDlg, Kind::kSave, T(msg::kSaveAs), strFilter, "str", false, false, true, "");
  set(OpenAviDlg, Kind::kOpen, "", aviFilter, "avi", false, false, false, "");
  set(OpenBmpDlg, Kind::kOpen, "", bmpFilter, "bmp", true, true, false, T(msg::kBestQuality));
  set(SaveBmpDlg, Kind::kSave, "", bmpFilter, "bmp", false, true, true, "");
}

void TForm1::changeEvent(QEvent* e) {
  if (e->type() == QEvent::LanguageChange) {
    SetUpFileDialogs();
    UpdateLanguageChecks();
    // The frame's label is made from a format, not kept as a caption.
    if (DocumentOpen && !HasCaption(Label1))
      Label1->setText(LabelText(doc_.CurrentSector, doc_.ChunkHeader.FrameNumber));
    Label1->adjustSize();
  }
  QMainWindow::changeEvent(e);
}

void TForm1::UpdateLanguageChecks() {
  const bool english = CurrentLanguage() == Language::kEnglish;
  MenuLangEn->setChecked(english);
  MenuLangOrig->setChecked(!english);
}

void TForm1::MenuLangEnClick() { ChooseLanguage(Language::kEnglish); }
void TForm1::MenuLangOrigClick() { ChooseLanguage(Language::kOriginal); }

void TForm1::MenuAboutClick() {
  const QString text = QString::asprintf(Tr(msg::kAboutText), kVersion, qVersion(),
                                         MediaLibraryVersion().c_str());
  QMessageBox::about(this, T(msg::kMenuAbout), text);
}

TForm1::~TForm1() {
  StopPlayback();
  CloseDocument();
}

void TForm1::AttachForms(TForm2* form2, TForm3* form3, TForm4* form4, TForm5* form5,
                         TConvAviForm* convAvi) {
  form2_ = form2;
  form3_ = form3;
  form4_ = form4;
  form5_ = form5;
  convAvi_ = convAvi;
}

void TForm1::BuildPanel() {
  Panel2 = new QFrame(client_);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);

  Label1 = new QLabel(Panel2);
  SetCaption(Label1, msg::kFramesLabel);
  Label1->setObjectName("Label1");
  Label1->move(8, 9);
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
  connect(PrevButton, &QToolButton::clicked, this, &TForm1::PrevButtonClick);
  connect(NextButton, &QToolButton::clicked, this, &TForm1::NextButtonClick);

  Bar = new TrackBar(client_);
  Bar->setObjectName("Bar");
  Bar->setGeometry(kBarLeft, kClientHeight - kBarFromBottom, 305, kBarHeight);
  Bar->SetMax(0);
  Bar->SetFrequency(30);
  connect(Bar, &QAbstractSlider::valueChanged, this, &TForm1::BarChange);
}

void TForm1::BuildMenu() {
  MainMenu1 = menuBar();
  MainMenu1->setObjectName("MainMenu1");
  auto menu = [](QMenuBar* bar, QMenu* parent, const char* caption, const char* name) {
    QMenu* m = bar ? bar->addMenu(QString()) : parent->addMenu(QString());
    SetCaption(m, caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(QString(name) + "Item");
    return m;
  };
  auto item = [this](QMenu* m, const char* caption, const char* name, void (TForm1::*click)()) {
    QAction* a = m->addAction(QString());
    SetCaption(a, caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, click);
    return a;
  };

  MenuFile = menu(MainMenu1, nullptr, msg::kFileWord, "MenuFile");
  MenuNew = item(MenuFile, msg::kMenuNew, "MenuNew", &TForm1::MenuNewClick);
  MenuOpen = item(MenuFile, msg::kMenuOpen, "MenuOpen", &TForm1::MenuOpenClick);
  MenuMovie = item(MenuFile, msg::kChooseMovieMenu, "MenuMovie", &TForm1::MenuMovieClick);
  MenuMovie->setEnabled(false);
  MenuExit = item(MenuFile, msg::kMenuExit, "MenuExit", &TForm1::MenuExitClick);

  MenuConv = menu(MainMenu1, nullptr, msg::kMenuConv, "MenuConv");
  MenuAviO = item(MenuConv, msg::kMenuAviO, "MenuAviO", &TForm1::MenuAviOClick);
  MenuAviI = item(MenuConv, msg::kMenuAviI, "MenuAviI", &TForm1::MenuAviIClick);
  MenuBmpO = item(MenuConv, msg::kMenuBmpO, "MenuBmpO", &TForm1::MenuBmpOClick);
  MenuBmpI = item(MenuConv, msg::kMenuBmpI, "MenuBmpI", &TForm1::MenuBmpIClick);
  MenuSubs = item(MenuConv, msg::kApplySubtitlesMenu, "MenuSubs", &TForm1::MenuSubsClick);
  MenuSaveChannel =
      item(MenuConv, msg::kSaveChannelMenu, "MenuSaveChannel", &TForm1::MenuSaveChannelClick);
  MenuPlayChannel =
      item(MenuConv, msg::kPlayChannelMenu, "MenuPlayChannel", &TForm1::MenuPlayChannelClick);

  MenuConf = menu(MainMenu1, nullptr, msg::kMenuConf, "MenuConf");
  MenuSpeed = menu(nullptr, MenuConf, msg::kMenuSpeed, "MenuSpeed");
  MenuSpeed1 = item(MenuSpeed, msg::kMenuSpeed1, "MenuSpeed1", &TForm1::MenuSpeed1Click);
  MenuSpeed2 = item(MenuSpeed, msg::kMenuSpeed2, "MenuSpeed2", &TForm1::MenuSpeed2Click);
  MenuWidth = menu(nullptr, MenuConf, msg::kSizeWord, "MenuWidth");
  MenuWidthN = item(MenuWidth, msg::kMenuWidthN, "MenuWidthN", &TForm1::MenuWidthNClick);
  MenuWidthH = item(MenuWidth, msg::kMenuWidthH, "MenuWidthH", &TForm1::MenuWidthHClick);
  MenuWidthD = item(MenuWidth, msg::kMenuWidthD, "MenuWidthD", &TForm1::MenuWidthDClick);
  MenuSel = menu(nullptr, MenuConf, msg::kMenuSel, "MenuSel");
  MenuSelStart = item(MenuSel, msg::kMenuSelStart, "MenuSelStart", &TForm1::MenuSelStartClick);
  MenuSelEnd = item(MenuSel, msg::kMenuSelEnd, "MenuSelEnd", &TForm1::MenuSelEndClick);
  MenuSelAll = item(MenuSel, msg::kMenuSelAll, "MenuSelAll", &TForm1::MenuSelAllClick);
  MenuPos = item(MenuConf, msg::kMenuPos, "MenuPos", &TForm1::MenuPosClick);
  MenuConf->addSeparator();
  MenuPlay = item(MenuConf, msg::kMenuPlay, "MenuPlay", &TForm1::MenuPlayClick);
  MenuConf->addSeparator();
  MenuLang = menu(nullptr, MenuConf, msg::kMenuLanguage, "MenuLang");
  MenuLangEn = item(MenuLang, msg::kLanguageEnglish, "MenuLangEn", &TForm1::MenuLangEnClick);
  MenuLangOrig =
      item(MenuLang, msg::kLanguageOriginal, "MenuLangOrig", &TForm1::MenuLangOrigClick);
  auto* languages = new QActionGroup(this);
  for (QAction* a : {MenuLangEn, MenuLangOrig}) {
    a->setCheckable(true);
    languages->addAction(a);
  }
  MenuHelp = menu(MainMenu1, nullptr, msg::kMenuHelp, "MenuHelp");
  MenuAbout = item(MenuHelp, msg::kMenuAbout, "MenuAbout", &TForm1::MenuAboutClick);
  MenuHelp->addMenu(MenuLang);
  UpdateLanguageChecks();

  // The keys that also do these show beside them; the window handles them.
  for (auto [action, key] : {std::pair{MenuSelStart, Qt::Key_I}, std::pair{MenuSelEnd, Qt::Key_O},
                             std::pair{MenuPlay, Qt::Key_Space}}) {
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetShortcut);
  }

  auto* speeds = new QActionGroup(this);
  auto* widths = new QActionGroup(this);
  for (QAction* a : {MenuSpeed1, MenuSpeed2}) {
    a->setCheckable(true);
    speeds->addAction(a);
  }
  for (QAction* a : {MenuWidthN, MenuWidthH, MenuWidthD}) {
    a->setCheckable(true);
    widths->addAction(a);
  }
  MenuSpeed1->setChecked(true);
  MenuWidthN->setChecked(true);

  MenuConv->menuAction()->setEnabled(false);
  MenuConf->menuAction()->setEnabled(false);
}

// --- the document ---

int TForm1::OpenDocument(const QString& given) {
  // A disc image: one of its STR and XA files, chosen from a list.
  const QString path =
      IsDiscImageFile(given) ? ChooseImageFile(given, host_, this, RunModal) : given;
  if (path.isEmpty()) return -1;
  StopPlayback();
  CloseDocument();
  // A file left in the middle of an edit is put back before it is shown
  // (for a file inside a disc image, the image's data file).
  const std::string file = FileOnDisk(FileName(path));
  switch (PendingEdit(file)) {
    case EditState::kNone:
      break;
    case EditState::kBeingEdited:
      (void)RefusePendingEdit(host_, file, file);
      return -1;
    case EditState::kInterrupted: {
      if (host_.Ask(FormatMessage(msg::kAskRecover, file.c_str()), Tr(msg::kAskRecover.Caption),
                    Buttons::kYesNo) != Answer::kYes)
        return -1;
      RecoverDetail detail;
      const RecoverResult result = RecoverJournal(file, &detail);
      if (!ReportRecovery(host_, file, file, result, detail)) return -1;
      Show(host_, msg::kRecovered, file.c_str());
      break;
    }
  }
  if (OpenStrFile(doc_, FileName(path)) != 0) {
    // Sound only: the status line says there is no picture.
    if (OpenAudioOnly(*this, FileName(path))) return -1;
    Show(host_, msg::kCannotOpenStr);
    return -1;
  }
  // A file of several movies: the user picks the one to show.
  if (doc_.Movies.size() > 1) {
    const int movie = ChooseMovie(path, doc_.Movies, doc_.SpeedFactor, 0, this, RunModal);
    if (movie < 0) {
      CloseStrFile(doc_);
      return -1;
    }
    if (movie != 0 && SelectMovie(doc_, movie) != 0) {
      Show(host_, msg::kCannotOpenStr);
      CloseStrFile(doc_);
      return -1;
    }
  }
  if (doc_.PaddedWidth <= 0) {
    Show(host_, msg::kNoPicture);
    CloseStrFile(doc_);
    return -1;
  }
  DocumentOpen = true;
  ShowMovie();
  return 0;
}

void TForm1::ShowMovie() {
  SelectionStart = doc_.MovieStart;
  SelectionEnd = doc_.LastFrameSector;
  codec_.Image.LayOut(doc_.PaddedWidth, doc_.PaddedHeight);
  preview_ = QImage();
  ShowCurrentFrame();
  LayOutBar();
  SetBarPositionFromSector();
  UpdateViewChecks();
  MenuConv->menuAction()->setEnabled(true);
  MenuConf->menuAction()->setEnabled(true);
  MenuMovie->setEnabled(doc_.Movies.size() > 1);
  UpdateTitle();
  FitWindowToPicture();
  client_->update();
}

void TForm1::MenuMovieClick() {
  if (!DocumentOpen || doc_.Movies.size() < 2) return;
  const QString file = QFile::decodeName(doc_.Path.c_str());
  const int movie =
      ChooseMovie(file, doc_.Movies, doc_.SpeedFactor, doc_.MovieIndex, this, RunModal);
  if (movie < 0 || movie == doc_.MovieIndex) return;
  StopPlayback();
  if (SelectMovie(doc_, movie) != 0) {
    Show(host_, msg::kCannotOpenStr);
    CloseDocument();
    return;
  }
  ShowMovie();
}

void TForm1::CloseDocument() {
  AudioOnlyPath.clear();
  if (!DocumentOpen) return;
  StopPlayback();
  DocumentOpen = false;
  CloseStrFile(doc_);
  MenuMovie->setEnabled(false);
  MenuConv->menuAction()->setEnabled(false);
  MenuConf->menuAction()->setEnabled(false);
  SelectionStart = SelectionEnd = 0;
  preview_ = QImage();
  LayOutBar();
  UpdateTitle();
  client_->update();
}

void TForm1::ShowCurrentFrame() {
  if (ReadAndDecodeFrame(codec_, doc_) != 0) return;
  preview_ = QImage();
  client_->update();
  ClearCaption(Label1);
  QString label = LabelText(doc_.CurrentSector, doc_.ChunkHeader.FrameNumber);
  if (doc_.FrameDamaged)
    label += "  " + QString::fromStdString(FormatMessage(
                        msg::kFrameConcealed, std::popcount(doc_.ChunksPresent),
                        int(doc_.ChunkHeader.ChunkCount)));
  Label1->setText(label);
  Label1->adjustSize();
}

void TForm1::UpdateTitle() {
  if (!DocumentOpen) {
    setWindowTitle(kCaption);
    return;
  }
  QString name = QFileInfo(QFile::decodeName(doc_.Path.c_str())).fileName();
  if (const auto inner = SplitImagePath(doc_.Path))  // IMAGE::/PATH
    name = QFileInfo(QFile::decodeName(inner->Image.c_str())).fileName() + "::" +
           QFile::decodeName(inner->Inner.c_str());
  // A file of several movies: which one, of how many ("MOVIE.STR [2/3]").
  if (doc_.Movies.size() > 1)
    name += QString(" [%1/%2]").arg(doc_.MovieIndex + 1).arg(doc_.Movies.size());
  setWindowTitle(QString("%1 - %2").arg(kCaption, name));
}

// --- layout and painting ---

int TForm1::ClientWidth() const {
  return client_->width();
}

int TForm1::ClientHeight() const {
  return client_->height();
}

void TForm1::LayOutBar() {
  const BarSettings s = LayOutBarSettings(ClientWidth(), DocumentOpen, doc_.SectorCount,
                                          doc_.SpeedFactor, SelectionStart, SelectionEnd);
  Bar->resize(std::max(s.Width, 0), kBarHeight);
  Bar->SetMax(s.Max);
  Bar->SetFrequency(s.Frequency);
  Bar->SetSelection(s.SelStart, s.SelEnd);
}

void TForm1::FormResize() {
  const int w = ClientWidth(), h = ClientHeight();
  Bar->move(kBarLeft, h - kBarFromBottom);
  Panel2->setGeometry(0, h - kPanelHeight, w, kPanelHeight);
  LayOutBar();
  client_->update();
}

QRect TForm1::PictureRect() const {
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

std::vector<TimeLabel> TForm1::BarTimeLabels() const {
  if (!DocumentOpen) return {};
  return TimeLabels(Bar->width(), Bar->Max(), Bar->Frequency(), doc_.SpeedFactor);
}

void TForm1::Paint(QPainter& p) {
  // The picture at the client origin, each pixel drawn scale x scale.
  if (DocumentOpen) {
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
  }

  // The strip behind the bar: filled, with a sunken edge whose bottom lies
  // 3 pixels above Panel2.
  const int top = Bar->y() - 2, bottom = Panel2->y(), right = ClientWidth();
  const QPalette& pal = client_->palette();
  p.fillRect(QRect(0, top, right, bottom - top), pal.color(QPalette::Window));
  const int edgeBottom = bottom - 3;
  p.setPen(pal.color(QPalette::Dark));
  p.drawLine(0, top, right - 1, top);
  p.drawLine(0, top, 0, edgeBottom - 1);
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(0, edgeBottom - 1, right - 1, edgeBottom - 1);
  p.drawLine(right - 1, top, right - 1, edgeBottom - 1);

  // The time labels under the bar.
  if (DocumentOpen) {
    p.setPen(pal.color(QPalette::WindowText));
    p.setFont(client_->font());
    const int y = Bar->y() + Bar->height();
    const int lineHeight = p.fontMetrics().height();
    for (const TimeLabel& label : BarTimeLabels())
      p.drawText(QRect(label.X, y, 200, lineHeight), Qt::AlignLeft | Qt::AlignTop,
                 QString::fromStdString(label.Text));
  }
}

void TForm1::UpdateViewChecks() {
  MenuSpeed1->setChecked(doc_.SpeedFactor == 1);
  MenuSpeed2->setChecked(doc_.SpeedFactor != 1);
  MenuWidthN->setChecked(!codec_.HalfWidthView && viewScale_ == 1);
  MenuWidthH->setChecked(codec_.HalfWidthView);
  MenuWidthD->setChecked(!codec_.HalfWidthView && viewScale_ == 2);
}

// --- navigation ---

void TForm1::SetBarPositionFromSector() {
  Bar->SetPosition(doc_.CurrentSector / kSectorsPerBarUnit);
}

void TForm1::PrevButtonClick() {
  if (!DocumentOpen) return;
  StopPlayback();
  (void)FindPreviousFrame(doc_);
  ShowCurrentFrame();
  SetBarPositionFromSector();
}

void TForm1::NextButtonClick() {
  if (!DocumentOpen) return;
  StopPlayback();
  doc_.CurrentSector = doc_.NextSector;
  ShowCurrentFrame();
  SetBarPositionFromSector();
}

void TForm1::BarChange() {
  if (!DocumentOpen) return;
  const int position = Bar->Position();
  StopPlayback();
  doc_.CurrentSector = position * kSectorsPerBarUnit;
  ShowCurrentFrame();
}

void TForm1::FirstFrame() {
  if (!DocumentOpen) return;
  StopPlayback();
  doc_.CurrentSector = 0;
  ShowCurrentFrame();
  SetBarPositionFromSector();
}

void TForm1::LastFrame() {
  if (!DocumentOpen) return;
  StopPlayback();
  doc_.CurrentSector = doc_.LastFrameSector;
  ShowCurrentFrame();
  SetBarPositionFromSector();
}

void TForm1::JumpSeconds(int seconds) {
  if (!DocumentOpen) return;
  StopPlayback();
  const int position = std::clamp(Bar->Position() + seconds * doc_.SpeedFactor, 0, Bar->Max());
  doc_.CurrentSector = position * kSectorsPerBarUnit;
  ShowCurrentFrame();
  Bar->SetPosition(position);
}

// --- the menu ---

bool TForm1::Execute(FileDialog& dialog) {
  return RunFileDialog(dialog, this);
}

void TForm1::MenuNewClick() {
  StopPlayback();
  if (Conversions.NewStr) Conversions.NewStr(*this);
}

void TForm1::MenuOpenClick() {
  if (Execute(OpenStrDlg)) OpenDocument(OpenStrDlg.FileName);
}

void TForm1::MenuExitClick() {
  close();
}

void TForm1::MenuAviOClick() {
  StopPlayback();
  if (Conversions.StrToAvi) Conversions.StrToAvi(*this);
}

void TForm1::MenuAviIClick() {
  StopPlayback();
  if (Conversions.AviToStr) Conversions.AviToStr(*this);
}

void TForm1::MenuSaveChannelClick() {
  SaveAudioChannelCommand(*this);
}

void TForm1::MenuPlayChannelClick() {
  PlayAudioChannelCommand(*this);
}

void TForm1::MenuSubsClick() {
  StopPlayback();
  if (Conversions.ApplySubtitles) Conversions.ApplySubtitles(*this);
}

void TForm1::MenuBmpOClick() {
  if (!DocumentOpen) return;
  StopPlayback();
  if (!Execute(SaveBmpDlg)) return;
  (void)SaveFrameBmp(codec_, FileName(SaveBmpDlg.FileName), host_);
}

void TForm1::MenuBmpIClick() {
  if (!DocumentOpen) return;
  StopPlayback();
  if (!Execute(OpenBmpDlg)) return;
  // The encoder's own messages say what went wrong; the picture shown is
  // the frame as it now stands.
  codec_.Encoder = OpenBmpDlg.Option ? EncoderChoice::kBest : EncoderChoice::kExact;
  (void)ImportFrameBmp(codec_, doc_, numbering_, FileName(OpenBmpDlg.FileName), Position);
  codec_.Encoder = EncoderChoice::kExact;
  preview_ = QImage();
  client_->update();
}

void TForm1::MenuSpeed1Click() {
  doc_.SpeedFactor = 1;
  UpdateViewChecks();
  LayOutBar();
  client_->update();
}

void TForm1::MenuSpeed2Click() {
  doc_.SpeedFactor = 2;
  UpdateViewChecks();
  LayOutBar();
  client_->update();
}

void TForm1::SetViewSize(bool half, int scale) {
  StopPlayback();
  codec_.HalfWidthView = half;
  viewScale_ = scale;
  UpdateViewChecks();
  if (DocumentOpen) ShowCurrentFrame();
  FitWindowToPicture();
  client_->update();
}

void TForm1::MenuWidthNClick() {
  SetViewSize(false, 1);
}

void TForm1::MenuWidthHClick() {
  SetViewSize(true, 1);
}

void TForm1::MenuWidthDClick() {
  SetViewSize(false, 2);
}

void TForm1::FitWindowToPicture() {
  if (viewScale_ == 2) {
    if (!DocumentOpen) return;
    // Room for the doubled picture above the bar's strip.
    const int needW = doc_.PaddedWidth * 2;
    const int needH = doc_.PaddedHeight * 2 + kBarFromBottom + 2;
    const QSize grow(std::max(needW - ClientWidth(), 0), std::max(needH - ClientHeight(), 0));
    if (grow.isNull()) return;
    if (!sizeBeforeDouble_.isValid()) sizeBeforeDouble_ = size();
    resize(size() + grow);
    sizeAfterDouble_ = size();
  } else if (sizeBeforeDouble_.isValid()) {
    // Back from "Dobro": the size it had, unless the user has resized since.
    if (size() == sizeAfterDouble_) resize(sizeBeforeDouble_);
    sizeBeforeDouble_ = QSize();
  }
}

void TForm1::MenuSelStartClick() {
  if (!DocumentOpen) return;
  SelectionStart = doc_.CurrentSector;
  if (SelectionStart > SelectionEnd) SelectionEnd = SelectionStart;
  LayOutBar();
}

void TForm1::MenuSelEndClick() {
  if (!DocumentOpen) return;
  SelectionEnd = doc_.CurrentSector;
  if (SelectionEnd < SelectionStart) SelectionStart = SelectionEnd;
  LayOutBar();
}

void TForm1::MenuSelAllClick() {
  if (!DocumentOpen) return;
  SelectionStart = 0;
  SelectionEnd = doc_.LastFrameSector;
  LayOutBar();
}

void TForm1::MenuPosClick() {
  if (!form5_) return;
  form5_->OffsetX = Position.ImageOffsetX;
  form5_->OffsetY = Position.ImageOffsetY;
  if (RunModal(*form5_) != QDialog::Accepted) return;
  Position.ImageOffsetX = form5_->OffsetX;
  Position.ImageOffsetY = form5_->OffsetY;
}

void TForm1::MenuPlayClick() {
  if (Playing())
    StopPlayback();
  else
    StartPlayback();
}

// --- playback ---

void TForm1::StartPlayback() {
  if (!DocumentOpen || player_) return;
  PlaybackStart start;
  start.Path = doc_.Path;
  // From the last frame (or past it) playback starts over.
  start.StartSector = doc_.CurrentSector < doc_.LastFrameSector ? doc_.CurrentSector : 0;
  start.LastFrameSector = doc_.LastFrameSector;
  start.SpeedFactor = doc_.SpeedFactor;
  start.FramesPerSecond = doc_.FramesPerSecond;
  start.HalfWidthView = codec_.HalfWidthView;
  start.AudioChannel = doc_.AudioChannelCount > 0 ? doc_.AudioChannels[0] : -1;
  start.Movie = doc_.MovieIndex;
  player_ = std::make_unique<Player>(start, PlaybackSound);
  Player* player = player_.get();
  connect(player, &Player::FrameChanged, this, &TForm1::PlaybackFrameChanged);
  connect(
      player, &Player::Finished, this,
      [this, player] {
        if (player_.get() == player) StopPlayback();
      },
      Qt::QueuedConnection);
}

void TForm1::StopPlayback() {
  if (!player_) return;
  std::unique_ptr<Player> player = std::move(player_);
  lastStats_ = player->Stats();
  const int32_t sector = player->Current() ? player->Current()->Sector : -1;
  player.reset();
  if (sector >= 0 && DocumentOpen) {
    doc_.CurrentSector = sector;
    ShowCurrentFrame();
    SetBarPositionFromSector();
  }
  client_->update();
}

void TForm1::PlaybackFrameChanged() {
  const PlaybackFrame* frame = player_ ? player_->Current() : nullptr;
  if (!frame) return;
  ClearCaption(Label1);
  Label1->setText(LabelText(frame->Sector, frame->FrameNumber));
  Label1->adjustSize();
  Bar->SetPosition(frame->Sector / kSectorsPerBarUnit);
  client_->update();
}

// --- the long operations ---

void TForm1::EnterNewDocument() {
  StopPlayback();
  DocumentOpen = true;
  SelectionStart = SelectionEnd = 0;
  codec_.Image.LayOut(0, 0);
  preview_ = QImage();
  MenuConv->menuAction()->setEnabled(true);
  MenuConf->menuAction()->setEnabled(true);
  client_->update();
}

void TForm1::ShowConvertedDocument() {
  LayOutBar();
  if (DocumentOpen) SetBarPositionFromSector();
  UpdateTitle();
  client_->update();
}

void TForm1::KeepAbove(QWidget& window) {
  window.winId();
  if (QWindow* own = window.windowHandle()) own->setTransientParent(windowHandle());
}

void TForm1::ProgressBegin() {
  StopPlayback();
  // The length may have been decided just before: the bar shows it.
  LayOutBar();
  if (form3_) {
    // Above the main window even when that is clicked: Cancelar stays in reach.
    KeepAbove(*form3_);
    form3_->show();
    form3_->raise();
  }
  setEnabled(false);
}

void TForm1::ProgressStep(const ProgressRecord& record) {
  if (form3_) form3_->Bar->setValue(std::clamp(record.Percent, 0, 100));
  Bar->SetPosition(record.Sector / kSectorsPerBarUnit);
  ClearCaption(Label1);
  Label1->setText(QString::fromStdString(ProgressLabel(record)));
  Label1->adjustSize();
}

void TForm1::ProgressEnd() {
  setEnabled(true);
  if (form3_) form3_->hide();
}

void TForm1::ShowPreview(const FrameView& view) {
  if (!view.Pixels || view.Width <= 0 || view.Height <= 0) return;
  preview_ = QImage(view.Pixels, view.Width, view.Height, view.Stride, QImage::Format_BGR888)
                 .convertToFormat(QImage::Format_RGB32);
  client_->update();
}

bool TForm1::CancelPressed() const {
  return form3_ && form3_->CancelRequested;
}

// --- keys, files dropped, closing ---

void TForm1::keyPressEvent(QKeyEvent* e) {
  // Any key ends playback, Space included: it is play and pause at once.
  if (Playing()) {
    StopPlayback();
    e->accept();
    return;
  }
  if (!DocumentOpen) {
    QMainWindow::keyPressEvent(e);
    return;
  }
  switch (e->key()) {
    case Qt::Key_Right: NextButtonClick(); break;
    case Qt::Key_Left: PrevButtonClick(); break;
    case Qt::Key_Home: FirstFrame(); break;
    case Qt::Key_End: LastFrame(); break;
    case Qt::Key_PageUp: JumpSeconds(-10); break;
    case Qt::Key_PageDown: JumpSeconds(10); break;
    case Qt::Key_I: MenuSelStartClick(); break;
    case Qt::Key_O: MenuSelEndClick(); break;
    case Qt::Key_Space: MenuPlayClick(); break;
    default: QMainWindow::keyPressEvent(e); return;
  }
  e->accept();
}

namespace {
// The local file a drag carries, or an empty text.
QString DraggedFile(const QMimeData* data) {
  if (!data->hasUrls() || data->urls().isEmpty() || !data->urls().first().isLocalFile()) return {};
  return data->urls().first().toLocalFile();
}
}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* e) {
  const QString file = DraggedFile(e->mimeData());
  if (file.isEmpty()) return;
  // A video goes into the open STR; without one there is nothing to put it in.
  if (IsVideoFile(file) && !(DocumentOpen && Conversions.AviToStrWith)) return;
  e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* e) {
  const QString file = DraggedFile(e->mimeData());
  if (file.isEmpty()) return;
  if (IsVideoFile(file)) {
    if (!DocumentOpen || !Conversions.AviToStrWith) return;
    e->acceptProposedAction();
    // Asked and run once the drop itself has ended.
    QMetaObject::invokeMethod(
        this,
        [this, file] {
          if (!DocumentOpen || Converting || !Conversions.AviToStrWith) return;
          const std::string name = FileName(file);
          if (host_.Ask(FormatMessage(msg::kAskDroppedVideo, name.c_str()),
                        Tr(msg::kAskDroppedVideo.Caption), Buttons::kYesNo) != Answer::kYes)
            return;
          Conversions.AviToStrWith(*this, file);
        },
        Qt::QueuedConnection);
    return;
  }
  e->acceptProposedAction();
  OpenDocument(file);
}

void TForm1::closeEvent(QCloseEvent* e) {
  // While a long operation runs the window is disabled and stays open.
  if (!isEnabled()) {
    e->ignore();
    return;
  }
  StopPlayback();
  QMainWindow::closeEvent(e);
}

}  // namespace belmora::app
