// Parsing the network addresses the port box and the tools' --port take.
#include "serial/link_address.h"

#include "serial/mode_string.h"

namespace velnorex {

namespace {

constexpr QLatin1StringView kTcp("tcp://");
constexpr QLatin1StringView kRtuTcp("rtu+tcp://");

}  // namespace

QString LinkAddress::text() const {
  const QString shownHost =
      host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
  return (kind == ModbusTcp ? QString(kTcp) : QString(kRtuTcp)) + shownHost + QLatin1Char(':') +
         QString::number(port);
}

bool IsNetworkAddress(const QString& text) {
  const QString trimmed = text.trimmed();
  return trimmed.startsWith(kTcp, Qt::CaseInsensitive) || trimmed.startsWith(kRtuTcp, Qt::CaseInsensitive);
}

std::optional<LinkAddress> ParseLinkAddress(const QString& text) {
  const QString trimmed = text.trimmed();
  LinkAddress address;
  QString rest;
  if (trimmed.startsWith(kTcp, Qt::CaseInsensitive)) {
    address.kind = LinkAddress::ModbusTcp;
    rest = trimmed.mid(kTcp.size());
  } else if (trimmed.startsWith(kRtuTcp, Qt::CaseInsensitive)) {
    address.kind = LinkAddress::RtuOverTcp;
    rest = trimmed.mid(kRtuTcp.size());
  } else {
    return std::nullopt;
  }
  if (rest.endsWith(QLatin1Char('/'))) rest.chop(1);
  QString portText;
  if (rest.startsWith(QLatin1Char('['))) {
    // An IPv6 address in brackets, its port after them.
    const qsizetype close = rest.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    address.host = rest.mid(1, close - 1);
    const QString after = rest.mid(close + 1);
    if (!after.isEmpty()) {
      if (!after.startsWith(QLatin1Char(':'))) return std::nullopt;
      portText = after.mid(1);
      if (portText.isEmpty()) return std::nullopt;
    }
  } else {
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    address.host = colon < 0 ? rest : rest.left(colon);
    if (colon >= 0) {
      portText = rest.mid(colon + 1);
      if (portText.isEmpty()) return std::nullopt;
    }
  }
  if (address.host.isEmpty()) return std::nullopt;
  for (const QChar c : address.host)
    if (c.isSpace() || c == QLatin1Char('/') || c == QLatin1Char('@') || c == QLatin1Char('[') ||
        c == QLatin1Char(']'))
      return std::nullopt;
  if (!portText.isEmpty()) {
    for (const QChar c : portText)
      if (!c.isDigit() || c.unicode() > '9') return std::nullopt;
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535) return std::nullopt;
    address.port = static_cast<uint16_t>(port);
  }
  return address;
}

std::string FailureReason(const PortFailure& failure) {
  switch (failure.kind) {
    case PortFailure::None:
      return "no failure";
    case PortFailure::NoPermission:
      return "no permission";
    case PortFailure::Busy:
      return "held by another program";
    case PortFailure::NotFound:
      return "no such port";
    case PortFailure::SettingRefused:
      return "the line settings were refused";
    case PortFailure::Lost:
      return "the connection was lost";
    case PortFailure::BadAddress:
      return "not an address of the form tcp://HOST:PORT or rtu+tcp://HOST:PORT";
    case PortFailure::Refused:
      return "connection refused";
    case PortFailure::HostUnknown:
      return "host unknown";
    case PortFailure::TimedOut:
      return "no connection within the time-out";
    case PortFailure::Cancelled:
      return "given up";
    case PortFailure::Other:
      break;
  }
  return failure.detail.isEmpty() ? std::string("cannot be opened") : failure.detail.toStdString();
}

std::optional<std::string> ToolLineMode(const std::string& port, const std::string& baud, char parity) {
  if (IsNetworkAddress(QString::fromStdString(port))) return RtuModeString("19200", 'n');
  if (!parity) return std::nullopt;
  std::string mode = RtuModeString(baud, parity);
  if (!ParseMode(mode)) return std::nullopt;
  return mode;
}

}  // namespace velnorex
