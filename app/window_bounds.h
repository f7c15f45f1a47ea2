// Where the main window opens: the stored bounds, made large enough to show every control and small enough,
// and placed, to lie on the screen.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace velnorex {

// The stored bounds (frame position, client size) clamped to at least `minimum` and at most the size of
// `available` (the minimum wins on a screen too small for it), then moved as little as needed to lie inside
// `available` (its top-left corner on it when it can't fit).
QRect RestoredBounds(const QRect& stored, const QSize& minimum, const QRect& available);

// Applies RestoredBounds to a window, with the minimum its layouts ask for and the screen the stored bounds
// are on (the primary screen when they are on none).
void RestoreBounds(QWidget& window, const QRect& stored);

}  // namespace velnorex
