#include "app/fit_report_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPixmap>
#include <QToolTip>
#include <QWheelEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/app_language.h"
#include "base/messages.h"

namespace belmora::app {

namespace {

// The top of the PSNR scale; kept frames are marked there.
constexpr double kTopPsnr = 60;
// Where a cell keeps its number for sorting, and the first cell of a row
// the frame's index in the report.
constexpr int kSortKey = Qt::UserRole + 1;
constexpr int kIndexRole = Qt::UserRole;

// A cell that sorts by its number, not by its text.
class NumberItem : public QTableWidgetItem {
 public:
  NumberItem(const QString& text, double key) : QTableWidgetItem(text) { setData(kSortKey, key); }
  bool operator<(const QTableWidgetItem& other) const override {
    return data(kSortKey).toDouble() < other.data(kSortKey).toDouble();
  }
};

}  // namespace

PsnrPlot::PsnrPlot(QWidget* parent) : QChartView(parent) {
  setObjectName("PsnrPlot");
  setMinimumSize(480, 180);
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::HorizontalRubberBand);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  auto* c = new QChart;
  c->legend()->hide();
  c->setMargins(QMargins(4, 4, 4, 4));
  c->setBackgroundRoundness(0);
  line_ = new QLineSeries(c);
  line_->setName("PSNR");
  kept_ = new QScatterSeries(c);
  kept_->setMarkerSize(5);
  kept_->setColor(QColor(60, 160, 60));
  kept_->setBorderColor(QColor(60, 160, 60));
  marks_ = new QScatterSeries(c);
  marks_->setMarkerSize(8);
  marks_->setColor(QColor(220, 40, 40));
  marks_->setBorderColor(QColor(220, 40, 40));
  for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(line_),
                                  static_cast<QAbstractSeries*>(kept_),
                                  static_cast<QAbstractSeries*>(marks_)})
    c->addSeries(series);
  x_ = new QValueAxis(c);
  x_->setLabelFormat("%d");
  x_->setTitleText(T(msg::kFitColumns[0]));
  y_ = new QValueAxis(c);
  y_->setLabelFormat("%d");
  y_->setTitleText("dB");
  c->addAxis(x_, Qt::AlignBottom);
  c->addAxis(y_, Qt::AlignLeft);
  for (QAbstractSeries* series : c->series()) {
    series->attachAxis(x_);
    series->attachAxis(y_);
  }
  setChart(c);
  // A new range of frames (zoom, pan, rubber band) is drawn afresh.
  connect(x_, &QValueAxis::rangeChanged, this, [this] {
    if (!rebuilding_) Rebuild();
  });
}

void PsnrPlot::SetReport(const FitReport* report, const std::set<int>* worst,
                         int64_t firstNumber) {
  report_ = report;
  worst_ = worst;
  firstNumber_ = firstNumber;
  const int n = report_ ? int(report_->Frames().size()) : 0;
  // The PSNR axis from 20 dB (or lower, if a re-encoded frame is) to 60 dB.
  double low = 20;
  if (report_)
    for (const auto& f : report_->Frames())
      if (!f.Kept) low = std::min(low, std::floor(f.Psnr / 5) * 5);
  y_->setRange(low, kTopPsnr);
  ShowFrames(0, std::max(n - 1, 1));
}

double PsnrPlot::VisibleFirst() const {
  return x_->min() - double(firstNumber_);
}

double PsnrPlot::VisibleLast() const {
  return x_->max() - double(firstNumber_);
}

void PsnrPlot::ShowFrames(double first, double last) {
  const int n = report_ ? int(report_->Frames().size()) : 0;
  const double end = std::max(n - 1, 1);
  // At least a few frames, and never past either end.
  const double span = std::clamp(last - first, std::min(8.0, end), end);
  first = std::clamp(first, 0.0, end - span);
  rebuilding_ = true;
  x_->setRange(first + double(firstNumber_), first + span + double(firstNumber_));
  rebuilding_ = false;
  Rebuild();
}

int PsnrPlot::LinePoints() const {
  return int(line_->count());
}

void PsnrPlot::Rebuild() {
  rebuilding_ = true;
  line_->clear();
  marks_->clear();
  kept_->clear();
  if (report_ && !report_->Frames().empty()) {
    const int n = int(report_->Frames().size());
    const int first = std::clamp(int(std::floor(VisibleFirst())), 0, n - 1);
    const int last = std::clamp(int(std::ceil(VisibleLast())), 0, n - 1);
    const int columns = std::max(1, int(chart()->plotArea().width()));
    RebuildLine(first, last, columns);
    RebuildMarks(first, last, columns);
  }
  rebuilding_ = false;
}

