#include "scanner/plot_widget.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace kovrel {

namespace {

const QColor kAxisColour(0, 0, 0);
const QColor kPointColour(0, 0, 255);

}  // namespace

QImage plotBackground(const PlotScale& scale, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF centre(scale.toPixelX(kPlotCentre), scale.toPixelY(kPlotCentre));
  const double radius = scale.toPixelX(38.0);  // a 76 mm turntable plate
  QRadialGradient plate(centre, radius);
  plate.setColorAt(0.0, QColor(255, 255, 255));
  plate.setColorAt(0.85, QColor(246, 249, 252));
  plate.setColorAt(1.0, QColor(236, 241, 247));
  p.setPen(Qt::NoPen);
  p.setBrush(plate);
  p.drawEllipse(centre, radius, radius);
  return image;
}

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  const QScreen* s = screen();
  setScale(s != nullptr ? PlotScale::fromPhysicalDpi(s->physicalDotsPerInchX(), s->physicalDotsPerInchY())
                        : PlotScale{});
}

void PlotWidget::setScale(const PlotScale& scale) {
  scale_ = scale;
  const QSize size(scale_.plotWidthPixels(), scale_.plotHeightPixels());
  setFixedSize(size);
  background_ = plotBackground(scale_, size);
  clear();
}

void PlotWidget::clear() {
  image_ = background_.copy();
  markDirty(image_.rect());
}

QPointF PlotWidget::pixelCentre(double xMm, double yMm) const {
  return QPointF(scale_.pixelColumn(xMm) + 0.5, scale_.pixelRow(yMm) + 0.5);
}

void PlotWidget::line(double x1, double y1, double x2, double y2) {
  const QPointF a = pixelCentre(x1, y1);
  const QPointF b = pixelCentre(x2, y2);
  QPainter p(&image_);
  p.setPen(QPen(kAxisColour, 1));
  p.drawLine(a, b);
  markDirty(QRectF(a, b).normalized().toAlignedRect().adjusted(-1, -1, 1, 1));
}

void PlotWidget::point(double x, double y, int width) {
  const PixelRect r = dotPixels(scale_, x, y, width);
  const QRect rect(r.x, r.y, r.width, r.height);
  const QRect visible = rect.intersected(image_.rect());
  if (visible.isEmpty()) return;  // beyond the box: the operator simply does not see it
  // A dot is a few pixels: set them directly. A painter per dot would cost more than the whole
  // rest of a capture step, and a turn redraws 4095 of them.
  const QRgb colour = kPointColour.rgb();
  for (int row = visible.top(); row <= visible.bottom(); ++row) {
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
    std::fill(line + visible.left(), line + visible.right() + 1, colour);
  }
  markDirty(visible);
}

void PlotWidget::markDirty(const QRect& rect) {
  dirty_ = dirty_.united(rect.intersected(image_.rect()));
  // Drawing that nobody refreshes still reaches the screen when the event loop next runs.
  if (!flushQueued_ && !dirty_.isEmpty()) {
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { flush(); }, Qt::QueuedConnection);
  }
}

void PlotWidget::flush() {
  flushQueued_ = false;
  if (dirty_.isEmpty()) return;
  update(dirty_);
  dirty_ = QRect();
}

void PlotWidget::refresh() { flush(); }

void PlotWidget::repaintNow() {
  if (dirty_.isEmpty()) return;
  const QRect r = dirty_;
  dirty_ = QRect();
  repaint(r);
}

void PlotWidget::paintEvent(QPaintEvent* event) {
  lastPainted_ = event->rect();
  QPainter p(this);
  p.drawImage(event->rect(), image_, event->rect());
}

}  // namespace kovrel
