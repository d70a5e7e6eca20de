#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "model/NameList.h"

namespace pelmora {
namespace {

std::vector<std::string> Names(const TNameList& l) { return {l.begin(), l.end()}; }

// The tests pin the C locale so the order does not depend on the machine running them.
class NameListTest : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(NameListTest, StaysSortedIgnoringCase) {
  TNameList l;
  l.Add("TEJO");
  l.Add("sauce");
  l.Add("Brezo");
  l.Add("mirlo");
  EXPECT_EQ(Names(l), (std::vector<std::string>{"Brezo", "mirlo", "sauce", "TEJO"}));
  // Case-insensitive order, not byte order: "a" before "B" although 'B' < 'a'.
  TNameList m{"B", "a"};
  EXPECT_EQ(Names(m), (std::vector<std::string>{"a", "B"}));
}

TEST_F(NameListTest, AddingAHeldNameKeepsTheHeldForm) {
  TNameList l{"TEJO", "SAUCE"};
  EXPECT_EQ(l.Add("tejo"), 1);
  EXPECT_EQ(l.Add("Sauce"), 0);
  EXPECT_EQ(Names(l), (std::vector<std::string>{"SAUCE", "TEJO"}));
}

TEST_F(NameListTest, AccentedLettersFoldWithTheirCase) {
  // "ÑANDÚ" and "ñandú" in Windows-1252 are the same name.
  TNameList l;
  l.Add(
      "\xD1"
      "AND\xDA");
  EXPECT_EQ(l.Add("\xF1"
                  "and\xFA"),
            0);
  EXPECT_EQ(l.Count(), 1);
  EXPECT_TRUE(
      l.Contains("\xF1"
                 "AND\xFA"));
  // The letters of the 0x80..0x9F block fold too: "ŠOŽ" and "šož".
  EXPECT_TRUE(
      SameName("\x8A"
               "O\x8E",
               "\x9A"
               "o\x9E"));
  EXPECT_TRUE(SameName("\x9F", "\xFF"));
  // Not letters: the multiplication and division signs stay apart.
  EXPECT_FALSE(SameName("\xD7", "\xF7"));
}

TEST_F(NameListTest, LookupAndRemovalIgnoreCase) {
  TNameList l{"BREZO", "TEJO"};
  EXPECT_EQ(l.IndexOf("brezo"), 0);
  EXPECT_EQ(l.Find("Tejo"), 1);
  EXPECT_EQ(l.IndexOf("BREZ"), -1);
  EXPECT_TRUE(l.Remove("tejo"));
  EXPECT_FALSE(l.Remove("tejo"));
  EXPECT_EQ(Names(l), std::vector<std::string>{"BREZO"});
}

TEST_F(NameListTest, OutOfRangeAccessIsHarmless) {
  TNameList l{"A"};
  EXPECT_EQ(l.Item(-1), "");
  EXPECT_EQ(l[1], "");
  l.Delete(5);
  l.Delete(-1);
  EXPECT_EQ(l.Count(), 1);
  l.Delete(0);
  EXPECT_TRUE(l.Empty());
  l.Add("X");
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

TEST_F(NameListTest, ComparisonIsAStrictOrderEvenWithZeroBytes) {
  // wcscoll stops at a zero character; names differing after it must still not tie.
  const std::string a("AB\0C", 4), b("AB\0D", 4);
  EXPECT_LT(CompareNames(a, b), 0);
  EXPECT_GT(CompareNames(b, a), 0);
  EXPECT_EQ(CompareNames("abc", "ABC"), 0);
  TNameList l;
  l.Add(b);
  l.Add(a);
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l[0], a);
}

}  // namespace
}  // namespace pelmora
