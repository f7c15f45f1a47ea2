// The help toggle from any control, and the top-level error handler.
#include <QTest>

#include "app/application.h"
#include "tests/app/app_fixture.h"
#include "text/errors.h"

namespace velnorex::test {
namespace {

// Records the help keys a widget itself is sent.
class KeyRecorder : public QObject {
 public:
  std::vector<int> keys;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_F1 || key == Qt::Key_Escape) keys.push_back(key);
    }
    return false;
  }
};

TEST_F(AppTest, F1AndEscToggleTheHelpWhateverHasTheFocusAndTheKeyStillArrives) {
  auto w = makeWindow();
  showAndSettle(*w);
  const auto helpShown = [&] {
    return w->Memo2->isVisible() && !w->Memo1->isVisible() &&
           w->stBar->currentMessage() == QStringLiteral("Esc - zamknij pomoc");
  };
  const auto logShown = [&] {
    return !w->Memo2->isVisible() && w->Memo1->isVisible() &&
           w->stBar->currentMessage() == QStringLiteral("F1 - pomoc");
  };
  QWidget* targets[] = {w->eSlave,  w->eInterval, w->VT,    w->btConnect,
                        w->cbxBaud, w->Memo1,     w->Memo2, w.get()};
  for (QWidget* target : targets) {
    SCOPED_TRACE(target->objectName().toStdString());
    KeyRecorder recorder;
    target->installEventFilter(&recorder);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_F1);
    EXPECT_TRUE(helpShown());
    QTest::keyClick(target, Qt::Key_F1, Qt::ShiftModifier);  // again, and with a modifier: same state
    EXPECT_TRUE(helpShown());
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_TRUE(logShown());
    QTest::keyClick(target, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_TRUE(logShown());
    EXPECT_EQ(recorder.keys, (std::vector<int>{Qt::Key_F1, Qt::Key_F1, Qt::Key_Escape, Qt::Key_Escape}));
    target->removeEventFilter(&recorder);
  }
  // Hiding the log keeps its text.
  w->Memo1->appendPlainText(QStringLiteral("kept"));
  QTest::keyClick(w->eSlave, Qt::Key_F1);
  w->Memo1->appendPlainText(QStringLiteral("while hidden"));
  QTest::keyClick(w->eSlave, Qt::Key_Escape);
  EXPECT_EQ(w->Memo1->toPlainText(), QStringLiteral("kept\nwhile hidden"));
  // Other keys still reach the control as usual.
  w->eSlave->setFocus();
  w->eSlave->clear();
  QTest::keyClicks(w->eSlave, QStringLiteral("12"));
  EXPECT_EQ(w->eSlave->text(), QStringLiteral("12"));
  EXPECT_TRUE(logShown());
}

TEST(ErrorHandler, AppendsAFullStopOnlyAfterCharactersAboveTheStop) {
  EXPECT_EQ(WithFullStop(QStringLiteral("'x' is not a valid integer value")),
            QStringLiteral("'x' is not a valid integer value."));
  EXPECT_EQ(WithFullStop(QStringLiteral("brak połączenia !")), QStringLiteral("brak połączenia !"));
  EXPECT_EQ(WithFullStop(QStringLiteral("(np. Rozłącz)")), QStringLiteral("(np. Rozłącz)"));
  EXPECT_EQ(WithFullStop(QStringLiteral("done.")), QStringLiteral("done."));
  EXPECT_EQ(WithFullStop(QStringLiteral("a-")), QStringLiteral("a-"));  // '-' is below '.'
  EXPECT_EQ(WithFullStop(QStringLiteral("code 7")), QStringLiteral("code 7."));
  EXPECT_EQ(WithFullStop(QStringLiteral("a/")), QStringLiteral("a/."));  // '/' is just above
  EXPECT_EQ(WithFullStop(QStringLiteral("zażółć")), QStringLiteral("zażółć."));
  EXPECT_EQ(WithFullStop(QString()), QString());
}

TEST_F(AppTest, ErrorsOfHandlersReachTheTopLevelHandlerAndStopThere) {
  HandleException(std::make_exception_ptr(ConvertError("'1,5x' is not a valid floating point value")));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("'1,5x' is not a valid floating point value."));
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(messages[0].caption, QStringLiteral("velnorex"));

  // A handler run from a signal: the exception ends it, the message shows, the emitter carries on.
  auto w = makeWindow();
  // Widgets of the test's own, which no part of the window has wired.
  auto* button = new QPushButton(w.get());
  auto* box = new QComboBox(w.get());
  bool after = false;
  QObject::connect(button, &QPushButton::clicked, w.get(), TForm1::guarded([] {
                     throw Error("Cannot open file \"x.dat\". No such file or directory");
                   }));
  QObject::connect(button, &QPushButton::clicked, w.get(), [&] { after = true; });
  button->click();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text, QStringLiteral("Cannot open file \"x.dat\". No such file or directory."));
  EXPECT_TRUE(after);

  // Handlers that take the signal's arguments are guarded alike.
  int seen = -1;
  QObject::connect(box, &QComboBox::currentIndexChanged, w.get(),
                   TForm1::guarded([&](int index) { seen = index; }));
  box->addItem(QStringLiteral("T1"));
  EXPECT_EQ(seen, 0);

  // Operator messages go the same way: OK only, caption the application title, no icon.
  w->dispatcher.showMessage(u"brak połączenia !");
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].text, QStringLiteral("brak połączenia !"));
  EXPECT_EQ(messages[2].icon, MessageIcon::None);
  EXPECT_EQ(messages[2].caption, QStringLiteral("velnorex"));
}

TEST_F(AppTest, TheModalDepthCountsAMessageWhileItIsOpen) {
  int depthInside = -1;
  SetMessageBoxHook([&](const ShownMessage&) { depthInside = ModalMessageDepth(); });
  EXPECT_EQ(ModalMessageDepth(), 0);
  ShowModalMessage(nullptr, QStringLiteral("x"));
  EXPECT_EQ(depthInside, 1);
  EXPECT_EQ(ModalMessageDepth(), 0);
}

}  // namespace
}  // namespace velnorex::test
