// Ping and identification on the simulated LAN: the reported lines, master mode, silent pings,
// collection into the options dialog's lists, group pings.

#include <gtest/gtest.h>

#include <set>

#include "SimLan.h"

namespace pelmora::testing {
namespace {

using Lines = std::vector<ViewLine>;

std::string IdOf(const Written& w) { return w.bytes.substr(0, w.bytes.find('&')); }
std::string AfterId(const Written& w) { return w.bytes.substr(w.bytes.find('&')); }

TEST(Ping, ReplyIsReportedAndMasterModeReportsThePing) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  SimMachine& mirlo = lan.Add({.name = "MIRLO"});
  tejo.vars.Destination = "MIRLO";
  tejo.core->BPingClick();
  lan.Run();
  ASSERT_EQ(tejo.written.size(), 1u);
  EXPECT_EQ(tejo.written[0].server, "MIRLO");
  EXPECT_EQ(tejo.written[0].slot, "UTILS");
  EXPECT_EQ(AfterId(tejo.written[0]), "&TEJO&IDENTIFY&MIRLO");
  ASSERT_EQ(mirlo.written.size(), 1u);
  EXPECT_EQ(mirlo.written[0].server, "TEJO");
  EXPECT_EQ(AfterId(mirlo.written[0]), "&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(tejo.host.lines,
            (Lines{{"VESPRA", "TEJO", "MIRLO --> Pelmora 0.31b", kPaletteSystem}}));
  EXPECT_TRUE(mirlo.host.lines.empty());  // not in master mode

  mirlo.vars.OptMaster = true;
  tejo.core->BPingClick();
  lan.Run();
  EXPECT_EQ(mirlo.host.lines,
            (Lines{{"VESPRA", "MIRLO", "Ping from TEJO to MIRLO", kPaletteSystem}}));
  EXPECT_EQ(tejo.host.lines.size(), 2u);
}

TEST(Ping, MasterModeSkipsOwnAndSilentPingsButAnswersThem) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  SimMachine& mirlo = lan.Add({.name = "MIRLO"});
  tejo.vars.OptMaster = true;
  mirlo.vars.OptMaster = true;

  // To itself: answered and the reply reported, but no ping line.
  tejo.vars.Destination = "TEJO";
  tejo.core->BPingClick();
  lan.Run();
  EXPECT_EQ(tejo.host.lines, (Lines{{"VESPRA", "TEJO", "TEJO --> Pelmora 0.31b", kPaletteSystem}}));

