// TForm1, the main window. It places the viewer (the picture, the bar and
// the frame buttons, with the open document), the menus, the status line
// and, while a movie plays, the player; it asks the questions around
// opening a file and starts every other function from its menu.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "app/file_dialog.h"
#include "app/main_menu.h"
#include "app/player.h"
#include "app/qt_host.h"
#include "app/status_line.h"
#include "app/viewer.h"
#include "convert/frame_bmp.h"
#include "convert/frame_codec.h"
#include "xa/xa_codec.h"

namespace belmora::app {

class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TConvAviForm;

// The conversion commands of the menu, supplied by the conversion windows;
// an empty one does nothing.
struct ConversionCommands {
  std::function<void(TForm1&)> NewStr;    // "Criar novo STR"
  std::function<void(TForm1&)> StrToAvi;  // "Converter STR para AVI"
  std::function<void(TForm1&)> AviToStr;  // "Converter AVI para STR"
  // "Converter AVI para STR" with a video already chosen (dropped).
  std::function<void(TForm1&, const QString& video)> AviToStrWith;
  // "Criar novo STR" with the video already chosen (dropped).
  std::function<void(TForm1&, const QString& video)> NewStrWith;
  std::function<void(TForm1&)> ApplySubtitles;  // "Aplicar legendas…"
};

class TForm1 : public QMainWindow, public MainMenu {
  Q_OBJECT
 public:
  static constexpr const char* kCaption = "Belmora v2 - Tavish";

  TForm1();
  ~TForm1() override;

  // The other windows, created after this one.
  void AttachForms(TForm2* form2, TForm3* form3, TForm4* form4, TForm5* form5,
                   TConvAviForm* convAvi);

  int OpenDocument(const QString& path);
  // Shows the open document's chosen movie from its first frame.
  void ShowMovie();
  void CloseDocument();
  void ShowCurrentFrame();
  void LayOutBar();
  void UpdateViewChecks();
  void FormResize();
  // Enables the commands that need a movie (off for a file of sound only).
  void EnableMovieCommands(bool on);

  // Event handlers.
  void PrevButtonClick();
  void NextButtonClick();
  void BarChange();
  void MenuNewClick();
  void MenuOpenClick();
  void MenuMovieClick();
  void MenuExitClick();
  void MenuAviOClick();
  void MenuAviIClick();
  void MenuBmpOClick();
  void MenuBmpIClick();
  // Encodes the picture at `path` into the frame shown ("Abrir arquivo BMP").
  void ImportBmp(const QString& path);
  // A file dropped on the window that asks before it is used.
  void DroppedFile(const QString& file);
  void MenuSubsClick();
  void MenuSaveChannelClick();
  void MenuPlayChannelClick();
  void MenuSpeed1Click();
  void MenuSpeed2Click();
  void MenuWidthNClick();
  void MenuWidthHClick();
  void MenuWidthDClick();
  void MenuSelStartClick();
  void MenuSelEndClick();
  void MenuSelAllClick();
  void MenuPosClick();
  void MenuPlayClick();
  // The language of every text, chosen at once and remembered; and "Sobre".
  void MenuLangEnClick();
  void MenuLangOrigClick();
  void MenuAboutClick();
  void MenuHelpClick();
  // The recent files' entries, from the settings.
  void UpdateRecentMenu();
  // The window's place and size as the last run left them.
  void RestoreSettings();
  // Runs one of the window's file dialogs in the folder it was last
  // confirmed in, and remembers the folder of the file chosen.
  bool Execute(FileDialog& dialog);

  // Navigation by key: the first and last frames, and a jump of `seconds`.
  void FirstFrame();
  void LastFrame();
  void JumpSeconds(int seconds);

  // Playback.
  void StartPlayback();
  void StopPlayback();
  bool Playing() const { return player_ != nullptr; }
  const PlaybackStats& LastPlaybackStats() const { return lastStats_; }
  // Plays the sound where a device takes it; off, playback is silent.
  bool PlaybackSound = true;

  // The conversions' side of the window. A new file is open in the window
  // while its conversion fills it; afterwards the window shows the
  // document as the conversion left it. Converting is set while a command
  // runs: no other starts then.
  void EnterNewDocument();
  void ShowConvertedDocument();
  bool Converting = false;

  // Makes `window` belong to this one, so that it stays above it.
  void KeepAbove(QWidget& window);

