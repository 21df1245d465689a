// The translator's windows: the fit report with its plot, "Aplicar
// legendas…" from the menu through its report to the frames written, and
// "Simular" and "Quadro a quadro" in "Configurações".
#include <QHeaderView>
#include <QtTest>
#include <QtWidgets>
#include <fstream>
#include <random>

#include "app/conversion_forms.h"
#include "app/fit_report_window.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "tests/app/app_test_support.h"
#include "tests/support/avi_builder.h"
#include "tests/support/disc_builder.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "tests/support/xa_builder.h"

namespace belmora::app::test {

using belmora::test::ReadFileBytes;

class TranslatorWindowsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  static FitReport SampleReport() {
    FitReport r;
    for (int i = 0; i < 40; i++)
      r.Add({i, 10 * i, 4032, 2 + i % 3, 3000, i == 17 ? 24.0 : (i == 30 ? 27.5 : 40.0 - i % 5),
             i % 10 == 0});
    return r;
  }

 private slots:
  void ReportTableMarksTheWorstFramesAndJumps() {
    const FitReport report = SampleReport();
    // 36 frames encoded: one in twenty of them is the worst one, frame 17.
    QCOMPARE(FitReportWindow::WorstFrames(report), std::set<int>{17});
    FitReportWindow w(report, true, nullptr);
    QCOMPARE(w.windowTitle(), QString("Simulação"));
    QCOMPARE(w.Table->rowCount(), 40);
    QCOMPARE(w.Table->columnCount(), 7);
    QCOMPARE(w.Table->horizontalHeaderItem(5)->text(), QString("PSNR (dB)"));
    QCOMPARE(w.Table->item(17, 5)->text(), QString("24.00"));
    QCOMPARE(w.Table->item(10, 6)->text(), QString("sim"));
    QCOMPARE(w.Table->item(11, 6)->text(), QString("não"));
    QVERIFY(w.Table->item(17, 0)->background().color() != w.Table->item(16, 0)->background().color());
    QVERIFY(w.SummaryLabel->text().startsWith("40 フレーム: 再エンコード 36、変更なし 4、最悪はフレーム 17"));
    QVERIFY(w.CancelButton);

    // Frames are numbered from 1, as the status line numbers them.
    QCOMPARE(w.Table->item(0, 0)->text(), QString("1"));
    QCOMPARE(w.Table->item(39, 0)->text(), QString("40"));
    QVERIFY(w.Plot->FrameText(17).startsWith("quadro 18 · setor 170"));

    QList<int32_t> chosen;
    w.FrameChosen = [&](int32_t sector) { chosen << sector; };
    emit w.Table->cellDoubleClicked(17, 2);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // How to zoom and pan is written under the plot.
    QVERIFY(w.PlotHint->isVisible() && w.PlotHint->text().contains("Shift"));
    // Every header is whole beside its sort arrow, and a row is a line of
    // text high (eight rows filled the table's height).
    for (int c = 0; c < w.Table->columnCount(); c++)
      QVERIFY2(w.Table->columnWidth(c) >= w.Table->horizontalHeader()->sectionSizeHint(c),
               qPrintable(w.Table->horizontalHeaderItem(c)->text()));
    QVERIFY(w.Table->rowHeight(0) <= w.Table->fontMetrics().height() + 8);
    // The plot's last point is the last frame; its first the first.
    QCOMPARE(w.Plot->FrameAt(w.Plot->XOf(39)), 39);
    QCOMPARE(w.Plot->FrameAt(w.Plot->XOf(0)), 0);
    QTest::mouseDClick(w.Plot->viewport(), Qt::LeftButton, {}, QPoint(w.Plot->XOf(39), 60));
    QCOMPARE(chosen.first(), 170);
    QCOMPARE(chosen.last(), 390);

    // Every column sorts by its numbers (sector 390 before 90); a row keeps
    // its frame wherever it goes.
    w.Table->sortByColumn(1, Qt::DescendingOrder);
    QCOMPARE(w.Table->item(0, 1)->text(), QString("390"));
    QCOMPARE(w.Table->item(1, 1)->text(), QString("380"));
    QCOMPARE(w.Table->item(0, 0)->text(), QString("40"));
    emit w.Table->cellDoubleClicked(30, 0);  // sector 90
    QCOMPARE(chosen.last(), 90);
    w.Table->sortByColumn(5, Qt::AscendingOrder);
    QCOMPARE(w.Table->item(0, 5)->text(), QString("24.00"));
    // A click on a point selects its row and scrolls to it.
    w.Table->scrollToTop();
    QTest::mouseClick(w.Plot->viewport(), Qt::LeftButton, {}, QPoint(w.Plot->XOf(3), 60));
    QCOMPARE(chosen.last(), 30);
    const int row = w.RowOf(3);
    QCOMPARE(w.Table->currentRow(), row);
    QVERIFY(w.Table->item(row, 0)->isSelected());
    QVERIFY(w.Table->viewport()->rect().intersects(w.Table->visualItemRect(w.Table->item(row, 0))));

    FitReportWindow only(report, false, nullptr);
    QVERIFY(!only.CancelButton);
  }

