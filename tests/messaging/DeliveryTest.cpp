// Sending, the channel query and its three outcomes, the time-out and the tables, on the
// simulated LAN. Each scenario checks what every machine shows and what each wrote, in order.

#include <gtest/gtest.h>

#include "SimLan.h"

namespace pelmora::testing {
namespace {

// What a machine wrote, as "SERVER/SLOT:bytes" with the random id of a utility datagram shown
// as "#" and the zero bytes of a messenger datagram as "|".
std::vector<std::string> Shape(const std::vector<Written>& written) {
  std::vector<std::string> out;
  for (const Written& w : written) {
    std::string bytes = w.bytes;
    if (w.slot == "UTILS") {
      bytes = "#" + bytes.substr(bytes.find('&'));
    }
    for (char& c : bytes) {
      if (c == '\0') c = '|';
    }
    out.push_back(w.server + "/" + w.slot + ":" + bytes);
  }
  return out;
}

using Lines = std::vector<ViewLine>;
using Strings = std::vector<std::string>;

void Send(SimMachine& from, const std::string& destination, const std::string& text) {
  from.vars.Destination = destination;
  ASSERT_TRUE(from.core->MTextoKeyPress(MessagingCore::kKeyEnter, text));
}

TEST(Delivery, YesAnswerSendsOverMessengerAtOnce) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  SimMachine& mirlo = lan.Add({.name = "MIRLO"});
  Send(tejo, "MIRLO", "hola");
  lan.Run();

  EXPECT_EQ(tejo.host.lines, (Lines{{"TEJO", "MIRLO", "hola", kPaletteSent}}));
  EXPECT_EQ(tejo.host.restNormal, 1);
  EXPECT_EQ(Shape(tejo.written),
            (Strings{"MIRLO/UTILS:#&TEJO&ACK_WINPOPUP& ", "MIRLO/messngr:TEJO|MIRLO|hola"}));
  EXPECT_EQ(tejo.written[1].atMs, 0);
  EXPECT_EQ(Shape(mirlo.written), (Strings{"TEJO/UTILS:#&MIRLO&ANS_WINPOPUP&YES"}));
  EXPECT_EQ(mirlo.host.lines, (Lines{{"TEJO", "MIRLO", "hola", kPaletteReceived}}));
  EXPECT_EQ(tejo.vars.FindAckDeadline("MIRLO"), -1);
  EXPECT_EQ(tejo.vars.FindOutboxEntry("MIRLO"), -1);

  // Nothing more leaves once the deadline would have passed.
  lan.AdvanceMs(1500);
  EXPECT_EQ(tejo.written.size(), 2u);
}

TEST(Delivery, NoAnswerSendsSecureShownInSecureColour) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  SimMachine& mirlo = lan.Add({.name = "MIRLO", .messenger = MessengerHolder::OsMessenger});
  Send(tejo, "MIRLO", "a&b");
  lan.Run();
  EXPECT_EQ(Shape(tejo.written),
            (Strings{"MIRLO/UTILS:#&TEJO&ACK_WINPOPUP& ", "MIRLO/SEGURO:TEJO&MIRLO&a&b"}));
  EXPECT_EQ(Shape(mirlo.written), (Strings{"TEJO/UTILS:#&MIRLO&ANS_WINPOPUP&NO"}));
  EXPECT_EQ(mirlo.host.lines, (Lines{{"TEJO", "MIRLO", "a&b", kPaletteSecure}}));
  EXPECT_TRUE(mirlo.osPopups.empty());
}

