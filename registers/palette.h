// The program's colours, by the names the operator's documents use: the register tree's text colours and the
// two indicator squares.
#pragma once

#include <QColor>

namespace velnorex {

inline const QColor kColorBlack{0x00, 0x00, 0x00};
inline const QColor kColorNavy{0x00, 0x00, 0x80};
inline const QColor kColorMaroon{0x80, 0x00, 0x00};
inline const QColor kColorGreen{0x00, 0x80, 0x00};
inline const QColor kColorRed{0xFF, 0x00, 0x00};
inline const QColor kColorLime{0x00, 0xFF, 0x00};
inline const QColor kColorGrey{0x80, 0x80, 0x80};
inline const QColor kColorMediumGrey{0xA0, 0xA0, 0xA4};
inline const QColor kColorYellow{0xFF, 0xFF, 0x00};

}  // namespace velnorex
