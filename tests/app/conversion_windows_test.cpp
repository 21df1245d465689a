// The conversion windows as a user meets them: "Configurações", "Novo STR",
// "Converter STR para AVI" and its two choosers — their controls, the
// values they offer for a file, their enable rules, what their numbers
// read as, and the summary line of the settings.
#include <QtTest>
#include <QtWidgets>

#include "app/choosers.h"
#include "app/conversion_forms.h"
#include "app/conversion_summary.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "str/new_str.h"
#include "tests/app/app_test_support.h"

namespace belmora::app::test {
namespace {

// The names of `names` in the order Tab visits them, from the first.
QStringList TabOrder(QWidget* window, const QStringList& names) {
  QWidget* first = window->findChild<QWidget*>(names.first());
  QStringList order;
  QWidget* w = first;
  do {
    if (names.contains(w->objectName()) && !order.contains(w->objectName()) &&
        (w->focusPolicy() & Qt::TabFocus))
      order << w->objectName();
    w = w->nextInFocusChain();
  } while (w && w != first);
  return order;
}

// Every caption the window shows: labels, groups, check boxes, buttons.
QStringList Captions(QWidget* window) {
  QStringList texts;
  for (auto* l : window->findChildren<QLabel*>()) texts << l->text();
  for (auto* g : window->findChildren<QGroupBox*>()) texts << g->title();
  for (auto* b : window->findChildren<QAbstractButton*>()) texts << b->text();
  return texts;
}

QStringList Items(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); i++) items << box->itemText(i);
  return items;
}

// An STR opened as the conversions see it: the document at its first frame.
struct Opened {
  TForm1 main;  // its host asks the questions, through the box log
  BoxLog boxes;
  explicit Opened(const QString& path) {
    boxes.Attach(main);
    if (main.OpenDocument(path) == 0) {
      (void)FindFrameStart(main.Document(), 0);
      (void)ReadFrame(main.Document());
    }
  }
  StrDocument& Doc() { return main.Document(); }
};

SummaryFacts FactsFor(StrDocument& doc, int videoMs) {
  SummaryFacts f;
  f.SelectionStart = 0;
  f.SelectionEnd = doc.LastFrameSector;
  f.SpeedFactor = doc.SpeedFactor;
  f.StrFrameRate = doc.FramesPerSecond;
  f.VideoLengthMs = videoMs;
  CountSelectionFrames(doc, 0, doc.LastFrameSector, 100000, f);
  return f;
}

}  // namespace

class ConversionWindowsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  // "Novo STR": its size, controls and order; the values it offers; what
  // the header edits read as (hexadecimal) and the count (decimal).
  void NovoStr() {
    TForm4 form;
    QCOMPARE(form.windowTitle(), QString("Novo STR"));
    QCOMPARE(form.size(), QSize(183, 186));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    for (const char* label : {"Velocidade", "Tipo-Setor", "Início", "Cabeçalho (HEADER)"})
      QVERIFY2(Captions(&form).contains(QString::fromUtf8(label)), label);
    QCOMPARE(Items(form.ComboBox1), QStringList({"1x", "2x"}));
    QCOMPARE(Items(form.ComboBox2), QStringList({"2048", "2336", "2352(RIFF)"}));
    QCOMPARE(form.OKButton->text(), QString("OK"));
    QVERIFY(form.OKButton->isDefault());
    QCOMPARE(form.Button2->text(), QString("Cancelar"));
    const QStringList order = {"ComboBox1", "ComboBox2", "Edit5", "Edit1", "Edit2",
                               "Edit3",     "Edit4",     "OKButton", "Button2"};
    QCOMPARE(TabOrder(&form, order), order);

    form.show();
    QCOMPARE(form.ComboBox1->currentText(), QString("2x"));
    QCOMPARE(form.ComboBox2->currentText(), QString("2336"));
    QCOMPARE(QStringList({form.Edit1->text(), form.Edit2->text(), form.Edit3->text(),
                          form.Edit4->text(), form.Edit5->text()}),
             QStringList({"60", "01", "01", "80", "0"}));
    // Accepted unchanged: 2336-byte sectors at double speed, headers 60 01 01 80.
    QTest::mouseClick(form.OKButton, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(!form.isVisible());
    QCOMPARE(form.Options.Layout, kLayout2336);
    QCOMPARE(form.Options.SpeedFactor, 2);
    QCOMPARE(form.Options.Status, uint16_t(0x0160));
    QCOMPARE(form.Options.Type, uint16_t(0x8001));
    QCOMPARE(form.Options.TrailingSectors, 0);

    // Typed values: 0x and trailing letters read as the digits before them,
    // an empty edit as 0, a value above FF spills into the high byte.
    form.show();
    form.ComboBox1->setCurrentText("1x");
    form.ComboBox2->setCurrentText("2352(RIFF)");
    form.Edit1->setText("1FF");
    form.Edit2->setText("0x02");
    form.Edit3->setText("");
    form.Edit4->setText("80h");
    form.Edit5->setText("150abc");
    form.OKButtonClick();
    QCOMPARE(form.Options.Layout, kLayout2352);
    QCOMPARE(form.Options.SpeedFactor, 1);
    QCOMPARE(form.Options.Status, uint16_t(0x03FF));
    QCOMPARE(form.Options.Type, uint16_t(0x8000));
    QCOMPARE(form.Options.TrailingSectors, 150);
    form.show();  // shown again: the defaults, not the last values
    QCOMPARE(form.Edit1->text(), QString("60"));
    form.Edit5->setText("dez");
    form.ComboBox2->setCurrentText("2048");
    form.OKButtonClick();
    QCOMPARE(form.Options.TrailingSectors, 0);
    QCOMPARE(form.Options.Layout, kLayout2048);
    form.show();
    QTest::mouseClick(form.Button2, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
  }

  // "Configurações" on an existing file: its controls, the values FormShow
  // computes, and OK taking them as the command line's defaults.
  void ConfiguracoesOnAnExistingFile() {
    Opened o(WriteMovie(dir_, PictureMovie(12), "settings.str"));
    StrDocument& doc = o.Doc();
    QVERIFY(doc.IsOpen());
    TForm2 form;
    QCOMPARE(form.windowTitle(), QString("Configurações"));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    for (const char* caption : {"Setor", "Pular setor", "Vídeos", "FPS", "W", "H", "Ver. MDEC",
                                "Som", "Canais", "Quadros", "Org. Quadro", "Começo", "Mínimo",
                                "Máximo", "Nº Quadro", "Tamanho", "OK", "Cancelar"})
      QVERIFY2(Captions(&form).contains(QString::fromUtf8(caption)), caption);
    QCOMPARE(Items(form.VerSel), QStringList({"2", "3"}));
    QVERIFY(form.Button1->isDefault());
    const QStringList order = {"SectorChk",   "FPSEdit",   "SizeWEdit",   "SizeHEdit",
                               "VerSel",      "AudioFormSel", "AudioChEdit", "FrameOrgChk",
                               "StartNoEdit", "MinNoEdit", "MaxNoEdit",   "EndNoEdit",
                               "EndNumEdit",  "Button1",   "Button2"};
    QCOMPARE(TabOrder(&form, order), order);

    const AviToStrInputs in{false, 29.97, doc.FramesPerSecond, true};
    form.Prepare(doc, in, o.main.Ui(), FactsFor(doc, 2000));
    form.show();
    QVERIFY(!form.SectorChk->isChecked() && form.SectorChk->isEnabled());
    QVERIFY(!form.FPSEdit->isEnabled());
    QCOMPARE(form.FPSEdit->text(), QString::number(doc.FramesPerSecond, 'g', 15));
    QCOMPARE(form.SizeWEdit->text(), QString("320"));
    QCOMPARE(form.SizeHEdit->text(), QString("240"));
    QCOMPARE(form.VerSel->currentText(), QString("2"));  // the first frame is version 2
    QCOMPARE(form.Label11->text(), QString("方法"));
    QCOMPARE(Items(form.AudioFormSel), QStringList({"圧縮して上書き", "元の音声のまま"}));
    QCOMPARE(form.AudioFormSel->currentIndex(), 0);  // the video has sound
    QCOMPARE(form.AudioChEdit->text(), QString("1"));
    QVERIFY(form.FrameOrgChk->isChecked() && form.FrameOrgChk->isEnabled());
    // Numbers 1 to 12: Máximo is the first number plus 5; Tamanho 15.
    QCOMPARE(QStringList({form.StartNoEdit->text(), form.MinNoEdit->text(),
                          form.MaxNoEdit->text(), form.EndNoEdit->text(),
                          form.EndNumEdit->text()}),
             QStringList({"1", "1", "6", "12", "15"}));
    for (QLineEdit* e : {form.StartNoEdit, form.MinNoEdit, form.MaxNoEdit, form.EndNoEdit,
                         form.EndNumEdit})
      QVERIFY(!e->isEnabled());
    // What the conversion will do: every frame of the selection, in place,
    // in the sectors each already has.
    const QString summary = form.SummaryLabel->toolTip();
    QVERIFY2(summary.startsWith("12 quadros a substituir · vídeo 2.0 s / seleção "),
             qPrintable(summary));
    QVERIFY2(summary.endsWith(" · 8 a 9 setores/quadro"), qPrintable(summary));
    QCOMPARE(form.SummaryLabel->text(), summary);  // whole, not cut
    QVERIFY(form.SummaryLabel->y() > form.Button1->geometry().bottom());

    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(o.boxes.Boxes.empty());
    // The defaults, with the best encoder ("Qualidade máxima" ticked at first).
    AviToStrOptions offered = DefaultAviToStrOptions(doc, in, false);
    offered.BestQuality = true;
    QVERIFY(form.Settings.Options == offered);
  }

  // "Pular setor" and "Org. Quadro": what each enables and offers.
  void ConfiguracoesEnableRules() {
    Opened o(WriteMovie(dir_, PictureMovie(12), "rules.str"));
    StrDocument& doc = o.Doc();
    TForm2 form;
    const AviToStrInputs in{false, 29.97, doc.FramesPerSecond, true};
    form.Prepare(doc, in, o.main.Ui(), FactsFor(doc, 2000));
    form.show();
    QTest::mouseClick(form.FrameOrgChk, Qt::LeftButton);  // numbers of their own
    QVERIFY(!form.FrameOrgChk->isChecked());
    QVERIFY(form.StartNoEdit->isEnabled() && form.EndNumEdit->isEnabled());
    QTest::mouseClick(form.FrameOrgChk, Qt::LeftButton);
    QVERIFY(!form.StartNoEdit->isEnabled() && !form.EndNumEdit->isEnabled());

    // Laid out anew: the video's rate, the file's own sound preselected,
    // numbering forced.
    QTest::mouseClick(form.SectorChk, Qt::LeftButton);
    QVERIFY(form.SectorChk->isChecked());
    QVERIFY(form.FPSEdit->isEnabled());
    QCOMPARE(form.FPSEdit->text(), QString("29.97"));
    QCOMPARE(form.Label11->text(), QString("Tipo"));
    QCOMPARE(Items(form.AudioFormSel), QStringList({"18.9kHz Mono", "18.9kHz Stereo",
                                                    "37.8kHz Mono", "37.8kHz Stereo", "Sem som "}));
    QCOMPARE(form.AudioFormSel->currentText(), QString("37.8kHz Stereo"));
    QVERIFY(!form.FrameOrgChk->isChecked() && !form.FrameOrgChk->isEnabled());
    QVERIFY(form.StartNoEdit->isEnabled() && form.EndNumEdit->isEnabled());
    QString summary = form.SummaryLabel->toolTip();
    const int laidOut = LaidOutFrames(0, doc.LastFrameSector, 29.97, doc.SpeedFactor);
    QVERIFY2(summary.startsWith(QString("%1 quadros novos · vídeo 2.0 s").arg(laidOut)),
             qPrintable(summary));
    QVERIFY(!summary.contains("setores"));  // new frames have no budget to keep
    // The line follows the rate typed.
    form.FPSEdit->clear();
    QTest::keyClicks(form.FPSEdit, "15");
    summary = form.SummaryLabel->toolTip();
    QVERIFY2(summary.startsWith(
                 QString("%1 quadros novos").arg(LaidOutFrames(0, doc.LastFrameSector, 15, 2))),
             qPrintable(summary));
    form.AudioFormSel->setCurrentIndex(1);  // 18.9 kHz stereo
    o.boxes.Boxes.clear();
    form.FPSEdit->setText("abc");
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    // Letters read as 0, which no conversion takes: said, and the window
    // stays open with the field marked.
    QVERIFY(form.isVisible());
    QCOMPARE(form.Settings.Options.FrameRate, 0.0);
    QCOMPARE(o.boxes.Boxes.size(), size_t(1));
    o.boxes.Boxes.clear();
    form.FPSEdit->setText("15");
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(form.Settings.Options.RebuildSectors && !form.Settings.Options.NoAudio);
    QVERIFY(form.Settings.Options.Stereo && !form.Settings.Options.HighRate);
    QVERIFY(!form.Settings.Options.KeepFrameNumbers);
    QVERIFY(form.Settings.Options.BestQuality);  // ticked at first

    // "Qualidade máxima" cleared keeps the exact arithmetic, and is kept for
    // the next showing.
    form.show();
    QVERIFY(form.QualityChk->isChecked());
    QTest::mouseClick(form.QualityChk, Qt::LeftButton);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(!form.Settings.Options.BestQuality);
    form.show();
    QVERIFY(!form.QualityChk->isChecked());
    QTest::mouseClick(form.QualityChk, Qt::LeftButton);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(form.Settings.Options.BestQuality);

    // Cleared again: the file's rate, the sound's method, numbering free.
    form.show();
    QTest::mouseClick(form.SectorChk, Qt::LeftButton);
    QTest::mouseClick(form.SectorChk, Qt::LeftButton);
    QVERIFY(!form.FPSEdit->isEnabled());
    QCOMPARE(form.Label11->text(), QString("方法"));
    QVERIFY(form.FrameOrgChk->isEnabled());
    form.reject();
  }

  // A video without sound: the sound is kept unless asked for, and then a
  // warning says silence will be written; declining it keeps the dialog.
  void ConfiguracoesWarnsAboutSilence() {
    Opened o(WriteMovie(dir_, PictureMovie(6), "silent.str"));
    StrDocument& doc = o.Doc();
    TForm2 form;
    form.Prepare(doc, {false, 15, doc.FramesPerSecond, false}, o.main.Ui(), FactsFor(doc, -1));
    form.show();
    QCOMPARE(form.AudioFormSel->currentText(), QString("元の音声のまま"));
    QVERIFY(!form.SummaryLabel->toolTip().contains("vídeo"));  // its length unknown
    form.AudioFormSel->setCurrentIndex(0);
    o.boxes.Answer = QMessageBox::Cancel;
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(o.boxes.Boxes.size(), size_t(1));
    QCOMPARE(o.boxes.Boxes[0].Caption, QString("警告"));
    QCOMPARE(o.boxes.Boxes[0].Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(o.boxes.Boxes[0].Text,
             QString("AVIファイルに音声データが含まれていない為、\n無音データを作成しますがよろしいですか？"));
    QVERIFY(form.isVisible());
    o.boxes.Answer = QMessageBox::Ok;
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(!form.Settings.Options.NoAudio);
  }

  // A new file is always laid out anew, numbered from 1 up to 9900; sectors
  // of 2048 bytes carry no sound.
  void ConfiguracoesForNewAnd2048Files() {
    {
      TForm1 main;
      StrDocument& doc = main.Document();
      QCOMPARE(CreateStrFile(doc, TempFile(dir_, "fresh.str")), 0);
      doc.ChunkHeader.Width = 160;
      doc.ChunkHeader.Height = 112;
      doc.ChunkHeader.FrameNumber = 1;
      TForm2 form;
      SummaryFacts facts;
      facts.VideoLengthMs = 10000;
      form.Prepare(doc, {true, 15, 0, false}, main.Ui(), facts);
      form.show();
      QVERIFY(form.SectorChk->isChecked() && !form.SectorChk->isEnabled());
      QVERIFY(!form.FrameOrgChk->isChecked() && !form.FrameOrgChk->isEnabled());
      QCOMPARE(form.FPSEdit->text(), QString("15"));
      QCOMPARE(form.SizeWEdit->text(), QString("160"));
      QCOMPARE(QStringList({form.StartNoEdit->text(), form.MinNoEdit->text(),
                            form.MaxNoEdit->text(), form.EndNoEdit->text()}),
               QStringList({"1", "1", "9900", "10000"}));
      QVERIFY(form.StartNoEdit->isEnabled());
      QCOMPARE(form.AudioFormSel->currentText(), QString("Sem som "));  // no sound yet
      // Ten seconds and fifteen tail frames at 15 per second, double speed:
      // sectors 0 to 1650, 166 frames.
      QCOMPARE(form.SummaryLabel->toolTip(),
               QString("166 quadros novos · vídeo 10.0 s / STR 11.1 s"));
      form.reject();
    }
    belmora::test::MovieRecipe recipe = PlainMovie(8);
    recipe.SectorSize = 2048;
    recipe.Riff = false;
    Opened o(WriteMovie(dir_, recipe, "plain2048.str"));
    TForm2 form;
    form.Prepare(o.Doc(), {false, 15, 15, true}, o.main.Ui(), FactsFor(o.Doc(), 500));
    form.show();
    QTest::mouseClick(form.SectorChk, Qt::LeftButton);
    QCOMPARE(Items(form.AudioFormSel), QStringList({"Sem som "}));
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(form.Settings.Options.NoAudio);
  }

  void SummaryArithmetic() {
    // The layout's own count: frames start at 0, 10, ..., 1650.
    QCOMPARE(LaidOutFrames(0, 1650, 15, 2), 166);
    QCOMPARE(LaidOutFrames(0, 1649, 15, 2), 165);
    QCOMPARE(LaidOutFrames(100, 100, 15, 2), 1);
    QCOMPARE(LaidOutFrames(0, 1650, 0, 2), 0);
    SummaryFacts f;
    f.SelectionStart = 150;
    f.SelectionEnd = 300;
    f.SpeedFactor = 1;
    f.StrFrameRate = 7.5;
    f.VideoLengthMs = 3500;
    f.SelectionFrames = 16;
    f.MinChunks = f.MaxChunks = 9;
    SummaryChoice c;
    c.FrameRate = 7.5;
    QCOMPARE(QString::fromStdString(SettingsSummary(f, c)),
             QString("16 quadros a substituir · vídeo 3.5 s / seleção 2.1 s · 9 setores/quadro "
                     "(18144 B)"));
    f.SelectionFrames = -1;  // too long to count
    QCOMPARE(QString::fromStdString(SettingsSummary(f, c)),
             QString("vídeo 3.5 s / seleção 2.1 s"));
  }

  // "Converter STR para AVI": controls, the values offered for the file and
  // the view, the audio switch, and what the edits read as when it closes.
  void ConverterStrParaAvi() {
    Opened o(WriteMovie(dir_, PictureMovie(6), "export.str"));
    StrDocument& doc = o.Doc();
    TConvAviForm form;
    QCOMPARE(form.windowTitle(), QString("Converter STR para AVI"));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    struct Panel {
      QLabel* Widget;
      const char* Name;
      const char* Caption;
    };
    for (const Panel& p : {Panel{form.Panel1, "Panel1", "Salvar como"},
                           Panel{form.Panel2, "Panel2", "FrameRate"},
                           Panel{form.Panel3, "Panel3", "Compressão"},
                           Panel{form.Panel7, "Panel7", "Largura"},
                           Panel{form.Panel8, "Panel8", "Altura"},
                           Panel{form.Panel4, "Panel4", "Compressão"},
                           Panel{form.Panel5, "Panel5", "Formato"}}) {
      QCOMPARE(p.Widget->objectName(), QString(p.Name));
      QCOMPARE(p.Widget->text(), QString::fromUtf8(p.Caption));
      QVERIFY(p.Widget->frameShape() == QFrame::Panel);
    }
    QCOMPARE(form.GroupBox1->title(), QString("Vídeos"));
    QCOMPARE(form.GroupBox2->title(), QString("Áudio"));
    QCOMPARE(form.AEnable->parentWidget(), form.GroupBox2);
    QVERIFY(form.AEnable->y() < form.Panel4->y());  // in the group's title line
    QCOMPARE(form.ShowButton->text(), QString("..."));
    QCOMPARE(form.StartButton->text(), QString("Iniciar"));
    QVERIFY(form.StartButton->isDefault());
    QCOMPARE(form.CancelButton->text(), QString("Cancelar"));
    QVERIFY(form.AFormEdit->isReadOnly());
    const QStringList order = {"NameEdit",   "ShowButton", "VRateEdit",    "CompSelButton",
                               "VWidthEdit", "VHeightEdit", "AEnable",     "AcmSelButton",
                               "AFormEdit",  "StartButton", "CancelButton"};
    QCOMPARE(TabOrder(&form, order), order);
    QCOMPARE(form.SaveDialog.QtFilter(), QString("AVI Files (*.avi);;All Files (*)"));
    QCOMPARE(form.SaveDialog.DefaultExt, QString("avi"));
    QVERIFY(form.SaveDialog.OverwritePrompt && form.SaveDialog.PathMustExist);

    form.Prepare(doc, false, o.main.Ui());
    form.show();
    QCOMPARE(form.NameEdit->text(), QString());
    QCOMPARE(form.VRateEdit->text(), QString::number(doc.FramesPerSecond, 'g', 15));
    QCOMPARE(form.VWidthEdit->text(), QString("320"));
    QCOMPARE(form.VHeightEdit->text(), QString("240"));
    QCOMPARE(form.CompSelButton->text(), QString());
    QCOMPARE(form.AcmSelButton->text(), QString("PCM"));
    QCOMPARE(form.AFormEdit->text(), QString("44100 Hz, 16 Bit.; Estéreo"));
    QVERIFY(form.AEnable->isChecked() && form.AEnable->isEnabled());
    QVERIFY(form.AcmSelButton->isEnabled() && form.AFormEdit->isEnabled());
    QTest::mouseClick(form.AEnable, Qt::LeftButton, {}, QPoint(4, 8));
    QVERIFY(!form.AEnable->isChecked());
    QVERIFY(!form.AcmSelButton->isEnabled() && !form.AFormEdit->isEnabled());

    // "..." puts the save dialog's choice into the path.
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      d.FileName = "/tmp/escolhido.avi";
      return true;
    };
    QTest::mouseClick(form.ShowButton, Qt::LeftButton);
    QCOMPARE(form.NameEdit->text(), QString("/tmp/escolhido.avi"));
    // Closed with Cancelar: the path and the numbers are still taken.
    form.VRateEdit->setText("abc");
    form.VWidthEdit->setText("641");
    form.VHeightEdit->setText("480");
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(form.Model.OutputPath, std::string("/tmp/escolhido.avi"));
    QCOMPARE(form.Model.VideoRate, doc.FramesPerSecond);
    QCOMPARE(form.Model.VideoWidth, 320);
    QCOMPARE(form.Model.VideoHeight, 480);

    // Shown again with the half-width view: half the width, the path kept,
    // the sound on again.
    form.Prepare(doc, true, o.main.Ui());
    form.show();
    QCOMPARE(form.NameEdit->text(), QString("/tmp/escolhido.avi"));
    QCOMPARE(form.VWidthEdit->text(), QString("160"));
    QVERIFY(form.AEnable->isChecked());
    form.VWidthEdit->setText("640");
    form.VRateEdit->setText("29.97x");
    QTest::mouseClick(form.StartButton, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.Model.VideoWidth, 640);
    QCOMPARE(form.Model.VideoRate, 29.97);
    QVERIFY(form.Model.Options().Audio);

    // A file without sound offers none.
    Opened plain(WriteMovie(dir_, PlainMovie(4), "nosound.str"));
    form.Prepare(plain.Doc(), false, plain.main.Ui());
    form.show();
    QVERIFY(!form.AEnable->isChecked() && !form.AEnable->isEnabled());
    QVERIFY(!form.AcmSelButton->isEnabled());
    form.reject();
  }

  // A path typed without an extension gets the format's, as the save
  // dialog would give it: "out" writes out.avi.
  void TypedPathGetsTheExtension() {
    Shell shell({"belmora"});
    TForm1& main = shell.Form1();
    BoxLog boxes;
    boxes.Attach(main);
    QCOMPARE(main.OpenDocument(WriteMovie(dir_, PictureMovie(4), "typed.str")), 0);
    const QString typed = QDir(dir_.path()).filePath("out");
    main.RunModal = [&](QDialog& d) {
      auto& form = dynamic_cast<TConvAviForm&>(d);
      form.show();
      form.NameEdit->setText(typed);
      form.StartButton->click();
      return form.result();
    };
    main.MenuAviO->trigger();
    QVERIFY2(boxes.Boxes.empty(), qPrintable(boxes.Texts().join('|')));
    QVERIFY(QFileInfo::exists(typed + ".avi"));
    QVERIFY(!QFileInfo::exists(typed));
    QCOMPARE(shell.ConvAviForm().Model.OutputPath, (typed + ".avi").toStdString());
    // A name with an extension of its own is kept as typed.
    QCOMPARE(WithDefaultSuffix("/tmp/clip.mkv", "avi"), QString("/tmp/clip.mkv"));
    QCOMPARE(WithDefaultSuffix("", "avi"), QString());
  }

  // The compressor chooser: full frames first and without settings, the
  // starting point from the options, and what the button shows after it.
  void CompressorChooserWindow() {
    CompressOptions start;  // key frames every 4, 300 KB/s, quality 10000
    CompressorChooser chooser(start);
    QCOMPARE(chooser.windowTitle(), QString("Video Compression"));
    QCOMPARE(chooser.CompressorList->itemText(0), QString("Full Frames (Uncompressed)"));
    QCOMPARE(chooser.CompressorList->currentIndex(), 0);
    QVERIFY(!chooser.QualitySlider->isEnabled() && !chooser.KeyFrameChk->isEnabled());
    QCOMPARE(chooser.QualitySlider->value(), 100);
    QVERIFY(chooser.KeyFrameChk->isChecked() && chooser.DataRateChk->isChecked());
    QCOMPARE(chooser.KeyFrameEdit->value(), 4);
    QCOMPARE(chooser.DataRateEdit->value(), 300);
    QCOMPARE(chooser.Chosen().fccHandler, FourCC("DIB "));
    QCOMPARE(chooser.Description(), std::string());
    if (!chooser.Select(FourCC("MJPG"))) QSKIP("no Motion JPEG encoder in this FFmpeg");
    QVERIFY(chooser.QualitySlider->isEnabled() && chooser.KeyFrameEdit->isEnabled());
    QTest::mouseClick(chooser.DataRateChk, Qt::LeftButton);
    QVERIFY(!chooser.DataRateEdit->isEnabled());

    // Through the window's button.
    Opened o(WriteMovie(dir_, PictureMovie(3), "chooser.str"));
    TConvAviForm form;
    form.Prepare(o.Doc(), false, o.main.Ui());
    form.show();
    int shown = 0;
    form.RunModal = [&](QDialog& d) {
      shown++;
      auto& c = dynamic_cast<CompressorChooser&>(d);
      c.Select(FourCC("MJPG"));
      c.QualitySlider->setValue(75);
      c.KeyFrameEdit->setValue(12);
      QTest::mouseClick(c.DataRateChk, Qt::LeftButton);  // no data rate
      QTest::mouseClick(c.OKButton, Qt::LeftButton);
      return c.result();
    };
    QTest::mouseClick(form.CompSelButton, Qt::LeftButton);
    QCOMPARE(shown, 1);
    const CompressOptions& chosen = form.Model.CompressOptions;
    QCOMPARE(chosen.fccHandler, FourCC("MJPG"));
    QCOMPARE(chosen.dwQuality, 7500u);
    QCOMPARE(chosen.dwKeyFrameEvery, 12u);
    QCOMPARE(chosen.dwFlags, kCompressValid | kCompressKeyFrames);
    QCOMPARE(form.CompSelButton->text(), QString("Motion JPEG"));
    QCOMPARE(form.CompSelButton->toolTip(), QString("Motion JPEG"));
    // Full frames have no description: the button keeps its caption.
    QString offered;
    int offeredQuality = -1;
    bool offeredRate = true;
    form.RunModal = [&](QDialog& d) {
      auto& c = dynamic_cast<CompressorChooser&>(d);
      offered = c.CompressorList->currentText();
      offeredQuality = c.QualitySlider->value();
      offeredRate = c.DataRateChk->isChecked();
      c.Select(FourCC("DIB "));
      c.accept();
      return c.result();
    };
    form.CompSelButtonClick();
    // It starts from the last choice.
    QCOMPARE(offered, QString("Motion JPEG"));
    QCOMPARE(offeredQuality, 75);
    QVERIFY(!offeredRate);
    QVERIFY(form.Model.CompressOptions.Uncompressed());
    QCOMPARE(form.CompSelButton->text(), QString("Motion JPEG"));
    // Cancelled: nothing changes.
    form.RunModal = [](QDialog& d) {
      d.reject();
      return d.result();
    };
    form.CompSelButtonClick();
    QVERIFY(form.Model.CompressOptions.Uncompressed());
    form.reject();
  }

  // "音声圧縮": tags and their formats, started from the current format; a
  // compressed format brings the PCM the decoder must give for it.
  void AudioFormatChooserWindow() {
    Opened o(WriteMovie(dir_, PictureMovie(3), "audio.str"));
    TConvAviForm form;
    form.Prepare(o.Doc(), false, o.main.Ui());
    form.show();
    QStringList tags;
    QString kept;
    form.RunModal = [&](QDialog& d) {
      auto& c = dynamic_cast<AudioFormatChooser&>(d);
      [&] {
        QCOMPARE(c.windowTitle(), QString("音声圧縮"));
        QVERIFY(Captions(&c).contains("形式:") && Captions(&c).contains("属性:"));
        QCOMPARE(c.CancelButton->text(), QString("Cancelar"));
        QCOMPARE(c.FormatTagList->currentText(), QString("PCM"));
        QCOMPARE(c.FormatList->currentText(), QString("44100 Hz, 16 Bit.; Estéreo"));
      }();
      tags = Items(c.FormatTagList);
      const int ima = c.FormatTagList->findText("IMA ADPCM");
      if (ima < 0) {
        c.reject();
        return c.result();
      }
      c.FormatTagList->setCurrentIndex(ima);
      kept = c.FormatList->currentText();
      c.FormatList->setCurrentIndex(c.FormatList->findText("22050 Hz, 4 Bit.; Estéreo"));
      QTest::mouseClick(c.OKButton, Qt::LeftButton);
      return c.result();
    };
    QTest::mouseClick(form.AcmSelButton, Qt::LeftButton);
    QVERIFY(tags.contains("PCM"));
    if (!tags.contains("IMA ADPCM")) QSKIP("no IMA ADPCM encoder in this FFmpeg");
    QCOMPARE(kept, QString("44100 Hz, 4 Bit.; Estéreo"));  // another tag: same rate, channels
    QCOMPARE(form.AcmSelButton->text(), QString("IMA ADPCM"));
    QCOMPARE(form.AcmSelButton->toolTip(), QString("IMA ADPCM"));
    QCOMPARE(form.AFormEdit->text(), QString("22050 Hz, 4 Bit.; Estéreo"));
    QCOMPARE(form.Model.AudioFormat.wFormatTag, uint16_t(0x11));
    QCOMPARE(form.Model.DecodeFormat, WaveFormat::Pcm(22050, 2, 16));
    // PCM 8-bit: the decoder gives 8 bits.
    form.RunModal = [&](QDialog& d) {
      auto& c = dynamic_cast<AudioFormatChooser&>(d);
      c.FormatTagList->setCurrentIndex(c.FormatTagList->findText("PCM"));
      c.FormatList->setCurrentIndex(c.FormatList->findText("11025 Hz, 8 Bit.; ﾓﾉﾗﾙ"));
      c.accept();
      return c.result();
    };
    form.AcmSelButtonClick();
    QCOMPARE(form.AFormEdit->text(), QString("11025 Hz, 8 Bit.; ﾓﾉﾗﾙ"));
    QTest::mouseClick(form.StartButton, Qt::LeftButton);
    QCOMPARE(form.Model.PcmBits, 8);
    QCOMPARE(form.Model.PcmRate, 11025);
    QCOMPARE(form.Model.PcmChannels, 1);
    QVERIFY(o.boxes.Boxes.empty());
  }
};

int RunConversionWindowsTest(int argc, char** argv) {
  ConversionWindowsTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "conversion_windows_test.moc"
