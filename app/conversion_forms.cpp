#include "app/conversion_forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

#include "app/choosers.h"
#include "app/form_font.h"
#include "app/app_language.h"
#include "app/form_widgets.h"
#include "convert/avi_to_str.h"
#include "platform/media_module.h"

namespace belmora::app {
namespace {

// A label panel: a raised panel with its caption in the middle.
QLabel* LabelPanel(const char* caption, const char* name, QWidget* parent, QRect at) {
  auto* p = new QLabel(parent);
  SetCaption(p, caption);
  p->setObjectName(name);
  p->setGeometry(at);
  p->setFrameStyle(QFrame::Panel | QFrame::Raised);
  p->setAlignment(Qt::AlignCenter);
  return p;
}

}  // namespace

int RunQtModal(QDialog& dialog) {
  return dialog.exec();
}

// --- TForm2, "Configurações" ---

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName("Form2");
  SetCaption(this, msg::kSettingsTitle);
  setFont(FormFont());
  setFixedSize(540, 280);
  BuildLeftGroups();
  BuildNumberGroup();
  BuildBottom();

  connect(SectorChk, &QCheckBox::clicked, this, &TForm2::SectorChkClick);
  connect(FrameOrgChk, &QCheckBox::clicked, this, &TForm2::FrameOrgChkClick);
  connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  for (QLineEdit* e : {FPSEdit, EndNumEdit})
    connect(e, &QLineEdit::textEdited, this, &TForm2::UpdateSummary);

  SetTabOrder({SectorChk, FPSEdit, SizeWEdit, SizeHEdit, VerSel, AudioFormSel, AudioChEdit,
               FrameOrgChk, StartNoEdit, MinNoEdit, MaxNoEdit, EndNoEdit, EndNumEdit, QualityChk,
               Button1, Button2});
}

void TForm2::BuildLeftGroups() {
  // Left: sectors, video, sound.
  GroupBox1 = Group(msg::kSectorWord, "GroupBox1", this, {8, 4, 258, 42});
  SectorChk = new QCheckBox(GroupBox1);
  SetCaption(SectorChk, msg::kSkipSector);
  SectorChk->setObjectName("SectorChk");
  SectorChk->setGeometry(12, 18, SectorChk->sizeHint().width(), 18);

  GroupBox2 = Group(msg::kVideoGroup, "GroupBox2", this, {8, 50, 258, 74});
  Label(msg::kFpsLabel, GroupBox2, {10, 22, 24, 14});
  FPSEdit = Edit("FPSEdit", GroupBox2, {34, 18, 64, 21});
  Label(msg::kWidthShort, GroupBox2, {110, 22, 12, 14});
  SizeWEdit = Edit("SizeWEdit", GroupBox2, {124, 18, 50, 21});
  Label(msg::kHeightShort, GroupBox2, {184, 22, 12, 14});
  SizeHEdit = Edit("SizeHEdit", GroupBox2, {198, 18, 50, 21});
  Label(msg::kMdecVersionLabel, GroupBox2, {10, 48, 60, 14});
  VerSel = DropDown("VerSel", GroupBox2, {72, 44, 44, 21}, {"2", "3"});

  GroupBox3 = Group(msg::kSoundGroup, "GroupBox3", this, {8, 128, 258, 74});
  Label11 = Label("", GroupBox3, {12, 22, 40, 14});
  Label11->setObjectName("Label11");
  AudioFormSel = DropDown("AudioFormSel", GroupBox3, {56, 18, 192, 21}, {});
  Label(msg::kChannelsLabel, GroupBox3, {12, 48, 44, 14});
  AudioChEdit = Edit("AudioChEdit", GroupBox3, {56, 44, 56, 21});
}