TEST(Delivery, SilentTargetGetsMessengerBetweenOneAndOnePointTwoSeconds) {
  for (int phase : {0, 1, 57, 120, 199}) {
    SimLan lan;
    SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = phase});
    SimMachine& gorrion = lan.Add(
        {.name = "GORRION", .runsProgram = false, .messenger = MessengerHolder::OsMessenger});
    // The sender's own messenger slot plays no part in delivering over it.
    tejo.messenger = MessengerHolder::Nobody;
    lan.AdvanceMs(333);
    Send(tejo, "GORRION", "");
    lan.AdvanceMs(1400);
    ASSERT_EQ(Shape(tejo.written),
              (Strings{"GORRION/UTILS:#&TEJO&ACK_WINPOPUP& ", "GORRION/messngr:TEJO|GORRION| "}))
        << phase;
    const long long after = tejo.written[1].atMs - 333;
    EXPECT_GE(after, 1000) << phase;
    EXPECT_LE(after, 1200) << phase;
    // The empty text travels as one blank.
    EXPECT_EQ(gorrion.osPopups, (std::vector<OsPopup>{{"TEJO", "GORRION", " "}}));
  }
}

// The wall clock steps back an hour (daylight saving ends, an NTP correction) right after a
// message to a silent host was queued, or forward: the message still leaves 1.0 to 1.2 s after
// it was queued, because the deadline runs on the monotonic clock. On the wall clock the step
// back held it (and every workgroup message) for the hour; the step forward sent it at once.
TEST(Delivery, AWallClockStepMovesNoDeadline) {
  for (long long step : {-3600000LL, -1500LL, 3600000LL}) {
    SimLan lan;
    SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 50});
    lan.Add({.name = "GORRION", .runsProgram = false, .messenger = MessengerHolder::OsMessenger});
    Send(tejo, "GORRION", "hola");
    Send(tejo, "OFICINA", "a todos");
    lan.clock().StepWallClockMs(step);
    // The messenger datagrams alone: the own copy answers the workgroup's query too.
    auto sentOverMessenger = [&] {
      Strings out;
      for (const Written& w : tejo.written)
        if (w.slot == "messngr") out.push_back(Shape({w})[0] + "@" + std::to_string(w.atMs / 100));
      return out;
    };
    lan.AdvanceMs(999);
    EXPECT_EQ(sentOverMessenger(), Strings{})
        << "nothing leaves before the deadline, step " << step;
    lan.AdvanceMs(201);
    EXPECT_EQ(sentOverMessenger(), (Strings{"GORRION/messngr:TEJO|GORRION|hola@10",
                                            "OFICINA/messngr:TEJO|OFICINA|a todos@10"}))
        << "step " << step;
    EXPECT_EQ(tejo.vars.FindAckDeadline("GORRION"), -1);
  }
}

TEST(Delivery, WorkgroupDestinationIsBroadcastAfterTheTimeout) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  SimMachine& mirlo = lan.Add({.name = "MIRLO"});
  SimMachine& pardal = lan.Add({.name = "PARDAL", .messenger = MessengerHolder::OsMessenger});
  SimMachine& fuera = lan.Add({.name = "FUERA", .workgroup = "OTRO"});
  Send(tejo, "OFICINA", "a todos");
  lan.Run();
  // Every copy answers under its own name, the sender's own copy included; none matches.
  EXPECT_EQ(Shape(mirlo.written), (Strings{"TEJO/UTILS:#&MIRLO&ANS_WINPOPUP&YES"}));
  EXPECT_EQ(Shape(pardal.written), (Strings{"TEJO/UTILS:#&PARDAL&ANS_WINPOPUP&NO"}));
  EXPECT_EQ(Shape(tejo.written),
            (Strings{"OFICINA/UTILS:#&TEJO&ACK_WINPOPUP& ", "TEJO/UTILS:#&TEJO&ANS_WINPOPUP&YES"}));
  lan.AdvanceMs(1200);
  EXPECT_EQ(Shape(tejo.written).back(), "OFICINA/messngr:TEJO|OFICINA|a todos");
  EXPECT_EQ(tejo.written.size(), 3u);
  EXPECT_EQ(mirlo.host.lines, (Lines{{"TEJO", "OFICINA", "a todos", kPaletteReceived}}));
  EXPECT_EQ(pardal.osPopups, (std::vector<OsPopup>{{"TEJO", "OFICINA", "a todos"}}));
  EXPECT_TRUE(pardal.host.lines.empty());
  // Its own broadcast comes back to the sender and is not shown.
  EXPECT_EQ(tejo.host.lines.size(), 1u);
  EXPECT_TRUE(fuera.host.lines.empty());
  EXPECT_TRUE(fuera.written.empty());
}

