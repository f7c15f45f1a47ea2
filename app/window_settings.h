// The window's settings as one value: what the INI file holds, read at start and written at exit.
#pragma once

#include <QString>

namespace velnorex {

struct WindowSettings {
  // "Form": the window's bounds (frame position, client size) and the register tree's height.
  int top = 100;
  int left = 100;
  int height = 340;
  int width = 800;
  int split = 240;
  // "Cfg": item indices of the parity and baud boxes (-1 for none), the recording interval as typed.
  int parity = 0;
  int baudRate = 0;
  QString interval = QStringLiteral("1");
  // "Cfg": the list recording's interval as typed, which may hold tenths ("0,5"); a key of its own, so that
  // "Interval" stays the one-register recording's whole seconds.
  QString listInterval = QStringLiteral("1");
  // "Data": the slave address as typed.
  QString slave = QStringLiteral("1");

  // A missing file, key or a value that is not an integer gives the default.
  static WindowSettings Load(const QString& path);
  // Writes the nine keys and "ListInterval", keeping everything else in the file; a new file gets its
  // sections in the order "Form", "Cfg", "Data". Throws Error naming the file when it cannot be written.
  void Save(const QString& path) const;
};

}  // namespace velnorex
