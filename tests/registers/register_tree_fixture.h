// Shared pieces of the register tree tests: trees built in memory, and the register operations over the
// scripted serial device with a stand-in for the main window.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QString>

#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "registers/register_operations.h"
#include "registers/register_tree_model.h"
#include "registers/register_tree_view.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/frames.h"
#include "tests/support/tree_builder.h"
#include "text/number_text.h"

namespace velnorex::test {

// The definition most tests work on. Nodes are reachable by name through Find.
inline std::unique_ptr<RegisterTree> SampleTree() {
  constexpr CheckType radio = CheckType::ctRadioButton, box = CheckType::ctCheckBox;
  TreeBuilder b;
  b.group(u"Pomiary")
      .reg(u"Temperatura", u"100", u"INT", u"1", u"RO")
      .reg(u"Napięcie", u"$66", u"REAL", u"2", u"RO")
      .reg(u"Opis", u"110", u"TEXT", u"2", u"RO")
      .end();
  b.group(u"Konfiguracja");
  b.reg(u"Prędkość", u"200", u"WORD", u"1", u"RP").open();
  b.option(u"9600", u"0", radio, true).option(u"19200", u"1", radio).end();
  b.reg(u"Tryb", u"201", u"HEX", u"1", u"RW").open();
  b.option(u"A", u"1", box, true, u"BIT").option(u"B", u"$12", box, false, u"BIT");
  b.option(u"C", u"4", box, true, u"BIT");
  b.group(u"Bajt trybu").option(u"D", u"18", box, true, u"BIT").end();
  b.end();
  b.reg(u"Słowo", u"202", u"WORD", u"1", u"RW");
  b.reg(u"Długie", u"204", u"INT", u"2", u"RW");
  b.reg(u"Małe", u"206", u"WORD", u"1", u"rw");
  b.reg(u"Stałe", u"207", u"WORD", u"1", u"RO").open().option(u"Siedem", u"7", box).end();
  b.reg(u"Bajty", u"208", u"WORD", u"1", u"RW", u"$1234").open();
  b.group(u"Wysoki").option(u"H2", u"$0200", radio).option(u"H3", u"$0300", radio).end();
  b.group(u"Niski").option(u"L5", u"5", radio).option(u"L6", u"6", radio).end();
  b.end();
  b.reg(u"Inny HEX", u"209", u"HEX", u"1", u"RW").open().option(u"X", u"1", box, true, u"BIT").end();
  b.end();

  b.group(u"Pusta").end();
  b.reg(u"Ukryty", u"300", u"WORD", u"1", u"RO");
  b.last()->States &= static_cast<uint16_t>(~NodeState::Visible);
  b.reg(u"Bez bitu", u"301", u"WORD", u"1", u"RO").open().group(u"Dziecko").end().end();
  b.last()->parent()->States &= static_cast<uint16_t>(~NodeState::HasChildren);
  return b.take();
}

inline RegisterTreeNode* Find(RegisterTreeNode& from, std::u16string_view name) {
  for (const auto& child : from.children()) {
    if (child->data.Name == name) return child.get();
    if (RegisterTreeNode* hit = Find(*child, name)) return hit;
  }
  return nullptr;
}

// The main window as the operations and the dispatcher see it: queues steps for the test to run.
class TestWindow : public RegisterOperationsHost, public ExchangeDispatcher::Window {
 public:
  // RegisterOperationsHost
  QString slaveText() const override { return QString::fromStdU16String(slave); }
  bool singleRegisterWrites() const override { return singleReg; }
  void restartHighlightTimer() override { ++highlightRestarts; }
  void stopHighlightTimer() override { ++highlightStops; }
  void postQueued(std::function<void()> step) override { queue.push_back(std::move(step)); }
  void showMessage(const QString& text) override { messages.push_back(text); }
  void setRegisterText(const QString& text) override { registerText = text; }
  void stopRecording() override {
    ++recordingStops;
    state->Recording = false;
  }

  // ExchangeDispatcher::Window
  void processPendingMessages() override {
    if (onPending) onPending();
  }
  void showMessage(const std::u16string& text) override {
    messages.push_back(QString::fromStdU16String(text));
  }
  void appendLogLine(const std::u16string&) override {}

  // Runs queued steps as the message loop would, one at a time, at most `limit` of them.
  int runQueue(int limit = 1000) {
    int ran = 0;
    while (!queue.empty() && ran < limit) {
      auto step = std::move(queue.front());
      queue.pop_front();
      step();
      ++ran;
    }
    return ran;
  }

  std::u16string slave = u"1";
  bool singleReg = true;
  int highlightRestarts = 0;
  int highlightStops = 0;
  int recordingStops = 0;
  std::deque<std::function<void()>> queue;
  std::vector<QString> messages;
  QString registerText = QStringLiteral("(untouched)");
  std::function<void()> onPending;
  ViewState* state = nullptr;
};

class OperationsTest : public ::testing::Test {
 protected:
  OperationsTest()
      : fake(new FakeSerialDevice),
        serial(std::unique_ptr<SerialDevice>(fake)),
        modbus(serial),
        model(state),
        dispatcher(modbus, window),
        ops(state, modbus, dispatcher, model, view, window) {
    window.state = &state;
    model.setTree(SampleTree());
    view.setRegisterModel(&model);
    view.resize(700, 500);
  }

  void SetUp() override {
    ASSERT_TRUE(serial.OpenPort(QStringLiteral("/dev/ttyFAKE0"), QStringLiteral("19200,n,8,2")));
  }

  RegisterTreeNode* node(std::u16string_view name) { return Find(model.tree().root(), name); }
  std::u16string value(std::u16string_view name) { return node(name)->data.Value; }
  std::string written(size_t i) const { return i < fake->writes.size() ? Hex(fake->writes[i]) : "(none)"; }
  // A read request for slave 1, function 3.
  static std::string readRequest(uint16_t address, uint16_t count) {
    return Hex(WithCrc({1, 3, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF), 0,
                        static_cast<uint8_t>(count)}));
  }
  // A good function 3 reply carrying these data bytes.
  void answer(const Bytes& data) {
    Bytes reply = {1, 3, static_cast<uint8_t>(data.size())};
    reply.insert(reply.end(), data.begin(), data.end());
    fake->queueRead(WithCrc(reply));
  }
  void answerWord(uint16_t word) {
    answer({static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)});
  }
  void silence() {
    fake->queueSilence();
    fake->queueSilence();
  }

  ViewState state;
  FakeSerialDevice* fake;  // owned by serial
  Serial serial;
  Modbus modbus;
  RegisterTreeModel model;
  RegisterTreeView view;
  TestWindow window;
  ExchangeDispatcher dispatcher;
  RegisterOperations ops;
};

}  // namespace velnorex::test
