#pragma once
// The narrow interfaces through which the messaging core reaches the rest of the program.
//
// The core holds every protocol rule (formats, duplicate filters, delivery decision, ping). It
// never touches a window or a socket itself: the main window implements MessagingHost, the
// mailslot endpoints stand behind MessagingTransport, and the clock is injected, so the whole
// protocol runs in tests on a simulated LAN with a clock the test moves.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "messaging/DateTime.h"
#include "messaging/DeliveryOutcome.h"

namespace pelmora {

// What the core needs of the main window. Every text is Windows-1252.
class MessagingHost {
 public:
  virtual ~MessagingHost() = default;

  // One entry of the conversation view: time (now), heading "first" + row 21 + "second", text,
  // in the colour of the palette index (0 time .. 5 system).
  virtual void AppendLine(const std::string& first, const std::string& second,
                          const std::string& text, int paletteIndex) = 0;
  // The arrival reaction of the window (address book, selectors, beep, view mode). The window
  // upper-cases the sender it is given; `sender` is in/out so the caller sees that.
  virtual void NotifyArrival(std::string& sender, const std::string& receiver,
                             const std::string& text, int paletteIndex) = 0;
  // A message now waits for a channel answer: the timer that checks the deadlines must run.
  virtual void AnswerDeadlineSet() {}
  // Status bar panel 0 (own name), 1 (destination) or 2 (clock).
  virtual void SetStatusText(int panel, const std::string& text) = 0;
  // The clock in the system's long time format, without AM/PM designators.
  virtual std::string LongTimeText(DateTime when) = 0;

  // Destination controls: the groups check box and the position selected in the group selector
  // (-1 when none).
  virtual bool GroupsTicked() = 0;
  virtual int SelectedGroupIndex() = 0;

  // Compose controls back to rest: normal mode (empty MTexto, hide it, show and focus BTexto)
  // and typed-destination mode (empty and hide MTexto_hardway, show and focus BReceptor_hardway).
  virtual void RestNormalCompose() = 0;
  virtual void RestHardwayCompose() = 0;

  // While the options dialog is open, identification replies go to its two name lists
  // (LNombres and CLNombres), each only when it does not hold the name yet, ignoring case.
  virtual void AddToOptionsNameLists(const std::string& name) = 0;

  // The fate of the sender's own messages to names. DeliveryStarted comes right after the echo
  // of such a message (the entry appended last) with the targets whose answer is awaited, in
  // the order they are asked; then DeliveryResult once per target when its answer or time-out
  // decides, and again should the target answer after the time-out. Messages to the workgroup
  // are not followed. A window that shows none of it need not implement them.
  virtual void DeliveryStarted(DeliveryId /*id*/, const std::string& /*label*/,
                               const std::vector<std::string>& /*targets*/) {}
  virtual void DeliveryResult(DeliveryId /*id*/, const std::string& /*target*/,
                              DeliveryOutcome /*outcome*/) {}
};

// What the core needs of the network: the mailslot writers and the state of the messenger
// endpoint. Results of writes are never acted on, but are returned for tests and tools.
class MessagingTransport {
 public:
  virtual ~MessagingTransport() = default;
  // One datagram, exactly these bytes, to slot `slot` on machine or workgroup `server`.
  virtual bool WriteSlotString(const std::string& server, const std::string& slot,
                               const std::string& bytes) = 0;
  // A messenger datagram (sender, recipient, text; converted to OEM) to "messngr" on `server`.
  virtual bool SendMessengerMessage(const std::string& server, const std::string& sender,
                                    const std::string& recipient, const std::string& text) = 0;
  // Whether this program holds the messenger slot on its own machine.
  virtual bool MessengerActive() = 0;
};

// Two clocks in one. Now() is the local wall-clock time, for what is shown; MonotonicMs() counts
// milliseconds on a clock that never steps, for the answer deadlines and the duplicate window.
// On the wall clock a step back (a daylight-saving change, an NTP or manual correction) would
// hold every message to a silent target for the size of the step and drop identical repeats
// meanwhile; a step forward would flush waiting messages early. Tests move both by hand.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() = 0;
  // Only differences mean anything. By default derived from Now(), which is right for a clock
  // that only ever moves forward, as simple test clocks do.
  virtual std::int64_t MonotonicMs() { return std::llround(Now() * 86400000.0); }
};

// The machine's own local time, and its monotonic clock.
class SystemClock final : public Clock {
 public:
  DateTime Now() override { return NowDateTime(); }
  std::int64_t MonotonicMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace pelmora
