// "Arquivos da imagem": the list of a disc image's STR and XA files, and
// opening a file of the image through it in the main window.
#include <QtTest>
#include <QtWidgets>
#include <cstring>
#include <random>

#include "app/image_file_chooser.h"
#include "app/main_window.h"
#include "base/messages.h"
#include "str/cd_sector.h"
#include "tests/app/app_test_support.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/disc_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"

namespace belmora::app::test {
namespace {

using belmora::test::DiscBuilder;

// A BIN/CUE image with two movies, an XA file and a data file; returns the
// cue's path. `builder` tells where the files went.
QString WriteDisc(const QTemporaryDir& dir, DiscBuilder& builder) {
  std::mt19937 random(3);
  belmora::test::MovieRecipe open;
  open.Riff = false;
  open.Frames = 6;
  open.ChunkPattern = {9, 8};
  open.Width = 160;
  open.Height = 112;
  open.AudioCoding = kCoding378Stereo;
  open.AudioChannel = 1;
  open.Bitstream = [&](int) {
    return belmora::test::EncodeLevels(belmora::test::RandomLevels(160, 112, random), 2, 2);
  };
  belmora::test::MovieRecipe end = open;
  end.Frames = 12;  // 36 sectors: the opening scans look at 32
  end.Width = 64;
  end.Height = 48;
  end.ChunkPattern = {3};
  end.AudioCoding = -1;
  end.Bitstream = [&](int) {
    return belmora::test::EncodeLevels(belmora::test::RandomLevels(64, 48, random), 2, 2);
  };
  belmora::test::StrBuilder music(2352, false);
  for (int i = 0; i < 16; i++) music.AddAudio(i % 2, kCoding189Stereo, 0x20);
  const std::string cnf = "BOOT = cdrom:\\SLPS_000.00;1\r\n";
  builder.AddDataFile("/SYSTEM.CNF", {cnf.begin(), cnf.end()});
  builder.AddSectorFile("/MOVIE/OPEN.STR",
                        belmora::test::SectorImagesOf(belmora::test::BuildMovie(open)));
  builder.AddSectorFile("/MOVIE/END.STR",
                        belmora::test::SectorImagesOf(belmora::test::BuildMovie(end)));
  builder.AddSectorFile("/SOUND/MUSIC.XA", belmora::test::SectorImagesOf(music));
  builder.WriteBinCue(TempFile(dir, "disc.bin"), TempFile(dir, "disc.cue"));
  return QString::fromStdString(TempFile(dir, "disc.cue"));
}

// Picks the row of `inner` in the chooser and confirms it.
std::function<int(QDialog&)> Choose(const QString& inner, int* shown = nullptr) {
  return [inner, shown](QDialog& d) {
    auto* chooser = dynamic_cast<ImageFileChooser*>(&d);
    if (!chooser) return int(QDialog::Rejected);
    if (shown) ++*shown;
    const auto rows = chooser->FileList->findItems(inner, Qt::MatchExactly, 0);
    if (rows.isEmpty()) return int(QDialog::Rejected);
    chooser->FileList->setCurrentItem(rows.first());
    return int(QDialog::Accepted);
  };
}

}  // namespace

class ImageFileChooserTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void IsDiscImageFileGoesByTheName() {
    QVERIFY(IsDiscImageFile("/a/Game.BIN"));
    QVERIFY(IsDiscImageFile("game.cue"));
    QVERIFY(IsDiscImageFile("game.iso"));
    QVERIFY(!IsDiscImageFile("game.str"));
    QVERIFY(!IsDiscImageFile("game.cue::/MOVIE/OPEN.STR"));
    QVERIFY(!IsDiscImageFile("game.bin::/MOVIE/X.BIN"));
  }

  // Only the STR and XA files, in directory order, each with what it holds.
  void ListsTheMoviesAndSound() {
    DiscBuilder b;
    const QString cue = WriteDisc(dir_, b);
    std::vector<ImageFileItem> items;
    std::string error;
    QVERIFY(ListImageFiles(cue.toStdString(), items, error));
    QCOMPARE(items.size(), size_t(3));
    QCOMPARE(items[0].Path, std::string("/MOVIE/END.STR"));
    QCOMPARE(items[1].Path, std::string("/MOVIE/OPEN.STR"));
    QCOMPARE(items[2].Path, std::string("/SOUND/MUSIC.XA"));
    QCOMPARE(items[1].Sectors, b.Placement("/MOVIE/OPEN.STR").Sectors);
    QCOMPARE(QString::fromStdString(items[0].Description),
             QString("vídeo STR, 12 quadros, 64 x 48"));
    QCOMPARE(QString::fromStdString(items[1].Description),
             QString("vídeo STR, 6 quadros, 160 x 112, canal 1 37,8 kHz estéreo"));
    QCOMPARE(QString::fromStdString(items[2].Description),
             QString("áudio XA, 2 canais, canal 0 18,9 kHz estéreo, canal 1 18,9 kHz estéreo"));

    ImageFileChooser chooser(cue, items);
    QCOMPARE(chooser.windowTitle(), QString("Arquivos da imagem"));
    QCOMPARE(chooser.FileList->topLevelItemCount(), 3);
    QCOMPARE(chooser.FileList->topLevelItem(1)->text(1),
             QString::number(b.Placement("/MOVIE/OPEN.STR").Sectors));
    // The first file is chosen to begin with.
    QVERIFY(chooser.OKButton->isEnabled());
    QCOMPARE(chooser.Chosen(), cue + "::/MOVIE/END.STR");
    chooser.FileList->setCurrentItem(chooser.FileList->topLevelItem(2));
    QCOMPARE(chooser.Chosen(), cue + "::/SOUND/MUSIC.XA");
    chooser.FileList->clearSelection();
    QVERIFY(!chooser.OKButton->isEnabled());
    QCOMPARE(chooser.Chosen(), QString());

    // A double click opens the file.
    chooser.FileList->setCurrentItem(chooser.FileList->topLevelItem(1));
    emit chooser.FileList->itemDoubleClicked(chooser.FileList->topLevelItem(1), 0);
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    QCOMPARE(chooser.Chosen(), cue + "::/MOVIE/OPEN.STR");
  }

