#pragma once
// The desktop services this build was made with, for the program entry: the X11 ones where X11
// was found when building (widgets/x11/), stand-ins that take nothing elsewhere (NoX11Desktop.cpp).
// The window and its parts reach the desktop only through these and the interfaces of Desktop.h;
// nothing outside widgets/ includes widgets/x11/.

#include <memory>
#include <optional>
#include <string>

#include "widgets/HotKeyBackend.h"

namespace pelmora::desktop {

// The global keys of this desktop. Off X11 (Wayland, offscreen, a build without X11) the backend
// takes nothing and says so through Available().
std::unique_ptr<HotKeyBackend> MakeHotKeyBackend();

// Whether an X server answers at `display` within `seconds`: nullopt when it does, else why not,
// in a few words. With `hold`, a connection that succeeded stays open until
// ReleaseProbedXDisplay(): an X server started without -noreset resets when its last client
// leaves, and Qt connecting during that reset fails (and aborts the process).
std::optional<std::string> ProbeXDisplay(const std::string& display, int seconds,
                                         bool hold = false);
// Closes the connection the probe kept; call once Qt has connected. Nothing when none is kept.
void ReleaseProbedXDisplay();

}  // namespace pelmora::desktop
