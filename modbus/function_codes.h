// The Modbus function codes the program sends, and what a reply to each of them carries.
#pragma once

#include <cstdint>

namespace velnorex {

enum FunctionCode : uint8_t {
  kReadCoils = 1,
  kReadDiscreteInputs = 2,
  kReadHoldingRegisters = 3,
  kReadInputRegisters = 4,
  kWriteSingleCoil = 5,
  kWriteSingleRegister = 6,
  kDiagnostics = 8,
  kWriteMultipleCoils = 15,
  kWriteMultipleRegisters = 16,
};

// The value function 5 sends to switch a coil on; 0 switches it off, anything else is refused by slaves.
constexpr uint16_t kCoilOn = 0xFF00;

// A read of bits (coils, discrete inputs): its reply packs eight to a byte.
constexpr bool ReadsBits(uint8_t functionCode) {
  return functionCode == kReadCoils || functionCode == kReadDiscreteInputs;
}
// A read of any of the four tables.
constexpr bool IsReadFunction(uint8_t functionCode) {
  return ReadsBits(functionCode) || functionCode == kReadHoldingRegisters ||
         functionCode == kReadInputRegisters;
}
// A write of a register or a coil.
constexpr bool IsWriteFunction(uint8_t functionCode) {
  return functionCode == kWriteSingleCoil || functionCode == kWriteSingleRegister ||
         functionCode == kWriteMultipleCoils || functionCode == kWriteMultipleRegisters;
}
// The most one read may ask for: 125 registers (functions 3 and 4), 2000 bits (functions 1 and 2); a reply
// then carries at most 250 data bytes.
inline constexpr uint16_t kMaxReadRegisters = 125;
inline constexpr uint16_t kMaxReadBits = 2000;

// A slave answers a request it refuses with the request's function code plus this bit and one exception code.
constexpr uint8_t kExceptionBit = 0x80;

// The exception codes of the Modbus application protocol.
enum ExceptionCode : uint8_t {
  kIllegalFunction = 1,
  kIllegalDataAddress = 2,
  kIllegalDataValue = 3,
  kSlaveDeviceFailure = 4,
  kAcknowledge = 5,
  kSlaveDeviceBusy = 6,
  kNegativeAcknowledge = 7,
  kMemoryParityError = 8,
  kGatewayPathUnavailable = 10,
  kGatewayTargetFailedToRespond = 11,
};

// Only a read's reply carries a value for the tree: a write's reply repeats what was sent, and the tree
// already shows that; a diagnostics reply echoes its data.
constexpr bool ReplyShowsValue(uint8_t functionCode) {
  return IsReadFunction(functionCode);
}

// A write's reply echoes address and value (5, 6), address and quantity (15, 16) or sub-function and data
// (8): eight bytes with the CRC, whatever was written.
constexpr bool ReplyEchoesRequestHead(uint8_t functionCode) {
  return IsWriteFunction(functionCode) || functionCode == kDiagnostics;
}

// A normal reply that is byte for byte the request (a single coil or register written, a diagnostics echo):
// the one kind of reply that an adapter's echo of the request can pass for.
constexpr bool ReplyEqualsRequest(uint8_t functionCode) {
  return functionCode == kWriteSingleCoil || functionCode == kWriteSingleRegister ||
         functionCode == kDiagnostics;
}

}  // namespace velnorex
