// The register tree model and view without a transaction: structure, text, colours, check marks, the editing
// gate, the device list and loading of definition files.
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "register_tree_fixture.h"
#include "registers/device_files.h"
#include "tests/support/test_environment.h"

namespace velnorex::test {
namespace {

class ModelTest : public ::testing::Test {
 protected:
  ModelTest() : model(state) { model.setTree(SampleTree()); }
  RegisterTreeNode* node(std::u16string_view name) { return Find(model.tree().root(), name); }
  QModelIndex index(std::u16string_view name, int column = 0) { return model.indexOf(node(name), column); }

  ViewState state;
  RegisterTreeModel model;
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST(AccessCode, UpperCasesAndComparesTheWholeText) {
  EXPECT_EQ(AccessCodeOf(u"RO"), 1);
  EXPECT_EQ(AccessCodeOf(u"ro"), 1);
  EXPECT_EQ(AccessCodeOf(u"RW"), 16);
  EXPECT_EQ(AccessCodeOf(u"rW"), 16);
  EXPECT_EQ(AccessCodeOf(u"RP"), 17);
  EXPECT_EQ(AccessCodeOf(u"rp"), 17);
  EXPECT_EQ(AccessCodeOf(u""), 0);
  EXPECT_EQ(AccessCodeOf(u"RW "), 0);
  EXPECT_EQ(AccessCodeOf(u" RW"), 0);
  EXPECT_EQ(AccessCodeOf(u"R"), 0);
  EXPECT_EQ(AccessCodeOf(u"WR"), 0);
  EXPECT_EQ(NodeAccessCode(nullptr), -1);
  RegisterTreeNode node;
  node.data.Access = u"Rp";
  EXPECT_EQ(NodeAccessCode(&node), 17);
}

TEST_F(ModelTest, ShowsNodesByTheirStoredBits) {
  // "Ukryty" has its visible bit clear; "Bez bitu" has a child chunk but no has-children bit.
  ASSERT_EQ(model.rowCount(), 4);
  EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("Pomiary"));
  EXPECT_EQ(model.index(2, 0).data().toString(), QStringLiteral("Pusta"));
  EXPECT_EQ(model.index(3, 0).data().toString(), QStringLiteral("Bez bitu"));
  EXPECT_FALSE(index(u"Ukryty").isValid());
  EXPECT_EQ(model.rowCount(index(u"Bez bitu")), 0);
  EXPECT_FALSE(model.hasChildren(index(u"Bez bitu")));
  EXPECT_FALSE(index(u"Dziecko").isValid());
  EXPECT_FALSE(model.hasChildren(index(u"Pusta")));
  EXPECT_EQ(model.rowCount(index(u"Pomiary")), 3);
  EXPECT_TRUE(model.hasChildren(index(u"Tryb")));
  EXPECT_EQ(model.parent(index(u"D")), index(u"Bajt trybu"));

  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Rejestr"));
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Adres"));
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Wartość"));
  EXPECT_EQ(index(u"Napięcie", 0).data().toString(), QStringLiteral("Napięcie"));
  EXPECT_EQ(index(u"Napięcie", 1).data().toString(), QStringLiteral("$66"));
  EXPECT_EQ(index(u"Bajty", 2).data().toString(), QStringLiteral("$1234"));
  EXPECT_EQ(RegisterTreeModel::VTGetText(node(u"Bajty"), 3), QString());

