// Settings in a Windows INI file: integer and text keys in sections, names matched without regard to case,
// everything else in the file kept as it was, the file replaced atomically when saved.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QString>
#include <QStringList>

namespace velnorex {

class IniProfile {
 public:
  // Reads the file when it exists; a missing or unreadable file is an empty profile.
  explicit IniProfile(QString path);
  // A profile over the bytes of a settings file (code page 1250), saved to `path` if at all.
  static IniProfile FromBytes(std::string_view bytes, QString path = {});

  const QString& path() const { return path_; }

  // The sections in file order, each once, spelled as first found; the keys of a section that the reads
  // find, each once, in file order.
  QStringList Sections() const;
  QStringList Keys(const QString& section) const;

  // The default when the key is missing or its value is not an integer (decimal or "$"-hexadecimal).
  int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;

  // A key already present keeps its place; a new key goes after the last entry of its section, a new section
  // at the end of the file. A value with blanks or a pair of quotes around it is written in quotes, so that
  // it reads back the same.
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteString(const QString& section, const QString& key, const QString& value);

  // Writes the whole file (code page 1250, CR LF) through a temporary file beside it, or in place when the
  // folder takes no new file but the file itself may be written. On failure errorString() tells why.
  bool Save();
  const QString& errorString() const { return error_; }
  // The bytes Save writes.
  std::string Bytes() const;

  // The lines as they would be saved.
  const QStringList& lines() const { return lines_; }

 private:
  IniProfile(QString path, std::string_view bytes);
  void parse(std::string_view bytes);
  // Index of the "[section]" line, or -1.
  int findSection(const QString& section) const;
  // Index of the key's line within the section starting at `sectionLine`, or -1.
  int findKey(int sectionLine, const QString& key) const;
  // One past the last line that belongs to the section starting at `sectionLine`.
  int sectionEnd(int sectionLine) const;
  std::optional<QString> value(const QString& section, const QString& key) const;

  QString path_;
  QStringList lines_;
  QString error_;
};

}  // namespace velnorex
