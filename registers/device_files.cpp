// Listing the device-definition files: a plain directory search, unsorted, as the file system yields them.
#include "registers/device_files.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

namespace velnorex {

QStringList ListDeviceFiles(const QString& folder) {
  if (folder.isEmpty()) return {};
  QDir dir(folder);
  dir.setNameFilters({QStringLiteral("*.dat")});
  // Without QDir::CaseSensitive the pattern matches ".DAT" too (files copied from Windows); without
  // QDir::Hidden, hidden files stay out.
  dir.setFilter(QDir::Files);
  dir.setSorting(QDir::Unsorted);
  QStringList names;
  for (const QFileInfo& info : dir.entryInfoList()) {
    names << info.fileName();
  }
  return names;
}

QStringList ListDeviceFiles(const QStringList& folders) {
  QStringList names;
  for (const QString& folder : folders)
    for (const QString& name : ListDeviceFiles(folder))
      if (!names.contains(name)) names << name;
  return names;
}

QString DeviceFolderOf(const QStringList& folders, const QString& name) {
  for (const QString& folder : folders)
    if (QFileInfo(DeviceFilePath(folder, name)).isFile()) return folder;
  return folders.isEmpty() ? QString() : folders.front();
}

void RefillDeviceBox(QComboBox* box, const QStringList& folders) {
  const QString text = box->currentText();
  const QSignalBlocker blocker(box);
  box->clear();
  box->addItems(ListDeviceFiles(folders));
  // The chosen definition stays shown: the recording's header names it.
  if (box->isEditable())
    box->setEditText(text);
  else
    box->setCurrentIndex(box->findText(text));
}

QString DeviceFilePath(const QString& folder, const QString& name) {
  // Only the name counts: a typed "../x.dat" must not reach outside the folder.
  return QDir(folder).filePath(QFileInfo(name).fileName());
}

}  // namespace velnorex
