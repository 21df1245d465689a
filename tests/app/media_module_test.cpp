// Without the media module the application says what is missing, in its
// ordinary message box, and goes on: the window stays open and usable, the
// open file is unchanged, nothing is written.
#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "app/conversion_forms.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "platform/media_module.h"
#include "str/journal.h"
#include "tests/app/app_test_support.h"
#include "tests/support/run.h"

namespace belmora::app::test {

namespace fs = std::filesystem;

class MediaModuleTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_, empty_;

 private slots:
  void initTestCase() {
    SetMediaModuleDirectory(empty_.path().toStdString());
    if (MediaModuleProblem().empty()) QSKIP("the media module was loaded before this suite");
  }

  // STR to AVI (its compressor chooser, then Iniciar) and AVI to STR from
  // the menu: each shows the message naming the module and leaves the
  // window as it was.
  void ConversionsSayWhatIsMissing() {
    const QString str = WriteMovie(dir_, PictureMovie(6), "movie.str");
    const auto before = belmora::test::ReadFileBytes(str.toStdString());
    Shell shell{QStringList{"belmora"}};
    TForm1& main = shell.Form1();
    BoxLog boxes;
    boxes.Attach(main);
    QStringList modals;
    const std::string avi = TempFile(dir_, "out.avi");
    main.RunModal = [&](QDialog& d) {
      modals << d.objectName();
      auto* form = dynamic_cast<TConvAviForm*>(&d);
      if (!form) return int(QDialog::Rejected);
      form->show();
      form->NameEdit->setText(QString::fromStdString(avi));
      QTest::mouseClick(form->CompSelButton, Qt::LeftButton);
      QTest::mouseClick(form->StartButton, Qt::LeftButton);
      return form->result();
    };
    const QString video = QString::fromStdString(TempFile(dir_, "in.avi"));
    belmora::test::WriteFileBytes(video.toStdString(), std::vector<uint8_t>(64, 1));
    main.RunFileDialog = [&](FileDialog& d, QWidget*) {
      d.FileName = video;
      return true;
    };
    main.show();
    QCOMPARE(main.OpenDocument(str), 0);

    main.MenuAviO->trigger();
    QCOMPARE(modals, QStringList({"ConvAviForm"}));  // no chooser: the message instead
    QCOMPARE(boxes.Boxes.size(), size_t(2));         // the chooser's button, then Iniciar
    for (const BoxRequest& box : boxes.Boxes)
      QVERIFY2(box.Text.contains("belmora-media.so"), qPrintable(box.Text));
    QVERIFY(!fs::exists(avi));

    boxes.Boxes.clear();
    main.MenuAviI->trigger();
    QCOMPARE(boxes.Boxes.size(), size_t(1));
    QVERIFY2(boxes.Boxes[0].Text.contains("belmora-media.so"), qPrintable(boxes.Boxes[0].Text));

    QVERIFY(main.isVisible() && main.isEnabled());
    QVERIFY(main.DocumentOpen && main.Document().IsOpen());
    QVERIFY(!fs::exists(JournalPath(str.toStdString())));
    QCOMPARE(belmora::test::ReadFileBytes(str.toStdString()), before);
  }
};

int RunMediaModuleTest(int argc, char** argv) {
  MediaModuleTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "media_module_test.moc"
