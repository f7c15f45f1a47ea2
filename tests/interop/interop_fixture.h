// One master line for the interoperability tests: a bus over the real QSerialPort device (the Modbus unit,
// the real result trip, the tap and traffic log), and a recorder of what the window and the client see.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QString>

#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "serial/qt_serial_device.h"
#include "serial/serial.h"

namespace velnorex::test {

// The window's side of a transaction and whoever started it, recorded; the result trip is the real one.
class LineRecorder : public ExchangeDispatcher::Window, public TransactionClient, public TransactionObserver {
 public:
  // ExchangeDispatcher::Window
  void processPendingMessages() override { QCoreApplication::processEvents(); }
  void showMessage(const std::u16string& text) override { messages.push_back(text); }
  void appendLogLine(const std::u16string& line) override { logLines.push_back(line); }
  void restartHighlightTimer() override { ++highlights; }
  // TransactionClient
  void ShowValue() override { shown.push_back(replyText); }
  void UM_NEXT() override { events.push_back(Event::UM_NEXT); }
  // TransactionObserver
  void transactionEnded(const TransactionSummary& summary) override {
    events.push_back(static_cast<Event>(summary.result));
  }

  void clear() {
    events.clear();
    messages.clear();
    logLines.clear();
    shown.clear();
    highlights = 0;
  }

  // The result events and the closing UM_NEXT, in the order they came.
  enum class Event {
    UM_REPLY = static_cast<int>(ExchangeResult::UM_REPLY),
    UM_TIMEOUT = static_cast<int>(ExchangeResult::UM_TIMEOUT),
    UM_CRCERROR = static_cast<int>(ExchangeResult::UM_CRCERROR),
    UM_NEXT,
  };

  bool replyOk = false;
  std::u16string replyText;
  std::vector<Event> events;
  std::vector<std::u16string> messages;
  std::vector<std::u16string> logLines;
  std::vector<std::u16string> shown;
  int highlights = 0;
};

class MasterLine {
 public:
  MasterLine() { dispatcher.addTransactionObserver(&host); }

  // Opens the port with the program's time-outs (read interval 30 ms, read total `readTotalMs`, write 30 ms).
  // Tests that need a late answer to land in the second read stretch the read total instead of relying on a
  // few milliseconds of margin.
  bool open(const std::string& path, const QString& mode = QStringLiteral("9600,n,8,2"),
            uint16_t readTotalMs = 40) {
    LineTimeouts timeouts;
    timeouts.readTotalMs = readTotalMs;
    return serial.OpenPort(QString::fromStdString(path), mode) && serial.SetPortTimeouts(timeouts);
  }

  static RegisterNode writableRegister(const std::u16string& address, const std::u16string& type,
                                       const std::u16string& count, const std::u16string& value = {}) {
    RegisterNode node;
    node.Address = address;
    node.Type = type;
    node.Count = count;
    node.Access = u"RW";
    node.Value = value;
    return node;
  }

  // One read of a register as the tree does it; the events and texts land in `host`.
  void read(const std::u16string& address, const std::u16string& type, const std::u16string& count) {
    host.clear();
    modbus.BuildReadRequest(writableRegister(address, type, count), u"1");
    dispatcher.Exchange(host);
  }

  // A write of `value`: function 6 for a one-register write, 16 otherwise, as the register operations choose.
  void write(const std::u16string& address, const std::u16string& type, const std::u16string& count,
             const std::u16string& value, bool single) {
    host.clear();
    const RegisterNode node = writableRegister(address, type, count, value);
    if (single) {
      modbus.BuildWriteSingleRequest(node, u"1");
    } else {
      modbus.RegisterType = TypeCodeOf(type);
      modbus.BuildWriteMultipleRequest(node, u"1");
    }
    dispatcher.Exchange(host);
  }

  // The result event of the last transaction (the one before the closing UM_NEXT).
  LineRecorder::Event result() const {
    return host.events.size() >= 2 ? host.events[host.events.size() - 2] : LineRecorder::Event::UM_NEXT;
  }

  LineRecorder host;
  // The line as the window has it: a bus over the serial port, its tap and traffic log included.
  Bus bus{std::make_unique<QtSerialDevice>(), host,
          Bus::Setup{}.keepingReplyIn(host.replyOk, host.replyText)};
  Serial& serial = bus.serial();
  Modbus& modbus = bus.modbus();
  ExchangeDispatcher& dispatcher = bus.dispatcher();
};

inline std::vector<LineRecorder::Event> ReplyThenNext() {
  return {LineRecorder::Event::UM_REPLY, LineRecorder::Event::UM_NEXT};
}

}  // namespace velnorex::test
