// Playback: from the current frame to the last at the file's rate, with
// the frames read ahead on another thread; any key stops it.
#include <QtTest>
#include <QtWidgets>
#include <QElapsedTimer>

#include "app/main_window.h"
#include "app/player.h"
#include "tests/app/app_test_support.h"

namespace belmora::app::test {

class PlaybackTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  // The worker alone: every frame from the start sector on, in order, with
  // its sector and number, and the sound of the channel asked for.
  void ReadAheadDeliversEveryFrame() {
    const QString path = WriteMovie(dir_, PictureMovie(20), "ahead.str");
    TForm1 form;
    QVERIFY(form.OpenDocument(path) == 0);
    PlaybackStart start;
    start.Path = form.Document().Path;
    start.LastFrameSector = form.Document().LastFrameSector;
    start.AudioChannel = 1;
    const PcmFormat pcm{44100, 2};
    FrameReadAhead reader(start, &pcm, 4);
    std::vector<PlaybackFrame> frames;
    QElapsedTimer t;
    t.start();
    while ((!reader.Ended() || reader.FramesWaiting() > 0) && t.elapsed() < 10000) {
      PlaybackFrame f;
      if (reader.TakeFrameUpTo(1000, f)) frames.push_back(std::move(f));
      QVERIFY(reader.FramesWaiting() <= 4);
    }
    QCOMPARE(frames.size(), size_t(20));
    for (int i = 0; i < 20; i++) {
      QCOMPARE(frames[i].Index, i);
      QCOMPARE(frames[i].FrameNumber, uint32_t(i + 1));
      QCOMPARE(frames[i].Picture.size(), QSize(320, 240));
    }
    QCOMPARE(frames.back().Sector, form.Document().LastFrameSector);
    // The viewer decodes the last frame to the same picture.
    form.LastFrame();
    QCOMPARE(frames.back().Picture, CodecPicture(form));
    // Sound: 37.8 kHz stereo sectors of 2016 sample pairs, resampled to 44.1 kHz.
    std::vector<char> sound(1 << 22);
    const size_t bytes = reader.TakeSound(sound.data(), sound.size());
    QVERIFY(bytes > 0);
    QCOMPARE(bytes % 4, size_t(0));
  }

  // A short file plays to its last frame at its rate and leaves the
  // window there; the frames due were all shown.
  void PlaysToTheLastFrame() {
    const QString path = WriteMovie(dir_, PictureMovie(30), "play.str");
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QVERIFY(form.OpenDocument(path) == 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.Document().FramesPerSecond, 15.0);
    QElapsedTimer t;
    t.start();
    QTest::keyClick(&form, Qt::Key_Space);
    QVERIFY(form.Playing());
    QTRY_VERIFY_WITH_TIMEOUT(!form.Playing(), 15000);
    // 30 frames at 15 per second: two seconds, give or take the start.
    QVERIFY2(t.elapsed() >= 1900, qPrintable(QString::number(t.elapsed())));
    const StrDocument& doc = form.Document();
    QCOMPARE(doc.CurrentSector, doc.LastFrameSector);
    QCOMPARE(form.Label1->text(),
             QString::fromStdString(ProgressLabel({0, doc.LastFrameSector, 30})));
    QCOMPARE(form.Bar->Position(), doc.LastFrameSector / 75);
    const PlaybackStats& s = form.LastPlaybackStats();
    QCOMPARE(s.Due, 30);
    QVERIFY2(s.Shown >= 28, qPrintable(QString("%1 of %2").arg(s.Shown).arg(s.Due)));
    QVERIFY(boxes.Boxes.empty());

    // From the last frame, playback starts over from the first.
    form.StartPlayback();
    QTRY_VERIFY(form.Playing() && form.Label1->text() != QString::fromStdString(ProgressLabel(
                                                             {0, doc.LastFrameSector, 30})));
    form.StopPlayback();
    QVERIFY(form.Document().CurrentSector < form.Document().LastFrameSector);
  }

  // Seeking while playing goes where asked and playback goes on from there,
  // as media players do: arrows, PageUp/PageDown, Home, the buttons, a move
  // of the bar. Any other key stops playback where it is; End goes to the
  // last frame, where there is nothing left to play.
  void SeekingKeepsPlaying_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<int>("lowest");   // sector the move reaches at least
    QTest::addColumn<int>("highest");  // and at most
    QTest::newRow("Right") << "Right" << true << 20 << 900;
    QTest::newRow("Left") << "Left" << true << 0 << 900;
    QTest::newRow("PageDown") << "PageDown" << true << 1500 << 1700;  // ten seconds on
    QTest::newRow("PageUp") << "PageUp" << true << 0 << 0;
    QTest::newRow("Home") << "Home" << true << 0 << 0;
    QTest::newRow("NextButton") << "NextButton" << true << 20 << 900;
    QTest::newRow("bar") << "bar" << true << 1200 << 1200;
    QTest::newRow("End") << "End" << false << 2990 << 2990;
    QTest::newRow("A") << "A" << false << 10 << 900;
  }
  void SeekingKeepsPlaying() {
    QFETCH(QString, how);
    QFETCH(bool, goesOn);
    QFETCH(int, lowest);
    QFETCH(int, highest);
    static const QString path = WriteMovie(dir_, PictureMovie(300), "seek.str");
    TForm1 form;
    form.PlaybackSound = false;
    QVERIFY(form.OpenDocument(path) == 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const StrDocument& doc = form.Document();
    form.MenuPlay->trigger();
    QVERIFY(form.Playing());
    // A few frames in (under load the window may pass over some of them).
    QTRY_VERIFY(form.Label1->text().right(6).toInt() >= 4);
    if (how == "NextButton")
      QTest::mouseClick(form.NextButton, Qt::LeftButton);
    else if (how == "bar")
      form.Bar->setValue(16);  // as the user drags it: 16 x 75 sectors
    else
      QTest::keyClick(&form, QMap<QString, Qt::Key>{{"Right", Qt::Key_Right},
                                                    {"Left", Qt::Key_Left},
                                                    {"PageDown", Qt::Key_PageDown},
                                                    {"PageUp", Qt::Key_PageUp},
                                                    {"Home", Qt::Key_Home},
                                                    {"End", Qt::Key_End},
                                                    {"A", Qt::Key_A}}
                                 .value(how));
    QCOMPARE(form.Playing(), goesOn);
    const int32_t landed = doc.CurrentSector;
    QVERIFY2(landed >= lowest && landed <= highest, qPrintable(QString::number(landed)));
    if (!goesOn) return;
    // Playback goes on from there.
    QTRY_VERIFY(form.Label1->text() != QString::fromStdString(
                                           ProgressLabel({0, landed, doc.ChunkHeader.FrameNumber})));
    QTest::qWait(300);
    form.StopPlayback();
    QVERIFY2(doc.CurrentSector > landed, qPrintable(QString("%1 after %2").arg(doc.CurrentSector).arg(landed)));
  }

  // Closing the document ends playback.
  void ClosingStops() {
    TForm1 form;
    form.PlaybackSound = false;
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(20), "close.str")) == 0);
    form.MenuPlayClick();
    QVERIFY(form.Playing());
    form.CloseDocument();
    QVERIFY(!form.Playing());
  }
};

int RunPlaybackTest(int argc, char** argv) {
  PlaybackTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "playback_test.moc"
