// The sound of a movie in the window: "Salvar som do canal…" and
// "Reproduzir som do canal…" on a movie as on a file of sound only, for XA
// channels and a game layout's own sound.
#include <QtTest>
#include <QtWidgets>
#include <QAudioDevice>
#include <QMediaDevices>
#include <filesystem>

#include "app/main_window.h"
#include "app/player.h"
#include "convert/movie_sound.h"
#include "tests/app/app_test_support.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/run.h"

namespace belmora::app::test {
namespace {

// Answers the next chooser of the sounds with its first entry; the entries
// it offered.
QStringList* AcceptNextChooser() {
  auto* items = new QStringList;
  QTimer::singleShot(0, [items] {
    if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
      *items = d->comboBoxItems();
      d->accept();
    }
  });
  return items;
}

}  // namespace

class MovieSoundTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  // Saved from the menu, a movie's sound is the command line's export of
  // it, byte for byte: an XA channel as `export-wav --all-channels` writes
  // it (the channel's own rate), a game layout's own sound as `export-wav`
  // does. Played without a sound device, the command says so.
  void SoundCommandsOfAMovie_data() {
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("command");  // the command line's export, %1 the output
    QTest::addColumn<QString>("exported");    // the file it writes
    const QString xa = WriteMovie(dir_, PictureMovie(12), "xa-movie.str");
    const std::string ff8 = TempFile(dir_, "ff8-movie.str");
    (void)belmora::test::WriteGameMovie({GameFormat::kFf8, 6, 320, 224, 8, false}, ff8);
    QTest::newRow("XA stereo") << xa << "1: 37800 Hz, 2 ch, "
                               << QStringList{"export-wav", xa, "--all-channels", "%1"}
                               << "%1/channel_01.wav";
    QTest::newRow("Final Fantasy VIII")
        << QString::fromStdString(ff8) << "Final Fantasy VIII: 44100 Hz, 2 ch, "
        << QStringList{"export-wav", QString::fromStdString(ff8), "-o", "%1/sound.wav"}
        << "%1/sound.wav";
  }
  void SoundCommandsOfAMovie() {
    QFETCH(QString, movie);
    QFETCH(QString, item);
    QFETCH(QStringList, command);
    QFETCH(QString, exported);
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QCOMPARE(form.OpenDocument(movie), 0);
    QVERIFY(form.MenuSaveChannel->isEnabled() && form.MenuPlayChannel->isEnabled());
    const QString saved = QDir(dir_.path()).filePath(QFileInfo(movie).baseName() + ".wav");
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      d.FileName = saved;
      return true;
    };
    std::unique_ptr<QStringList> items(AcceptNextChooser());
    form.MenuSaveChannel->trigger();
    QCOMPARE(items->size(), 1);
    QVERIFY2(items->first().startsWith(item), qPrintable(items->first()));
    QVERIFY2(boxes.Boxes.empty(), qPrintable(boxes.Texts().join('|')));

    const QString out = QDir(dir_.path()).filePath(QFileInfo(movie).baseName() + "-cli");
    std::filesystem::create_directories(out.toStdString());
    std::vector<std::string> args = {BELMORA_CLI};
    for (const QString& a : command)
      args.push_back((a.contains("%1") ? a.arg(out) : a).toStdString());
    const auto r = belmora::test::RunCommand(args);
    QVERIFY2(r.Status == 0, r.Err.c_str());
    const auto wav = belmora::test::ReadFileBytes(saved.toStdString());
    QVERIFY(wav.size() > 44 + 1000);
    QVERIFY(wav == belmora::test::ReadFileBytes(exported.arg(out).toStdString()));

    if (!QMediaDevices::defaultAudioOutput().isNull()) return;
    items.reset(AcceptNextChooser());
    form.MenuPlayChannel->trigger();
    QCOMPARE(items->size(), 1);
    QCOMPARE(boxes.Texts(), QStringList{"音声を再生できるデバイスがありません。"});
  }

  // Playback reads the movie's own sound beside its frames, whatever its
  // coding: the same sound as the sound commands decode, up to the last
  // frame.
  void PlaybackCarriesTheMovieSound_data() {
    QTest::addColumn<QString>("movie");
    QTest::addColumn<int>("channel");
    const std::string ff8 = TempFile(dir_, "ff8-play.str");
    (void)belmora::test::WriteGameMovie({GameFormat::kFf8, 6, 320, 224, 8, false}, ff8);
    QTest::newRow("XA stereo") << WriteMovie(dir_, PictureMovie(12), "xa-play.str") << 1;
    QTest::newRow("Final Fantasy VIII") << QString::fromStdString(ff8) << kLayoutSound;
  }
  void PlaybackCarriesTheMovieSound() {
    QFETCH(QString, movie);
    QFETCH(int, channel);
    TForm1 form;
    QCOMPARE(form.OpenDocument(movie), 0);
    const PlaybackStart start = form.Client()->PlaybackFrom();
    QVERIFY(start.HasSound());
    QCOMPARE(start.LayoutSound, channel == kLayoutSound);
    const PcmFormat pcm{44100, 2};
    FrameReadAhead reader(start, &pcm, 4);
    int frames = 0;
    QElapsedTimer t;
    t.start();
    while ((!reader.Ended() || reader.FramesWaiting() > 0) && t.elapsed() < 10000) {
      PlaybackFrame f;
      if (reader.TakeFrameUpTo(1000, f)) frames++;
    }
    QCOMPARE(frames, QFileInfo(movie).baseName().startsWith("ff8") ? 6 : 12);
    std::vector<char> played(1 << 22);
    played.resize(reader.TakeSound(played.data(), played.size()));
    QVERIFY(played.size() > 10000);

    CollectingHost quiet;
    MovieSound sound;
    sound.Channel = channel;
    const auto whole = DecodeMovieSound(movie.toStdString(), 0, sound, 44100, 2, quiet);
    QVERIFY(whole.Ok());
    QVERIFY(played.size() <= whole->size());
    QVERIFY(whole->size() - played.size() < 20000);  // the sound after the last frame
    size_t differ = 0;
    while (differ < played.size() && uint8_t(played[differ]) == (*whole)[differ]) differ++;
    QVERIFY2(differ == played.size(), qPrintable(QString("%1 of %2 (%3)").arg(differ).arg(played.size()).arg(whole->size())));
  }

  // A movie without sound says so; nothing is asked.
  void MovieWithoutSound() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QCOMPARE(form.OpenDocument(WriteMovie(dir_, PlainMovie(20), "silent.str")), 0);
    form.RunFileDialog = [](FileDialog&, QWidget*) {
      QTest::qFail("no file is asked for", __FILE__, __LINE__);
      return false;
    };
    form.MenuSaveChannel->trigger();
    QCOMPARE(boxes.Texts(), QStringList{"音声データが存在しません。"});
  }
};

int RunMovieSoundTest(int argc, char** argv) {
  MovieSoundTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "movie_sound_test.moc"