void TForm2::BuildNumberGroup() {
  // Right: frame numbers.
  GroupBox4 = Group(msg::kFramesGroup, "GroupBox4", this, {274, 4, 258, 198});
  FrameOrgChk = new QCheckBox(GroupBox4);
  SetCaption(FrameOrgChk, msg::kFrameOrg);
  FrameOrgChk->setObjectName("FrameOrgChk");
  FrameOrgChk->setGeometry(12, 18, FrameOrgChk->sizeHint().width(), 18);
  const char* numberLabels[] = {msg::kNumberStart, msg::kNumberMin, msg::kNumberMax,
                                msg::kNumberFrame, msg::kSizeWord};
  const char* numberNames[] = {"StartNoEdit", "MinNoEdit", "MaxNoEdit", "EndNoEdit", "EndNumEdit"};
  QLineEdit* numbers[5];
  for (int i = 0; i < 5; i++) {
    Label(numberLabels[i], GroupBox4, {12, 48 + 28 * i, 76, 14});
    numbers[i] = Edit(numberNames[i], GroupBox4, {92, 44 + 28 * i, 154, 21});
  }
  StartNoEdit = numbers[0];
  MinNoEdit = numbers[1];
  MaxNoEdit = numbers[2];
  EndNoEdit = numbers[3];
  EndNumEdit = numbers[4];
}

void TForm2::BuildBottom() {
  // The best-quality encoder and filtered sound instead of the exact ones.
  QualityChk = new QCheckBox(this);
  SetCaption(QualityChk, msg::kBestQuality);
  QualityChk->setObjectName("QualityChk");
  QualityChk->setGeometry(12, 212, QualityChk->sizeHint().width(), 18);
  // The best encoder unless the user asks for the exact arithmetic.
  Settings.QualityChk = true;

  Button1 = Button(msg::kChooserOk, "Button1", this, {376, 208, 75, 25}, false);
  Button1->setDefault(true);
  Button2 = Button(msg::kCancelButton, "Button2", this, {457, 208, 75, 25}, false);

  // Beyond the dialog's own controls: what the conversion will do.
  SummaryLabel = new QLabel(this);
  SummaryLabel->setObjectName("SummaryLabel");
  SummaryLabel->setGeometry(8, 240, 524, 16);
  SummaryLabel->setTextFormat(Qt::PlainText);
  // Where imported pictures go ("Posição da seleção"): in effect, shown.
  PositionLabel = new QLabel(this);
  PositionLabel->setObjectName("PositionLabel");
  PositionLabel->setGeometry(8, 258, 524, 16);
  PositionLabel->setTextFormat(Qt::PlainText);

  // The translator's additions: frame by frame, and a simulation first.
  FrameByFrameChk = new QCheckBox(GroupBox1);
  SetCaption(FrameByFrameChk, msg::kFrameByFrame);
  FrameByFrameChk->setObjectName("FrameByFrameChk");
  FrameByFrameChk->setGeometry(120, 18, FrameByFrameChk->sizeHint().width(), 18);
  SimulateButton = Button(msg::kSimulateButton, "SimulateButton", this, {295, 208, 75, 25});
  connect(SimulateButton, &QPushButton::clicked, this, &TForm2::SimulateButtonClick);
}

void TForm2::Prepare(const StrDocument& doc, const AviToStrInputs& inputs, Host& host,
                     const SummaryFacts& facts) {
  doc_ = &doc;
  host_ = &host;
  facts_ = facts;
  facts_.NewFile = inputs.IsNewFile;
  Settings.Inputs = inputs;
}

void TForm2::ShowPosition(const ImagePosition& position) {
  PositionLabel->setText(QString::fromUtf8(
      FormatMessage(msg::kPositionInEffect, -position.ImageOffsetX, -position.ImageOffsetY)
          .c_str()));
}

void TForm2::showEvent(QShowEvent* e) {
  FormShow();
  QDialog::showEvent(e);
}

void TForm2::SimulateButtonClick() {
  if (!doc_ || !host_ || !Simulate) return;
  ReadControls();
  // The settings as OK would take them, the window left open.
  AviToStrSettings trial = Settings;
  if (trial.Button1Click(*doc_, *host_)) Simulate(trial.Options, FrameByFrameChk->isChecked());
}

