// The Modbus unit: the one request frame of the program with its companion values, the CRC, the request
// builders, the reply decoders and the transaction that sends a request and reports its outcome.
#pragma once

#include <cstdint>
#include <string>

#include "modbus/exchange_host.h"
#include "registers/register_records.h"
#include "serial/serial.h"

namespace velnorex {

enum TypeCode : uint8_t {
  kTypeNone = 0,
  kTypeWord = 4,
  kTypeInt = 5,
  kTypeReal = 6,
  kTypeText = 7,
  kTypeHex = 10,
  kTypePrec = 11,
};

uint16_t Crc16(const uint8_t* bytes, uint16_t length);
bool CheckReplyCrc(const uint8_t* bytes, uint16_t length);
void SwapWord(uint16_t* value);
void SwapBytePairs(uint8_t* bytes, uint16_t byteCount);
uint8_t TypeCodeOf(std::u16string_view typeName);
// Characters of the 8-bit code page up to a 0 byte or maxCount bytes.
std::u16string BytesToText(const uint8_t* bytes, uint8_t maxCount);

// True when `bytes` hold a whole reply whose CRC checks: 5 bytes for an exception, 5 + byte count for
// function 3, 8 for functions 6, 8 and 16.
bool ReplyComplete(const uint8_t* bytes, size_t count);

class Modbus {
 public:
  static constexpr int kFrameSize = 36;
  static constexpr int kRegisterDataSize = 29;

  explicit Modbus(Serial& serial);

  uint8_t RequestFrame[kFrameSize] = {};
  uint8_t FrameLength = 0;
  uint8_t RegisterCount = 0;
  uint8_t RegisterType = 0;

  void AppendCrc();

  // The register builders only fill the frame; the slave address is the text of the slave edit.
  void BuildReadRequest(const RegisterNode& node, std::u16string_view slaveText);
  void BuildWriteSingleRequest(const RegisterNode& node, std::u16string_view slaveText);
  // The caller sets RegisterType to the node's TypeCode first: the encoding is chosen by it.
  void BuildWriteMultipleRequest(const RegisterNode& node, std::u16string_view slaveText);
  // Builds the diagnostics request and runs the exchange; slave address 0 sends nothing.
  void BuildDiagnosticsRequest(std::u16string_view subFunctionText, std::u16string_view dataText,
                               std::u16string_view slaveText, ExchangeHost& host);

  // Decodes the reply in the serial ReplyBuffer; false only for an exception reply. Sets replyOk and replyText
  // (the main window's ReplyOk and ReplyText).
  bool DecodeReply(bool& replyOk, std::u16string& replyText);

  // One transaction for the request in RequestFrame.
  void Exchange(ExchangeHost& host);
  // A transaction is in progress (its pending messages may be being processed): no other may start.
  bool InTransaction() const { return inTransaction_; }
  // The function code of the request that the last transaction sent.
  uint8_t FunctionCode() const { return RequestFrame[1]; }

  Serial& serial() { return serial_; }

 private:
  Serial& serial_;
  bool inTransaction_ = false;
};

}  // namespace velnorex