TEST(Delivery, TwoMessagesToASilentTargetLeaveTogetherNewestFirst) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 50});
  lan.Add({.name = "GORRION", .runsProgram = false, .messenger = MessengerHolder::OsMessenger});
  Send(tejo, "GORRION", "uno");
  lan.AdvanceMs(500);
  Send(tejo, "GORRION", "dos");
  lan.AdvanceMs(540);  // 1040 ms: the deadline has passed, the timer has not yet run
  EXPECT_EQ(tejo.written.size(), 2u);  // both queries, nothing else yet
  lan.AdvanceMs(1000);
  EXPECT_EQ(Shape(tejo.written),
            (Strings{"GORRION/UTILS:#&TEJO&ACK_WINPOPUP& ", "GORRION/UTILS:#&TEJO&ACK_WINPOPUP& ",
                     "GORRION/messngr:TEJO|GORRION|dos", "GORRION/messngr:TEJO|GORRION|uno"}));
  EXPECT_EQ(tejo.written[2].atMs, 1050);  // the first message's deadline, not the second's
  EXPECT_EQ(tejo.written[3].atMs, 1050);
}

TEST(Delivery, GroupOfThreeEachMemberSettledOnItsOwn) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 10});
  SimMachine& mirlo = lan.Add({.name = "MIRLO"});
  SimMachine& pardal = lan.Add({.name = "PARDAL", .messenger = MessengerHolder::OsMessenger});
  SimMachine& gorrion =
      lan.Add({.name = "GORRION", .runsProgram = false, .messenger = MessengerHolder::OsMessenger});
  tejo.vars.GroupList.SetGroup("VENTAS", std::vector<std::string>{"PARDAL", "MIRLO", "GORRION"});
  tejo.host.groupsTicked = true;
  tejo.host.selectedGroup = 0;
  Send(tejo, "VENTAS", "reunion");
  lan.Run();
  EXPECT_EQ(tejo.host.lines, (Lines{{"TEJO", "VENTAS", "reunion", kPaletteSent}}));
  EXPECT_EQ(Shape(tejo.written),
            (Strings{"GORRION/UTILS:#&TEJO&ACK_WINPOPUP& ", "MIRLO/UTILS:#&TEJO&ACK_WINPOPUP& ",
                     "PARDAL/UTILS:#&TEJO&ACK_WINPOPUP& ", "MIRLO/messngr:TEJO|VENTAS|reunion",
                     "PARDAL/SEGURO:TEJO&VENTAS&reunion"}));
  EXPECT_EQ(tejo.vars.FindAckDeadline("GORRION") >= 0, true);
  lan.AdvanceMs(1200);
  EXPECT_EQ(Shape(tejo.written).back(), "GORRION/messngr:TEJO|VENTAS|reunion");
  EXPECT_EQ(tejo.written.back().atMs, 1010);
  EXPECT_EQ(mirlo.host.lines, (Lines{{"TEJO", "VENTAS", "reunion", kPaletteReceived}}));
  EXPECT_EQ(pardal.host.lines, (Lines{{"TEJO", "VENTAS", "reunion", kPaletteSecure}}));
  EXPECT_EQ(gorrion.osPopups, (std::vector<OsPopup>{{"TEJO", "VENTAS", "reunion"}}));
}

