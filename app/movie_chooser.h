// "Filmes do arquivo": the movies of an STR file that holds several (on
// different channels, one after another, or of different sizes), listed for
// the user to pick the one the viewer shows.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "str/movies.h"

class QPushButton;
class QTreeWidget;

namespace belmora::app {

class TMovieChooser : public QDialog {
  Q_OBJECT
 public:
  // `speedFactor` turns sectors into time; `current` is selected first;
  // `layout` names the file's layout (the same for every movie of it).
  TMovieChooser(const QString& file, const std::vector<Movie>& movies, int speedFactor,
                int current, QWidget* parent = nullptr, const QString& layout = QString());

  // Columns: movie, channel, size, frames, duration, damaged frames, layout.
  QTreeWidget* MovieList;
  QPushButton* OKButton;
  QPushButton* CancelButton;

  // The movie chosen, from 0; -1 when none is.
  int Chosen() const;
};

// Lets the user pick one of `movies` through `runModal`: its index from 0,
// or -1 when the user cancelled.
int ChooseMovie(const QString& file, const std::vector<Movie>& movies, int speedFactor,
                int current, QWidget* parent, const std::function<int(QDialog&)>& runModal,
                const QString& layout = QString());

}  // namespace belmora::app
