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
#include "text/number_text.h"

namespace velnorex::test {

// Appends a node; the parent gets its has-children bit as a loaded file would have it.
inline RegisterTreeNode* Add(RegisterTreeNode* parent, std::u16string name, std::u16string address = {},
                             std::u16string type = {}, std::u16string count = {}, std::u16string access = {},
                             std::u16string value = {}, CheckType checkType = CheckType::ctNone,
                             CheckState checkState = CheckState::csUncheckedNormal) {
  parent->States |= NodeState::HasChildren;
  RegisterTreeNode* node = parent->appendChild();
  node->States = NodeState::Visible | NodeState::Initialized;
  node->data.Name = std::move(name);
  node->data.Address = std::move(address);
  node->data.Type = std::move(type);
  node->data.Count = std::move(count);
  node->data.Access = std::move(access);
  node->data.Value = std::move(value);
  node->checkType = checkType;
  node->checkState = checkState;
  return node;
}

// The definition most tests work on. Nodes are reachable by name through Find.
inline std::unique_ptr<RegisterTree> SampleTree() {
  auto tree = std::make_unique<RegisterTree>();
  RegisterTreeNode* root = &tree->root();
  RegisterTreeNode* measure = Add(root, u"Pomiary");
  Add(measure, u"Temperatura", u"100", u"INT", u"1", u"RO");
  Add(measure, u"Napięcie", u"$66", u"REAL", u"2", u"RO");
  Add(measure, u"Opis", u"110", u"TEXT", u"2", u"RO");

  RegisterTreeNode* config = Add(root, u"Konfiguracja");
  RegisterTreeNode* speed = Add(config, u"Prędkość", u"200", u"WORD", u"1", u"RP");
  Add(speed, u"9600", {}, {}, {}, {}, u"0", CheckType::ctRadioButton, CheckState::csCheckedNormal);
  Add(speed, u"19200", {}, {}, {}, {}, u"1", CheckType::ctRadioButton);
  RegisterTreeNode* mode = Add(config, u"Tryb", u"201", u"HEX", u"1", u"RW");
  Add(mode, u"A", {}, u"BIT", {}, {}, u"1", CheckType::ctCheckBox, CheckState::csCheckedNormal);
  Add(mode, u"B", {}, u"BIT", {}, {}, u"$12", CheckType::ctCheckBox);
  Add(mode, u"C", {}, u"BIT", {}, {}, u"4", CheckType::ctCheckBox, CheckState::csCheckedNormal);
  RegisterTreeNode* modeBytes = Add(mode, u"Bajt trybu");
  Add(modeBytes, u"D", {}, u"BIT", {}, {}, u"18", CheckType::ctCheckBox, CheckState::csCheckedNormal);
  Add(config, u"Słowo", u"202", u"WORD", u"1", u"RW");
  Add(config, u"Długie", u"204", u"INT", u"2", u"RW");
  Add(config, u"Małe", u"206", u"WORD", u"1", u"rw");
  RegisterTreeNode* ro = Add(config, u"Stałe", u"207", u"WORD", u"1", u"RO");
  Add(ro, u"Siedem", {}, {}, {}, {}, u"7", CheckType::ctCheckBox);
  RegisterTreeNode* bytes = Add(config, u"Bajty", u"208", u"WORD", u"1", u"RW", u"$1234");
  RegisterTreeNode* high = Add(bytes, u"Wysoki");
  Add(high, u"H2", {}, {}, {}, {}, u"$0200", CheckType::ctRadioButton);
  Add(high, u"H3", {}, {}, {}, {}, u"$0300", CheckType::ctRadioButton);
  RegisterTreeNode* low = Add(bytes, u"Niski");
  Add(low, u"L5", {}, {}, {}, {}, u"5", CheckType::ctRadioButton);
  Add(low, u"L6", {}, {}, {}, {}, u"6", CheckType::ctRadioButton);
  RegisterTreeNode* other = Add(config, u"Inny HEX", u"209", u"HEX", u"1", u"RW");
  Add(other, u"X", {}, u"BIT", {}, {}, u"1", CheckType::ctCheckBox, CheckState::csCheckedNormal);

  Add(root, u"Pusta");
  RegisterTreeNode* hidden = Add(root, u"Ukryty", u"300", u"WORD", u"1", u"RO");
  hidden->States &= static_cast<uint16_t>(~NodeState::Visible);
  RegisterTreeNode* noBit = Add(root, u"Bez bitu", u"301", u"WORD", u"1", u"RO");
  Add(noBit, u"Dziecko");
  noBit->States &= static_cast<uint16_t>(~NodeState::HasChildren);
  return tree;
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
