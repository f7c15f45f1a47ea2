// Makes the documentation's pictures of the real window, not a test: the first start with no settings file
// (docs/first-start.png), the register tree after a group read against the simulator (docs/tree.png) and the
// search dialog after it found three simulated transducers (docs/search.png), and the window "Ruch na linii"
// during a group read (docs/monitor.png), and a list recording of drifting measurements with its trend
// (docs/trend.png), the same in English (docs/english.png) and on a dark desktop (docs/dark.png).
// Run by scripts/screenshots.sh under a virtual X display.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include "app/application.h"
#include "app/line_monitor_window.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "tests/support/simulator.h"

namespace {

using velnorex::RegisterTreeNode;

bool waitFor(const std::function<bool()>& condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > 60000) return false;
    QTest::qWait(10);
  }
  return true;
}

RegisterTreeNode* find(RegisterTreeNode& from, std::u16string_view name) {
  for (const auto& child : from.children()) {
    if (child->data.Name == name) return child.get();
    if (RegisterTreeNode* hit = find(*child, name)) return hit;
  }
  return nullptr;
}

TForm1::Paths pathsIn(const QTemporaryDir& dir) {
  return TForm1::Paths{dir.filePath(QStringLiteral("velnorex.INI")),
                       dir.filePath(QStringLiteral("velnorex.log")),
                       dir.filePath(QStringLiteral("velnorex.lst")), QStringList{dir.path()},
                       dir.filePath(QStringLiteral("recordings"))};
}

bool save(QWidget& window, const QString& target) {
  QTest::qWait(300);
  if (!window.grab().save(target)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
    return false;
  }
  std::printf("written: %s\n", qPrintable(target));
  return true;
}

// The window beside a copy of THV-21.dat, connected to a simulator started with `simArgs`, the definition
// loaded; `ok` is false when any of it failed.
struct Scene {
  QTemporaryDir dir;
  std::unique_ptr<velnorex::test::SimulatorProcess> sim;
  std::unique_ptr<TForm1> form;
  bool ok = false;

  Scene(std::vector<std::string> simArgs, QSize size) {
    const QString definition = dir.filePath(QStringLiteral("THV-21.dat"));
    if (!QFile::copy(QString::fromStdString(velnorex::test::BinDir()) + QStringLiteral("/THV-21.dat"),
                     definition))
      return;
    simArgs.insert(simArgs.begin(), {"--definition", definition.toStdString()});
    sim = std::make_unique<velnorex::test::SimulatorProcess>(simArgs);
    form = std::make_unique<TForm1>(pathsIn(dir));
    if (size.isValid()) form->resize(size);
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) return;
    form->ComCBox->setEditText(QString::fromStdString(sim->path()));
    form->btConnectClick();
    form->cbxDeviceEnter();
    form->cbxDevice->setCurrentIndex(form->cbxDevice->findText(QStringLiteral("THV-21.dat")));
    form->cbxDeviceSelect();
    ok = form->serial.PortOpen();
  }
  RegisterTreeNode* node(std::u16string_view name) { return find(form->VTModel->tree().root(), name); }
  void click(std::u16string_view name) {
    form->VT->setFocusedNode(node(name));
    form->VTClick();
  }
  bool idle() { return !form->state.GroupActive && !form->modbus.InTransaction(); }
  // Reads a register or a group as a double-click on its name does, and waits for the end.
  bool read(std::u16string_view name) {
    click(name);
    form->VTColumnDblClick(0, {});
    return waitFor([&] { return idle(); });
  }
};

// The window as a newcomer first sees it: no settings file, every default.
bool firstStart(const QString& target) {
  QTemporaryDir dir;
  TForm1 form(pathsIn(dir));
  form.show();
  return QTest::qWaitForWindowExposed(&form) && save(form, target);
}

// A group read of THV-21 against the simulator, a few registers opened.
bool treeAfterAGroupRead(const QString& target) {
  Scene scene({}, QSize(1000, 760));
  if (!scene.ok) return false;
  TForm1& form = *scene.form;
  form.splitY->setSizes({640, 80});
  if (!scene.read(u"Pomiary") || !scene.read(u"Słowo statusu")) return false;
  for (std::u16string_view name :
       {u"Słowo statusu", u"Konfiguracja", u"Szybkość transmisji", u"Identyfikacja"})
    form.VT->expand(form.VTModel->indexOf(scene.node(name), 0));
  scene.click(u"Temperatura");
  form.VT->scrollToTop();
  return save(form, target);
}

