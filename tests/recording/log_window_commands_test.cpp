// The log window's menu: clear, select all without the clipboard, and saving in code page 1250 with CR LF.
#include "recording/log_window_commands.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "recording/log_lines.h"
#include "text/cp1250.h"
#include "treefile/tree_stream.h"

namespace velnorex::test {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class LogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    commands.runSaveDialog = [this](QFileDialog& dialog) {
      // The name field as the operator sees it (Qt's own dialog, which offscreen runs use).
      const auto* nameField = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      offeredNames << (nameField ? nameField->text() : QStringLiteral("<no name field>"));
      confirmOverwrite << !dialog.testOption(QFileDialog::DontConfirmOverwrite);
      suffixes << dialog.defaultSuffix();
      return answer;
    };
  }

  QTemporaryDir dir;
  QPlainTextEdit memo;
  QFileDialog dialog;
  LogWindowCommands commands{memo, dialog};
  QString answer;
  QStringList offeredNames;
  QList<bool> confirmOverwrite;
  QStringList suffixes;
};

TEST_F(LogWindowTest, SavedLogIsCodePage1250WithCrLfAndSurvivesTheRoundTrip) {
  AppendLine(memo, QStringLiteral("Urządzenie:1(Łódź.dat)"));
  AppendLine(memo, QStringLiteral("14:05:09\t21,5"));
  AppendLine(memo, QString());
  answer = dir.filePath(QStringLiteral("log.txt"));
  commands.Zapiszdopliku1Click();

  // ą = B9, Ł = A3, ó = F3, ź = 9F in code page 1250.
  const QByteArray expected(
      "Urz\xB9"
      "dzenie:1(\xA3\xF3"
      "d\x9F.dat)\r\n14:05:09\t21,5\r\n\r\n");
  EXPECT_EQ(ReadAll(answer), expected);
  const QByteArray saved = ReadAll(answer);
  EXPECT_EQ(FromCp1250(std::string_view(saved.constData(), saved.size())),
            memo.toPlainText().replace(u'\n', QStringLiteral("\r\n")).toStdU16String() + u"\r\n");
  EXPECT_EQ(suffixes, QStringList{QString()});
  EXPECT_EQ(confirmOverwrite, QList<bool>{false});

  // The second time the name field holds the last name; a cancel then writes nothing.
  memo.clear();
  AppendLine(memo, QStringLiteral("inny"));
  answer.clear();
  commands.Zapiszdopliku1Click();
  EXPECT_EQ(offeredNames, (QStringList{QString(), QStringLiteral("log.txt")}));
  EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("log.txt"))), expected);

  // Saving over the file replaces it without a question.
  answer = dir.filePath(QStringLiteral("log.txt"));
  commands.Zapiszdopliku1Click();
  EXPECT_EQ(ReadAll(answer), QByteArray("inny\r\n"));
}

TEST_F(LogWindowTest, AFailedSaveIsReportedAndKeepsTheOldFile) {
  const QString blocker = dir.filePath(QStringLiteral("plik"));
  {
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("stare");
  }
  AppendLine(memo, QStringLiteral("nowe"));
  // A folder under a regular file cannot exist, even for root.
  answer = blocker + QStringLiteral("/log.txt");
  try {
    commands.Zapiszdopliku1Click();
    ADD_FAILURE() << "no error";
  } catch (const FileCreateError& e) {
    EXPECT_TRUE(
        QString::fromUtf8(e.what()).startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(answer)))
        << e.what();
  }
  EXPECT_EQ(ReadAll(blocker), QByteArray("stare"));
}

TEST_F(LogWindowTest, ClearAndSelectAllLeaveTheClipboardAlone) {
  AppendLine(memo, QStringLiteral("a"));
  AppendLine(memo, QStringLiteral("b"));
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->setText(QStringLiteral("schowek"));
  commands.Kopiuj1Click();
  EXPECT_EQ(memo.textCursor().selectedText(), QStringLiteral("a\u2029b"));
  EXPECT_EQ(clipboard->text(), QStringLiteral("schowek"));

  commands.Wyczy1Click();
  EXPECT_TRUE(memo.toPlainText().isEmpty());
  EXPECT_EQ(LogFileBytes(memo), std::string());
  EXPECT_EQ(clipboard->text(), QStringLiteral("schowek"));
}

}  // namespace
}  // namespace velnorex::test
