// The main window: start-up, menus, opening, navigation, keys, painting,
// the view sizes, dropped files and the BMP commands.
#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "str/sector_file.h"
#include "app/conversion_forms.h"
#include "app/main_window.h"
#include "app/position_form.h"
#include "app/progress_form.h"
#include "app/shell.h"
#include "convert/frame_bmp.h"
#include "tests/app/app_test_support.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/run.h"

namespace belmora::app::test {
namespace {

QString Label(int sector, int frame) {
  return QString::fromStdString(ProgressLabel({0, sector, uint32_t(frame)}));
}

// The first `width` x `height` pixels of `grab` against `picture`, each of
// its pixels drawn `scale` x `scale`; the count of pixels that differ.
int PictureDifferences(const QImage& grab, const QImage& picture, int scale) {
  int differ = 0;
  for (int y = 0; y < picture.height() * scale; y++)
    for (int x = 0; x < picture.width() * scale; x++)
      differ += grab.pixel(x, y) != picture.pixel(x / scale, y / scale);
  return differ;
}

// A picture read from a 24-bit bottom-up BMP file.
QImage BmpPicture(const std::string& path) {
  auto bytes = belmora::test::ReadFileBytes(path);
  const int w = int(bytes[18] | bytes[19] << 8), h = int(bytes[22] | bytes[23] << 8);
  QImage out(w, h, QImage::Format_RGB32);
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  for (int y = 0; y < h; y++) {
    const uint8_t* row = bytes.data() + 54 + size_t(h - 1 - y) * stride;
    for (int x = 0; x < w; x++) out.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  }
  return out;
}

struct OpenForm {
  TForm1 form;
  BoxLog boxes;
  explicit OpenForm(const QString& path, bool show = true) {
    boxes.Attach(form);
    if (!path.isEmpty()) form.OpenDocument(path);
    if (show) {
      form.show();
      (void)QTest::qWaitForWindowExposed(&form);
    }
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void StartUpWithoutArgument() {
    Shell shell({"belmora"});
    TForm1& form = shell.Form1();
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), QString("Belmora v2 - Tavish"));
    QVERIFY(!form.DocumentOpen);
    QCOMPARE(form.Label1->text(), QString("Quadros : 000000"));
    // The other windows exist, hidden, and the main window knows them.
    QVERIFY(!shell.Form2().isVisible() && !shell.Form3().isVisible() &&
            !shell.Form4().isVisible() && !shell.Form5().isVisible() &&
            !shell.ConvAviForm().isVisible());
    QCOMPARE(form.Form3(), &shell.Form3());
    QCOMPARE(form.Form5(), &shell.Form5());
    QCOMPARE(form.ConvAviForm(), &shell.ConvAviForm());
    QCOMPARE(shell.Form2().windowTitle(), QString("Configurações"));
    QCOMPARE(shell.Form3().windowTitle(), QString("Convertendo arquivo"));
    QCOMPARE(shell.Form4().windowTitle(), QString("Novo STR"));
    QCOMPARE(shell.Form5().windowTitle(), QString("Selecionar"));
    QCOMPARE(shell.ConvAviForm().windowTitle(), QString("Converter STR para AVI"));
    // The client area below the menu bar: 320 x 322, the bar at (8, 242).
    QCOMPARE(form.ClientWidth(), 320);
    QCOMPARE(form.ClientHeight(), 322);
    QCOMPARE(form.Bar->geometry(), QRect(8, 242, 305, 33));
    QCOMPARE(form.Panel2->geometry(), QRect(0, 293, 320, 29));
    QCOMPARE(form.PrevButton->geometry(), QRect(256, 7, 25, 16));
    QCOMPARE(form.NextButton->geometry(), QRect(281, 7, 25, 16));
    QCOMPARE(form.Label1->pos(), QPoint(8, 9));
  }