void PsnrPlot::RebuildLine(int first, int last, int columns) {
  // The re-encoded frames only: a kept frame lost nothing (its PSNR is the
  // top of the scale) and would make the line a comb.
  const auto& frames = report_->Frames();
  const double x0 = double(firstNumber_);
  QList<QPointF> points;
  const int count = last - first + 1;
  if (count <= 2 * columns) {
    for (int i = first; i <= last; i++)
      if (!frames[size_t(i)].Kept) points << QPointF(x0 + i, frames[size_t(i)].Psnr);
    line_->replace(points);
    return;
  }
  // More frames than pixels: each column's lowest and highest PSNR, so
  // that no bad frame is lost between two points.
  for (int c = 0; c < columns; c++) {
    const int a = first + int(int64_t(count) * c / columns);
    const int b = first + int(int64_t(count) * (c + 1) / columns) - 1;
    int lo = -1, hi = -1;
    for (int i = a; i <= b; i++) {
      if (frames[size_t(i)].Kept) continue;
      if (lo < 0 || frames[size_t(i)].Psnr < frames[size_t(lo)].Psnr) lo = i;
      if (hi < 0 || frames[size_t(i)].Psnr > frames[size_t(hi)].Psnr) hi = i;
    }
    if (lo < 0) continue;
    const int one = std::min(lo, hi), other = std::max(lo, hi);
    points << QPointF(x0 + one, frames[size_t(one)].Psnr);
    if (other != one) points << QPointF(x0 + other, frames[size_t(other)].Psnr);
  }
  line_->replace(points);
}

void PsnrPlot::RebuildMarks(int first, int last, int columns) {
  // The worst frames where they lie; the kept ones along the top, one mark
  // a pixel column where there are more frames than pixels.
  const auto& frames = report_->Frames();
  const double x0 = double(firstNumber_);
  const int count = last - first + 1;
  QList<QPointF> marks, kept;
  int lastColumn = -1;
  for (int i = first; i <= last; i++) {
    const FrameFit& f = frames[size_t(i)];
    if (worst_ && worst_->count(f.Index)) {
      marks << QPointF(x0 + i, f.Psnr);
    } else if (f.Kept) {
      const int column = int(int64_t(i - first) * columns / count);
      if (count <= 2 * columns || column != lastColumn) kept << QPointF(x0 + i, y_->max());
      lastColumn = column;
    }
  }
  marks_->replace(marks);
  kept_->replace(kept);
}

int PsnrPlot::FrameAt(int x) const {
  if (!report_ || report_->Frames().empty()) return -1;
  const int n = int(report_->Frames().size());
  const QPointF scene = mapToScene(QPoint(x, 0));
  const QPointF value = chart()->mapToValue(chart()->mapFromScene(scene), line_);
  return std::clamp(int(std::lround(value.x() - double(firstNumber_))), 0, n - 1);
}

int PsnrPlot::XOf(double index) const {
  const QPointF at =
      chart()->mapToPosition(QPointF(index + double(firstNumber_), y_->min()), line_);
  return mapFromScene(chart()->mapToScene(at)).x();
}

QString PsnrPlot::FrameText(int index) const {
  if (!report_ || index < 0 || index >= int(report_->Frames().size())) return {};
  const FrameFit& f = report_->Frames()[size_t(index)];
  return QString::fromUtf8(FormatMessage(msg::kFitPointText, int(firstNumber_ + index),
                                         int(f.FirstSector), f.Scale,
                                         f.Bytes, f.Capacity, f.Psnr,
                                         Tr(f.Kept ? msg::kKeptYes : msg::kKeptNo))
                               .c_str());
}

void PsnrPlot::mousePressEvent(QMouseEvent* e) {
  pressed_ = e->pos();
  panning_ = e->button() == Qt::MiddleButton ||
             (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier));
  if (panning_) {
    e->accept();
    return;
  }
  QChartView::mousePressEvent(e);
}

void PsnrPlot::mouseMoveEvent(QMouseEvent* e) {
  if (panning_) {
    const int dx = e->pos().x() - pressed_.x();
    pressed_ = e->pos();
    chart()->scroll(-dx, 0);
    e->accept();
    return;
  }
  // Hovering tells the values of the frame under the pointer.
  const int i = FrameAt(e->pos().x());
  if (i >= 0 && chart()->plotArea().contains(mapToScene(e->pos()))) {
    const QString text = FrameText(i);
    setToolTip(text);
    QToolTip::showText(e->globalPosition().toPoint(), text, this);
  }
  QChartView::mouseMoveEvent(e);
}

