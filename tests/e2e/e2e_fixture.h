// The whole window against the transducer simulator: a private folder with copies of the sample definitions,
// velnorex-sim on a fresh pseudo-terminal, the port typed into ComCBox and "Połącz" clicked, message boxes
// recorded instead of shown.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "app/message_box.h"
#include "modbus/modbus.h"
#include "registers/register_operations.h"
#include "tests/support/frames.h"
#include "tests/support/simulator.h"
#include "tests/support/tree_builder.h"
#include "text/number_text.h"
#include "treefile/tree_stream.h"

namespace velnorex::test {

// A request as it goes out: the bytes and their CRC, low byte first.
inline std::string Request(Bytes frame) {
  return Hex(WithCrc(std::move(frame)));
}
inline std::string ReadRequest(uint16_t address, uint8_t count, uint8_t slave = 1) {
  return Request({slave, 3, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), 0, count});
}

// Processes events until `condition` holds or `timeout` passes; true when it holds.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(5);
  }
  return true;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    const QDir bin(QString::fromStdString(BinDir()));
    for (const QString& name : {QStringLiteral("THV-21.dat"), QStringLiteral("PMV-3.dat")})
      ASSERT_TRUE(QFile::copy(bin.filePath(name), dir.filePath(name))) << name.toStdString();
    writeShapesDefinition();
    previousHook_ = SetMessageBoxHook([this](const ShownMessage& m) { messages.push_back(m.text); });
    form = std::make_unique<TForm1>(TForm1::Paths{
        dir.filePath(QStringLiteral("velnorex.INI")), dir.filePath(QStringLiteral("velnorex.log")),
        dir.filePath(QStringLiteral("velnorex.lst")), QStringList{dir.path()},
        dir.filePath(QStringLiteral("recordings"))});
    form->resize(1100, 800);
    form->show();
    QApplication::setActiveWindow(form.get());
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  }

  void TearDown() override {
    if (form) {
      form->close();
      form.reset();
    }
    sim.reset();
    SetMessageBoxHook(previousHook_);
  }

  // Definitions that the samples lack: a lower-case "rw", a register whose bytes are composed from two
  // untyped sub-groups, and an empty group.
  void writeShapesDefinition() {
    constexpr CheckType radio = CheckType::ctRadioButton;
    TreeBuilder b;
    b.group(u"Kształty").reg(u"Małe rw", u"300", u"WORD", u"1", u"rw", u"1");
    b.reg(u"Bajty", u"301", u"WORD", u"1", u"RW", u"$1234").open();
    b.group(u"Starszy").option(u"H2", u"$0200", radio).option(u"H3", u"$0300", radio).end();
    b.group(u"Młodszy").option(u"L5", u"5", radio).option(u"L6", u"6", radio).end();
    b.end().end().group(u"Pusta grupa");
    b.save(dir.filePath(QStringLiteral("KSZTALTY.dat")).toStdString());
  }

  // Starts the simulator with a definition from the private folder and connects the window to it: on a
  // pseudo-terminal, or serving Modbus TCP or RTU over TCP on 127.0.0.1, its address typed as the port.
  void connectTo(const QString& definition, std::vector<std::string> args = {},
                 PeerLink link = PeerLink::Pty) {
    args.insert(args.begin(), {"--definition", dir.filePath(definition).toStdString()});
    sim = std::make_unique<SimulatorProcess>(link, args);
    form->ComCBox->setEditText(QString::fromStdString(sim->path()));
    QTest::mouseClick(form->btConnect, Qt::LeftButton);
    ASSERT_TRUE(form->serial.PortOpen()) << "no connection to " << sim->path();
  }

  // A group read of THV-21.dat that never ends by itself: the register at `address` answers every request
  // with an exception. Returns once `requestCount` requests went out, with the group still running.
  void startEndlessGroupRead(std::u16string_view group, const std::string& address, size_t requestCount) {
    connectTo(QStringLiteral("THV-21.dat"), {"--exception-at", address});
    selectDevice(QStringLiteral("THV-21.dat"));
    doubleClick(group);
    ASSERT_TRUE(waitForRequests(requestCount));
    ASSERT_TRUE(form->state.GroupActive);
  }

  // Chooses a definition in "Typ" as the operator does: the box gains the focus, then an item is picked.
  void selectDevice(const QString& name) {
    form->eSlave->setFocus();
    QApplication::processEvents();
    form->cbxDevice->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    const int item = form->cbxDevice->findText(name);
    ASSERT_GE(item, 0) << name.toStdString() << " not listed";
    form->cbxDevice->setCurrentIndex(item);
    emit form->cbxDevice->activated(item);
    QApplication::processEvents();
  }

  RegisterTreeNode* node(std::u16string_view name) { return find(form->VTModel->tree().root(), name); }
  static RegisterTreeNode* find(RegisterTreeNode& from, std::u16string_view name) {
    for (const auto& child : from.children()) {
      if (child->data.Name == name) return child.get();
      if (RegisterTreeNode* hit = find(*child, name)) return hit;
    }
    return nullptr;
  }
  QModelIndex index(std::u16string_view name, int column = 0) {
    return form->VTModel->indexOf(node(name), column);
  }
  std::u16string value(std::u16string_view name) { return node(name)->data.Value; }
  QVariant colour(std::u16string_view name, int column) {
    return index(name, column).data(Qt::ForegroundRole);
  }

  // The point in the viewport of a cell, scrolled into view; its parents are expanded first.
  QPoint cellPoint(std::u16string_view name, int column = 0) {
    const QModelIndex cell = index(name, column);
    for (QModelIndex up = cell.parent(); up.isValid(); up = up.parent()) form->VT->expand(up);
    form->VT->scrollTo(cell);
    QApplication::processEvents();
    QRect rect = form->VT->visualRect(cell);
    // Clear of the check box at the left of a name.
    return QPoint(column == 0 ? rect.right() - 10 : rect.center().x(), rect.center().y());
  }
  void click(std::u16string_view name, int column = 0) {
    QTest::mouseClick(form->VT->viewport(), Qt::LeftButton, {}, cellPoint(name, column));
  }
  void doubleClick(std::u16string_view name, int column = 0) {
    const QPoint at = cellPoint(name, column);
    QTest::mouseClick(form->VT->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form->VT->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(form->VT->viewport(), Qt::LeftButton, {}, at);
  }
  // Clicks the check box or radio button of an option.
  void tick(std::u16string_view name) {
    const QModelIndex cell = index(name);
    for (QModelIndex up = cell.parent(); up.isValid(); up = up.parent()) form->VT->expand(up);
    form->VT->scrollTo(cell);
    QApplication::processEvents();
    QStyleOptionViewItem option;
    option.initFrom(form->VT);
    option.rect = form->VT->visualRect(cell);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box =
        form->VT->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, form->VT);
    QTest::mouseClick(form->VT->viewport(), Qt::LeftButton, {}, box.center());
  }

  // The requests the simulator received so far, as hex text.
  std::vector<std::string> requests() const {
    std::vector<std::string> out;
    for (const WireFrame& frame : sim->logLines())
      if (frame.direction == '>') out.push_back(Hex(frame.bytes));
    return out;
  }
  bool waitForRequests(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return WaitFor([&] { return requests().size() >= count; }, timeout);
  }
  bool waitForGroupEnd() {
    return WaitFor([&] { return !form->state.GroupActive && !form->modbus.InTransaction(); });
  }

  QTemporaryDir dir;
  std::vector<QString> messages;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<SimulatorProcess> sim;

 private:
  std::function<void(const ShownMessage&)> previousHook_;
};

}  // namespace velnorex::test
