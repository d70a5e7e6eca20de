#include "app/ViewModeMachine.h"

namespace pelmora {

using A = ViewAction;

ViewActions ViewModeMachine::StartWithoutTray() {
  mode_ = vmNormal;
  // Whatever a previous run left in the lost-messages file is on screen now.
  return {A::DiscardLostMessages, A::ShowWindow, A::RestFocus};
}

ViewActions ViewModeMachine::LeaveBannerForNormal() {
  mode_ = vmNormal;
  return {A::LeaveBanner, A::RestFocus};
}

ViewActions ViewModeMachine::TrayClick() {
  ViewActions out;
  switch (mode_) {
    case vmMinimized:
      // The file is open here only when a banner was left by Esc and then minimised.
      out = {A::DiscardLostMessages, A::ShowWindow, A::BringForward};
      break;
    case vmPreview:
      out = {A::LeaveBanner};
      break;
    case vmHidden:
      // Esc left the banner's file open; the messages it keeps are about to be on screen, and
      // would otherwise come back as "recovered" at the next start.
      out = {A::DiscardLostMessages, A::ShowWindow, A::BringForward};
      break;
    case vmNormal:
      out = {A::ShowWindow, A::BringForward};
      break;
  }
  // The counter and the tip stay as they are: they tell what arrived until the next minimise.
  mode_ = vmNormal;
  out.push_back(A::RestFocus);
  return out;
}

ViewActions ViewModeMachine::MenuFirstEntry() {
  switch (FirstEntry()) {
    case TrayEntry::Restore:
      return TrayClick();
    case TrayEntry::Minimize:
      break;
  }
  return MinimizeRequested();
}

ViewActions ViewModeMachine::Recovered() {
  if (mode_ == vmNormal) return {A::DiscardLostMessages};
  return {A::KeepRecovered};
}

ViewActions ViewModeMachine::MinimizeRequested() {
  ViewActions out{A::HideWindow};
  const ViewActions after = Minimized();
  out.insert(out.end(), after.begin(), after.end());
  return out;
}

ViewActions ViewModeMachine::Minimized() {
  ViewActions out;
  // A banner still up goes with the application; its file stays open, as after Esc.
  if (mode_ == vmPreview) out.push_back(A::DropBanner);
  out.push_back(A::ResetCounter);
  // From the banner the tip keeps counting what arrived: the banner is what the user saw last.
  if (mode_ != vmPreview) out.push_back(A::ResetTrayHint);
  mode_ = vmMinimized;
  return out;
}

ViewActions ViewModeMachine::Escape() {
  if (mode_ == vmPreview) {
    // Everything goes into the tray; later arrivals are only counted. The banner keeps its file.
    mode_ = vmHidden;
    return {A::DropBanner, A::HideWindow};
  }
  return MinimizeRequested();
}

ViewActions ViewModeMachine::RestoreHotKey() {
  switch (mode_) {
    case vmNormal:
      return {A::BringForward};
    case vmMinimized:
    case vmHidden:
      return TrayClick();
    case vmPreview:
      break;
  }
  ViewActions out = LeaveBannerForNormal();
  out.push_back(A::BringForward);
  return out;
}

ViewActions ViewModeMachine::BannerDoubleClick() {
  if (mode_ != vmPreview) return {};
  return LeaveBannerForNormal();
}

ViewActions ViewModeMachine::Arrival(bool restore, bool preview, bool dialogOpen) {
  if (dialogOpen) restore = false;
  ViewActions out;
  if (mode_ == vmNormal) {
    out = {A::ResetCounter, A::ResetTrayHint, A::BringForwardIfBehind};
  } else {
    out = {A::CountArrival};
  }
  if (restore && mode_ == vmMinimized) {
    if (preview) {
      mode_ = vmPreview;
      out.push_back(A::EnterBanner);
    } else {
      const ViewActions shown = TrayClick();
      out.insert(out.end(), shown.begin(), shown.end());
    }
  }
  return out;
}

}  // namespace pelmora
