#pragma once
// Picture1: the shape at its true size. Everything drawn goes into a retained image, so a point
// added during a read only asks the screen for the few pixels it covers; the plot is painted
// from the image, never recomputed.

#include <QImage>
#include <QRect>
#include <QWidget>

#include "scanner/plot.h"
#include "scanner/plot_scale.h"

namespace kovrel {

class PlotWidget : public QWidget, public Plot {
  Q_OBJECT

 public:
  // Takes its scale from the screen the widget starts on (physical dots per inch).
  explicit PlotWidget(QWidget* parent = nullptr);

  // Millimetres to pixels; resizes the widget to the plot's true size and clears it.
  void setScale(const PlotScale& scale);
  const PlotScale& scale() const { return scale_; }

  void clear() override;
  void line(double x1, double y1, double x2, double y2) override;
  void point(double x, double y, int width) override;
  void refresh() override;

  // Paints what has been drawn since the last refresh right now, inside a handler that has not
  // returned yet.
  void repaintNow();

  const QImage& image() const { return image_; }
  // Pixels drawn and not yet handed to the screen.
  QRect pendingRect() const { return dirty_; }
  // Bounding rectangle of the last paint of the widget.
  QRect lastPaintedRect() const { return lastPainted_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void markDirty(const QRect& rect);
  void flush();
  QPointF pixelCentre(double xMm, double yMm) const;

  PlotScale scale_;
  QImage background_;  // a faint turntable, under the axes and the points
  QImage image_;
  QRect dirty_;
  QRect lastPainted_;
  bool flushQueued_ = false;
};

// The faint background under the plot: a very light disc centred on the turntable.
QImage plotBackground(const PlotScale& scale, QSize size);

}  // namespace kovrel
