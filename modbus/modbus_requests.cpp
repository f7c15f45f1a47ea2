// The four requests: read holding registers (3), write single register (6), write multiple registers (16)
// and diagnostics (8), built from a register's record and the slave edit into the one request frame.
#include <cmath>
#include <cstring>
#include <limits>

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

void putLittleEndian32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A single as the register pair carries it, rounded to nearest. A value beyond the range of a single cannot
// be sent as one; sending infinity instead would write something the operator never typed.
static_assert(std::numeric_limits<float>::is_iec559, "the overflow check relies on IEC 60559 conversions");
float toSingle(double value, std::u16string_view text) {
  const float single = static_cast<float>(value);
  if (std::isinf(single) && !std::isinf(value))
    throw ConvertError("'" + ToUtf8(text) + "' is not a valid floating point value");
  return single;
}

}  // namespace

uint8_t TypeCodeOf(std::u16string_view typeName) {
  struct Entry {
    std::u16string_view name;
    uint8_t code;
  };
  static constexpr Entry kTypes[] = {{u"WORD", kTypeWord}, {u"INT", kTypeInt}, {u"REAL", kTypeReal},
                                     {u"TEXT", kTypeText}, {u"HEX", kTypeHex}, {u"PREC", kTypePrec}};
  for (const Entry& entry : kTypes) {
    if (entry.name.size() != typeName.size()) continue;
    bool same = true;
    for (size_t i = 0; i < typeName.size() && same; ++i) {
      char16_t c = typeName[i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');  // ASCII letters only
      same = c == entry.name[i];
    }
    if (same) return entry.code;
  }
  return kTypeNone;
}

void Modbus::setSlaveAddress(std::u16string_view slaveText) {
  RequestFrame[0] = static_cast<uint8_t>(StrToInt(slaveText) & 0xFF);
}

bool Modbus::BuildReadRequest(const RegisterNode& node, std::u16string_view slaveText) {
  if (inTransaction_) return false;
  setSlaveAddress(slaveText);
  RequestFrame[kFunctionOffset] = kReadHoldingRegisters;
  setWord(kStartOffset, static_cast<uint16_t>(StrToInt(node.Address)));
  RegisterCount = static_cast<uint8_t>(StrToInt(node.Count) & 0xFF);
  setWord(kQuantityOffset, RegisterCount);
  FrameLength = kHeaderLength;
  AppendCrc();
  RegisterType = TypeCodeOf(node.Type);
  return true;
}

bool Modbus::BuildWriteSingleRequest(const RegisterNode& node, std::u16string_view slaveText) {
  if (inTransaction_) return false;
  setSlaveAddress(slaveText);
  RequestFrame[kFunctionOffset] = kWriteSingleRegister;
  setWord(kStartOffset, static_cast<uint16_t>(StrToInt(node.Address)));
  // Whatever the register's type, function 6 carries the value as an integer.
  setWord(kQuantityOffset, static_cast<uint16_t>(StrToInt(node.Value)));
  FrameLength = kHeaderLength;
  AppendCrc();
  RegisterType = TypeCodeOf(node.Type);
  return true;
}

bool Modbus::BuildWriteMultipleRequest(const RegisterNode& node, std::u16string_view slaveText) {
  if (inTransaction_) return false;
  setSlaveAddress(slaveText);
  RequestFrame[kFunctionOffset] = kWriteMultipleRegisters;

  // The value is encoded aside first: how much of it goes out depends on Count, which is read after it, and
  // a refused Count must not leave half a value in the frame.
  uint8_t data[kRegisterDataSize] = {};
  switch (RegisterType) {
    case kTypeWord:
    case kTypeInt:
    case kTypeHex:
      putLittleEndian32(data, static_cast<uint32_t>(StrToInt(node.Value)));
      break;
    case kTypeReal:
    case kTypePrec: {
      const float single = toSingle(StrToFloat(node.Value), node.Value);
      uint32_t bits;
      std::memcpy(&bits, &single, sizeof bits);
      putLittleEndian32(data, bits);
      break;
    }
    case kTypeText: {
      // One byte per character, its low 8 bits (no code page), then the closing 0 if there is room.
      const size_t length = node.Value.size() < sizeof data ? node.Value.size() : sizeof data;
      for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(node.Value[i] & 0xFF);
      break;
    }
    default:
      break;  // not a register type: the register area goes out as zeros
  }

  setWord(kStartOffset, static_cast<uint16_t>(StrToInt(node.Address)));
  const uint8_t count = static_cast<uint8_t>(StrToInt(node.Count) & 0xFF);
  if (count > kMaxWriteRegisters) throw Error("za dużo rejestrów do zapisu (najwyżej 13)");
  RegisterCount = count;
  setWord(kQuantityOffset, RegisterCount);
  const int byteCount = 2 * RegisterCount;
  RequestFrame[kByteCountOffset] = static_cast<uint8_t>(byteCount);
  std::memcpy(RequestFrame + kRegisterDataOffset, data, static_cast<size_t>(byteCount));
  FrameLength = static_cast<uint8_t>(kRegisterDataOffset + byteCount);
  // Registers go high byte first; text is already in reading order, first character in the high byte.
  if (RegisterType != kTypeText)
    SwapBytePairs(RequestFrame + kRegisterDataOffset, static_cast<uint16_t>(byteCount));
  AppendCrc();
  RegisterType = TypeCodeOf(node.Type);
  return true;
}

bool Modbus::WritesSingleRegister(const RegisterNode& node, bool singleRegisterWrites) {
  return StrToInt(node.Count) == 1 && singleRegisterWrites;
}

bool Modbus::BuildWriteRequest(const RegisterNode& node, std::u16string_view slaveText,
                               bool singleRegisterWrites) {
  if (inTransaction_) return false;
  RegisterType = TypeCodeOf(node.Type);
  return WritesSingleRegister(node, singleRegisterWrites) ? BuildWriteSingleRequest(node, slaveText)
                                                          : BuildWriteMultipleRequest(node, slaveText);
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
  FrameLength = kHeaderLength;
  AppendCrc();
  Exchange(host);
  return true;
}

}  // namespace velnorex