void TForm2::FormShow() {
  SimulateButton->setVisible(bool(Simulate));
  if (!doc_) return;
  Settings.FormShow(*doc_);
  ShowSettings();
}

void TForm2::SectorChkClick() {
  if (!doc_) return;
  ReadControls();
  Settings.SectorChkClick(*doc_);
  ShowSettings();
}

void TForm2::FrameOrgChkClick() {
  ReadControls();
  Settings.FrameOrgChkClick();
  ShowSettings();
}

void TForm2::Button1Click() {
  if (!doc_ || !host_) return;
  ReadControls();
  for (QLineEdit* e : {FPSEdit, SizeWEdit, SizeHEdit, AudioChEdit, MinNoEdit, MaxNoEdit, EndNumEdit})
    e->setStyleSheet(QString());
  // Declining the warning about silence keeps the dialog open.
  if (!Settings.Button1Click(*doc_, *host_)) return;
  // So does a value the conversion cannot take: said, and its field marked,
  // with everything else as the user left it.
  QLineEdit* field = nullptr;
  switch (CheckAviToStrOptions(*doc_, Settings.Options, *host_)) {
    case AviToStrField::kNone: accept(); return;
    case AviToStrField::kFrameRate: field = FPSEdit; break;
    case AviToStrField::kSize: field = SizeWEdit; break;
    case AviToStrField::kVersion: break;
    case AviToStrField::kChannel: field = AudioChEdit; break;
    case AviToStrField::kNumbering: field = MaxNoEdit; break;
    case AviToStrField::kTailFrames: field = EndNumEdit; break;
  }
  if (!field) return;
  field->setStyleSheet("QLineEdit { background: #ffd0d0; }");
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
}

void TForm2::ShowSettings() {
  const AviToStrSettings& s = Settings;
  SectorChk->setChecked(s.SectorChk);
  SectorChk->setEnabled(s.SectorChkEnabled);
  FPSEdit->setText(Text(s.FPSEdit));
  FPSEdit->setEnabled(s.FPSEditEnabled);
  SizeWEdit->setText(Text(s.SizeWEdit));
  SizeHEdit->setText(Text(s.SizeHEdit));
  VerSel->setCurrentIndex(s.VerSel);
  Label11->setText(Text(s.Label11));
  AudioFormSel->clear();
  for (const std::string& item : s.AudioFormItems) AudioFormSel->addItem(Text(item));
  AudioFormSel->setCurrentIndex(s.AudioFormSel);
  AudioChEdit->setText(Text(s.AudioChEdit));
  FrameOrgChk->setChecked(s.FrameOrgChk);
  FrameOrgChk->setEnabled(s.FrameOrgChkEnabled);
  const std::string* texts[] = {&s.StartNoEdit, &s.MinNoEdit, &s.MaxNoEdit, &s.EndNoEdit,
                                &s.EndNumEdit};
  QLineEdit* edits[] = {StartNoEdit, MinNoEdit, MaxNoEdit, EndNoEdit, EndNumEdit};
  for (int i = 0; i < 5; i++) {
    edits[i]->setText(Text(*texts[i]));
    edits[i]->setEnabled(s.NumberEditsEnabled);
  }
  QualityChk->setChecked(s.QualityChk);
  UpdateSummary();
}

void TForm2::ReadControls() {
  AviToStrSettings& s = Settings;
  s.SectorChk = SectorChk->isChecked();
  s.FPSEdit = Std(FPSEdit->text());
  s.SizeWEdit = Std(SizeWEdit->text());
  s.SizeHEdit = Std(SizeHEdit->text());
  s.VerSel = VerSel->currentIndex();
  s.AudioFormSel = AudioFormSel->currentIndex();
  s.AudioChEdit = Std(AudioChEdit->text());
  s.FrameOrgChk = FrameOrgChk->isChecked();
  s.StartNoEdit = Std(StartNoEdit->text());
  s.MinNoEdit = Std(MinNoEdit->text());
  s.MaxNoEdit = Std(MaxNoEdit->text());
  s.EndNoEdit = Std(EndNoEdit->text());
  s.EndNumEdit = Std(EndNumEdit->text());
  s.QualityChk = QualityChk->isChecked();
}

