// The registered serial ports, and comma text as the port list uses it: items separated by commas, an item
// quoted with double quotes (inner quotes doubled) only when it holds a blank, a control character, a comma
// or a quote.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace velnorex {

// The registered serial ports as comma text, in the order the system gives them.
QString ListSerialPorts();

// What the system tells of each of its ports, by port name, for the port list's tool tips: the product and
// maker of a USB adapter with its serial number, else the system's own description.
QHash<QString, QString> SerialPortDescriptions();
// One port's description from the parts the system gives; the empty parts are left out.
QString PortDescription(const QString& description, const QString& manufacturer, const QString& serialNumber,
                        const QString& systemLocation);

QString CommaText(const QStringList& items);
// The inverse, for filling a list from comma text; blanks outside quotes separate items like commas do.
QStringList SplitCommaText(const QString& text);

}  // namespace velnorex
