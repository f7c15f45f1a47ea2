// Shared pieces of the Modbus unit tests: a Modbus unit over the scripted serial device, and frames as hex
// text so that a failing comparison shows the bytes the way a line monitor would.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modbus/modbus.h"
#include "modbus/register_request.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/frames.h"
#include "tests/support/tree_builder.h"

namespace velnorex::test {

// A request of a type of old with no order or meaning: `count` registers or bits of `table` from `address`.
inline RegisterRequest MakeRegisterRequest(uint8_t slave, RegisterTable table, uint16_t address,
                                           uint8_t count, uint8_t type) {
  RegisterRequest target;
  // The type's own order (REAL and PREC low word first), as a definition naming it alone gets it.
  target.order = DefaultWordOrder(type);
  target.slave = slave;
  target.table = table;
  target.address = address;
  target.count = count;
  target.type = type;
  return target;
}

inline RegisterNode Register(std::u16string address, std::u16string type, std::u16string count,
                             std::u16string value = {}) {
  return RegisterRecord(std::move(address), std::move(type), std::move(count), u"RW", std::move(value),
                        u"test");
}

class ModbusTest : public ::testing::Test {
 protected:
  ModbusTest() : fake(new FakeSerialDevice), serial(std::unique_ptr<SerialDevice>(fake)), modbus(serial) {}

  void OpenPort() {
    ASSERT_TRUE(serial.OpenPort(QStringLiteral("/dev/ttyFAKE0"), QStringLiteral("19200,e,8,1")));
  }

  // The request as it would go out: the first FrameLength bytes.
  std::string Frame() const { return Hex(modbus.RequestFrame, modbus.FrameLength); }

  // Places a reply into the ReplyBuffer as a read would: the rest of the buffer zero, BytesRead its length.
  void SetReply(const Bytes& reply) {
    std::memset(serial.ReplyBuffer, 0, sizeof serial.ReplyBuffer);
    if (!reply.empty()) std::memcpy(serial.ReplyBuffer, reply.data(), reply.size());
    serial.BytesRead = static_cast<uint32_t>(reply.size());
  }

  FakeSerialDevice* fake;  // owned by serial
  Serial serial;
  Modbus modbus;
};

}  // namespace velnorex::test