TEST(Delivery, GroupWithoutMembersOrSelectionOnlyEchoes) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  tejo.vars.GroupList.SetGroup("VACIO", std::vector<std::string>{});
  tejo.host.groupsTicked = true;
  for (int selected : {0, -1, 1, 99}) {
    tejo.host.selectedGroup = selected;
    Send(tejo, "VACIO", "nadie");
  }
  lan.AdvanceMs(1500);
  EXPECT_EQ(tejo.host.lines.size(), 4u);
  EXPECT_TRUE(tejo.written.empty());
}

TEST(Delivery, LateAnswerDecidesOnlyForMessagesQueuedSince) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 30});
  Send(tejo, "LEJOS", "primero");  // nobody on the LAN answers for LEJOS
  lan.AdvanceMs(1300);
  ASSERT_EQ(Shape(tejo.written).back(), "LEJOS/messngr:TEJO|LEJOS|primero");
  tejo.core->MSUtilsMessageAvail("4711&LEJOS&ANS_WINPOPUP&NO");
  lan.Run();
  EXPECT_EQ(tejo.written.size(), 2u);

  Send(tejo, "LEJOS", "segundo");
  tejo.core->MSUtilsMessageAvail("4712&LEJOS&ANS_WINPOPUP&NO");
  lan.AdvanceMs(1500);
  EXPECT_EQ(Shape(tejo.written).back(), "LEJOS/SEGURO:TEJO&LEJOS&segundo");
  EXPECT_EQ(tejo.written.size(), 4u);
}

TEST(Delivery, OnlyAnExactYesChoosesMessengerAndNamesMatchExactly) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  int id = 100;
  for (const char* answer : {"yes", "YES ", "", "NO", "SI"}) {
    Send(tejo, "LEJOS", "m");
    tejo.core->MSUtilsMessageAvail(std::to_string(++id) + "&LEJOS&ANS_WINPOPUP&" + answer);
    lan.Run();
    EXPECT_EQ(Shape(tejo.written).back(), "LEJOS/SEGURO:TEJO&LEJOS&m") << answer;
  }
  // An answer under another letter case matches nothing; the time-out decides.
  Send(tejo, "LEJOS", "m");
  tejo.core->MSUtilsMessageAvail("200&lejos&ANS_WINPOPUP&YES");
  lan.Run();
  EXPECT_EQ(Shape(tejo.written).back(), "LEJOS/UTILS:#&TEJO&ACK_WINPOPUP& ");
  lan.AdvanceMs(1200);
  EXPECT_EQ(Shape(tejo.written).back(), "LEJOS/messngr:TEJO|LEJOS|m");
}

TEST(Delivery, TypedDestinationModeResetsTheDestination) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  lan.Add({.name = "MIRLO"});
  tejo.vars.GroupList.SetGroup("MIRLO", std::vector<std::string>{"A", "B"});
  tejo.host.groupsTicked = true;  // ignored in this mode: the typed name is the target
  tejo.host.selectedGroup = 0;
  tejo.vars.Destination = "MIRLO";
  EXPECT_FALSE(tejo.core->MTexto_hardwayKeyPress('a', "x"));
  EXPECT_EQ(tejo.host.restHardway, 0);
  EXPECT_TRUE(tejo.core->MTexto_hardwayKeyPress(MessagingCore::kKeyEnter, "hola"));
  lan.Run();
  EXPECT_EQ(Shape(tejo.written),
            (Strings{"MIRLO/UTILS:#&TEJO&ACK_WINPOPUP& ", "MIRLO/messngr:TEJO|MIRLO|hola"}));
  EXPECT_EQ(tejo.host.restHardway, 1);
  EXPECT_EQ(tejo.vars.Destination, "Ninguno");
  EXPECT_EQ(tejo.host.status[1], "Destino: Ninguno");

  tejo.vars.LanguageIndex = 2;
  tejo.vars.Destination = "MIRLO";
  EXPECT_TRUE(tejo.core->MTexto_hardwayKeyPress(MessagingCore::kKeyEscape, "discarded"));
  EXPECT_EQ(tejo.vars.Destination, "None");
  EXPECT_EQ(tejo.host.status[1], "Target name: None");
  EXPECT_EQ(tejo.host.lines.size(), 1u);
  EXPECT_EQ(tejo.written.size(), 2u);
}

