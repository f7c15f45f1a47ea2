// The real window recording the watch list in a program of its own, for the test that kills it:
//   recording_child PORT FOLDER INTERVAL
// connects to PORT, records the sample watch list into FOLDER/recordings and prints the CSV file's path
// once the recording runs; then it records until it is killed.
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QTest>

#include "app/main_window.h"
#include "app/message_box.h"
#include "tests/e2e/sample_watch_list.h"

using namespace velnorex;
using velnorex::test::FillSampleWatchList;

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
      folder + QStringLiteral("/velnorex.lst"), QStringList{folder}, folder + QStringLiteral("/recordings")});
  form.show();
  form.cbxParity->setCurrentIndex(0);
  form.ComCBox->setEditText(QString::fromLocal8Bit(argv[1]));
  QTest::mouseClick(form.btConnect, Qt::LeftButton);

  FillSampleWatchList(*form.VLModel);
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
