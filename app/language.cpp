// Where the language comes from and how its translation is put in.
#include "app/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

#include "app/ini_profile.h"

namespace velnorex {

QString LanguageArgument(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments.at(i);
    if (argument == QLatin1String("--lang"))
      return i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
    if (argument.startsWith(QLatin1String("--lang="))) return argument.mid(7);
  }
  return {};
}

bool IsKnownLanguage(const QString& language) {
  return language == QLatin1String("pl") || language == QLatin1String("en");
}

QString ChosenLanguage(const QStringList& arguments, const QString& settingsFile) {
  const QString asked = LanguageArgument(arguments);
  if (IsKnownLanguage(asked)) return asked;
  const QString stored =
      IniProfile(settingsFile)
          .ReadString(QString::fromLatin1(kLanguageSection), QString::fromLatin1(kLanguageKey), QString())
          .trimmed()
          .toLower();
  return IsKnownLanguage(stored) ? stored : QStringLiteral("pl");
}

bool StoreLanguage(const QString& settingsFile, const QString& language, QString* error) {
  IniProfile profile(settingsFile);
  profile.WriteString(QString::fromLatin1(kLanguageSection), QString::fromLatin1(kLanguageKey), language);
  if (profile.Save()) return true;
  if (error) *error = profile.errorString();
  return false;
}

bool InstallLanguage(QCoreApplication& app, const QString& language) {
  if (language == QLatin1String("pl")) return true;
  auto* translator = new QTranslator(&app);
  const QString name = QStringLiteral("velnorex_") + language;
  const QString installed =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/velnorex/translations"));
  if (!translator->load(name, installed) && !translator->load(name, QStringLiteral(":/i18n"))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace velnorex
