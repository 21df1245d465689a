// The bar's range, tick interval, selection marks and time labels, as
// numbers and as the main window lays them out for real files.
#include <QtTest>
#include <QtWidgets>

#include "app/bar_layout.h"
#include "app/main_window.h"
#include "tests/app/app_test_support.h"

namespace belmora::app::test {
namespace {

QStringList Texts(const std::vector<TimeLabel>& labels) {
  QStringList out;
  for (const TimeLabel& l : labels) out << QString::fromStdString(l.Text);
  return out;
}

QList<int> Positions(const std::vector<TimeLabel>& labels) {
  QList<int> out;
  for (const TimeLabel& l : labels) out << l.X;
  return out;
}

}  // namespace

class BarLayoutTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  // 3000 sectors, bar 305 pixels wide: 40 units; at single speed steps of
  // 1 give 6 pixels, of 5 give 34, so ticks every 5 units; at double speed
  // 13 and 69 pixels, so every 10 units labelled in seconds halved.
  void ThreeThousandSectors() {
    BarSettings one = LayOutBarSettings(320, true, 3000, 1, 0, 2990);
    QCOMPARE(one.Width, 305);
    QCOMPARE(one.Max, 40);
    QCOMPARE(one.Frequency, 5);
    auto labels = TimeLabels(one.Width, one.Max, one.Frequency, 1);
    QCOMPARE(Texts(labels), QStringList({"0:00", "0:05", "0:10", "0:15", "0:20", "0:25", "0:30",
                                         "0:35", "0:40"}));
    QCOMPARE(Positions(labels), QList<int>({12, 46, 81, 115, 150, 185, 219, 254, 290}));

    BarSettings two = LayOutBarSettings(320, true, 3000, 2, 0, 2990);
    QCOMPARE(two.Max, 40);
    QCOMPARE(two.Frequency, 10);
    labels = TimeLabels(two.Width, two.Max, two.Frequency, 2);
    QCOMPARE(Texts(labels), QStringList({"0:00", "0:05", "0:10", "0:15", "0:20"}));
    QCOMPARE(Positions(labels), QList<int>({12, 81, 150, 219, 290}));
  }

  // Under 75 sectors the bar has no range: one label, 0:00 at the end, and
  // ticks every SpeedFactor units.
  void ShortFile() {
    for (int speed : {1, 2}) {
      BarSettings s = LayOutBarSettings(320, true, 50, speed, 0, 40);
      QCOMPARE(s.Max, 0);
      QCOMPARE(s.Frequency, speed);
      auto labels = TimeLabels(s.Width, s.Max, s.Frequency, speed);
      QCOMPARE(Texts(labels), QStringList({"0:00"}));
      QCOMPARE(labels[0].X, 290);
    }
  }

  void EmptyBar() {
    BarSettings s = LayOutBarSettings(400, false, 3000, 2, 150, 300);
    QCOMPARE(s.Width, 385);
    QCOMPARE(s.Max, 0);
    QCOMPARE(s.Frequency, 1);
    QCOMPARE(s.SelStart, 0);
    QCOMPARE(s.SelEnd, 0);
  }

  // The start is shown rounded down, the end rounded up.
  void SelectionRounding() {
    BarSettings s = LayOutBarSettings(320, true, 3000, 2, 80, 160);
    QCOMPARE(s.SelStart, 1);
    QCOMPARE(s.SelEnd, 3);
    s = LayOutBarSettings(320, true, 3000, 2, 150, 225);
    QCOMPARE(s.SelStart, 2);
    QCOMPARE(s.SelEnd, 3);
  }

  // Long files on narrow bars take the coarser steps, up to half an hour;
  // labels never crowd the end label.
  void TickSteps() {
    QCOMPARE(TickStepIndex(305, 40, 1), 1);
    QCOMPARE(TickStepIndex(305, 2000, 1), 5);    // 5 minutes: 41 pixels
    QCOMPARE(TickStepIndex(305, 7200, 1), 7);    // two hours: half an hour, 69 pixels
    QCOMPARE(TickStepIndex(305, 200000, 2), 7);  // nothing fits: still half an hour
    QCOMPARE(TickStepIndex(305, 0, 2), 0);
    QCOMPARE(TickStepIndex(2000, 40, 2), 0);
    auto labels = TimeLabels(305, 7200, 1800, 1);
    QCOMPARE(Texts(labels), QStringList({"0:00", "30:00", "60:00", "90:00", "120:00"}));
    QCOMPARE(labels.back().Text, std::string("120:00"));
    for (size_t i = 0; i + 1 < labels.size(); i++) QVERIFY(labels[i].X < 305 - 30);
  }

