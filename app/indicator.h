// A small square filled with one colour: the link and recording indicators beside their buttons.
#pragma once

#include <QColor>
#include <QWidget>

#include "registers/palette.h"

namespace velnorex {

class IndicatorShape : public QWidget {
 public:
  explicit IndicatorShape(QWidget* parent = nullptr);

  QColor color() const { return color_; }
  void setColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_ = kColorMediumGrey;
};

}  // namespace velnorex
