// The application object with the program's top-level error handler: an exception that ends an operation is
// shown to the operator in a message box, and the window carries on.
#pragma once

#include <exception>

#include <QApplication>
#include <QString>

namespace velnorex {

class VelnorexApplication : public QApplication {
 public:
  VelnorexApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// A full stop goes after a message whose last character's code is above that of '.': a message ending in a
// letter gets one, one ending in '!' or ')' does not.
QString WithFullStop(const QString& message);

// Shows the message of the exception with a stop icon and the application title as caption.
void HandleException(std::exception_ptr error);

}  // namespace velnorex
