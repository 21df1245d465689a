#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
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
#include <QApplication>
#include <QDesktopServices>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QUrl>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_language.h"
#include "app/audio_only.h"
#include "app/form_font.h"
#include "app/image_file_chooser.h"
#include "app/movie_chooser.h"
#include "app/position_form.h"
#include "app/progress_form.h"
#include "base/input_file.h"
#include "base/version.h"
#include "platform/media_formats.h"
#include "app/settings.h"
#include "base/bytes.h"
#include "mdec/codec.h"
#include "str/disc_document.h"
#include "str/frame_walker.h"
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

// The MDEC version and quantizer scale of the frame read, from its own
// header where its coding keeps them.
bool FrameCodingOf(const StrDocument& doc, int& version, int& scale) {
  return FrameHeaderFields(doc.Format->Frames(), doc.FrameBuffer, version, scale);
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
  // "Qualidade máxima" starts ticked: the best encoder is the default.
  OpenBmpDlg.Option = true;
  RunModal = [this](QDialog& dialog) {
    KeepAbove(dialog);
    return dialog.exec();
  };

  BuildStatusLine();
  resize(kClientWidth,
         kClientHeight + MainMenu1->sizeHint().height() + statusBar()->sizeHint().height());
  // Never smaller than the bar, its strip and the panel need.
  setMinimumSize(kClientWidth, kBarFromBottom + 40 + MainMenu1->sizeHint().height() +
                                  statusBar()->sizeHint().height());
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
  connect(PrevButton, &QToolButton::clicked, this, &TForm1::PrevButtonClick);
  connect(NextButton, &QToolButton::clicked, this, &TForm1::NextButtonClick);

  Bar = new TrackBar(client_);
  Bar->setObjectName("Bar");
  Bar->setGeometry(kBarLeft, kClientHeight - kBarFromBottom, 305, kBarHeight);
  Bar->SetMax(0);
  Bar->SetFrequency(30);
  connect(Bar, &QAbstractSlider::valueChanged, this, &TForm1::BarChange);
}

void TForm1::BuildStatusLine() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusLine");
  bar->setSizeGripEnabled(false);
  StatusLabel = new QLabel(bar);
  StatusLabel->setObjectName("StatusLabel");
  bar->addWidget(StatusLabel, 1);
  // After long work: the output's folder, one click away.
  OpenFolderButton = new QToolButton(bar);
  OpenFolderButton->setObjectName("OpenFolderButton");
  SetCaption(OpenFolderButton, msg::kOpenFolderButton);
  OpenFolderButton->setAutoRaise(true);
  OpenFolderButton->setFocusPolicy(Qt::NoFocus);
  OpenFolderButton->hide();
  bar->addPermanentWidget(OpenFolderButton);
  connect(OpenFolderButton, &QToolButton::clicked, this, [this] {
    if (!doneFolder_.isEmpty()) OpenFolder(doneFolder_);
  });
  connect(bar, &QStatusBar::messageChanged, this, [this](const QString& text) {
    // The folder button belongs to the "done" notice.
    if (text.isEmpty()) OpenFolderButton->hide();
  });
  OpenFolder = [](const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
}

