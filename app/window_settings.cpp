// The settings file's nine keys, in the order the file has always had them, and the list's interval.
#include "app/window_settings.h"

#include "app/ini_profile.h"
#include "text/errors.h"

namespace velnorex {

namespace {

const QString kForm = QStringLiteral("Form");
const QString kCfg = QStringLiteral("Cfg");
const QString kData = QStringLiteral("Data");

}  // namespace

WindowSettings WindowSettings::Load(const QString& path) {
  const IniProfile ini(path);
  WindowSettings s;
  s.top = ini.ReadInteger(kForm, QStringLiteral("Top"), s.top);
  s.left = ini.ReadInteger(kForm, QStringLiteral("Left"), s.left);
  s.height = ini.ReadInteger(kForm, QStringLiteral("Height"), s.height);
  s.width = ini.ReadInteger(kForm, QStringLiteral("Width"), s.width);
  s.split = ini.ReadInteger(kForm, QStringLiteral("Split"), s.split);
  s.parity = ini.ReadInteger(kCfg, QStringLiteral("Parity"), s.parity);
  s.baudRate = ini.ReadInteger(kCfg, QStringLiteral("BaudRate"), s.baudRate);
  s.interval = ini.ReadString(kCfg, QStringLiteral("Interval"), s.interval);
  s.listInterval = ini.ReadString(kCfg, QStringLiteral("ListInterval"), s.listInterval);
  s.slave = ini.ReadString(kData, QStringLiteral("Slave"), s.slave);
  return s;
}

void WindowSettings::Save(const QString& path) const {
  IniProfile ini(path);
  ini.WriteInteger(kForm, QStringLiteral("Top"), top);
  ini.WriteInteger(kForm, QStringLiteral("Left"), left);
  ini.WriteInteger(kForm, QStringLiteral("Height"), height);
  ini.WriteInteger(kForm, QStringLiteral("Width"), width);
  ini.WriteInteger(kForm, QStringLiteral("Split"), split);
  ini.WriteInteger(kCfg, QStringLiteral("BaudRate"), baudRate);
  ini.WriteInteger(kCfg, QStringLiteral("Parity"), parity);
  ini.WriteString(kCfg, QStringLiteral("Interval"), interval);
  ini.WriteString(kCfg, QStringLiteral("ListInterval"), listInterval);
  ini.WriteString(kData, QStringLiteral("Slave"), slave);
  if (!ini.Save())
    throw Error(QStringLiteral("Unable to write to %1: %2").arg(path, ini.errorString()).toStdString());
}

}  // namespace velnorex