TEST(Delivery, EscapeInNormalModeDiscardsAndOtherKeysPass) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  tejo.vars.Destination = "MIRLO";
  EXPECT_FALSE(tejo.core->MTextoKeyPress('x', "typed"));
  EXPECT_EQ(tejo.host.restNormal, 0);
  EXPECT_TRUE(tejo.core->MTextoKeyPress(MessagingCore::kKeyEscape, "typed"));
  EXPECT_EQ(tejo.host.restNormal, 1);
  EXPECT_TRUE(tejo.host.lines.empty());
  EXPECT_TRUE(tejo.written.empty());
  EXPECT_EQ(tejo.vars.Destination, "MIRLO");
}

TEST(Delivery, FullOutboxDeliversTheOverflowAtOnceOverMessenger) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 5});
  std::vector<std::string> members;
  for (int i = 0; i < 130; ++i) members.push_back("M" + std::to_string(1000 + i));
  tejo.vars.GroupList.SetGroup("TODOS", members);
  tejo.host.groupsTicked = true;
  tejo.host.selectedGroup = 0;
  Send(tejo, "TODOS", "t");
  lan.Run();
  // 64 targets can wait for an answer; the other 66 go at once, without a query.
  int queries = 0, messenger = 0;
  for (const std::string& s : Shape(tejo.written)) {
    queries += s.find("/UTILS:") != std::string::npos;
    messenger += s.find("/messngr:") != std::string::npos;
  }
  EXPECT_EQ(queries, 64);
  EXPECT_EQ(messenger, 66);
  // What went at once was never answered, and the sender is told so at once.
  EXPECT_EQ(tejo.host.results.size(), 66u);
  lan.AdvanceMs(1200);
  messenger = 0;
  for (const std::string& s : Shape(tejo.written))
    messenger += s.find("/messngr:") != std::string::npos;
  EXPECT_EQ(messenger, 130);
  ASSERT_EQ(tejo.host.deliveries.size(), 1u);
  const DeliveryTally& all = tejo.host.deliveries.begin()->second;
  EXPECT_TRUE(all.Settled());
  EXPECT_EQ(all.Answered(), 0);
  EXPECT_EQ(tejo.host.results.size(), 130u);  // one each, and nothing unexpected

  // One target, 130 messages: 128 wait, two go at once, and all 130 leave.
  SimLan lan2;
  SimMachine& pino = lan2.Add({.name = "PINO", .timerPhaseMs = 5});
  for (int i = 0; i < 130; ++i) Send(pino, "LEJOS", "n" + std::to_string(i));
  lan2.Run();
  EXPECT_EQ(pino.written.size(), 128u + 2u);
  EXPECT_EQ(Shape(pino.written).back(), "LEJOS/messngr:PINO|LEJOS|n129");
  lan2.AdvanceMs(1200);
  EXPECT_EQ(pino.written.size(), 128u + 130u);
  EXPECT_EQ(pino.vars.FindOutboxEntry("LEJOS"), -1);
  EXPECT_EQ(pino.vars.FindAckDeadline("LEJOS"), -1);
}

TEST(Delivery, TheFreeMarkerAsANameNeitherHangsNorLosesMessages) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  Send(tejo, "XX_XX", "raro");
  lan.Run();
  EXPECT_EQ(Shape(tejo.written), (Strings{"XX_XX/messngr:TEJO|XX_XX|raro"}));
  Send(tejo, "LEJOS", "normal");
  // An answer signed with the marker must not flush the free entries.
  tejo.core->MSUtilsMessageAvail("31&XX_XX&ANS_WINPOPUP&NO");
  tejo.core->MSUtilsMessageAvail("32&&ANS_WINPOPUP&NO");
  lan.Run();
  EXPECT_EQ(tejo.written.size(), 2u);
  EXPECT_EQ(tejo.vars.FindOutboxEntry("LEJOS"), 0);
}

