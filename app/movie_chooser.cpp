#include "app/movie_chooser.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_language.h"
#include "app/form_widgets.h"
#include "base/messages.h"
#include "str/sector.h"

namespace belmora::app {

namespace {

// "1:05" for the time the movie's sectors take to play.
QString Duration(const Movie& m, int speedFactor) {
  const int32_t sectors = m.LastSector - m.FirstSector + 1;
  const int seconds = sectors / (kSectorsPerSecond * std::max(speedFactor, 1));
  return QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

QString Damaged(const Movie& m) {
  QStringList frames;
  for (const MovieFrame& f : m.DamagedFrames())
    frames << QString("%1 (%2/%3)").arg(f.FrameNumber).arg(int(f.ChunksPresent)).arg(int(f.ChunkCount));
  return frames.isEmpty() ? T(msg::kNoDamagedFrames) : frames.join(", ");
}

}  // namespace

TMovieChooser::TMovieChooser(const QString& file, const std::vector<Movie>& movies,
                             int speedFactor, int current, QWidget* parent,
                             const QString& layout)
    : QDialog(parent) {
  setObjectName("MovieChooser");
  setWindowTitle(T(msg::kMovieChooserTitle));
  auto* box = new QVBoxLayout(this);
  auto* label = new QLabel(QFileInfo(file).fileName(), this);
  label->setObjectName("FileLabel");
  box->addWidget(label);

  MovieList = new QTreeWidget(this);
  MovieList->setObjectName("MovieList");
  QStringList columns;
  for (const char* c : {msg::kMovieWord, msg::kChannelWord, msg::kSizeWord, msg::kFramesGroup,
                        msg::kDurationWord, msg::kDamagedFramesWord, msg::kFormatLabel})
    columns << T(c);
  MovieList->setHeaderLabels(columns);
  MovieList->setRootIsDecorated(false);
  MovieList->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const Movie& m : movies) {
    auto* row = new QTreeWidgetItem(MovieList);
    row->setText(0, QString::number(m.Index));
    row->setText(1, QString::number(m.Channel));
    row->setText(2, QString("%1 x %2").arg(m.Width).arg(m.Height));
    row->setText(3, QString::number(m.Frames.size()));
    row->setText(4, Duration(m, speedFactor));
    row->setText(5, Damaged(m));
    row->setText(6, layout);
    for (int c = 0; c < 5; c++) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }
  AddListAndButtons(this, box, MovieList, 7, current, OKButton, CancelButton);
  OKButton->setDefault(true);
}

int TMovieChooser::Chosen() const {
  const auto selected = MovieList->selectedItems();
  return selected.isEmpty() ? -1 : MovieList->indexOfTopLevelItem(selected.first());
}

int ChooseMovie(const QString& file, const std::vector<Movie>& movies, int speedFactor,
                int current, QWidget* parent, const std::function<int(QDialog&)>& runModal,
                const QString& layout) {
  TMovieChooser chooser(file, movies, speedFactor, current, parent, layout);
  const int result = runModal ? runModal(chooser) : chooser.exec();
  return result == QDialog::Accepted ? chooser.Chosen() : -1;
}

}  // namespace belmora::app
