#include "sip/address_utilities.h"

#include <gtest/gtest.h>

namespace sip {
namespace {

using platform::AsciiToWide;

TEST(AddressClassification, PrivateLinkLocalAndPublic) {
  struct Row {
    const char* address;
    bool isPrivate;
    bool isLinkLocal;
  };
  const Row rows[] = {
      {"192.168.1.5", true, false},
      {"10.0.0.1", true, false},
      {"172.16.0.1", true, false},
      {"172.31.255.255", true, false},
      {"172.32.0.1", false, false},
      {"100.1.1.1", false, false},
      {"11.0.0.1", false, false},
      {"169.254.3.4", false, true},
      // Only the two characters after "172." are read.
      {"172.160.0.1", true, false},
      {"172.1.0.1", false, false},
      {"172.15.0.1", false, false},
      {"172.", false, false},
      {"172.2", false, false},
      {"192.168", false, false},
      {"10.", true, false},
      {"", false, false},
      {"169.254", false, false},
      {"1.10.0.0", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.address);
    OleString address = AsciiToWide(row.address);
    EXPECT_EQ(IsPrivateAddress(address), row.isPrivate);
    EXPECT_EQ(IsLinkLocalAddress(address), row.isLinkLocal);
    EXPECT_EQ(IsPrivateOrLinkLocal(address), row.isPrivate || row.isLinkLocal);
  }
}

TEST(FirstPublicAddress, PicksFirstPublicOrLeavesOutputUntouched) {
  OleString found = AsciiToWide("unchanged");
  EXPECT_TRUE(FirstPublicAddress({AsciiToWide("10.0.0.2"), AsciiToWide("169.254.1.1"),
                                  AsciiToWide("81.2.3.4"), AsciiToWide("82.1.1.1")},
                                 &found));
  EXPECT_EQ(found, AsciiToWide("81.2.3.4"));

  found = AsciiToWide("unchanged");
  EXPECT_FALSE(FirstPublicAddress({AsciiToWide("10.0.0.2")}, &found));
  EXPECT_FALSE(FirstPublicAddress({}, &found));
  EXPECT_EQ(found, AsciiToWide("unchanged"));
}

TEST(SplitWordsAndPort, FillsWordsInOrderAndReadsSeventhAsPort) {
  struct Row {
    const char* line;
    const char* words[6];
    std::uint16_t port;
  };
  const Row rows[] = {
      {"1 : 1 UDP 192.168.0.5 5060 7078", {"1", ":", "1", "UDP", "192.168.0.5", "5060"}, 7078},
      {"  a\tb  c d e f", {"a", "b", "c", "d", "e", "f"}, 0},  // exactly six words
      {"a b", {"a", "b", "-", "-", "-", "-"}, 0},              // missing words untouched
      {"a b c d e f 70000", {"a", "b", "c", "d", "e", "f"}, 70000 & 0xFFFF},
      {"a b c d e f x9", {"a", "b", "c", "d", "e", "f"}, 0},
      {"", {"-", "-", "-", "-", "-", "-"}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    OleString words[6];
    for (OleString& w : words) w = AsciiToWide("-");
    std::uint16_t port = 12345;
    EXPECT_TRUE(SplitWordsAndPort(AsciiToWide(row.line), &words[0], &words[1], &words[2], &words[3],
                                  &words[4], &words[5], &port));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(words[i], AsciiToWide(row.words[i])) << i;
    EXPECT_EQ(port, row.port);
  }
}

TEST(ParseUnsigned, ReadsLikeWcstoul) {
  struct Row {
    const char* text;
    bool ok;
    std::uint32_t value;
  };
  const Row rows[] = {
      {"42abc", true, 42},
      {"abc", false, 0},
      {"", false, 0},
      {"  17", true, 17},
      {"+5", true, 5},
      {"-1", true, 0xFFFFFFFFu},
      {"4294967295", true, 0xFFFFFFFFu},
      {"4294967296", true, 0xFFFFFFFFu},
      {"99999999999999999999", true, 0xFFFFFFFFu},
      {"  ", false, 0},
      {"-", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    OleString text = AsciiToWide(row.text);
    std::uint32_t value = 7;
    EXPECT_EQ(ParseUnsigned(text.c_str(), &value), row.ok);
    if (row.ok) {
      EXPECT_EQ(value, row.value);
    }
  }
  std::uint32_t value = 0;
  EXPECT_FALSE(ParseUnsigned(nullptr, &value));
}

}  // namespace
}  // namespace sip