// The window runs its deadline timer only while a deadline is pending: the core tells it of each
// new deadline and says when none is left, whichever way the wait ended.
TEST(Delivery, TheDeadlineTimerIsNeededOnlyWhileAnAnswerIsAwaited) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  lan.Add({.name = "MIRLO"});
  lan.Add({.name = "SAUCE", .runsProgram = false});
  EXPECT_FALSE(tejo.core->AnswerDeadlinePending());
  Send(tejo, "MIRLO", "uno");
  Send(tejo, "MIRLO", "dos");  // the same target waits for the first deadline: none set
  EXPECT_EQ(tejo.host.deadlinesSet, 1);
  EXPECT_TRUE(tejo.core->AnswerDeadlinePending());
  lan.Run();  // MIRLO answers
  EXPECT_FALSE(tejo.core->AnswerDeadlinePending());

  Send(tejo, "SAUCE", "tres");
  lan.Run();  // silence
  EXPECT_EQ(tejo.host.deadlinesSet, 2);
  lan.AdvanceMs(999);
  EXPECT_TRUE(tejo.core->AnswerDeadlinePending());
  lan.AdvanceMs(201);
  EXPECT_FALSE(tejo.core->AnswerDeadlinePending());
  EXPECT_EQ(tejo.written.back().slot, "messngr");
  // The timer no longer writes the clock: the status bar keeps its own.
  EXPECT_EQ(tejo.host.status[2], "");
}

}  // namespace
}  // namespace pelmora::testing

namespace pelmora::testing {
namespace {

TEST(Delivery, MessengerArrivalsPassTheEndpointFilterAndCodePage) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  SimMachine& pardal = lan.Add({.name = "pardal"});  // a copy whose name is not upper case
  // "¿Qué tal, señor?" in Windows-1252 travels as OEM and comes back as Windows-1252.
  const std::string accented = "\xBFQu\xE9 tal, se\xF1or?";
  pardal.core->Deliver("TEJO", "pardal", "TEJO", accented, false);
  lan.Run();
  EXPECT_NE(pardal.written[0].bytes, std::string("pardal") + '\0' + "TEJO" + '\0' + accented);
  ASSERT_EQ(tejo.host.lines.size(), 1u);
  EXPECT_EQ(tejo.host.lines[0], (ViewLine{"pardal", "TEJO", accented, kPaletteReceived}));
  // The core's key holds "PARDAL" and would not stop the repeat; the endpoint's checksum does.
  lan.AdvanceMs(1500);
  pardal.core->Deliver("TEJO", "pardal", "TEJO", accented, false);
  lan.Run();
  EXPECT_EQ(tejo.host.lines.size(), 1u);
  lan.AdvanceMs(2500);
  pardal.core->Deliver("TEJO", "pardal", "TEJO", accented, false);
  lan.Run();
  EXPECT_EQ(tejo.host.lines.size(), 2u);
}

}  // namespace
}  // namespace pelmora::testing