// The search of a line with three transducers at 19200 baud, parity none, addresses 1 to 32.
bool searchWithResults(const QString& target) {
  Scene scene({"--slave", "1", "--slave", "7", "--slave", "31", "--baud", "19200", "--parity", "n"}, QSize());
  if (!scene.ok) return false;
  TForm1& form = *scene.form;
  form.btSearchClick();
  velnorex::SearchDialog* d = form.searchDialog;
  if (!d || !QTest::qWaitForWindowExposed(d)) return false;
  d->cbxParityOdd->setChecked(false);
  d->eTo->setValue(32);
  d->btStart->click();
  if (!waitFor([&] { return !d->searching(); }) || d->tbResults->rowCount() != 3) return false;
  d->tbResults->selectRow(1);
  return save(*d, target);
}

// "Ruch na linii" during a second group read at 9600 baud, with a silent and a garbled answer in it.
bool monitorDuringAGroupRead(const QString& target) {
  Scene scene({"--baud", "9600", "--silent-first", "1", "--corrupt-crc", "3"}, QSize());
  if (!scene.ok) return false;
  TForm1& form = *scene.form;
  form.Ruchnalinii1->trigger();
  velnorex::LineMonitorWindow& monitor = form.lineMonitor.window();
  monitor.resize(1180, 380);
  if (!scene.read(u"Pomiary")) return false;
  scene.click(u"Pomiary");
  form.VTColumnDblClick(0, {});
  if (!waitFor([&] { return monitor.model().rowCount() >= 13; })) return false;
  const bool saved = save(monitor, target);
  waitFor([&] { return scene.idle(); });
  return saved;
}

// A list recording of registers of THV-21 whose values drift, `seconds` into it.
bool trendDuringARecording(const QString& target, QSize size = QSize(1240, 860), int seconds = 24,
                           std::initializer_list<std::u16string_view> names = {
                               u"Temperatura", u"Wilgotność względna", u"Punkt rosy", u"Słowo statusu"}) {
  Scene scene(
      {"--wave", "0:REAL:2:19,5:23,5:13", "--wave", "2:REAL:2:38:52:19", "--wave", "4:REAL:2:6,5:11:29"},
      size);
  if (!scene.ok) return false;
  TForm1& form = *scene.form;
  form.splitY->setSizes({size.height() * 3 / 10, size.height() * 7 / 10});
  form.Listarejestrow1->trigger();
  for (std::u16string_view name : names) {
    scene.click(name);
    form.Dodajdolisty1->trigger();
  }
  form.VT->expand(form.VTModel->indexOf(scene.node(u"Pomiary"), 0));
  form.cbxRecList->setChecked(true);
  form.eInterval->setText(QStringLiteral("0,2"));
  form.btRec->click();
  if (!form.listRecording.running()) return false;
  QTest::qWait(seconds * 1000);
  const bool saved = save(form, target);
  form.btRec->click();
  return saved;
}

// The same recording in English, at a laptop's size.
bool englishRecording(const QString& target) {
  QTranslator english;
  if (!english.load(QStringLiteral("velnorex_en"), QStringLiteral(":/i18n"))) return false;
  QCoreApplication::installTranslator(&english);
  const bool saved = trendDuringARecording(target, QSize(1040, 820), 12, {u"Temperatura", u"Punkt rosy"});
  QCoreApplication::removeTranslator(&english);
  return saved;
}

// The recording on a dark desktop: Fusion with its dark palette.
bool darkRecording(const QString& target) {
  const QPalette previous = QApplication::palette();
  QApplication::setStyle(QStringLiteral("Fusion"));
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(53, 53, 53));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Base, QColor(42, 42, 42));
  dark.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Button, QColor(53, 53, 53));
  dark.setColor(QPalette::ButtonText, Qt::white);
  dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  QApplication::setPalette(dark);
  const bool saved = trendDuringARecording(target, QSize(1240, 860), 12);
  QApplication::setPalette(previous);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  velnorex::VelnorexApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("velnorex"));
  const QStringList args = app.arguments();
  if (args.size() != 2) {
    std::fputs(
        "Usage: velnorex-screenshots DOCS_FOLDER   (writes first-start, tree, search, monitor, trend, "
        "english and dark .png)\n",
        stderr);
    return 2;
  }
  const QDir docs(args[1]);
  // A message box would wait for a click nobody gives.
  velnorex::SetMessageBoxHook(
      [](const velnorex::ShownMessage& m) { std::fprintf(stderr, "message: %s\n", qPrintable(m.text)); });
  try {
    const bool made = firstStart(docs.filePath(QStringLiteral("first-start.png"))) &&
                      treeAfterAGroupRead(docs.filePath(QStringLiteral("tree.png"))) &&
                      searchWithResults(docs.filePath(QStringLiteral("search.png"))) &&
                      monitorDuringAGroupRead(docs.filePath(QStringLiteral("monitor.png"))) &&
                      trendDuringARecording(docs.filePath(QStringLiteral("trend.png"))) &&
                      englishRecording(docs.filePath(QStringLiteral("english.png"))) &&
                      darkRecording(docs.filePath(QStringLiteral("dark.png")));
    return made ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
