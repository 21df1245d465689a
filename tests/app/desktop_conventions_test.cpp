// What users expect of a desktop program: the usual keys, shown in the
// menus; the files opened last, the folders and the window's place kept
// between runs; a status line that tells where one is; a "done" notice
// after long work; and a file of sound only or a set image position that
// the windows make plain.
#include <QtTest>
#include <QtWidgets>
#include <QAudioDevice>
#include <QMediaDevices>
#include <filesystem>

#include "app/conversion_forms.h"
#include "app/main_window.h"
#include "app/position_form.h"
#include "app/settings.h"
#include "tests/app/app_test_support.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/run.h"
#include "tests/support/xa_builder.h"

namespace belmora::app::test {

class DesktopConventionsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void init() {
    // Each case starts with nothing remembered.
    OpenSettings()->clear();
  }

  // Every listed key does its command; each is shown beside its entry,
  // and the menus open with Alt and their underlined letter.
  void ShortcutsWorkAndShow() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QStringList ran;
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      ran << (&d == &form.OpenStrDlg ? "open" : &d == &form.SaveBmpDlg ? "save-bmp" : "other");
      return false;
    };
    form.Conversions.StrToAvi = [&](TForm1&) { ran << "export"; };
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(4), "keys.str")) == 0);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    struct Row {
      QAction* action;
      QKeySequence keys;
      const char* ran;
    };
    const Row rows[] = {
        {form.MenuOpen, QKeySequence(Qt::CTRL | Qt::Key_O), "open"},
        {form.MenuBmpO, QKeySequence(Qt::CTRL | Qt::Key_S), "save-bmp"},
        {form.MenuAviO, QKeySequence(Qt::CTRL | Qt::Key_E), "export"},
        {form.MenuHelpKeys, QKeySequence(Qt::Key_F1), nullptr},
    };
    for (const Row& row : rows) {
      QCOMPARE(row.action->shortcut(), row.keys);
      ran.clear();
      boxes.Boxes.clear();
      QTest::keySequence(&form, row.keys);
      if (row.ran) {
        QCOMPARE(ran, QStringList{row.ran});
      } else {
        QCOMPARE(boxes.Boxes.size(), size_t(1));
        QCOMPARE(boxes.Boxes[0].Caption, QString("Ajuda"));
        QVERIFY(boxes.Boxes[0].Text.contains("Ctrl+O") && boxes.Boxes[0].Text.contains("PgUp"));
      }
    }
    for (auto [menu, title] : {std::pair{form.MenuFile, "&Arquivo"}, {form.MenuConv, "&Converter"},
                               {form.MenuConf, "&Visualizar"}, {form.MenuHelp, "Aj&uda"}})
      QCOMPARE(menu->title(), QString(title));
    QCOMPARE(form.MenuExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QTest::keySequence(&form, QKeySequence(Qt::CTRL | Qt::Key_Q));
    QTRY_VERIFY(!form.isVisible());
  }

  // The last ten files opened, newest first, in "Arquivo"; each entry opens
  // its file. Each file dialog starts where it was last confirmed; the
  // window comes back where and as large as it was.
  void RemembersBetweenRuns() {
    QStringList movies;
    for (int i = 0; i < 12; i++)
      movies << WriteMovie(dir_, PictureMovie(2), "recent" + std::to_string(i) + ".str");
    {
      TForm1 form;
      for (const QString& m : movies) QCOMPARE(form.OpenDocument(m), 0);
      form.resize(520, 470);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.close();
    }
    TForm1 again;
    again.RestoreSettings();
    QCOMPARE(again.size(), QSize(520, 470));
    const QStringList recent = RecentFiles();
    QCOMPARE(recent.size(), 10);
    QCOMPARE(recent.first(), QFileInfo(movies.last()).absoluteFilePath());
    QCOMPARE(recent.last(), QFileInfo(movies[2]).absoluteFilePath());
    emit again.MenuRecent->aboutToShow();
    const QList<QAction*> entries = again.MenuRecent->actions();
    QCOMPARE(entries.size(), 10);
    QCOMPARE(entries[1]->text(), QString("&2 recent10.str"));
    entries[1]->trigger();
    QVERIFY(again.DocumentOpen);
    QVERIFY(again.windowTitle().endsWith("recent10.str"));

    QStringList folders;
    again.RunFileDialog = [&](FileDialog& d, QWidget*) {
      folders << d.Folder;
      d.FileName = movies[3];
      return true;
    };
    again.MenuOpenClick();
    again.MenuOpenClick();
    QCOMPARE(folders.size(), 2);
    QCOMPARE(folders[1], QFileInfo(movies[3]).absolutePath());
    QCOMPARE(LastFolder("OpenStr"), QFileInfo(movies[3]).absolutePath());
  }

  // The status line: time code, frame i of n, picture size, MDEC version
  // and quantizer scale of the frame shown; nothing without a movie.
  void StatusLineTellsWhereOneIs() {
    TForm1 form;
    QCOMPARE(form.StatusLabel->text(), QString());
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(20), "status.str")) == 0);
    const QString first = form.StatusLabel->text();
    QVERIFY2(QRegularExpression("^0:00\\.00   quadro 1/20   320x240   v[23]   q[0-9]+   "
                                "STR \\(MDEC v2/v3\\)$")
                 .match(first)
                 .hasMatch(),
             qPrintable(first));
    for (int i = 0; i < 15; i++) form.NextButtonClick();
    // Frame 16 starts at sector 150: one second at double speed.
    QVERIFY2(form.StatusLabel->text().startsWith("0:01.00   quadro 16/20   320x240"),
             qPrintable(form.StatusLabel->text()));
    form.CloseDocument();
    QCOMPARE(form.StatusLabel->text(), QString());
    QCOMPARE(form.Label1->text(), QString("Quadros : 000000"));
  }

  // A game's frames give their version and scale where their own header
  // keeps them: behind Final Fantasy VII's camera data, in Lain's header;
  // an iki frame, whose blocks each carry a scale, gives neither.
  void StatusLineReadsEachGamesFrameHeader() {
    struct Case {
      GameFormat Format;
      bool Camera;
      const char* Coding;  // what follows the picture size
    };
    const Case cases[] = {
        {GameFormat::kVersion1, false, "   v1   q([1-9]|[1-5][0-9]|6[0-3])"},
        {GameFormat::kFf7, true, "   v1   q([1-9]|[1-5][0-9]|6[0-3])"},
        {GameFormat::kLain, false, "   v0   q([1-9]|[1-5][0-9]|6[0-3])"},
        {GameFormat::kIki, false, ""},
    };
    for (const Case& c : cases) {
      const std::string path =
          QDir(dir_.path()).filePath(QString("status-%1.str").arg(int(c.Format))).toStdString();
      (void)belmora::test::WriteGameMovie({c.Format, 4, 160, 112, 3, c.Camera}, path);
      TForm1 form;
      QVERIFY(form.OpenDocument(QString::fromStdString(path)) == 0);
      for (int frame = 1; frame <= 2; frame++) {
        const QString line = form.StatusLabel->text();
        const QString pattern = QString("^0:00\\.[0-9]{2}   quadro %1/4   160x112%2   %3$")
                                    .arg(frame)
                                    .arg(c.Coding)
                                    .arg(QRegularExpression::escape(InfoOf(c.Format).Name));
        QVERIFY2(QRegularExpression(pattern).match(line).hasMatch(),
                 qPrintable(QString("%1: %2").arg(InfoOf(c.Format).Name, line)));
        form.NextButtonClick();
      }
    }
  }

  // After long work the status line says "done" with the output's name and
  // offers its folder; a window in the background also has the desktop say
  // it. Saving a frame offers MOVIE_000123.bmp in the movie's folder.
  void DoneNoticeAndSuggestedNames() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    const QString movie = WriteMovie(dir_, PictureMovie(4), "notice.str");
    QVERIFY(form.OpenDocument(movie) == 0);
    form.NextButtonClick();
    QString offered, folder;
    form.RunFileDialog = [&](FileDialog& d, QWidget*) {
      offered = d.FileName;
      folder = d.Folder;
      d.FileName = QDir(dir_.path()).filePath("saved.bmp");
      return true;
    };
    QStringList opened;
    form.OpenFolder = [&](const QString& f) { opened << f; };
    form.MenuBmpOClick();
    QCOMPARE(offered, QString("notice_000002.bmp"));
    QCOMPARE(folder, QFileInfo(movie).absolutePath());
    QVERIFY(boxes.Boxes.empty());
    QCOMPARE(form.NoticeLabel->text(), QString("完了しました: saved.bmp"));
    QVERIFY(form.NoticeLabel->isVisibleTo(&form) && form.OpenFolderButton->isVisibleTo(&form));
    form.OpenFolderButton->click();
    QCOMPARE(opened, QStringList{QDir(dir_.path()).absolutePath()});
    // Not the active window: the desktop is asked to tell the user too.
    QVERIFY(!form.isActiveWindow());
    QCOMPARE(form.LastNotification, QString("完了しました: saved.bmp"));
    // The notice stands beside the frame's line, which stays in view; it
    // goes when another file is opened.
    QVERIFY(form.StatusLabel->isVisibleTo(&form));
    QVERIFY(form.StatusLabel->text().startsWith("0:00.06   quadro 2/4"));
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(3), "another.str")) == 0);
    QVERIFY(!form.NoticeLabel->isVisibleTo(&form) && !form.OpenFolderButton->isVisibleTo(&form));
    QVERIFY(form.StatusLabel->text().startsWith("0:00.00   quadro 1/3"));
  }

  // A picture dropped on the movie goes into the frame shown; the status
  // line then tells the frame's new coding, not the one it had.
  void StatusLineAfterADroppedPicture() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    boxes.Answer = QMessageBox::Yes;
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(3), "drop-status.str")) == 0);
    const QString before = form.StatusLabel->text();
    const std::string bmp = TempFile(dir_, "flat.bmp");
    belmora::test::BmpRecipe picture;
    picture.Width = 320;
    picture.Height = 240;
    picture.Pixel = [](int, int) { return 0x808080u; };
    belmora::test::WriteBmp(bmp, picture);
    form.DroppedFile(QString::fromStdString(bmp));
    QCOMPARE(boxes.Boxes.size(), size_t(1));  // the question only
    QVERIFY(form.StatusLabel->text() != before);
    QCOMPARE(form.StatusLabel->text(), form.StatusText());
  }

  // A file of sound only: named in the title, only its channels' commands
  // enabled; playing a channel without a sound device says so.
  void SoundOnlyFile() {
    belmora::test::XaFileRecipe recipe;
    recipe.Channels = {{0, 0x01, 6, {}, {}}, {1, 0x05, 6, {}, {}}};
    const std::string path = TempFile(dir_, "voices.xa");
    belmora::test::WriteFileBytes(path, belmora::test::BuildXaFile(recipe));
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QCOMPARE(form.OpenDocument(QString::fromStdString(path)), -1);
    QCOMPARE(form.windowTitle(), QString("Belmora v2 - Tavish - voices.xa"));
    QVERIFY(form.MenuConv->menuAction()->isEnabled());
    for (QAction* a : {form.MenuAviO, form.MenuAviI, form.MenuBmpO, form.MenuBmpI, form.MenuSubs})
      QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
    QVERIFY(form.MenuSaveChannel->isEnabled() && form.MenuPlayChannel->isEnabled());
    QVERIFY(boxes.Boxes.empty());
    if (!QMediaDevices::defaultAudioOutput().isNull()) QSKIP("a sound device is present");
    QTimer::singleShot(0, [] {
      if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) d->accept();
    });
    form.MenuPlayChannel->trigger();
    QCOMPARE(boxes.Texts(), QStringList{"音声を再生できるデバイスがありません。"});
    // A movie afterwards has every command back.
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(2), "after.str")) == 0);
    QVERIFY(form.MenuAviO->isEnabled() && form.MenuBmpI->isEnabled());
    QCOMPARE(form.windowTitle(), QString("Belmora v2 - Tavish - after.str"));
  }

  // The image position: "Selecionar" opens ready for typing; the position
  // in effect is shown in "Configurações"; another file starts from 0, 0.
  void ImagePositionShownAndReset() {
    TForm1 form;
    TForm5 form5;
    form.AttachForms(nullptr, nullptr, nullptr, &form5, nullptr);
    const QString first = WriteMovie(dir_, PictureMovie(2), "first.str");
    QVERIFY(form.OpenDocument(first) == 0);
    form.RunModal = [](QDialog& d) {
      auto& f5 = dynamic_cast<TForm5&>(d);
      f5.show();
      [&] { QCOMPARE(f5.focusWidget(), static_cast<QWidget*>(f5.Edit1)); }();
      f5.Edit1->setText("10");
      f5.Edit2->setText("20");
      f5.Button1Click();
      return f5.result();
    };
    form.MenuPosClick();
    QCOMPARE(form.Position.ImageOffsetX, -10);
    QCOMPARE(form.Position.ImageOffsetY, -20);
    TForm2 form2;
    form2.ShowPosition(form.Position);
    QCOMPARE(form2.PositionLabel->text(), QString("Posição da imagem: De 10, Até 20"));
    // The same file again keeps it; another file starts from 0, 0.
    QVERIFY(form.OpenDocument(first) == 0);
    QCOMPARE(form.Position.ImageOffsetX, -10);
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(2), "second.str")) == 0);
    QCOMPARE(form.Position.ImageOffsetX, 0);
    QCOMPARE(form.Position.ImageOffsetY, 0);
  }

  // The window never gets too small for its bar and panel; the label stops
  // short of the buttons; a compressor's long name fits its button; a
  // value "Configurações" cannot take keeps it open with the field marked
  // and everything else as typed.
  void SmallerThings() {
    TForm1 form;
    BoxLog boxes;
    boxes.Attach(form);
    QVERIFY(form.OpenDocument(WriteMovie(dir_, PictureMovie(3), "small.str")) == 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(50, 50);
    QVERIFY(form.height() >= form.minimumHeight() && form.minimumHeight() > 100);
    QVERIFY(form.Client()->height() >= form.Bar->height() + 29);
    QVERIFY(form.Label1->geometry().right() < form.PrevButton->x());

    TConvAviForm conv;
    conv.Model.CompSelCaption = "FFV1 (lossless)";
    conv.Prepare(form.Document(), false, form.Ui());
    conv.show();
    QCOMPARE(conv.CompSelButton->text(), QString("FFV1 (lossless)"));
    QVERIFY(QFontMetrics(conv.CompSelButton->font()).horizontalAdvance("FFV1 (lossless)") <=
            conv.CompSelButton->width() - 6);

    TForm2 settings;
    settings.Prepare(form.Document(), {false, 15, 15, true}, form.Ui(), {});
    settings.show();
    settings.SectorChk->setChecked(true);
    settings.SectorChkClick();
    settings.FPSEdit->setText("quinze");
    settings.SizeWEdit->setText("256");
    boxes.Boxes.clear();
    settings.Button1Click();
    QVERIFY(settings.isVisible());
    QCOMPARE(settings.result(), 0);
    QCOMPARE(boxes.Boxes.size(), size_t(1));
    QVERIFY(!settings.FPSEdit->styleSheet().isEmpty());
    QCOMPARE(settings.focusWidget(), static_cast<QWidget*>(settings.FPSEdit));
    QCOMPARE(settings.SizeWEdit->text(), QString("256"));
    QVERIFY(settings.SectorChk->isChecked());
    settings.FPSEdit->setText("15");
    settings.Button1Click();
    QCOMPARE(settings.result(), int(QDialog::Accepted));
    QVERIFY(settings.FPSEdit->styleSheet().isEmpty());
  }
};

int RunDesktopConventionsTest(int argc, char** argv) {
  DesktopConventionsTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "desktop_conventions_test.moc"
