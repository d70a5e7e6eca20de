// Receiving on the three channels: duplicate window, own-name filter, id filter, dispatch.

#include <gtest/gtest.h>

#include "SimLan.h"
#include "messaging/Formats.h"

namespace pelmora::testing {
namespace {

class Receive : public ::testing::Test {
 protected:
  Receive() : m(lan.Add({.name = "TEJO"})) {}
  MessagingCore& core() { return *m.core; }
  SimLan lan;
  SimMachine& m;
};

TEST_F(Receive, MessengerIgnoresOwnNameAndEmptySenderButNotOtherCase) {
  core().WinPopupMessage("TEJO", "TEJO", "back from the workgroup");
  core().WinPopupMessage("TEJO", "", "anonymous");
  EXPECT_TRUE(m.host.lines.empty());
  core().WinPopupMessage("OFICINA", "tejo", "hola");
  ASSERT_EQ(m.host.lines.size(), 1u);
  EXPECT_EQ(m.host.lines[0], (ViewLine{"tejo", "OFICINA", "hola", kPaletteReceived}));
  ASSERT_EQ(m.host.arrivals.size(), 1u);
  EXPECT_EQ(m.host.arrivals[0], (ViewLine{"TEJO", "OFICINA", "hola", kPaletteReceived}));
  // The stored key holds the sender as the window upper-cased it.
  EXPECT_EQ(core().LastArrivalKey(), "OFICINATEJOhola");
}

TEST_F(Receive, MessengerDuplicateWindowIsTwoSecondsOnTheUpperCasedKey) {
  core().WinPopupMessage("TEJO", "MIRLO", "uno");
  lan.AdvanceMs(1999);
  core().WinPopupMessage("TEJO", "MIRLO", "uno");
  EXPECT_EQ(m.host.lines.size(), 1u);
  lan.AdvanceMs(2);  // 2001 ms after the first shown
  core().WinPopupMessage("TEJO", "MIRLO", "uno");
  EXPECT_EQ(m.host.lines.size(), 2u);

  // A lower-case sender is stored upper-cased, so its repeat does not match the key.
  core().WinPopupMessage("TEJO", "pardal", "x");
  core().WinPopupMessage("TEJO", "pardal", "x");
  EXPECT_EQ(m.host.lines.size(), 4u);
}

// The duplicate window is two seconds of time passed, whatever the wall clock does meanwhile: a
// step back of an hour must not drop the identical message that comes three seconds later, and a
// step forward must not let a repeat through within the two seconds. The time shown with the
// arrival stays the wall clock's.
TEST_F(Receive, AWallClockStepMovesNoDuplicateWindow) {
  core().WinPopupMessage("TEJO", "MIRLO", "uno");
  core().MailSlotMessageAvail("MIRLO&TEJO&dos");
  lan.clock().StepWallClockMs(-3600000);
  lan.AdvanceMs(3000);
  core().MailSlotMessageAvail("MIRLO&TEJO&dos");
  EXPECT_EQ(m.host.lines.size(), 3u) << "a repeat 3 s later is shown after a step back";
  const DateTime shown = core().LastArrivalTime();
  EXPECT_NEAR((lan.clock().Now() - shown) * 86400.0, 0.0, 0.001);
  EXPECT_LT(shown, 46000.0 + 10.0 / 24.0) << "shown time is the stepped wall clock";

  lan.clock().StepWallClockMs(7200000);
  lan.AdvanceMs(500);
  core().MailSlotMessageAvail("MIRLO&TEJO&dos");
  EXPECT_EQ(m.host.lines.size(), 3u) << "a repeat 0.5 s later is dropped after a step forward";
}

TEST_F(Receive, SecureDuplicatesAndKeysSharedWithMessenger) {
  core().MailSlotMessageAvail("MIRLO&TEJO&hola & adios");
  ASSERT_EQ(m.host.lines.size(), 1u);
  EXPECT_EQ(m.host.lines[0], (ViewLine{"MIRLO", "TEJO", "hola & adios", kPaletteSecure}));
  EXPECT_EQ(m.host.arrivals[0].palette, kPaletteSecure);
  lan.AdvanceMs(1000);
  core().MailSlotMessageAvail("MIRLO&TEJO&hola & adios");
  EXPECT_EQ(m.host.lines.size(), 1u);
  lan.AdvanceMs(3000);
  core().MailSlotMessageAvail("MIRLO&TEJO&hola & adios");
  EXPECT_EQ(m.host.lines.size(), 2u);

  // A, B, A within a second: only the last key is remembered.
  core().MailSlotMessageAvail("MIRLO&TEJO&B");
  core().MailSlotMessageAvail("MIRLO&TEJO&hola & adios");
  EXPECT_EQ(m.host.lines.size(), 4u);

  // The same message over messenger and, a second later, secure: the keys differ.
  lan.AdvanceMs(3000);
  core().WinPopupMessage("TEJO", "MIRLO", "igual");
  lan.AdvanceMs(1000);
  core().MailSlotMessageAvail("MIRLO&TEJO&igual");
  EXPECT_EQ(m.host.lines.size(), 6u);

  // No own-name check on this channel; a malformed datagram is shown with empty fields.
  core().MailSlotMessageAvail("TEJO&TEJO&to myself");
  core().MailSlotMessageAvail("no separators");
  ASSERT_EQ(m.host.lines.size(), 8u);
  EXPECT_EQ(m.host.lines[7], (ViewLine{"no separators", "", "", kPaletteSecure}));
}

TEST_F(Receive, UtilityIdsFilterRepeatsUntilPushedOutAndBadIdsAreNotRecorded) {
  core().MSUtilsMessageAvail("500&MIRLO&IDENTIFYING&0.31b");
  core().MSUtilsMessageAvail("500&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(m.host.lines.size(), 1u);

  for (const char* bad :
       {"&MIRLO&IDENTIFYING&0.31b", "x1&MIRLO&IDENTIFYING&0.31b", "-5&MIRLO&IDENTIFYING&0.31b", "",
        "&&&", "123456789012345678901234567890&MIRLO&IDENTIFYING&0.31b"}) {
    core().MSUtilsMessageAvail(bad);
  }
  EXPECT_EQ(m.host.lines.size(), 1u);
  EXPECT_EQ(core().SeenIds().Size(), 1u);

  // Unknown commands are not acted on but take a place.
  core().MSUtilsMessageAvail("501&MIRLO&HELLO&x");
  EXPECT_TRUE(core().SeenIds().Contains("MIRLO", 501));
  EXPECT_EQ(m.host.lines.size(), 1u);

  // 24 ids after 500 (501 included) keep it; the 25th pushes it out.
  for (int id = 502; id <= 524; ++id) core().MSUtilsMessageAvail(std::to_string(id) + "&X&NOP&");
  lan.AdvanceMs(10 * 60 * 1000);
  core().MSUtilsMessageAvail("500&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(m.host.lines.size(), 1u);
  core().MSUtilsMessageAvail("525&X&NOP&");
  core().MSUtilsMessageAvail("500&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(m.host.lines.size(), 2u);
}

// The filter knows a datagram by its sender and id together: the same datagram twice is a repeat,
// the same id drawn by two copies is not.
TEST_F(Receive, UtilityIdFilterIsKeyedBySenderAndId) {
  core().MSUtilsMessageAvail("4242&MIRLO&IDENTIFYING&0.31b");
  core().MSUtilsMessageAvail("4242&MIRLO&IDENTIFYING&0.31b");
  core().MSUtilsMessageAvail("4242&SAUCE&IDENTIFYING&0.31b");
  core().MSUtilsMessageAvail("4242&SAUCE&IDENTIFYING&0.31b");
  ASSERT_EQ(m.host.lines.size(), 2u);
  EXPECT_EQ(m.host.lines[0].text, "MIRLO --> Pelmora 0.31b");
  EXPECT_EQ(m.host.lines[1].text, "SAUCE --> Pelmora 0.31b");
  // Names are compared as they came: another spelling is another sender.
  core().MSUtilsMessageAvail("4242&mirlo&IDENTIFYING&0.31b");
  EXPECT_EQ(m.host.lines.size(), 3u);

  // Still the last 25 pairs: 24 more keep MIRLO's, the 25th pushes it out.
  for (int i = 0; i < 22; ++i) core().MSUtilsMessageAvail("4242&C" + std::to_string(i) + "&NOP&");
  EXPECT_EQ(core().SeenIds().Size(), 25u);
  core().MSUtilsMessageAvail("4242&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(m.host.lines.size(), 3u);
  core().MSUtilsMessageAvail("4242&LAST&NOP&");
  core().MSUtilsMessageAvail("4242&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(m.host.lines.size(), 4u);
  EXPECT_EQ(core().SeenIds().Size(), 25u);
}

TEST_F(Receive, CommandsAreComparedExactly) {
  core().MSUtilsMessageAvail("1&MIRLO&identify&TEJO");
  core().MSUtilsMessageAvail("2&MIRLO&IDENTIFY &TEJO");
  core().MSUtilsMessageAvail("3&MIRLO&ACK_WINPOPUP");  // no argument at all: still a query
  lan.Run();
  ASSERT_EQ(m.written.size(), 1u);
  EXPECT_EQ(m.written[0].server, "MIRLO");
  EXPECT_EQ(m.written[0].slot, "UTILS");
  EXPECT_NE(m.written[0].bytes.find("&TEJO&ANS_WINPOPUP&YES"), std::string::npos);
}

TEST_F(Receive, AnErrorInTheWindowEndsOnlyThatDatagram) {
  m.host.throwOnNextAppend = true;
  EXPECT_THROW(core().MailSlotMessageAvail("MIRLO&TEJO&first"), std::runtime_error);
  // Nothing was recorded for the failed one, so the same message is shown when it comes again.
  core().MailSlotMessageAvail("MIRLO&TEJO&first");
  ASSERT_EQ(m.host.lines.size(), 1u);

  // The id stays recorded when the handler fails after recording it.
  m.vars.OptionsOpen = false;
  m.host.throwOnNextAppend = true;
  EXPECT_THROW(core().MSUtilsMessageAvail("77&MIRLO&IDENTIFYING&0.31b"), std::runtime_error);
  EXPECT_TRUE(core().SeenIds().Contains("MIRLO", 77));
  core().MSUtilsMessageAvail("78&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(m.host.lines.size(), 2u);
}

}  // namespace
}  // namespace pelmora::testing