  // The long operations' side of the window, used through the host.
  void ProgressBegin();
  void ProgressStep(const ProgressRecord& record);
  void ProgressEnd();
  void ShowPreview(const FrameView& view);
  bool CancelPressed() const;

  // What is drawn: the picture (scaled by ViewScale), the time labels.
  QRect PictureRect() const { return viewer_->PictureRect(); }
  std::vector<TimeLabel> BarTimeLabels() const { return viewer_->BarTimeLabels(); }
  int ViewScale() const { return viewer_->ViewScale(); }
  int ClientWidth() const { return viewer_->width(); }
  int ClientHeight() const { return viewer_->height(); }
  Viewer* Client() const { return viewer_; }

  // The application's records, owned here once (the document and its
  // codec by the viewer).
  QtHost& Ui() { return host_; }
  StrDocument& Document() { return viewer_->Document(); }
  FrameCodec& Codec() { return viewer_->Codec(); }
  FrameNumbering& Numbering() { return numbering_; }
  XaDecoderState& XaDecoder() { return xaDecoder_; }
  XaEncoderState& XaEncoder() { return xaEncoder_; }
  TForm2* Form2() const { return form2_; }
  TForm3* Form3() const { return form3_; }
  TForm4* Form4() const { return form4_; }
  TForm5* Form5() const { return form5_; }
  TConvAviForm* ConvAviForm() const { return convAvi_; }

 private:
  QtHost host_{*this};
  Viewer* const viewer_;
  StatusLine* const status_;

 public:
  // Window state: the viewer's, under the names the window has always had.
  bool& DocumentOpen;
  // A file of sound only shown instead of a document (empty: none).
  std::string AudioOnlyPath;
  int32_t& SelectionStart;
  int32_t& SelectionEnd;
  ImagePosition Position;  // ImageOffsetX, ImageOffsetY

  // The status line: where the frame shown lies and how it is coded.
  QString StatusText() const;
  // The status line's tooltip: the full note on a damaged frame, else empty.
  QString StatusTip() const;
  // Label1's text, drawn small enough to stop short of the buttons.
  void SetLabel(const QString& text) { viewer_->SetLabel(text); }
  void UpdateStatusLine();
  // After long work: "done" with the output's name in the status line (a
  // button opens its folder), and the desktop's notification when the
  // window is in the background.
  void NoteDone(const QString& output) { status_->NoteDone(output); }
  const QString& LastNotification;  // the text of the last desktop notification
  std::function<void(const QString& folder)>& OpenFolder;

  // Widgets: the status line's, and the viewer's.
  QLabel* StatusLabel;
  QLabel* NoticeLabel;
  QToolButton* OpenFolderButton;
  QFrame* Panel2;
  QLabel* Label1;
  QToolButton* PrevButton;
  QToolButton* NextButton;
  TrackBar* Bar;

  // File dialogs and the seam that runs them.
  FileDialog OpenStrDlg, SaveStrDlg, OpenAviDlg, OpenBmpDlg, SaveBmpDlg;
  FileDialogRunner RunFileDialog = RunQtFileDialog;
  // Runs a modal window; Qt's exec unless a test stands in.
  std::function<int(QDialog&)> RunModal;

  ConversionCommands Conversions;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void SetUpFileDialogs();
  void ConnectViewer();
  bool MayGiveUpShownFor(const QString& path, const std::string& name, int& chosenMovie);
  bool PutBackInterruptedEdit(const std::string& file, int pending);
  int OpenInViewer(const QString& given, const QString& path, const std::string& name,
                   int chosenMovie);
  void SetViewSize(bool half, int scale);
  void FitWindowToPicture();
  void UpdateTitle();
  void PlaybackFrameChanged();
  // Runs a move of the shown frame; playback, if on, goes on from there.
  void Seek(const std::function<void()>& move);

  FrameNumbering numbering_;
  XaDecoderState xaDecoder_;
  XaEncoderState xaEncoder_;

  TForm2* form2_ = nullptr;
  TForm3* form3_ = nullptr;
  TForm4* form4_ = nullptr;
  TForm5* form5_ = nullptr;
  TConvAviForm* convAvi_ = nullptr;

  std::string lastOpened_;  // the file last opened, to tell another one
  QSize sizeBeforeDouble_;  // the window's size before "Dobro" grew it
  QSize sizeAfterDouble_;
  std::unique_ptr<Player> player_;
  PlaybackStats lastStats_;
};

}  // namespace belmora::app
