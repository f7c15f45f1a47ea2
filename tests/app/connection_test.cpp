// The connection panel: over a fresh pseudo-terminal for what the line does, over the scripted device for
// what the window asks of the Serial unit.
#include <QLineEdit>
#include <QTest>

#include "tests/app/app_fixture.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/pty.h"

namespace velnorex::test {
namespace {

constexpr int kLossWaitMs = 5000;

TEST_F(AppTest, ConnectOverAPseudoTerminalEndsLimeAndDisconnectGrey) {
  PseudoTerminal pty;
  auto w = makeWindow();
  w->ComCBox->setEditText(QString::fromStdString(pty.slavePath()));
  w->btConnect->click();
  EXPECT_TRUE(w->serial.PortOpen());
  EXPECT_EQ(w->shConnect->color(), kColorLime);
  EXPECT_EQ(w->serial.PortPath(), QString::fromStdString(pty.slavePath()));
  EXPECT_EQ(w->serial.PortMode(), QStringLiteral("9600,n,8,2"));
  EXPECT_EQ(w->serial.Timeouts().ReadIntervalTimeout, 30u);
  EXPECT_EQ(w->serial.Timeouts().ReadTotalTimeoutConstant, 40u);
  EXPECT_EQ(w->serial.Timeouts().WriteTotalTimeoutConstant, 30u);

  // Again while connected: closed and opened anew, lime again.
  w->btConnect->click();
  EXPECT_TRUE(w->serial.PortOpen());
  EXPECT_EQ(w->shConnect->color(), kColorLime);

  w->btDisconnect->click();
  EXPECT_FALSE(w->serial.PortOpen());
  EXPECT_EQ(w->shConnect->color(), kColorGrey);
  // "Rozłącz" with nothing open still paints grey.
  w->shConnect->setColor(kColorRed);
  w->btDisconnect->click();
  EXPECT_EQ(w->shConnect->color(), kColorGrey);
  EXPECT_TRUE(messages.empty());
}

TEST_F(AppTest, APortThatDoesNotExistEndsRedAndAnEmptyNameAsksForAPort) {
  auto w = makeWindow();
  w->btConnect->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("wybierz port szeregowy"));
  EXPECT_EQ(messages[0].caption, QStringLiteral("velnorex"));
  EXPECT_EQ(w->shConnect->color(), kColorMediumGrey);

  w->ComCBox->setEditText(QStringLiteral("/dev/velnorex-no-such-port"));
  w->btConnect->click();
  EXPECT_FALSE(w->serial.PortOpen());
  EXPECT_EQ(w->shConnect->color(), kColorRed);

