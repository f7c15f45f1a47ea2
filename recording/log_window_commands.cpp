// The log window's pop-up menu: clear, select all, save to a file.
#include "recording/log_window_commands.h"

#include <QFileDialog>
#include <QPlainTextEdit>

#include "recording/log_lines.h"

namespace velnorex {

LogWindowCommands::LogWindowCommands(QPlainTextEdit& memo, QFileDialog& saveDialog)
    : memo_(memo), saveDialog_(saveDialog) {
  runSaveDialog = [](QFileDialog& dialog) -> QString {
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
  };
}

void LogWindowCommands::Wyczy1Click() {
  memo_.clear();
}

void LogWindowCommands::Kopiuj1Click() {
  memo_.selectAll();
}

void LogWindowCommands::Zapiszdopliku1Click() {
  // A plain save dialog: no filter, no default extension, no question before replacing a file; the name
  // field starts empty and afterwards holds the name chosen last.
  saveDialog_.setAcceptMode(QFileDialog::AcceptSave);
  saveDialog_.setFileMode(QFileDialog::AnyFile);
  saveDialog_.setOption(QFileDialog::DontConfirmOverwrite, true);
  saveDialog_.setDefaultSuffix(QString());
  saveDialog_.setNameFilters({});
  saveDialog_.selectFile(lastFileName_);

  const QString fileName = runSaveDialog(saveDialog_);
  if (fileName.isEmpty()) return;
  lastFileName_ = fileName;
  SaveLogFile(memo_, fileName);
}

}  // namespace velnorex
