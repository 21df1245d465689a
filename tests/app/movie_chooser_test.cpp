// "Filmes do arquivo": a file of several movies offers them when it opens
// and from the "Arquivo" menu; the title says which one is shown; a frame
// that lacks sectors is shown concealed, and the label says so.
#include <QtTest>
#include <QtWidgets>

#include "app/main_window.h"
#include "app/movie_chooser.h"
#include "tests/app/app_test_support.h"
#include "tests/support/disc_files.h"

namespace belmora::app::test {
namespace {

using belmora::test::DiscFileKind;

QString WriteKind(const QTemporaryDir& dir, DiscFileKind kind, const std::string& name) {
  const std::string path = TempFile(dir, name);
  belmora::test::BuildDiscFile(kind).Write(path);
  return QString::fromStdString(path);
}

// Picks row `row` of the movie chooser (counting the times it was shown),
// or cancels it with -1.
std::function<int(QDialog&)> Pick(int row, int* shown) {
  return [row, shown](QDialog& d) {
    auto* chooser = dynamic_cast<TMovieChooser*>(&d);
    if (!chooser) return int(QDialog::Rejected);
    ++*shown;
    if (row < 0) return int(QDialog::Rejected);
    chooser->MovieList->setCurrentItem(chooser->MovieList->topLevelItem(row));
    return int(QDialog::Accepted);
  };
}

}  // namespace

class MovieChooserTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  // One row per movie: channel, size, frames, duration, damaged frames.
  void ListsEveryMovie() {
    const QString path = WriteKind(dir_, DiscFileKind::kInterleaved, "two.str");
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    int shown = 0;
    std::vector<std::vector<QString>> rows;
    form.RunModal = [&](QDialog& d) {
      auto* chooser = dynamic_cast<TMovieChooser*>(&d);
      if (!chooser) return int(QDialog::Rejected);
      ++shown;
      for (int i = 0; i < chooser->MovieList->topLevelItemCount(); i++) {
        std::vector<QString> row;
        for (int c = 0; c < 7; c++) row.push_back(chooser->MovieList->topLevelItem(i)->text(c));
        rows.push_back(row);
      }
      return chooser->Chosen() == 0 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    QCOMPARE(form.OpenDocument(path), 0);
    QCOMPARE(shown, 1);
    QCOMPARE(rows.size(), size_t(2));
    QCOMPARE(rows[0][1], QString("0"));
    QCOMPARE(rows[0][2], QString("320 x 240"));
    QCOMPARE(rows[0][3], QString("43"));
    QCOMPARE(rows[1][1], QString("1"));
    QCOMPARE(rows[1][2], QString("256 x 224"));
    QCOMPARE(rows[1][5], QString("nenhum"));
    // The file's layout, in every row.
    QCOMPARE(rows[0][6], QString("STR (MDEC v2/v3)"));
    QCOMPARE(rows[1][6], QString("STR (MDEC v2/v3)"));
    QVERIFY(form.windowTitle().endsWith("two.str [1/2]"));
  }

  // The movie chosen is the one shown; the menu picks another; a cancel at
  // opening opens nothing.
  void ShowsTheMovieChosen() {
    const QString path = WriteKind(dir_, DiscFileKind::kInterleaved, "pick.str");
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    int shown = 0;
    form.RunModal = Pick(-1, &shown);
    QCOMPARE(form.OpenDocument(path), -1);
    QVERIFY(!form.DocumentOpen);
    form.RunModal = Pick(1, &shown);
    QCOMPARE(form.OpenDocument(path), 0);
    QVERIFY(form.windowTitle().endsWith("pick.str [2/2]"));
    QCOMPARE(form.Document().ChunkHeader.Width, uint16_t(256));
    QVERIFY(form.MenuMovie->isEnabled());
    form.RunModal = Pick(0, &shown);
    form.MenuMovie->trigger();
    QCOMPARE(shown, 3);
    QVERIFY(form.windowTitle().endsWith("pick.str [1/2]"));
    QCOMPARE(form.Document().ChunkHeader.Width, uint16_t(320));
    // Another file of several movies whose choice is cancelled: the movie
    // shown stays open as it was.
    form.NextButtonClick();
    const int32_t sector = form.Document().CurrentSector;
    const QString other = WriteKind(dir_, DiscFileKind::kBackToBack, "other.str");
    form.RunModal = Pick(-1, &shown);
    QCOMPARE(form.OpenDocument(other), -1);
    QCOMPARE(shown, 4);
    QVERIFY(form.DocumentOpen);
    QVERIFY(form.windowTitle().endsWith("pick.str [1/2]"));
    QCOMPARE(form.Document().CurrentSector, sector);
    form.NextButtonClick();
    QCOMPARE(form.Document().ChunkHeader.FrameNumber, uint32_t(3));
    // Chosen, it opens at the movie chosen, asked once.
    form.RunModal = Pick(1, &shown);
    QCOMPARE(form.OpenDocument(other), 0);
    QCOMPARE(shown, 5);
    QVERIFY(form.windowTitle().endsWith("other.str [2/2]"));
    QVERIFY(boxes.Boxes.empty());
  }

  // Next steps over a stretch without a frame longer than one search.
  void StepsOverALongGap() {
    const QString path = WriteKind(dir_, DiscFileKind::kLongGap, "gap.str");
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QCOMPARE(form.OpenDocument(path), 0);
    for (uint32_t number = 2; number <= 43; number++) {
      form.NextButtonClick();
      QCOMPARE(form.Document().ChunkHeader.FrameNumber, number);
    }
    QVERIFY(boxes.Boxes.empty());
  }

  // A file of one movie opens without a question; stepping onto the frame
  // that lost a sector shows it concealed and says so.
  void StepsThroughADamagedFrame() {
    const QString path = WriteKind(dir_, DiscFileKind::kLostSector, "lost.str");
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    int shown = 0;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.RunModal = Pick(0, &shown);
    QCOMPARE(form.OpenDocument(path), 0);
    QCOMPARE(shown, 0);
    QVERIFY(!form.MenuMovie->isEnabled());
    QVERIFY(!form.windowTitle().contains("["));
    for (int i = 1; i < belmora::test::kDamagedFrameNumber; i++) {
      QVERIFY(!form.StatusLabel->text().contains("(3/4)"));
      form.NextButtonClick();
    }
    QCOMPARE(form.Document().ChunkHeader.FrameNumber, uint32_t(belmora::test::kDamagedFrameNumber));
    QVERIFY(form.StatusLabel->text().contains("(3/4)"));
    // The notice is seen in a window of the first size, whatever else the
    // line holds; the full explanation is the line's tooltip.
    const QString line = form.StatusLabel->text();
    const int notice = int(line.indexOf("(3/4)")) + 5;
    QVERIFY2(QFontMetrics(form.StatusLabel->font()).horizontalAdvance(line.left(notice)) <=
                 form.StatusLabel->contentsRect().width(),
             qPrintable(line));
    QVERIFY(form.StatusLabel->toolTip().contains("(3/4)"));
    form.NextButtonClick();
    QCOMPARE(form.Document().ChunkHeader.FrameNumber, uint32_t(12));
    QVERIFY(!form.StatusLabel->text().contains("(3/4)"));
    QVERIFY(form.StatusLabel->toolTip().isEmpty());
    // Prev steps back onto it.
    form.PrevButtonClick();
    QCOMPARE(form.Document().ChunkHeader.FrameNumber, uint32_t(belmora::test::kDamagedFrameNumber));
    QVERIFY(form.StatusLabel->text().contains("(3/4)"));
    QVERIFY(boxes.Boxes.empty());
  }
};

int RunMovieChooserTest(int argc, char** argv) {
  MovieChooserTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "movie_chooser_test.moc"
