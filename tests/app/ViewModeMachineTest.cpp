// The view modes of the main window without any widget: each event's new mode and the actions
// the window is told to carry out, in order.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/ViewModeMachine.h"

namespace pelmora {
namespace {

using A = ViewAction;

struct Machine {
  explicit Machine(TViewMode start) : mode(start) {}
  TViewMode mode;
  ViewModeMachine m{mode};
};

TEST(ViewModeMachine, StartsInTheTrayAndTheTrayClickBringsTheWindowBack) {
  TViewMode mode = vmNormal;
  ViewModeMachine m(mode);
  m.Start();
  EXPECT_EQ(mode, vmMinimized);  // the mode lives in the shared state

  EXPECT_EQ(m.TrayClick(),
            (ViewActions{A::DiscardLostMessages, A::ShowWindow, A::BringForward, A::RestFocus}));
  EXPECT_EQ(mode, vmNormal);
  // A click on the icon of a shown window only brings it forward again.
  EXPECT_EQ(m.TrayClick(), (ViewActions{A::ShowWindow, A::BringForward, A::RestFocus}));
  EXPECT_EQ(mode, vmNormal);
}

TEST(ViewModeMachine, EveryWayOfSendingTheWindowAwayEndsMinimised) {
  for (TViewMode from : {vmNormal, vmMinimized, vmHidden}) {
    Machine esc(from);
    EXPECT_EQ(esc.m.Escape(), (ViewActions{A::HideWindow, A::ResetCounter, A::ResetTrayHint}));
    EXPECT_EQ(esc.mode, vmMinimized);
    Machine minimised(from);
    EXPECT_EQ(minimised.m.Minimized(), (ViewActions{A::ResetCounter, A::ResetTrayHint}));
    EXPECT_EQ(minimised.mode, vmMinimized);
  }
  // Minimised from the banner, the tip keeps the count of what arrived.
  Machine banner(vmPreview);
  EXPECT_EQ(banner.m.Minimized(), (ViewActions{A::DropBanner, A::ResetCounter}));
  EXPECT_EQ(banner.mode, vmMinimized);
}

// Every event from every mode: afterwards the first tray entry names what it does, and choosing
// it does that. "Restaurar" brings the window back from the tray, the banner and the hidden mode
// alike; "Minimizar" sends a shown window to the tray.
TEST(ViewModeMachine, TheFirstMenuEntryAlwaysSaysAndDoesWhatTheModeNeeds) {
  using Event = ViewActions (ViewModeMachine::*)();
  const std::vector<std::pair<const char*, Event>> events = {
      {"tray click", &ViewModeMachine::TrayClick},
      {"first entry", &ViewModeMachine::MenuFirstEntry},
      {"minimise", &ViewModeMachine::MinimizeRequested},
      {"minimised", &ViewModeMachine::Minimized},
      {"Esc", &ViewModeMachine::Escape},
      {"hot key", &ViewModeMachine::RestoreHotKey},
      {"banner double-click", &ViewModeMachine::BannerDoubleClick},
      {"recovered", &ViewModeMachine::Recovered}};
  for (TViewMode from : {vmNormal, vmMinimized, vmPreview, vmHidden}) {
    for (const auto& [name, event] : events) {
      Machine m(from);
      (m.m.*event)();
      const bool shown = m.mode == vmNormal;
      EXPECT_EQ(m.m.FirstEntry(), shown ? TrayEntry::Minimize : TrayEntry::Restore)
          << name << " from mode " << static_cast<int>(from);
      const ViewActions chosen = m.m.MenuFirstEntry();
      EXPECT_EQ(m.mode, shown ? vmMinimized : vmNormal)
          << "entry chosen after " << name << " from mode " << static_cast<int>(from);
      // Bringing the window back never forgets the count: only sending it away resets the tip.
      const bool resets = std::find(chosen.begin(), chosen.end(), A::ResetTrayHint) != chosen.end();
      EXPECT_EQ(resets, shown) << name << " from mode " << static_cast<int>(from);
    }
  }
  // Arrivals move the mode too.
  for (bool preview : {false, true}) {
    Machine m(vmMinimized);
    m.m.Arrival(true, preview);
    EXPECT_EQ(m.m.FirstEntry(), preview ? TrayEntry::Restore : TrayEntry::Minimize);
  }
  // "Restaurar" after Esc in the banner restores, as a tray click does, and keeps the counter.
  Machine hidden(vmHidden);
  EXPECT_EQ(hidden.m.MenuFirstEntry(),
            (ViewActions{A::DiscardLostMessages, A::ShowWindow, A::BringForward, A::RestFocus}));
  EXPECT_EQ(hidden.mode, vmNormal);

  Machine banner(vmPreview);
  EXPECT_EQ(banner.m.MenuFirstEntry(), (ViewActions{A::LeaveBanner, A::RestFocus}));
  EXPECT_EQ(banner.mode, vmNormal);
}

TEST(ViewModeMachine, EscInTheBannerHidesEverythingUntilTheTrayOrHotKey) {
  Machine m(vmPreview);
  EXPECT_EQ(m.m.Escape(), (ViewActions{A::DropBanner, A::HideWindow}));
  EXPECT_EQ(m.mode, vmHidden);
  // Arrivals are only counted now, and kept in the lost-messages file the banner opened: the
  // program may end before the user opens the window.
  EXPECT_EQ(m.m.Arrival(true, true), (ViewActions{A::CountArrival}));
  EXPECT_EQ(m.mode, vmHidden);
  EXPECT_TRUE(m.m.KeepsLostMessages());
  // The hot key brings the normal window back; the file the banner kept open goes, as the
  // messages are on screen now (kept, they would come back as recovered at the next start).
  EXPECT_EQ(m.m.RestoreHotKey(),
            (ViewActions{A::DiscardLostMessages, A::ShowWindow, A::BringForward, A::RestFocus}));
  EXPECT_EQ(m.mode, vmNormal);
  // The same for the tray click from hidden mode.
  Machine tray(vmHidden);
  EXPECT_EQ(tray.m.TrayClick(),
            (ViewActions{A::DiscardLostMessages, A::ShowWindow, A::BringForward, A::RestFocus}));
  // Every way into the normal window from anywhere but the normal window itself closes the
  // file: directly, or by leaving the banner (which closes it too).
  for (TViewMode from : {vmMinimized, vmPreview, vmHidden}) {
    for (int way = 0; way < 3; ++way) {
      Machine any(from);
      const ViewActions acts = way == 0   ? any.m.TrayClick()
                               : way == 1 ? any.m.RestoreHotKey()
                                          : any.m.MenuFirstEntry();
      const bool closes =
          std::find(acts.begin(), acts.end(), A::DiscardLostMessages) != acts.end() ||
          std::find(acts.begin(), acts.end(), A::LeaveBanner) != acts.end();
      EXPECT_TRUE(closes) << "from mode " << static_cast<int>(from) << " way " << way;
      EXPECT_EQ(any.mode, vmNormal);
    }
  }
}

TEST(ViewModeMachine, ArrivalsByModeAndOptions) {
  // Shown: the counter starts again and the window comes to the front if it is behind.
  Machine shown(vmNormal);
  EXPECT_EQ(shown.m.Arrival(true, true),
            (ViewActions{A::ResetCounter, A::ResetTrayHint, A::BringForwardIfBehind}));
  EXPECT_EQ(shown.mode, vmNormal);

  // Minimised without "restore": counted, kept in the file, the window stays away.
  Machine quiet(vmMinimized);
  EXPECT_EQ(quiet.m.Arrival(false, true), (ViewActions{A::CountArrival}));
  EXPECT_EQ(quiet.mode, vmMinimized);
  EXPECT_TRUE(quiet.m.KeepsLostMessages());

  // Minimised with "restore" and "preview": the banner.
  Machine banner(vmMinimized);
  EXPECT_EQ(banner.m.Arrival(true, true), (ViewActions{A::CountArrival, A::EnterBanner}));
  EXPECT_EQ(banner.mode, vmPreview);
  EXPECT_TRUE(banner.m.KeepsLostMessages());
  // A second message while the banner shows only counts.
  EXPECT_EQ(banner.m.Arrival(true, true), (ViewActions{A::CountArrival}));
  EXPECT_EQ(banner.mode, vmPreview);

  // Minimised with "restore" only: the normal window, as by a tray click.
  Machine restore(vmMinimized);
  EXPECT_EQ(restore.m.Arrival(true, false),
            (ViewActions{A::CountArrival, A::DiscardLostMessages, A::ShowWindow, A::BringForward,
                         A::RestFocus}));
  EXPECT_EQ(restore.mode, vmNormal);
  EXPECT_FALSE(restore.m.KeepsLostMessages());

  // While the options dialog is open nothing comes up over it: the arrival is only counted.
  Machine underDialog(vmMinimized);
  EXPECT_EQ(underDialog.m.Arrival(true, false, /*dialogOpen=*/true),
            (ViewActions{A::CountArrival}));
  EXPECT_EQ(underDialog.m.Arrival(true, true, /*dialogOpen=*/true), (ViewActions{A::CountArrival}));
  EXPECT_EQ(underDialog.mode, vmMinimized);
}

// Messages a previous run left are shown at start; until the window is shown they stay in their
// file and in the tip's count, whatever happens meanwhile, and the first showing lets them go.
TEST(ViewModeMachine, RecoveredMessagesStayKeptUntilTheWindowShows) {
  Machine m(vmMinimized);
  EXPECT_EQ(m.m.Recovered(), (ViewActions{A::KeepRecovered}));
  const auto discards = [](const ViewActions& acts) {
    return std::find(acts.begin(), acts.end(), A::DiscardLostMessages) != acts.end() ||
           std::find(acts.begin(), acts.end(), A::LeaveBanner) != acts.end();
  };
  EXPECT_FALSE(discards(m.m.Arrival(false, false)));
  EXPECT_TRUE(m.m.KeepsLostMessages());
  EXPECT_FALSE(discards(m.m.Arrival(true, true)));  // the banner goes on with the same file
  EXPECT_FALSE(discards(m.m.Escape()));
  EXPECT_TRUE(discards(m.m.RestoreHotKey()));
  // On a desktop without a tray the window starts shown: the messages are on screen at once.
  Machine noTray(vmMinimized);
  EXPECT_TRUE(discards(noTray.m.StartWithoutTray()));
  EXPECT_EQ(noTray.m.Recovered(), (ViewActions{A::DiscardLostMessages}));
}

TEST(ViewModeMachine, LeavingTheBannerByDoubleClickHotKeyOrTray) {
  Machine dbl(vmPreview);
  EXPECT_EQ(dbl.m.BannerDoubleClick(), (ViewActions{A::LeaveBanner, A::RestFocus}));
  EXPECT_EQ(dbl.mode, vmNormal);
  EXPECT_TRUE(dbl.m.BannerDoubleClick().empty());  // no banner, nothing to leave

  Machine hot(vmPreview);
  EXPECT_EQ(hot.m.RestoreHotKey(), (ViewActions{A::LeaveBanner, A::RestFocus, A::BringForward}));
  EXPECT_EQ(hot.mode, vmNormal);
  EXPECT_EQ(hot.m.RestoreHotKey(), (ViewActions{A::BringForward}));

  Machine tray(vmPreview);
  EXPECT_EQ(tray.m.TrayClick(), (ViewActions{A::LeaveBanner, A::RestFocus}));
  EXPECT_EQ(tray.mode, vmNormal);
}

TEST(ViewModeMachine, WithoutANotificationAreaTheWindowStartsShown) {
  Machine m(vmMinimized);
  EXPECT_EQ(m.m.StartWithoutTray(),
            (ViewActions{A::DiscardLostMessages, A::ShowWindow, A::RestFocus}));
  EXPECT_EQ(m.mode, vmNormal);
}

}  // namespace
}  // namespace pelmora