bool PsnrPlot::viewportEvent(QEvent* e) {
  // The pointer at rest asks for a tooltip: the frame's values stay shown
  // (the chart's items have no tooltip of their own, and the scene would
  // hide the one shown on hovering).
  if (e->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(e);
    const int i = FrameAt(help->pos().x());
    if (i >= 0 && chart()->plotArea().contains(mapToScene(help->pos())))
      QToolTip::showText(help->globalPos(), FrameText(i), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QChartView::viewportEvent(e);
}

void PsnrPlot::mouseReleaseEvent(QMouseEvent* e) {
  if (panning_) {
    panning_ = false;
    e->accept();
    return;
  }
  // A click (no drag) jumps to the frame; a drag was the rubber band's.
  const bool click = e->button() == Qt::LeftButton &&
                     (e->pos() - pressed_).manhattanLength() < QApplication::startDragDistance();
  if (e->button() == Qt::RightButton) {
    // Back out of a zoom, as the rubber band does, within the frames.
    ShowFrames(VisibleFirst() - (VisibleLast() - VisibleFirst()) / 2,
               VisibleLast() + (VisibleLast() - VisibleFirst()) / 2);
    e->accept();
    return;
  }
  QChartView::mouseReleaseEvent(e);
  if (click) {
    const int i = FrameAt(e->pos().x());
    if (i >= 0 && FrameClicked) FrameClicked(i);
  }
}

void PsnrPlot::mouseDoubleClickEvent(QMouseEvent* e) {
  const int i = FrameAt(e->pos().x());
  if (i >= 0 && FrameDoubleClicked) FrameDoubleClicked(i);
  e->accept();
}

void PsnrPlot::wheelEvent(QWheelEvent* e) {
  // Zooms around the frame under the pointer.
  const double at = FrameAt(int(e->position().x()));
  const double factor = e->angleDelta().y() > 0 ? 0.8 : 1.25;
  const double first = VisibleFirst(), last = VisibleLast();
  ShowFrames(at - (at - first) * factor, at + (last - at) * factor);
  e->accept();
}

void PsnrPlot::keyPressEvent(QKeyEvent* e) {
  const double first = VisibleFirst(), last = VisibleLast(), span = last - first;
  const int n = report_ ? int(report_->Frames().size()) : 0;
  switch (e->key()) {
    case Qt::Key_Left: ShowFrames(first - span / 4, last - span / 4); break;
    case Qt::Key_Right: ShowFrames(first + span / 4, last + span / 4); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: ShowFrames(first + span / 4, last - span / 4); break;
    case Qt::Key_Minus: ShowFrames(first - span / 2, last + span / 2); break;
    case Qt::Key_0:
    case Qt::Key_Home: ShowFrames(0, std::max(n - 1, 1)); break;
    default: QChartView::keyPressEvent(e); return;
  }
  e->accept();
}

void PsnrPlot::resizeEvent(QResizeEvent* e) {
  QChartView::resizeEvent(e);
  Rebuild();
}

std::set<int> FitReportWindow::WorstFrames(const FitReport& report) {
  std::vector<const FrameFit*> encoded;
  for (const auto& f : report.Frames())
    if (!f.Kept) encoded.push_back(&f);
  std::sort(encoded.begin(), encoded.end(),
            [](const FrameFit* a, const FrameFit* b) { return a->Psnr < b->Psnr; });
  std::set<int> worst;
  const size_t count = encoded.empty() ? 0 : std::max<size_t>(1, encoded.size() / 20);
  for (size_t i = 0; i < count; i++) worst.insert(encoded[i]->Index);
  return worst;
}

FitReportWindow::FitReportWindow(const FitReport& report, bool confirm, QWidget* parent,
                                 int64_t firstNumber)
    : QDialog(parent), report_(report), firstNumber_(firstNumber), worst_(WorstFrames(report)) {
  setObjectName("FitReportWindow");
  SetCaption(this, msg::kFitReportTitle);
  auto* layout = new QVBoxLayout(this);
  SummaryLabel = new QLabel(QString::fromStdString(report_.SummaryLine()), this);
  SummaryLabel->setObjectName("SummaryLabel");
  SummaryLabel->setWordWrap(true);
  layout->addWidget(SummaryLabel);
  Plot = new PsnrPlot(this);
  Plot->SetReport(&report_, &worst_, firstNumber_);
  Plot->FrameClicked = [this](int i) { Choose(i); };
  Plot->FrameDoubleClicked = [this](int i) {
    Choose(i);
    ShowPreview(i);
  };
  layout->addWidget(Plot, 1);
  PlotHint = new QLabel(this);
  PlotHint->setObjectName("PlotHint");
  PlotHint->setWordWrap(true);
  SetCaption(PlotHint, msg::kFitPlotHint);
  layout->addWidget(PlotHint);

  Table = new QTableWidget(int(report_.Frames().size()), 7, this);
  Table->setObjectName("Table");
  FillTable();
  connect(Table, &QTableWidget::cellDoubleClicked, this, [this](int r, int) {
    const int index = Table->item(r, 0)->data(kIndexRole).toInt();
    Choose(index);
    ShowPreview(index);
  });
  layout->addWidget(Table, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  OkButton = new QPushButton(this);
  SetCaption(OkButton, msg::kChooserOk);
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(OkButton);
  CancelButton = nullptr;
  if (confirm) {
    CancelButton = new QPushButton(this);
    SetCaption(CancelButton, msg::kCancelButton);
    CancelButton->setObjectName("CancelButton");
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(CancelButton);
  }
  layout->addLayout(buttons);
  resize(760, 620);
}

void FitReportWindow::FillTable() {
  QStringList headers;
  for (const char* h : msg::kFitColumns) headers << T(h);
  Table->setHorizontalHeaderLabels(headers);
  Table->verticalHeader()->hide();
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  const auto& frames = report_.Frames();
  for (int row = 0; row < int(frames.size()); row++) {
    const FrameFit& f = frames[size_t(row)];
    const int64_t number = firstNumber_ + row;
    const std::pair<QString, double> cells[7] = {
        {QString::number(number), double(number)},
        {QString::number(f.FirstSector), f.FirstSector},
        {QString::number(f.Capacity), f.Capacity},
        {QString::number(f.Scale), f.Scale},
        {QString::number(f.Bytes), f.Bytes},
        {QString::number(f.Psnr, 'f', 2), f.Psnr},
        {T(f.Kept ? msg::kKeptYes : msg::kKeptNo), f.Kept ? 1.0 : 0.0}};
    const bool bad = worst_.count(f.Index) > 0;
    for (int c = 0; c < 7; c++) {
      auto* item = new NumberItem(cells[c].first, cells[c].second);
      if (bad) item->setBackground(QColor(255, 200, 200));
      Table->setItem(row, c, item);
    }
    Table->item(row, 0)->setData(kIndexRole, row);
  }
  // Any column sorts; the frames' order first.
  Table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
  Table->setSortingEnabled(true);
  // Sized with the sort arrow in the headers (it hid the first letters of
  // "Quadro"), rows one line of text high, and the last column taking the
  // rest of the width.
  Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
  Table->resizeColumnsToContents();
  Table->horizontalHeader()->setStretchLastSection(true);
}

int FitReportWindow::RowOf(int index) const {
  for (int row = 0; row < Table->rowCount(); row++)
    if (Table->item(row, 0)->data(kIndexRole).toInt() == index) return row;
  return -1;
}

void FitReportWindow::ShowPreview(int index) {
  if (index < 0 || index >= int(report_.Frames().size()) || !FramePictures) return;
  const FrameFit& f = report_.Frames()[size_t(index)];
  QImage now, after;
  if (!FramePictures(f.FirstSector, now, after)) return;
  // One window, reused: the frame as it is, and as it will be.
  if (!Preview) {
    Preview = new QDialog(this);
    Preview->setObjectName("FramePreview");
    auto* row = new QHBoxLayout(Preview);
    for (const char* name : {"NowPicture", "AfterPicture"}) {
      auto* column = new QVBoxLayout;
      auto* caption = new QLabel(Preview);
      caption->setObjectName(QString(name) + "Caption");
      auto* picture = new QLabel(Preview);
      picture->setObjectName(name);
      column->addWidget(caption);
      column->addWidget(picture, 1);
      row->addLayout(column);
    }
  }
  Preview->setWindowTitle(QString::fromUtf8(
      FormatMessage(msg::kFramePreviewTitle, int(firstNumber_ + index)).c_str()));
  Preview->findChild<QLabel*>("NowPictureCaption")->setText(T(msg::kPreviewNow));
  Preview->findChild<QLabel*>("AfterPictureCaption")
      ->setText(QString::fromUtf8(FormatMessage(msg::kPreviewAfter, f.Scale, f.Psnr).c_str()));
  Preview->findChild<QLabel*>("NowPicture")->setPixmap(QPixmap::fromImage(now));
  Preview->findChild<QLabel*>("AfterPicture")->setPixmap(QPixmap::fromImage(after));
  Preview->adjustSize();
  Preview->show();
  Preview->raise();
}

void FitReportWindow::Choose(int index) {
  if (index < 0 || index >= int(report_.Frames().size())) return;
  if (const int row = RowOf(index); row >= 0) {
    Table->selectRow(row);
    Table->scrollToItem(Table->item(row, 0), QAbstractItemView::PositionAtCenter);
  }
  if (FrameChosen) FrameChosen(report_.Frames()[size_t(index)].FirstSector);
}

}  // namespace belmora::app
