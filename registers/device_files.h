// The device-definition files: listing them for the "Typ" box from one folder or from several.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;

namespace velnorex {

// Names (no folder) of the, non-hidden files in `folder` matching "*.dat" in any letter case, in the
// order the directory yields them.
QStringList ListDeviceFiles(const QString& folder);

// The names of every folder in turn; a name found in an earlier folder is listed once, from there.
QStringList ListDeviceFiles(const QStringList& folders);

// The folder among `folders` that holds the named definition: the first that has it, else the first one
// (where opening it then fails with the file's own error).
QString DeviceFolderOf(const QStringList& folders, const QString& name);

// Replaces the box's items with ListDeviceFiles(folders); the text shown stays as it was (in a box without an
// edit field: when the refilled list still holds it).
void RefillDeviceBox(QComboBox* box, const QStringList& folders);

// The full path of a definition file chosen by name, always inside `folder`.
QString DeviceFilePath(const QString& folder, const QString& name);

}  // namespace velnorex
