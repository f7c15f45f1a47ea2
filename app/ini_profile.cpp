// The INI profile layer.
#include "app/ini_profile.h"

#include <filesystem>

#include <QFile>

#include "text/cp1250.h"
#include "text/file_replace.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

bool isSectionLine(const QString& trimmed) {
  return trimmed.startsWith(u'[') && trimmed.contains(u']');
}

QString sectionName(const QString& trimmed) {
  return trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
}

bool isComment(const QString& trimmed) {
  return trimmed.startsWith(u';');
}

bool inQuotes(const QString& v) {
  return v.size() >= 2 &&
         ((v.front() == u'"' && v.back() == u'"') || (v.front() == u'\'' && v.back() == u'\''));
}

// A value that reading would change (blanks around it are trimmed, one pair of quotes around it is dropped)
// is written in quotes, so that it reads back as it was written.
QString storedValue(const QString& value) {
  return value.trimmed() != value || inQuotes(value) ? u'"' + value + u'"' : value;
}

// The key of a trimmed line of a section, or an empty text for a line that holds none.
QString keyOf(const QString& trimmed) {
  if (isComment(trimmed)) return {};
  const int eq = trimmed.indexOf(u'=');
  return eq > 0 ? trimmed.left(eq).trimmed() : QString();
}

}  // namespace

IniProfile::IniProfile(QString path) : path_(std::move(path)) {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray bytes = file.readAll();
  parse(std::string_view(bytes.constData(), size_t(bytes.size())));
}

IniProfile::IniProfile(QString path, std::string_view bytes) : path_(std::move(path)) {
  parse(bytes);
}

IniProfile IniProfile::FromBytes(std::string_view bytes, QString path) {
  return IniProfile(std::move(path), bytes);
}

void IniProfile::parse(std::string_view bytes) {
  const std::u16string text = FromCp1250(bytes);
  lines_ = QString::fromStdU16String(text).split(u'\n');
  for (QString& line : lines_)
    if (line.endsWith(u'\r')) line.chop(1);
  // A final line end leaves one empty piece that is not a line of the file.
  if (!lines_.isEmpty() && lines_.back().isEmpty()) lines_.removeLast();
}

int IniProfile::findSection(const QString& section) const {
  for (int i = 0; i < lines_.size(); ++i) {
    const QString trimmed = lines_[i].trimmed();
    if (isSectionLine(trimmed) && sectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

int IniProfile::sectionEnd(int sectionLine) const {
  int i = sectionLine + 1;
  while (i < lines_.size() && !isSectionLine(lines_[i].trimmed())) ++i;
  return i;
}

int IniProfile::findKey(int sectionLine, const QString& key) const {
  const int end = sectionEnd(sectionLine);
  for (int i = sectionLine + 1; i < end; ++i) {
    const QString name = keyOf(lines_[i].trimmed());
    if (!name.isEmpty() && name.compare(key, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

QStringList IniProfile::Sections() const {
  QStringList names;
  for (int i = 0; i < lines_.size(); ++i) {
    const QString trimmed = lines_[i].trimmed();
    if (!isSectionLine(trimmed)) continue;
    const QString name = sectionName(trimmed);
    if (findSection(name) == i) names.append(name);
  }
  return names;
}

QStringList IniProfile::Keys(const QString& section) const {
  QStringList names;
  const int s = findSection(section);
  if (s < 0) return names;
  const int end = sectionEnd(s);
  for (int i = s + 1; i < end; ++i) {
    const QString name = keyOf(lines_[i].trimmed());
    if (!name.isEmpty() && findKey(s, name) == i) names.append(name);
  }
  return names;
}

std::optional<QString> IniProfile::value(const QString& section, const QString& key) const {
  const int s = findSection(section);
  if (s < 0) return std::nullopt;
  const int k = findKey(s, key);
  if (k < 0) return std::nullopt;
  const QString& line = lines_[k];
  QString v = line.mid(line.indexOf(u'=') + 1).trimmed();
  // Windows drops one pair of quotes around a value.
  if (inQuotes(v)) v = v.mid(1, v.size() - 2);
  return v;
}

int IniProfile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
  const auto text = value(section, key);
  if (!text) return defaultValue;
  int32_t number = 0;
  return TryStrToInt(text->toStdU16String(), number) ? number : defaultValue;
}

QString IniProfile::ReadString(const QString& section, const QString& key,
                               const QString& defaultValue) const {
  return value(section, key).value_or(defaultValue);
}

void IniProfile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void IniProfile::WriteString(const QString& section, const QString& key, const QString& value) {
  const QString stored = storedValue(value);
  int s = findSection(section);
  if (s < 0) {
    lines_.append(u'[' + section + u']');
    lines_.append(key + u'=' + stored);
    return;
  }
  const int k = findKey(s, key);
  if (k >= 0) {
    const QString& line = lines_[k];
    lines_[k] = line.left(line.indexOf(u'=')).trimmed() + u'=' + stored;
    return;
  }
  // After the section's last non-blank line, so blank lines that separate sections stay where they are.
  int insertAt = sectionEnd(s);
  while (insertAt - 1 > s && lines_[insertAt - 1].trimmed().isEmpty()) --insertAt;
  lines_.insert(insertAt, key + u'=' + stored);
}

std::string IniProfile::Bytes() const {
  std::u16string text;
  for (const QString& line : lines_) {
    text += line.toStdU16String();
    text += u"\r\n";
  }
  return ToCp1250(text);
}

bool IniProfile::Save() {
  const std::string bytes = Bytes();
  if (const int error = ReplaceFileAtomically(std::filesystem::path(path_.toStdU16String()), bytes)) {
    error_ = QString::fromStdString(SystemErrorText(error));
    return false;
  }
  error_.clear();
  return true;
}

}  // namespace velnorex
