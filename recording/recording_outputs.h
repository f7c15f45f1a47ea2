// Where a recording's readings go besides the log window: the CSV file in the recordings folder, and the
// trend. A file that cannot be made or written is reported once, without a message box that would stand
// between the header and the readings, and given up; the recording goes on in the log window and the trend.
#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QUrl>

#include "recording/csv_recording_file.h"
#include "recording/recording_sink.h"

namespace velnorex {

class RecordingOutputs final : public RecordingSink {
 public:
  // `showMessage` is the window's message box, for the operator's own commands; `report` tells of a file
  // given up while a recording runs (a line in the log window and the status line), and must not block.
  RecordingOutputs(std::function<void(const QString&)> showMessage,
                   std::function<void(const QString&)> report);

  // The recordings folder; empty: recordings are not written to files.
  void setFolder(const QString& folder) { folder_ = folder; }
  const QString& folder() const { return folder_; }
  // A second sink that sees everything (the trend); null for none.
  void setTrend(RecordingSink* trend) { trend_ = trend; }

  // "Otwórz folder nagrań": makes the folder when needed and opens it in the system's file manager.
  void openFolder();
  // Opens a folder's URL; tests replace it, since a file manager would start.
  std::function<bool(const QUrl&)> openUrl;

  // The file of the running (or last) recording, null when none is being written.
  const CsvRecordingFile* file() const { return file_.get(); }

  void recordingStarted(const std::vector<RecordedColumn>& columns, const std::u16string& label) override;
  void readingTaken(RecordingClock::time_point when, const std::vector<RecordedValue>& values) override;
  void recordingStopped() override;
  bool keepsEveryReading() const override { return file_ != nullptr; }

 private:
  void fail(const std::exception& error);

  std::function<void(const QString&)> showMessage_;
  std::function<void(const QString&)> report_;
  QString folder_;
  RecordingSink* trend_ = nullptr;
  std::unique_ptr<CsvRecordingFile> file_;
};

}  // namespace velnorex
