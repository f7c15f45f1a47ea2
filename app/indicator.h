// A small square filled with one colour: the link and recording indicators beside their buttons.
#pragma once

#include <QColor>
#include <QWidget>

namespace velnorex {

class IndicatorShape : public QWidget {
 public:
  explicit IndicatorShape(QWidget* parent = nullptr);

  QColor color() const { return color_; }
  void setColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_{0xA0, 0xA0, 0xA4};
};

}  // namespace velnorex
