// The log window's pop-up menu: clear, select all, save to a file.
#pragma once

#include <functional>

#include <QString>

class QFileDialog;
class QPlainTextEdit;

namespace velnorex {

class LogWindowCommands {
 public:
  LogWindowCommands(QPlainTextEdit& memo, QFileDialog& saveDialog);

  // "Wyczyść": the whole text goes; a running recording goes on in the emptied window.
  void Wyczy1Click();
  // "Kopiuj": selects the whole text; the clipboard stays as it was (the operator copies with Ctrl+C).
  void Kopiuj1Click();
  // "Zapisz do pliku": asks for a file name and writes the text in code page 1250 with CR LF, replacing the
  // file atomically; a cancel does nothing, a failure throws FileCreateError.
  void Zapiszdopliku1Click();

  // Runs the prepared dialog and returns the chosen file, or an empty text when the operator cancelled.
  // Tests replace it, since a modal dialog would block them.
  std::function<QString(QFileDialog&)> runSaveDialog;

  QString lastFileName() const { return lastFileName_; }

 private:
  QPlainTextEdit& memo_;
  QFileDialog& saveDialog_;
  QString lastFileName_;
};

}  // namespace velnorex
