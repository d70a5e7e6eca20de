#pragma once
// The few X11 services the program needs beyond what Qt offers: bringing a window to the front
// the way a pager would, keeping the banner out of the task bar, and the time of the user's
// latest key or button press (window managers weigh an activation request by it).
//
// Each answers false ("not done") when the program does not run on X11 (Wayland, offscreen), so
// the caller falls back to what Qt can do there.

#include <cstdint>

class QWidget;

namespace pelmora::x11 {

// Whether the application runs on an X11 display.
bool Available();

// The latest user timestamp seen: key and button presses in the program's windows and presses of
// its global hot keys. 0 (CurrentTime) before the first one.
std::uint32_t LatestUserTime();
void NoteUserTime(std::uint32_t time);
// Starts watching the program's input for user timestamps (idempotent; no-op off X11).
void TrackUserTime();

// Raises `window` and asks the window manager to activate it (_NET_ACTIVE_WINDOW, source 2 as
// pagers and task bars send it, with the latest user timestamp). False off X11 or without a
// native window.
bool ActivateWindow(QWidget* window);
// The same for any top-level window of the display, by its X id.
bool ActivateWindowId(std::uint32_t xid);
// The window the window manager holds as active (_NET_ACTIVE_WINDOW on the root); 0 when unknown.
std::uint32_t ActiveWindowId();

// Asks the window manager to keep `window` (mapped already) out of the task bar and pager
// (_NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER added). False off X11 or when not mapped.
bool SkipTaskbarAndPager(QWidget* window);

}  // namespace pelmora::x11
