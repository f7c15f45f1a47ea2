// Shared set-up of the window tests: a private folder for the window's files and a recorder of the messages
// that would otherwise block in a modal box.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "app/message_box.h"

namespace velnorex::test {

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previousHook_ = SetMessageBoxHook([this](const ShownMessage& m) { messages.push_back(m); });
  }
  void TearDown() override { SetMessageBoxHook(previousHook_); }

  TForm1::Paths paths() const {
    return TForm1::Paths{
        dir.filePath(QStringLiteral("velnorex.INI")), dir.filePath(QStringLiteral("velnorex.log")),
        dir.filePath(QStringLiteral("velnorex.lst")), dir.path(), dir.filePath(QStringLiteral("recordings"))};
  }

  std::unique_ptr<TForm1> makeWindow(std::unique_ptr<SerialDevice> device = nullptr) {
    return std::make_unique<TForm1>(paths(), std::move(device));
  }

  static void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
  }

  // As a std::string, so that a failing comparison prints the text.
  static std::string readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
  }

  // Shows the window and lets the layout settle.
  static void showAndSettle(QWidget& window) {
    window.show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  }

  QTemporaryDir dir;
  std::vector<ShownMessage> messages;

 private:
  std::function<void(const ShownMessage&)> previousHook_;
};

}  // namespace velnorex::test
