// The window in English: every widget, action, menu, column and dialog shows no Polish text that has a
// translation; Polish stays the default and the choice is kept in a section of its own.
#include <QAbstractButton>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableView>
#include <QTranslator>
#include <QXmlStreamReader>

#include "app/help_text.h"
#include "app/language.h"
#include "app/search_dialog.h"
#include "app/word_order_dialog.h"
#include "tests/app/app_fixture.h"

namespace velnorex::test {
namespace {

// Every source text of the translation file: what an English window must not show.
QSet<QString> PolishSources() {
  QFile file(QStringLiteral(VELNOREX_SOURCE_DIR "/translations/velnorex_en.ts"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  QSet<QString> sources;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("source"))
      sources.insert(xml.readElementText());
  return sources;
}

// The texts a widget tree shows: captions, titles, tool tips, menus, column headers, status.
QStringList TextsOf(const QWidget& top) {
  QStringList texts{top.windowTitle(), top.toolTip()};
  for (const QObject* o : top.findChildren<QObject*>()) {
    if (const auto* w = qobject_cast<const QWidget*>(o)) texts << w->toolTip() << w->windowTitle();
    if (const auto* l = qobject_cast<const QLabel*>(o)) texts << l->text();
    if (const auto* b = qobject_cast<const QAbstractButton*>(o)) texts << b->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(o)) texts << g->title();
    if (const auto* m = qobject_cast<const QMenu*>(o)) texts << m->title();
    if (const auto* a = qobject_cast<const QAction*>(o)) texts << a->text() << a->toolTip();
    if (const auto* s = qobject_cast<const QStatusBar*>(o)) texts << s->currentMessage();
    if (const auto* c = qobject_cast<const QComboBox*>(o))
      for (int i = 0; i < c->count(); ++i) texts << c->itemText(i);
    if (const auto* h = qobject_cast<const QHeaderView*>(o); h && h->model())
      for (int i = 0; i < h->model()->columnCount(); ++i)
        texts << h->model()->headerData(i, Qt::Horizontal).toString();
    if (const auto* e = qobject_cast<const QPlainTextEdit*>(o)) texts << e->toPlainText().split(u'\n');
  }
  texts.removeAll(QString());
  return texts;
}

// Texts that read the same in both languages.
bool SameInBoth(const QString& text) {
  static const QSet<QString> same{QStringLiteral("Log"), QStringLiteral("Reset"), QStringLiteral("Slave"),
                                  // the languages named in their own words
                                  QStringLiteral("polski"), QStringLiteral("Language (Język)")};
  return same.contains(text);
}

class EnglishTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(translator_.load(QStringLiteral("velnorex_en"), QStringLiteral(":/i18n")));
    QCoreApplication::installTranslator(&translator_);
  }
  void TearDown() override {
    QCoreApplication::removeTranslator(&translator_);
    AppTest::TearDown();
  }

 private:
  QTranslator translator_;
};

TEST_F(EnglishTest, EveryWidgetActionAndDialogOfTheWindowIsInEnglish) {
  const QSet<QString> polish = PolishSources();
  ASSERT_GT(polish.size(), 150);
  auto w = makeWindow();
  showAndSettle(*w);
  w->FormKeyDown(Qt::Key_F1);  // the help panel and its status line
  w->btSearch->click();
  w->Ruchnalinii1->trigger();
  QApplication::processEvents();
  const WordOrderDialog orders(OrderReadings{}, WordOrder::ABCD, w.get());
  std::vector<std::string> left;
  for (const QWidget* top :
       {static_cast<const QWidget*>(w.get()), static_cast<const QWidget*>(w->searchDialog),
        static_cast<const QWidget*>(&w->lineMonitor.window()), static_cast<const QWidget*>(&orders)})
    for (const QString& text : TextsOf(*top))
      if (!SameInBoth(text) && (polish.contains(text) || polish.contains(text.trimmed()) ||
                                text.contains(QRegularExpression(QStringLiteral("[ąćęłńóśźżĄĆĘŁŃÓŚŹŻ]")))))
        left.push_back(text.toStdString());
  EXPECT_EQ(left, std::vector<std::string>{});
  EXPECT_EQ(w->btConnect->text(), QStringLiteral("Connect"));
  EXPECT_EQ(w->Label1->text(), QStringLiteral("Serial port:"));
  EXPECT_EQ(w->stBar->currentMessage(), QStringLiteral("Esc - close help"));
  EXPECT_EQ(HelpTextLines().size(), kHelpLineCount);
  EXPECT_EQ(HelpTextLines().at(2), QStringLiteral("I. COMMUNICATION"));
}

TEST_F(AppTest, PolishIsTheDefaultAndTheChoiceIsKeptInASectionOfItsOwn) {
  const QString ini = paths().settingsFile;
  const QString program = QStringLiteral("velnorex");
  EXPECT_EQ(ChosenLanguage({program}, ini), QStringLiteral("pl"));
  EXPECT_EQ(ChosenLanguage({program, QStringLiteral("--lang"), QStringLiteral("en")}, ini),
            QStringLiteral("en"));
  EXPECT_EQ(ChosenLanguage({program, QStringLiteral("--lang=en")}, ini), QStringLiteral("en"));
  EXPECT_EQ(LanguageArgument({program, QStringLiteral("--lang"), QStringLiteral("de")}),
            QStringLiteral("de"));
  EXPECT_FALSE(IsKnownLanguage(QStringLiteral("de")));

  // Chosen in the window: kept under [Language], beside the nine keys, which the exit writes as before.
  auto w = makeWindow();
  EXPECT_TRUE(w->JezykPolski1->isChecked());
  w->JezykAngielski1->trigger();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("English from the next start of the program"));
  w->close();
  w.reset();
  const std::string text = readFile(ini);
  EXPECT_NE(text.find("[Language]\r\nName=en\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[Form]"), std::string::npos) << text;
  EXPECT_EQ(ChosenLanguage({program}, ini), QStringLiteral("en"));
  // The command line wins over the stored choice, for this start only.
  EXPECT_EQ(ChosenLanguage({program, QStringLiteral("--lang"), QStringLiteral("pl")}, ini),
            QStringLiteral("pl"));
  // Without a translator every text is the Polish one.
  auto again = makeWindow();
  EXPECT_EQ(again->btConnect->text(), QStringLiteral("Połącz"));
  EXPECT_EQ(again->Label1->text(), QStringLiteral("Port szer:"));
}

}  // namespace
}  // namespace velnorex::test
