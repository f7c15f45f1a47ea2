// The real window recording the watch list in a program of its own, for the test that kills it:
//   recording_child PORT FOLDER INTERVAL
// connects to PORT, records the list of the list tests into FOLDER/recordings and prints the CSV file's path
// once the recording runs; then it records until it is killed.
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QTest>

#include "app/main_window.h"
#include "app/message_box.h"

using namespace velnorex;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: recording_child PORT FOLDER INTERVAL\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(folder);
  // A message would block the recording: say it on stderr instead.
  SetMessageBoxHook([](const ShownMessage& m) { std::fprintf(stderr, "message: %s\n", qPrintable(m.text)); });
  TForm1 form(TForm1::Paths{
      folder + QStringLiteral("/velnorex.INI"), folder + QStringLiteral("/velnorex.log"),
      folder + QStringLiteral("/velnorex.lst"), folder, folder + QStringLiteral("/recordings")});
  form.show();
  form.cbxParity->setCurrentIndex(0);
  form.ComCBox->setEditText(QString::fromLocal8Bit(argv[1]));
  QTest::mouseClick(form.btConnect, Qt::LeftButton);

  const struct {
    const char16_t* slave;
    RegisterNode record;
  } list[] = {
      {u"1", {u"Temp", {}, u"100", u"INT", u"1", u"RO", {}}},
      {u"1", {u"Wilgotność", {}, u"102", u"REAL", u"2", u"RO", {}}},
      {u"2", {u"Obcy", {}, u"100", u"INT", u"1", u"RO", {}}},
      {u"1", {u"Opis", {}, u"110", u"TEXT", u"4", u"RO", {}}},
      {u"1", {u"Tryb", {}, u"120", u"HEX", u"1", u"RW", {}}},
      {u"1", {u"Błąd", {}, u"130", u"WORD", u"1", u"RO", {}}},
  };
  for (const auto& entry : list)
    form.VLModel->AddToWatchList(&entry.record, QString::fromStdU16String(entry.slave));
  form.cbxRecList->setChecked(true);
  form.eInterval->setText(QString::fromLocal8Bit(argv[3]));
  QTest::mouseClick(form.btRec, Qt::LeftButton);
  if (!form.listRecording.running() || !form.recordingOutputs.file()) {
    std::fprintf(stderr, "recording_child: the recording did not start\n");
    return 1;
  }
  std::printf("%s\n", form.recordingOutputs.file()->path().c_str());
  std::fflush(stdout);
  return app.exec();
}
