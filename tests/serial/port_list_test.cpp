// The port list's comma text: quoting only where a name needs it, and reading the text back into items.
#include <gtest/gtest.h>
#include <QSerialPortInfo>

#include "serial/port_list.h"
#include "serial/serial.h"

namespace velnorex {
namespace {

TEST(CommaText, JoinsPlainNamesAndQuotesOnlyWhereNeeded) {
  EXPECT_EQ(CommaText({}), QString());
  EXPECT_EQ(CommaText({"COM1"}), "COM1");
  EXPECT_EQ(CommaText({"COM1", "COM3", "COM1"}), "COM1,COM3,COM1");  // order kept, duplicates kept
  EXPECT_EQ(CommaText({"my port", "COM2"}), "\"my port\",COM2");
  EXPECT_EQ(CommaText({"a,b"}), "\"a,b\"");
  EXPECT_EQ(CommaText({"say \"hi\""}), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CommaText({"tab\there"}), "\"tab\there\"");
  EXPECT_EQ(CommaText({"ttyUSB0", "ttyS0"}), "ttyUSB0,ttyS0");
}

TEST(CommaText, SplitReadsBackWhatJoinWrote) {
  const QStringList cases[] = {
      {"COM1"},
      {"COM1", "COM3", "COM1"},
      {"my port", "COM2", "a,b", "say \"hi\"", "\""},
  };
  for (const QStringList& items : cases)
    EXPECT_EQ(SplitCommaText(CommaText(items)), items) << CommaText(items).toStdString();
  EXPECT_EQ(SplitCommaText(QString()), QStringList());
  EXPECT_EQ(SplitCommaText("a b,c"), QStringList({"a", "b", "c"}));  // blanks outside quotes separate
  EXPECT_EQ(SplitCommaText("a,,b"), QStringList({"a", "", "b"}));
}

TEST(ListSerialPorts, ReadsBackAsTheSystemsPortNamesInTheirOrder) {
  QStringList expected;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) expected.append(info.portName());
  EXPECT_EQ(SplitCommaText(ListSerialPorts()), expected);
}

TEST(PathForPortName, PrefixesBareNamesAndKeepsPaths) {
#ifdef Q_OS_WIN
  EXPECT_EQ(Serial::PathForPortName("COM3"), "\\\\.\\COM3");
#else
  EXPECT_EQ(Serial::PathForPortName("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(Serial::PathForPortName("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(Serial::PathForPortName("/tmp/link"), "/tmp/link");
#endif
}

}  // namespace
}  // namespace velnorex
