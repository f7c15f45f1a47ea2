// The program's exchange over a real pseudo-terminal against velnorex-sim: the bytes on the wire, and the
// simulator's faults (late, silent, bad CRC, exception) taking the matching path.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interop/interop_fixture.h"
#include "tests/support/simulator.h"
#include "text/number_text.h"
#include "tools/velnorex-sim/register_map.h"
#include "treefile/tree_stream.h"

namespace velnorex::test {
namespace {

using Bytes = std::vector<uint8_t>;
using WM = TransactionRecorder::Event;

// The simulator's port opened raw, to put on the line what the program never would.
class RawLine {
 public:
  explicit RawLine(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios tio{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(fd_, TCSANOW, &tio);
    }
  }
  ~RawLine() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  void send(const Bytes& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // Whatever arrives until `quiet` passes with nothing new.
  Bytes receive(std::chrono::milliseconds quiet) {
    Bytes out;
    pollfd p{fd_, POLLIN, 0};
    while (::poll(&p, 1, static_cast<int>(quiet.count())) > 0) {
      uint8_t buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

 private:
  int fd_;
};

TEST(SimulatorExchange, TornGarbledAndForeignFramesGetNoAnswerAndTheLineRecovers) {
  using namespace std::chrono_literals;
  SimulatorProcess sim({"--value", "0:WORD:1:1234"});
  RawLine line(sim.path());
  ASSERT_TRUE(line.ok());
  const Bytes read{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
  const Bytes reply{0x01, 0x03, 0x02, 0x04, 0xD2, 0x3A, 0xD9};

  line.send({0x01, 0x03, 0x00});  // a torn frame: the simulator drops it after the line falls silent
  EXPECT_TRUE(line.receive(300ms).empty());
  line.send(read);
  EXPECT_EQ(line.receive(300ms), reply);

  line.send({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0B});  // bad CRC
  EXPECT_TRUE(line.receive(300ms).empty());
  line.send({0x02, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x39});  // slave 2
  EXPECT_TRUE(line.receive(300ms).empty());
  line.send(read);
  EXPECT_EQ(line.receive(300ms), reply);

  // Everything that reached the line is in the log, as it came.
  const auto wire = sim.waitForLogLines(7);
  ASSERT_EQ(wire.size(), 7u);
  EXPECT_EQ(wire[0], (WireFrame{'>', {0x01, 0x03, 0x00}}));
  EXPECT_EQ(wire[2], (WireFrame{'<', reply}));
  EXPECT_EQ(wire[3].direction, '>');
  EXPECT_EQ(wire[4].bytes[0], 0x02);
  EXPECT_EQ(wire[6], (WireFrame{'<', reply}));
}

// The reads and writes themselves run against both peers from one table (peer_exchange_test.cpp); here the
// simulator's log shows what went over the line, byte for byte.
TEST(SimulatorExchange, ReadsAndWritesShowTheirBytesOnTheWire) {
  SimulatorProcess sim({"--registers", "0:40", "--value", "100:REAL:2:1,5"});
  MasterLine line;
  ASSERT_TRUE(line.open(sim.path()));

  line.read(u"100", u"REAL", u"2");
  EXPECT_EQ(line.dispatcher.replyText(), u"1,50");
  line.write(u"1", u"WORD", u"1", u"2", /*single=*/true);
  line.write(u"10", u"REAL", u"2", u"1,5", /*single=*/false);
  line.write(u"20", u"INT", u"2", u"-2", /*single=*/false);
  line.write(u"30", u"TEXT", u"2", u"ABC", /*single=*/false);
  EXPECT_EQ(line.host.results(), ReplyThenNext());

  const auto wire = sim.waitForLogLines(10);
  ASSERT_EQ(wire.size(), 10u);
  // The request for two registers at 100 and the REAL 1,5 reply.
  EXPECT_EQ(wire[0], (WireFrame{'>', {0x01, 0x03, 0x00, 0x64, 0x00, 0x02, 0x85, 0xD4}}));
  EXPECT_EQ(wire[1], (WireFrame{'<', {0x01, 0x03, 0x04, 0x00, 0x00, 0x3F, 0xC0, 0xEB, 0x93}}));
  EXPECT_EQ(wire[2].bytes, (Bytes{0x01, 0x06, 0x00, 0x01, 0x00, 0x02, 0x59, 0xCB}));
  EXPECT_EQ(wire[3].bytes, wire[2].bytes);  // echoed
  EXPECT_EQ(wire[4].bytes,
            (Bytes{0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x04, 0x00, 0x00, 0x3F, 0xC0, 0x62, 0x70}));
  EXPECT_EQ(Bytes(wire[6].bytes.begin() + 7, wire[6].bytes.begin() + 11), (Bytes{0xFF, 0xFE, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(wire[8].bytes.begin() + 7, wire[8].bytes.begin() + 11), (Bytes{0x41, 0x42, 0x43, 0x00}));
}

TEST(SimulatorExchange, LateAnswerLandsInTheSecondReadAfterADotLine) {
  // Reads of 400 ms and an answer 600 ms late: 200 ms of margin on either side of the second read's start.
  SimulatorProcess sim({"--value", "7:WORD:1:4321", "--delay-ms", "600"});
  MasterLine line;
  ASSERT_TRUE(line.open(sim.path(), QStringLiteral("9600,n,8,2"), 400));
  line.read(u"7", u"WORD", u"1");
  EXPECT_EQ(line.host.texts(WM::LogLine), (std::vector<std::u16string>{u"."}));
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  EXPECT_EQ(line.dispatcher.replyText(), u"4321");
}

TEST(SimulatorExchange, SilenceTimesOutAndTheNextRequestIsAnswered) {
  SimulatorProcess sim({"--value", "7:WORD:1:4321", "--silent-first", "1"});
  MasterLine line;
  ASSERT_TRUE(line.open(sim.path()));
  line.read(u"7", u"WORD", u"1");
  EXPECT_EQ(line.host.results(), (std::vector<WM>{WM::UM_TIMEOUT, WM::UM_NEXT}));
  EXPECT_FALSE(line.dispatcher.replyOk());
  EXPECT_TRUE(line.dispatcher.replyText().empty());
  EXPECT_TRUE(line.host.texts(WM::LogLine).empty());
  EXPECT_TRUE(line.serial.PortOpen());

  line.read(u"7", u"WORD", u"1");
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  EXPECT_EQ(line.dispatcher.replyText(), u"4321");
  // Both requests reached the line; only the second was answered.
  const auto wire = sim.waitForLogLines(3);
  ASSERT_EQ(wire.size(), 3u);
  EXPECT_EQ(wire[0].direction, '>');
  EXPECT_EQ(wire[1].direction, '>');
  EXPECT_EQ(wire[2].direction, '<');
}

TEST(SimulatorExchange, CorruptedCrcIsACrcError) {
  SimulatorProcess sim({"--value", "7:WORD:1:4321", "--corrupt-crc", "1"});
  MasterLine line;
  ASSERT_TRUE(line.open(sim.path()));
  line.read(u"7", u"WORD", u"1");
  EXPECT_EQ(line.host.results(), (std::vector<WM>{WM::UM_CRCERROR, WM::UM_NEXT}));
  EXPECT_FALSE(line.dispatcher.replyOk());
  const auto wire = sim.waitForLogLines(2);
  ASSERT_EQ(wire.size(), 2u);
  EXPECT_EQ(Bytes(line.serial.ReplyBuffer, line.serial.ReplyBuffer + line.serial.BytesRead), wire[1].bytes);

  line.read(u"7", u"WORD", u"1");  // only the first reply is spoiled
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  EXPECT_EQ(line.dispatcher.replyText(), u"4321");
}

TEST(SimulatorExchange, ExceptionRepliesTakeTheExceptionPath) {
  SimulatorProcess sim({"--registers", "0:10", "--exception-at", "5:4"});
  MasterLine line;
  ASSERT_TRUE(line.open(sim.path()));

  line.read(u"4", u"REAL", u"2");  // touches 5
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  EXPECT_FALSE(line.dispatcher.replyOk());
  EXPECT_EQ(line.host.count(WM::Highlight), 0u);

  // (A register that does not exist, exception 2, is in the table both peers run.)
  line.write(u"5", u"WORD", u"1", u"1", /*single=*/true);
  EXPECT_FALSE(line.dispatcher.replyOk());

  const auto wire = sim.waitForLogLines(4);
  ASSERT_EQ(wire.size(), 4u);
  EXPECT_EQ(wire[1].bytes, (Bytes{0x01, 0x83, 0x04, 0x40, 0xF3}));
  EXPECT_EQ(wire[3].bytes[1], 0x86);
}

TEST(SimulatorExchange, LineTimeEmulationStillCompletesEveryRead) {
  // 9600 baud, 11 bits per character: a REAL read takes about 20 ms on the line, within the first read.
  SimulatorProcess sim({"--value", "100:REAL:2:-12,25", "--baud", "9600"});
  MasterLine line;
  ASSERT_TRUE(line.open(sim.path(), QStringLiteral("9600,n,8,2"), 400));
  for (int i = 0; i < 3; ++i) {
    line.read(u"100", u"REAL", u"2");
    EXPECT_EQ(line.host.results(), ReplyThenNext());
    EXPECT_EQ(line.dispatcher.replyText(), u"-12,25");
  }
}

TEST(SimulatorExchange, LinkPathWorksAndGoesAway) {
  const std::string link = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                           "/velnorex-sim-link-" + std::to_string(::getpid());
  {
    SimulatorProcess sim({"--link", link, "--value", "3:WORD:1:33"});
    EXPECT_EQ(sim.path(), link);
    MasterLine line;
    ASSERT_TRUE(line.open(link));
    line.read(u"3", u"WORD", u"1");
    EXPECT_EQ(line.dispatcher.replyText(), u"33");
    line.serial.ClosePort();
    EXPECT_TRUE(sim.stop());  // a clean exit on SIGTERM
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimulatorExchange, SeededFromEachSampleDefinitionEveryRegisterReadsBackItsValue) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(BinDir()))
    if (entry.path().extension() == ".dat") files.push_back(entry.path());
  if (files.empty()) VELNOREX_MISSING("no compiled sample definitions in " + BinDir());

  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    RegisterTree tree;
    LoadFromFile(tree, file.string());
    SimulatorProcess sim({"--definition", file.string()});
    MasterLine line;
    ASSERT_TRUE(line.open(sim.path()));
    int registers = 0;
    std::vector<const RegisterTree::Node*> stack{&tree.root()};
    while (!stack.empty()) {
      const auto* node = stack.back();
      stack.pop_back();
      for (const auto& child : node->children()) stack.push_back(child.get());
      const RegisterNode& r = node->data;
      std::u16string access = r.Access;
      for (auto& c : access) c = static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - 32 : c);
      if (access != u"RO" && access != u"RW" && access != u"RP") continue;
      SCOPED_TRACE(ToUtf8(r.Name) + " at " + ToUtf8(r.Address));
      ++registers;
      line.read(r.Address, r.Type, r.Count);
      ASSERT_EQ(line.host.results(), ReplyThenNext());
      ASSERT_TRUE(line.dispatcher.replyOk());
      // The text shown may be spelt differently ("$12" for "$0012"), but it must stand for the same contents.
      const auto count = static_cast<uint32_t>(StrToInt(r.Count));
      RegisterTable table = RegisterTable::Holding;
      EXPECT_EQ(sim::EncodeFieldValue(r.Type, count, line.dispatcher.replyText(), table),
                sim::EncodeFieldValue(r.Type, count, r.Value, table))
          << "shown: " << ToUtf8(line.dispatcher.replyText()) << ", defined: " << ToUtf8(r.Value);
    }
    EXPECT_GT(registers, 5);
  }
}

}  // namespace
}  // namespace velnorex::test
