// The conversions from the menu, start to end, with every dialog answered
// through the windows' seams: what the window shows while they run, what
// they write (byte for byte what the command line writes for the same
// choices), cancelling, the new file's steps, and a dropped video.
#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <functional>

#include "app/choosers.h"
#include "app/conversion_forms.h"
#include "app/main_window.h"
#include "app/progress_form.h"
#include "app/shell.h"
#include "platform/media_reader.h"
#include "str/journal.h"
#include "tests/app/app_test_support.h"
#include "tests/support/avi_builder.h"
#include "tests/support/run.h"

namespace belmora::app::test {
namespace {

namespace fs = std::filesystem;
using belmora::test::ReadFileBytes;
using belmora::test::RunCommand;

// The program's windows with their dialogs answered by the test: each
// window run modally is named in Modals and answered by Answer.
struct Session {
  Shell shell{QStringList{"belmora"}};
  TForm1& Main = shell.Form1();
  TForm3& Form3 = shell.Form3();
  BoxLog Boxes;
  QStringList Modals;
  std::function<int(QDialog&)> Answer;
  QString SaveStr, OpenVideo;  // the file dialogs' answers; empty: cancelled

  Session() {
    Boxes.Attach(Main);
    Boxes.Answer = QMessageBox::No;  // "no" to lengthening or shortening
    Main.RunModal = [this](QDialog& d) {
      Modals << d.objectName();
      return Answer ? Answer(d) : int(QDialog::Rejected);
    };
    Main.RunFileDialog = [this](FileDialog& d, QWidget*) {
      const QString& answer = &d == &Main.SaveStrDlg ? SaveStr : OpenVideo;
      Modals << (&d == &Main.SaveStrDlg ? "SaveStrDlg" : "OpenAviDlg");
      if (answer.isEmpty()) return false;
      d.FileName = answer;
      return true;
    };
  }
};

// Shows the window and presses its default button, as a user accepting
// what it offers.
int AcceptOffered(QDialog& d) {
  d.show();
  for (QPushButton* b : d.findChildren<QPushButton*>())
    if (b->isDefault()) QTest::mouseClick(b, Qt::LeftButton);
  return d.result();
}

int Cancel(QDialog& d) {
  d.show();
  d.reject();
  return d.result();
}

// What the window showed while a conversion ran: one entry per step of
// TForm3's bar, taken while TForm3 was up.
struct ProgressWatch {
  QList<int> Values;
  QStringList Labels;
  bool MainEnabled = false;  // the main window was seen enabled meanwhile
  int CancelAt = -1;         // press Cancelar once the bar reaches this
  std::function<void()> OnFirstStep;

  void Attach(Session& s) {
    QObject::connect(s.Form3.Bar, &QProgressBar::valueChanged, s.Form3.Bar, [this, &s](int v) {
      if (!s.Form3.isVisible()) return;
      if (Values.isEmpty() && v == 0) return;  // shown: reset to 0
      Values << v;
      Labels << s.Main.Label1->text();
      MainEnabled |= s.Main.isEnabled();
      if (Values.size() == 1 && OnFirstStep) OnFirstStep();
      if (CancelAt >= 0 && v >= CancelAt && !s.Form3.CancelRequested)
        QTest::mouseClick(s.Form3.Button1, Qt::LeftButton);
    });
  }
};

// A timer that counts while a conversion runs: the window's events go on.
struct Ticker {
  QTimer Timer;
  int Ticks = 0;
  Ticker() {
    QObject::connect(&Timer, &QTimer::timeout, [this] { Ticks++; });
  }
};

int64_t VideoFrames(const std::string& avi) {
  MediaReader r;
  if (r.Open(avi) != MediaError::kNone) return -1;
  return r.Video().Length;
}

bool SameBytes(const std::string& a, const std::string& b) {
  return fs::exists(a) && fs::exists(b) && ReadFileBytes(a) == ReadFileBytes(b);
}

}  // namespace

class ConversionRunsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  std::string Path(const char* name) { return TempFile(dir_, name); }
  QString QPath(const char* name) { return QString::fromStdString(Path(name)); }