  // A node shown again when its bit is set (the model follows the node, not a copy).
  model.setTree([] {
    auto tree = SampleTree();
    Find(tree->root(), u"Bez bitu")->States |= NodeState::HasChildren;
    return tree;
  }());
  EXPECT_EQ(model.rowCount(index(u"Bez bitu")), 1);
}

TEST_F(ModelTest, ColoursFollowTheRulesInOrder) {
  auto colour = [&](std::u16string_view name, int column) {
    return index(name, column).data(Qt::ForegroundRole);
  };
  const QVariant none;
  EXPECT_EQ(colour(u"Słowo", 0), QVariant(kColorBlack));
  EXPECT_EQ(colour(u"Słowo", 1), QVariant(QColor(0x00, 0x00, 0x80)));
  EXPECT_EQ(colour(u"Słowo", 2), QVariant(kColorBlack));
  for (int column = 0; column < 3; ++column) {
    EXPECT_EQ(colour(u"Prędkość", column), QVariant(QColor(0x80, 0x00, 0x00))) << column;
    EXPECT_EQ(colour(u"Temperatura", column), none) << column;  // RO: the normal colour
    EXPECT_EQ(colour(u"Małe", column), none) << column;         // "rw": writable, but compared exactly
    EXPECT_EQ(colour(u"Pomiary", column), none) << column;
  }
  state.RecordNode = node(u"Prędkość");
  EXPECT_EQ(colour(u"Prędkość", 0), QVariant(QColor(0x80, 0x00, 0x00)));
  EXPECT_EQ(colour(u"Prędkość", 2), QVariant(QColor(0x00, 0x80, 0x00)));
  state.RecordNode = node(u"Temperatura");
  EXPECT_EQ(colour(u"Temperatura", 1), none);
  EXPECT_EQ(colour(u"Temperatura", 2), QVariant(QColor(0x00, 0x80, 0x00)));
  // Just written beats being recorded.
  state.WrittenNode = node(u"Temperatura");
  EXPECT_EQ(colour(u"Temperatura", 0), QVariant(kColorBlack));
  EXPECT_EQ(colour(u"Temperatura", 1), QVariant(kColorBlack));
  EXPECT_EQ(colour(u"Temperatura", 2), QVariant(QColor(0xFF, 0x00, 0x00)));
  state.WrittenNode = node(u"Prędkość");
  EXPECT_EQ(colour(u"Prędkość", 1), QVariant(kColorBlack));
}

TEST_F(ModelTest, AComparisonAddsTheFileColumnAndHighlightsWhatDiffers) {
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_FALSE(model.headerData(3, Qt::Horizontal).isValid());
  EXPECT_FALSE(model.index(0, 3).isValid());
  QSignalSpy inserted(&model, &QAbstractItemModel::columnsInserted);
  model.showComparison({{node(u"Słowo"), {u"12", true}}, {node(u"Prędkość"), {u"1", false}}});
  EXPECT_EQ(inserted.size(), 1);
  EXPECT_EQ(model.columnCount(), 4);
  EXPECT_EQ(model.columnCount(index(u"Konfiguracja")), 4);
  EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("W pliku"));
  EXPECT_EQ(index(u"Słowo", 3).data().toString(), QStringLiteral("12"));
  EXPECT_EQ(index(u"Prędkość", 3).data().toString(), QStringLiteral("1"));
  EXPECT_EQ(index(u"Temperatura", 3).data().toString(), QString());  // not compared
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(index(u"Słowo", column).data(Qt::BackgroundRole), QVariant(QBrush(kColorYellow))) << column;
    EXPECT_FALSE(index(u"Prędkość", column).data(Qt::BackgroundRole).isValid()) << column;
  }
  // Another comparison replaces the marks; the column stays one.
  model.showComparison({{node(u"Prędkość"), {u"0", true}}});
  EXPECT_EQ(inserted.size(), 1);
  EXPECT_EQ(index(u"Słowo", 3).data().toString(), QString());
  EXPECT_FALSE(index(u"Słowo", 0).data(Qt::BackgroundRole).isValid());
  EXPECT_TRUE(index(u"Prędkość", 0).data(Qt::BackgroundRole).isValid());
  model.clearComparison();
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_FALSE(index(u"Prędkość", 0).data(Qt::BackgroundRole).isValid());
  // A new tree ends a comparison: the marks belonged to the old one.
  model.showComparison({{node(u"Słowo"), {u"12", true}}});
  model.setTree(SampleTree());
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_FALSE(index(u"Słowo", 0).data(Qt::BackgroundRole).isValid());
}

// The delegate as the view uses it, with its style option open to the test.
class ProbeDelegate : public RegisterTreeDelegate {
 public:
  using RegisterTreeDelegate::RegisterTreeDelegate;
  QStyleOptionViewItem optionFor(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    option.state |= QStyle::State_Selected;
    initStyleOption(&option, index);
    return option;
  }
};

TEST_F(ModelTest, ASelectedRowKeepsItsCellsOwnColours) {
  // The row just edited is the focused, selected one: its red value must not turn into selection text.
  ProbeDelegate delegate;
  state.WrittenNode = node(u"Temperatura");
  const QStyleOptionViewItem written = delegate.optionFor(index(u"Temperatura", 2));
  EXPECT_EQ(written.palette.color(QPalette::HighlightedText), QColor(0xFF, 0x00, 0x00));
  EXPECT_EQ(delegate.optionFor(index(u"Słowo", 1)).palette.color(QPalette::HighlightedText),
            QColor(0x00, 0x00, 0x80));
  // A cell without a colour of its own keeps the selection's text colour.
  const QStyleOptionViewItem plain = delegate.optionFor(index(u"Pomiary", 0));
  EXPECT_EQ(plain.palette.color(QPalette::HighlightedText), QPalette().color(QPalette::HighlightedText));
}

