// The RTU frame in one place: the CRC, what a request's fields say, how long the reply to it must be, and
// whether bytes received are that reply. The exchange, the line search and the traffic monitor all use it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modbus/register_request.h"
#include "serial/mode_string.h"

namespace velnorex {

// CRC-16/MODBUS of the first `length` bytes, bit by bit (frames are short; no table needed).
uint16_t Crc16(const uint8_t* bytes, uint16_t length);
// The last two of `length` bytes, low byte first, equal the CRC of the bytes before them. Fewer than two
// bytes fail; nothing outside `length` is read.
bool CheckReplyCrc(const uint8_t* bytes, uint16_t length);
// Appends the CRC of the first `length` bytes, low byte first; returns the new length.
size_t AppendFrameCrc(uint8_t* frame, size_t length);

// A request of six header bytes (read, write single, diagnostics): slave, function, two words, CRC. Returns
// the frame's length, 8.
size_t BuildHeaderFrame(uint8_t* frame, uint8_t slave, uint8_t function, uint16_t first, uint16_t second);
// The read of `target`'s registers or bits by its table (function 3, 4, 1 or 2), CRC included; returns the
// frame's length, 8.
size_t BuildReadFrame(const RegisterRequest& target, uint8_t* frame);
// The function that reads a table.
uint8_t ReadFunctionOf(RegisterTable table);
// Function 5: one coil on or off. Returns 8.
size_t BuildWriteCoilFrame(uint8_t* frame, uint8_t slave, uint16_t address, bool on);
// Function 15: `count` coils from `address`, bit i of the request taken from bits[i] (non-zero is on), eight
// to a byte with the first coil in the lowest bit. At most kMaxWriteCoils. Returns the frame's length.
inline constexpr int kMaxWriteCoils = 8 * 27;  // the data bytes a request frame has room for
size_t BuildWriteCoilsFrame(uint8_t* frame, uint8_t slave, uint16_t address, const uint16_t* bits, int count);

// The fields a request carries, as the traffic monitor names them.
struct RequestFields {
  bool valid = false;  // at least the six header bytes are there
  uint8_t slave = 0;
  uint8_t function = 0;
  uint16_t address = 0;  // first register or coil (reads, writes); sub-function (diagnostics)
  uint16_t quantity =
      0;  // registers or bits asked for or written; the value of a single write; diagnostics data
  bool namesRegisters = false;  // a read or write: address and quantity name registers (or bits)
  bool namesBits = false;       // ... and they are coils or discrete inputs
  uint16_t registerCount = 0;   // registers or bits read or written (1 for a single write)
};
RequestFields DecodeRequest(const uint8_t* frame, size_t length);

// The length of a normal reply to a request of `function` for `quantity` registers or bits; 0 when the
// program cannot size it.
size_t ExpectedReplyLength(uint8_t function, uint16_t quantity);
// The length the reply in `bytes` will have when whole, judged from its own first bytes: 5 for an
// exception, 5 + byte count for a read of any table, 8 for a write or diagnostics; 0 while that cannot be
// told yet or for a function the program does not size.
size_t ReplyLengthFromHeader(const uint8_t* bytes, size_t count);

// The time a request of `requestBytes` and its reply of `replyBytes` take on `line`, each followed by the
// silence that ends a frame, in milliseconds; 0 for a line without a baud rate.
double ExchangeLineMs(size_t requestBytes, size_t replyBytes, const PortSettings& line);

// True when `bytes` hold a whole reply whose CRC checks, by its own header. More bytes than that are not
// "complete": the read then runs on to its time-out as it would without the check, and the CRC check over
// all bytes decides.
bool ReplyComplete(const uint8_t* bytes, size_t count);
// A reply whose CRC checks is still not the answer to `request` unless its slave address is the request's,
// its function is the request's (or that with the exception bit and exactly one code), and its size is what
// the request asks for (a read: byte count 2 × the registers asked for, or one byte per eight bits). Anything
// else is a reply to some other request, or a malformed one: it must not be decoded as this one's.
bool ReplyFitsRequest(const uint8_t* request, size_t requestLength, const uint8_t* reply, size_t count);

// A reply to request `a` would fit request `b` as well: the same slave, function and reply size. Only then
// can a late reply to `a` be taken for `b`'s.
bool RepliesLookAlike(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength);

// An RS-485 adapter with local echo hands back every request before the reply.
// The length of the echo at the front of `bytes`: the request's length when they begin with an exact copy of
// it, else 0.
size_t RequestEchoLength(const uint8_t* request, size_t requestLength, const uint8_t* bytes, size_t count);
// ReplyComplete for the first bytes after a request, which may begin with its echo: the echo is skipped, and
// bytes that are still the request or a part of it are never complete on their own.
bool ReplyCompleteAfterEcho(const uint8_t* request, size_t requestLength, const uint8_t* bytes, size_t count);

}  // namespace velnorex
