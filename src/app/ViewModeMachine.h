#pragma once
// How the main window is presented: normal, minimised to the tray, shrunk to the banner, or
// hidden after Esc in the banner. The machine knows the rules of moving between these and nothing
// of widgets: each event changes the mode and returns, in order, what the window must do. The
// window carries the actions out, so every transition is tested without a screen.

#include <cstdint>
#include <vector>

#include "messaging/Variables.h"

namespace pelmora {

enum class ViewAction : std::uint8_t {
  ShowWindow,            // show the normal window (through the tray icon when there is one)
  HideWindow,            // hide it into the tray (minimise it when there is no notification area)
  BringForward,          // bring the window to the front with the keyboard focus
  BringForwardIfBehind,  // the same, only when another window is in front
  RestFocus,             // focus to "Escribir mensaje", the compose box or "Destino"
  ResetTrayHint,         // the tray tip is the program's name alone
  ResetCounter,          // the count of new messages goes back to 0 and the banner text empties
  CountArrival,          // one more new message: counter, banner text and tray tip
  // The banner. The window carries these out with the banner's own work; until then it shows
  // or hides the normal window in their place.
  EnterBanner,          // shrink the window to the scrolling banner in the screen's corner
  LeaveBanner,          // back from the banner to the normal window, in front, as it was
  DropBanner,           // Esc in the banner: the normal layout back, the window hidden
  DiscardLostMessages,  // close and delete the lost-messages file a banner may have left open
  // Messages recovered at start stay in their file, counted in the tray tip as arrivals are,
  // until the window shows them.
  KeepRecovered,
};

// What the tray menu's first entry says and does. It follows the mode alone: the entry always
// names what choosing it does.
enum class TrayEntry : std::uint8_t {
  Restore,   // "&Restaurar": the window is away (tray, banner, hidden); brings it back
  Minimize,  // "&Minimizar": the window is shown; sends it to the tray
};

using ViewActions = std::vector<ViewAction>;

class ViewModeMachine {
 public:
  // The mode lives in the shared state, where the language and arrival steps read it too.
  explicit ViewModeMachine(TViewMode& mode) : mode_(mode) {}

  TViewMode Mode() const { return mode_; }

  // The window is created: it starts in the tray.
  void Start() { mode_ = vmMinimized; }
  // The desktop has no notification area: the window starts shown instead.
  ViewActions StartWithoutTray();
  // A left click on the tray icon.
  ViewActions TrayClick();
  // The first entry of the tray menu: what it reads now, and choosing it.
  TrayEntry FirstEntry() const {
    return mode_ == vmNormal ? TrayEntry::Minimize : TrayEntry::Restore;
  }
  ViewActions MenuFirstEntry();
  // The user sends the window away (title-bar close, Esc outside the banner, the menu).
  ViewActions MinimizeRequested();
  // The application was minimised (also by the title bar's minimise button).
  ViewActions Minimized();
  // Esc on the window, outside the fields that take Esc themselves.
  ViewActions Escape();
  // The global restore hot key.
  ViewActions RestoreHotKey();
  // A double-click on the banner.
  ViewActions BannerDoubleClick();
  // A message was shown: `restore` and `preview` are the options that bring the window back
  // and choose the banner for it. While the modal options dialog is open (`dialogOpen`) an
  // arrival is only counted: a banner or window over the dialog would take input it cannot have.
  ViewActions Arrival(bool restore, bool preview, bool dialogOpen = false);
  // Messages from the file a previous run left were shown at start.
  ViewActions Recovered();
  // Whether an arrival in the current mode is also kept in the lost-messages file: whenever the
  // window is away, hidden after Esc in the banner too, so that nothing unseen is lost if the
  // program ends before the user opens the window.
  bool KeepsLostMessages() const { return mode_ != vmNormal; }

 private:
  ViewActions LeaveBannerForNormal();
  TViewMode& mode_;
};

}  // namespace pelmora
