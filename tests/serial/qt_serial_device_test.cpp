// Serial over QSerialPort on a fresh pseudo-terminal per test: exclusive open, line settings, the time-outs
// of a read, the purge before each request, and a line whose other end goes away.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "serial/line_tap.h"
#include "serial/qt_serial_device.h"
#include "serial/serial.h"
#include "tests/support/frames.h"
#include "tests/support/pty.h"

namespace velnorex {
namespace {

using test::CountCheck;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::unique_ptr<Serial> makeSerial() {
  return std::make_unique<Serial>(std::make_unique<QtSerialDevice>());
}

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Lets the event loop run until `done` holds or a generous deadline passes.
template <typename Done>
bool processEventsUntil(Done done) {
  QDeadlineTimer deadline(5000);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

struct SerialOnPty : ::testing::Test {
  void connect(const char* mode = "19200,n,8,2") {
    ASSERT_TRUE(serial->OpenPort(QString::fromStdString(pty.slavePath()), mode));
    ASSERT_TRUE(serial->SetPortTimeouts(30, 0, 40, 0, 30));
  }
  termios lineSettings() {
    termios tio{};
    const auto& device = dynamic_cast<QtSerialDevice&>(serial->device());
    EXPECT_EQ(tcgetattr(static_cast<int>(device.port().handle()), &tio), 0);
    return tio;
  }
  test::PseudoTerminal pty;
  std::unique_ptr<Serial> serial = makeSerial();
};

TEST_F(SerialOnPty, OpensExclusivelyAndFailsForAMissingPort) {
  connect();
  EXPECT_TRUE(serial->PortOpen());
  EXPECT_TRUE(serial->device().isOpen());

  auto second = makeSerial();
  EXPECT_FALSE(second->OpenPort(QString::fromStdString(pty.slavePath()), "19200,n,8,2"));
  EXPECT_FALSE(second->PortOpen());

  serial->ClosePort();
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_TRUE(second->OpenPort(QString::fromStdString(pty.slavePath()), "19200,n,8,2"));
  second->ClosePort();

  EXPECT_FALSE(serial->OpenPort("/dev/velnorex-no-such-port", "19200,n,8,2"));
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_FALSE(serial->OpenPort(Serial::PathForPortName("ttyVelnorexNone"), "19200,n,8,2"));
}

TEST_F(SerialOnPty, ParityNoneOpensWithTwoStopBitsAndEightDataBits) {
  connect("19200,n,8,2");
  termios tio = lineSettings();
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(tio.c_cflag & (CRTSCTS));  // no flow control
  EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));
}

TEST_F(SerialOnPty, EvenParityOpensWithOneStopBit) {
  // A pty drops the parity flag and forces eight data bits, so only the stop bits can be read back; that the
  // panel's default opens on a pty at all matters to every test that runs a peer.
  connect("9600,e,8,1");
  EXPECT_FALSE(lineSettings().c_cflag & CSTOPB);
  serial->ClosePort();
  connect("9600,n,8,2");
  EXPECT_TRUE(lineSettings().c_cflag & CSTOPB);
}

TEST_F(SerialOnPty, ARefusedSettingLeavesThePortClosedAndFree) {
  // One and a half stop bits exist only on Windows: the open fails and must not keep the port.
  EXPECT_FALSE(serial->OpenPort(QString::fromStdString(pty.slavePath()), "19200,n,8,1.5"));
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_FALSE(serial->device().isOpen());
  auto other = makeSerial();
  EXPECT_TRUE(other->OpenPort(QString::fromStdString(pty.slavePath()), "19200,n,8,2"));
}

TEST_F(SerialOnPty, WritePortPutsTheExactBytesOnTheLine) {
  connect();
  const uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
  EXPECT_EQ(serial->WritePort(request, sizeof request), sizeof request);
  EXPECT_EQ(pty.receive(sizeof request, 2000ms), std::vector<uint8_t>(request, request + sizeof request));
}

TEST_F(SerialOnPty, ReadWithNothingArrivingEndsAfterTheTotalTimeout) {
  connect();
  const auto start = Clock::now();
  EXPECT_TRUE(serial->ReadPort());
  const auto elapsed = msSince(start);
  EXPECT_EQ(serial->BytesRead, 0u);
  EXPECT_GE(elapsed, 35);
  EXPECT_LT(elapsed, 1000);
}

TEST_F(SerialOnPty, ReadEndsAfterTheGapThatFollowsTheBytes) {
  connect();
  ASSERT_TRUE(serial->SetPortTimeouts(30, 0, 3000, 0, 30));  // a long total: only the gap can end it early
  pty.send({0x01, 0x03, 0x04});
  const auto start = Clock::now();
  EXPECT_TRUE(serial->ReadPort());
  const auto elapsed = msSince(start);
  ASSERT_EQ(serial->BytesRead, 3u);
  EXPECT_EQ(serial->ReplyBuffer[2], 0x04);
  EXPECT_GE(elapsed, 25);
  EXPECT_LT(elapsed, 1500);
}

TEST_F(SerialOnPty, ReadEndsAtTheBufferSizeAndLeavesTheRestForTheNextRead) {
  connect();
  ASSERT_TRUE(serial->SetPortTimeouts(2000, 0, 5000, 0, 30));
  std::vector<uint8_t> flood(200);
  for (size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<uint8_t>(i);
  pty.send(flood);
  // Let all of it reach the slave before the read starts.
  std::this_thread::sleep_for(50ms);
  const auto start = Clock::now();
  EXPECT_TRUE(serial->ReadPort());
  EXPECT_LT(msSince(start), 1000);
  ASSERT_EQ(serial->BytesRead, static_cast<uint32_t>(Serial::kBufferSize));
  EXPECT_EQ(serial->ReplyBuffer[127], 127);
  ASSERT_TRUE(serial->SetPortTimeouts(30, 0, 40, 0, 30));
  EXPECT_TRUE(serial->ReadPort());
  ASSERT_EQ(serial->BytesRead, 72u);
  EXPECT_EQ(serial->ReplyBuffer[0], 128);
}

TEST_F(SerialOnPty, ACompleteReplyEndsTheReadBeforeTheTimeouts) {
  connect();
  ASSERT_TRUE(serial->SetPortTimeouts(1000, 0, 5000, 0, 30));
  // The reply comes in two pieces, the second after the read started; the other end then keeps quiet.
  std::thread peer([this] {
    pty.send({0x01, 0x06});
    std::this_thread::sleep_for(100ms);
    pty.send({0x00, 0x01, 0xAA});
  });
  CountCheck check(5);
  const auto start = Clock::now();
  EXPECT_TRUE(serial->ReadPort(&check));
  const auto elapsed = msSince(start);
  peer.join();
  ASSERT_EQ(serial->BytesRead, 5u);
  EXPECT_EQ(serial->ReplyBuffer[4], 0xAA);
  EXPECT_GE(check.calls, 2);
  EXPECT_LT(elapsed, 900);  // neither the 1 s gap nor the 5 s total ran out
}

// Complete at five bytes; three bytes are a whole reply too, but only when the line stays quiet after them.
class QuietCheck : public ReplyCheck {
 public:
  bool complete(const uint8_t*, size_t count) const override { return count == 5; }
  uint32_t quietToComplete(const uint8_t*, size_t count) const override { return count == 3 ? 1000000 : 0; }
};

TEST_F(SerialOnPty, AReplyThatNeedsAQuietEndsAfterItAndTheTapSeesEveryChunk) {
  // Under the tap, as the program runs it: the tap must not change what a read does.
  auto tapped = std::make_unique<LineTap>(std::make_unique<QtSerialDevice>());
  LineTap& tap = *tapped;
  serial = std::make_unique<Serial>(std::move(tapped));
  connect();
  ASSERT_TRUE(serial->SetPortTimeouts(4000, 0, 8000, 0, 30));
  QuietCheck check;

  // Nothing follows the three bytes: the read ends 1 s after them, long before the 4 s gap.
  ASSERT_EQ(serial->WritePort(std::vector<uint8_t>{0x01, 0x06}.data(), 2), 2);
  pty.send({0x01, 0x06, 0x00});
  auto start = Clock::now();
  EXPECT_TRUE(serial->ReadPort(&check));
  const auto quietEnd = msSince(start);
  EXPECT_LT(quietEnd, 3500);
  EXPECT_GE(quietEnd, 950);
  EXPECT_EQ(serial->BytesRead, 3u);
  EXPECT_EQ(tap.capture().received, 3u);
  EXPECT_GE(tap.capture().chunkCount, 1);
  EXPECT_GE(tap.arrivalNs(2), tap.capture().writeStartNs);

  // Two more bytes within the quiet: the read goes on and ends when they make the reply complete.
  ASSERT_EQ(serial->WritePort(std::vector<uint8_t>{0x01, 0x06}.data(), 2), 2);
  std::thread peer([this] {
    pty.send({0x01, 0x06, 0x00});
    std::this_thread::sleep_for(50ms);
    pty.send({0x01, 0xAA});
  });
  start = Clock::now();
  EXPECT_TRUE(serial->ReadPort(&check));
  peer.join();
  EXPECT_LT(msSince(start), 3500);
  ASSERT_EQ(serial->BytesRead, 5u);
  EXPECT_EQ(serial->ReplyBuffer[4], 0xAA);
  EXPECT_EQ(tap.capture().received, 5u);
  EXPECT_EQ(tap.arrivalNs(5), -1);
  EXPECT_LE(tap.arrivalNs(0), tap.arrivalNs(4));
}

TEST_F(SerialOnPty, ALateByteIsPurgedBeforeTheNextRequest) {
  connect();
  const uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
  for (const bool takenByQt : {false, true}) {
    ASSERT_EQ(serial->WritePort(request, sizeof request), sizeof request);
    ASSERT_EQ(pty.receive(sizeof request, 2000ms).size(), sizeof request);
    EXPECT_TRUE(serial->ReadPort());
    EXPECT_EQ(serial->BytesRead, 0u);

    // The answer comes too late: it waits in the driver, or Qt has already fetched it into its own buffer.
    pty.send({0xEE, 0xEE});
    std::this_thread::sleep_for(20ms);
    if (takenByQt) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    ASSERT_EQ(serial->WritePort(request, sizeof request), sizeof request);
    ASSERT_EQ(pty.receive(sizeof request, 2000ms).size(), sizeof request);
    pty.send({0x01, 0x03, 0x02});
    EXPECT_TRUE(serial->ReadPort());
    ASSERT_EQ(serial->BytesRead, 3u) << "taken by Qt: " << takenByQt;
    EXPECT_EQ(serial->ReplyBuffer[0], 0x01);
    EXPECT_EQ(serial->ReplyBuffer[2], 0x02);
  }
}

TEST_F(SerialOnPty, TheOtherEndClosingWhileIdleClosesThePort) {
  connect();
  int lost = 0;
  serial->setLostHandler([&] {
    ++lost;
    serial->ClosePort();  // what a window does on the news must be safe here
  });
  pty.closeMaster();
  EXPECT_TRUE(processEventsUntil([&] { return lost > 0; }));
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_FALSE(serial->device().isOpen());
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(lost, 1);
  const uint8_t request[] = {1, 8, 0, 0};
  EXPECT_EQ(serial->WritePort(request, 4), 0);
}

TEST_F(SerialOnPty, TheOtherEndClosingDuringARequestIsSeenThere) {
  connect();
  int lost = 0;
  serial->setLostHandler([&] { ++lost; });
  pty.closeMaster();
  // No event loop between the loss and the request: the write or the read must notice it themselves.
  const uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
  serial->WritePort(request, sizeof request);
  serial->ReadPort();
  EXPECT_EQ(serial->BytesRead, 0u);
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_FALSE(serial->device().isOpen());
  EXPECT_EQ(lost, 1);
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(lost, 1);  // the queued report does not count it twice
}

TEST_F(SerialOnPty, ALostPortCanBeOpenedAgainOnAnotherLine) {
  connect();
  int lost = 0;
  serial->setLostHandler([&] { ++lost; });
  pty.closeMaster();
  ASSERT_TRUE(processEventsUntil([&] { return lost > 0; }));
  test::PseudoTerminal other;
  ASSERT_TRUE(serial->OpenPort(QString::fromStdString(other.slavePath()), "19200,n,8,2"));
  ASSERT_TRUE(serial->SetPortTimeouts(30, 0, 40, 0, 30));
  const uint8_t request[] = {1, 8, 0, 0};
  EXPECT_EQ(serial->WritePort(request, 4), 4);
  EXPECT_EQ(other.receive(4, 2000ms).size(), 4u);
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_TRUE(serial->PortOpen());
  EXPECT_EQ(lost, 1);
}

}  // namespace
}  // namespace velnorex
