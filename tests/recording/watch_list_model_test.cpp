// The watch list: entries copied from the register, and the ".lst" bytes they give.
#include "registers/watch_list_model.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>

namespace velnorex::test {
namespace {

const RegisterNode kTemp{u"Temp", u"", u"100", u"INT", u"1", u"RO", u"21"};

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

TEST(WatchListModel, OneEntryGivesTheDocumented89ByteFile) {
  WatchListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  ASSERT_TRUE(model.AddToWatchList(&kTemp, QStringLiteral("1")));
  const std::vector<uint8_t> expected = Bytes({
      0x45, 0x20, 0x56, 0x00, 0x54, 0x00, 0x02, 0x00, 0x20, 0x00, 0x46, 0x20,  // magic, version 2
      0x01, 0x00, 0x00, 0x00,                                                  // one top-level node
      0x01, 0x00, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00,                          // node chunk, 65 bytes
      0x02, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00,                          // base chunk, 17 bytes
      0x00, 0x00, 0x00, 0x00,                                                  // ChildCount 0
      0x12, 0x00, 0x00, 0x00,                                                  // NodeHeight 18
      0x81, 0x00, 0x32, 0x00, 0x02,                    // States 0x0081, Align 50, CheckState 0, CheckType 2
      0x00, 0x00, 0x00, 0x00,                          // Reserved
      0x04, 0x00, 0x00, 0x00, 0x16, 0x00, 0x00, 0x00,  // user-data chunk, 22 bytes
      0x06, 0x01, 0x31,                                // Slave "1"
      0x06, 0x03, 0x31, 0x30, 0x30,                    // Address "100"
      0x06, 0x04, 0x54, 0x65, 0x6D, 0x70,              // Name "Temp"
      0x06, 0x01, 0x31,                                // Count "1"
      0x06, 0x03, 0x49, 0x4E, 0x54,                    // Type "INT"
      0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x31, 0x00,  // caption chunk "1"
  });
  EXPECT_EQ(SaveToStream(model.tree()), expected);

  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Slave"));
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Rejestr"));
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Opis"));
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));
  EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("100"));
  EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("Temp"));
  EXPECT_EQ(model.data(model.index(0, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
}

TEST(WatchListModel, EntriesAreCopiesAddedAsTypedAndNeverFromNothing) {
  WatchListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  EXPECT_FALSE(model.AddToWatchList(nullptr, QStringLiteral("1")));
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(SaveToStream(model.tree()).size(), 16u);

  RegisterNode record = kTemp;
  ASSERT_TRUE(model.AddToWatchList(&record, QStringLiteral("1")));
  ASSERT_TRUE(model.AddToWatchList(&record, QStringLiteral("1")));
  // Later changes of the register (a read, another definition) leave the entries as they were.
  record = RegisterNode{u"Inny", u"", u"7", u"WORD", u"2", u"RW", u"5"};
  ASSERT_TRUE(model.AddToWatchList(&record, QStringLiteral("abc")));
  ASSERT_TRUE(model.AddToWatchList(&record, QString()));
  ASSERT_EQ(model.rowCount(), 4);
  const auto& nodes = model.tree().root().children();
  EXPECT_EQ(nodes[0]->data.Name, u"Temp");
  EXPECT_EQ(nodes[0]->data.Address, u"100");
  EXPECT_EQ(nodes[0]->data.Count, u"1");
  EXPECT_EQ(nodes[0]->data.Type, u"INT");
  EXPECT_TRUE(nodes[0]->data.Value.empty());
  EXPECT_EQ(nodes[2]->data.Slave, u"abc");
  EXPECT_EQ(nodes[2]->data.Name, u"Inny");

  const std::vector<uint8_t> file = SaveToStream(model.tree());
  EXPECT_EQ(file[12], 4);  // top-level count
  // Two equal entries give two equal node chunks of 73 bytes each.
  const std::vector<uint8_t> first(file.begin() + 16, file.begin() + 16 + 73);
  const std::vector<uint8_t> second(file.begin() + 16 + 73, file.begin() + 16 + 146);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first[4], 65);
  // The entry with an empty slave text has no caption chunk: its node chunk ends with the user data.
  WatchListModel single;
  ASSERT_TRUE(single.AddToWatchList(&kTemp, QString()));
  const std::vector<uint8_t> noCaption = SaveToStream(single.tree());
  // Node chunk: base 25 + user data 8 + 24 (the empty Slave takes 5 bytes instead of 3), no caption.
  EXPECT_EQ(noCaption.size(), 16u + 8 + 25 + 8 + 24);
  EXPECT_EQ(noCaption[20], 57);
  EXPECT_EQ(std::vector<uint8_t>(noCaption.begin() + 57, noCaption.begin() + 62), Bytes({0x12, 0, 0, 0, 0}));
}

TEST(WatchListModel, SavingReplacesTheFileAtomically) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  WatchListModel model;
  const QString path = dir.filePath(QStringLiteral("velnorex.lst"));
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(200, 'x'));
  }
  model.SaveToFile(path.toStdString());
  EXPECT_EQ(QFileInfo(path).size(), 16);

  ASSERT_TRUE(model.AddToWatchList(&kTemp, QStringLiteral("1")));
  const std::string blocked = (path + QStringLiteral("/x.lst")).toStdString();
  try {
    model.SaveToFile(blocked);
    ADD_FAILURE() << "no error";
  } catch (const FileCreateError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("Cannot create file \"" + blocked + "\".")) << e.what();
  }
  EXPECT_EQ(QFileInfo(path).size(), 16);
}

TEST(WatchListModel, EntriesAreRemovedAndReorderedAndTheFileFollows) {
  WatchListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  for (const char* slave : {"1", "2", "3", "4"})
    ASSERT_TRUE(model.AddToWatchList(&kTemp, QString::fromLatin1(slave)));
  const auto slaves = [&] {
    std::u16string out;
    for (const WatchEntry& entry : model.entries()) out += entry.Slave;
    return out;
  };
  EXPECT_TRUE(model.moveEntry(0, 2));
  EXPECT_EQ(slaves(), u"2314");
  EXPECT_TRUE(model.moveEntry(3, 0));
  EXPECT_EQ(slaves(), u"4231");
  EXPECT_TRUE(model.moveEntry(1, 99));  // clamped to the last place
  EXPECT_EQ(slaves(), u"4312");
  EXPECT_FALSE(model.moveEntry(0, -1));
  EXPECT_FALSE(model.moveEntry(7, 0));
  EXPECT_TRUE(model.removeEntry(1));
  EXPECT_FALSE(model.removeEntry(3));
  EXPECT_EQ(slaves(), u"412");
  // Each node knows its new place: the model's indexes and the file agree with the order.
  for (int row = 0; row < 3; ++row) EXPECT_EQ(model.nodeAt(model.index(row, 0))->index(), row);
  EXPECT_EQ(model.index(2, 0).data().toString(), QStringLiteral("2"));
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("l.lst")).toStdString();
  model.SaveToFile(path);
  WatchTree loaded;
  LoadFromFile(loaded, path);
  ASSERT_EQ(loaded.root().childCount(), 3u);
  EXPECT_EQ(loaded.root().child(0)->data.Slave, u"4");
  EXPECT_EQ(loaded.root().child(2)->data.Slave, u"2");
}

}  // namespace
}  // namespace velnorex::test
