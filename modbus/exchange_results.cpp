// The result-event handlers of a transaction, on the window's ReplyOk and ReplyText.
#include "modbus/exchange_results.h"

#include "modbus/modbus.h"

namespace velnorex {

ExchangeResults::ExchangeResults(Modbus& modbus, bool& replyOk, std::u16string& replyText, Window& window)
    : modbus_(modbus), replyOk_(replyOk), replyText_(replyText), window_(window) {}

void ExchangeResults::OnReply() {
  const bool ok = modbus_.DecodeReply(replyOk_, replyText_);
  if (ok) {
    const uint8_t function = modbus_.FunctionCode();
    if (function == 3 || function == 6 || function == 16) window_.ShowValue();
    window_.StartHighlightTimer();
  }
  window_.PerformNext();
}

void ExchangeResults::OnTimeout() {
  replyOk_ = false;
  replyText_.clear();
  window_.PerformNext();
}

void ExchangeResults::OnCrcError() {
  replyOk_ = false;
  window_.PerformNext();
}

bool ExchangeResults::Handle(WindowMessage message) {
  switch (message) {
    case WindowMessage::UM_REPLY:
      OnReply();
      return true;
    case WindowMessage::UM_TIMEOUT:
      OnTimeout();
      return true;
    case WindowMessage::UM_CRCERROR:
      OnCrcError();
      return true;
    default:
      return false;
  }
}

}  // namespace velnorex
