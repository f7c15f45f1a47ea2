// The recording's CSV file: one write per line, synced at once.
#include "recording/csv_recording_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

// File names are UTF-8 in the program and in either system's terms at the system.
std::filesystem::path pathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

#ifdef _WIN32
int openNew(const std::string& path) {
  return ::_wopen(pathOf(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long writeSome(int fd, const char* bytes, size_t count) {
  return ::_write(fd, bytes, static_cast<unsigned>(count));
}
int syncData(int fd) {
  return ::_commit(fd);
}
int closeFile(int fd) {
  return ::_close(fd);
}
void toLocal(std::time_t seconds, std::tm& out) {
  localtime_s(&out, &seconds);
}
#else
int openNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}
long writeSome(int fd, const char* bytes, size_t count) {
  return ::write(fd, bytes, count);
}
int syncData(int fd) {
  return ::fdatasync(fd);
}
int closeFile(int fd) {
  return ::close(fd);
}
void toLocal(std::time_t seconds, std::tm& out) {
  localtime_r(&seconds, &out);
}
#endif

std::tm localParts(RecordingClock::time_point when, int& milliseconds) {
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
  long long seconds = ms / 1000;
  long long rest = ms % 1000;
  if (rest < 0) rest += 1000, --seconds;
  milliseconds = static_cast<int>(rest);
  std::tm parts{};
  toLocal(static_cast<std::time_t>(seconds), parts);
  return parts;
}

std::string inQuotes(const std::string& text) {
  return '"' + text + '"';
}

}  // namespace

std::string IsoLocalTime(RecordingClock::time_point when) {
  int milliseconds = 0;
  const std::tm parts = localParts(when, milliseconds);
  char stamp[32];
  char zone[8];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &parts);
  // "+0200" becomes "+02:00": the offset keeps the hour of a daylight-saving change unambiguous.
  if (std::strftime(zone, sizeof zone, "%z", &parts) != 5) std::strcpy(zone, "+0000");
  char text[48];
  std::snprintf(text, sizeof text, "%s.%03d%.3s:%.2s", stamp, milliseconds, zone, zone + 3);
  return text;
}

std::u16string CsvHeaderCell(const RecordedColumn& column) {
  // What the number is and, after it, the unit it is counted in; the scale was applied before the file.
  RegisterFormat format = RegisterFormatOf(column.type);
  std::u16string type = column.type, unit;
  if (format.type != kTypeNone && !IsLegacyFormat(format)) {
    unit = format.meaning.unitText();
    format.meaning = ValueMeaning{};
    type = TypeFieldOf(format);
  }
  return column.name + u" [slave " + column.slave + u"; rejestr " + column.address + u"; " + type +
         (unit.empty() ? u"" : u"; " + unit) + u"]";
}

std::u16string CsvValueCell(const RecordedValue& value) {
  if (!value.value.ok()) return {};
  if (IsNumericType(value.value.type)) {
    const std::string text = FullPrecisionText(value.value);
    return std::u16string(text.begin(), text.end());
  }
  return value.text;
}

void AppendCsvCell(std::string& line, std::u16string_view cell) {
  const std::string text = ToUtf8(cell);
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    line += text;
    return;
  }
  line += '"';
  for (const char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

std::string RecordingFileName(RecordingClock::time_point start, std::u16string_view label, int attempt) {
  int milliseconds = 0;
  const std::tm parts = localParts(start, milliseconds);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &parts);
  std::u16string safe;
  for (const char16_t c : label.substr(0, 60))
    safe += (c < 0x20 || std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos) ? u'_' : c;
  // Windows drops trailing dots and blanks from a name.
  while (!safe.empty() && (safe.back() == u'.' || safe.back() == u' ')) safe.pop_back();
  if (safe.empty()) safe = u"rejestr";
  std::string name = std::string(stamp) + '_' + ToUtf8(safe);
  if (attempt > 1) name += '_' + std::to_string(attempt);
  return name + ".csv";
}

CsvRecordingFile::CsvRecordingFile(const std::string& folder, RecordingClock::time_point start,
                                   const std::vector<RecordedColumn>& columns, std::u16string_view label)
    : columns_(columns) {
  std::error_code error;
  const std::filesystem::path dir = pathOf(folder);
  std::filesystem::create_directories(dir, error);
  if (error) throw Error("nie można utworzyć folderu nagrań " + inQuotes(folder) + ": " + error.message());
  // Two recordings started within one second get names of their own; an earlier file is never replaced.
  for (int attempt = 1; fd_ < 0; ++attempt) {
    path_ = utf8Of(dir / pathOf(RecordingFileName(start, label, attempt)));
    fd_ = openNew(path_);
    if (fd_ < 0 && (errno != EEXIST || attempt >= 1000))
      throw Error("nie można utworzyć pliku nagrania " + inQuotes(path_) + ": " + std::strerror(errno));
  }
  line_ = "czas";
  for (const RecordedColumn& column : columns_) {
    line_ += ',';
    AppendCsvCell(line_, CsvHeaderCell(column));
  }
  try {
    writeLine();
  } catch (...) {
    closeFile(fd_);
    throw;
  }
}

CsvRecordingFile::~CsvRecordingFile() {
  if (fd_ >= 0) closeFile(fd_);
}

void CsvRecordingFile::writeRow(RecordingClock::time_point when, const std::vector<RecordedValue>& values) {
  line_ = IsoLocalTime(when);
  for (size_t i = 0; i < columns_.size(); ++i) {
    line_ += ',';
    if (i < values.size()) AppendCsvCell(line_, CsvValueCell(values[i]));
  }
  writeLine();
  ++rows_;
}

void CsvRecordingFile::writeLine() {
  line_ += "\r\n";
  // One write for the whole line: once it returns, the line is the system's, and a killed program loses
  // nothing of it. A short write (a full disk) is continued, then reported.
  size_t done = 0;
  while (done < line_.size()) {
    const long n = writeSome(fd_, line_.data() + done, line_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Error("błąd zapisu pliku nagrania " + inQuotes(path_) + ": " + std::strerror(errno));
    done += static_cast<size_t>(n);
  }
  // On the disk before the next reading: a power cut then loses at most the line being written. A file
  // system that cannot sync (EINVAL) keeps the line in the system all the same.
  if (syncData(fd_) != 0 && errno != EINVAL)
    throw Error("błąd zapisu pliku nagrania " + inQuotes(path_) + ": " + std::strerror(errno));
}

}  // namespace velnorex
