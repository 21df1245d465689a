#include "app/track_bar.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QSignalBlocker>

namespace belmora::app {
namespace {

// The thumb's centre runs from kInset to width - kInset.
constexpr int kInset = 14;
constexpr int kThumbHalf = 5;
constexpr int kChannelTop = 10;
constexpr int kChannelHeight = 4;
constexpr int kThumbTop = 3;
constexpr int kThumbBody = 14;   // straight part
constexpr int kThumbPoint = 5;   // pointed part below it
constexpr int kTickTop = 25;

}  // namespace

TrackBar::TrackBar(QWidget* parent) : QAbstractSlider(parent) {
  setOrientation(Qt::Horizontal);
  setRange(0, 0);
  setPageStep(10);
  setSingleStep(1);
  setTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

void TrackBar::SetMax(int max) {
  QSignalBlocker block(this);
  setRange(0, std::max(max, 0));
  update();
}

void TrackBar::SetPosition(int position) {
  QSignalBlocker block(this);
  setValue(position);
  update();
}

void TrackBar::SetFrequency(int frequency) {
  frequency_ = std::max(frequency, 1);
  update();
}

void TrackBar::SetSelection(int start, int end) {
  selStart_ = start;
  selEnd_ = end;
  update();
}

int TrackBar::PixelFor(int v) const {
  const int span = width() - 2 * kInset;
  if (maximum() <= 0) return kInset;
  v = std::clamp(v, 0, maximum());
  return kInset + int(int64_t(v) * span / maximum());
}

int TrackBar::ValueAt(int x) const {
  const int span = width() - 2 * kInset;
  if (maximum() <= 0 || span <= 0) return 0;
  const int64_t offset = std::clamp(x - kInset, 0, span);
  return int((offset * maximum() * 2 + span) / (2 * span));
}

QRect TrackBar::ThumbRect() const {
  const int x = PixelFor(sliderPosition());
  return {x - kThumbHalf, kThumbTop, 2 * kThumbHalf + 1, kThumbBody + kThumbPoint};
}

void TrackBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  const QColor light = pal.color(QPalette::Light), dark = pal.color(QPalette::Dark),
               shadow = pal.color(QPalette::Shadow), face = pal.color(QPalette::Button);

  // The channel: a sunken groove with the selection range filled in.
  const QRect channel(kInset - 6, kChannelTop, width() - 2 * (kInset - 6), kChannelHeight);
  p.fillRect(channel, pal.color(QPalette::Base));
  if (selEnd_ > selStart_ && maximum() > 0) {
    const int a = PixelFor(selStart_), b = PixelFor(selEnd_);
    p.fillRect(QRect(a, channel.top() + 1, b - a + 1, channel.height() - 2),
               pal.color(QPalette::Highlight));
  }
  p.setPen(dark);
  p.drawLine(channel.topLeft(), channel.topRight());
  p.drawLine(channel.topLeft(), channel.bottomLeft());
  p.setPen(light);
  p.drawLine(channel.bottomLeft(), channel.bottomRight());
  p.drawLine(channel.topRight(), channel.bottomRight());

  // Ticks below: every Frequency units, the ends longer; the selection's
  // ends marked with small triangles above the ticks.
  p.setPen(pal.color(QPalette::WindowText));
  const int last = maximum();
  for (int a = 0; a <= last; a += frequency_) {
    const int x = PixelFor(a);
    p.drawLine(x, kTickTop, x, kTickTop + (a == 0 ? 4 : 2));
  }
  const int end = PixelFor(last);
  p.drawLine(end, kTickTop, end, kTickTop + 4);
  if (selEnd_ > selStart_ && maximum() > 0) {
    p.setBrush(pal.color(QPalette::WindowText));
    for (int v : {selStart_, selEnd_}) {
      const int x = PixelFor(v);
      p.drawPolygon(QPolygon({QPoint(x - 2, kTickTop - 3), QPoint(x + 2, kTickTop - 3),
                              QPoint(x, kTickTop - 1)}));
    }
    p.setBrush(Qt::NoBrush);
  }

  // The thumb: a raised body pointing down at the ticks.
  const QRect t = ThumbRect();
  const int l = t.left(), r = t.right(), top = t.top(), mid = top + kThumbBody,
            tip = t.bottom(), cx = (l + r) / 2;
  QPolygon body({QPoint(l, top), QPoint(r, top), QPoint(r, mid), QPoint(cx, tip),
                 QPoint(l, mid)});
  p.setPen(Qt::NoPen);
  p.setBrush(isEnabled() ? (isSliderDown() ? pal.color(QPalette::Midlight) : face)
                         : pal.color(QPalette::Window));
  p.drawPolygon(body);
  p.setBrush(Qt::NoBrush);
  // Raised edges: light above and left, dark and black below and right,
  // with a grey outline so that the thumb stands out on a light strip.
  p.setPen(dark);
  p.drawLine(l - 1, top - 1, r, top - 1);
  p.drawLine(l - 1, top - 1, l - 1, mid);
  p.setPen(light);
  p.drawLine(l, top, r - 1, top);
  p.drawLine(l, top, l, mid);
  p.drawLine(l, mid, cx - 1, tip - 1);
  p.setPen(shadow);
  p.drawLine(r, top, r, mid);
  p.drawLine(r, mid, cx, tip);
  p.drawLine(l - 1, mid, cx, tip + 1);
  p.setPen(dark);
  p.drawLine(r - 1, top + 1, r - 1, mid);
  p.drawLine(r - 1, mid, cx, tip - 1);
}

void TrackBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || maximum() <= 0) {
    e->ignore();
    return;
  }
  const int x = int(e->position().x());
  const QRect thumb = ThumbRect();
  if (thumb.adjusted(-1, 0, 1, 0).contains(e->position().toPoint())) {
    dragOffset_ = x - PixelFor(sliderPosition());
    setSliderDown(true);
  } else {
    // A click beside the thumb moves it one page towards the pointer.
    triggerAction(x < thumb.left() ? SliderPageStepSub : SliderPageStepAdd);
  }
  e->accept();
}

void TrackBar::mouseMoveEvent(QMouseEvent* e) {
  if (!isSliderDown()) {
    e->ignore();
    return;
  }
  setSliderPosition(ValueAt(int(e->position().x()) - dragOffset_));
  e->accept();
}

void TrackBar::mouseReleaseEvent(QMouseEvent* e) {
  if (isSliderDown()) setSliderDown(false);
  e->accept();
}

}  // namespace belmora::app
