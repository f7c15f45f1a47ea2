// The window's handlers of the result events UM_REPLY, UM_TIMEOUT and UM_CRCERROR, kept here so that they
// can be used and tested without a window: they record the outcome and hand over to UM_NEXT.
#pragma once

#include <string>

#include "modbus/exchange_host.h"

namespace velnorex {

class Modbus;

class ExchangeResults {
 public:
  // What the handlers ask of the window.
  class Window {
   public:
    virtual ~Window() = default;
    // Puts ReplyText into the tree after a decoded reply to a read or a write (a write leaves the tree
    // alone).
    virtual void ShowValue() = 0;
    // (Re)starts HighlightTimer, 500 ms.
    virtual void StartHighlightTimer() = 0;
    // Performs UM_NEXT synchronously.
    virtual void PerformNext() = 0;
  };

  // replyOk and replyText are the window's ReplyOk and ReplyText; all four outlive this object.
  ExchangeResults(Modbus& modbus, bool& replyOk, std::u16string& replyText, Window& window);

  // UM_REPLY: decode; show the value of a read or a write; restart the highlight unless it was an exception
  // reply; then UM_NEXT.
  void OnReply();
  // UM_TIMEOUT: ReplyOk false, ReplyText empty; then UM_NEXT.
  void OnTimeout();
  // UM_CRCERROR: ReplyOk false, ReplyText kept; then UM_NEXT.
  void OnCrcError();
  // Runs the handler of a result event; false for any other message (UM_NEXT is the window's own).
  bool Handle(WindowMessage message);

 private:
  Modbus& modbus_;
  bool& replyOk_;
  std::u16string& replyText_;
  Window& window_;
};

}  // namespace velnorex
