// The file a recording streams into: CSV with a header naming each register, then one line per reading,
// each line handed to the system and synced before the next reading is taken, so that a crash or a power
// cut loses at most the line being written. Plain C++: no Qt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "recording/recording_sink.h"

namespace velnorex {

// ISO 8601 local time with milliseconds and the UTC offset, e.g. "2024-05-01T14:05:09.123+02:00".
std::string IsoLocalTime(RecordingClock::time_point when);
// "<name> [slave <slave>; rejestr <address>; <type>]", the header cell of one register.
std::u16string CsvHeaderCell(const RecordedColumn& column);
// A reading as its CSV cell: a number at full precision with '.' as the decimal separator (a REAL or PREC
// as the shortest decimal that reads back as the same single), anything else as the tree shows it; empty
// for a failed read.
std::u16string CsvValueCell(const RecordedValue& value);
// Appends `cell` in UTF-8, quoted when it holds a comma, a quote or a line break.
void AppendCsvCell(std::string& line, std::u16string_view cell);
// The file name of a recording started at `start`: "2024-05-01_14-05-09_<label>.csv", with every character
// that a file name cannot hold on Windows or Linux replaced by '_'.
std::string RecordingFileName(RecordingClock::time_point start, std::u16string_view label, int attempt = 1);

class CsvRecordingFile {
 public:
  // Creates `folder` when needed and a new file in it (never replacing one: a name already taken gets "_2",
  // "_3", ...), and writes the header line "czas,<one cell per column>". Throws Error with the operator's
  // message when the folder or the file cannot be made.
  CsvRecordingFile(const std::string& folder, RecordingClock::time_point start,
                   const std::vector<RecordedColumn>& columns, std::u16string_view label);
  ~CsvRecordingFile();
  CsvRecordingFile(const CsvRecordingFile&) = delete;
  CsvRecordingFile& operator=(const CsvRecordingFile&) = delete;

  // One line: the time, then one cell per column (empty for a failed read). Throws Error when the line
  // cannot be written whole.
  void writeRow(RecordingClock::time_point when, const std::vector<RecordedValue>& values);

  const std::string& path() const { return path_; }
  size_t rows() const { return rows_; }

 private:
  void writeLine();

  std::vector<RecordedColumn> columns_;
  std::string path_;
  int fd_ = -1;
  std::string line_;  // kept between rows, so that a row does not allocate once the line has grown
  size_t rows_ = 0;
};

}  // namespace velnorex