  w->ComCBox->setEditText(QString());
  w->btConnect->click();
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(w->shConnect->color(), kColorRed);  // the colour stays
}

TEST_F(AppTest, ThePseudoTerminalsOtherEndClosingTurnsTheIndicatorRed) {
  PseudoTerminal pty;
  auto w = makeWindow();
  w->ComCBox->setEditText(QString::fromStdString(pty.slavePath()));
  w->btConnectClick();
  ASSERT_EQ(w->shConnect->color(), kColorLime);
  pty.closeMaster();
  QTRY_COMPARE_WITH_TIMEOUT(w->shConnect->color(), kColorRed, kLossWaitMs);
  EXPECT_FALSE(w->serial.PortOpen());
}

TEST_F(AppTest, ChangingBaudParityOrPortWhileConnectedDisconnects) {
  PseudoTerminal pty;
  auto w = makeWindow();
  const QString path = QString::fromStdString(pty.slavePath());
  w->ComCBox->setEditText(path);

  const std::function<void()> changes[] = {
      [&] { w->cbxBaud->setCurrentIndex(1); },
      [&] { w->cbxBaud->lineEdit()->setText(QStringLiteral("1920")); },  // typed
      [&] { w->cbxParity->setCurrentIndex(w->cbxParity->currentIndex() == 0 ? 2 : 0); },
      [&] { w->ComCBox->setEditText(path + QStringLiteral("x")); },
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    SCOPED_TRACE(i);
    w->ComCBox->setEditText(path);
    w->cbxBaud->setCurrentIndex(0);
    w->cbxParity->setCurrentIndex(0);
    w->btConnectClick();
    ASSERT_EQ(w->shConnect->color(), kColorLime);
    w->state.Recording = true;
    changes[i]();
    EXPECT_FALSE(w->state.Recording);  // stopped before the port closed
    EXPECT_FALSE(w->serial.PortOpen());
    EXPECT_EQ(w->shConnect->color(), kColorGrey);

    // Disconnected, the same change does nothing.
    w->shConnect->setColor(kColorRed);
    changes[i]();
    EXPECT_EQ(w->shConnect->color(), kColorRed);
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(AppTest, TheModeStringFollowsBaudTextAndParityIndex) {
  auto device = std::make_unique<FakeSerialDevice>();
  FakeSerialDevice* fake = device.get();
  auto w = makeWindow(std::move(device));
  w->ComCBox->setEditText(QStringLiteral("ttyUSB0"));
  struct Case {
    const char* baud;
    const char* parity;  // chosen from the list, or typed when it names no item or `typed` says so
    const char* mode;
    bool typed = false;
  } cases[] = {
      {"9600", "none", "9600,n,8,2"},
      {"19200", "even", "19200,e,8,1"},
      {"19200", "odd", "19200,o,8,1"},
      {"115200", "xyz", "115200,n,8,2"},
      {"9600", "odd", "9600,o,8,1", true},  // typed text that equals an item counts as that item
      {"", "even", ",e,8,1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    w->cbxBaud->setEditText(QString::fromLatin1(c.baud));
    const int item = w->cbxParity->findText(QString::fromLatin1(c.parity));
    if (item >= 0 && !c.typed) {
      w->cbxParity->setCurrentIndex(item);
    } else {
      w->cbxParity->setCurrentIndex(0);
      w->cbxParity->setEditText(QString::fromLatin1(c.parity));
    }
    w->btConnectClick();
    EXPECT_EQ(w->serial.PortMode(), QString::fromLatin1(c.mode));
    EXPECT_EQ(fake->lastPath, QStringLiteral("/dev/ttyUSB0"));
  }
  // "115200" opened; an empty baud is not accepted: red.
  EXPECT_EQ(w->shConnect->color(), kColorRed);
  EXPECT_FALSE(w->serial.PortOpen());

  // Time-outs refused: the port is closed again, red.
  w->cbxBaud->setCurrentIndex(0);
  fake->failTimeouts = true;
  w->btConnectClick();
  EXPECT_FALSE(w->serial.PortOpen());
  EXPECT_FALSE(fake->isOpen());
  EXPECT_EQ(w->shConnect->color(), kColorRed);

  fake->failTimeouts = false;
  const int opens = fake->openCalls;
  const int closes = fake->closeCalls;
  w->btConnectClick();
  ASSERT_EQ(w->shConnect->color(), kColorLime);
  EXPECT_EQ(fake->lastTimeouts.ReadIntervalTimeout, 30u);
  EXPECT_EQ(fake->lastTimeouts.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(fake->lastTimeouts.ReadTotalTimeoutConstant, 40u);
  EXPECT_EQ(fake->lastTimeouts.WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(fake->lastTimeouts.WriteTotalTimeoutConstant, 30u);
  // Connecting while connected closes first, then opens.
  w->btConnectClick();
  EXPECT_EQ(fake->openCalls, opens + 2);
  EXPECT_EQ(fake->closeCalls, closes + 1);
  EXPECT_EQ(w->shConnect->color(), kColorLime);

  // The device vanishing turns the indicator red.
  fake->vanish();
  EXPECT_EQ(w->shConnect->color(), kColorRed);
  EXPECT_FALSE(w->serial.PortOpen());
}

TEST_F(AppTest, AFoundLineIsChosenAsTheOperatorWouldAndConnected) {
  auto device = std::make_unique<FakeSerialDevice>();
  FakeSerialDevice* fake = device.get();
  auto w = makeWindow(std::move(device));
  w->ComCBox->setEditText(QStringLiteral("ttyUSB0"));
  w->btConnectClick();
  // A listed baud rate becomes its item (the settings keep it), another one is typed.
  w->connection.UseLine(QStringLiteral("ttyUSB1"), 19200, 'o');
  EXPECT_EQ(w->ComCBox->currentText(), QStringLiteral("ttyUSB1"));
  EXPECT_EQ(ItemIndex(w->cbxBaud), 1);
  EXPECT_EQ(ItemIndex(w->cbxParity), 2);
  EXPECT_EQ(fake->lastPath, QStringLiteral("/dev/ttyUSB1"));
  EXPECT_EQ(w->serial.PortMode(), QStringLiteral("19200,o,8,1"));
  EXPECT_EQ(w->shConnect->color(), kColorLime);
  w->connection.UseLine(QStringLiteral("ttyUSB1"), 1200, 'n');
  EXPECT_EQ(w->cbxBaud->currentText(), QStringLiteral("1200"));
  EXPECT_EQ(ItemIndex(w->cbxBaud), -1);
  EXPECT_EQ(ItemIndex(w->cbxParity), 0);
  EXPECT_EQ(w->serial.PortMode(), QStringLiteral("1200,n,8,2"));
  EXPECT_TRUE(w->serial.PortOpen());
  EXPECT_TRUE(messages.empty());
}

TEST_F(AppTest, EnteringThePortBoxRefillsTheListAndKeepsTheTypedText) {
  auto device = std::make_unique<FakeSerialDevice>();
  auto w = makeWindow(std::move(device));
  showAndSettle(*w);
  w->ComCBox->setEditText(QStringLiteral("ttyTYPED"));
  w->btConnectClick();
  ASSERT_TRUE(w->serial.PortOpen());

  w->eSlave->setFocus(Qt::TabFocusReason);
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(w->ComCBox, &in);
  QStringList first;
  for (int i = 0; i < w->ComCBox->count(); ++i) first << w->ComCBox->itemText(i);
  EXPECT_EQ(w->ComCBox->currentText(), QStringLiteral("ttyTYPED"));
  // Each port's description is its tool tip; at the least it names the device file.
  for (int i = 0; i < w->ComCBox->count(); ++i)
    EXPECT_TRUE(w->ComCBox->itemData(i, Qt::ToolTipRole).toString().contains(w->ComCBox->itemText(i)))
        << w->ComCBox->itemText(i).toStdString();

  QApplication::sendEvent(w->ComCBox, &in);
  QStringList second;
  for (int i = 0; i < w->ComCBox->count(); ++i) second << w->ComCBox->itemText(i);
  EXPECT_EQ(first, second);
  EXPECT_EQ(w->ComCBox->currentText(), QStringLiteral("ttyTYPED"));
  // The refill is no change of the port: the link stays up.
  EXPECT_TRUE(w->serial.PortOpen());
  EXPECT_EQ(w->shConnect->color(), kColorLime);
}

}  // namespace
}  // namespace velnorex::test
