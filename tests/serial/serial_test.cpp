// The Serial unit over the scripted device: state, buffers and the order of purge, write and read.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "serial/serial.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/frames.h"

namespace velnorex {
namespace {

using test::CountCheck;

struct SerialOverFake : ::testing::Test {
  SerialOverFake() {
    auto device = std::make_unique<FakeSerialDevice>();
    fake = device.get();
    serial = std::make_unique<Serial>(std::move(device));
  }
  void connect() {
    ASSERT_TRUE(serial->OpenPort("/dev/ttyX", "19200,e,8,1"));
    ASSERT_TRUE(serial->SetPortTimeouts(30, 0, 40, 0, 30));
  }
  FakeSerialDevice* fake;
  std::unique_ptr<Serial> serial;
};

TEST_F(SerialOverFake, OpenPortParsesTheModeAndReopens) {
  EXPECT_FALSE(serial->PortOpen());
  ASSERT_TRUE(serial->OpenPort("/dev/ttyX", "9600,n,8,2"));
  EXPECT_TRUE(serial->PortOpen());
  EXPECT_EQ(serial->PortPath(), "/dev/ttyX");
  EXPECT_EQ(serial->PortMode(), "9600,n,8,2");
  EXPECT_EQ(fake->lastPath, "/dev/ttyX");
  EXPECT_EQ(fake->lastSettings.baudRate, 9600);
  EXPECT_EQ(fake->lastSettings.parity, 'n');
  EXPECT_EQ(fake->lastSettings.stopBitsTenths, 20);
  EXPECT_EQ(serial->DeviceControl().stopBitsTenths, 20);

  // Opening while open closes the port first.
  ASSERT_TRUE(serial->OpenPort("/dev/ttyY", "19200,o,8,1"));
  EXPECT_EQ(fake->closeCalls, 1);
  EXPECT_EQ(fake->openCalls, 2);
  EXPECT_EQ(fake->lastSettings.parity, 'o');
  EXPECT_TRUE(serial->PortOpen());
}

TEST_F(SerialOverFake, RefusedModeOrFailedOpenLeavesThePortClosed) {
  EXPECT_FALSE(serial->OpenPort("/dev/ttyX", "fast,n,8,2"));
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_FALSE(fake->isOpen());

  connect();
  fake->failOpen = true;
  EXPECT_FALSE(serial->OpenPort("/dev/ttyX", "19200,e,8,1"));
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_FALSE(fake->isOpen());
  EXPECT_EQ(serial->WritePort(reinterpret_cast<const uint8_t*>("\x01"), 1), 0);
  EXPECT_TRUE(fake->writes.empty());
}

TEST_F(SerialOverFake, ClosePortPurgesClosesAndIsHarmlessTwice) {
  connect();
  serial->ClosePort();
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_EQ(fake->purgeCalls, 1);
  EXPECT_EQ(fake->closeCalls, 1);
  serial->ClosePort();
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_EQ(fake->closeCalls, 1);
  EXPECT_EQ(fake->purgeCalls, 1);
}

TEST_F(SerialOverFake, SetPortTimeoutsFillsTheRecordAndClosesOnRefusal) {
  connect();
  EXPECT_EQ(serial->Timeouts().ReadIntervalTimeout, 30u);
  EXPECT_EQ(serial->Timeouts().ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(serial->Timeouts().ReadTotalTimeoutConstant, 40u);
  EXPECT_EQ(serial->Timeouts().WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(serial->Timeouts().WriteTotalTimeoutConstant, 30u);
  EXPECT_EQ(fake->lastTimeouts.ReadTotalTimeoutConstant, 40u);

  ASSERT_TRUE(serial->SetPortTimeouts(65535, 1, 2, 3, 4));  // zero-extended, not sign-extended
  EXPECT_EQ(serial->Timeouts().ReadIntervalTimeout, 65535u);
  EXPECT_EQ(serial->Timeouts().WriteTotalTimeoutConstant, 4u);

  fake->failTimeouts = true;
  EXPECT_FALSE(serial->SetPortTimeouts(30, 0, 40, 0, 30));
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_FALSE(fake->isOpen());
}

TEST_F(SerialOverFake, WritePortPurgesClearsBuffersAndWrites) {
  connect();
  fake->queueRead({9, 9, 9, 9});
  ASSERT_TRUE(serial->ReadPort());
  ASSERT_EQ(serial->BytesRead, 4u);

  const uint8_t longRequest[] = {1, 3, 0, 0, 0, 2, 0xC4, 0x0B};
  ASSERT_EQ(serial->WritePort(longRequest, 8), 8);
  const uint8_t request[] = {1, 6, 0, 1};
  ASSERT_EQ(serial->WritePort(request, 4), 4);
  EXPECT_EQ(serial->BytesWritten, 4u);
  EXPECT_EQ(fake->purgeCalls, 2);  // one per request
  ASSERT_EQ(fake->writes.size(), 2u);
  EXPECT_EQ(fake->writes[1], std::vector<uint8_t>(request, request + 4));
  // Nothing of the earlier reply or the longer request is left behind.
  for (int i = 0; i < Serial::kBufferSize; ++i) EXPECT_EQ(serial->ReplyBuffer[i], 0) << i;
  for (int i = 4; i < Serial::kBufferSize; ++i) EXPECT_EQ(serial->TxBuffer[i], 0) << i;
  EXPECT_EQ(serial->TxBuffer[1], 6);
}

TEST_F(SerialOverFake, WritePortNeverCopiesPastTheTxBuffer) {
  connect();
  std::vector<uint8_t> huge(300, 0x55);
  EXPECT_EQ(serial->WritePort(huge.data(), static_cast<uint16_t>(huge.size())), Serial::kBufferSize);
  ASSERT_EQ(fake->writes.size(), 1u);
  EXPECT_EQ(fake->writes[0].size(), static_cast<size_t>(Serial::kBufferSize));
}

TEST_F(SerialOverFake, WritePortWritesNothingWhenClosedOrThePurgeFails) {
  const uint8_t request[] = {1, 8, 0, 0};
  EXPECT_EQ(serial->WritePort(request, 4), 0);
  connect();
  fake->failPurge = true;
  EXPECT_EQ(serial->WritePort(request, 4), 0);
  EXPECT_TRUE(fake->writes.empty());
  fake->failPurge = false;
  fake->failWrite = true;
  EXPECT_EQ(serial->WritePort(request, 4), 0);
  EXPECT_EQ(serial->BytesWritten, 0u);
  EXPECT_TRUE(serial->PortOpen());  // a failed write does not close the port
}

TEST_F(SerialOverFake, ReadPortFillsReplyBufferAndStopsWhenTheCheckSaysComplete) {
  connect();
  fake->queueChunks({{1, 3}, {4, 0, 1}, {0, 2}, {0xFF}});
  CountCheck check(5);
  ASSERT_TRUE(serial->ReadPort(&check));
  EXPECT_EQ(serial->BytesRead, 5u);
  EXPECT_EQ(serial->ReplyBuffer[4], 1);
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Complete);
  EXPECT_EQ(fake->chunksLeftInLastRead, 2);
  EXPECT_EQ(check.calls, 2);

  // A silent read and an empty script both bring nothing.
  fake->queueSilence();
  ASSERT_TRUE(serial->ReadPort());
  EXPECT_EQ(serial->BytesRead, 0u);
  ASSERT_TRUE(serial->ReadPort());
  EXPECT_EQ(serial->BytesRead, 0u);
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Timeout);

  std::vector<uint8_t> flood(200, 7);
  fake->queueRead(flood);
  ASSERT_TRUE(serial->ReadPort());
  EXPECT_EQ(serial->BytesRead, static_cast<uint32_t>(Serial::kBufferSize));
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Capacity);

  serial->ClosePort();
  fake->queueRead({1});
  EXPECT_FALSE(serial->ReadPort());
  EXPECT_EQ(serial->BytesRead, 0u);
  EXPECT_EQ(fake->scriptLeft(), 1u);  // a closed port is not read at all
}

TEST_F(SerialOverFake, LostDeviceClearsPortOpenAndCallsTheHandler) {
  connect();
  int calls = 0;
  serial->setLostHandler([&] {
    ++calls;
    EXPECT_FALSE(serial->PortOpen());
    serial->ClosePort();  // the window's reaction may call back into the unit
  });
  fake->onRead = [&] { fake->vanish(); };
  EXPECT_FALSE(serial->ReadPort());
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(serial->PortOpen());
  EXPECT_EQ(serial->BytesRead, 0u);

  // And the port can be opened again afterwards, even from inside the handler.
  fake->onRead = nullptr;
  connect();
  serial->setLostHandler([&] { serial->OpenPort("/dev/ttyX", "19200,e,8,1"); });
  fake->vanish();
  EXPECT_TRUE(serial->PortOpen());
  EXPECT_TRUE(fake->isOpen());
}

}  // namespace
}  // namespace velnorex
