// One master line for the interoperability tests: Serial over the real QSerialPort device, the Modbus unit,
// and a host that records the result events and handles them as the window does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QString>

#include "modbus/exchange_host.h"
#include "modbus/exchange_results.h"
#include "modbus/modbus.h"
#include "serial/qt_serial_device.h"
#include "serial/serial.h"

namespace velnorex::test {

// The window's side of a transaction, recorded.
class RecordingHost : public ExchangeHost, public ExchangeResults::Window {
 public:
  explicit RecordingHost(Modbus& modbus) : results_(modbus, replyOk, replyText, *this) {}

  void Perform(WindowMessage message) override {
    events.push_back(message);
    results_.Handle(message);
  }
  void ProcessPendingMessages() override { QCoreApplication::processEvents(); }
  void ShowMessage(const std::u16string& text) override { messages.push_back(text); }
  void AppendLogLine(const std::u16string& line) override { logLines.push_back(line); }
  void ShowValue() override { shown.push_back(replyText); }
  void StartHighlightTimer() override { ++highlights; }
  void PerformNext() override { events.push_back(WindowMessage::UM_NEXT); }

  void clear() {
    events.clear();
    messages.clear();
    logLines.clear();
    shown.clear();
    highlights = 0;
  }

  bool replyOk = false;
  std::u16string replyText;
  std::vector<WindowMessage> events;
  std::vector<std::u16string> messages;
  std::vector<std::u16string> logLines;
  std::vector<std::u16string> shown;
  int highlights = 0;

 private:
  ExchangeResults results_;
};

class MasterLine {
 public:
  MasterLine() : serial(std::make_unique<QtSerialDevice>()), modbus(serial), host(modbus) {}

  // Opens the port with the program's time-outs (read interval 30 ms, read total `readTotalMs`, write 30 ms).
  // Tests that need a late answer to land in the second read stretch the read total instead of relying on a
  // few milliseconds of margin.
  bool open(const std::string& path, const QString& mode = QStringLiteral("9600,n,8,2"),
            uint16_t readTotalMs = 40) {
    return serial.OpenPort(QString::fromStdString(path), mode) &&
           serial.SetPortTimeouts(30, 0, readTotalMs, 0, 30);
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
    modbus.Exchange(host);
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
    modbus.Exchange(host);
  }

  // The result event of the last transaction (the one before the closing UM_NEXT).
  WindowMessage result() const {
    return host.events.size() >= 2 ? host.events[host.events.size() - 2] : WindowMessage::UM_NEXT;
  }

  Serial serial;
  Modbus modbus;
  RecordingHost host;
};

inline std::vector<WindowMessage> ReplyThenNext() {
  return {WindowMessage::UM_REPLY, WindowMessage::UM_NEXT};
}

}  // namespace velnorex::test
