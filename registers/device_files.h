// The device-definition files beside the executable: listing them for the "Typ" box.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;

namespace velnorex {

// Names (no folder) of the, non-hidden files in `folder` matching "*.dat" in any letter case, in the
// order the directory yields them.
QStringList ListDeviceFiles(const QString& folder);

// Replaces the box's items with ListDeviceFiles(folder); the text shown stays as it was (in a box without an
// edit field: when the refilled list still holds it).
void RefillDeviceBox(QComboBox* box, const QString& folder);

// The full path of a definition file chosen by name, always inside `folder`.
QString DeviceFilePath(const QString& folder, const QString& name);

}  // namespace velnorex
