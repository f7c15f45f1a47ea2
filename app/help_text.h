// The operator's help text, shown in Memo2 when F1 is pressed.
#pragma once

#include <QStringList>

namespace velnorex {

inline constexpr int kHelpLineCount = 126;

// The lines exactly as the help panel holds them.
QStringList HelpTextLines();

}  // namespace velnorex
