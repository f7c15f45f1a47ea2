// One master line for the interoperability tests: a bus over the real QSerialPort device (the Modbus unit,
// the real result trip, the tap and traffic log), and a recorder of what the window and the client see.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QString>

#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/link_device.h"
#include "modbus/modbus.h"
#include "serial/serial.h"
#include "tests/support/libmodbus_server.h"
#include "tests/support/simulator.h"
#include "tests/support/transaction_recorder.h"
#include "tests/support/tree_builder.h"

namespace velnorex::test {

class MasterLine {
 public:
  MasterLine() {
    dispatcher.addTransactionObserver(&host);
    host.onPending = [] { QCoreApplication::processEvents(); };
  }

  // Opens the port with the program's time-outs (read interval 30 ms, read total `readTotalMs`, write 30 ms).
  // Tests that need a late answer to land in the second read stretch the read total instead of relying on a
  // few milliseconds of margin.
  bool open(const std::string& path, const QString& mode = QStringLiteral("9600,n,8,2"),
            uint16_t readTotalMs = 40) {
    LineTimeouts timeouts;
    timeouts.readTotalMs = readTotalMs;
    return serial.OpenPort(QString::fromStdString(path), mode) && serial.SetPortTimeouts(timeouts);
  }

  // One read of a register as the tree does it; the events and texts land in `host`.
  void read(const std::u16string& address, const std::u16string& type, const std::u16string& count,
            const std::u16string& slave = u"1") {
    host.clear();
    modbus.BuildReadRequest(RegisterRecord(address, type, count), slave);
    dispatcher.Exchange(host);
  }

  // A write of `value`: function 6 for a one-register write, 16 otherwise, as the register operations choose.
  void write(const std::u16string& address, const std::u16string& type, const std::u16string& count,
             const std::u16string& value, bool single) {
    host.clear();
    const RegisterNode node = RegisterRecord(address, type, count, u"RW", value);
    if (single) {
      modbus.BuildWriteSingleRequest(node, u"1");
    } else {
      modbus.RegisterType = TypeCodeOf(type);
      modbus.BuildWriteMultipleRequest(node, u"1");
    }
    dispatcher.Exchange(host);
  }

  // The result event of the last transaction (the one before the closing UM_NEXT).
  TransactionRecorder::Event result() const {
    const auto events = host.results();
    return events.size() >= 2 ? events[events.size() - 2] : TransactionRecorder::Event::UM_NEXT;
  }

  TransactionRecorder host;
  // The line as the window has it: a bus over the serial port, its tap and traffic log included.
  Bus bus{std::make_unique<LinkDevice>(), host};
  Serial& serial = bus.serial();
  Modbus& modbus = bus.modbus();
  ExchangeDispatcher& dispatcher = bus.dispatcher();
};

inline std::vector<TransactionRecorder::Event> ReplyThenNext() {
  return {TransactionRecorder::Event::UM_REPLY, TransactionRecorder::Event::UM_NEXT};
}

// The far ends a table of transactions runs against: our simulator and pymodbus on a pseudo-terminal, and
// over network links of 127.0.0.1 pymodbus (Modbus TCP, RTU over TCP) and libmodbus's TCP server.
enum class PeerKind { Simulator, Pymodbus, PymodbusTcp, PymodbusRtuOverTcp, LibmodbusTcp };
inline const char* PeerName(PeerKind kind) {
  switch (kind) {
    case PeerKind::Simulator:
      return "Simulator";
    case PeerKind::Pymodbus:
      return "Pymodbus";
    case PeerKind::PymodbusTcp:
      return "PymodbusTcp";
    case PeerKind::PymodbusRtuOverTcp:
      return "PymodbusRtuOverTcp";
    case PeerKind::LibmodbusTcp:
      break;
  }
  return "LibmodbusTcp";
}
inline void PrintTo(PeerKind kind, std::ostream* out) {
  *out << PeerName(kind);
}
inline auto EveryPeer() {
  return ::testing::Values(PeerKind::Simulator, PeerKind::Pymodbus, PeerKind::PymodbusTcp,
                           PeerKind::PymodbusRtuOverTcp, PeerKind::LibmodbusTcp);
}

// One peer of a kind, holding `tables` (the simulator started with `simulatorArgs` instead). A peer that
// cannot run here ends the test (a failure under CI): the caller returns when the test has a fatal failure
// or was skipped.
struct Peer {
  std::optional<SimulatorProcess> sim;
  std::optional<PymodbusPeer> pymodbus;
  std::optional<LibmodbusTcpServer> libmodbus;

  void start(PeerKind kind, const PeerTables& tables, const std::vector<std::string>& simulatorArgs) {
    switch (kind) {
      case PeerKind::Simulator:
        sim.emplace(simulatorArgs);
        return;
      case PeerKind::LibmodbusTcp:
        VELNOREX_REQUIRE_LIBMODBUS();
        libmodbus.emplace(tables);
        return;
      case PeerKind::Pymodbus:
        VELNOREX_REQUIRE_PYMODBUS();
        break;
      case PeerKind::PymodbusTcp:
      case PeerKind::PymodbusRtuOverTcp:
        VELNOREX_REQUIRE_PYMODBUS_TCP();
        break;
    }
    PymodbusPeer::Options options;
    static_cast<PeerTables&>(options) = tables;
    options.link = kind == PeerKind::PymodbusTcp          ? PeerLink::ModbusTcp
                   : kind == PeerKind::PymodbusRtuOverTcp ? PeerLink::RtuOverTcp
                                                          : PeerLink::Pty;
    pymodbus.emplace(options);
  }
  std::string path() const { return sim ? sim->path() : pymodbus ? pymodbus->path() : libmodbus->path(); }
  bool started() const { return sim || pymodbus || libmodbus; }
};

}  // namespace velnorex::test
