// The registered serial ports, and comma text as the port list uses it: items separated by commas, an item
// quoted with double quotes (inner quotes doubled) only when it holds a blank, a control character, a comma
// or a quote.
#pragma once

#include <QString>
#include <QStringList>

namespace velnorex {

// The registered serial ports as comma text, in the order the system gives them.
QString ListSerialPorts();

QString CommaText(const QStringList& items);
// The inverse, for filling a list from comma text; blanks outside quotes separate items like commas do.
QStringList SplitCommaText(const QString& text);

}  // namespace velnorex
