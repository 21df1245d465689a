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

  // Cancelar during an in-place conversion asks whether to keep what was
  // done: "no" puts the file back byte for byte (the journal's work) and
  // opens it again; "yes" keeps the frames done and the rest as it was.
  // Either way a box says what became of the file.
  void AviToStrCancelled_data() {
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("said");
    QTest::newRow("put back") << false << QString("元のファイルに戻しました");
    QTest::newRow("kept") << true << QString("ここまでの変更は残しました");
  }
  void AviToStrCancelled() {
    QFETCH(bool, keep);
    QFETCH(QString, said);
    const QString str = WriteMovie(dir_, PictureMovie(40), keep ? "keep.str" : "back.str");
    const auto before = ReadFileBytes(str.toStdString());
    Session s;
    QCOMPARE(s.Main.OpenDocument(str), 0);
    s.OpenVideo = Video("cancel-in.avi", 40);
    s.Answer = AcceptOffered;
    s.Boxes.Answerer = [keep](const BoxRequest& b) {
      if (b.Text.contains("ここまでの変更を残しますか")) return keep ? QMessageBox::Yes : QMessageBox::No;
      return QMessageBox::No;
    };
    ProgressWatch watch;
    watch.CancelAt = 15;
    watch.Attach(s);
    s.Main.MenuAviIClick();
    QVERIFY(s.Form3.CancelRequested);
    QVERIFY(!watch.Values.isEmpty() && watch.Values.last() < 50);
    const QStringList texts = s.Boxes.Texts();
    QVERIFY2(texts.filter("ここまでの変更を残しますか").size() == 1, qPrintable(texts.join("; ")));
    QVERIFY2(texts.last().contains(said) && texts.last().contains(str), qPrintable(texts.join("; ")));
    const auto after = ReadFileBytes(str.toStdString());
    if (keep) {
      QCOMPARE(after.size(), before.size());
      QVERIFY(after != before);
      // The last hundred sectors were never reached.
      const size_t tail = 100 * 2352;
      QVERIFY(std::equal(after.end() - tail, after.end(), before.end() - tail));
    } else {
      QVERIFY(after == before);
    }
    QVERIFY(!fs::exists(JournalPath(str.toStdString())));
    QVERIFY(s.Main.DocumentOpen && s.Main.Document().IsOpen() && s.Main.isEnabled());
  }

  // "Converter STR para AVI" never replaces an existing file unasked,
  // however its name came: remembered from the last export, typed, or
  // chosen in the save dialog (which asked itself). "No" goes back to the
  // window; nothing is written. Another movie is offered its own name.
  void StrToAviAsksBeforeReplacing() {
    const QString movieA = WriteMovie(dir_, PictureMovie(6), "a.str");
    const QString movieB = WriteMovie(dir_, PictureMovie(8), "b.str");
    const QString out = QPath("replace.avi");
    Session s;
    QCOMPARE(s.Main.OpenDocument(movieA), 0);
    ExportThroughTheMenu(s, out);
    QVERIFY(s.Boxes.Boxes.empty());  // nothing there yet: no question
    QCOMPARE(VideoFrames(out.toStdString()), int64_t(6));

    struct Row {
      const char* how;
      const QString* movie;
      const char* name;  // typed over the name offered; null: as offered
      bool viaSaveDialog;
      QMessageBox::StandardButton answer;
      int questions;
      int64_t frames;  // in the file afterwards; -1: the user's bytes kept
    };
    const Row rows[] = {
        {"remembered, no", &movieA, nullptr, false, QMessageBox::No, 1, -1},
        {"save dialog", &movieA, nullptr, true, QMessageBox::No, 0, 6},
        {"typed for another movie, yes", &movieB, "replace.avi", false, QMessageBox::Yes, 1, 8},
    };
    const std::vector<uint8_t> users = {'u', 's', 'e', 'r'};
    for (const Row& row : rows) {
      QCOMPARE(s.Main.OpenDocument(*row.movie), 0);
      belmora::test::WriteFileBytes(out.toStdString(), users);
      s.Boxes.Boxes.clear();
      s.Modals.clear();
      s.Boxes.Answer = row.answer;
      int shown = 0;
      QString offered;
      s.Answer = [&](QDialog& d) {
        auto& form = dynamic_cast<TConvAviForm&>(d);
        form.show();
        if (++shown > 1) return Cancel(d);  // back after "no": give up
        offered = form.NameEdit->text();
        if (row.name) form.NameEdit->setText(QPath(row.name));
        if (row.viaSaveDialog) {
          form.RunFileDialog = [&](FileDialog& dialog, QWidget*) {
            dialog.FileName = out;
            return true;
          };
          QTest::mouseClick(form.ShowButton, Qt::LeftButton);
          form.RunFileDialog = RunQtFileDialog;
        }
        QTest::mouseClick(form.StartButton, Qt::LeftButton);
        return form.result();
      };
      s.Main.MenuAviOClick();
      // The same movie keeps its name; another is offered MOVIE.avi there.
      QCOMPARE(offered, row.movie == &movieA ? out : QPath("b.avi"));
      QCOMPARE(int(s.Boxes.Boxes.size()), row.questions);
      if (row.questions) {
        QVERIFY(s.Boxes.Boxes[0].Text.contains(out));
        QCOMPARE(s.Boxes.Boxes[0].Buttons, QMessageBox::Yes | QMessageBox::No);
      }
      QCOMPARE(int(s.Modals.size()), row.answer == QMessageBox::No && row.questions ? 2 : 1);
      if (row.frames < 0)
        QVERIFY(ReadFileBytes(out.toStdString()) == users);
      else
        QCOMPARE(VideoFrames(out.toStdString()), row.frames);
    }
  }

  // "Quadro a quadro" with a video whose frames are not as many as the
  // selection's: the box has OK and Cancelar; Cancelar converts nothing.
  void FrameByFrameCountsDiffer() {
    const QString str = WriteMovie(dir_, PictureMovie(6), "counts.str");
    const auto before = ReadFileBytes(str.toStdString());
    Session s;
    QCOMPARE(s.Main.OpenDocument(str), 0);
    s.OpenVideo = Video("counts.avi", 9);
    s.Answer = [](QDialog& d) {
      auto& f = dynamic_cast<TForm2&>(d);
      f.show();
      f.FrameByFrameChk->setChecked(true);
      QTest::mouseClick(f.Button1, Qt::LeftButton);
      return f.result();
    };
    s.Boxes.Answerer = [](const BoxRequest& b) {
      return b.Buttons == (QMessageBox::Ok | QMessageBox::Cancel) ? QMessageBox::Cancel
                                                                  : QMessageBox::No;
    };
    ProgressWatch watch;
    watch.Attach(s);
    s.Main.MenuAviIClick();
    QCOMPARE(s.Boxes.Boxes.size(), size_t(1));
    QCOMPARE(s.Boxes.Boxes[0].Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QVERIFY(s.Boxes.Boxes[0].Text.startsWith("動画のフレーム数 (9) が選択範囲のフレーム数 (6) と違います。"));
    QVERIFY(watch.Values.isEmpty());
    QVERIFY(ReadFileBytes(str.toStdString()) == before);
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
  // STR" with it; without a document, whether to start "Criar novo STR".
  void DroppedVideoAsks() {
    Session s;
    const QString video = Video("dropped.avi", 5, false);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(video)});
    QDragEnterEvent empty(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    empty.setAccepted(false);
    QApplication::sendEvent(&s.Main, &empty);
    QVERIFY(empty.isAccepted());
    QDropEvent none(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s.Main, &none);
    QTRY_COMPARE(s.Boxes.Boxes.size(), size_t(1));
    QVERIFY(s.Boxes.Boxes[0].Text.contains("「Criar novo STR」"));
    QVERIFY(s.Modals.isEmpty());  // answered no
    // Yes: the save dialog offers the video's name as an STR beside it, and
    // no open-video dialog follows (the drop chose); cancelled there.
    s.Boxes.Answer = QMessageBox::Yes;
    QDragEnterEvent enterYes(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                             Qt::NoModifier);
    QApplication::sendEvent(&s.Main, &enterYes);
    QDropEvent yes(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&s.Main, &yes);
    QTRY_VERIFY2(s.Modals == QStringList({"SaveStrDlg"}),
                 qPrintable(s.Boxes.Texts().join(" | ") + " / " + s.Modals.join(",")));
    QCOMPARE(s.Main.SaveStrDlg.FileName, QString("dropped.str"));
    QCOMPARE(s.Main.SaveStrDlg.Folder, QFileInfo(video).absolutePath());
    QVERIFY(!s.Main.DocumentOpen);
    s.Boxes.Answer = QMessageBox::No;
    s.Modals.clear();
    s.Boxes.Boxes.clear();

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
