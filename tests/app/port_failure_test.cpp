// Port problems in words: each reason a connection fails or ends, in the status area's port line, which the
// help toggle on stBar leaves alone and the next connect clears.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

#include "serial/port_list.h"
#include "tests/app/app_fixture.h"
#include "tests/support/as_nobody.h"
#include "tests/support/pty.h"

namespace velnorex::test {
namespace {

QString PortLine(const TForm1& w) {
  return w.stPort->isVisible() ? w.stPort->text() : QString();
}

TEST_F(AppTest, EachPortFailureIsSaidAndStaysUntilTheNextConnect) {
  PseudoTerminal pty;
  const QString path = QString::fromStdString(pty.slavePath());
  auto w = makeWindow();
  showAndSettle(*w);
  EXPECT_EQ(PortLine(*w), QString());

  // Not found.
  w->ComCBox->setEditText(QStringLiteral("/dev/velnorex-no-such-port"));
  w->btConnectClick();
  EXPECT_EQ(w->shConnect->color(), kColorRed);
  EXPECT_EQ(PortLine(*w), QStringLiteral("nie znaleziono portu /dev/velnorex-no-such-port"));
  // The help toggle has stBar to itself; the port line stays through F1, Esc and "Rozłącz".
  QTest::keyClick(w->eSlave, Qt::Key_F1);
  EXPECT_EQ(w->stBar->currentMessage(), QStringLiteral("Esc - zamknij pomoc"));
  EXPECT_EQ(PortLine(*w), QStringLiteral("nie znaleziono portu /dev/velnorex-no-such-port"));
  QTest::keyClick(w->eSlave, Qt::Key_Escape);
  EXPECT_EQ(w->stBar->currentMessage(), QStringLiteral("F1 - pomoc"));
  w->btDisconnectClick();
  EXPECT_EQ(PortLine(*w), QStringLiteral("nie znaleziono portu /dev/velnorex-no-such-port"));
  EXPECT_FALSE(w->stPort->geometry().intersects(w->stBar->geometry()));

  // Busy: another program holds the port.
  {
    QSerialPort holder(path);
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    w->ComCBox->setEditText(path);
    w->btConnectClick();
    EXPECT_EQ(w->shConnect->color(), kColorRed);
    EXPECT_EQ(PortLine(*w), QStringLiteral("port %1 zajęty przez inny program").arg(path));
  }

  // A setting the mode string refuses.
  w->cbxBaud->setEditText(QStringLiteral("szybko"));
  w->btConnectClick();
  EXPECT_EQ(PortLine(*w), QStringLiteral("port %1 nie przyjął ustawień").arg(path));

  // A good connect clears the line; the port vanishing says so.
  w->cbxBaud->setCurrentIndex(0);
  w->btConnectClick();
  ASSERT_EQ(w->shConnect->color(), kColorLime);
  EXPECT_EQ(PortLine(*w), QString());
  pty.closeMaster();
  QTRY_COMPARE_WITH_TIMEOUT(w->shConnect->color(), kColorRed, 5000);
  EXPECT_EQ(PortLine(*w), QStringLiteral("port %1 zniknął - połączenie przerwane").arg(path));
  EXPECT_TRUE(messages.empty());
}

// A network address: the line settings do not apply, and why a connection fails is said in words.
TEST_F(AppTest, ANetworkAddressDisablesTheLineSettingsAndItsFailuresAreSaid) {
  auto w = makeWindow();
  showAndSettle(*w);
  const QString hint = w->cbxBaud->toolTip();
  const auto failsWith = [&](const QString& address, const QString& line) {
    w->ComCBox->setEditText(address);
    EXPECT_FALSE(w->cbxBaud->isEnabled());
    EXPECT_FALSE(w->cbxParity->isEnabled());
    EXPECT_EQ(w->cbxBaud->toolTip(), QStringLiteral("nie dotyczy połączenia TCP"));
    w->btConnectClick();
    EXPECT_FALSE(w->serial.PortOpen());
    EXPECT_EQ(w->shConnect->color(), kColorRed);
    EXPECT_EQ(PortLine(*w), line);
  };
  // Nothing listens on port 1 of this machine.
  failsWith(QStringLiteral("tcp://127.0.0.1:1"), QStringLiteral("tcp://127.0.0.1:1 odrzucił połączenie"));
  // A name no resolver can hold (an empty label): unknown without asking a name server.
  failsWith(QStringLiteral("rtu+tcp://no..such-host:502"),
            QStringLiteral("nieznany host w adresie rtu+tcp://no..such-host:502"));
  failsWith(QStringLiteral("tcp://127.0.0.1:99999"),
            QStringLiteral("niepoprawny adres tcp://127.0.0.1:99999 - wpisz tcp://host:port lub "
                           "rtu+tcp://host:port"));
  // A port name again: the line settings apply again, with their own hints.
  w->ComCBox->setEditText(QStringLiteral("ttyUSB0"));
  EXPECT_TRUE(w->cbxBaud->isEnabled());
  EXPECT_TRUE(w->cbxParity->isEnabled());
  EXPECT_EQ(w->cbxBaud->toolTip(), hint);
  EXPECT_TRUE(messages.empty());
}

// A listener on 127.0.0.1 that never accepts, its backlog filled by one connection: the next connect to it
// neither succeeds nor fails until it is given up.
class HangingListener {
 public:
  HangingListener() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ok_ = listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
          ::listen(listener_, 0) == 0 &&
          ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
          ::connect(filler_, reinterpret_cast<sockaddr*>(&address), length) == 0;
    port_ = ntohs(address.sin_port);
  }
  ~HangingListener() {
    ::close(filler_);
    ::close(listener_);
  }
  bool ok() const { return ok_; }
  QString address() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }

