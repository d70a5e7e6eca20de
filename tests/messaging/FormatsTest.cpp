// The private datagram formats, the id parse and the bounded id list.

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "messaging/Formats.h"
#include "messaging/IntegerList.h"
#include "messaging/UtilityIds.h"

namespace pelmora {
namespace {

TEST(SecureDatagram, BuildsAndSplitsKeepingAmpersandsOfTheText) {
  const std::string d = BuildSecureDatagram("TEJO", "VENTAS", "a&b && c&");
  EXPECT_EQ(d, "TEJO&VENTAS&a&b && c&");
  const SecureDatagram s = SplitSecureDatagram(d);
  EXPECT_EQ(s.sender, "TEJO");
  EXPECT_EQ(s.label, "VENTAS");
  EXPECT_EQ(s.text, "a&b && c&");

  // Empty fields survive the round trip.
  const SecureDatagram e = SplitSecureDatagram(BuildSecureDatagram("", "", ""));
  EXPECT_EQ(e.sender, "");
  EXPECT_EQ(e.label, "");
  EXPECT_EQ(e.text, "");
}

TEST(SecureDatagram, MissingSeparatorsGiveEmptyTrailingFields) {
  SecureDatagram s = SplitSecureDatagram("");
  EXPECT_EQ(s.sender + s.label + s.text, "");
  s = SplitSecureDatagram("ONLYSENDER");
  EXPECT_EQ(s.sender, "ONLYSENDER");
  EXPECT_EQ(s.label, "");
  EXPECT_EQ(s.text, "");
  s = SplitSecureDatagram("A&B");
  EXPECT_EQ(s.sender, "A");
  EXPECT_EQ(s.label, "B");
  EXPECT_EQ(s.text, "");
  s = SplitSecureDatagram("A&B&");
  EXPECT_EQ(s.text, "");
  s = SplitSecureDatagram("&&&");
  EXPECT_EQ(s.sender, "");
  EXPECT_EQ(s.label, "");
  EXPECT_EQ(s.text, "&");
}

TEST(UtilityDatagram, BuildsTheKindsOfDatagramExactly) {
  EXPECT_EQ(BuildUtilityDatagram(48213, "TEJO", kCmdIdentify, "MIRLO"),
            "48213&TEJO&IDENTIFY&MIRLO");
  EXPECT_EQ(BuildUtilityDatagram(907, "MIRLO", kCmdIdentifying, "0.31b"),
            "907&MIRLO&IDENTIFYING&0.31b");
  // The channel query ends in the command, a separator and one blank.
  EXPECT_EQ(BuildUtilityDatagram(0, "TEJO", kCmdChannelQuery, kChannelQueryArgument),
            "0&TEJO&ACK_WINPOPUP& ");
}

TEST(UtilityDatagram, SplitsTheArgumentToTheEndAndToleratesShortDatagrams) {
  UtilityDatagram u = SplitUtilityDatagram("12&TEJO&ANS_WINPOPUP&YES&more&");
  EXPECT_EQ(u.id, "12");
  EXPECT_EQ(u.sender, "TEJO");
  EXPECT_EQ(u.command, "ANS_WINPOPUP");
  EXPECT_EQ(u.argument, "YES&more&");

  u = SplitUtilityDatagram("12&TEJO&IDENTIFY");
  EXPECT_EQ(u.command, "IDENTIFY");
  EXPECT_EQ(u.argument, "");
  u = SplitUtilityDatagram("12");
  EXPECT_EQ(u.id, "12");
  EXPECT_EQ(u.sender + u.command + u.argument, "");
  u = SplitUtilityDatagram("");
  EXPECT_EQ(u.id + u.sender + u.command + u.argument, "");
  // A zero byte is just a byte: the split does not stop at it.
  u = SplitUtilityDatagram(std::string("1&A\0B&C&D", 9));
  EXPECT_EQ(u.sender, std::string("A\0B", 3));
  EXPECT_EQ(u.argument, "D");
}

TEST(UtilityId, AcceptsOnlyDigitsThatFitAnInteger) {
  EXPECT_EQ(ParseUtilityId("0"), 0);
  EXPECT_EQ(ParseUtilityId("99999"), 99999);
  EXPECT_EQ(ParseUtilityId("000150123"), 150123);
  EXPECT_EQ(ParseUtilityId("2147483647"), 2147483647);
  for (const char* bad : {"", " 12", "12 ", "+12", "-1", "1e3", "0x10", "$10", "12a", "2147483648",
                          "99999999999999999999999999999999999"}) {
    EXPECT_FALSE(ParseUtilityId(bad).has_value()) << bad;
  }
}

TEST(IntegerList, KeepsTheLast25InArrivalOrder) {
  TIntegerList list;
  for (int i = 1; i <= 30; ++i) list.Add(i);
  ASSERT_EQ(list.Values().size(), 25u);
  EXPECT_EQ(list.Values().front(), 6);
  EXPECT_EQ(list.Values().back(), 30);
  for (std::size_t i = 0; i < 25; ++i) EXPECT_EQ(list.Values()[i], static_cast<int>(i) + 6);
  EXPECT_FALSE(list.Contains(5));
  EXPECT_TRUE(list.Contains(6));
  EXPECT_TRUE(list.Contains(30));
}

TEST(UtilityIds, StayInTheirRangesAndDependOnlyOnTheSeed) {
  UtilityIdGenerator a(7), b(7);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int id = a.Next();
    ASSERT_EQ(id, b.Next());
    ASSERT_GE(id, 0);
    ASSERT_LE(id, 99999);
    seen.insert(id);
    const int silent = a.NextSilentPing();
    ASSERT_EQ(silent, b.NextSilentPing());
    ASSERT_GE(silent, 150000);
    ASSERT_LE(silent, 150999);
  }
  EXPECT_GT(seen.size(), 1900u);  // not stuck on a few values
  EXPECT_LT(UtilityIdGenerator::TimeOfDaySeed(), 86400000u);
}

// Copies of the program started in the same millisecond (250 copies on a test LAN answering one
// workgroup ping) once drew the same ids, and the pinging side's id filter dropped the answers of
// all but one of them as repeats. Generators made back to back must draw apart.
TEST(UtilityIds, GeneratorsMadeTogetherDrawDifferentIds) {
  std::set<std::vector<int>> sequences;
  for (int g = 0; g < 50; ++g) {
    UtilityIdGenerator ids;
    std::vector<int> first;
    for (int i = 0; i < 4; ++i) first.push_back(ids.Next());
    sequences.insert(first);
  }
  EXPECT_EQ(sequences.size(), 50u);
}

}  // namespace
}  // namespace pelmora