  // A video of `frames` natural pictures at 15 per second with 44.1 kHz
  // stereo sound (none when `sound` is off).
  QString Video(const char* name, int frames, bool sound = true) {
    belmora::test::AviRecipe recipe;
    recipe.Frames = frames;
    recipe.SoundRate = sound ? 44100 : 0;
    belmora::test::WriteTestAvi(Path(name), recipe);
    return QPath(name);
  }

  // STR to AVI through "Converter STR para AVI", with the window answered
  // by `setUp` before Iniciar.
  void ExportThroughTheMenu(Session& s, const QString& out,
                            const std::function<void(TConvAviForm&)>& setUp = {}) {
    s.Answer = [&](QDialog& d) {
      auto& form = dynamic_cast<TConvAviForm&>(d);
      form.show();
      form.NameEdit->setText(out);
      if (setUp) setUp(form);
      QTest::mouseClick(form.StartButton, Qt::LeftButton);
      return form.result();
    };
    s.Main.MenuAviO->trigger();
  }

 private slots:
  // The whole selection to an AVI: TConvAviForm, then progress in TForm3
  // with the main window disabled, the picture and Label1 following every
  // frame, the window's events going on; the file the command line makes.
  void StrToAviWholeRun() {
    const QString str = WriteMovie(dir_, PictureMovie(24), "export.str");
    Session s;
    QCOMPARE(s.Main.OpenDocument(str), 0);
    ProgressWatch watch;
    watch.Attach(s);
    Ticker ticker;
    int refused = 0;
    bool ownedByMain = false;
    watch.OnFirstStep = [&] {
      // No second command while one runs.
      const int before = int(s.Modals.size());
      s.Main.MenuAviOClick();
      s.Main.MenuAviIClick();
      s.Main.MenuNewClick();
      refused = int(s.Modals.size()) - before;
      ticker.Timer.start(0);
      // TForm3 belongs to the main window: clicking that does not hide it.
      ownedByMain = s.Form3.windowHandle() &&
                    s.Form3.windowHandle()->transientParent() == s.Main.windowHandle();
    };
    const std::string out = Path("gui.avi");
    ExportThroughTheMenu(s, QString::fromStdString(out));
    ticker.Timer.stop();

    QCOMPARE(s.Modals, QStringList({"ConvAviForm"}));
    QCOMPARE(refused, 0);
    QVERIFY(ownedByMain);
    QVERIFY(watch.Values.size() >= 20);
    QCOMPARE(watch.Values.last(), 100);
    QVERIFY(std::is_sorted(watch.Values.begin(), watch.Values.end()));
    QVERIFY(!watch.MainEnabled);
    QVERIFY(ticker.Ticks > 0);
    QVERIFY(QSet<QString>(watch.Labels.begin(), watch.Labels.end()).size() >= 20);
    QVERIFY(!s.Form3.isVisible());
    QVERIFY(s.Main.isEnabled());
    QVERIFY(s.Boxes.Boxes.empty());
    // The window shows the last frame written.
    QCOMPARE(s.Main.Label1->text(),
             QString::fromStdString(ProgressLabel(
                 {0, s.Main.Document().CurrentSector, s.Main.Document().ChunkHeader.FrameNumber})));
    QCOMPARE(s.Main.Bar->Position(), s.Main.Document().CurrentSector / 75);

    QCOMPARE(VideoFrames(out), int64_t(24));
    QVERIFY(!fs::exists(out + ".part"));
    const std::string cli = Path("cli.avi");
    auto r = RunCommand({BELMORA_CLI, "export-avi", str.toStdString(), "-o", cli});
    QVERIFY2(r.Status == 0, r.Err.c_str());
    QVERIFY(SameBytes(out, cli));
  }