void TForm1::SetLabel(const QString& text) {
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

QString TForm1::StatusText() const {
  if (!AudioOnlyPath.empty()) return QString::fromStdString(FormatMessage(msg::kNoPicture));
  if (!DocumentOpen) return QString();
  // Where the frame shown lies: its time, its place among the frames, its
  // picture size, and how it is coded (playing: the frame on screen).
  const PlaybackFrame* playing = player_ ? player_->Current() : nullptr;
  const int32_t sector = playing ? playing->Sector : doc_.CurrentSector;
  const double perSecond = double(kSectorsPerBarUnit) * std::max(doc_.SpeedFactor, 1);
  const int64_t hundredths = int64_t(sector * 100.0 / perSecond);
  const QString time = QString("%1:%2.%3")
                           .arg(hundredths / 6000)
                           .arg(hundredths / 100 % 60, 2, 10, QChar('0'))
                           .arg(hundredths % 100, 2, 10, QChar('0'));
  // Frame i of n from the sectors at the movie's frame rate (frame numbers
  // need not count: tail frames, wrapping): exact for an even layout.
  const double sectorsPerFrame =
      doc_.FramesPerSecond > 0 ? perSecond / doc_.FramesPerSecond : double(kSectorsPerBarUnit);
  int64_t count = std::max<int64_t>(std::llround(doc_.LastFrameSector / sectorsPerFrame) + 1, 1);
  int64_t index = std::clamp<int64_t>(std::llround(sector / sectorsPerFrame) + 1, 1, count);
  // A movie's frames as the scan found them: the exact place.
  if (const Movie* movie = doc_.CurrentMovie(); movie && !movie->Frames.empty()) {
    if (const MovieFrame* f = movie->FrameFrom(sector)) {
      count = int64_t(movie->Frames.size());
      index = f - movie->Frames.data() + 1;
    }
  }
  int version = 0;
  int scale = 0;
  const std::string line =
      FrameCodingOf(doc_, version, scale)
          ? FormatMessage(msg::kStatusLine, time.toUtf8().constData(), (long long)index,
                          (long long)count, int(doc_.ChunkHeader.Width),
                          int(doc_.ChunkHeader.Height), version, scale)
          : FormatMessage(msg::kStatusLineUncoded, time.toUtf8().constData(), (long long)index,
                          (long long)count, int(doc_.ChunkHeader.Width),
                          int(doc_.ChunkHeader.Height));
  QString text = QString::fromUtf8(line.c_str());
  // A frame that lacks sectors, shown with the missing parts concealed: said
  // first, so that a narrow window still shows it.
  if (!playing && doc_.FrameDamaged)
    text = QString::fromStdString(FormatMessage(msg::kFrameDamagedShort,
                                                std::popcount(doc_.ChunksPresent),
                                                int(doc_.ChunkHeader.ChunkCount))) +
           "   " + text;
  return text;
}

QString TForm1::StatusTip() const {
  const bool playing = player_ && player_->Current();
  if (!DocumentOpen || !AudioOnlyPath.empty() || playing || !doc_.FrameDamaged) return QString();
  return QString::fromStdString(FormatMessage(msg::kFrameConcealed,
                                              std::popcount(doc_.ChunksPresent),
                                              int(doc_.ChunkHeader.ChunkCount)));
}

void TForm1::UpdateStatusLine() {
  StatusLabel->setText(StatusText());
  StatusLabel->setToolTip(StatusTip());
}

void TForm1::NoteDone(const QString& output) {
  // Said in the status line, with the folder a click away; a window in the
  // background also has the desktop tell the user.
  const QString text = QString::fromUtf8(
      FormatMessage(msg::kDoneNotice, QFileInfo(output).fileName().toUtf8().constData()).c_str());
  doneFolder_ = QFileInfo(output).absolutePath();
  statusBar()->showMessage(text, 60000);
  OpenFolderButton->show();
  if (isActiveWindow()) return;
  if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
    if (!tray_) {
      tray_ = new QSystemTrayIcon(windowIcon().isNull() ? QApplication::windowIcon() : windowIcon(),
                                  this);
      connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] {
        if (!doneFolder_.isEmpty()) OpenFolder(doneFolder_);
      });
    }
    tray_->show();
    tray_->showMessage(kCaption, text, QSystemTrayIcon::Information, 10000);
  } else {
    QApplication::alert(this);
  }
  LastNotification = text;
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

  // The menu bar's menus open with Alt and their underlined letter.
  MenuFile = menu(MainMenu1, nullptr, msg::kMenuFile, "MenuFile");
  MenuNew = item(MenuFile, msg::kMenuNew, "MenuNew", &TForm1::MenuNewClick);
  MenuOpen = item(MenuFile, msg::kMenuOpen, "MenuOpen", &TForm1::MenuOpenClick);
  MenuMovie = item(MenuFile, msg::kChooseMovieMenu, "MenuMovie", &TForm1::MenuMovieClick);
  MenuMovie->setEnabled(false);
  MenuRecent = menu(nullptr, MenuFile, msg::kRecentFilesMenu, "MenuRecent");
  connect(MenuRecent, &QMenu::aboutToShow, this, &TForm1::UpdateRecentMenu);
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
  MenuHelpKeys = item(MenuHelp, msg::kHelpKeysItem, "MenuHelpKeys", &TForm1::MenuHelpClick);
  MenuAbout = item(MenuHelp, msg::kMenuAbout, "MenuAbout", &TForm1::MenuAboutClick);
  MenuHelp->addMenu(MenuLang);
  UpdateLanguageChecks();

  // The usual keys of a desktop program, shown beside their entries.
  for (auto [action, key] : {std::pair{MenuOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
                             std::pair{MenuBmpO, QKeySequence(Qt::CTRL | Qt::Key_S)},
                             std::pair{MenuAviO, QKeySequence(Qt::CTRL | Qt::Key_E)},
                             std::pair{MenuExit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
                             std::pair{MenuHelpKeys, QKeySequence(Qt::Key_F1)}}) {
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);  // active while the menu's own entry is disabled too
  }
  UpdateRecentMenu();

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

namespace {
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

int TForm1::OpenDocument(const QString& given) {
  // A disc image: one of its STR and XA files, chosen from a list.
  const QString path =
      IsDiscImageFile(given) ? ChooseImageFile(given, host_, this, RunModal) : given;
  if (path.isEmpty()) return -1;
  const std::string name = FileName(path);
  // A file left in the middle of an edit is put back before it is shown
  // (for a file inside a disc image, the image's data file).
  const std::string file = FileOnDisk(name);
  const EditState pending = PendingEdit(file);
  // What cannot be opened leaves the file shown as it is: tried first,
  // read-only and quietly, and refused with the file's name and the reason.
  // A file of several movies is asked about then too: a cancelled choice
  // also leaves the file shown as it is.
  int chosenMovie = -1;
  if ((DocumentOpen || !AudioOnlyPath.empty()) && pending == EditState::kNone) {
    CollectingHost quiet;
    StrDocument probe(quiet);
    const bool opens = OpenMovieFile(probe, quiet, name, OpenMode::kReadOnly) == 0;
    const bool picture = opens && probe.PaddedWidth > 0;
    const std::vector<Movie> movies = opens ? probe.Movies : std::vector<Movie>{};
    const int speed = probe.SpeedFactor;
    CloseStrFile(probe);
    if (!picture && !IsAudioOnlyFile(name)) {
      if (opens)
        Show(host_, msg::kNoPicture);
      else
        Show(host_, msg::kCannotOpenNamed, name.c_str(), OpenFailure(name, quiet).c_str());
      return -1;
    }
    if (movies.size() > 1) {
      chosenMovie = ChooseMovie(path, movies, speed, 0, this, RunModal);
      if (chosenMovie < 0) return -1;
    }
  }
  StopPlayback();
  CloseDocument();
  switch (pending) {
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
  // Another file: the image position set for the last one does not carry over.
  if (name != lastOpened_) Position = ImagePosition{};
  lastOpened_ = name;
  CollectingHost said;
  const int opened = OpenMovieFile(doc_, said, name, OpenMode::kEdit);
  if (opened != 0) {
    // Sound only: the status line says there is no picture.
    if (OpenAudioOnly(*this, name)) {
      UpdateTitle();
      UpdateStatusLine();
      AddRecentFile(given);
      UpdateRecentMenu();
      return -1;
    }
    Show(host_, msg::kCannotOpenNamed, name.c_str(), OpenFailure(name, said).c_str());
    return -1;
  }
  // A file of several movies: the user picks the one to show.
  if (doc_.Movies.size() > 1) {
    const int movie = chosenMovie >= 0 && size_t(chosenMovie) < doc_.Movies.size()
                          ? chosenMovie
                          : ChooseMovie(path, doc_.Movies, doc_.SpeedFactor, 0, this, RunModal);
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
  AddRecentFile(given);
  UpdateRecentMenu();
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
  EnableMovieCommands(true);
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

void TForm1::EnableMovieCommands(bool on) {
  // A file of sound only has its channels, and nothing of a movie.
  for (QAction* a : {MenuAviO, MenuAviI, MenuBmpO, MenuBmpI, MenuSubs}) a->setEnabled(on);
}

void TForm1::CloseDocument() {
  if (!AudioOnlyPath.empty()) {
    AudioOnlyPath.clear();
    MenuConv->menuAction()->setEnabled(false);
    EnableMovieCommands(true);
    SetCaption(Label1, msg::kFramesLabel);
    Label1->adjustSize();
    UpdateTitle();
  }
  if (!DocumentOpen) return;
  StopPlayback();
  DocumentOpen = false;
  CloseStrFile(doc_);
  MenuMovie->setEnabled(false);
  MenuConv->menuAction()->setEnabled(false);
  MenuConf->menuAction()->setEnabled(false);
  SelectionStart = SelectionEnd = 0;
  preview_ = QImage();
  // Nothing is shown: the label no longer tells of a sector and frame.
  SetCaption(Label1, msg::kFramesLabel);
  Label1->adjustSize();
  UpdateStatusLine();
  LayOutBar();
  UpdateTitle();
  client_->update();
}

void TForm1::ShowCurrentFrame() {
  // A stretch without a frame longer than one search is searched past, as
  // every reader walks the movie.
  if (ReadNextFrame(doc_, doc_.LastFrameSector) != 0 || DecodeCurrentFrame(codec_, doc_) != 0)
    return;
  preview_ = QImage();
  client_->update();
  SetLabel(LabelText(doc_.CurrentSector, doc_.ChunkHeader.FrameNumber));
  UpdateStatusLine();
}

void TForm1::UpdateTitle() {
  if (!DocumentOpen && AudioOnlyPath.empty()) {
    setWindowTitle(kCaption);
    return;
  }
  const std::string& path = DocumentOpen ? doc_.Path : AudioOnlyPath;
  QString name = QFileInfo(QFile::decodeName(path.c_str())).fileName();
  if (const auto inner = SplitImagePath(path))  // IMAGE::/PATH
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
  // The picture at the client origin, each pixel drawn scale x scale, kept
  // above the bar's strip when the window is shorter than the picture.
  p.save();
  p.setClipRect(QRect(0, 0, ClientWidth(), std::max(Bar->y() - 2, 0)));
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

  p.restore();

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

void TForm1::Seek(const std::function<void()>& move) {
  // Playing, the movie goes on from where the move lands, as media players
  // do; from the last frame there is nothing left to play.
  const bool playing = Playing();
  StopPlayback();
  move();
  if (playing && doc_.CurrentSector < doc_.LastFrameSector) StartPlayback();
}

void TForm1::PrevButtonClick() {
  if (!DocumentOpen) return;
  Seek([this] {
    (void)FindPreviousFrame(doc_);
    ShowCurrentFrame();
    SetBarPositionFromSector();
  });
}

void TForm1::NextButtonClick() {
  if (!DocumentOpen) return;
  Seek([this] {
    doc_.CurrentSector = doc_.NextSector;
    ShowCurrentFrame();
    SetBarPositionFromSector();
  });
}

void TForm1::BarChange() {
  if (!DocumentOpen) return;
  const int position = Bar->Position();
  Seek([this, position] {
    doc_.CurrentSector = position * kSectorsPerBarUnit;
    ShowCurrentFrame();
    Bar->SetPosition(position);
  });
}

void TForm1::FirstFrame() {
  if (!DocumentOpen) return;
  Seek([this] {
    doc_.CurrentSector = 0;
    ShowCurrentFrame();
    SetBarPositionFromSector();
  });
}

void TForm1::LastFrame() {
  if (!DocumentOpen) return;
  Seek([this] {
    doc_.CurrentSector = doc_.LastFrameSector;
    ShowCurrentFrame();
    SetBarPositionFromSector();
  });
}

void TForm1::JumpSeconds(int seconds) {
  if (!DocumentOpen) return;
  Seek([this, seconds] {
    const int position =
        std::clamp(Bar->Position() + seconds * doc_.SpeedFactor, 0, Bar->Max());
    doc_.CurrentSector = position * kSectorsPerBarUnit;
    ShowCurrentFrame();
    Bar->SetPosition(position);
  });
}

// --- the menu ---

bool TForm1::Execute(FileDialog& dialog) {
  // Each dialog starts in the folder it was last confirmed in.
  const QString key = &dialog == &OpenStrDlg   ? "OpenStr"
                      : &dialog == &SaveStrDlg ? "SaveStr"
                      : &dialog == &OpenAviDlg ? "OpenAvi"
                      : &dialog == &OpenBmpDlg ? "OpenBmp"
                                               : "SaveBmp";
  const QString last = LastFolder(key);
  if (!last.isEmpty()) dialog.Folder = last;
  if (!RunFileDialog(dialog, this)) return false;
  SetLastFolder(key, QFileInfo(dialog.FileName).absolutePath());
  return true;
}

void TForm1::UpdateRecentMenu() {
  MenuRecent->clear();
  const QStringList files = RecentFiles();
  for (int i = 0; i < files.size(); i++) {
    const QString file = files[i];
    // "&1 name", "&2 name", ... "1&0 name": a digit picks it.
    const QString number = i < 9 ? QString("&%1").arg(i + 1) : QString("1&0");
    QAction* a = MenuRecent->addAction(QString("%1 %2").arg(number, QFileInfo(file).fileName()));
    a->setToolTip(file);
    a->setData(file);
    connect(a, &QAction::triggered, this, [this, file] {
      if (Converting || !isEnabled()) return;
      OpenDocument(file);
    });
  }
  MenuRecent->menuAction()->setEnabled(!files.isEmpty());
}

void TForm1::MenuHelpClick() {
  Show(host_, msg::kHelpKeys);
}

void TForm1::RestoreSettings() {
  const QByteArray geometry = WindowGeometry();
  if (!geometry.isEmpty()) restoreGeometry(geometry);
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
  // Suggested: MOVIE_000123.bmp (the frame's number), in the folder last
  // used, or the movie's.
  const QFileInfo movie(QFile::decodeName(doc_.Path.c_str()));
  SaveBmpDlg.FileName = QString("%1_%2.bmp")
                            .arg(movie.completeBaseName())
                            .arg(doc_.ChunkHeader.FrameNumber, 6, 10, QChar('0'));
  SaveBmpDlg.Folder = movie.absolutePath();
  if (!Execute(SaveBmpDlg)) return;
  if (Ok(SaveFrameBmp(codec_, FileName(SaveBmpDlg.FileName), host_)))
    NoteDone(SaveBmpDlg.FileName);
}

void TForm1::MenuBmpIClick() {
  if (!DocumentOpen) return;
  StopPlayback();
  if (!Execute(OpenBmpDlg)) return;
  ImportBmp(OpenBmpDlg.FileName);
}

void TForm1::ImportBmp(const QString& path) {
  if (!DocumentOpen) return;
  StopPlayback();
  // The encoder's own messages say what went wrong; the picture shown is
  // the frame as it now stands. "Qualidade máxima" as last chosen.
  codec_.Encoder = OpenBmpDlg.Option ? EncoderChoice::kBest : EncoderChoice::kExact;
  (void)ImportFrameBmp(codec_, doc_, numbering_, FileName(path), Position);
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
  // Playing, the mark goes on the frame on screen.
  Seek([this] {
    SelectionStart = doc_.CurrentSector;
    if (SelectionStart > SelectionEnd) SelectionEnd = SelectionStart;
    LayOutBar();
  });
}

void TForm1::MenuSelEndClick() {
  if (!DocumentOpen) return;
  Seek([this] {
    SelectionEnd = doc_.CurrentSector;
    if (SelectionEnd < SelectionStart) SelectionStart = SelectionEnd;
    LayOutBar();
  });
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
  SetLabel(LabelText(frame->Sector, frame->FrameNumber));
  UpdateStatusLine();
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
  SetLabel(QString::fromStdString(ProgressLabel(record)));
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
    default:
      // Any other key ends playback.
      if (Playing()) {
        StopPlayback();
        break;
      }
      QMainWindow::keyPressEvent(e);
      return;
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

static bool IsPictureFile(const QString& path) {
  return QFileInfo(path).suffix().compare("bmp", Qt::CaseInsensitive) == 0;
}

void TForm1::dragEnterEvent(QDragEnterEvent* e) {
  const QString file = DraggedFile(e->mimeData());
  if (file.isEmpty()) return;
  // A video goes into the open STR, or, with none, into a new one.
  if (IsVideoFile(file) && !(DocumentOpen ? bool(Conversions.AviToStrWith)
                                          : bool(Conversions.NewStrWith)))
    return;
  e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* e) {
  const QString file = DraggedFile(e->mimeData());
  if (file.isEmpty()) return;
  e->acceptProposedAction();
  // A video, or a picture on an open movie: asked and run once the drop
  // itself has ended. Anything else is opened (and what cannot be leaves
  // the file shown as it is).
  if (IsVideoFile(file) || (DocumentOpen && IsPictureFile(file))) {
    QMetaObject::invokeMethod(this, [this, file] { DroppedFile(file); }, Qt::QueuedConnection);
    return;
  }
  OpenDocument(file);
}

void TForm1::DroppedFile(const QString& file) {
  if (Converting || !isEnabled()) return;
  const std::string name = FileName(file);
  auto asked = [&](const Message& question) {
    return host_.Ask(FormatMessage(question, name.c_str()), Tr(question.Caption),
                     Buttons::kYesNo) == Answer::kYes;
  };
  if (!IsVideoFile(file)) {
    if (DocumentOpen && asked(msg::kAskDroppedPicture)) ImportBmp(file);
    return;
  }
  if (DocumentOpen) {
    if (Conversions.AviToStrWith && asked(msg::kAskDroppedVideo))
      Conversions.AviToStrWith(*this, file);
  } else if (Conversions.NewStrWith && asked(msg::kAskDroppedVideoNew)) {
    StopPlayback();
    Conversions.NewStrWith(*this, file);
  }
}

void TForm1::closeEvent(QCloseEvent* e) {
  // While a long operation runs the window is disabled and stays open.
  if (!isEnabled()) {
    e->ignore();
    return;
  }
  StopPlayback();
  SetWindowGeometry(saveGeometry());
  QMainWindow::closeEvent(e);
}

}  // namespace belmora::app
