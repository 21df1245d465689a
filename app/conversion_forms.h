// The conversion windows, created hidden at start-up with the main window:
// "Configurações" (TForm2), "Novo STR" (TForm4) and "Converter STR para
// AVI" (TConvAviForm). Each shows the controls of its dialog model and runs
// the model's handlers; the models hold the logic and the values.
#pragma once

#include <QDialog>
#include <functional>

#include "app/conversion_summary.h"
#include "app/file_dialog.h"
#include "base/host.h"
#include "convert/avi_to_str_dialog.h"
#include "convert/frame_bmp.h"
#include "convert/str_to_avi_dialog.h"
#include "convert/new_str_dialog.h"
#include "str/new_str.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace belmora::app {

// Runs a window modally and returns its result: Qt's exec, or a test's
// stand-in that answers it.
using ModalRunner = std::function<int(QDialog&)>;
int RunQtModal(QDialog& dialog);

// "Configurações": the settings of an AVI-to-STR conversion.
class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);

  // The dialog's record: inputs, what the controls hold, and (after OK) the
  // options. Kept from one conversion to the next.
  AviToStrSettings Settings;

  // What the next showing works on: the document (its current chunk header
  // is the selection's first frame), the inputs, the host that asks the
  // warning, and the facts of the summary line.
  void Prepare(const StrDocument& doc, const AviToStrInputs& inputs, Host& host,
               const SummaryFacts& facts);

  QGroupBox* GroupBox1;  // "Setor"
  QCheckBox* SectorChk;
  QGroupBox* GroupBox2;  // "Vídeos"
  QLineEdit* FPSEdit;
  QLineEdit* SizeWEdit;
  QLineEdit* SizeHEdit;
  QComboBox* VerSel;
  QGroupBox* GroupBox3;  // "Som"
  QLabel* Label11;
  QComboBox* AudioFormSel;
  QLineEdit* AudioChEdit;
  QGroupBox* GroupBox4;  // "Quadros"
  QCheckBox* FrameOrgChk;
  QLineEdit* StartNoEdit;
  QLineEdit* MinNoEdit;
  QLineEdit* MaxNoEdit;
  QLineEdit* EndNoEdit;
  QLineEdit* EndNumEdit;
  QCheckBox* QualityChk;  // "Qualidade máxima": the best-quality encoder
  QPushButton* Button1;  // "OK"
  QPushButton* Button2;  // "Cancelar"
  QLabel* SummaryLabel;  // what the conversion will do, one line
  QLabel* PositionLabel;  // where imported pictures are placed
  // Shows the image position the conversion will use.
  void ShowPosition(const ImagePosition& position);
  QCheckBox* FrameByFrameChk;  // "Quadro a quadro": one video frame per STR frame
  QPushButton* SimulateButton;  // "Simular": shown when Simulate is set
  // Tries the conversion with the options the controls hold (set by the
  // command that shows the window), and whether it goes frame by frame.
  std::function<void(const AviToStrOptions&, bool frameByFrame)> Simulate;

  void FormShow();
  void SimulateButtonClick();
  void SectorChkClick();
  void FrameOrgChkClick();
  void Button1Click();
  void UpdateSummary();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  // The controls: sectors, video and sound on the left, frame numbers on
  // the right, the buttons and lines below.
  void BuildLeftGroups();
  void BuildNumberGroup();
  void BuildBottom();
  void ShowSettings();
  void ReadControls();

  const StrDocument* doc_ = nullptr;
  Host* host_ = nullptr;
  SummaryFacts facts_;
};

// "Novo STR": the layout of a new STR file.
class TForm4 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm4(QWidget* parent = nullptr);

  belmora::NewStrDialogModel Model;
  NewStrOptions Options;  // set by OK

  QComboBox* ComboBox1;  // "Velocidade"
  QComboBox* ComboBox2;  // "Tipo-Setor"
  QLineEdit* Edit5;      // "Início"
  QLineEdit* Edit1;      // "Cabeçalho (HEADER)": Status low, high; Type low, high
  QLineEdit* Edit2;
  QLineEdit* Edit3;
  QLineEdit* Edit4;
  QPushButton* OKButton;
  QPushButton* Button2;

  void FormShow();
  void OKButtonClick();

 protected:
  void showEvent(QShowEvent* e) override;
};

// "Converter STR para AVI": where the AVI goes and how it is made.
class TConvAviForm : public QDialog {
  Q_OBJECT
 public:
  explicit TConvAviForm(QWidget* parent = nullptr);

  // The dialog's fields (output path and compressor kept for the program's
  // life) and its logic.
  belmora::StrToAviDialogModel Model;

  // What the next showing offers from: the document and its current frame,
  // the view's half width, and the host that reports the choosers' failures.
  void Prepare(StrDocument& doc, bool halfWidthView, Host& host);

  QLabel* Panel1;  // "Salvar como"
  QLineEdit* NameEdit;
  QPushButton* ShowButton;
  QGroupBox* GroupBox1;  // "Vídeos"
  QLabel* Panel2;        // "FrameRate"
  QLineEdit* VRateEdit;
  QLabel* Panel3;  // "Compressão"
  QPushButton* CompSelButton;
  QLabel* Panel7;  // "Largura"
  QLineEdit* VWidthEdit;
  QLabel* Panel8;  // "Altura"
  QLineEdit* VHeightEdit;
  QGroupBox* GroupBox2;  // "Áudio"
  QCheckBox* AEnable;
  QLabel* Panel4;  // "Compressão"
  QPushButton* AcmSelButton;
  QLabel* Panel5;  // "Formato"
  QLineEdit* AFormEdit;
  QPushButton* StartButton;   // "Iniciar"
  QPushButton* CancelButton;  // "Cancelar"
  FileDialog SaveDialog;
  // The name the save dialog confirmed in this showing (it asked before
  // replacing a file of that name); any other existing output is asked
  // about when Iniciar is pressed.
  QString ConfirmedName;
  // The movie the remembered output name was given for: another movie gets
  // its own name suggested (MOVIE.avi, in the same folder).
  std::string OutputMovie;

  // The seams of the dialogs this one runs: the save dialog and the two
  // choosers.
  FileDialogRunner RunFileDialog = RunQtFileDialog;
  ModalRunner RunModal = RunQtModal;

  void FormShow();
  void FormClose();
  void ShowButtonClick();
  void CompSelButtonClick();
  void AEnableClick();
  void AcmSelButtonClick();

 protected:
  void showEvent(QShowEvent* e) override;
  // Every way of closing runs FormClose first, Cancelar included.
  void done(int result) override;

 private:
  void ShowFields();

  StrDocument* doc_ = nullptr;
  bool halfWidthView_ = false;
  Host* host_ = nullptr;
};

}  // namespace belmora::app
