#include "tests/app/app_test_support.h"

#include <QStringList>
#include <random>

#include "app/main_window.h"
#include "str/sector.h"
#include "tests/support/mdec_builder.h"

namespace belmora::app::test {

using belmora::test::MovieRecipe;

MovieRecipe PictureMovie(int frames) {
  MovieRecipe m;
  m.Frames = frames;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  m.Interleave = 8;
  m.AudioPhase = 7;
  auto random = std::make_shared<std::mt19937>(7);
  m.Bitstream = [random](int frame) {
    return belmora::test::EncodeLevels(belmora::test::RandomLevels(320, 240, *random),
                                       2 + frame % 2, 2);
  };
  return m;
}

MovieRecipe PlainMovie(int frames) {
  MovieRecipe m;
  m.Frames = frames;
  m.ChunkPattern = {10};
  m.Bitstream = [](int) { return belmora::test::FlatBitstream(320, 240); };
  return m;
}

std::string TempFile(const QTemporaryDir& dir, const std::string& name) {
  return dir.filePath(QString::fromStdString(name)).toStdString();
}

QString WriteMovie(const QTemporaryDir& dir, const MovieRecipe& recipe, const std::string& name) {
  const std::string path = TempFile(dir, name);
  belmora::test::BuildMovie(recipe).Write(path);
  return QString::fromStdString(path);
}

void BoxLog::Attach(TForm1& form) {
  form.Ui().Boxes = [this](const BoxRequest& request, QWidget*) {
    Boxes.push_back(request);
    return Answerer ? Answerer(request) : Answer;
  };
}

QStringList BoxLog::Texts() const {
  QStringList texts;
  for (const BoxRequest& b : Boxes) texts << b.Text;
  return texts;
}

QImage GrabClient(TForm1& form) {
  return form.Client()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage CodecPicture(TForm1& form) {
  const FrameView v = form.Codec().View();
  return QImage(v.Pixels, v.Width, v.Height, v.Stride, QImage::Format_BGR888)
      .convertToFormat(QImage::Format_RGB32);
}

}  // namespace belmora::app::test