  void StartUpWithArgument() {
    const QString path = WriteMovie(dir_, PictureMovie(6), "startup.str");
    Shell shell({"belmora", path});
    TForm1& form = shell.Form1();
    QVERIFY(form.DocumentOpen);
    QCOMPARE(form.windowTitle(),
             QString("Belmora v2 - Tavish - ") + QFileInfo(path).fileName());
    QCOMPARE(form.Label1->text(), Label(0, 1));
    QVERIFY(form.MenuConv->menuAction()->isEnabled());
    QVERIFY(form.MenuConf->menuAction()->isEnabled());
    QCOMPARE(form.SelectionEnd, form.Document().LastFrameSector);
  }

  void MenuNamesCaptionsAndStates() {
    TForm1 form;
    struct Entry {
      const char* Name;
      const char* Caption;
    };
    const Entry menus[] = {{"MenuFile", "Arquivo"},        {"MenuConv", "Converter"},
                           {"MenuConf", "Visualizar"},     {"MenuSpeed", "Formato de tempo"},
                           {"MenuWidth", "Tamanho"},       {"MenuSel", "Seleção"}};
    for (const Entry& e : menus) {
      auto* m = form.findChild<QMenu*>(e.Name);
      QVERIFY2(m, e.Name);
      QCOMPARE(QString(m->title()).remove('&'), QString(e.Caption));
    }
    const Entry items[] = {
        {"MenuNew", "Criar novo STR"},         {"MenuOpen", "Abrir arquivo STR"},
        {"MenuExit", "Sair"},                  {"MenuAviO", "Converter STR para AVI"},
        {"MenuAviI", "Converter AVI para STR"}, {"MenuBmpO", "Salvar em BMP"},
        {"MenuBmpI", "Abrir arquivo BMP"},     {"MenuSpeed1", "Formato 1"},
        {"MenuSpeed2", "Formato 2 (Segundos)"}, {"MenuWidthN", "Grande"},
        {"MenuWidthH", "Pequeno"},             {"MenuWidthD", "Dobro"},
        {"MenuSelStart", "Início da Seleção"}, {"MenuSelEnd", "Fim da seleção"},
        {"MenuSelAll", "Selecionar tudo"},     {"MenuPos", "Posição da seleção"},
        {"MenuPlay", "Reproduzir"}};
    for (const Entry& e : items) {
      auto* a = form.findChild<QAction*>(e.Name);
      QVERIFY2(a, e.Name);
      QCOMPARE(a->text(), QString(e.Caption));
    }
    // The order of the menu bar and of "Visualizar"; "Ajuda" and "Idioma" come last.
    QList<QString> bar;
    for (QAction* a : form.MainMenu1->actions()) bar << a->text();
    QCOMPARE(bar, QList<QString>({"&Arquivo", "&Converter", "&Visualizar", "Aj&uda"}));
    QList<QString> view;
    for (QAction* a : form.MenuConf->actions())
      if (!a->isSeparator()) view << a->text();
    QCOMPARE(view, QList<QString>({"Formato de tempo", "Tamanho", "Seleção", "Posição da seleção",
                                   "Reproduzir", "Idioma"}));

    // Only "Arquivo" and "Ajuda" work without a document; the check marks of the start.
    QVERIFY(form.MenuFile->menuAction()->isEnabled());
    QVERIFY(form.MenuHelp->menuAction()->isEnabled());
    QVERIFY(!form.MenuConv->menuAction()->isEnabled());
    QVERIFY(!form.MenuConf->menuAction()->isEnabled());
    QVERIFY(form.MenuSpeed2->isChecked());  // no document: speed 2
    QVERIFY(form.MenuWidthN->isChecked());
    QVERIFY(!form.MenuWidthH->isChecked() && !form.MenuWidthD->isChecked());

    BoxLog boxes;
    boxes.Attach(form);
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(4), "menus.str")) == 0);
    QVERIFY(form.MenuConv->menuAction()->isEnabled());
    QVERIFY(form.MenuConf->menuAction()->isEnabled());
    form.CloseDocument();
    QVERIFY(!form.MenuConv->menuAction()->isEnabled());
    QVERIFY(!form.MenuConf->menuAction()->isEnabled());
    QCOMPARE(form.windowTitle(), QString("Belmora v2 - Tavish"));
  }

  void FileDialogs() {
    TForm1 form;
    // The first filter offers every kind of file the program opens.
    QCOMPARE(form.OpenStrDlg.QtFilter(),
             QString("Arquivos STR e XA, imagens de disco (*.str *.xa *.iki *.bin *.cue *.iso);;"
                     "STR Files (*.str);;Imagens de disco (*.bin *.cue *.iso);;All Files (*)"));
    QCOMPARE(form.OpenStrDlg.DefaultExt, QString("str"));
    QVERIFY(form.OpenStrDlg.FileMustExist && form.OpenStrDlg.PathMustExist);
    QCOMPARE(form.SaveStrDlg.Title, QString("Salvar como"));
    QVERIFY(form.SaveStrDlg.OverwritePrompt);
    // AVI files first, then any video the reader takes.
    QCOMPARE(form.OpenAviDlg.QtFilter(),
             QString("AVI Files (*.avi);;Video files (*.avi *.mp4 *.mkv *.mov *.webm);;"
                     "All Files (*)"));
    QCOMPARE(form.OpenAviDlg.DefaultExt, QString("avi"));
    QCOMPARE(form.OpenBmpDlg.QtFilter(), QString("BMP Files (*.bmp);;All Files (*)"));
    QVERIFY(form.OpenBmpDlg.FileMustExist && !form.OpenBmpDlg.OverwritePrompt);
    QVERIFY(form.SaveBmpDlg.OverwritePrompt && !form.SaveBmpDlg.FileMustExist);
    QCOMPARE(form.SaveBmpDlg.DefaultExt, QString("bmp"));

    // "Abrir arquivo STR" opens what the dialog chose; a cancelled dialog nothing.
    const QString path = WriteMovie(dir_, PictureMovie(3), "dialog.str");
    int asked = 0;
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      asked++;
      if (asked == 1) return false;
      d.FileName = path;
      return true;
    };
    form.MenuOpenClick();
    QVERIFY(!form.DocumentOpen);
    form.MenuOpenClick();
    QVERIFY(form.DocumentOpen);
  }

  void OpenFailures() {
    OpenForm f("", false);
    const std::string junk = TempFile(dir_, "junk.str");
    belmora::test::WriteFileBytes(junk, std::vector<uint8_t>(5000, 0x11));
    QCOMPARE(f.form.OpenDocument(QString::fromStdString(junk)), -1);
    // One box, naming the file and the reason.
    QCOMPARE(f.boxes.Texts(),
             QStringList({QString::fromStdString("オープンできません。 " + junk +
                                                 " (不明なフォーマットです。)")}));
    for (const BoxRequest& b : f.boxes.Boxes) QCOMPARE(b.Caption, QString("メッセージ"));
    QVERIFY(!f.form.DocumentOpen);

    // A file recognised but without a picture size.
    belmora::test::StrBuilder b(2352);
    belmora::test::FrameRecipe frame;
    frame.Width = frame.Height = 0;
    for (int i = 0; i < 60; i++) b.AddFrame(frame);
    const std::string noPicture = TempFile(dir_, "nopicture.str");
    b.Write(noPicture);
    f.boxes.Boxes.clear();
    QCOMPARE(f.form.OpenDocument(QString::fromStdString(noPicture)), -1);
    QCOMPARE(f.boxes.Texts(), QStringList({"画像データが存在しません。"}));
    QVERIFY(!f.form.DocumentOpen);
    QVERIFY(!f.form.MenuConv->menuAction()->isEnabled());
    QCOMPARE(f.form.windowTitle(), QString("Belmora v2 - Tavish"));

    // Frames that read but decode in no layout: said, not shown as black.
    belmora::test::StrBuilder garbled(2352);
    belmora::test::FrameRecipe noise;
    noise.Chunks = 2;
    noise.Bitstream = belmora::test::MinimalBitstream(2, 2);
    noise.Bitstream.resize(4000, 0xFF);
    for (int i = 0; i < 10; i++) {
      noise.Number = uint32_t(i + 1);
      garbled.AddFrame(noise);
    }
    const std::string undecodable = TempFile(dir_, "undecodable.str");
    garbled.Write(undecodable);
    f.boxes.Boxes.clear();
    QCOMPARE(f.form.OpenDocument(QString::fromStdString(undecodable)), -1);
    QCOMPARE(f.boxes.Texts(),
             QStringList({QString::fromStdString(
                 undecodable + ": この動画のフレームはどの形式でも復号できません。")}));
    QVERIFY(!f.form.DocumentOpen);

    // A file left in the middle of an edit is put back first, if the user agrees.
    const QString edited = WriteMovie(dir_, PictureMovie(3), "edited.str");
    const std::string editedPath = edited.toStdString();
    const auto whole = belmora::test::ReadFileBytes(editedPath);
    {
      belmora::SectorFile file;
      QVERIFY(file.Open(editedPath, belmora::SectorFile::Mode::kReadWrite));
      QVERIFY(file.BeginJournal());
      QVERIFY(file.WriteAt(100, "half-done", 9));
    }
    f.boxes.Boxes.clear();
    f.boxes.Answer = QMessageBox::No;
    QCOMPARE(f.form.OpenDocument(edited), -1);
    QVERIFY(belmora::JournalExists(editedPath));
    f.boxes.Answer = QMessageBox::Yes;
    QCOMPARE(f.form.OpenDocument(edited), 0);
    QVERIFY(!belmora::JournalExists(editedPath));
    QVERIFY(belmora::test::ReadFileBytes(editedPath) == whole);
    f.boxes.Answer = QMessageBox::Ok;

    // A good file after a bad one opens as ever; a file that cannot be
    // opened leaves the one shown as it was.
    QCOMPARE(f.form.OpenDocument(WriteMovie(dir_, PictureMovie(3), "good.str")), 0);
    const QString title = f.form.windowTitle(), label = f.form.Label1->text();
    f.boxes.Boxes.clear();
    QCOMPARE(f.form.OpenDocument(QString::fromStdString(junk)), -1);
    QCOMPARE(f.boxes.Boxes.size(), size_t(1));
    QVERIFY(f.form.DocumentOpen && f.form.Document().IsOpen());
    QCOMPARE(f.form.windowTitle(), title);
    QCOMPARE(f.form.Label1->text(), label);
  }

  // Open errors name the file and the cause, and leave the movie shown as
  // it was; whatever is dropped on the window is offered for what it is:
  // a picture on a movie goes into its frame ("Abrir arquivo BMP"), a video
  // without a movie makes a new STR ("Criar novo STR"), anything else opens
  // or is refused.
  void OpenErrorsAndDrops() {
    const QString movie = WriteMovie(dir_, PictureMovie(4), "shown.str");
    const std::string missing = TempFile(dir_, "missing.str");
    const std::string text = TempFile(dir_, "notes.txt");
    belmora::test::WriteFileBytes(text, {'h', 'i', '\n'});
    const std::string bmp = TempFile(dir_, "title.bmp");
    belmora::test::BmpRecipe picture;
    picture.Width = 320;
    picture.Height = 240;
    belmora::test::WriteBmp(bmp, picture);
    const std::string broken = TempFile(dir_, "broken.bmp");  // a few words of text
    belmora::test::WriteFileBytes(broken, {'B', 'M', ' ', 'n', 'o', 't', 'e', 's', '\n'});
    const std::string video = TempFile(dir_, "clip.avi");
    belmora::test::WriteFileBytes(video, {'R', 'I', 'F', 'F'});
    struct Row {
      const char* what;
      std::string file;
      bool movieOpen;
      QMessageBox::StandardButton answer;
      QString said;        // the box's text
      bool frameChanged;   // the movie's bytes
      bool newStrStarted;
    };
    const Row rows[] = {
        {"missing", missing, true, QMessageBox::Ok,
         QString::fromStdString("オープンできません。 " + missing + " (No such file or directory)"),
         false, false},
        {"text", text, true, QMessageBox::Ok,
         QString::fromStdString("オープンできません。 " + text + " (不明なフォーマットです。)"), false,
         false},
        {"picture, no", bmp, true, QMessageBox::No,
         QString::fromStdString(bmp + "\n「Abrir arquivo BMP」で現在のフレームに取り込みますか？"),
         false, false},
        {"picture, yes", bmp, true, QMessageBox::Yes,
         QString::fromStdString(bmp + "\n「Abrir arquivo BMP」で現在のフレームに取り込みますか？"),
         true, false},
        {"picture that is not one", broken, true, QMessageBox::Yes,
         QString::fromStdString(broken + "\n「Abrir arquivo BMP」で現在のフレームに取り込みますか？"),
         false, false},
        {"video, no movie", video, false, QMessageBox::Yes,
         QString::fromStdString(video + "\n「Criar novo STR」をこのファイルで開始しますか？"), false,
         true},
    };
    for (const Row& row : rows) {
      TForm1 form;
      BoxLog boxes;
      boxes.Attach(form);
      QStringList started;
      form.Conversions.NewStrWith = [&](TForm1&, const QString& v) { started << v; };
      form.Conversions.AviToStrWith = [&](TForm1&, const QString&) { started << "import"; };
      const std::string copy = TempFile(dir_, std::string("drop-") + row.what + ".str");
      std::filesystem::copy_file(movie.toStdString(), copy,
                                 std::filesystem::copy_options::overwrite_existing);
      if (row.movieOpen) QCOMPARE(form.OpenDocument(QString::fromStdString(copy)), 0);
      const auto before = belmora::test::ReadFileBytes(copy);
      const QString title = form.windowTitle();
      boxes.Answer = row.answer;
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(QString::fromStdString(row.file))});
      QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      enter.setAccepted(false);
      QApplication::sendEvent(&form, &enter);
      QVERIFY2(enter.isAccepted(), row.what);
      QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&form, &drop);
      QTRY_VERIFY2(!boxes.Boxes.empty(), row.what);
      QCOMPARE(boxes.Boxes.front().Text, row.said);
      // Whatever cannot be used is refused naming the file and the reason.
      for (const BoxRequest& b : boxes.Boxes)
        if (b.Text.startsWith("オープンできません。"))
          QVERIFY2(b.Text.contains(QString::fromStdString(row.file) + " ("), qPrintable(b.Text));
      if (std::string(row.what) == "picture that is not one")
        QVERIFY2(boxes.Boxes.size() == 2 && boxes.Boxes[1].Text.endsWith(")"),
                 qPrintable(boxes.Texts().join('|')));
      QCOMPARE(form.DocumentOpen, row.movieOpen);
      QCOMPARE(form.windowTitle(), title);
      QCOMPARE(belmora::test::ReadFileBytes(copy) != before, row.frameChanged);
      QCOMPARE(started, row.newStrStarted ? QStringList{QString::fromStdString(row.file)}
                                          : QStringList{});
    }
  }

  // At the last frame Next moves past it and shows nothing new; Prev
  // comes back to the last frame.
  void NextAndPrevAtTheEnds() {
    OpenForm f(WriteMovie(dir_, PictureMovie(30), "ends.str"));
    TForm1& form = f.form;
    StrDocument& doc = form.Document();
    const int32_t last = doc.LastFrameSector;
    form.NextButtonClick();
    QVERIFY(doc.CurrentSector > 0);
    QCOMPARE(form.Label1->text(), Label(doc.CurrentSector, 2));
    form.PrevButtonClick();
    QCOMPARE(form.Label1->text(), Label(0, 1));
    form.PrevButtonClick();  // before the first frame: stays
    QCOMPARE(doc.CurrentSector, 0);

    form.LastFrame();
    QCOMPARE(doc.CurrentSector, last);
    QCOMPARE(form.Label1->text(), Label(last, 30));
    const QImage before = GrabClient(form).copy(form.PictureRect());
    form.NextButtonClick();
    QVERIFY(doc.CurrentSector > last);
    QCOMPARE(form.Label1->text(), Label(last, 30));
    QCOMPARE(GrabClient(form).copy(form.PictureRect()), before);
    form.PrevButtonClick();
    QCOMPARE(doc.CurrentSector, last);
    QCOMPARE(form.Label1->text(), Label(last, 30));
    QCOMPARE(form.Bar->Position(), last / 75);
    QVERIFY(f.boxes.Boxes.empty());
  }

  void Keys() {
    OpenForm f(WriteMovie(dir_, PlainMovie(300), "keys.str"));
    TForm1& form = f.form;
    StrDocument& doc = form.Document();
    QTest::keyClick(&form, Qt::Key_Right);
    QCOMPARE(doc.CurrentSector, 10);
    QTest::keyClick(&form, Qt::Key_Right);
    QCOMPARE(doc.CurrentSector, 20);
    QTest::keyClick(&form, Qt::Key_Left);
    QCOMPARE(doc.CurrentSector, 10);
    QTest::keyClick(&form, Qt::Key_End);
    QCOMPARE(doc.CurrentSector, doc.LastFrameSector);
    QTest::keyClick(&form, Qt::Key_Home);
    QCOMPARE(doc.CurrentSector, 0);
    // Ten seconds of movie time: 1500 sectors at double speed, 750 at single.
    QTest::keyClick(&form, Qt::Key_PageDown);
    QCOMPARE(form.Bar->Position(), 20);
    QCOMPARE(doc.CurrentSector, 1500);
    form.MenuSpeed1Click();
    QTest::keyClick(&form, Qt::Key_PageDown);
    QCOMPARE(form.Bar->Position(), 30);
    QCOMPARE(doc.CurrentSector, 2250);
    QTest::keyClick(&form, Qt::Key_PageDown);
    QTest::keyClick(&form, Qt::Key_PageDown);
    QCOMPARE(doc.CurrentSector, doc.LastFrameSector);  // the last frame, not the bar's end
    QTest::keyClick(&form, Qt::Key_PageUp);
    QCOMPARE(doc.CurrentSector, 2240);
    QCOMPARE(form.Bar->Position(), 29);
    QTest::keyClick(&form, Qt::Key_I);
    QCOMPARE(form.SelectionStart, 2240);
    QTest::keyClick(&form, Qt::Key_Right);
    QTest::keyClick(&form, Qt::Key_O);
    QCOMPARE(form.SelectionEnd, 2250);
    QCOMPARE(form.Bar->SelStart(), 29);
    QCOMPARE(form.Bar->SelEnd(), 30);

    // Keys do nothing without a document.
    form.CloseDocument();
    QTest::keyClick(&form, Qt::Key_Right);
    QTest::keyClick(&form, Qt::Key_I);
    QCOMPARE(form.SelectionStart, 0);
  }

  // PageDown, PageUp, End and Home reach the last and the first frame of a
  // short movie, whatever the bar's whole seconds.
  void KeysReachTheEnds() {
    OpenForm f(WriteMovie(dir_, PictureMovie(43), "short.str"));
    TForm1& form = f.form;
    const StrDocument& doc = form.Document();
    auto frame = [&] { return form.Label1->text().right(6).toInt(); };
    QTest::keyClick(&form, Qt::Key_PageDown);
    QCOMPARE(frame(), 43);
    QVERIFY2(form.StatusLabel->text().contains("quadro 43/43"), qPrintable(form.StatusLabel->text()));
    QCOMPARE(doc.CurrentSector, doc.LastFrameSector);
    QTest::keyClick(&form, Qt::Key_PageUp);
    QCOMPARE(frame(), 1);
    QTest::keyClick(&form, Qt::Key_Right);
    QTest::keyClick(&form, Qt::Key_End);
    QCOMPARE(frame(), 43);
    QTest::keyClick(&form, Qt::Key_Home);
    QCOMPARE(frame(), 1);
    // From the middle, ten seconds either way reach the ends too.
    for (int i = 0; i < 20; i++) QTest::keyClick(&form, Qt::Key_Right);
    QTest::keyClick(&form, Qt::Key_PageUp);
    QCOMPARE(frame(), 1);
  }

  // What is painted at the client origin is FrameImage, pixel for pixel,
  // and the same picture as the command line's decode writes.
  void PicturePaintedAsDecoded() {
    const QString path = WriteMovie(dir_, PictureMovie(8), "pixels.str");
    OpenForm f(path);
    TForm1& form = f.form;
    QCOMPARE(form.PictureRect(), QRect(0, 0, 320, 240));
    const QImage picture = CodecPicture(form);
    QCOMPARE(PictureDifferences(GrabClient(form), picture, 1), 0);

    const std::string dir = TempFile(dir_, "decoded");
    auto r = belmora::test::RunCommand({BELMORA_CLI, "decode", path.toStdString(), "--out", dir});
    QVERIFY2(r.Status == 0, r.Err.c_str());
    QCOMPARE(PictureDifferences(GrabClient(form), BmpPicture(dir + "/000000.bmp"), 1), 0);
    QTest::keyClick(&form, Qt::Key_Right);
    QCOMPARE(PictureDifferences(GrabClient(form), BmpPicture(dir + "/000001.bmp"), 1), 0);
    QTest::keyClick(&form, Qt::Key_End);
    QCOMPARE(PictureDifferences(GrabClient(form), BmpPicture(dir + "/000007.bmp"), 1), 0);
    std::filesystem::remove_all(dir);
  }

  // "Pequeno" halves the drawn width and keeps the window's size; "Dobro"
  // draws every pixel 2 x 2 and grows the window to fit; "Grande" returns.
  void HalfAndDoubleViews() {
    OpenForm f(WriteMovie(dir_, PictureMovie(4), "views.str"));
    TForm1& form = f.form;
    const QSize size = form.size();
    const QImage full = CodecPicture(form);

    form.MenuWidthHClick();
    QVERIFY(form.MenuWidthH->isChecked() && !form.MenuWidthN->isChecked());
    QCOMPARE(form.PictureRect(), QRect(0, 0, 160, 240));
    QCOMPARE(form.size(), size);
    QImage grab = GrabClient(form);
    const QImage half = CodecPicture(form);
    QCOMPARE(half.size(), QSize(160, 240));
    QCOMPARE(PictureDifferences(grab, half, 1), 0);
    const QRgb background = form.Client()->palette().color(QPalette::Window).rgb();
    for (int y = 0; y < 240; y += 7)
      for (int x = 160; x < 320; x += 7) QCOMPARE(grab.pixel(x, y), background);

    form.MenuWidthDClick();
    QVERIFY(form.MenuWidthD->isChecked() && !form.MenuWidthH->isChecked());
    QTRY_VERIFY(form.ClientWidth() >= 640 && form.ClientHeight() >= 480 + 82);
    QCOMPARE(form.PictureRect(), QRect(0, 0, 640, 480));
    QCOMPARE(form.Bar->y(), form.ClientHeight() - 80);
    grab = GrabClient(form);
    QCOMPARE(CodecPicture(form), full);
    QCOMPARE(PictureDifferences(grab, full, 2), 0);

    form.MenuWidthNClick();
    QVERIFY(form.MenuWidthN->isChecked() && !form.MenuWidthD->isChecked());
    QTRY_COMPARE(form.size(), size);
    QCOMPARE(PictureDifferences(GrabClient(form), full, 1), 0);
  }

  void DroppedFileOpens() {
    OpenForm f("");
    const QString path = WriteMovie(dir_, PictureMovie(3), "dropped.str");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.form, &drop);
    QVERIFY(f.form.DocumentOpen);
    QVERIFY(f.form.windowTitle().endsWith(QFileInfo(path).fileName()));

    // Text without a file is refused.
    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(&f.form, &refused);
    QVERIFY(!refused.isAccepted());
  }

  // "Salvar em BMP" writes the picture as shown; "Abrir arquivo BMP"
  // encodes a picture into the frame, placed as "Posição da seleção" says.
  void BmpCommands() {
    const QString path = WriteMovie(dir_, PictureMovie(4), "bmp.str");
    OpenForm f(path);
    TForm1& form = f.form;
    const std::string out = TempFile(dir_, "frame.bmp");
    QString chosen = QString::fromStdString(out);
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      d.FileName = chosen;
      return true;
    };
    form.MenuBmpOClick();
    auto bytes = belmora::test::ReadFileBytes(out);
    QCOMPARE(bytes.size(), size_t(230454));
    QVERIFY(bytes == FrameBmpBytes(form.Codec().Image, false));
    form.MenuWidthHClick();
    form.MenuBmpOClick();
    QCOMPARE(BmpPicture(out).size(), QSize(160, 240));
    form.MenuWidthNClick();

    // A white picture placed at De = 10, Até = 20.
    form.RunModal = [](QDialog& d) {
      auto& pos = static_cast<TForm5&>(d);
      pos.FormShow();
      pos.Edit1->setText("10");
      pos.Edit2->setText("20");
      pos.Button1Click();
      return int(QDialog::Accepted);
    };
    TForm5 form5;
    form.AttachForms(nullptr, nullptr, nullptr, &form5, nullptr);
    form.MenuPosClick();
    QCOMPARE(form.Position.ImageOffsetX, -10);
    QCOMPARE(form.Position.ImageOffsetY, -20);

    const std::string white = TempFile(dir_, "white.bmp");
    belmora::test::BmpRecipe recipe;
    recipe.Width = 320;
    recipe.Height = 240;
    recipe.Pixel = [](int, int) { return 0xFFFFFFu; };
    belmora::test::WriteBmp(white, recipe);
    const auto before = belmora::test::ReadFileBytes(path.toStdString());
    chosen = QString::fromStdString(white);
    // "Qualidade máxima" is ticked at first (the best encoder by default);
    // unticked, the exact arithmetic.
    QVERIFY(form.OpenBmpDlg.Option);
    form.OpenBmpDlg.Option = false;
    form.MenuBmpIClick();
    QVERIFY(f.boxes.Boxes.empty());
    QVERIFY(belmora::test::ReadFileBytes(path.toStdString()) != before);
    const QImage picture = CodecPicture(form);
    QVERIFY(qGray(picture.pixel(100, 100)) > 200);  // inside the placed picture
    QVERIFY(qGray(picture.pixel(2, 2)) < 60);       // left of and above it: black
    QCOMPARE(PictureDifferences(GrabClient(form), picture, 1), 0);

    // The same picture through the best-quality encoder ("Qualidade
    // máxima" ticked in the open dialog) makes other bytes.
    QCOMPARE(form.OpenBmpDlg.OptionCaption, QString("Qualidade máxima"));
    const auto exact = belmora::test::ReadFileBytes(path.toStdString());
    form.OpenBmpDlg.Option = true;
    form.MenuBmpIClick();
    QVERIFY(f.boxes.Boxes.empty());
    QVERIFY(belmora::test::ReadFileBytes(path.toStdString()) != exact);
    QVERIFY(qGray(CodecPicture(form).pixel(100, 100)) > 200);
    QVERIFY(form.Codec().Encoder == belmora::EncoderChoice::kExact);  // for the next run
    form.OpenBmpDlg.Option = false;
    form.MenuBmpIClick();
    QVERIFY(belmora::test::ReadFileBytes(path.toStdString()) == exact);

    // A file that is no BMP: its name and the reader's reason, the frame as it was.
    chosen = path;
    form.MenuBmpIClick();
    QVERIFY2(f.boxes.Texts().value(0) ==
                 QString("オープンできません。 %1 (%1 が読み取れません (BMP形式ではありません。))")
                     .arg(path),
             qPrintable(f.boxes.Texts().join('|')));
    QCOMPARE(CodecPicture(form), picture);

    // A file that cannot be created.
    f.boxes.Boxes.clear();
    chosen = "/nonexistent-dir/x.bmp";
    form.MenuBmpOClick();
    QCOMPARE(f.boxes.Texts(), QStringList({"ファイルがオープンできません。"}));
  }

  // The conversion commands call what the conversion windows supply.
  void ConversionCommandsAreHooks() {
    OpenForm f(WriteMovie(dir_, PictureMovie(3), "hooks.str"));
    QStringList called;
    f.form.Conversions.NewStr = [&](TForm1&) { called << "new"; };
    f.form.Conversions.StrToAvi = [&](TForm1&) { called << "out"; };
    f.form.Conversions.AviToStr = [&](TForm1&) { called << "in"; };
    f.form.MenuNew->trigger();
    f.form.MenuAviO->trigger();
    f.form.MenuAviI->trigger();
    QCOMPARE(called, QStringList({"new", "out", "in"}));
    f.form.Conversions = {};
    f.form.MenuAviO->trigger();  // nothing supplied: nothing happens
  }
};

int RunMainWindowTest(int argc, char** argv) {
  MainWindowTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "main_window_test.moc"