  // A compressor and a sound format picked in the choosers give the file
  // the command line gives for the same names and numbers.
  void StrToAviWithChosenFormats() {
    if (!FindVideoCompressor(FourCC("MJPG"))) QSKIP("no Motion JPEG encoder in this FFmpeg");
    const QString str = WriteMovie(dir_, PictureMovie(12), "chosen.str");
    Session s;
    QCOMPARE(s.Main.OpenDocument(str), 0);
    const std::string out = Path("chosen-gui.avi");
    ExportThroughTheMenu(s, QString::fromStdString(out), [](TConvAviForm& form) {
      form.RunModal = [](QDialog& d) {
        if (auto* c = dynamic_cast<CompressorChooser*>(&d)) {
          c->Select(FourCC("MJPG"));
          c->QualitySlider->setValue(75);
        } else if (auto* a = dynamic_cast<AudioFormatChooser*>(&d)) {
          a->FormatTagList->setCurrentText("IMA ADPCM");
          a->FormatList->setCurrentText("22050 Hz, 4 Bit.; Estéreo");
        }
        d.accept();
        return d.result();
      };
      QTest::mouseClick(form.CompSelButton, Qt::LeftButton);
      QTest::mouseClick(form.AcmSelButton, Qt::LeftButton);
    });
    QVERIFY2(s.Boxes.Boxes.empty(), qPrintable(s.Boxes.Texts().join("; ")));
    QCOMPARE(VideoFrames(out), int64_t(12));
    const std::string cli = Path("chosen-cli.avi");
    auto r = RunCommand({BELMORA_CLI, "export-avi", str.toStdString(), "-o", cli, "--vcodec",
                         "MJPG", "--quality", "7500", "--atag", "IMA ADPCM", "--arate", "22050",
                         "--achannels", "2"});
    QVERIFY2(r.Status == 0, r.Err.c_str());
    QVERIFY(SameBytes(out, cli));
  }

  // Cancelar during the export: a shorter, whole AVI; nothing half-written.
  void StrToAviCancelled() {
    const QString str = WriteMovie(dir_, PictureMovie(40), "cancel-export.str");
    Session s;
    QCOMPARE(s.Main.OpenDocument(str), 0);
    ProgressWatch watch;
    watch.CancelAt = 20;
    watch.Attach(s);
    const std::string out = Path("cancelled.avi");
    ExportThroughTheMenu(s, QString::fromStdString(out));
    QVERIFY(s.Form3.CancelRequested);
    QVERIFY(watch.Values.size() < 20);
    const int64_t frames = VideoFrames(out);
    QVERIFY2(frames > 5 && frames < 40, qPrintable(QString::number(frames)));
    QVERIFY(!fs::exists(out + ".part"));
    QVERIFY(s.Main.isEnabled() && !s.Form3.isVisible());
  }

