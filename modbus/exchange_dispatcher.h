// The one owner of a transaction's way back: the exchange reports its outcome here, the reply is decoded into
// ReplyOk and ReplyText, and whoever started the transaction gets the value and its next step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modbus/exchange_host.h"
#include "modbus/transaction_result.h"

namespace velnorex {

class Modbus;

// Whoever starts a transaction: a register read or write, a group step, a recording tick, a configuration
// run. Both calls come while the transaction is still in progress, so neither may start another one
// directly; `result` holds only during the call.
class TransactionClient {
 public:
  virtual ~TransactionClient() = default;
  // A reply to a read decoded without an exception: result.value holds the value (ReplyOk is true).
  virtual void ShowValue(const TransactionResult& result) { (void)result; }
  // UM_NEXT: the transaction has been dealt with, whatever its outcome.
  virtual void UM_NEXT(const TransactionResult& result) = 0;
};

// Sees the end of every transaction with its result, what went out and what came back (the traffic monitor,
// and tests that follow the outcomes). Called once per transaction, before its result event is handled.
class TransactionObserver {
 public:
  virtual ~TransactionObserver() = default;
  virtual void transactionEnded(const TransactionSummary& summary) = 0;
};

class ExchangeDispatcher final : public ExchangeHost {
 public:
  // What only a window has.
  class Window {
   public:
    virtual ~Window() = default;
    virtual void processPendingMessages() = 0;
    virtual void showMessage(const std::u16string& text) = 0;
    virtual void appendLogLine(const std::u16string& line) = 0;
    // HighlightTimer, 500 ms, started again when it runs.
    virtual void restartHighlightTimer() = 0;
  };

  // How the transactions of this run ended, for the operator's and the benchmarks' figures.
  struct Counts {
    uint64_t replies = 0;     // valid replies, exceptions included
    uint64_t exceptions = 0;  // of those, exception replies
    uint64_t timeouts = 0;
    uint64_t crcErrors = 0;
    uint64_t lateReplies = 0;  // replies that came only in the retry read
    uint64_t echoesRemoved = 0;
    uint64_t lateDropped = 0;  // late replies discarded before a request
  };

  // Both outlive the dispatcher.
  ExchangeDispatcher(Modbus& modbus, Window& window);

  // Sends the request that stands in the frame, with the outcome going to `client`. Does nothing while
  // another transaction is in progress.
  void Exchange(TransactionClient& client);
  // For a request builder that runs the exchange itself (the diagnostics request): the host whose results
  // go to `client`. The running transaction's client is never replaced.
  ExchangeHost& hostFor(TransactionClient& client);

  // The result events: record the outcome in ReplyOk and ReplyText, decode, restart the highlight after a
  // good reply, and hand the result to the client (its value, then its next step).
  void UM_REPLY();
  void UM_TIMEOUT();
  void UM_CRCERROR();

  const Counts& counts() const { return counts_; }
  // ReplyOk and ReplyText as the last result left them: the outcome and the display text of the last read.
  bool replyOk() const { return replyOk_; }
  const std::u16string& replyText() const { return replyText_; }
  // The last transaction's result, as its client received it.
  const TransactionResult& lastResult() const { return result_; }
  // Any number of transaction observers, told in the order they were added; each must outlive its
  // registration.
  void addTransactionObserver(TransactionObserver* observer);
  void removeTransactionObserver(TransactionObserver* observer);
  // A transaction that ran under a line hold instead of through Exchange (a probe of the line search): its
  // observers see it as any other; nothing else happens.
  void tellObservers(const TransactionSummary& summary);

  // ExchangeHost
  void perform(ExchangeResult result) override;
  void processPendingMessages() override;
  void showMessage(const std::u16string& text) override;
  void appendLogLine(const std::u16string& line) override;

 private:
  void next();

  Modbus& modbus_;
  bool replyOk_ = false;
  std::u16string replyText_;
  Window& window_;
  TransactionResult result_;
  TransactionClient* client_ = nullptr;
  std::vector<TransactionObserver*> transactionObservers_;
  Counts counts_;
};

}  // namespace velnorex
