// The first start and the window's minimum: every control of the control panel at its natural size and none
// over another; stored bounds clamped to that minimum and to the screen.
#include <QGuiApplication>
#include <QScreen>

#include "app/window_bounds.h"
#include "tests/app/app_fixture.h"

namespace velnorex::test {
namespace {

// What is wrong with the control panel as laid out now: a control below its natural height or narrower
// than its smallest width, outside its group, or over a neighbour. Empty when all is well.
std::vector<std::string> ControlPanelFaults(const TForm1& w) {
  std::vector<std::string> faults;
  const auto name = [](const QWidget* c) { return c->objectName().toStdString(); };
  std::vector<QWidget*> parents{w.Panel3};
  for (QGroupBox* box : w.Panel3->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
    parents.push_back(box);
  for (QWidget* parent : parents) {
    std::vector<QWidget*> controls;
    for (QWidget* c : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (c->isVisible()) controls.push_back(c);
    for (size_t i = 0; i < controls.size(); ++i) {
      QWidget* c = controls[i];
      if (c->height() < c->sizeHint().height())
        faults.push_back(name(c) + " is " + std::to_string(c->height()) + " px high, natural " +
                         std::to_string(c->sizeHint().height()));
      if (c->width() < c->minimumSizeHint().width())
        faults.push_back(name(c) + " is " + std::to_string(c->width()) + " px wide, at least " +
                         std::to_string(c->minimumSizeHint().width()));
      if (!parent->rect().contains(c->geometry()))
        faults.push_back(name(c) + " sticks out of " + name(parent));
      for (size_t j = i + 1; j < controls.size(); ++j)
        if (c->geometry().intersects(controls[j]->geometry()))
          faults.push_back(name(c) + " overlaps " + name(controls[j]));
    }
  }
  if (!w.Panel1->rect().contains(w.Panel3->geometry())) faults.push_back("Panel3 is cut off");
  return faults;
}

QRect Available(const QWidget& w) {
  return w.screen()->availableGeometry();
}

TEST_F(AppTest, FirstStartShowsEveryControlAtItsNaturalSize) {
  auto w = makeWindow();
  showAndSettle(*w);
  // The window's minimum is what the control panel needs, and the first start is 800 x 340 or that minimum.
  const QSize minimum = w->minimumSize();
  EXPECT_GT(minimum.height(), 0);
  EXPECT_EQ(w->size(), QSize(800, 340).expandedTo(minimum));
  EXPECT_TRUE(Available(*w).contains(QRect(w->pos(), w->size()))) << "off the screen";
  EXPECT_EQ(ControlPanelFaults(*w), std::vector<std::string>{});

  // At its smallest the window still shows every control.
  w->resize(1, 1);
  QApplication::processEvents();
  EXPECT_EQ(w->size(), minimum);
  EXPECT_EQ(ControlPanelFaults(*w), std::vector<std::string>{});

  // A long port message grows the minimum instead of squeezing the controls above it.
  w->stPort->setText(
      QStringLiteral("brak uprawnień do portu /dev/ttyUSB0 - dodaj użytkownika do grupy "
                     "dialout i zaloguj się ponownie"));
  w->stPort->show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  w->resize(1, 1);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_GT(w->height(), minimum.height());
  EXPECT_GE(w->stPort->height(), w->stPort->heightForWidth(w->stPort->width()));
  EXPECT_EQ(ControlPanelFaults(*w), std::vector<std::string>{});
}

TEST(RestoredBounds, AtLeastTheMinimumAtMostTheScreenAndOnIt) {
  const QRect screen(0, 0, 1280, 1024);
  const QSize minimum(520, 450);
  // As stored when it fits.
  EXPECT_EQ(RestoredBounds(QRect(100, 100, 800, 600), minimum, screen), QRect(100, 100, 800, 600));
  // Too small: grown to the minimum where it stands.
  EXPECT_EQ(RestoredBounds(QRect(100, 100, 800, 340), minimum, screen), QRect(100, 100, 800, 450));
  EXPECT_EQ(RestoredBounds(QRect(10, 20, 1, 1), minimum, screen), QRect(10, 20, 520, 450));
  // Off the screen on any side: moved back onto it, no further than needed.
  EXPECT_EQ(RestoredBounds(QRect(-3000, 50, 800, 600), minimum, screen), QRect(0, 50, 800, 600));
  EXPECT_EQ(RestoredBounds(QRect(1200, 900, 800, 600), minimum, screen), QRect(480, 424, 800, 600));
  EXPECT_EQ(RestoredBounds(QRect(100, -40, 800, 600), minimum, screen), QRect(100, 0, 800, 600));
  // Larger than the screen: the screen's size.
  EXPECT_EQ(RestoredBounds(QRect(50, 50, 4000, 3000), minimum, screen), screen);
  // A screen with an offset (a second monitor, a panel at the top).
  EXPECT_EQ(RestoredBounds(QRect(0, 0, 800, 600), minimum, QRect(1280, 30, 1920, 1050)),
            QRect(1280, 30, 800, 600));
  // A screen smaller than the minimum: the minimum wins, at the screen's corner.
  EXPECT_EQ(RestoredBounds(QRect(300, 300, 800, 600), minimum, QRect(0, 0, 500, 400)), QRect(0, 0, 520, 450));
}

TEST_F(AppTest, StoredBoundsOffTheScreenOrTooSmallAreBroughtBack) {
  writeFile(paths().settingsFile, "[Form]\r\nTop=-7000\r\nLeft=9000\r\nHeight=10\r\nWidth=20\r\n");
  auto w = makeWindow();
  showAndSettle(*w);
  EXPECT_EQ(w->size(), w->minimumSize());
  EXPECT_TRUE(Available(*w).contains(QRect(w->pos(), w->size()))) << "off the screen";
  EXPECT_EQ(ControlPanelFaults(*w), std::vector<std::string>{});
}

}  // namespace
}  // namespace velnorex::test
