#include "outline_view.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace kovrel::tools {

OutlineView::OutlineView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(320, 320);
  setWindowTitle(QStringLiteral("Host simulator — decoded outline"));
}

void OutlineView::setRadii(const std::vector<int>& radii) {
  radii_ = radii;
  update();
}

void OutlineView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF centre(width() / 2.0, height() / 2.0);
  p.setPen(QPen(Qt::lightGray, 1));
  p.drawLine(QPointF(0, centre.y()), QPointF(width(), centre.y()));
  p.drawLine(QPointF(centre.x(), 0), QPointF(centre.x(), height()));
  if (radii_.empty()) {
    p.setPen(Qt::darkGray);
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("waiting for a trace"));
    return;
  }
  const int largest = *std::max_element(radii_.begin(), radii_.end());
  const double scale = 0.45 * std::min(width(), height()) / std::max(largest, 1);  // pixels per hundredth
  QPainterPath path;
  const auto n = static_cast<double>(radii_.size());
  for (std::size_t i = 0; i < radii_.size(); ++i) {
    const double a = 2.0 * std::numbers::pi * static_cast<double>(i) / n;
    const QPointF at(centre.x() + std::cos(a) * radii_[i] * scale,
                     centre.y() - std::sin(a) * radii_[i] * scale);
    if (i == 0) {
      path.moveTo(at);
    } else {
      path.lineTo(at);
    }
  }
  path.closeSubpath();
  p.setPen(QPen(Qt::blue, 2));
  p.drawPath(path);
}

}  // namespace kovrel::tools
