#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "model/Groups.h"

namespace pelmora {
namespace {

using Strings = std::vector<std::string>;

Strings Members(const TGrupo& g) { return {g.Members().begin(), g.Members().end()}; }

Strings GroupNames(const TGrupos& gs) {
  Strings out;
  for (int i = 0; i < gs.Count(); ++i) out.push_back(gs.Item(i).Name());
  return out;
}

TEST(GroupsTest, SetGroupReplacesMembersAndKeepsPosition) {
  TGrupos gs;
  gs.SetGroup("A", Strings{"X", "Y"});
  gs.SetGroup("B", Strings{"Z"});
  gs.SetGroup("A", Strings{"W"});
  EXPECT_EQ(GroupNames(gs), (Strings{"A", "B"}));
  EXPECT_EQ(Members(gs.Item(0)), Strings{"W"});  // replaced, not merged
  gs.SetGroup("B", Strings{});
  EXPECT_TRUE(gs.Item(1).Members().Empty());
  gs.SetGroup("C", Strings{});
  EXPECT_EQ(gs.Count(), 3);
  EXPECT_TRUE(gs.Item(2).Members().Empty());
}

TEST(GroupsTest, MembersAreSortedAndFirstFormWins) {
  TGrupos gs;
  gs.SetGroup("G", Strings{"brezo", "BREZO", "tejo"});
  EXPECT_EQ(Members(gs.Item(0)), (Strings{"brezo", "tejo"}));
  gs.SetGroup("H", Strings{"TEJO", "SAUCE"});
  EXPECT_EQ(Members(gs.Item(1)), (Strings{"SAUCE", "TEJO"}));
  gs.Item(1).RemoveMember("sauce");
  EXPECT_EQ(Members(gs.Item(1)), Strings{"TEJO"});
  gs.Item(1).RemoveMember("NOBODY");
  EXPECT_EQ(Members(gs.Item(1)), Strings{"TEJO"});
}

TEST(GroupsTest, SetGroupFromItsOwnMemberList) {
  TGrupos gs;
  gs.SetGroup("G", Strings{"A", "B"});
  gs.SetGroup("G", gs.Item(0).Members());
  EXPECT_EQ(Members(gs.Item(0)), (Strings{"A", "B"}));
}

TEST(GroupsTest, GroupNamesAreExact) {
  TGrupos gs;
  gs.SetGroup("AMIGOS", Strings{});
  EXPECT_FALSE(gs.Exists("amigos"));
  EXPECT_FALSE(gs.Exists("Amigos"));
  gs.SetGroup("Amigos", Strings{"X"});
  EXPECT_EQ(gs.Count(), 2);
  EXPECT_EQ(gs.IndexOf("Amigos"), 1);
  EXPECT_EQ(gs.IndexOf("AMIGOS"), 0);
  EXPECT_TRUE(gs.Item(0).Members().Empty());
}

TEST(GroupsTest, DeleteKeepsOrderAndIgnoresUnknownNames) {
  TGrupos gs;
  gs.Delete("NONE");
  gs.Clear();
  EXPECT_EQ(gs.Count(), 0);
  gs.SetGroup("A", Strings{});
  gs.SetGroup("B", Strings{});
  gs.SetGroup("C", Strings{});
  gs.Delete("NONE");
  EXPECT_EQ(gs.Count(), 3);
  gs.Delete("B");
  EXPECT_EQ(GroupNames(gs), (Strings{"A", "C"}));
  // Deleted and created again: it goes to the end.
  gs.Delete("A");
  gs.SetGroup("A", Strings{});
  EXPECT_EQ(GroupNames(gs), (Strings{"C", "A"}));
  gs.Clear();
  EXPECT_EQ(gs.Count(), 0);
}

TEST(GroupsTest, ReferencesSurviveAppendsAndOtherDeletes) {
  TGrupos gs;
  gs.SetGroup("A", Strings{});
  gs.SetGroup("B", Strings{});
  TGrupo& b = gs.Item(1);
  for (int i = 0; i < 100; ++i) gs.SetGroup("G" + std::to_string(i), Strings{});
  gs.Delete("A");
  b.Members().Add("M");
  EXPECT_EQ(Members(gs.Item(0)), Strings{"M"});
}

TEST(GroupsTest, RemoveMemberFromAll) {
  TGrupos gs;
  gs.SetGroup("A", Strings{"TEJO", "SAUCE"});
  gs.SetGroup("B", Strings{"tejo"});
  gs.SetGroup("C", Strings{"MIRLO"});
  gs.RemoveMemberFromAll("Tejo");
  EXPECT_EQ(Members(gs.Item(0)), Strings{"SAUCE"});
  EXPECT_TRUE(gs.Item(1).Members().Empty());
  EXPECT_EQ(Members(gs.Item(2)), Strings{"MIRLO"});
}

TEST(GroupsTest, OutsideThePreconditions) {
  TGrupos gs;
  EXPECT_EQ(gs.IndexOf("X"), -1);
  EXPECT_THROW(gs.Item(0), std::out_of_range);
  gs.SetGroup("X", Strings{});
  EXPECT_THROW(gs.Item(-1), std::out_of_range);
  EXPECT_THROW(gs.Item(1), std::out_of_range);
  const TGrupos& c = gs;
  EXPECT_EQ(c.Find(1), nullptr);
  ASSERT_NE(c.Find(0), nullptr);
  EXPECT_EQ(c.Find(0)->Name(), "X");
}

}  // namespace
}  // namespace pelmora