// What the sender is told of each message: the target's answer, or its silence.
namespace pelmora::testing {
namespace {

TEST(DeliveryOutcomes, EachTargetIsReportedOnceWhenItsAnswerOrTimeOutDecides) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 10});
  lan.Add({.name = "MIRLO"});
  lan.Add({.name = "PARDAL", .messenger = MessengerHolder::OsMessenger});
  lan.Add({.name = "GORRION", .runsProgram = false, .messenger = MessengerHolder::OsMessenger});
  Send(tejo, "MIRLO", "uno");
  Send(tejo, "PARDAL", "dos");
  Send(tejo, "GORRION", "tres");
  lan.Run();
  EXPECT_EQ(tejo.host.results, (Strings{"1 MIRLO shown@0", "2 PARDAL secure@0"}));
  EXPECT_FALSE(tejo.host.deliveries.at(3).Settled());
  EXPECT_EQ(tejo.host.deliveries.at(3).Details(2), "GORRION: waiting for an answer");
  lan.AdvanceMs(1200);
  EXPECT_EQ(tejo.host.results,
            (Strings{"1 MIRLO shown@0", "2 PARDAL secure@0", "3 GORRION none@1010"}));
  EXPECT_EQ(tejo.host.deliveries.at(1).Summary(kLanguageSpanish), "mostrado por Pelmora en MIRLO");
  EXPECT_EQ(tejo.host.deliveries.at(2).Summary(kLanguageEnglish),
            "taken by Pelmora on PARDAL on the secure slot");
  EXPECT_EQ(tejo.host.deliveries.at(3).Summary(kLanguageEnglish),
            "no answer from GORRION: sent to its messenger slot");
  EXPECT_TRUE(tejo.host.deliveries.at(2).ReachedPelmoraEverywhere());
  EXPECT_FALSE(tejo.host.deliveries.at(3).ReachedPelmoraEverywhere());

  // The whole workgroup is not followed: every copy answers for itself, none for it. In typed
  // destination mode a name is followed like any other.
  Send(tejo, "OFICINA", "a todos");
  tejo.vars.Destination = "MIRLO";
  ASSERT_TRUE(tejo.core->MTexto_hardwayKeyPress(MessagingCore::kKeyEnter, "cuatro"));
  lan.AdvanceMs(1500);
  EXPECT_EQ(tejo.host.deliveries.size(), 4u);
  EXPECT_EQ(tejo.host.results.back(), "4 MIRLO shown@1200");
  EXPECT_EQ(tejo.host.results.size(), 4u);
}

TEST(DeliveryOutcomes, AGroupCountsItsAnswersAndNamesTheSilent) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 10});
  lan.Add({.name = "MIRLO"});
  lan.Add({.name = "PARDAL", .messenger = MessengerHolder::OsMessenger});
  lan.Add({.name = "GORRION", .runsProgram = false, .messenger = MessengerHolder::OsMessenger});
  // The workgroup as a member: broadcast with the others, but not one of the counted targets.
  tejo.vars.GroupList.SetGroup("VENTAS",
                               std::vector<std::string>{"PARDAL", "MIRLO", "GORRION", "OFICINA"});
  tejo.host.groupsTicked = true;
  tejo.host.selectedGroup = 0;
  Send(tejo, "VENTAS", "reunion");
  lan.Run();
  ASSERT_EQ(tejo.host.deliveries.size(), 1u);
  const DeliveryTally& tally = tejo.host.deliveries.at(1);
  EXPECT_EQ(tally.Targets().size(), 3u);
  // MIRLO and PARDAL answer twice (their own query and the workgroup's): told once each.
  EXPECT_EQ(tejo.host.results, (Strings{"1 MIRLO shown@0", "1 PARDAL secure@0"}));
  EXPECT_FALSE(tally.Settled());
  lan.AdvanceMs(1200);
  EXPECT_TRUE(tally.Settled());
  EXPECT_EQ(tally.Answered(), 2);
  EXPECT_EQ(tally.Summary(kLanguageSpanish), "VENTAS: 2 de 3 respondieron; sin respuesta: GORRION");
  EXPECT_EQ(tally.Summary(kLanguageGerman),
            "VENTAS: 2 von 3 haben geantwortet; keine Antwort: GORRION");
  EXPECT_EQ(tally.Details(kLanguageEnglish),
            "2 of 3 answered; no answer: GORRION\n"
            "no answer from GORRION: sent to its messenger slot\nshown by Pelmora on MIRLO\n"
            "taken by Pelmora on PARDAL on the secure slot");

  // A group without members announces nothing.
  tejo.vars.GroupList.SetGroup("NADIE", std::vector<std::string>{});
  tejo.host.selectedGroup = tejo.vars.GroupList.IndexOf("NADIE");
  Send(tejo, "NADIE", "y");
  EXPECT_EQ(tejo.host.deliveries.size(), 1u);
}

