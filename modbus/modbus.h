// The Modbus unit: the one request frame of the program with its companion values, the CRC, the request
// builders, the reply decoders and the transaction that sends a request and reports its outcome.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "modbus/exchange_host.h"
#include "modbus/register_request.h"
#include "modbus/register_types.h"
#include "modbus/register_value.h"
#include "modbus/rtu_frame.h"
#include "serial/serial.h"
#include "treefile/register_records.h"

namespace velnorex {

// Exchanges the bytes of a 16-bit value.
void SwapWord(uint16_t* value);
// Exchanges byteCount / 2 consecutive byte pairs in place; an odd last byte stays.
void SwapBytePairs(uint8_t* bytes, uint16_t byteCount);
// Characters of the 8-bit code page up to a 0 byte or maxCount bytes.
std::u16string BytesToText(const uint8_t* bytes, uint8_t maxCount);
// The text of a value by its TypeCode, from register bytes as the line carries them (each register high byte
// first), as a read shows it: empty for an unknown type or too few bytes for the value. Reads only
// `byteCount` bytes and changes none.
std::u16string DecodeRegisterBytes(uint8_t typeCode, const uint8_t* bytes, uint8_t byteCount);

class Modbus;

// Lets Serial::ReadPort stop waiting as soon as a whole reply is in; owned by Modbus, nothing allocated.
class ModbusReplyCheck final : public ReplyCheck {
 public:
  explicit ModbusReplyCheck(const Modbus& modbus) : modbus_(modbus) {}
  bool complete(const uint8_t* bytes, size_t count) const override;
  // A reply of function 6 or 8 equal to the request is whole when 3.5 characters of silence follow it, unless
  // the line is known to echo: then it is the echo, and the read waits for the reply.
  uint32_t quietToComplete(const uint8_t* bytes, size_t count) const override;

 private:
  const Modbus& modbus_;
};

// One transaction at a time. While Exchange runs (including the pending messages it lets the window process
// between its two reads, and the result events it performs), InTransaction() is true, and then:
//   - Exchange does nothing and returns (no message, no write, no event);
//   - every builder does nothing and returns false, so the frame, FrameLength, RegisterCount and RegisterType
//     of the running transaction are never overwritten.
// Callers check InTransaction() before starting a command; the guards here are the last line of defence.
class Modbus {
 public:
  static constexpr int kFrameSize = 36;
  static constexpr int kRegisterDataOffset = 7;
  static constexpr int kRegisterDataSize = 29;
  // 7 header bytes + 2 per register + 2 CRC bytes must fit into the frame.
  static constexpr int kMaxWriteRegisters = 13;

  explicit Modbus(Serial& serial);

  uint8_t RequestFrame[kFrameSize] = {};
  uint8_t FrameLength = 0;
  uint8_t RegisterCount = 0;
  uint8_t RegisterType = 0;

  // Appends the CRC of the first FrameLength bytes, low byte first, and adds 2 to FrameLength. Does nothing
  // when the CRC would not fit into the frame.
  void AppendCrc();

