// The window's side of a transaction, the client that started it and an observer of its summary in one
// recorder: what the real result trip tells each of them, in the order it came. Plain C++, so that the reply
// fuzz harness records with it too.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "modbus/exchange_dispatcher.h"

namespace velnorex::test {

class TransactionRecorder final : public ExchangeDispatcher::Window,
                                  public TransactionClient,
                                  public TransactionObserver {
 public:
  // The result events keep the dispatcher's names; the rest say which call came.
  enum class Event {
    UM_REPLY,
    UM_TIMEOUT,
    UM_CRCERROR,
    ShowValue,
    Highlight,
    UM_NEXT,
    Pending,
    Message,
    LogLine
  };
  struct Entry {
    Event event;
    std::u16string text;  // the value shown, the message or the log line
  };

  TransactionRecorder() = default;
  TransactionRecorder(const TransactionRecorder&) = delete;
  TransactionRecorder& operator=(const TransactionRecorder&) = delete;

  // Each runs after its event is recorded.
  std::function<void()> onPending, onShowValue, onNext;
  // Off, the events are only counted: a benchmark's transaction then allocates nothing here.
  bool keepEntries = true;

  const std::vector<Entry>& entries() const { return entries_; }
  size_t count(Event event) const { return counts_[static_cast<size_t>(event)]; }
  // The texts of one kind of event, in order (the log lines, the messages, the values shown).
  std::vector<std::u16string> texts(Event event) const;
  // The result events and UM_NEXT alone, in order.
  std::vector<Event> results() const;
  // Every entry as one line: "UM_REPLY", "ShowValue 5", "StartHighlightTimer", "UM_NEXT", "pending", "log .",
  // "message brak połączenia !".
  std::vector<std::string> trace() const;
  // Forgets the entries and the counts.
  void clear();

  // ExchangeDispatcher::Window
  void processPendingMessages() override { record(Event::Pending, {}, onPending); }
  void showMessage(const std::u16string& text) override { record(Event::Message, text); }
  void appendLogLine(const std::u16string& line) override { record(Event::LogLine, line); }
  void restartHighlightTimer() override { record(Event::Highlight); }

  // TransactionObserver
  void transactionEnded(const TransactionSummary& summary) override {
    record(static_cast<Event>(static_cast<int>(summary.result)));  // the three results come first in Event
  }

  // TransactionClient: the one place that knows how the dispatcher hands a client its result (a read's
  // value with ShowValue, the end of every transaction with UM_NEXT). The value is recorded as the tree
  // shows it.
  void ShowValue(const TransactionResult& result) override {
    record(Event::ShowValue, DisplayText(result.value), onShowValue);
  }
  void UM_NEXT(const TransactionResult&) override { record(Event::UM_NEXT, {}, onNext); }

 private:
  void record(Event event, const std::u16string& text = {}, const std::function<void()>& then = nullptr);

  std::vector<Entry> entries_;
  std::array<size_t, static_cast<size_t>(Event::LogLine) + 1> counts_{};
};

}  // namespace velnorex::test
