// Replacing a transducer through the window: the tree's menu saves the configuration, compares a changed
// transducer with the file (the column "W pliku", the rows that differ highlighted) and restores it, line
// setting last; and the commands refuse what they must.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressDialog>

#include "e2e_fixture.h"

namespace velnorex::test {
namespace {

class ConfigWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    file = dir.filePath(QStringLiteral("konfiguracja.json"));
    form->configCommands.chooseFile = [this](bool save) {
      ++chosen;
      lastChoiceWasSave = save;
      return file;
    };
    form->configCommands.confirmRestore = [this](const QString& changes) {
      confirmation = changes;
      return true;
    };
  }
  bool waitForCommand() {
    return WaitFor([&] { return !form->configCommands.running(); });
  }
  QVariant background(std::u16string_view name, int column = 0) {
    return index(name, column).data(Qt::BackgroundRole);
  }
  std::vector<std::string> writes() const {
    std::vector<std::string> out;
    for (const std::string& r : requests())
      if (r.compare(3, 2, "03") != 0) out.push_back(r);
    return out;
  }

  QString file;
  int chosen = 0;
  bool lastChoiceWasSave = false;
  QString confirmation;
};

TEST_F(ConfigWindowTest, SaveThenCompareAndRestoreAReplacementThroughTheTreesMenu) {
  connectTo(QStringLiteral("THV-21.dat"), {"--value", "108:REAL:2:77,25"});
  selectDevice(QStringLiteral("THV-21.dat"));

  form->Zapiszkonfiguracje1->trigger();
  EXPECT_TRUE(form->configCommands.running());
  auto* progress = form->findChild<QProgressDialog*>(QStringLiteral("ConfigProgress"));
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(progress->isVisible());
  ASSERT_TRUE(waitForCommand());
  EXPECT_TRUE(lastChoiceWasSave);
  EXPECT_FALSE(progress->isVisible());
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), QStringLiteral("zapisano rejestrów: 8"));
  EXPECT_EQ(value(u"Próg alarmu wilgotności"), u"77,25");  // the values read show in the tree
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QJsonObject json = QJsonDocument::fromJson(saved.readAll()).object();
  EXPECT_EQ(json.value("definition").toString(), QStringLiteral("THV-21.dat"));
  EXPECT_EQ(json.value("registers").toArray().size(), 8);
  EXPECT_EQ(form->VTModel->columnCount(), 3);

  // The replacement: another offset and baud rate.
  connectTo(QStringLiteral("THV-21.dat"),
            {"--value", "108:REAL:2:77,25", "--value", "103:INT:1:12", "--value", "101:WORD:1:0"});
  form->Porownajzplikiem1->trigger();
  ASSERT_TRUE(waitForCommand());
  EXPECT_FALSE(lastChoiceWasSave);
  EXPECT_EQ(messages.back(), QStringLiteral("2 różnic"));
  ASSERT_EQ(form->VTModel->columnCount(), 4);
  EXPECT_EQ(form->VTModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("W pliku"));
  EXPECT_EQ(index(u"Przesunięcie temperatury", 3).data().toString(), QStringLiteral("-5"));
  EXPECT_EQ(value(u"Przesunięcie temperatury"), u"12");
  EXPECT_EQ(background(u"Przesunięcie temperatury"), QVariant(QBrush(kColorYellow)));
  EXPECT_EQ(background(u"Szybkość transmisji", 3), QVariant(QBrush(kColorYellow)));
  EXPECT_FALSE(background(u"Próg alarmu wilgotności").isValid());
  EXPECT_TRUE(writes().empty());

  form->Przywroczpliku1->trigger();
  ASSERT_TRUE(waitForCommand());
  EXPECT_EQ(confirmation, QStringLiteral("rejestry do zmiany:\n"
                                         "Konfiguracja / Przesunięcie temperatury: 12 → -5\n"
                                         "Konfiguracja / Szybkość transmisji: 0 → 1 (ustawienie linii)\n"
                                         "zapisać ?"));
  // Only the two, the offset first and the line setting last.
  EXPECT_EQ(writes(),
            (std::vector<std::string>{Request({1, 6, 0, 103, 0xFF, 0xFB}), Request({1, 6, 0, 101, 0, 1})}));
  EXPECT_EQ(messages.back(),
            QStringLiteral("zapisano: 2\nzmieniono ustawienia linii – naciśnij Reset i połącz się "
                           "ponownie:\nSzybkość transmisji: 1 (19200)"));
  EXPECT_EQ(value(u"Przesunięcie temperatury"), u"-5");
  EXPECT_FALSE(background(u"Przesunięcie temperatury").isValid());
  EXPECT_FALSE(background(u"Szybkość transmisji").isValid());

  // Another definition ends the comparison.
  selectDevice(QStringLiteral("PMV-3.dat"));
  EXPECT_EQ(form->VTModel->columnCount(), 3);
}

TEST_F(ConfigWindowTest, RefusesWithoutALineWhileBusyAndForTheBroadcastAddressAndCanBeCancelled) {
  selectDevice(QStringLiteral("THV-21.dat"));
  form->Zapiszkonfiguracje1->trigger();
  EXPECT_EQ(messages.back(), QStringLiteral("brak połączenia !"));

  connectTo(QStringLiteral("THV-21.dat"));
  form->eSlave->setText(QStringLiteral("0"));
  form->Przywroczpliku1->trigger();
  EXPECT_EQ(messages.back(), QStringLiteral("adres 0 niedozwolony"));
  form->eSlave->setText(QStringLiteral("1"));
  form->state.Recording = true;
  form->Porownajzplikiem1->trigger();
  EXPECT_EQ(messages.back(), QStringLiteral("trwa inna operacja"));
  form->state.Recording = false;
  EXPECT_EQ(chosen, 0);

  // Cancelled before its first transaction: nothing is sent and no file is written.
  form->Zapiszkonfiguracje1->trigger();
  form->configCommands.cancel();
  ASSERT_TRUE(waitForCommand());
  EXPECT_EQ(messages.back(), QStringLiteral("przerwano, pliku nie zapisano"));
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(requests().empty());

  // A selected group is the scope.
  click(u"Identyfikacja");
  form->Zapiszkonfiguracje1->trigger();
  ASSERT_TRUE(waitForCommand());
  EXPECT_EQ(messages.back(), QStringLiteral("zapisano rejestrów: 1"));
  EXPECT_EQ(requests(), (std::vector<std::string>{ReadRequest(210, 8)}));
  const ConfigFile saved = LoadConfigFile(file.toStdString());
  EXPECT_EQ(saved.scope, (std::vector<std::u16string>{u"Identyfikacja"}));
}

}  // namespace
}  // namespace velnorex::test
