// The one road of every modal message box of the program, so that tests can record messages instead of
// blocking, and so that code can tell when a message's own event loop is running.
#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace velnorex {

// The application title: the caption of every message box and the name the program runs under.
inline constexpr char kApplicationTitle[] = "velnorex";

enum class MessageIcon { None, Information, Warning, Stop };

struct ShownMessage {
  QString text;
  MessageIcon icon = MessageIcon::None;
  QString caption;
};

// Shows a modal message box with one OK button and returns when it is closed. An empty caption means the
// application title.
void ShowModalMessage(QWidget* parent, const QString& text, MessageIcon icon = MessageIcon::None,
                      const QString& caption = QString());

// While a hook is set, messages go to it instead of a box (the depth counter still counts them). Pass an
// empty function to restore the box. Returns the previous hook.
std::function<void(const ShownMessage&)> SetMessageBoxHook(std::function<void(const ShownMessage&)> hook);

// How many modal messages are open right now: timer-driven work skips its turn while one is.
int ModalMessageDepth();

}  // namespace velnorex