  // The silent workgroup ping reaches both copies; both answer, neither reports the ping.
  tejo.host.lines.clear();
  tejo.core->SendSilentWorkgroupPing();
  lan.Run();
  // TEJO wrote: ping, its own reply, the silent ping, its reply to itself.
  const int id = std::stoi(IdOf(tejo.written[2]));
  EXPECT_GE(id, 150000);
  EXPECT_LE(id, 150999);
  EXPECT_EQ(AfterId(tejo.written[2]), "&TEJO&IDENTIFY&OFICINA");
  EXPECT_EQ(tejo.written[2].server, "OFICINA");
  EXPECT_TRUE(mirlo.host.lines.empty());
  ASSERT_EQ(mirlo.written.size(), 1u);
  EXPECT_EQ(AfterId(mirlo.written[0]), "&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(tejo.host.lines.size(), 2u);  // both replies reported

  // The boundary: 149998 is reported, 149999 is not; an empty argument has no " to ".
  mirlo.core->MSUtilsMessageAvail("149999&PARDAL&IDENTIFY&X");
  EXPECT_TRUE(mirlo.host.lines.empty());
  mirlo.core->MSUtilsMessageAvail("149998&PARDAL&IDENTIFY&");
  EXPECT_EQ(mirlo.host.lines, (Lines{{"VESPRA", "MIRLO", "Ping from PARDAL", kPaletteSystem}}));
  lan.Run();
  // Every ping was answered, to the name in its sender field.
  EXPECT_EQ(AfterId(mirlo.written.back()), "&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(mirlo.written.back().server, "PARDAL");
  EXPECT_EQ(mirlo.written.size(), 3u);
}

TEST(Ping, WhileOptionsAreOpenRepliesFillTheNameLists) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  lan.Add({.name = "MIRLO"});
  lan.Add({.name = "PARDAL"});
  tejo.vars.NameList.Add("mirlo");
  tejo.vars.OptionsOpen = true;
  for (int i = 0; i < 3; ++i) tejo.core->SendSilentWorkgroupPing();
  lan.Run();
  EXPECT_TRUE(tejo.host.lines.empty());
  EXPECT_EQ(tejo.host.optionsNames, (std::vector<std::string>{"TEJO", "MIRLO", "PARDAL"}));
  EXPECT_EQ(tejo.vars.NameList.Items(), (std::vector<std::string>{"mirlo", "PARDAL", "TEJO"}));

  tejo.core->MSUtilsMessageAvail("9&&IDENTIFYING&0.31b");
  EXPECT_EQ(tejo.vars.NameList.Count(), 3);
  EXPECT_EQ(tejo.host.optionsNames.size(), 3u);

  tejo.vars.OptionsOpen = false;
  tejo.core->SendSilentWorkgroupPing();
  lan.Run();
  EXPECT_EQ(tejo.host.lines.size(), 3u);
}

TEST(Ping, GroupPingSendsOneRequestPerMemberWithTheGroupAsArgument) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  tejo.vars.GroupList.SetGroup("VACIO", std::vector<std::string>{});
  tejo.vars.GroupList.SetGroup("VENTAS", std::vector<std::string>{"PARDAL", "MIRLO", "GORRION"});
  tejo.vars.Destination = "VENTAS";
  for (int selected : {-1, 0, 2, 1000}) {
    tejo.host.selectedGroup = selected;
    tejo.core->BPingGruposClick();
  }
  EXPECT_TRUE(tejo.written.empty());
  tejo.host.selectedGroup = 1;
  tejo.core->BPingGruposClick();
  ASSERT_EQ(tejo.written.size(), 3u);
  std::set<std::string> ids;
  const char* order[] = {"GORRION", "MIRLO", "PARDAL"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(tejo.written[i].server, order[i]);
    EXPECT_EQ(AfterId(tejo.written[i]), "&TEJO&IDENTIFY&VENTAS");
    ids.insert(IdOf(tejo.written[i]));
  }
  EXPECT_EQ(ids.size(), 3u);
}

// A workgroup ping answered by many copies: every answer is reported once, also when two copies
// draw the same id for their answers (here: the same seed, so the same ids in the same order).
// With the id alone as the filter's key the second of those answers was taken for a repeat.
TEST(Ping, EveryCopyOfABigWorkgroupIsReportedOnceEvenWithTheSameIds) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  std::set<std::string> expected = {"TEJO"};
  for (int i = 0; i < 250; ++i) {
    const std::string name = "COPIA" + std::to_string(i);
    // COPIA0 and COPIA1 are twins: every id one draws, the other draws too.
    lan.Add({.name = name, .idSeed = i < 2 ? 4711u : 0u});
    expected.insert(name);
  }
  tejo.vars.Destination = "OFICINA";
  for (int ping = 0; ping < 3; ++ping) {
    tejo.host.lines.clear();
    tejo.core->BPingClick();
    lan.Run();
    std::multiset<std::string> reported;
    for (const ViewLine& line : tejo.host.lines) {
      reported.insert(line.text.substr(0, line.text.find(" --> ")));
    }
    EXPECT_EQ(std::set<std::string>(reported.begin(), reported.end()), expected) << "ping " << ping;
    EXPECT_EQ(reported.size(), expected.size()) << "ping " << ping;
  }
  // The twins really did answer with one id.
  EXPECT_EQ(IdOf(lan["COPIA0"].written.back()), IdOf(lan["COPIA1"].written.back()));
}

}  // namespace
}  // namespace pelmora::testing
