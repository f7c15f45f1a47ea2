// What the client that started a transaction receives when it ends: how it ended, what was asked, the value
// a read brought and how long it took.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "modbus/exchange_host.h"
#include "modbus/register_request.h"
#include "modbus/register_value.h"

namespace velnorex {

enum class TransactionOutcome : uint8_t {
  Reply,      // the answer to the request (a read's value is in `value`)
  Exception,  // the slave refused the request with `exceptionCode`
  NoAnswer,   // nothing came within either read
  CrcError,   // bytes came, but their CRC does not match
  Malformed,  // the CRC held, but the reply is not this request's (slave, function or size)
};

struct TransactionResult {
  ExchangeResult event = ExchangeResult::UM_TIMEOUT;
  TransactionOutcome outcome = TransactionOutcome::NoAnswer;
  uint8_t exceptionCode = 0;
  uint8_t function = 0;    // of the request
  RegisterRequest target;  // what the request asked for
  RegisterValue value;     // a read's value: ok() only after a reply to a read that decodes
  bool late = false;       // the reply came only in the retry read
  uint8_t echoLength = 0;  // the adapter's echo removed in front of the reply
  std::chrono::steady_clock::duration elapsed{};

  bool replied() const { return outcome == TransactionOutcome::Reply; }
};

// Why a transaction brought no value, as the program tells it ("wyjątek 2", "błąd CRC", "brak odpowiedzi");
// the configuration commands and velnorex-read say it beside the register.
std::u16string FailureReason(TransactionOutcome outcome, uint8_t exceptionCode);

}  // namespace velnorex