  // The register builders only fill the frame; the slave address is the text of the slave edit (low 8 bits).
  // A text that is not a number throws ConvertError; fields set before the failing step keep their new
  // values. Each returns false, having done nothing, while InTransaction().
  bool BuildReadRequest(const RegisterNode& node, std::u16string_view slaveText);
  // The read of `target`'s registers, for callers that parsed the register once.
  bool BuildReadRequest(const RegisterRequest& target);
  // The registers the read in the frame serves when it is a block of several (for the traffic monitor);
  // every builder clears them.
  void SetServedRegisters(const ServedRegisters& served) {
    if (!inTransaction_) served_ = served;
  }
  // What the request in the frame asks for (slave, first register, count, the type its reply decodes by).
  const RegisterRequest& RequestTarget() const { return target_; }
  bool BuildWriteSingleRequest(const RegisterNode& node, std::u16string_view slaveText);
  // The caller sets RegisterType to the node's TypeCode first: the encoding is chosen by it. The register
  // area carries the value and zeros after it. A Count (low 8 bits) above 13 does not fit into the frame:
  // throws Error "za dużo rejestrów do zapisu (najwyżej 13)" and leaves RegisterData untouched.
  bool BuildWriteMultipleRequest(const RegisterNode& node, std::u16string_view slaveText);
  // The write of a register from its Value as the tree writes it: function 6 when its Count is 1 and
  // single-register writes are on (the hidden cbxSingleReg), else function 16 with RegisterType set to the
  // TypeCode of its Type first; a coil goes to BuildWriteCoilRequest. An input register or discrete input
  // throws Error "rejestr tylko do odczytu". Throws as the builder it uses.
  bool BuildWriteRequest(const RegisterNode& node, std::u16string_view slaveText, bool singleRegisterWrites);
  static bool WritesSingleRegister(const RegisterNode& node, bool singleRegisterWrites);
  // The write of a coil from its Value (0 or 1): function 5 when single-register writes are on, else
  // function 15 of one coil. Throws ConvertError for any other value.
  bool BuildWriteCoilRequest(const RegisterNode& node, std::u16string_view slaveText,
                             bool singleRegisterWrites);
  // Builds the diagnostics request and runs the exchange; slave address 0 sends nothing. Returns false when
  // nothing was sent for that reason or because a transaction is in progress.
  bool BuildDiagnosticsRequest(std::u16string_view subFunctionText, std::u16string_view dataText,
                               std::u16string_view slaveText, ExchangeHost& host);

  // Decodes the reply in the serial ReplyBuffer; false only for an exception reply (replyText then keeps its
  // text). Sets replyOk and replyText (the main window's ReplyOk and ReplyText). Reads only the bytes
  // received: a byte count that claims more than arrived, or less than the value needs, gives an empty text.
  bool DecodeReply(bool& replyOk, std::u16string& replyText);
  // The register words of the last read's reply in line order (first register first, high byte first), as
  // they came, whatever DecodeReply has since rearranged in the buffer; at most `capacity`. Returns the
  // number of whole words the reply carries, or -1 when the last transaction was no read or its reply is an
  // exception or shorter than its byte count says. Meant for the client's ShowValue, before the next request.
  int ReplyWords(uint16_t* words, int capacity) const;
  // The exception code of the last reply when it is an exception reply, else 0.
  uint8_t ReplyExceptionCode() const;
  // The value DecodeReply made of the last read's reply, by the request's type; not ok() for anything else.
  const RegisterValue& ReplyValue() const { return replyValue_; }
  // The last reply's CRC held, but it did not fit the request (another slave's, function or size).
  bool ReplyMalformed() const { return replyMalformed_; }
  // From the request's write to its result.
  std::chrono::steady_clock::duration Elapsed() const { return elapsed_; }

  // After a transaction that got no fitting reply, the transducer may still answer it; a reply arriving
  // during a later transaction whose reply looks alike (same slave, function and size) would be taken for
  // that one's. Such an exchange first lets the line fall quiet: it discards what arrives until nothing has
  // come for this long since the failure or since the last byte, within kQuietLimit. Any other reply is
  // refused by its slave, function or size, so other requests do not wait.
  static constexpr std::chrono::milliseconds kLateReplyGuard{150};
  static constexpr std::chrono::milliseconds kQuietLimit{1000};

  // One transaction for the request in RequestFrame: write, read, one retry read when the first brought
  // nothing, then exactly one of UM_REPLY, UM_CRCERROR, UM_TIMEOUT performed on the host (the dispatcher). A
  // reply that fails its CRC, or whose CRC checks but that does not fit the request (ReplyFitsRequest), is a
  // UM_CRCERROR. A closed port shows "brak połączenia !" and performs nothing.
  void Exchange(ExchangeHost& host);
  // A transaction is in progress (its pending messages may be being processed), or the line is held: no
  // other may start.
  bool InTransaction() const { return inTransaction_; }