  // The window itself: a 3000-sector file at both speeds, and the
  // selection marks as the menu sets them.
  void WindowBar() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PlainMovie(300), "bar3000.str")) == 0);
    QCOMPARE(form.Document().SectorCount, 3000);
    QCOMPARE(form.ClientWidth(), 320);
    QCOMPARE(form.Bar->width(), 305);
    QCOMPARE(form.Bar->Max(), 40);
    QCOMPARE(form.Bar->pageStep(), 10);

    form.MenuSpeed1Click();
    QCOMPARE(form.Bar->Frequency(), 5);
    QCOMPARE(Texts(form.BarTimeLabels()).size(), 9);
    QVERIFY(form.MenuSpeed1->isChecked());
    QVERIFY(!form.MenuSpeed2->isChecked());

    form.MenuSpeed2Click();
    QCOMPARE(form.Bar->Frequency(), 10);
    QCOMPARE(Texts(form.BarTimeLabels()), QStringList({"0:00", "0:05", "0:10", "0:15", "0:20"}));
    QVERIFY(form.MenuSpeed2->isChecked());

    // Frames are 10 sectors long: the frame at sector 80 and the one at 160.
    form.Document().CurrentSector = 80;
    form.ShowCurrentFrame();
    form.MenuSelStartClick();
    form.Document().CurrentSector = 160;
    form.ShowCurrentFrame();
    form.MenuSelEndClick();
    QCOMPARE(form.SelectionStart, 80);
    QCOMPARE(form.SelectionEnd, 160);
    QCOMPARE(form.Bar->SelStart(), 1);
    QCOMPARE(form.Bar->SelEnd(), 3);
    // An end before the start drags the start along, and the other way round.
    form.Document().CurrentSector = 40;
    form.MenuSelEndClick();
    QCOMPARE(form.SelectionStart, 40);
    QCOMPARE(form.SelectionEnd, 40);
    form.Document().CurrentSector = 500;
    form.MenuSelStartClick();
    QCOMPARE(form.SelectionEnd, 500);
    form.MenuSelAllClick();
    QCOMPARE(form.SelectionStart, 0);
    QCOMPARE(form.SelectionEnd, form.Document().LastFrameSector);
    QCOMPARE(form.Bar->SelEnd(), (2990 + 74) / 75);

    // A wider window, a wider bar; closing empties it.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(form.width() + 100, form.height());
    QTRY_COMPARE(form.Bar->width(), 405);
    form.CloseDocument();
    QCOMPARE(form.Bar->Max(), 0);
    QCOMPARE(form.Bar->Frequency(), 1);
    QVERIFY(form.BarTimeLabels().empty());
    QVERIFY(boxes.Boxes.empty());
  }

  void WindowShortFile() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PlainMovie(5), "bar50.str")) == 0);
    QCOMPARE(form.Bar->Max(), 0);
    QCOMPARE(form.Bar->Frequency(), form.Document().SpeedFactor);
    auto labels = form.BarTimeLabels();
    QCOMPARE(labels.size(), size_t(1));
    QCOMPARE(labels[0].X, 290);
    QCOMPARE(labels[0].Text, std::string("0:00"));
  }

  // The bar's own moves run BarChange; the positions set by the window do not.
  void BarChangeOnlyForTheUser() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PlainMovie(300), "barmove.str")) == 0);
    form.Bar->SetPosition(20);
    QCOMPARE(form.Document().CurrentSector, 0);  // untouched
    form.Bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(form.Bar->Position(), 30);
    QCOMPARE(form.Document().CurrentSector, 30 * 75);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // A click right of the thumb pages forward; a drag to the left end goes to 0.
    QTest::mouseClick(form.Bar, Qt::LeftButton, {}, QPoint(form.Bar->width() - 16, 12));
    QCOMPARE(form.Bar->Position(), 40);
    const QPoint thumb = form.Bar->ThumbRect().center();
    QTest::mousePress(form.Bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(form.Bar, QPoint(2, thumb.y()));
    QTest::mouseRelease(form.Bar, Qt::LeftButton, {}, QPoint(2, thumb.y()));
    QCOMPARE(form.Bar->Position(), 0);
    QCOMPARE(form.Document().CurrentSector, 0);
  }
};

int RunBarLayoutTest(int argc, char** argv) {
  BarLayoutTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "bar_layout_test.moc"
