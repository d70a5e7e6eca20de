// The options dialog's page rules on the shared state, the log file and the colour list's
// lookups, without a screen.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "options/OptionsLogic.h"
#include "widgets/ColorCombo.h"

namespace pelmora::options {
namespace {

TEST(OptionsTypedNames, UpperCasesAsciiAndRefusesFieldBreakers) {
  EXPECT_EQ(ReadTypedName("mirlo").name, "MIRLO");
  EXPECT_EQ(ReadTypedName("ca\xF1"
                          "a")
                .name,
            "CA\xF1"
            "A");  // only a-z change case
  EXPECT_EQ(ReadTypedName("").outcome, Typed::Cancel);
  // Blanks are a name as typed; nothing is trimmed.
  EXPECT_EQ(ReadTypedName("   ").outcome, Typed::Accept);
  EXPECT_EQ(ReadTypedName("   ").name, "   ");
  // "&" would shift the fields of the secure and utility datagrams; control characters come
  // with pasted text.
  for (const char* bad : {"A&B", "&", "TE\tJO", "TE\nJO", "X\x7F", "\r"}) {
    EXPECT_EQ(ReadTypedName(bad).outcome, Typed::Refused) << bad;
  }
  const std::string longName(5000, 'q');
  EXPECT_EQ(ReadTypedName(longName).name, std::string(5000, 'Q'));
}

TEST(OptionsTypedNames, GroupNamedLikeAStoreSectionIsRefused) {
  for (const char* section :
       {"opciones", "NOMBRES", "Grupos", "destinorapido0", "DestinoRapido9"}) {
    EXPECT_EQ(ReadTypedGroup(section).outcome, Typed::Refused) << section;
  }
  for (const char* fine : {"AMIGOS", "DestinoRapido10", "DestinoRapidoX", "GRUPOS2", "NOMBRE"}) {
    EXPECT_EQ(ReadTypedGroup(fine).outcome, Typed::Accept) << fine;
  }
  EXPECT_EQ(ReadTypedGroup("a&b").outcome, Typed::Refused);
  EXPECT_EQ(ReadTypedGroup("").outcome, Typed::Cancel);
}

TEST(OptionsNames, DeletingANameLeavesEveryGroupButNotTheGroups) {
  Variables v;
  v.NameList = {"TEJO", "MIRLO", "SAUCE"};
  v.GroupList.SetGroup("SOLO", std::vector<std::string>{"TEJO"});
  v.GroupList.SetGroup("DOS", std::vector<std::string>{"TEJO", "MIRLO"});
  DeleteName(v, "tejo");
  EXPECT_FALSE(v.NameList.Contains("TEJO"));
  ASSERT_EQ(v.GroupList.Count(), 2);
  EXPECT_TRUE(v.GroupList.Item(0).Members().Empty());
  EXPECT_EQ(v.GroupList.Item(1).Members().Items(), std::vector<std::string>{"MIRLO"});

  v.GroupList.SetGroup("DOS", std::vector<std::string>{"mirlo", "FANTASMA"});
  DeleteAllNames(v);
  EXPECT_TRUE(v.NameList.Empty());
  EXPECT_EQ(v.GroupList.Count(), 2);
  // Members that were never in the name list are not names the user deleted.
  EXPECT_EQ(v.GroupList.Item(1).Members().Items(), std::vector<std::string>{"FANTASMA"});
}

TEST(OptionsGroups, GroupDifferingOnlyInCaseCountsAsExisting) {
  TGrupos g;
  g.SetGroup("Amigos", std::vector<std::string>{"TEJO"});  // from an old settings file
  g.SetGroup("OFICINA", std::vector<std::string>{});
  // Typed "amigos" arrives upper-cased: it is the group already there, not a hidden second one.
  EXPECT_EQ(CreateGroup(g, "AMIGOS"), 0);
  EXPECT_EQ(g.Count(), 2);
  EXPECT_EQ(g.Item(0).Members().Items(), std::vector<std::string>{"TEJO"});
  EXPECT_EQ(CreateGroup(g, "NUEVO"), 2);
  EXPECT_EQ(g.Item(2).Name(), "NUEVO");
  EXPECT_EQ(GroupPosition(g, "oficina"), 1);
  EXPECT_EQ(GroupPosition(g, "NADIE"), -1);
}

TEST(OptionsGroups, ClickKeepsMembersTheListDoesNotShow) {
  TGrupo g("AMIGOS");
  for (const char* m : {"TEJO", "MIRLO", "FANTASMA"})
    g.Members().Add(m);  // FANTASMA: no name entry
  // TEJO unchecked, MIRLO checked, SAUCE newly checked.
  SetMembersFromChecks(g, {{"MIRLO", true}, {"SAUCE", true}, {"TEJO", false}});
  EXPECT_EQ(g.Members().Items(), (std::vector<std::string>{"FANTASMA", "MIRLO", "SAUCE"}));
  // Shown names compare ignoring case with the members.
  SetMembersFromChecks(g, {{"mirlo", false}});
  EXPECT_EQ(g.Members().Items(), (std::vector<std::string>{"FANTASMA", "SAUCE"}));
}

TEST(OptionsQuickDestinations, ShowingNeverRewritesOnlyTheUsersChoiceDoes) {
  const std::vector<std::string> names = {"MIRLO", "SAUCE"};
  QuickDestination d{"TEJO", qdName};
  EXPECT_EQ(QuickDestinationShown(d, names), -1);
  EXPECT_EQ(d.Name, "TEJO");  // Alt+digit still goes to TEJO
  d.Name = "sauce";
  EXPECT_EQ(QuickDestinationShown(d, names), 1);

  // Switching from groups to names replaces the group's name by the first name.
  QuickDestination five{"AMIGOS", qdGroup};
  EXPECT_EQ(QuickDestinationKindChosen(five, qdName, names), 0);
  EXPECT_EQ(five.Name, "MIRLO");
  EXPECT_EQ(five.Kind, qdName);
  // A listed name is kept; kind "none" keeps the name but makes the entry inactive.
  EXPECT_EQ(QuickDestinationKindChosen(five, qdNone, names), -1);
  EXPECT_EQ(five.Name, "MIRLO");
  EXPECT_EQ(five.Kind, qdNone);
  // Kind "names" on an empty list gives an empty name.
  QuickDestination three{"X", qdNone};
  EXPECT_EQ(QuickDestinationKindChosen(three, qdName, {}), -1);
  EXPECT_EQ(three.Name, "");
}

TEST(OptionsSnapshot, RestoresEverythingTheDialogEdits) {
  Variables v;
  v.OptBeep = true;
  v.LanguageIndex = 1;
  v.NameList = {"TEJO", "MIRLO"};
  v.GroupList.SetGroup("Amigos", std::vector<std::string>{"TEJO"});
  v.GroupList.SetGroup("AMIGOS", std::vector<std::string>{"MIRLO"});  // differs only in case
  v.QuickDestinations[4] = {"AMIGOS", qdGroup};
  const OptionsSnapshot s = CaptureSettings(v, WindowSettings{});

  v.OptBeep = false;
  v.OptHardway = true;
  v.LanguageIndex = 2;
  DeleteAllNames(v);
  v.NameList.Add("OTRO");
  v.GroupList.Delete("Amigos");
  CreateGroup(v.GroupList, "NUEVO");
  v.QuickDestinations[4] = {"OTRO", qdName};
  WindowSettings w;
  ApplySettings(s, v, w);

  EXPECT_TRUE(v.OptBeep);
  EXPECT_FALSE(v.OptHardway);
  EXPECT_EQ(v.LanguageIndex, 1);
  EXPECT_EQ(v.NameList.Items(), (std::vector<std::string>{"MIRLO", "TEJO"}));
  ASSERT_EQ(v.GroupList.Count(), 2);
  EXPECT_EQ(v.GroupList.Item(0).Name(), "Amigos");
  EXPECT_EQ(v.GroupList.Item(0).Members().Items(), std::vector<std::string>{"TEJO"});
  EXPECT_EQ(v.GroupList.Item(1).Members().Items(), std::vector<std::string>{"MIRLO"});
  EXPECT_EQ(v.QuickDestinations[4].Name, "AMIGOS");
  EXPECT_EQ(v.QuickDestinations[4].Kind, qdGroup);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(OptionsLog, LinesAreFittedInCharactersThenWrittenAsUtf8) {
  EXPECT_EQ(LogLine("9:05", "TEJO a MIRLO", "hola"), "9:05     TEJO a MIRLO             hola\r\n");
  // A heading longer than 24 is cut; continuation lines have empty columns.
  EXPECT_EQ(LogLine("10:20:30x", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", ""),
            "10:20:30 ABCDEFGHIJKLMNOPQRSTUVWX \r\n");
  EXPECT_EQ(LogLine("", "", "sigue"), std::string(34, ' ') + "sigue\r\n");

  char dir[] = "/tmp/pelmora-log-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/vespra.log";
  // "ñ" is one character in the columns but two bytes in the file: the text column still starts
  // in character 35.
  const std::vector<std::string> lines = {LogLine("10:00:00", "NI\xD1O a TEJO", "a\xF1o"),
                                          LogLine("", "", "<b>no markup</b>")};
  ASSERT_TRUE(WriteLogFile(path, 2, [&](int i) { return lines[static_cast<std::size_t>(i)]; }));
  EXPECT_EQ(ReadAll(path), "10:00:00 NI\xC3\x91O a TEJO              a\xC3\xB1o\r\n" +
                               std::string(34, ' ') + "<b>no markup</b>\r\n");
  // An existing file is emptied, an empty view gives an empty file.
  ASSERT_TRUE(WriteLogFile(path, 0, [](int) { return std::string(); }));
  EXPECT_EQ(ReadAll(path), "");
  unlink(path.c_str());
  rmdir(dir);
}

TEST(OptionsLog, EveryFailureIsReported) {
  auto line = [](int) { return LogLine("10:00:00", "TEJO a MIRLO", std::string(200, 'x')); };
  EXPECT_FALSE(WriteLogFile("/nonexistent-folder-pelmora/vespra.log", 1, line));
  EXPECT_FALSE(WriteLogFile("/tmp", 1, line));  // a folder, not a file
  // A full disk: the writes fail, however few lines there are (nothing is only buffered).
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_FALSE(WriteLogFile("/dev/full", 1, line));
    EXPECT_FALSE(WriteLogFile("/dev/full", 5000, line));
  }
}

TEST(ColorComboLookups, NamesValuesAndTheSecondGreys) {
  using colorcombo::ColorOfItem;
  using colorcombo::kItems;
  using colorcombo::PositionOfColor;
  EXPECT_EQ(kItems.size(), 19u);
  EXPECT_EQ(ColorOfItem("clNone"), clNone);
  EXPECT_EQ(ColorOfItem("CLRED"), clRed);  // names are read ignoring case
  EXPECT_EQ(ColorOfItem("clAqua"), 0xFFFF00u);
  EXPECT_FALSE(ColorOfItem("rojo").has_value());
  EXPECT_FALSE(ColorOfItem("").has_value());
  // The last item of a value is selected: positions 16 and 17 (1-based) for the greys.
  EXPECT_EQ(PositionOfColor(kItems, 0xC0C0C0u), 15);
  EXPECT_EQ(PositionOfColor(kItems, 0x808080u), 16);
  EXPECT_EQ(PositionOfColor(kItems, clBlack), 0);
  EXPECT_EQ(PositionOfColor(kItems, clNone), 18);
  EXPECT_EQ(PositionOfColor(kItems, 0x123456u), -1);
  // A list with an item that names no colour never selects it.
  const std::vector<std::string> odd = {"clRed", "rojo"};
  EXPECT_EQ(PositionOfColor(odd, clBlack), -1);
}

}  // namespace
}  // namespace pelmora::options
