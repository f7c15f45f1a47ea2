// A stand-in for the main window: real log window and timer, recorded messages, a scripted read.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QColor>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

#include "recording/recording.h"
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
inline void BuildSampleTree(RegisterTree& tree) {
  RegisterTreeNode* group = tree.root().appendChild();
  group->data.Name = u"Pomiary";
  group->States |= NodeState::HasChildren;
  RegisterTreeNode* temp = group->appendChild();
  temp->data = {u"Temperatura", u"", u"100", u"INT", u"1", u"RO", u"7"};
  RegisterTreeNode* mode = group->appendChild();
  mode->data = {u"Tryb", u"", u"101", u"WORD", u"1", u"rw", u""};
}

}  // namespace velnorex::test
