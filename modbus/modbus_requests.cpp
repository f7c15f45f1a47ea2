// The requests: reads of the four tables (3, 4, 1, 2), writes of registers (6, 16) and coils (5, 15), and
// diagnostics (8), built from a register's record and the slave edit into the one request frame.
#include "modbus/function_codes.h"
#include "modbus/modbus.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

constexpr int kFunctionOffset = 1;
constexpr int kStartOffset = 2;
constexpr int kQuantityOffset = 4;
constexpr int kByteCountOffset = 6;
constexpr int kHeaderLength = 6;  // address, function, start, quantity or value

}  // namespace

void Modbus::setSlaveAddress(std::u16string_view slaveText) {
  RequestFrame[0] = static_cast<uint8_t>(StrToInt(slaveText) & 0xFF);
}

bool Modbus::BuildReadRequest(const RegisterNode& node, std::u16string_view slaveText) {
  if (inTransaction_) return false;
  return BuildReadRequest(RegisterRequestOf(node, slaveText));
}

bool Modbus::BuildReadRequest(const RegisterRequest& target) {
  if (inTransaction_) return false;
  target_ = target;
  served_ = {};
  FrameLength = static_cast<uint8_t>(BuildReadFrame(target, RequestFrame));
  RegisterCount = target.count;
  RegisterType = target.type;
  return true;
}

bool Modbus::BuildWriteSingleRequest(const RegisterNode& node, std::u16string_view slaveText) {
  if (inTransaction_) return false;
  setSlaveAddress(slaveText);
  RequestFrame[kFunctionOffset] = kWriteSingleRegister;
  const auto address = static_cast<uint16_t>(StrToInt(node.Address));
  setWord(kStartOffset, address);
  const RegisterFormat format = RegisterFormatOf(node.Type);
  if (IsLegacyFormat(format)) {
    // Whatever the register's type, function 6 carries the value as an integer.
    setWord(kQuantityOffset, static_cast<uint16_t>(StrToInt(node.Value)));
  } else {
    uint16_t word = 0;
    EncodeText(format, node.Value, &word, 1);
    setWord(kQuantityOffset, word);
  }
  FrameLength = kHeaderLength;
  AppendCrc();
  RegisterType = format.type;
  served_ = {};
  setTarget(format, address, 1);
  return true;
}

bool Modbus::BuildWriteMultipleRequest(const RegisterNode& node, std::u16string_view slaveText) {
  if (inTransaction_) return false;
  setSlaveAddress(slaveText);
  RequestFrame[kFunctionOffset] = kWriteMultipleRegisters;

  // The value is encoded aside first: how much of it goes out depends on Count, which is read after it, and
  // a refused Count must not leave half a value in the frame.
  uint16_t words[kMaxWriteRegisters] = {};
  const RegisterFormat format = RegisterFormatOf(node.Type);
  if (IsLegacyFormat(format))
    EncodeText(RegisterType, node.Value, words, kMaxWriteRegisters);
  else
    EncodeText(format, node.Value, words, kMaxWriteRegisters);

  const auto address = static_cast<uint16_t>(StrToInt(node.Address));
  setWord(kStartOffset, address);
  const uint8_t count = static_cast<uint8_t>(StrToInt(node.Count) & 0xFF);
  if (count > kMaxWriteRegisters) throw Error("za dużo rejestrów do zapisu (najwyżej 13)");
  RegisterCount = count;
  setWord(kQuantityOffset, RegisterCount);
  RequestFrame[kByteCountOffset] = static_cast<uint8_t>(2 * RegisterCount);
  for (int i = 0; i < RegisterCount; ++i) setWord(kRegisterDataOffset + 2 * i, words[i]);
  FrameLength = static_cast<uint8_t>(kRegisterDataOffset + 2 * RegisterCount);
  AppendCrc();
  RegisterType = format.type;
  served_ = {};
  setTarget(format, address, count);
  return true;
}

bool Modbus::BuildWriteCoilRequest(const RegisterNode& node, std::u16string_view slaveText,
                                   bool singleRegisterWrites) {
  if (inTransaction_) return false;
  const RegisterFormat format = RegisterFormatOf(node.Type);
  const uint8_t slave = static_cast<uint8_t>(StrToInt(slaveText) & 0xFF);
  const auto address = static_cast<uint16_t>(StrToInt(node.Address));
  uint16_t bit = 0;
  EncodeText(format, node.Value, &bit, 1);
  // A coil is one bit however it goes: function 5 when single writes are on, else a function 15 of one.
  FrameLength = static_cast<uint8_t>(singleRegisterWrites
                                         ? BuildWriteCoilFrame(RequestFrame, slave, address, bit != 0)
                                         : BuildWriteCoilsFrame(RequestFrame, slave, address, &bit, 1));
  RegisterCount = 1;
  RegisterType = format.type;
  served_ = {};
  setTarget(format, address, 1);
  return true;
}

bool Modbus::WritesSingleRegister(const RegisterNode& node, bool singleRegisterWrites) {
  return StrToInt(node.Count) == 1 && singleRegisterWrites;
}

bool Modbus::BuildWriteRequest(const RegisterNode& node, std::u16string_view slaveText,
                               bool singleRegisterWrites) {
  if (inTransaction_) return false;
  const RegisterFormat format = RegisterFormatOf(node.Type);
  if (!TableIsWritable(format.table)) throw Error("rejestr tylko do odczytu");
  if (format.table == RegisterTable::Coil)
    return BuildWriteCoilRequest(node, slaveText, singleRegisterWrites);
  RegisterType = format.type;
  return WritesSingleRegister(node, singleRegisterWrites) ? BuildWriteSingleRequest(node, slaveText)
                                                          : BuildWriteMultipleRequest(node, slaveText);
}

void Modbus::setTarget(const RegisterFormat& format, uint16_t address, uint8_t count) {
  static_cast<RegisterFormat&>(target_) = format;
  target_.slave = RequestFrame[0];
  target_.address = address;
  target_.count = count;
}

bool Modbus::BuildDiagnosticsRequest(std::u16string_view subFunctionText, std::u16string_view dataText,
                                     std::u16string_view slaveText, ExchangeHost& host) {
  if (inTransaction_) return false;
  RegisterType = kTypeHex;
  setSlaveAddress(slaveText);
  // Address 0 is the broadcast, which a restart of communications must never go to: no slave would answer.
  if (RequestFrame[0] == 0) return false;
  RequestFrame[kFunctionOffset] = kDiagnostics;
  setWord(kStartOffset, static_cast<uint16_t>(StrToInt(subFunctionText)));
  const int32_t data = StrToInt(dataText);
  setWord(kQuantityOffset, static_cast<uint16_t>(data));
  RegisterCount = static_cast<uint8_t>(data & 0xFF);
  RegisterFormat format;
  format.type = RegisterType;
  served_ = {};
  setTarget(format, 0, 0);
  FrameLength = kHeaderLength;
  AppendCrc();
  Exchange(host);
  return true;
}

}  // namespace velnorex
