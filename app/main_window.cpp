#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QWindow>
#include <algorithm>

#include "app/app_language.h"
#include "app/audio_only.h"
#include "app/form_font.h"
#include "app/image_file_chooser.h"
#include "app/movie_chooser.h"
#include "app/position_form.h"
#include "app/progress_form.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "base/version.h"
#include "convert/picture_check.h"
#include "platform/media_formats.h"
#include "str/disc_document.h"
#include "str/journal.h"

namespace belmora::app {
namespace {

// The client area's size at the start, below the menu bar; the bar's strip
// takes 80 pixels above its bottom.
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 322;
constexpr int kBarFromBottom = 80;

std::string FileName(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace

// --- construction ---

TForm1::TForm1()
    : viewer_(new Viewer(host_)),
      status_(new StatusLine(*this, kCaption)),
      DocumentOpen(viewer_->DocumentOpen),
      SelectionStart(viewer_->SelectionStart),
      SelectionEnd(viewer_->SelectionEnd),
      LastNotification(status_->LastNotification),
      OpenFolder(status_->OpenFolder) {
  setObjectName("Form1");
  setWindowTitle(kCaption);
  setAcceptDrops(true);

  viewer_->setFont(FormFont());
  setCentralWidget(viewer_);
  ConnectViewer();
  BuildMainMenu(*this);

  SetUpFileDialogs();
  // "Qualidade máxima" starts ticked: the best encoder is the default.
  OpenBmpDlg.Option = true;
  RunModal = [this](QDialog& dialog) {
    KeepAbove(dialog);
    return dialog.exec();
  };

  StatusLabel = status_->StatusLabel;
  NoticeLabel = status_->NoticeLabel;
  OpenFolderButton = status_->OpenFolderButton;
  resize(kClientWidth,
         kClientHeight + MainMenu1->sizeHint().height() + statusBar()->sizeHint().height());
  // Never smaller than the bar, its strip and the panel need.
  setMinimumSize(kClientWidth, kBarFromBottom + 40 + MainMenu1->sizeHint().height() +
                                  statusBar()->sizeHint().height());
  viewer_->resize(kClientWidth, kClientHeight);
  FormResize();
  UpdateViewChecks();
  viewer_->setFocus();
}

void TForm1::ConnectViewer() {
  Panel2 = viewer_->Panel2;
  Label1 = viewer_->Label1;
  PrevButton = viewer_->PrevButton;
  NextButton = viewer_->NextButton;
  Bar = viewer_->Bar;
  connect(viewer_, &Viewer::PrevClicked, this, &TForm1::PrevButtonClick);
  connect(viewer_, &Viewer::NextClicked, this, &TForm1::NextButtonClick);
  connect(viewer_, &Viewer::BarMoved, this, &TForm1::BarChange);
  connect(viewer_, &Viewer::FrameShown, this, &TForm1::UpdateStatusLine);
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
  // Opening also takes XA files and disc images (whose STR and XA files are
  // listed); the first filter offers all of them.
  const QString openFilter = filter({msg::kOpenableFilesFilter, msg::kStrFilesFilter,
                                     msg::kDiscImagesFilter, msg::kAllFilesFilter});
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
    CheckLanguage(CurrentLanguage() == Language::kEnglish);
    // The frame's label and the status line are made from formats, not
    // kept as captions: made again, the label fitted to its room again.
    if (Playing())
      PlaybackFrameChanged();
    else if (DocumentOpen && !HasCaption(Label1))
      viewer_->UpdateLabel();
    Label1->adjustSize();
    UpdateStatusLine();
  }
  QMainWindow::changeEvent(e);
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

// --- the status line ---

QString TForm1::StatusText() const {
  if (!AudioOnlyPath.empty()) return QString::fromStdString(FormatMessage(msg::kNoPicture));
  if (!DocumentOpen) return QString();
  return StatusLine::FrameText(viewer_->Facts(), viewer_->LayoutName());
}

QString TForm1::StatusTip() const {
  if (!DocumentOpen || !AudioOnlyPath.empty()) return QString();
  return StatusLine::FrameTip(viewer_->Facts());
}

void TForm1::UpdateStatusLine() {
  if (!AudioOnlyPath.empty())
    status_->ShowNoPicture();
  else if (!DocumentOpen)
    status_->ShowNothing();
  else
    status_->ShowFrame(viewer_->Facts(), viewer_->LayoutName());
}

// --- the document ---

// Asked before the file shown is given up for `name`: what cannot be opened
// leaves it shown, refused with the file's name and the reason (tried
// read-only and quietly first); a file of several movies has the user pick
// one (a cancelled choice also leaves the file shown).
bool TForm1::MayGiveUpShownFor(const QString& path, const std::string& name, int& chosenMovie) {
  const FileProbe probe = ProbeFile(name);
  if (!probe.Picture && !IsAudioOnlyFile(name)) {
    if (probe.Opens)
      Show(host_, msg::kNoPicture);
    else
      Show(host_, msg::kCannotOpenNamed, name.c_str(), probe.Failure.c_str());
    return false;
  }
  if (probe.Movies.size() > 1) {
    chosenMovie = ChooseMovie(path, probe.Movies, probe.SpeedFactor, 0, this, RunModal,
                              QString::fromUtf8(probe.Layout.c_str()));
    if (chosenMovie < 0) return false;
  }
  return true;
}

// A file left in the middle of an edit is put back (if the user agrees)
// before it is shown; one another program edits is refused.
bool TForm1::PutBackInterruptedEdit(const std::string& file, int pending) {
  switch (EditState(pending)) {
    case EditState::kNone:
      return true;
    case EditState::kBeingEdited:
      (void)RefusePendingEdit(host_, file, file);
      return false;
    case EditState::kInterrupted:
      break;
  }
  if (host_.Ask(FormatMessage(msg::kAskRecover, file.c_str()), Tr(msg::kAskRecover.Caption),
                Buttons::kYesNo) != Answer::kYes)
    return false;
  RecoverDetail detail;
  const RecoverResult result = RecoverJournal(file, &detail);
  if (!ReportRecovery(host_, file, file, result, detail)) return false;
  Show(host_, msg::kRecovered, file.c_str());
  return true;
}

int TForm1::OpenDocument(const QString& given) {
  // A disc image: one of its STR and XA files, chosen from a list.
  const QString path =
      IsDiscImageFile(given) ? ChooseImageFile(given, host_, this, RunModal) : given;
  if (path.isEmpty()) return -1;
  const std::string name = FileName(path);
  // (For a file inside a disc image, the image's data file.)
  const std::string file = FileOnDisk(name);
  const EditState pending = PendingEdit(file);
  int chosenMovie = -1;
  if ((DocumentOpen || !AudioOnlyPath.empty()) && pending == EditState::kNone &&
      !MayGiveUpShownFor(path, name, chosenMovie))
    return -1;
  StopPlayback();
  CloseDocument();
  status_->ClearNotice();
  if (!PutBackInterruptedEdit(file, int(pending))) return -1;
  // Another file: the image position set for the last one does not carry over.
  if (name != lastOpened_) Position = ImagePosition{};
  lastOpened_ = name;
  return OpenInViewer(given, path, name, chosenMovie);
}

int TForm1::OpenInViewer(const QString& given, const QString& path, const std::string& name,
                         int chosenMovie) {
  std::string failure;
  if (!viewer_->OpenFile(name, failure)) {
    // Sound only: the status line says there is no picture.
    if (OpenAudioOnly(*this, name)) {
      UpdateTitle();
      UpdateStatusLine();
      AddRecentFile(given);
      UpdateRecentMenu();
      return -1;
    }
    Show(host_, msg::kCannotOpenNamed, name.c_str(), failure.c_str());
    return -1;
  }
  // A file of several movies: the user picks the one to show.
  const std::vector<Movie>& movies = viewer_->Movies();
  if (movies.size() > 1) {
    const int movie = chosenMovie >= 0 && size_t(chosenMovie) < movies.size()
                          ? chosenMovie
                          : ChooseMovie(path, movies, viewer_->SpeedFactor(), 0, this, RunModal,
                                        viewer_->LayoutName());
    if (movie < 0) {
      viewer_->CloseFile();
      return -1;
    }
    if (!viewer_->SelectMovieAt(movie)) {
      Show(host_, msg::kCannotOpenStr);
      viewer_->CloseFile();
      return -1;
    }
  }
  if (!viewer_->HasPicture()) {
    Show(host_, msg::kNoPicture);
    viewer_->CloseFile();
    return -1;
  }
  // Frames that decode in no layout are said so, not shown as black.
  if (!viewer_->FramesDecode()) {
    Show(host_, msg::kFramesDoNotDecode, name.c_str());
    viewer_->CloseFile();
    return -1;
  }
  AddRecentFile(given);
  UpdateRecentMenu();
  ShowMovie();
  return 0;
}

void TForm1::ShowMovie() {
  viewer_->ShowMovie();
  UpdateViewChecks();
  EnableDocumentMenus(true, true);
  MenuMovie->setEnabled(viewer_->Movies().size() > 1);
  EnableMovieCommands(true);
  UpdateTitle();
  FitWindowToPicture();
}

void TForm1::MenuMovieClick() {
  if (!DocumentOpen || viewer_->Movies().size() < 2) return;
  const QString file = QFile::decodeName(viewer_->Path().c_str());
  const int movie = ChooseMovie(file, viewer_->Movies(), viewer_->SpeedFactor(),
                                viewer_->MovieIndex(), this, RunModal, viewer_->LayoutName());
  if (movie < 0 || movie == viewer_->MovieIndex()) return;
  StopPlayback();
  if (!viewer_->SelectMovieAt(movie)) {
    Show(host_, msg::kCannotOpenStr);
    CloseDocument();
    return;
  }
  ShowMovie();
}

void TForm1::EnableMovieCommands(bool on) {
  // A file of sound only has its channels, and nothing of a movie.
  EnableMovieEntries(on);
}

void TForm1::CloseDocument() {
  if (!AudioOnlyPath.empty()) {
    AudioOnlyPath.clear();
    EnableDocumentMenus(false, MenuConf->menuAction()->isEnabled());
    EnableMovieCommands(true);
    SetCaption(Label1, msg::kFramesLabel);
    Label1->adjustSize();
    UpdateTitle();
  }
  if (!DocumentOpen) return;
  StopPlayback();
  viewer_->CloseFile();
  MenuMovie->setEnabled(false);
  EnableDocumentMenus(false, false);
  viewer_->ShowNothing();
  UpdateStatusLine();
  UpdateTitle();
}

void TForm1::ShowCurrentFrame() {
  viewer_->ShowCurrentFrame();
}

void TForm1::UpdateTitle() {
  if (!DocumentOpen && AudioOnlyPath.empty()) {
    setWindowTitle(kCaption);
    return;
  }
  const std::string& path = DocumentOpen ? viewer_->Path() : AudioOnlyPath;
  QString name = QFileInfo(QFile::decodeName(path.c_str())).fileName();
  if (const auto inner = SplitImagePath(path))  // IMAGE::/PATH
    name = QFileInfo(QFile::decodeName(inner->Image.c_str())).fileName() + "::" +
           QFile::decodeName(inner->Inner.c_str());
  // A file of several movies: which one, of how many ("MOVIE.STR [2/3]").
  const size_t movies = viewer_->Movies().size();
  if (movies > 1) name += QString(" [%1/%2]").arg(viewer_->MovieIndex() + 1).arg(movies);
  setWindowTitle(QString("%1 - %2").arg(kCaption, name));
}

// --- layout ---

void TForm1::LayOutBar() {
  viewer_->LayOutBar();
}

void TForm1::FormResize() {
  viewer_->FormResize();
}

void TForm1::UpdateViewChecks() {
  CheckView(viewer_->SpeedFactor(), viewer_->HalfWidth(), viewer_->ViewScale());
}

void TForm1::SetViewSize(bool half, int scale) {
  StopPlayback();
  viewer_->SetViewSize(half, scale);
  UpdateViewChecks();
  FitWindowToPicture();
}

void TForm1::FitWindowToPicture() {
  if (viewer_->ViewScale() == 2) {
    if (!DocumentOpen) return;
    const QSize grow = viewer_->DoubledPictureNeeds();
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

// --- navigation ---

void TForm1::Seek(const std::function<void()>& move) {
  // Playing, the movie goes on from where the move lands, as media players
  // do; from the last frame there is nothing left to play.
  const bool playing = Playing();
  StopPlayback();
  move();
  if (playing && !viewer_->AtOrPastLastFrame()) StartPlayback();
}

void TForm1::PrevButtonClick() {
  if (DocumentOpen) Seek([this] { viewer_->StepBack(); });
}

void TForm1::NextButtonClick() {
  if (DocumentOpen) Seek([this] { viewer_->StepForward(); });
}

void TForm1::BarChange() {
  if (!DocumentOpen) return;
  const int position = Bar->Position();
  Seek([this, position] { viewer_->GoToBarPosition(position); });
}

void TForm1::FirstFrame() {
  if (DocumentOpen) Seek([this] { viewer_->GoToFirstFrame(); });
}

void TForm1::LastFrame() {
  if (DocumentOpen) Seek([this] { viewer_->GoToLastFrame(); });
}

void TForm1::JumpSeconds(int seconds) {
  if (DocumentOpen) Seek([this, seconds] { viewer_->JumpSeconds(seconds); });
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
  FillRecent(*this);
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
  SaveBmpDlg.FileName = viewer_->SuggestedBmpName();
  SaveBmpDlg.Folder = QFileInfo(QFile::decodeName(viewer_->Path().c_str())).absolutePath();
  if (!Execute(SaveBmpDlg)) return;
  if (Ok(viewer_->SaveFrame(FileName(SaveBmpDlg.FileName), host_))) NoteDone(SaveBmpDlg.FileName);
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
  // A file that is no picture is refused with its name and the reason.
  const std::string name = FileName(path);
  if (const std::string problem = PictureProblem(name); !problem.empty()) {
    Show(host_, msg::kCannotOpenNamed, name.c_str(), problem.c_str());
    return;
  }
  // "Qualidade máxima" as last chosen.
  viewer_->ImportBmp(name, OpenBmpDlg.Option, numbering_, Position);
}

void TForm1::MenuSpeed1Click() {
  viewer_->SetSpeed(1);
  UpdateViewChecks();
}

void TForm1::MenuSpeed2Click() {
  viewer_->SetSpeed(2);
  UpdateViewChecks();
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

void TForm1::MenuSelStartClick() {
  // Playing, the mark goes on the frame on screen.
  if (DocumentOpen) Seek([this] { viewer_->MarkSelectionStart(); });
}

void TForm1::MenuSelEndClick() {
  if (DocumentOpen) Seek([this] { viewer_->MarkSelectionEnd(); });
}

void TForm1::MenuSelAllClick() {
  if (DocumentOpen) viewer_->SelectAll();
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
  player_ = std::make_unique<Player>(viewer_->PlaybackFrom(), PlaybackSound);
  Player* player = player_.get();
  viewer_->SetPlayer(player);
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
  viewer_->SetPlayer(nullptr);
  lastStats_ = player->Stats();
  const int32_t sector = player->Current() ? player->Current()->Sector : -1;
  player.reset();
  if (sector >= 0 && DocumentOpen) viewer_->GoToSector(sector);
}

void TForm1::PlaybackFrameChanged() {
  const PlaybackFrame* frame = player_ ? player_->Current() : nullptr;
  if (frame) viewer_->ShowPlaybackFrame(frame->Sector, frame->FrameNumber);
}

// --- the long operations ---

void TForm1::EnterNewDocument() {
  StopPlayback();
  viewer_->EnterNewDocument();
  EnableDocumentMenus(true, true);
}

void TForm1::ShowConvertedDocument() {
  LayOutBar();
  if (DocumentOpen) viewer_->SetBarPositionFromSector();
  UpdateTitle();
  viewer_->update();
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
  viewer_->ShowPreview(view);
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

bool IsPictureFile(const QString& path) {
  return QFileInfo(path).suffix().compare("bmp", Qt::CaseInsensitive) == 0;
}
}  // namespace

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
