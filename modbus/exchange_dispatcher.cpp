// The result trip of every transaction, from the exchange's outcome to the next step of whoever started it.
#include "modbus/exchange_dispatcher.h"

#include <algorithm>

#include "modbus/function_codes.h"
#include "modbus/modbus.h"

namespace velnorex {

ExchangeDispatcher::ExchangeDispatcher(Modbus& modbus, Window& window) : modbus_(modbus), window_(window) {}

ExchangeHost& ExchangeDispatcher::hostFor(TransactionClient& client) {
  // A command that arrives during the running transaction's pending messages is refused by the exchange;
  // its client must not take the running transaction's result.
  if (!modbus_.InTransaction()) client_ = &client;
  return *this;
}

void ExchangeDispatcher::Exchange(TransactionClient& client) {
  modbus_.Exchange(hostFor(client));
}

void ExchangeDispatcher::addTransactionObserver(TransactionObserver* observer) {
  if (observer && std::find(transactionObservers_.begin(), transactionObservers_.end(), observer) ==
                      transactionObservers_.end())
    transactionObservers_.push_back(observer);
}

void ExchangeDispatcher::removeTransactionObserver(TransactionObserver* observer) {
  transactionObservers_.erase(
      std::remove(transactionObservers_.begin(), transactionObservers_.end(), observer),
      transactionObservers_.end());
}

void ExchangeDispatcher::tellObservers(const TransactionSummary& summary) {
  for (TransactionObserver* observer : transactionObservers_) observer->transactionEnded(summary);
}

void ExchangeDispatcher::perform(ExchangeResult result) {
  // The transaction is over on the line: it is recorded before a handler can end the operation.
  const TransactionSummary summary = modbus_.Summary(result);
  if (summary.echoLength > 0) ++counts_.echoesRemoved;
  if (summary.droppedLate > 0) ++counts_.lateDropped;
  tellObservers(summary);
  result_.event = result;
  result_.exceptionCode = 0;
  result_.function = modbus_.FunctionCode();
  result_.target = modbus_.RequestTarget();
  result_.value.type = result_.target.type;
  result_.value.kind = ValueKind::None;
  result_.value.wordCount = 0;
  result_.late = summary.late;
  result_.echoLength = summary.echoLength;
  result_.elapsed = modbus_.Elapsed();
  switch (result) {
    case ExchangeResult::UM_REPLY:
      UM_REPLY();
      return;
    case ExchangeResult::UM_TIMEOUT:
      UM_TIMEOUT();
      return;
    case ExchangeResult::UM_CRCERROR:
      UM_CRCERROR();
      return;
  }
}

void ExchangeDispatcher::UM_REPLY() {
  ++counts_.replies;
  if (modbus_.DecodeReply(replyOk_, replyText_)) {
    result_.outcome = TransactionOutcome::Reply;
    if (ReplyShowsValue(modbus_.FunctionCode())) {
      result_.value = modbus_.ReplyValue();
      if (client_) client_->ShowValue(result_);
    }
    window_.restartHighlightTimer();
  } else {
    ++counts_.exceptions;  // no value and no highlight, but the step still follows
    result_.outcome = TransactionOutcome::Exception;
    result_.exceptionCode = modbus_.ReplyExceptionCode();
  }
  next();
}

void ExchangeDispatcher::UM_TIMEOUT() {
  ++counts_.timeouts;
  result_.outcome = TransactionOutcome::NoAnswer;
  replyOk_ = false;
  replyText_.clear();
  next();
}

void ExchangeDispatcher::UM_CRCERROR() {
  ++counts_.crcErrors;
  result_.outcome = modbus_.ReplyMalformed() ? TransactionOutcome::Malformed : TransactionOutcome::CrcError;
  replyOk_ = false;  // ReplyText keeps its text
  next();
}

void ExchangeDispatcher::next() {
  if (client_) client_->UM_NEXT(result_);
}

void ExchangeDispatcher::processPendingMessages() {
  window_.processPendingMessages();
}

void ExchangeDispatcher::showMessage(const std::u16string& text) {
  window_.showMessage(text);
}

void ExchangeDispatcher::appendLogLine(const std::u16string& line) {
  ++counts_.lateReplies;  // the exchange writes one line only: the "." of a late reply
  window_.appendLogLine(line);
}

}  // namespace velnorex
