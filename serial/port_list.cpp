// The list of the system's serial ports as comma text, the form the port box is filled from.
#include <QSerialPortInfo>

#include "serial/port_list.h"

namespace velnorex {

namespace {

bool needsQuotes(const QString& item) {
  for (const QChar c : item)
    if (c.unicode() <= u' ' || c == QLatin1Char(',') || c == QLatin1Char('"')) return true;
  return false;
}

}  // namespace

QString CommaText(const QStringList& items) {
  QString text;
  for (qsizetype i = 0; i < items.size(); ++i) {
    if (i > 0) text += QLatin1Char(',');
    const QString& item = items[i];
    if (needsQuotes(item)) {
      QString quoted = item;
      quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
      text += QLatin1Char('"') + quoted + QLatin1Char('"');
    } else {
      text += item;
    }
  }
  return text;
}

QStringList SplitCommaText(const QString& text) {
  QStringList items;
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto skipBlanks = [&] {
    while (i < n && text[i].unicode() <= u' ') ++i;
  };
  skipBlanks();
  while (i < n) {
    QString item;
    if (text[i] == QLatin1Char('"')) {
      ++i;
      while (i < n) {
        if (text[i] == QLatin1Char('"')) {
          if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
            item += QLatin1Char('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      // An unquoted item ends at a comma or a blank, as in the comma text it stands in for.
      while (i < n && text[i] != QLatin1Char(',') && text[i].unicode() > u' ') item += text[i++];
    }
    items.append(item);
    skipBlanks();
    if (i < n && text[i] == QLatin1Char(',')) {
      ++i;
      skipBlanks();
      if (i == n) items.append(QString());  // a trailing comma leaves one empty item
    }
  }
  return items;
}

QString ListSerialPorts() {
  QStringList names;
  const auto ports = QSerialPortInfo::availablePorts();
  for (const QSerialPortInfo& info : ports) names.append(info.portName());
  return CommaText(names);
}

QString PortDescription(const QString& description, const QString& manufacturer, const QString& serialNumber,
                        const QString& systemLocation) {
  QStringList parts;
  // A USB adapter names its product as the description; a maker already in it is not repeated.
  if (!description.isEmpty()) parts << description;
  if (!manufacturer.isEmpty() && !description.contains(manufacturer, Qt::CaseInsensitive))
    parts << manufacturer;
  if (!serialNumber.isEmpty()) parts << QStringLiteral("nr %1").arg(serialNumber);
  QString text = parts.join(QStringLiteral(", "));
  if (!systemLocation.isEmpty())
    text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("(%1)").arg(systemLocation);
  return text;
}

QHash<QString, QString> SerialPortDescriptions() {
  QHash<QString, QString> descriptions;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    descriptions.insert(info.portName(), PortDescription(info.description(), info.manufacturer(),
                                                         info.serialNumber(), info.systemLocation()));
  return descriptions;
}

}  // namespace velnorex
