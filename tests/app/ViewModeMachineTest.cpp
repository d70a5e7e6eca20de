// The view modes of the main window without any widget: each event's new mode and the actions
// the window is told to carry out, in order.

#include <gtest/gtest.h>

#include <algorithm>

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

  EXPECT_EQ(m.TrayClick(), (ViewActions{A::DiscardLostMessages, A::MenuShowsMinimize, A::ShowWindow,
                                        A::BringForward, A::RestFocus}));
  EXPECT_EQ(mode, vmNormal);
  // A click on the icon of a shown window only brings it forward again.
  EXPECT_EQ(m.TrayClick(), (ViewActions{A::ShowWindow, A::BringForward, A::RestFocus}));
  EXPECT_EQ(mode, vmNormal);
}

TEST(ViewModeMachine, EveryWayOfSendingTheWindowAwayEndsMinimised) {
  for (TViewMode from : {vmNormal, vmMinimized, vmHidden}) {
    Machine esc(from);
    EXPECT_EQ(esc.m.Escape(),
              (ViewActions{A::HideWindow, A::ResetCounter, A::MenuShowsRestore, A::ResetTrayHint}));
    EXPECT_EQ(esc.mode, vmMinimized);
    Machine minimised(from);
    EXPECT_EQ(minimised.m.Minimized(),
              (ViewActions{A::ResetCounter, A::MenuShowsRestore, A::ResetTrayHint}));
    EXPECT_EQ(minimised.mode, vmMinimized);
  }
  // Minimised from the banner, the tip keeps the count of what arrived.
  Machine banner(vmPreview);
  EXPECT_EQ(banner.m.Minimized(), (ViewActions{A::DropBanner, A::ResetCounter, A::MenuShowsRestore}));
  EXPECT_EQ(banner.mode, vmMinimized);
}

TEST(ViewModeMachine, TheFirstMenuEntryRestoresOrMinimises) {
  Machine away(vmMinimized);
  EXPECT_EQ(away.m.MenuFirstEntry().back(), A::RestFocus);
  EXPECT_EQ(away.mode, vmNormal);
  EXPECT_EQ(away.m.MenuFirstEntry().front(), A::HideWindow);
  EXPECT_EQ(away.mode, vmMinimized);

  Machine hidden(vmHidden);  // after Esc in the banner the entry reads "&Minimizar"
  hidden.m.MenuFirstEntry();
  EXPECT_EQ(hidden.mode, vmMinimized);

  Machine banner(vmPreview);
  EXPECT_EQ(banner.m.MenuFirstEntry(),
            (ViewActions{A::MenuShowsMinimize, A::LeaveBanner, A::RestFocus}));
  EXPECT_EQ(banner.mode, vmNormal);
}

TEST(ViewModeMachine, EscInTheBannerHidesEverythingUntilTheTrayOrHotKey) {
  Machine m(vmPreview);
  EXPECT_EQ(m.m.Escape(), (ViewActions{A::DropBanner, A::HideWindow}));
  EXPECT_EQ(m.mode, vmHidden);
  // Arrivals are only counted now, and not kept in the lost-messages file.
  EXPECT_EQ(m.m.Arrival(true, true), (ViewActions{A::CountArrival}));
  EXPECT_EQ(m.mode, vmHidden);
  EXPECT_FALSE(m.m.KeepsLostMessages());
  // The hot key brings the normal window back; the file the banner kept open goes, as the
  // messages are on screen now (kept, they would come back as recovered at the next start).
  EXPECT_EQ(m.m.RestoreHotKey(), (ViewActions{A::DiscardLostMessages, A::ShowWindow,
                                              A::BringForward, A::RestFocus}));
  EXPECT_EQ(m.mode, vmNormal);
  // The same for the tray click from hidden mode.
  Machine tray(vmHidden);
  EXPECT_EQ(tray.m.TrayClick(), (ViewActions{A::DiscardLostMessages, A::ShowWindow,
                                             A::BringForward, A::RestFocus}));
  // Every way into the normal window from anywhere but the normal window itself closes the
  // file: directly, or by leaving the banner (which closes it too).
  for (TViewMode from : {vmMinimized, vmPreview, vmHidden}) {
    for (int way = 0; way < 3; ++way) {
      if (from == vmHidden && way == 2) continue;  // there the first entry reads "&Minimizar"
      Machine any(from);
      const ViewActions acts = way == 0 ? any.m.TrayClick() : way == 1 ? any.m.RestoreHotKey()
                                                                       : any.m.MenuFirstEntry();
      const bool closes = std::find(acts.begin(), acts.end(), A::DiscardLostMessages) != acts.end() ||
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
            (ViewActions{A::CountArrival, A::DiscardLostMessages, A::MenuShowsMinimize,
                         A::ShowWindow, A::BringForward, A::RestFocus}));
  EXPECT_EQ(restore.mode, vmNormal);
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
  EXPECT_EQ(tray.m.TrayClick(), (ViewActions{A::MenuShowsMinimize, A::LeaveBanner, A::RestFocus}));
  EXPECT_EQ(tray.mode, vmNormal);
}

TEST(ViewModeMachine, WithoutANotificationAreaTheWindowStartsShown) {
  Machine m(vmMinimized);
  EXPECT_EQ(m.m.StartWithoutTray(),
            (ViewActions{A::MenuShowsMinimize, A::ShowWindow, A::RestFocus}));
  EXPECT_EQ(m.mode, vmNormal);
}

}  // namespace
}  // namespace pelmora