void TForm2::UpdateSummary() {
  SummaryChoice choice;
  choice.Rebuild = SectorChk->isChecked();
  choice.FrameRate = std::strtod(Std(FPSEdit->text()).c_str(), nullptr);
  choice.TailFrames = int(std::strtol(Std(EndNumEdit->text()).c_str(), nullptr, 10));
  const QString line = Text(SettingsSummary(facts_, choice));
  // The whole line in the tip, should the window be too narrow for it.
  SummaryLabel->setToolTip(line);
  SummaryLabel->setText(
      QFontMetrics(SummaryLabel->font()).elidedText(line, Qt::ElideRight, SummaryLabel->width()));
}

// --- TForm4, "Novo STR" ---

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
  setObjectName("Form4");
  SetCaption(this, msg::kNewStrTitle);
  setFont(FormFont());
  setFixedSize(183, 186);

  Label(msg::kSpeedLabel, this, {8, 12, 76, 14});
  ComboBox1 = DropDown("ComboBox1", this, {88, 8, 87, 21}, {"1x", "2x"});
  Label(msg::kSectorTypeLabel, this, {8, 38, 76, 14});
  ComboBox2 = DropDown("ComboBox2", this, {88, 34, 87, 21}, {"2048", "2336", "2352(RIFF)"});
  Label(msg::kStartLabel, this, {8, 64, 76, 14});
  Edit5 = Edit("Edit5", this, {88, 60, 87, 21});
  Label(msg::kHeaderLabel, this, {8, 92, 167, 14});
  QLineEdit** header[] = {&Edit1, &Edit2, &Edit3, &Edit4};
  const char* names[] = {"Edit1", "Edit2", "Edit3", "Edit4"};
  for (int i = 0; i < 4; i++) *header[i] = Edit(names[i], this, {9 + 42 * i, 108, 38, 21});

  OKButton = Button(msg::kChooserOk, "OKButton", this, {12, 150, 75, 25}, false);
  OKButton->setDefault(true);
  Button2 = Button(msg::kCancelButton, "Button2", this, {96, 150, 75, 25}, false);
  connect(OKButton, &QPushButton::clicked, this, &TForm4::OKButtonClick);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  SetTabOrder({ComboBox1, ComboBox2, Edit5, Edit1, Edit2, Edit3, Edit4, OKButton, Button2});
}

void TForm4::showEvent(QShowEvent* e) {
  FormShow();
  QDialog::showEvent(e);
}

void TForm4::FormShow() {
  Model.FormShow();
  ComboBox1->setCurrentText(Text(Model.ComboBox1));
  ComboBox2->setCurrentText(Text(Model.ComboBox2));
  Edit1->setText(Text(Model.Edit1));
  Edit2->setText(Text(Model.Edit2));
  Edit3->setText(Text(Model.Edit3));
  Edit4->setText(Text(Model.Edit4));
  Edit5->setText(Text(Model.Edit5));
}

void TForm4::OKButtonClick() {
  Model.ComboBox1 = Std(ComboBox1->currentText());
  Model.ComboBox2 = Std(ComboBox2->currentText());
  Model.Edit1 = Std(Edit1->text());
  Model.Edit2 = Std(Edit2->text());
  Model.Edit3 = Std(Edit3->text());
  Model.Edit4 = Std(Edit4->text());
  Model.Edit5 = Std(Edit5->text());
  Options = Model.OKButtonClick();
  accept();
}

