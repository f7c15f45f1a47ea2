// The address of a line that is no serial port: a Modbus TCP server ("tcp://HOST:PORT") or a gateway that
// carries RTU frames over a TCP stream ("rtu+tcp://HOST:PORT"). Everything else the operator types into the
// port box is a serial port's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QString>

#include "serial/serial_device.h"

namespace velnorex {

struct LinkAddress {
  enum Kind { ModbusTcp, RtuOverTcp };
  static constexpr uint16_t kDefaultPort = 502;

  Kind kind = ModbusTcp;
  QString host;  // a name or an address; an IPv6 address without its brackets
  uint16_t port = kDefaultPort;

  // "tcp://HOST:PORT" or "rtu+tcp://HOST:PORT", the port always written out.
  QString text() const;
};

// True when `text` starts as a network address does ("tcp://" or "rtu+tcp://", in any case), whether or not
// the rest is well formed: such a text is never a serial port's name.
bool IsNetworkAddress(const QString& text);

// The address `text` names; nothing when it is no network address or a malformed one (no host, a port that is
// not 1 to 65535, anything after the port).
std::optional<LinkAddress> ParseLinkAddress(const QString& text);

// Why a port or an address could not be opened, in the words of the command-line tools.
std::string FailureReason(const PortFailure& failure);

// The mode string a command-line tool opens `port` with: a network link takes none of the line settings, so
// its baud rate and parity are ignored, whatever they are; nothing for a serial port whose settings do not
// make a mode.
std::optional<std::string> ToolLineMode(const std::string& port, const std::string& baud, char parity);

}  // namespace velnorex
