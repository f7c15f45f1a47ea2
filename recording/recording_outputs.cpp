// The recording's file and trend, fed from either recording.
#include "recording/recording_outputs.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>

namespace velnorex {

RecordingOutputs::RecordingOutputs(std::function<void(const QString&)> showMessage,
                                   std::function<void(const QString&)> report)
    : openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      showMessage_(std::move(showMessage)),
      report_(std::move(report)) {}

void RecordingOutputs::openFolder() {
  if (folder_.isEmpty() || !QDir().mkpath(folder_) || !openUrl(QUrl::fromLocalFile(folder_)))
    showMessage_(
        QCoreApplication::translate("Messages", "nie można otworzyć folderu nagrań: %1").arg(folder_));
}

void RecordingOutputs::recordingStarted(const std::vector<RecordedColumn>& columns,
                                        const std::u16string& label) {
  file_.reset();
  if (!folder_.isEmpty()) {
    try {
      file_ =
          std::make_unique<CsvRecordingFile>(folder_.toStdString(), RecordingClock::now(), columns, label);
    } catch (const std::exception& error) {
      fail(error);
    }
  }
  if (trend_) trend_->recordingStarted(columns, label);
}

void RecordingOutputs::readingTaken(RecordingClock::time_point when,
                                    const std::vector<RecordedValue>& values) {
  if (file_) {
    try {
      file_->writeRow(when, values);
    } catch (const std::exception& error) {
      fail(error);
    }
  }
  if (trend_) trend_->readingTaken(when, values);
}

void RecordingOutputs::recordingStopped() {
  file_.reset();
  if (trend_) trend_->recordingStopped();
}

void RecordingOutputs::fail(const std::exception& error) {
  // Once per recording: the file is given up, the log window and the trend go on. A message box here would
  // hold the recording up until the operator came back to close it.
  file_.reset();
  report_(QCoreApplication::translate("Messages", "%1; rejestracja trwa bez pliku")
              .arg(QString::fromUtf8(error.what())));
}

}  // namespace velnorex