  // A video into the whole of an STR, in place: the open-video dialog,
  // "Configurações", the length question; progress to 100; the file the
  // command line makes from the same file.
  void AviToStrWholeRun() {
    const QString str = WriteMovie(dir_, PictureMovie(24), "import.str");
    const std::string cliStr = Path("import-cli.str");
    fs::copy_file(str.toStdString(), cliStr);
    const auto before = ReadFileBytes(str.toStdString());
    Session s;
    QCOMPARE(s.Main.OpenDocument(str), 0);
    s.OpenVideo = Video("in.avi", 20);
    s.Answer = AcceptOffered;
    ProgressWatch watch;
    watch.Attach(s);
    Ticker ticker;
    watch.OnFirstStep = [&] { ticker.Timer.start(0); };
    s.Main.MenuAviI->trigger();
    ticker.Timer.stop();

    QCOMPARE(s.Modals, QStringList({"OpenAviDlg", "Form2"}));
    // The selection reaches the last frame: asked whether the STR follows
    // the video's length (with its tail frames); no.
    QCOMPARE(s.Boxes.Boxes.size(), size_t(1));
    QCOMPARE(s.Boxes.Boxes[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(s.Boxes.Boxes[0].Text.contains("STRファイルも"));
    QVERIFY(watch.Values.size() >= 20);
    QCOMPARE(watch.Values.last(), 100);
    QVERIFY(!watch.MainEnabled);
    QVERIFY(ticker.Ticks > 0);
    QVERIFY(s.Main.isEnabled() && !s.Form3.isVisible());
    QVERIFY(s.Main.DocumentOpen && s.Main.Document().IsOpen());
    QVERIFY(!fs::exists(JournalPath(str.toStdString())));
    const auto after = ReadFileBytes(str.toStdString());
    QCOMPARE(after.size(), before.size());
    QVERIFY(after != before);
    // The window shows the last frame converted.
    QCOMPARE(s.Main.Document().CurrentSector, s.Main.Document().LastFrameSector);

    // The same choices: the offered ones, and the MDEC version the window
    // offered from the frame it showed.
    const int mdec = s.Main.Form2()->Settings.Options.MdecVersion;
    auto r = RunCommand({BELMORA_CLI, "import-avi", cliStr, s.OpenVideo.toStdString(), "--mdec",
                         std::to_string(mdec)});
    QVERIFY2(r.Status == 0, r.Err.c_str());
    QVERIFY(SameBytes(str.toStdString(), cliStr));
  }

  // Cancelar during an in-place conversion: the frames done are kept, the
  // rest of the file is as it was, and the edit is final.
  void AviToStrCancelled() {
    const QString str = WriteMovie(dir_, PictureMovie(40), "cancel-import.str");
    const auto before = ReadFileBytes(str.toStdString());
    Session s;
    QCOMPARE(s.Main.OpenDocument(str), 0);
    s.OpenVideo = Video("cancel-in.avi", 40);
    s.Answer = AcceptOffered;
    ProgressWatch watch;
    watch.CancelAt = 15;
    watch.Attach(s);
    s.Main.MenuAviIClick();
    QVERIFY(s.Form3.CancelRequested);
    QVERIFY(!watch.Values.isEmpty() && watch.Values.last() < 50);
    const auto after = ReadFileBytes(str.toStdString());
    QCOMPARE(after.size(), before.size());
    QVERIFY(after != before);
    // The last hundred sectors were never reached.
    const size_t tail = 100 * 2352;
    QVERIFY(std::equal(after.end() - tail, after.end(), before.end() - tail));
    QVERIFY(!fs::exists(JournalPath(str.toStdString())));
    QVERIFY(s.Main.DocumentOpen && s.Main.isEnabled());
  }

  // "Criar novo STR": save dialog, open-video dialog, "Novo STR",
  // "Configurações", then the new file opens in the window; the same bytes
  // as the command line's "new".
  void NewStrWholeRun() {
    Session s;
    const std::string out = Path("novo.str");
    s.SaveStr = QString::fromStdString(out);
    s.OpenVideo = Video("novo.avi", 30);
    s.Answer = AcceptOffered;
    ProgressWatch watch;
    watch.Attach(s);
    s.Main.MenuNew->trigger();

    QCOMPARE(s.Modals, QStringList({"SaveStrDlg", "OpenAviDlg", "Form4", "Form2"}));
    QVERIFY2(s.Boxes.Boxes.empty(), qPrintable(s.Boxes.Texts().join("; ")));
    QVERIFY(watch.Values.size() >= 25);
    QVERIFY(watch.Values.last() >= 90);
    QVERIFY(!watch.MainEnabled);
    QVERIFY(fs::exists(out) && !fs::exists(out + ".part"));
    QVERIFY(s.Main.DocumentOpen);
    QVERIFY(s.Main.windowTitle().endsWith("novo.str"));
    QCOMPARE(s.Main.Document().SectorSize, 2336);
    QCOMPARE(s.Main.SelectionEnd, s.Main.Document().LastFrameSector);
    QVERIFY(s.Main.MenuConv->menuAction()->isEnabled());

    const std::string cli = Path("novo-cli.str");
    auto r = RunCommand({BELMORA_CLI, "new", cli, s.OpenVideo.toStdString()});
    QVERIFY2(r.Status == 0, r.Err.c_str());
    QVERIFY(SameBytes(out, cli));
  }

  // Every cancelled step before the conversion leaves no file; an existing
  // file of the chosen name stays as it was.
  void NewStrCancelledSteps() {
    Session s;
    const std::string out = Path("kept.str");
    belmora::test::WriteFileBytes(out, {1, 2, 3});
    s.OpenVideo = Video("steps.avi", 10);

    s.Main.MenuNewClick();  // the save dialog cancelled
    QCOMPARE(s.Modals, QStringList({"SaveStrDlg"}));
    s.SaveStr = QString::fromStdString(out);
    s.Modals.clear();
    const QString video = s.OpenVideo;
    s.OpenVideo.clear();
    s.Main.MenuNewClick();  // the open-video dialog cancelled
    QCOMPARE(s.Modals, QStringList({"SaveStrDlg", "OpenAviDlg"}));
    s.OpenVideo = video;

    for (const char* cancelled : {"Form4", "Form2"}) {
      s.Modals.clear();
      s.Answer = [&](QDialog& d) {
        return d.objectName() == cancelled ? Cancel(d) : AcceptOffered(d);
      };
      s.Main.MenuNewClick();
      QCOMPARE(s.Modals.last(), QString(cancelled));
      QCOMPARE(ReadFileBytes(out), std::vector<uint8_t>({1, 2, 3}));
      QVERIFY(!fs::exists(out + ".part"));
      QVERIFY(!s.Main.DocumentOpen);
      QVERIFY(!s.Main.MenuConv->menuAction()->isEnabled());
      QVERIFY(s.Boxes.Boxes.empty());
    }
  }

  // Cancelar while the new file is filled: what was written is a whole
  // file, under its name, open in the window.
  void NewStrCancelledWhileRunning() {
    Session s;
    const std::string out = Path("partial.str");
    s.SaveStr = QString::fromStdString(out);
    s.OpenVideo = Video("partial.avi", 60);
    s.Answer = AcceptOffered;
    ProgressWatch watch;
    watch.CancelAt = 10;
    watch.Attach(s);
    s.Main.MenuNewClick();
    QVERIFY(s.Form3.CancelRequested);
    QVERIFY(fs::exists(out) && !fs::exists(out + ".part"));
    QVERIFY(s.Main.DocumentOpen);
    // About a tenth of four seconds at 15 frames a second, ten sectors each.
    const int32_t sectors = s.Main.Document().SectorCount;
    QVERIFY2(sectors > 20 && sectors < 300, qPrintable(QString::number(sectors)));
    QVERIFY(s.Main.isEnabled());
  }

  // A video dropped on the window asks whether to start "Converter AVI para
  // STR" with it; without a document it is not taken.
  void DroppedVideoAsks() {
    Session s;
    const QString video = Video("dropped.avi", 5, false);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(video)});
    QDragEnterEvent empty(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    empty.setAccepted(false);
    QApplication::sendEvent(&s.Main, &empty);
    QVERIFY(!empty.isAccepted());

    const QString str = WriteMovie(dir_, PictureMovie(6), "drop-target.str");
    QCOMPARE(s.Main.OpenDocument(str), 0);
    const auto before = ReadFileBytes(str.toStdString());
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&s.Main, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s.Main, &drop);
    QTRY_COMPARE(s.Boxes.Boxes.size(), size_t(1));
    QCOMPARE(s.Boxes.Boxes[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(s.Boxes.Boxes[0].Text.contains(video));
    QVERIFY(s.Boxes.Boxes[0].Text.contains("「Converter AVI para STR」"));
    QVERIFY(s.Modals.isEmpty());  // answered no

    s.Boxes.Answer = QMessageBox::Yes;
    s.Answer = Cancel;
    QDragEnterEvent enterAgain(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                               Qt::NoModifier);
    QApplication::sendEvent(&s.Main, &enterAgain);
    QDropEvent again(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s.Main, &again);
    QTRY_COMPARE(s.Boxes.Boxes.size(), size_t(2));
    QTRY_COMPARE(s.Modals, QStringList({"Form2"}));  // no open-video dialog: the drop chose
    QCOMPARE(ReadFileBytes(str.toStdString()), before);
    QVERIFY(s.Main.DocumentOpen);
  }
};

int RunConversionRunsTest(int argc, char** argv) {
  ConversionRunsTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "conversion_runs_test.moc"