namespace {
// Puts `text` on `button` whole, in a smaller font when the form's does not
// leave room for it (a compressor's name such as "FFV1 (lossless)"), cut
// with an ellipsis only below 7 pixels; the tip always has it whole.
void FitCaption(QPushButton* button, const QString& text) {
  QFont font = button->parentWidget() ? button->parentWidget()->font() : button->font();
  const int room = button->width() - 6;
  int pixels = QFontInfo(font).pixelSize();
  while (pixels > 7 && QFontMetrics(font).horizontalAdvance(text) > room) {
    pixels--;
    font.setPixelSize(pixels);
  }
  button->setFont(font);
  button->setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, room));
  button->setToolTip(text);
}
}  // namespace

// --- TConvAviForm, "Converter STR para AVI" ---

TConvAviForm::TConvAviForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ConvAviForm");
  SetCaption(this, msg::kMenuAviO);
  setFont(FormFont());
  setFixedSize(340, 234);

  Panel1 = LabelPanel(msg::kSaveAs, "Panel1", this, {8, 8, 76, 21});
  NameEdit = Edit("NameEdit", this, {88, 8, 216, 21});
  ShowButton = Button("...", "ShowButton", this, {308, 8, 24, 21}, false);

  GroupBox1 = Group(msg::kVideoGroup, "GroupBox1", this, {8, 36, 324, 76});
  Panel2 = LabelPanel(msg::kFrameRateLabel, "Panel2", GroupBox1, {8, 18, 76, 21});
  VRateEdit = Edit("VRateEdit", GroupBox1, {88, 18, 64, 21});
  Panel3 = LabelPanel(msg::kCompressionLabel, "Panel3", GroupBox1, {160, 18, 76, 21});
  CompSelButton = Button("", "CompSelButton", GroupBox1, {240, 18, 76, 21}, false);
  Panel7 = LabelPanel(msg::kWidthLabel, "Panel7", GroupBox1, {8, 46, 76, 21});
  VWidthEdit = Edit("VWidthEdit", GroupBox1, {88, 46, 64, 21});
  Panel8 = LabelPanel(msg::kHeightLabel, "Panel8", GroupBox1, {160, 46, 76, 21});
  VHeightEdit = Edit("VHeightEdit", GroupBox1, {240, 46, 76, 21});

  GroupBox2 = Group(msg::kAudioGroup, "GroupBox2", this, {8, 118, 324, 76});
  // The check box sits in the group's title line, after its caption.
  AEnable = new QCheckBox(GroupBox2);
  AEnable->setObjectName("AEnable");
  AEnable->setGeometry(QFontMetrics(font()).horizontalAdvance(GroupBox2->title()) + 16, 0, 18, 16);
  Panel4 = LabelPanel(msg::kCompressionLabel, "Panel4", GroupBox2, {8, 18, 76, 21});
  AcmSelButton = Button("PCM", "AcmSelButton", GroupBox2, {88, 18, 228, 21}, false);
  Panel5 = LabelPanel(msg::kFormatLabel, "Panel5", GroupBox2, {8, 46, 76, 21});
  AFormEdit = Edit("AFormEdit", GroupBox2, {88, 46, 228, 21});
  AFormEdit->setReadOnly(true);

  StartButton = Button(msg::kStartButton, "StartButton", this, {176, 202, 75, 25}, false);
  StartButton->setDefault(true);
  CancelButton = Button(msg::kCancelButton, "CancelButton", this, {257, 202, 75, 25}, false);

  SaveDialog = {FileDialog::Kind::kSave,
                "",
                T(msg::kAviSaveFilter),
                "avi",
                false,
                true,
                true,
                "",
                "",
                false};

  connect(ShowButton, &QPushButton::clicked, this, &TConvAviForm::ShowButtonClick);
  connect(CompSelButton, &QPushButton::clicked, this, &TConvAviForm::CompSelButtonClick);
  connect(AEnable, &QCheckBox::clicked, this, &TConvAviForm::AEnableClick);
  connect(AcmSelButton, &QPushButton::clicked, this, &TConvAviForm::AcmSelButtonClick);
  connect(StartButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  SetTabOrder({NameEdit, ShowButton, VRateEdit, CompSelButton, VWidthEdit, VHeightEdit, AEnable,
               AcmSelButton, AFormEdit, StartButton, CancelButton});
}

