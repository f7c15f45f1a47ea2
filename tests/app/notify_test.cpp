// The application object's top-level handler: an exception thrown by an event handler is shown, and the
// program carries on. Runs in a program of its own, since it needs its own application object.
#include <cstdlib>

#include <gtest/gtest.h>
#include <QEvent>
#include <QObject>

#include "app/application.h"
#include "app/message_box.h"
#include "text/errors.h"

namespace velnorex {
namespace {

class Thrower : public QObject {
 public:
  int handled = 0;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) {
      ++handled;
      throw ConvertError("'abc' is not a valid integer value");
    }
    return QObject::event(e);
  }
};

TEST(VelnorexApplication, ShowsTheMessageOfAnExceptionThatEndsAnEventAndCarriesOn) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "notify_tests";
  char* argv[] = {name, nullptr};
  VelnorexApplication app(argc, argv);
  std::vector<ShownMessage> shown;
  SetMessageBoxHook([&](const ShownMessage& m) { shown.push_back(m); });

  Thrower thrower;
  QEvent direct(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &direct));
  // Posted events go through the same handler from the event loop.
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  QCoreApplication::processEvents();

  EXPECT_EQ(thrower.handled, 2);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, QStringLiteral("'abc' is not a valid integer value."));
  EXPECT_EQ(shown[0].icon, MessageIcon::Stop);
  EXPECT_EQ(shown[0].caption, QStringLiteral("velnorex"));
  SetMessageBoxHook(nullptr);
}

}  // namespace
}  // namespace velnorex
