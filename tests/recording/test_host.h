// A stand-in for the main window: real log window and timer, recorded messages, a scripted read.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QColor>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

#include "recording/recording.h"
#include "tests/support/tree_builder.h"
#include "treefile/tree_stream.h"

namespace velnorex::test {

class TestHost : public RecordingHost {
 public:
  ViewState state;
  QPlainTextEdit memo;
  QTimer timer;
  bool treeEnabled = true;
  int refreshes = 0;
  QColor indicator{0xA0, 0xA0, 0xA4};
  QString interval = QStringLiteral("1");
  QString slave = QStringLiteral("1");
  QString device = QStringLiteral("X.dat");
  RegisterTreeNode* focused = nullptr;
  bool isBusy = false;
  RegisterValue lastValue;
  QString registerText;
  QStringList messages;
  QStringList errors;
  std::vector<RegisterTreeNode*> reads;
  // Runs after the read has made the node current and emptied its Value, as the register operations do.
  std::function<void(RegisterTreeNode*)> onRead;

  ViewState& viewState() override { return state; }
  QPlainTextEdit& logWindow() override { return memo; }
  QTimer& recordTimer() override { return timer; }
  void setRegisterTreeEnabled(bool enabled) override { treeEnabled = enabled; }
  void refreshRegisterTree() override { ++refreshes; }
  void setRecordIndicator(const QColor& color) override { indicator = color; }
  QString intervalText() const override { return interval; }
  QString slaveText() const override { return slave; }
  QString deviceText() const override { return device; }
  RegisterTreeNode* focusedNode() const override { return focused; }
  void setRegisterText(const QString& name) override { registerText = name; }
  void readNode(RegisterTreeNode* node) override {
    reads.push_back(node);
    state.CurrentNode = node;
    state.CurrentRecord = &node->data;
    node->data.Value.clear();
    if (onRead) onRead(node);
  }
  const RegisterValue& lastReadValue() const override { return lastValue; }
  bool busy() const override { return isBusy; }
  void showMessage(const QString& text) override { messages << text; }
  void showError(std::exception_ptr error) override {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      errors << QString::fromUtf8(e.what());
    }
  }

  QStringList lines() const { return memo.toPlainText().split(u'\n'); }
};

// A small register tree: group "Pomiary" holding "Temperatura" (100, INT, RO) and "Tryb" (101, WORD, RW).
inline std::unique_ptr<RegisterTree> SampleTree() {
  return TreeBuilder()
      .group(u"Pomiary")
      .reg(u"Temperatura", u"100", u"INT", u"1", u"RO", u"7")
      .reg(u"Tryb", u"101", u"WORD", u"1", u"rw")
      .take();
}

}  // namespace velnorex::test
