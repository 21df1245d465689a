// The fit report of a simulated or about-to-run encoding: a table of every
// frame (sorted by any column), a plot of each frame's PSNR, the worst
// frames marked; a click on the plot shows that frame in the viewer and its
// row in the table, a double click on a row or on the plot shows it now and
// after. Frames are numbered as the viewer's status line numbers them.
#pragma once

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <functional>
#include <set>

#include "convert/fit_report.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace belmora::app {

// The PSNR of every re-encoded frame as a chart over the frame numbers,
// worst frames in red; frames kept as they were have no loss to show and
// are marked in green along the top. The wheel, a drag (rubber band) and
// +/- zoom along the frames, a middle-button or Shift drag and the arrow
// keys pan, 0 shows them all; however many frames there are, each pixel
// column draws the lowest and highest PSNR of the frames it covers.
// Hovering tells a frame's values, a click jumps to it, a double-click
// previews it. Frames are given by their index in the report (from 0).
class PsnrPlot : public QChartView {
 public:
  explicit PsnrPlot(QWidget* parent = nullptr);
  // `firstNumber` is the number shown for the report's first frame.
  void SetReport(const FitReport* report, const std::set<int>* worst, int64_t firstNumber = 1);
  // The frame index under x of the view (nearest), -1 without frames.
  int FrameAt(int x) const;
  // The x of the view where frame `index` is drawn.
  int XOf(double index) const;
  // Frames shown, as a range of indexes.
  double VisibleFirst() const;
  double VisibleLast() const;
  void ShowFrames(double first, double last);
  // Points in the PSNR line now (at most two per pixel column).
  int LinePoints() const;
  const QLineSeries* Line() const { return line_; }
  // The hover text for frame `index`.
  QString FrameText(int index) const;
  std::function<void(int index)> FrameClicked;
  std::function<void(int index)> FrameDoubleClicked;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool viewportEvent(QEvent* e) override;

 private:
  void Rebuild();
  void RebuildLine(int first, int last, int columns);
  void RebuildMarks(int first, int last, int columns);

  const FitReport* report_ = nullptr;
  int64_t firstNumber_ = 1;
  const std::set<int>* worst_ = nullptr;
  QLineSeries* line_;
  QScatterSeries* marks_;  // the worst frames
  QScatterSeries* kept_;   // frames left as they were, along the top
  QValueAxis* x_;
  QValueAxis* y_;
  QPoint pressed_;
  bool panning_ = false;
  bool rebuilding_ = false;
};

class FitReportWindow : public QDialog {
 public:
  // With `confirm`, OK goes on with the run and Cancelar stops it; without,
  // the window only shows the report (Fechar). `firstNumber` is the number
  // of the report's first frame among the movie's frames (from 1).
  FitReportWindow(const FitReport& report, bool confirm, QWidget* parent = nullptr,
                  int64_t firstNumber = 1);

  // The indexes of the worst frames: the lowest PSNR among the re-encoded
  // frames, one in twenty of them (at least one).
  static std::set<int> WorstFrames(const FitReport& report);

  // Called with a frame's first sector when a point is clicked or a row or
  // a point double-clicked: the viewer shows that frame.
  std::function<void(int32_t sector)> FrameChosen;
  // The frame at a first sector as it is now and as it will be after the
  // encoding (the trial's picture); set, a double-click shows both side by
  // side.
  std::function<bool(int32_t sector, QImage& now, QImage& after)> FramePictures;
  // The side-by-side window of the last double-click (null before one).
  QDialog* Preview = nullptr;

  QLabel* SummaryLabel;
  PsnrPlot* Plot;
  QLabel* PlotHint;  // how to zoom and pan
  QTableWidget* Table;
  QPushButton* OkButton;
  QPushButton* CancelButton;  // null without `confirm`

  // The table's row of the report's frame `index` (sorting moves rows).
  int RowOf(int index) const;

 private:
  void FillTable();
  // The frame at report index `index`: shown in the viewer, its row
  // selected and scrolled to.
  void Choose(int index);
  void ShowPreview(int index);

  FitReport report_;
  int64_t firstNumber_;
  std::set<int> worst_;
};

}  // namespace belmora::app
