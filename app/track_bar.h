// A horizontal track bar in the manner of the toolkit the windows were
// drawn for: a channel with the selection range marked on it, ticks below
// at a set frequency, and a thumb. Values set from code never emit
// valueChanged; only the user's own moves do.
#pragma once

#include <QAbstractSlider>

namespace belmora::app {

class TrackBar : public QAbstractSlider {
  Q_OBJECT
 public:
  explicit TrackBar(QWidget* parent = nullptr);

  void SetMax(int max);
  int Max() const { return maximum(); }
  void SetPosition(int position);
  int Position() const { return value(); }
  void SetFrequency(int frequency);
  int Frequency() const { return frequency_; }
  void SetSelection(int start, int end);
  int SelStart() const { return selStart_; }
  int SelEnd() const { return selEnd_; }

  // The x of value v inside the bar (the thumb's centre), and the value
  // nearest to an x.
  int PixelFor(int v) const;
  int ValueAt(int x) const;
  // Where the thumb is drawn.
  QRect ThumbRect() const;

  QSize sizeHint() const override { return {305, 33}; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  int frequency_ = 30;
  int selStart_ = 0;
  int selEnd_ = 0;
  int dragOffset_ = 0;  // pointer x less the thumb's centre while dragging
};

}  // namespace belmora::app
