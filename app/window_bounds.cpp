// Clamping stored window bounds to the window's minimum and to the screen.
#include "app/window_bounds.h"

#include <algorithm>

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace velnorex {

QRect RestoredBounds(const QRect& stored, const QSize& minimum, const QRect& available) {
  QSize size = stored.size().boundedTo(available.size()).expandedTo(minimum);
  QRect bounds(stored.topLeft(), size);
  if (bounds.right() > available.right()) bounds.moveRight(available.right());
  if (bounds.bottom() > available.bottom()) bounds.moveBottom(available.bottom());
  if (bounds.left() < available.left()) bounds.moveLeft(available.left());
  if (bounds.top() < available.top()) bounds.moveTop(available.top());
  return bounds;
}

void RestoreBounds(QWidget& window, const QRect& stored) {
  // The layouts' minimum is what shows every control at its natural size.
  if (QLayout* layout = window.layout()) layout->activate();
  const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize());
  QScreen* screen = QGuiApplication::screenAt(stored.center());
  if (!screen) screen = QGuiApplication::screenAt(stored.topLeft());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : stored.united(QRect(QPoint(), minimum));
  const QRect bounds = RestoredBounds(stored, minimum, available);
  window.move(bounds.topLeft());
  window.resize(bounds.size());
}

}  // namespace velnorex
