// The indicator square.
#include "app/indicator.h"

#include <QPainter>

namespace velnorex {

IndicatorShape::IndicatorShape(QWidget* parent) : QWidget(parent) {
  setFixedSize(10, 10);
}

void IndicatorShape::setColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void IndicatorShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(Qt::black);
  painter.setBrush(color_);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace velnorex
