// The top-level error handler.
#include "app/application.h"

#include "app/message_box.h"

namespace velnorex {

VelnorexApplication::VelnorexApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VelnorexApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException(std::current_exception());
    return false;
  }
}

QString WithFullStop(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void HandleException(std::exception_ptr error) {
  if (!error) return;
  QString text;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = QString::fromUtf8(e.what());
  } catch (...) {
    text = QStringLiteral("Unknown exception");
  }
  ShowModalMessage(QApplication::activeWindow(), WithFullStop(text), MessageIcon::Stop,
                   QString::fromLatin1(kApplicationTitle));
}

}  // namespace velnorex