TEST_F(ModelTest, CheckMarksAndRadioButtons) {
  EXPECT_EQ(index(u"A").data(Qt::CheckStateRole), QVariant(Qt::Checked));
  EXPECT_EQ(index(u"B").data(Qt::CheckStateRole), QVariant(Qt::Unchecked));
  EXPECT_FALSE(index(u"A", 2).data(Qt::CheckStateRole).isValid());
  EXPECT_FALSE(index(u"Tryb").data(Qt::CheckStateRole).isValid());
  EXPECT_TRUE(model.flags(index(u"9600")) & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(model.flags(index(u"Tryb")) & Qt::ItemIsUserCheckable);

  QSignalSpy changes(&model, &RegisterTreeModel::checkChanged);
  // Checking a radio button unchecks its radio siblings; unchecking one directly is refused.
  EXPECT_TRUE(model.setData(index(u"19200"), Qt::Checked, Qt::CheckStateRole));
  EXPECT_TRUE(node(u"19200")->isChecked());
  EXPECT_FALSE(node(u"9600")->isChecked());
  EXPECT_FALSE(model.setData(index(u"19200"), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_TRUE(node(u"19200")->isChecked());
  // A check box toggles both ways and leaves its siblings alone.
  EXPECT_TRUE(model.setData(index(u"B"), Qt::Checked, Qt::CheckStateRole));
  EXPECT_TRUE(model.setData(index(u"A"), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_TRUE(node(u"B")->isChecked());
  EXPECT_TRUE(node(u"C")->isChecked());
  EXPECT_FALSE(node(u"A")->isChecked());
  ASSERT_EQ(changes.size(), 3);
  EXPECT_EQ(changes[2][1].toInt(), int(Qt::Unchecked));

  // Every change is asked about first; a refused one changes nothing and is not reported. Being busy alone
  // refuses edits, not check marks.
  model.isBusy = [] { return true; };
  model.refusesCheck = [&](const RegisterTreeNode* n, bool checked) { return checked && n == node(u"A"); };
  EXPECT_FALSE(model.setData(index(u"A"), Qt::Checked, Qt::CheckStateRole));
  EXPECT_FALSE(node(u"A")->isChecked());
  EXPECT_EQ(changes.size(), 3);
  EXPECT_TRUE(model.setData(index(u"B"), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_EQ(changes.size(), 4);
}

TEST_F(ModelTest, EditingGateAndNewText) {
  EXPECT_TRUE(model.flags(index(u"Słowo", 2)) & Qt::ItemIsEditable);
  EXPECT_TRUE(model.flags(index(u"Prędkość", 2)) & Qt::ItemIsEditable);
  EXPECT_TRUE(model.flags(index(u"Małe", 2)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(index(u"Słowo", 0)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(index(u"Słowo", 1)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(index(u"Temperatura", 2)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(index(u"Pomiary", 2)) & Qt::ItemIsEditable);
  EXPECT_FALSE(RegisterTreeModel::VTEditing(nullptr, 2));

  QSignalSpy edits(&model, &RegisterTreeModel::valueEdited);
  // Stored as typed: no check of the text.
  EXPECT_TRUE(model.setData(index(u"Słowo", 2), QStringLiteral(" 12,x "), Qt::EditRole));
  EXPECT_EQ(node(u"Słowo")->data.Value, u" 12,x ");
  EXPECT_FALSE(model.setData(index(u"Słowo", 0), QStringLiteral("nowa"), Qt::EditRole));
  EXPECT_EQ(node(u"Słowo")->data.Name, u"Słowo");
  EXPECT_FALSE(model.setData(index(u"Temperatura", 2), QStringLiteral("1"), Qt::EditRole));
  EXPECT_EQ(edits.size(), 1);
  model.VTNewText(node(u"Słowo"), 1, QStringLiteral("999"));
  EXPECT_EQ(node(u"Słowo")->data.Address, u"202");

  model.isBusy = [] { return true; };
  EXPECT_FALSE(model.setData(index(u"Słowo", 2), QStringLiteral("5"), Qt::EditRole));
  EXPECT_EQ(node(u"Słowo")->data.Value, u" 12,x ");
}

TEST(DeviceFiles, ListsDatFilesOnly) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto touch = [&](const QString& name) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  };
  EXPECT_TRUE(ListDeviceFiles(dir.path()).isEmpty());
  touch(QStringLiteral("a.dat"));
  touch(QStringLiteral("B.DAT"));
  touch(QStringLiteral(".ukryty.dat"));
  touch(QStringLiteral("c.dat.txt"));
  touch(QStringLiteral("d.txt"));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.dat")));
  QStringList names = ListDeviceFiles(dir.path());
  names.sort();
  EXPECT_EQ(names, (QStringList{QStringLiteral("B.DAT"), QStringLiteral("a.dat")}));

  // The box gets the names as its items; the text in its edit field stays.
  QComboBox box;
  box.setEditable(true);
  box.addItem(QStringLiteral("stary.dat"));
  box.setEditText(QStringLiteral("wpisany"));
  RefillDeviceBox(&box, QStringList{dir.path()});
  EXPECT_EQ(box.count(), 2);
  EXPECT_EQ(box.findText(QStringLiteral("stary.dat")), -1);
  EXPECT_EQ(box.currentText(), QStringLiteral("wpisany"));
  QComboBox list;
  list.addItems({QStringLiteral("a.dat"), QStringLiteral("B.DAT")});
  list.setCurrentIndex(list.findText(QStringLiteral("B.DAT")));
  RefillDeviceBox(&list, QStringList{dir.path()});
  EXPECT_EQ(list.currentText(), QStringLiteral("B.DAT"));

  EXPECT_EQ(DeviceFilePath(dir.path(), QStringLiteral("../x.dat")), dir.filePath(QStringLiteral("x.dat")));
}

TEST_F(ModelTest, LoadingReplacesTheTreeCollapsed) {
  QTemporaryDir dir;
  auto saved = SampleTree();
  Find(saved->root(), u"Pomiary")->States |= NodeState::Expanded;
  const std::string path = dir.filePath(QStringLiteral("typ.dat")).toStdString();
  SaveToFile(*saved, path);

  model.setTree(std::make_unique<RegisterTree>());
  ASSERT_EQ(model.rowCount(), 0);
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  model.loadFromFile(path);
  EXPECT_EQ(resets.size(), 1);
  ASSERT_EQ(model.rowCount(), 4);
  EXPECT_FALSE(node(u"Pomiary")->isExpanded());
  EXPECT_EQ(node(u"9600")->checkType, CheckType::ctRadioButton);
  EXPECT_EQ(index(u"A").data(Qt::CheckStateRole), QVariant(Qt::Checked));

  // A file that cannot be opened changes nothing.
  RegisterTreeNode* before = node(u"Pomiary");
  EXPECT_THROW(model.loadFromFile(dir.filePath(QStringLiteral("brak.dat")).toStdString()), FileOpenError);
  EXPECT_EQ(node(u"Pomiary"), before);
  EXPECT_EQ(resets.size(), 1);

  // A file that is not a tree fails with the format's error; the model stays consistent (the tester watches).
  const QString bad = dir.filePath(QStringLiteral("zly.dat"));
  QFile file(bad);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("to nie jest drzewo");
  file.close();
  EXPECT_THROW(model.loadFromFile(bad.toStdString()), TreeStreamError);
  EXPECT_EQ(model.rowCount(), 0);
}

// The definitions shipped beside the program load and adapt cleanly.
TEST(SampleDefinitions, LoadUnderTheModelTester) {
  const QString binDir = qEnvironmentVariable("VELNOREX_BIN_DIR");
  const QStringList names = binDir.isEmpty() ? QStringList() : ListDeviceFiles(binDir);
  if (names.isEmpty()) VELNOREX_MISSING("no *.dat beside the program");
  for (const QString& name : names) {
    ViewState state;
    RegisterTreeModel model(state);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_NO_THROW(model.loadFromFile(DeviceFilePath(binDir, name).toStdString())) << name.toStdString();
    EXPECT_GT(model.rowCount(), 0) << name.toStdString();
    // Walk every shown node: each has a name and a parent that leads back.
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
      for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        ASSERT_EQ(model.parent(child), parent);
        walk(child);
      }
    };
    walk(QModelIndex());
  }
}

}  // namespace
}  // namespace velnorex::test