  // Opening the image shows the list; the file chosen opens in the viewer,
  // titled IMAGE::PATH, and a BMP goes into its frame in place.
  void OpensTheChosenFile() {
    DiscBuilder b;
    const QString cue = WriteDisc(dir_, b);
    const std::string bin = TempFile(dir_, "disc.bin");
    const auto original = belmora::test::ReadFileBytes(bin);
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    int shown = 0;
    form.RunModal = Choose("/MOVIE/OPEN.STR", &shown);
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      d.FileName = cue;
      return true;
    };
    form.MenuOpenClick();
    QCOMPARE(shown, 1);
    QVERIFY2(form.DocumentOpen, qPrintable(boxes.Texts().join("\n")));
    QCOMPARE(form.windowTitle(), QString("Belmora v2 - Tavish - disc.cue::/MOVIE/OPEN.STR"));
    StrDocument& doc = form.Document();
    QCOMPARE(QString::fromStdString(doc.Path),
             QFileInfo(cue).absoluteFilePath() + "::/MOVIE/OPEN.STR");
    QCOMPARE(doc.PictureWidth, 160);
    QCOMPARE(form.SelectionEnd, doc.LastFrameSector);
    const int32_t first = doc.CurrentSector;
    form.NextButtonClick();
    QVERIFY(doc.CurrentSector > first);

    const std::string bmp = TempFile(dir_, "in.bmp");
    belmora::test::WriteBgrBmp(bmp, belmora::test::NaturalPicture(160, 112, 4), 160, 112);
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      d.FileName = QString::fromStdString(bmp);
      return true;
    };
    form.MenuBmpIClick();
    QVERIFY2(boxes.Boxes.empty(), qPrintable(boxes.Texts().join("\n")));
    const auto now = belmora::test::ReadFileBytes(bin);
    QCOMPARE(now.size(), original.size());
    const auto placed = b.Placement("/MOVIE/OPEN.STR");
    const size_t from = size_t(placed.Lsn * 2352), to = from + size_t(placed.Sectors * 2352);
    QVERIFY(std::equal(now.begin(), now.begin() + long(from), original.begin()));
    QVERIFY(std::equal(now.begin() + long(to), now.end(), original.begin() + long(to)));
    QVERIFY(!std::equal(now.begin() + long(from), now.begin() + long(to),
                        original.begin() + long(from)));
    for (size_t at = from; at < to; at += 2352) {
      if (std::memcmp(&now[at], &original[at], 2352) == 0) continue;
      QVERIFY(std::memcmp(&now[at], &original[at], 24) == 0);
      QVERIFY(CheckRawSector(&now[at], int32_t(at / 2352) + kFirstDataAddress).Valid());
    }

    // Cancelling the list leaves the open file open.
    form.RunModal = [](QDialog&) { return int(QDialog::Rejected); };
    QCOMPARE(form.OpenDocument(cue), -1);
    QVERIFY(form.DocumentOpen);
    QCOMPARE(form.windowTitle(), QString("Belmora v2 - Tavish - disc.cue::/MOVIE/OPEN.STR"));
    // A path into the image opens without the list.
    shown = 0;
    form.RunModal = Choose("/MOVIE/OPEN.STR", &shown);
    QVERIFY2(form.OpenDocument(cue + "::/MOVIE/END.STR") == 0,
             qPrintable(boxes.Texts().join("\n")));
    QCOMPARE(shown, 0);
    QCOMPARE(form.Document().PictureWidth, 64);
  }

  // Images with nothing to show say so, and show no list.
  void ImagesWithoutMoviesSaySo() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    int shown = 0;
    form.RunModal = Choose("/SYSTEM.CNF", &shown);

    DiscBuilder plain;
    const std::string cnf = "BOOT = cdrom:\\SLPS_000.00;1\r\n";
    plain.AddDataFile("/SYSTEM.CNF", {cnf.begin(), cnf.end()});
    const std::string iso = TempFile(dir_, "plain.iso");
    plain.WriteIso(iso);
    QCOMPARE(form.OpenDocument(QString::fromStdString(iso)), -1);
    QCOMPARE(boxes.Texts(),
             QStringList{QString::fromStdString(FormatMessage(msg::kDiscNoMovies, iso.c_str()))});

    const std::string junk = TempFile(dir_, "junk.bin");
    belmora::test::WriteFileBytes(junk, std::vector<uint8_t>(2352 * 30, 0x41));
    QCOMPARE(form.OpenDocument(QString::fromStdString(junk)), -1);
    QCOMPARE(boxes.Texts().last(),
             QString::fromStdString(FormatMessage(msg::kDiscNoVolume, junk.c_str())));
    QCOMPARE(shown, 0);
    QVERIFY(!form.DocumentOpen);
  }
};

int RunImageFileChooserTest(int argc, char** argv) {
  ImageFileChooserTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "image_file_chooser_test.moc"
