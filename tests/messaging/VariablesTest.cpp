#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "messaging/Variables.h"

namespace pelmora {
namespace {

TEST(VariablesTest, StartState) {
  auto v = std::make_unique<Variables>();
  EXPECT_TRUE(v->OwnName.empty());
  EXPECT_EQ(v->LanguageIndex, 0);
  EXPECT_FALSE(v->OptRestore || v->OptMaster || v->OptionsOpen);
  for (const auto& q : v->QuickDestinations) {
    EXPECT_EQ(q.Kind, qdNone);
    EXPECT_TRUE(q.Name.empty());
  }
  EXPECT_EQ(v->Outbox.size(), 128u);
  EXPECT_EQ(v->AckDeadlines.size(), 64u);
  EXPECT_EQ(ProgramVersion, "0.31b");
  EXPECT_EQ(kFreeMarker, "XX_XX");
  // Before the tables are cleared a lookup compares with empty keys and finds nothing real.
  EXPECT_EQ(v->FindOutboxEntry("TEJO"), -1);
  EXPECT_EQ(v->FindAckDeadline("XX_XX"), -1);
}

TEST(VariablesTest, ClearPendingTablesMarksEveryEntryFree) {
  auto v = std::make_unique<Variables>();
  v->Outbox[5] = {"ME", "TEJO", "TEJO", "hola"};
  v->AckDeadlines[7] = {"TEJO", 12500};
  v->ClearPendingTables();
  EXPECT_EQ(v->FindOutboxEntry("XX_XX"), 127);
  EXPECT_EQ(v->FindAckDeadline("XX_XX"), 63);
  EXPECT_EQ(v->FindOutboxEntry("TEJO"), -1);
  // Only the key field changes.
  EXPECT_EQ(v->Outbox[5].Text, "hola");
  EXPECT_EQ(v->Outbox[5].SenderName, "ME");
  EXPECT_EQ(v->AckDeadlines[7].Deadline, 12500);
}

TEST(VariablesTest, FindAnswersTheHighestExactMatch) {
  auto v = std::make_unique<Variables>();
  v->ClearPendingTables();
  v->Outbox[3].Target = "TEJO";
  v->Outbox[9].Target = "TEJO";
  EXPECT_EQ(v->FindOutboxEntry("TEJO"), 9);
  EXPECT_EQ(v->FindOutboxEntry("tejo"), -1);
  EXPECT_EQ(v->FindOutboxEntry("TEJ"), -1);
  v->Outbox[0].Target = "X";
  EXPECT_EQ(v->FindOutboxEntry("X"), 0);
  v->AckDeadlines[0].Target = "SAUCE";
  EXPECT_EQ(v->FindAckDeadline("SAUCE"), 0);
  EXPECT_EQ(v->FindAckDeadline("Sauce"), -1);
  v->AckDeadlines[63].Target = "SAUCE";
  EXPECT_EQ(v->FindAckDeadline("SAUCE"), 63);
  // Free entries are found by their marker, also the highest one.
  EXPECT_EQ(v->FindAckDeadline(kFreeMarker), 62);
}

TEST(VariablesTest, SimulatedMachinesDoNotShareState) {
  auto a = std::make_unique<Variables>();
  auto b = std::make_unique<Variables>();
  a->OwnName = "A";
  a->NameList.Add("TEJO");
  a->GroupList.SetGroup("G", std::vector<std::string>{"TEJO"});
  a->ClearPendingTables();
  EXPECT_TRUE(b->OwnName.empty());
  EXPECT_TRUE(b->NameList.Empty());
  EXPECT_EQ(b->GroupList.Count(), 0);
  EXPECT_EQ(b->FindOutboxEntry(kFreeMarker), -1);
}

TEST(VariablesTest, TextFollowsTheLanguage) {
  auto v = std::make_unique<Variables>();
  EXPECT_EQ(v->Text(22), "Ninguno");
  v->LanguageIndex = 2;
  EXPECT_EQ(v->Text(22), "None");
  v->LanguageIndex = 7;
  EXPECT_EQ(v->Text(22), "");
}

TEST(VariablesTest, FitWidth) {
  EXPECT_EQ(FitWidth("12:34:56", 8), "12:34:56");
  EXPECT_EQ(FitWidth("abc", 5), "abc  ");
  EXPECT_EQ(FitWidth("abcdefghij", 4), "abcd");
  EXPECT_EQ(FitWidth("", 3), "   ");
  EXPECT_EQ(FitWidth("abc", 0), "");
  EXPECT_EQ(FitWidth("abc", -2), "");
  EXPECT_EQ(FitWidth("\xE1\xE9", 1), "\xE1");  // single-byte text: one byte is one character
}

TEST(VariablesTest, StripAmpersands) {
  EXPECT_EQ(StripAmpersands(LocalText(kRowGrabarLog, kLanguageSpanish)), "Grabar fichero log");
  EXPECT_EQ(StripAmpersands("&&&"), "");
  EXPECT_EQ(StripAmpersands(""), "");
  EXPECT_EQ(StripAmpersands("Prede&terminados"), "Predeterminados");
}

TEST(VariablesTest, IsInListIgnoresCase) {
  TNameList l{"TEJO"};
  EXPECT_TRUE(IsInList("tejo", l));
  EXPECT_FALSE(IsInList("TEJ", l));
  EXPECT_FALSE(IsInList("", TNameList{}));
  EXPECT_TRUE(IsInList("sauce", TNameList{"TEJO", "SAUCE"}));
  EXPECT_FALSE(IsInList("SAUCES", TNameList{"SAUCE"}));
}

}  // namespace
}  // namespace pelmora
