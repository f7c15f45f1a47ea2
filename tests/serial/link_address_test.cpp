// The network addresses the port box and the tools' --port take.
#include <optional>

#include <gtest/gtest.h>

#include "serial/link_address.h"

namespace velnorex {
namespace {

TEST(LinkAddress, GoodAddressesParseAndWriteBackAndBadOnesAreRefused) {
  struct Good {
    const char* text;
    LinkAddress::Kind kind;
    const char* host;
    uint16_t port;
    const char* written;
  };
  const Good good[] = {
      {"tcp://127.0.0.1:502", LinkAddress::ModbusTcp, "127.0.0.1", 502, "tcp://127.0.0.1:502"},
      {"rtu+tcp://gateway.local:4001", LinkAddress::RtuOverTcp, "gateway.local", 4001,
       "rtu+tcp://gateway.local:4001"},
      {"  TCP://plc  ", LinkAddress::ModbusTcp, "plc", 502, "tcp://plc:502"},
      {"Rtu+Tcp://10.0.0.7:1/", LinkAddress::RtuOverTcp, "10.0.0.7", 1, "rtu+tcp://10.0.0.7:1"},
      {"tcp://h:65535", LinkAddress::ModbusTcp, "h", 65535, "tcp://h:65535"},
      {"tcp://[::1]:1502", LinkAddress::ModbusTcp, "::1", 1502, "tcp://[::1]:1502"},
      {"tcp://[fe80::1]", LinkAddress::ModbusTcp, "fe80::1", 502, "tcp://[fe80::1]:502"},
  };
  for (const Good& g : good) {
    SCOPED_TRACE(g.text);
    const std::optional<LinkAddress> address = ParseLinkAddress(QString::fromUtf8(g.text));
    ASSERT_TRUE(address);
    EXPECT_TRUE(IsNetworkAddress(QString::fromUtf8(g.text)));
    EXPECT_EQ(address->kind, g.kind);
    EXPECT_EQ(address->host, QString::fromUtf8(g.host));
    EXPECT_EQ(address->port, g.port);
    EXPECT_EQ(address->text(), QString::fromUtf8(g.written));
    const std::optional<LinkAddress> again = ParseLinkAddress(address->text());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->text(), address->text());
  }

  // Network addresses that are malformed, and texts that are no network address at all.
  const char* bad[] = {
      "tcp://",
      "tcp://:502",
      "tcp://h:",
      "tcp://h:0",
      "tcp://h:65536",
      "tcp://h:99999999999",
      "tcp://h:12a",
      "tcp://h:+502",
      "tcp://h:502/x",
      "tcp://h:502:1",
      "tcp://::1:502",
      "tcp://[::1",
      "tcp://[::1]502",
      "tcp://[::1]:",
      "tcp://[]:502",
      "tcp://a b:502",
      "tcp://user@h:502",
      "tcp://h/x:502",
      "tcp://h:\u0665\u0660\u0662",
      "udp://h:502",
      "tcp:/h:502",
      "/dev/ttyUSB0",
      "ttyS0",
      "",
  };
  for (const char* text : bad) {
    EXPECT_FALSE(ParseLinkAddress(QString::fromUtf8(text))) << text;
  }
  EXPECT_TRUE(IsNetworkAddress(QStringLiteral("tcp://h:0")));
  EXPECT_FALSE(IsNetworkAddress(QStringLiteral("/dev/ttyUSB0")));
}

}  // namespace
}  // namespace velnorex
