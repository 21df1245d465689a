#include "app/fit_report_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_language.h"
#include "base/messages.h"

namespace belmora::app {

namespace {
constexpr int kMargin = 30;  // room for the axis labels
}

PsnrPlot::PsnrPlot(QWidget* parent) : QWidget(parent) {
  setMinimumSize(480, 140);
  setObjectName("PsnrPlot");
}

void PsnrPlot::SetReport(const FitReport* report, const std::set<int>* worst) {
  report_ = report;
  worst_ = worst;
  update();
}

int PsnrPlot::FrameAt(int x) const {
  if (!report_ || report_->Frames().empty()) return -1;
  const int n = int(report_->Frames().size());
  const double span = std::max(1, width() - 2 * kMargin);
  const int i = int((x - kMargin) * double(std::max(n - 1, 1)) / span + 0.5);
  return std::clamp(i, 0, n - 1);
}

void PsnrPlot::mouseDoubleClickEvent(QMouseEvent* e) {
  const int i = FrameAt(int(e->position().x()));
  if (i >= 0 && FrameDoubleClicked) FrameDoubleClicked(i);
}

void PsnrPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  if (!report_ || report_->Frames().empty()) return;
  const auto& frames = report_->Frames();
  // The PSNR axis from 20 dB (or lower, if a frame is) to 60 dB.
  double low = 20, high = 60;
  for (const auto& f : frames) low = std::min(low, std::floor(f.Psnr / 5) * 5);
  const QRectF area(kMargin, 8, width() - 2 * kMargin, height() - 8 - kMargin / 2);
  auto at = [&](size_t i, double psnr) {
    const double x = area.left() + (frames.size() > 1 ? area.width() * double(i) /
                                                            double(frames.size() - 1)
                                                      : area.width() / 2);
    const double y = area.bottom() - area.height() * (std::min(psnr, high) - low) / (high - low);
    return QPointF(x, y);
  };
  p.setPen(palette().mid().color());
  p.drawRect(area);
  for (double db = low; db <= high; db += 10) {
    p.drawText(QPointF(2, at(0, db).y() + 4), QString::number(int(db)));
  }
  QPainterPath line;
  for (size_t i = 0; i < frames.size(); i++) {
    if (i == 0)
      line.moveTo(at(i, frames[i].Psnr));
    else
      line.lineTo(at(i, frames[i].Psnr));
  }
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(palette().text().color(), 1));
  p.drawPath(line);
  p.setPen(Qt::NoPen);
  for (size_t i = 0; i < frames.size(); i++) {
    const bool bad = worst_ && worst_->count(frames[i].Index);
    if (!bad && !frames[i].Kept) continue;
    p.setBrush(bad ? QColor(220, 40, 40) : QColor(60, 160, 60));
    p.drawEllipse(at(i, frames[i].Psnr), bad ? 3.5 : 2.0, bad ? 3.5 : 2.0);
  }
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

FitReportWindow::FitReportWindow(const FitReport& report, bool confirm, QWidget* parent)
    : QDialog(parent), report_(report), worst_(WorstFrames(report)) {
  setObjectName("FitReportWindow");
  SetCaption(this, msg::kFitReportTitle);
  auto* layout = new QVBoxLayout(this);
  SummaryLabel = new QLabel(QString::fromStdString(report_.SummaryLine()), this);
  SummaryLabel->setObjectName("SummaryLabel");
  SummaryLabel->setWordWrap(true);
  layout->addWidget(SummaryLabel);
  Plot = new PsnrPlot(this);
  Plot->SetReport(&report_, &worst_);
  Plot->FrameDoubleClicked = [this](int i) { Choose(i); };
  layout->addWidget(Plot);

  Table = new QTableWidget(int(report_.Frames().size()), 7, this);
  Table->setObjectName("Table");
  QStringList headers;
  for (const char* h : msg::kFitColumns) headers << T(h);
  Table->setHorizontalHeaderLabels(headers);
  Table->verticalHeader()->hide();
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  int row = 0;
  for (const FrameFit& f : report_.Frames()) {
    const QString cells[7] = {QString::number(f.Index),
                              QString::number(f.FirstSector),
                              QString::number(f.Capacity),
                              QString::number(f.Scale),
                              QString::number(f.Bytes),
                              QString::number(f.Psnr, 'f', 2),
                              T(f.Kept ? msg::kKeptYes : msg::kKeptNo)};
    const bool bad = worst_.count(f.Index) > 0;
    for (int c = 0; c < 7; c++) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (bad) item->setBackground(QColor(255, 200, 200));
      Table->setItem(row, c, item);
    }
    row++;
  }
  Table->resizeColumnsToContents();
  connect(Table, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { Choose(r); });
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
  resize(640, 520);
}

void FitReportWindow::Choose(int index) {
  if (index < 0 || index >= int(report_.Frames().size()) || !FrameChosen) return;
  FrameChosen(report_.Frames()[size_t(index)].FirstSector);
}

}  // namespace belmora::app