 private:
  int listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  int filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
  uint16_t port_ = 0;
  bool ok_ = false;
};

// While a connection is being made the window goes on (a timer fires, the status line says what it waits
// for), the line takes no transaction, and "Rozłącz" gives the connection up: grey, and said so.
TEST_F(AppTest, AConnectionBeingMadeKeepsTheWindowGoingAndRozlaczGivesItUp) {
  HangingListener listener;
  ASSERT_TRUE(listener.ok());
  auto w = makeWindow();
  showAndSettle(*w);
  w->ComCBox->setEditText(listener.address());
  int ticks = 0;
  bool lineHeld = false;
  QString waiting;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    if (++ticks == 3) {
      waiting = PortLine(*w);
      lineHeld = w->modbus.InTransaction();
      w->btConnectClick();  // again: changes nothing while connecting
      w->btDisconnectClick();
    }
  });
  ticker.start(10);
  w->btConnectClick();
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(waiting, QStringLiteral("łączenie z %1… ('Rozłącz' przerywa)").arg(listener.address()));
  EXPECT_TRUE(lineHeld);
  EXPECT_FALSE(w->serial.PortOpen());
  EXPECT_FALSE(w->modbus.InTransaction());
  EXPECT_EQ(w->shConnect->color(), kColorGrey);
  EXPECT_EQ(PortLine(*w), QStringLiteral("przerwano łączenie z %1").arg(listener.address()));
  EXPECT_TRUE(messages.empty());
}

// A device file the user may not open (root opens anything: as root the test runs as "nobody").
TEST_F(AppTest, APortWithoutPermissionNamesTheDialoutGroup) {
  VELNOREX_AS_NOBODY_WHEN_ROOT();
  const QString device = dir.filePath(QStringLiteral("ttyLOCKED"));
  writeFile(device, "");
  ASSERT_TRUE(QFile::setPermissions(device, QFileDevice::Permissions()));
  auto w = makeWindow();
  w->ComCBox->setEditText(device);
  w->btConnectClick();
  EXPECT_FALSE(w->serial.PortOpen());
  EXPECT_EQ(w->shConnect->color(), kColorRed);
  EXPECT_EQ(w->stPort->text(),
            QStringLiteral("brak uprawnień do portu %1 - dodaj użytkownika do grupy dialout "
                           "i zaloguj się ponownie")
                .arg(device));
}

TEST(PortDescription, NamesProductMakerAndSerialNumber) {
  EXPECT_EQ(PortDescription(QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
                            QStringLiteral("A50285BI"), QStringLiteral("/dev/ttyUSB0")),
            QStringLiteral("FT232R USB UART, FTDI, nr A50285BI (/dev/ttyUSB0)"));
  // A maker already named in the product is not repeated; empty parts are left out.
  EXPECT_EQ(PortDescription(QStringLiteral("CP2102 USB to UART Bridge (Silicon Labs)"),
                            QStringLiteral("Silicon Labs"), QString(), QStringLiteral("/dev/ttyUSB1")),
            QStringLiteral("CP2102 USB to UART Bridge (Silicon Labs) (/dev/ttyUSB1)"));
  EXPECT_EQ(PortDescription(QString(), QString(), QString(), QStringLiteral("/dev/ttyS0")),
            QStringLiteral("(/dev/ttyS0)"));
}

}  // namespace
}  // namespace velnorex::test
