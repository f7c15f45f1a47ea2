// The language of the window: Polish as the operator's documents write it, or English from the translation
// files; chosen with --lang or in the window, and kept in a section of its own in the settings file.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace velnorex {

inline constexpr char kLanguageSection[] = "Language";
inline constexpr char kLanguageKey[] = "Name";

// "pl" or "en": what --lang (or --lang=) asks for, else what the settings file keeps, else "pl".
QString ChosenLanguage(const QStringList& arguments, const QString& settingsFile);
// The language that --lang asks for, "" without one; an unknown name is an error for the caller to report.
QString LanguageArgument(const QStringList& arguments);
bool IsKnownLanguage(const QString& language);
// Keeps the choice for the next start; false (with the reason in `error`) when the file cannot be written.
bool StoreLanguage(const QString& settingsFile, const QString& language, QString* error = nullptr);
// Puts the translation of `language` into the application before any window exists; Polish needs none. The
// installed file (share/velnorex/translations beside bin/) wins over the one built into the program.
bool InstallLanguage(QCoreApplication& app, const QString& language);

}  // namespace velnorex
