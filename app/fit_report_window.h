// The fit report of a simulated or about-to-run encoding: a table of every
// frame, a plot of each frame's PSNR, the worst frames marked; a double
// click on a row or on the plot shows that frame in the viewer.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <set>

#include "convert/fit_report.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace belmora::app {

// The PSNR of every frame as a line over the frame index, worst frames in red.
class PsnrPlot : public QWidget {
 public:
  explicit PsnrPlot(QWidget* parent = nullptr);
  void SetReport(const FitReport* report, const std::set<int>* worst);
  // The frame index under x (nearest), -1 without frames.
  int FrameAt(int x) const;
  std::function<void(int index)> FrameDoubleClicked;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  const FitReport* report_ = nullptr;
  const std::set<int>* worst_ = nullptr;
};

class FitReportWindow : public QDialog {
 public:
  // With `confirm`, OK goes on with the run and Cancelar stops it; without,
  // the window only shows the report (Fechar).
  FitReportWindow(const FitReport& report, bool confirm, QWidget* parent = nullptr);

  // The indexes of the worst frames: the lowest PSNR among the re-encoded
  // frames, one in twenty of them (at least one).
  static std::set<int> WorstFrames(const FitReport& report);

  // Called with a frame's first sector when a row or a point is double-clicked.
  std::function<void(int32_t sector)> FrameChosen;

  QLabel* SummaryLabel;
  PsnrPlot* Plot;
  QTableWidget* Table;
  QPushButton* OkButton;
  QPushButton* CancelButton;  // null without `confirm`

 private:
  void Choose(int index);

  FitReport report_;
  std::set<int> worst_;
};

}  // namespace belmora::app
