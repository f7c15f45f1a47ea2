// The shared transaction recorder of the tests, benchmarks and the reply fuzz harness.
#include "tests/support/transaction_recorder.h"

#include <iterator>
#include <tuple>
#include <utility>

#include "text/number_text.h"

namespace velnorex::test {

// transactionEnded names a result by its number.
static_assert(static_cast<int>(ExchangeResult::UM_REPLY) ==
              static_cast<int>(TransactionRecorder::Event::UM_REPLY));
static_assert(static_cast<int>(ExchangeResult::UM_TIMEOUT) ==
              static_cast<int>(TransactionRecorder::Event::UM_TIMEOUT));
static_assert(static_cast<int>(ExchangeResult::UM_CRCERROR) ==
              static_cast<int>(TransactionRecorder::Event::UM_CRCERROR));

std::vector<std::u16string> TransactionRecorder::texts(Event event) const {
  std::vector<std::u16string> out;
  for (const Entry& e : entries_) {
    if (e.event == event) out.push_back(e.text);
  }
  return out;
}

std::vector<TransactionRecorder::Event> TransactionRecorder::results() const {
  std::vector<Event> out;
  for (const Entry& e : entries_) {
    if (e.event <= Event::UM_CRCERROR || e.event == Event::UM_NEXT) out.push_back(e.event);
  }
  return out;
}

std::vector<std::string> TransactionRecorder::trace() const {
  // In the order of Event.
  static const char* const kNames[] = {
      "UM_REPLY", "UM_TIMEOUT", "UM_CRCERROR", "ShowValue", "StartHighlightTimer",
      "UM_NEXT",  "pending",    "message",     "log"};
  static_assert(std::size(kNames) == std::tuple_size_v<decltype(counts_)>);
  std::vector<std::string> out;
  for (const Entry& e : entries_) {
    std::string line = kNames[static_cast<size_t>(e.event)];
    if (e.event == Event::ShowValue || e.event == Event::Message || e.event == Event::LogLine)
      line += " " + ToUtf8(e.text);
    out.push_back(std::move(line));
  }
  return out;
}

void TransactionRecorder::clear() {
  entries_.clear();
  counts_.fill(0);
}

void TransactionRecorder::record(Event event, const std::u16string& text, const std::function<void()>& then) {
  ++counts_[static_cast<size_t>(event)];
  if (keepEntries) entries_.push_back({event, text});
  if (then) then();
}

}  // namespace velnorex::test