  // Lends the line to work made of many short transactions of its own (a search of the line for
  // transducers), which no single Exchange describes. While held, InTransaction() is true: Exchange and the
  // builders refuse, and everything that asks before starting a command waits.
  class LineHold {
   public:
    explicit LineHold(Modbus& modbus) : modbus_(modbus) {}
    ~LineHold() { release(); }
    LineHold(const LineHold&) = delete;
    LineHold& operator=(const LineHold&) = delete;
    // False when a transaction runs or another hold has the line; true at once when this one has it.
    bool take();
    void release();
    bool held() const { return held_; }
    // The port the hold lends, for the holder's own requests.
    Serial& line() const { return modbus_.serial_; }

   private:
    Modbus& modbus_;
    bool held_ = false;
  };
  // Allowed for the transducer's turnaround and an adapter's latency before a reply has come whole.
  static constexpr double kReplyAllowanceMs = 15;
  // The reply to the request in the frame, at the open line's speed, may not have come whole within one read
  // of the port's total time-out (request, two silences, reply and kReplyAllowanceMs): such a reply is read
  // on.
  bool ReplyOutlastsRead() const;

  // The function code of the request that the last transaction sent.
  uint8_t FunctionCode() const { return RequestFrame[1]; }

  // The last transaction as the line saw it, for whoever watches the traffic.
  TransactionSummary Summary(ExchangeResult result) const;
  // The adapter on this line has been seen echoing requests since the port was opened.
  bool LineEchoes() const { return lineEchoes_ && echoOpenCount_ == serial_.OpenCount(); }
  // The first bytes of the transaction's reply are still to come: an echo may yet stand in front of them.
  bool EchoMayFollow() const { return echoMayFollow_; }
  // 3.5 character times at the open line's settings, the silence that ends an RTU frame; above 19200 baud
  // the fixed 1750 microseconds that the RTU line rules give.
  uint32_t FrameGapUs() const;

 private:
  void setSlaveAddress(std::u16string_view slaveText);
  void setTarget(const RegisterFormat& format, uint16_t address, uint8_t count);
  void setWord(int offset, uint16_t value);
  // One read of the reply, with the adapter's echo removed from the front of the first bytes that come, and
  // read on while a reply that has begun is still coming.
  void readReply();
  void takeEcho();
  void readRestOfReply();
  // Discards late bytes of an earlier, failed transaction until the line has been quiet for the guard.
  void waitForQuietLine(ExchangeHost& host);
  void endTransaction(ExchangeHost& host, ExchangeResult result);
  // Takes the echo off the front of ReplyBuffer; what is left reads as a read that brought only the rest.
  void removeEcho(size_t length);

  Serial& serial_;
  ModbusReplyCheck replyCheck_{*this};
  bool inTransaction_ = false;
  // What the running or last transaction met.
  bool echoMayFollow_ = false;
  uint8_t echoLength_ = 0;
  bool lateReply_ = false;
  // Learnt from an echo seen, forgotten when a reply comes without one or the port is opened again.
  bool lineEchoes_ = false;
  uint32_t echoOpenCount_ = 0;
  bool replySwapped_ = false;  // DecodeReply swapped the last reply's register bytes in place
  RegisterRequest target_;
  ServedRegisters served_;
  RegisterValue replyValue_;
  bool replyMalformed_ = false;
  std::chrono::steady_clock::time_point startedAt_;
  std::chrono::steady_clock::duration elapsed_{};
  // The last failed transaction got no fitting reply, at failedAt_: a late one may still be on its way. Its
  // request is kept to tell which later requests its reply could be taken for.
  bool quietNeeded_ = false;
  std::chrono::steady_clock::time_point failedAt_;
  uint8_t failedRequest_[8] = {};
  uint8_t failedRequestLength_ = 0;
  uint32_t droppedLate_ = 0;  // bytes discarded before the last request
};

}  // namespace velnorex