  // A run that keeps most frames as they were (subtitles touch a few):
  // the line goes through the re-encoded frames only, the kept ones are
  // marked along the top instead of pulling the line up to 99 dB.
  void KeptFramesStayOffTheLine() {
    FitReport report;
    const int n = 9000;
    for (int i = 0; i < n; i++) {
      const bool kept = i % 60 >= 8;
      report.Add({i, 10 * i, 4032, 4, 3000, kept ? 99.0 : 36.0 + (i % 7) * 0.5, kept});
    }
    FitReportWindow w(report, false, nullptr, 101);
    w.resize(1000, 700);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    PsnrPlot& plot = *w.Plot;
    QVERIFY(plot.LinePoints() > 0);
    for (const QPointF& p : plot.Line()->points()) QVERIFY2(p.y() < 40, qPrintable(QString::number(p.y())));
    // Numbered from the run's first frame in the movie.
    QCOMPARE(w.Table->item(0, 0)->text(), QString("101"));
    QVERIFY(plot.FrameText(8).startsWith("quadro 109 "));
    QCOMPARE(plot.FrameAt(plot.XOf(8)), 8);
  }

  // A long movie's chart: readable (each pixel column keeps its lowest
  // and highest PSNR, so one bad frame among 9,000 shows), zoomed by the
  // wheel and the keys, panned, read by hovering; a click jumps to the
  // frame, a double-click shows it now and after the encoding side by side.
  void ChartOfALongMovie() {
    FitReport report;
    const int n = 9000;
    for (int i = 0; i < n; i++)
      report.Add({i, 10 * i, 4032, 4, 3000, i == 4321 ? 12.0 : 38.0 + (i % 7) * 0.5, false});
    FitReportWindow w(report, false, nullptr);
    QList<int32_t> chosen;
    w.FrameChosen = [&](int32_t sector) { chosen << sector; };
    int previews = 0;
    w.FramePictures = [&](int32_t, QImage& now, QImage& after) {
      previews++;
      now = QImage(32, 16, QImage::Format_RGB32);
      now.fill(Qt::blue);
      after = QImage(32, 16, QImage::Format_RGB32);
      after.fill(Qt::green);
      return true;
    };
    w.resize(1000, 700);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    PsnrPlot& plot = *w.Plot;
    QCOMPARE(plot.VisibleFirst(), 0.0);
    QCOMPARE(plot.VisibleLast(), double(n - 1));
    const int columns = int(plot.chart()->plotArea().width());
    QVERIFY2(plot.LinePoints() <= 2 * columns && plot.LinePoints() > columns / 2,
             qPrintable(QString("%1 points, %2 columns").arg(plot.LinePoints()).arg(columns)));
    bool badShown = false;
    for (const QPointF& p : plot.Line()->points()) badShown |= p.x() == 4322 && p.y() == 12.0;
    QVERIFY(badShown);

    // The wheel zooms in around the pointer; the keys pan and zoom; 0 shows all.
    const QPoint middle(plot.XOf(4500), 60);
    QWheelEvent wheel(middle, plot.viewport()->mapToGlobal(middle), {}, {0, 120}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    for (int i = 0; i < 20; i++) QApplication::sendEvent(plot.viewport(), &wheel);
    const double span = plot.VisibleLast() - plot.VisibleFirst();
    QVERIFY2(span < 200, qPrintable(QString::number(span)));
    QVERIFY(plot.VisibleFirst() < 4500 && plot.VisibleLast() > 4500);
    // Zoomed in, every frame is a point of its own.
    QVERIFY(std::abs(plot.LinePoints() - (span + 1)) <= 2);
    const double before = plot.VisibleFirst();
    QTest::keyClick(&plot, Qt::Key_Right);
    QVERIFY(plot.VisibleFirst() > before);
    QTest::keyClick(&plot, Qt::Key_Minus);
    QVERIFY(plot.VisibleLast() - plot.VisibleFirst() > span);

    // Hovering reads a frame; a click jumps to it; a double-click previews it.
    const int frame = int(std::lround(plot.VisibleFirst() + 10));
    QVERIFY(plot.FrameText(frame).startsWith(
        QString("quadro %1 · setor %2").arg(frame + 1).arg(10 * frame)));
    const QPoint over(plot.XOf(frame), 60);
    QMouseEvent move(QEvent::MouseMove, over, plot.viewport()->mapToGlobal(over), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot.viewport(), &move);
    QVERIFY2(plot.toolTip().startsWith(QString("quadro %1 ").arg(frame + 1)),
             qPrintable(plot.toolTip()));
    // The pointer at rest: the values stay shown.
    QHelpEvent rest(QEvent::ToolTip, over, plot.viewport()->mapToGlobal(over));
    QApplication::sendEvent(plot.viewport(), &rest);
    QTest::qWait(600);
    QVERIFY(QToolTip::isVisible());
    QVERIFY2(QToolTip::text().startsWith(QString("quadro %1 ").arg(frame + 1)),
             qPrintable(QToolTip::text()));
    QToolTip::hideText();
    QTest::mouseClick(plot.viewport(), Qt::LeftButton, {}, QPoint(plot.XOf(frame), 60));
    QCOMPARE(chosen, QList<int32_t>{10 * frame});
    QTest::mouseDClick(plot.viewport(), Qt::LeftButton, {}, QPoint(plot.XOf(frame), 60));
    QCOMPARE(previews, 1);
    QVERIFY(w.Preview && w.Preview->isVisible());
    QCOMPARE(w.Preview->findChild<QLabel*>("NowPicture")->pixmap().size(), QSize(32, 16));
    QCOMPARE(w.Preview->findChild<QLabel*>("AfterPicture")->pixmap().toImage().pixelColor(0, 0),
             QColor(Qt::green));
    QTest::keyClick(&plot, Qt::Key_0);
    QCOMPARE(plot.VisibleLast() - plot.VisibleFirst(), double(n - 1));
  }

  void SimulateAndFrameByFrameInTheSettings() {
    const QString path = WriteMovie(dir_, PictureMovie(6), "settings.str");
    TForm1 main;
    BoxLog boxes;
    boxes.Attach(main);
    QCOMPARE(main.OpenDocument(path), 0);
    TForm2 form;
    form.Prepare(main.Document(), {false, 15, 15, true}, main.Ui(), {});
    form.FormShow();
    QVERIFY(!form.SimulateButton->isVisibleTo(&form));
    QCOMPARE(form.FrameByFrameChk->text(), QString("Quadro a quadro"));
    QCOMPARE(form.SimulateButton->text(), QString("Simular"));
    int runs = 0;
    bool exact = false;
    form.Simulate = [&](const AviToStrOptions& o, bool frameByFrame) {
      runs++;
      exact = frameByFrame;
      QVERIFY(o.FrameRate > 0);
    };
    form.FormShow();
    QVERIFY(form.SimulateButton->isVisibleTo(&form));
    form.FrameByFrameChk->setChecked(true);
    QTest::mouseClick(form.SimulateButton, Qt::LeftButton);
    QCOMPARE(runs, 1);
    QVERIFY(exact);
    QVERIFY(form.result() != QDialog::Accepted);  // the window stays
  }

  void AudioOnlyFileShowsNoPictureAsStatusLine() {
    belmora::test::XaFileRecipe recipe;
    for (int k = 0; k < 3; k++) {
      belmora::test::XaChannelRecipe c;
      c.Channel = k;
      c.Sectors = 3;
      c.Left.assign(3 * 4032, int16_t(1000 * k));
      c.Right = c.Left;
      recipe.Channels.push_back(c);
    }
    const std::string path = TempFile(dir_, "voice.xa");
    belmora::test::WriteFileBytes(path, belmora::test::BuildXaFile(recipe));
    TForm1 main;
    BoxLog boxes;
    boxes.Attach(main);
    QVERIFY(main.OpenDocument(QString::fromStdString(path)) != 0);
    QVERIFY(boxes.Boxes.empty());  // no box: the status line says it
    QCOMPARE(main.Label1->text(), QString("画像データが存在しません。"));
    QCOMPARE(main.AudioOnlyPath, FullPath(path));
    QVERIFY(!main.DocumentOpen);
    QVERIFY(main.MenuSaveChannel->isEnabled());
  }

  void ApplySubtitlesFromTheMenu() {
    // A movie made by the program from a video, and a line over 0.5 to 1 s.
    const std::string avi = TempFile(dir_, "subs.avi"), str = TempFile(dir_, "subs.str"),
                      srt = TempFile(dir_, "subs.srt");
    belmora::test::AviRecipe recipe;
    recipe.Frames = 29;
    recipe.Fps = 15;
    recipe.Width = 160;
    recipe.Height = 112;
    belmora::test::WriteTestAvi(avi, recipe);
    auto r = belmora::test::RunCommand(
        {BELMORA_CLI, "--quiet", "new", str, avi, "--tail-frames", "0"});
    QCOMPARE(r.Status, 0);
    {
      std::ofstream out(srt);
      out << "1\n00:00:00,480 --> 00:00:01,020\nLegenda\n";
    }
    Shell shell{QStringList{"belmora"}};
    TForm1& main = shell.Form1();
    BoxLog boxes;
    boxes.Attach(main);
    QCOMPARE(main.OpenDocument(QString::fromStdString(str)), 0);
    main.MenuSelAllClick();
    QVERIFY(main.Bar->maximum() >= 2);  // room for the bar to tell places apart
    QStringList modals;
    bool confirm = false;
    QString summary;
    int rows = 0;
    QString firstNumber;
    int barAtJump = -1;
    main.RunFileDialog = [&](FileDialog& d, QWidget*) {
      modals << d.Title;
      d.FileName = QString::fromStdString(srt);
      return true;
    };
    main.RunModal = [&](QDialog& d) {
      modals << d.objectName();
      if (auto* w = dynamic_cast<FitReportWindow*>(&d)) {
        summary = w->SummaryLabel->text();
        rows = w->Table->rowCount();
        firstNumber = w->Table->item(0, 0)->text();
        // A frame chosen in the report is shown, the bar at its place.
        w->FrameChosen(0);
        barAtJump = main.Bar->value();
      }
      return confirm ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    QAction* item = main.findChild<QAction*>("MenuSubs");
    QVERIFY(item);
    QCOMPARE(item->text(), QString("Aplicar legendas…"));
    const auto before = ReadFileBytes(str);
    item->trigger();
    QCOMPARE(modals, (QStringList{"Aplicar legendas", "FitReportWindow"}));
    QCOMPARE(rows, 29);
    // The selection's first frame is frame 1 in the report as in the status line.
    QCOMPARE(firstNumber, QString("1"));
    QVERIFY(main.StatusLabel->text().contains("quadro 1/29"));
    // Frames 8 to 15 (at 15 per second) show the line.
    QVERIFY2(summary.startsWith("29 フレーム: 再エンコード 8、変更なし 21"), qPrintable(summary));
    QVERIFY(ReadFileBytes(str) == before);  // cancelled after the report: nothing written
    QCOMPARE(barAtJump, 0);
    QCOMPARE(main.Bar->value(), main.Document().CurrentSector / 75);
    confirm = true;
    item->trigger();
    QVERIFY(main.DocumentOpen);
    QVERIFY(ReadFileBytes(str) != before);
    QVERIFY(!main.Converting);
  }

  // The same on a movie inside a disc image: the trial reads the image and
  // writes nothing; the edit changes the movie's sectors alone.
  void ApplySubtitlesToAMovieInsideAnImage() {
    std::mt19937 random(4);
    belmora::test::MovieRecipe movie;
    movie.Riff = false;
    movie.Frames = 12;
    movie.ChunkPattern = {4};
    movie.Width = 160;
    movie.Height = 112;
    movie.Bitstream = [&](int) {
      return belmora::test::EncodeLevels(belmora::test::RandomLevels(160, 112, random), 2, 2);
    };
    belmora::test::DiscBuilder disc;
    disc.AddSectorFile("/MOVIE/OPEN.STR",
                       belmora::test::SectorImagesOf(belmora::test::BuildMovie(movie)));
    const std::string bin = TempFile(dir_, "disc.bin"), cue = TempFile(dir_, "disc.cue"),
                      srt = TempFile(dir_, "disc.srt");
    disc.WriteBinCue(bin, cue);
    {
      std::ofstream out(srt);
      out << "1\n00:00:00,000 --> 00:00:00,250\nLegenda\n";
    }
    const auto original = ReadFileBytes(bin);
    const auto place = disc.Placement("/MOVIE/OPEN.STR");
    Shell shell{QStringList{"belmora"}};
    TForm1& main = shell.Form1();
    BoxLog boxes;
    boxes.Attach(main);
    QCOMPARE(main.OpenDocument(QString::fromStdString(cue + "::/MOVIE/OPEN.STR")), 0);
    main.MenuSelAllClick();
    main.RunFileDialog = [&](FileDialog& d, QWidget*) {
      d.FileName = QString::fromStdString(srt);
      return true;
    };
    bool confirm = false;
    int rows = 0;
    main.RunModal = [&](QDialog& d) {
      if (auto* w = dynamic_cast<FitReportWindow*>(&d)) rows = w->Table->rowCount();
      return confirm ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    main.MenuSubsClick();
    QVERIFY2(boxes.Boxes.empty(), qPrintable(boxes.Texts().join("; ")));
    QCOMPARE(rows, 12);
    QVERIFY(ReadFileBytes(bin) == original);
    confirm = true;
    main.MenuSubsClick();
    QVERIFY2(boxes.Boxes.empty(), qPrintable(boxes.Texts().join("; ")));
    QVERIFY(main.DocumentOpen);
    const auto now = ReadFileBytes(bin);
    QCOMPARE(now.size(), original.size());
    const size_t from = size_t(place.Lsn) * 2352, to = from + size_t(place.Sectors) * 2352;
    QVERIFY(std::equal(now.begin(), now.begin() + ptrdiff_t(from), original.begin()));
    QVERIFY(std::equal(now.begin() + ptrdiff_t(to), now.end(), original.begin() + ptrdiff_t(to)));
    QVERIFY(now != original);
  }

  void GameFramesFitTheirCapacity();
};

// A game layout's frames are reported with the room they really have: a
// Final Fantasy VIII frame's eight video sectors hold 2040 bytes each, and
// every re-encoded frame fits that room.
void TranslatorWindowsTest::GameFramesFitTheirCapacity() {
  const std::string str = TempFile(dir_, "ff8-subs.str"), srt = TempFile(dir_, "ff8-subs.srt");
  (void)belmora::test::WriteGameMovie({GameFormat::kFf8, 6, 320, 224, 8, false}, str);
  {
    std::ofstream out(srt);
    out << "1\n00:00:00,000 --> 00:00:05,000\nLegenda\n";
  }
  Shell shell{QStringList{"belmora"}};
  TForm1& main = shell.Form1();
  BoxLog boxes;
  boxes.Attach(main);
  QCOMPARE(main.OpenDocument(QString::fromStdString(str)), 0);
  main.MenuSelAllClick();
  main.RunFileDialog = [&](FileDialog& d, QWidget*) {
    d.FileName = QString::fromStdString(srt);
    return true;
  };
  QStringList capacities, bytes;
  main.RunModal = [&](QDialog& d) {
    if (auto* w = dynamic_cast<FitReportWindow*>(&d))
      for (int row = 0; row < w->Table->rowCount(); row++) {
        capacities << w->Table->item(row, 2)->text();
        bytes << w->Table->item(row, 4)->text();
      }
    return int(QDialog::Rejected);
  };
  main.MenuSubs->trigger();
  QVERIFY2(boxes.Boxes.empty(), qPrintable(boxes.Texts().join('|')));
  QCOMPARE(capacities.size(), 6);
  for (int row = 0; row < 6; row++) {
    QCOMPARE(capacities[row], QString("16320"));
    QVERIFY2(bytes[row].toInt() <= 16320, qPrintable(bytes[row]));
  }
}

int RunTranslatorWindowsTest(int argc, char** argv) {
  TranslatorWindowsTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "translator_windows_test.moc"