void TConvAviForm::Prepare(StrDocument& doc, bool halfWidthView, Host& host) {
  doc_ = &doc;
  halfWidthView_ = halfWidthView;
  host_ = &host;
  ConfirmedName.clear();
}

void TConvAviForm::showEvent(QShowEvent* e) {
  FormShow();
  QDialog::showEvent(e);
}

void TConvAviForm::FormShow() {
  if (!doc_) return;
  Model.FormShow(*doc_, halfWidthView_);
  ShowFields();
  AEnableClick();
}

void TConvAviForm::ShowFields() {
  NameEdit->setText(QFile::decodeName(Model.NameEdit.c_str()));
  VRateEdit->setText(Text(Model.VRateEdit));
  VWidthEdit->setText(Text(Model.VWidthEdit));
  VHeightEdit->setText(Text(Model.VHeightEdit));
  FitCaption(CompSelButton, Text(Model.CompSelCaption));
  AcmSelButton->setText(Text(Model.AcmSelCaption));
  AcmSelButton->setToolTip(Text(Model.AcmSelCaption));
  AFormEdit->setText(Text(Model.AFormEdit));
  AEnable->setChecked(Model.AEnableChecked);
  AEnable->setEnabled(Model.AEnableEnabled);
}

void TConvAviForm::FormClose() {
  // A name typed without an extension gets the format's, as the save
  // dialog gives it.
  Model.NameEdit =
      QFile::encodeName(WithDefaultSuffix(NameEdit->text(), SaveDialog.DefaultExt)).toStdString();
  Model.VRateEdit = Std(VRateEdit->text());
  Model.VWidthEdit = Std(VWidthEdit->text());
  Model.VHeightEdit = Std(VHeightEdit->text());
  Model.AEnableChecked = AEnable->isChecked();
  Model.FormClose();
}

void TConvAviForm::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TConvAviForm::ShowButtonClick() {
  SaveDialog.FileName = NameEdit->text();
  if (!RunFileDialog(SaveDialog, this)) return;
  NameEdit->setText(SaveDialog.FileName);
  ConfirmedName = SaveDialog.FileName;
}

void TConvAviForm::AEnableClick() {
  Model.AEnableChecked = AEnable->isChecked();
  AcmSelButton->setEnabled(AEnable->isChecked());
  AFormEdit->setEnabled(AEnable->isChecked());
}

void TConvAviForm::CompSelButtonClick() {
  // Without the media module there is nothing to choose: say what is missing.
  if (host_ && !Ok(RequireMediaModule(*host_))) return;
  CompressorChooser chooser(Model.CompressOptions, this);
  if (RunModal(chooser) != QDialog::Accepted) return;
  Model.CompressorChosen(chooser.Chosen(), chooser.Description());
  FitCaption(CompSelButton, Text(Model.CompSelCaption));
}

void TConvAviForm::AcmSelButtonClick() {
  if (!host_ || !Ok(RequireMediaModule(*host_))) return;
  std::vector<AudioFormatTag> tags = AudioFormatTags();
  ChooserResult result = ChooserResult::kNoDriver;
  WaveFormat chosen;
  if (!tags.empty()) {
    AudioFormatChooser chooser(std::move(tags), Model.AudioFormat, this);
    if (RunModal(chooser) != QDialog::Accepted) {
      result = ChooserResult::kCancelled;
    } else if (!chooser.HasFormat()) {
      result = ChooserResult::kError;
    } else {
      result = ChooserResult::kChosen;
      chosen = chooser.Format();
    }
  }
  Model.AudioFormatChosen(result, chosen, *host_);
  AcmSelButton->setText(Text(Model.AcmSelCaption));
  AcmSelButton->setToolTip(Text(Model.AcmSelCaption));
  AFormEdit->setText(Text(Model.AFormEdit));
}

}  // namespace belmora::app