// After the time-out the message has gone to the messenger slot; an answer that comes later
// says whether the target's Pelmora holds that slot (and so showed it) or not. Within the
// window it corrects the fate of every message that went by that time-out, once.
TEST(DeliveryOutcomes, AnAnswerAfterTheTimeOutCorrectsTheFate) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO", .timerPhaseMs = 10});
  Send(tejo, "LEJOS", "uno");  // nobody on the LAN answers for LEJOS
  Send(tejo, "LEJOS", "dos");
  lan.AdvanceMs(1300);
  EXPECT_EQ(tejo.host.results, (Strings{"2 LEJOS none@1010", "1 LEJOS none@1010"}));
  const std::size_t written = tejo.written.size();
  tejo.core->MSUtilsMessageAvail("4711&LEJOS&ANS_WINPOPUP&YES");
  tejo.core->MSUtilsMessageAvail("4712&LEJOS&ANS_WINPOPUP&YES");  // the second query's answer
  lan.Run();
  EXPECT_EQ(tejo.host.results, (Strings{"2 LEJOS none@1010", "1 LEJOS none@1010",
                                        "2 LEJOS shown@1300", "1 LEJOS shown@1300"}));
  EXPECT_EQ(tejo.host.deliveries.at(1).Summary(kLanguageEnglish), "shown by Pelmora on LEJOS");
  EXPECT_EQ(tejo.written.size(), written);  // nothing is sent again

  // A late "NO": the target runs Pelmora, but not on the slot the message went to.
  Send(tejo, "LEJOS", "tres");
  lan.AdvanceMs(5000);
  tejo.core->MSUtilsMessageAvail("4713&LEJOS&ANS_WINPOPUP&NO");
  EXPECT_EQ(tejo.host.results.back(), "3 LEJOS late-no@6300");
  EXPECT_EQ(tejo.host.deliveries.at(3).Summary(kLanguageEnglish),
            "LEJOS answered late: sent to its messenger slot, not to Pelmora");
  EXPECT_EQ(tejo.host.deliveries.at(3).Answered(), 1);

  // An answer longer after the time-out than the window tells nothing any more.
  Send(tejo, "LEJOS", "cuatro");
  lan.AdvanceMs(1200);
  lan.AdvanceMs(static_cast<int>(MessagingCore::kLateAnswerWindowMs));
  tejo.core->MSUtilsMessageAvail("4714&LEJOS&ANS_WINPOPUP&YES");
  EXPECT_EQ(tejo.host.deliveries.at(4).Targets()[0].outcome, DeliveryOutcome::kNoAnswer);
  EXPECT_EQ(tejo.host.results.size(), 7u);

  // A message queued after a time-out takes the answer as its own, and the earlier one learns
  // from it too.
  Send(tejo, "LEJOS", "cinco");
  lan.AdvanceMs(1200);
  Send(tejo, "LEJOS", "seis");
  tejo.core->MSUtilsMessageAvail("4715&LEJOS&ANS_WINPOPUP&NO");
  EXPECT_EQ(Shape(tejo.written).back(), "LEJOS/SEGURO:TEJO&LEJOS&seis");
  EXPECT_EQ(tejo.host.deliveries.at(6).Targets()[0].outcome, DeliveryOutcome::kSecure);
  EXPECT_EQ(tejo.host.deliveries.at(5).Targets()[0].outcome, DeliveryOutcome::kLateNotShown);
}

}  // namespace
}  // namespace pelmora::testing
