#pragma once
// An in-process LAN for the messaging core: several machines, each with its own Variables, a
// recording window, and a core, joined by a carrier that routes every write by machine or
// workgroup name to the slots each machine holds. One clock serves all machines; the test moves
// it, and every machine's 200 ms timer fires as it passes.
//
// Writes are queued and delivered in order when the LAN runs (Run, Advance), never from inside
// the write itself, as on a real network where the answer to a query arrives after the query
// handler has returned.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "messaging/MessagingCore.h"
#include "messaging/MessagingHost.h"
#include "messaging/Variables.h"
#include "transport/WinPopup.h"

namespace pelmora::testing {

// Time passing moves both clocks; a step of the wall clock (daylight saving, an NTP or manual
// correction) moves only the wall clock.
class ManualClock : public Clock {
 public:
  // Computed from whole milliseconds each time, so moving the clock adds no rounding drift.
  DateTime Now() override { return kBase + static_cast<double>(ms_ + wallStepMs_) / 86400000.0; }
  std::int64_t MonotonicMs() override { return ms_; }
  void AdvanceMs(long long ms) { ms_ += ms; }
  void StepWallClockMs(long long ms) { wallStepMs_ += ms; }
  long long Ms() const { return ms_; }

 private:
  // A Tuesday morning, 10:00:00.000 local time.
  static constexpr DateTime kBase = 46000.0 + 10.0 / 24.0;
  long long ms_ = 0;
  long long wallStepMs_ = 0;
};

struct ViewLine {
  std::string first, second, text;
  int palette = -1;
  bool operator==(const ViewLine&) const = default;
};

// The window as far as the core sees it; it records what the core asks of it.
class RecordingHost : public MessagingHost {
 public:
  void AppendLine(const std::string& first, const std::string& second, const std::string& text,
                  int paletteIndex) override;
  void NotifyArrival(std::string& sender, const std::string& receiver, const std::string& text,
                     int paletteIndex) override;
  void SetStatusText(int panel, const std::string& text) override;
  std::string LongTimeText(DateTime when) override;
  bool GroupsTicked() override { return groupsTicked; }
  int SelectedGroupIndex() override { return selectedGroup; }
  void RestNormalCompose() override { ++restNormal; }
  void RestHardwayCompose() override { ++restHardway; }
  void AddToOptionsNameLists(const std::string& name) override;
  void AnswerDeadlineSet() override { ++deadlinesSet; }
  void DeliveryStarted(DeliveryId id, const std::string& label,
                       const std::vector<std::string>& targets) override;
  void DeliveryResult(DeliveryId id, const std::string& target, DeliveryOutcome outcome) override;

  std::vector<ViewLine> lines;
  std::vector<ViewLine> arrivals;  // sender as the window upper-cased it
  std::string status[3];
  bool groupsTicked = false;
  int selectedGroup = -1;
  int restNormal = 0;
  int restHardway = 0;
  int deadlinesSet = 0;
  std::vector<std::string> optionsNames;  // the options dialog's lists, without repeats
  // The sent messages followed, as the window keeps them, and every result as
  // "id TARGET outcome@ms" in the order it came (outcome: shown, secure, none, late-no).
  std::map<DeliveryId, DeliveryTally> deliveries;
  std::vector<std::string> results;
  const ManualClock* clock = nullptr;
  // Makes the next AppendLine throw, as a failing window would.
  bool throwOnNextAppend = false;
};

// One datagram as a machine wrote it.
struct Written {
  long long atMs = 0;  // on the LAN's clock, since the LAN was made
  std::string server;
  std::string slot;   // as addressed: "UTILS", "SEGURO", "messngr"
  std::string bytes;  // exactly the datagram's bytes
  bool operator==(const Written&) const = default;
};

// A message shown by the operating system's own messenger, on a machine where the program does
// not hold the messenger slot.
struct OsPopup {
  std::string sender, recipient, text;
  bool operator==(const OsPopup&) const = default;
};

class SimLan;

// Who holds the messenger slot on a machine.
enum class MessengerHolder { Program, OsMessenger, Nobody };

struct SimMachine {
  std::string name;
  std::string workgroup;
  bool runsProgram = true;
  MessengerHolder messenger = MessengerHolder::Program;

  Variables vars;
  RecordingHost host;
  std::unique_ptr<MessagingTransport> transport;
  std::unique_ptr<MessagingCore> core;
  std::vector<Written> written;
  std::vector<OsPopup> osPopups;

  int timerPhaseMs = 0;  // when in each 200 ms period its timer fires

  // The machine's messenger endpoint, never opened: the LAN feeds datagrams through its receive
  // path (duplicate filter, OEM conversion) with the LAN's clock as its tick count.
  std::unique_ptr<TmdWinPopup> winPopup;
};

struct MachineSetup {
  std::string name;
  std::string workgroup = "OFICINA";
  bool runsProgram = true;
  MessengerHolder messenger = MessengerHolder::Program;
  int timerPhaseMs = 0;
  // The seed of the machine's utility ids; two machines with the same seed draw the same ids in
  // the same order, as copies started together once did. 0: a seed of the LAN's own.
  std::uint32_t idSeed = 0;
};

class SimLan {
 public:
  SimLan();
  ~SimLan();

  SimMachine& Add(const MachineSetup& setup);
  SimMachine& operator[](const std::string& name);

  // Delivers every queued datagram, including those written while handling earlier ones.
  void Run();
  // Moves the clock, firing each machine's timer at its phase of every 200 ms and running the
  // LAN after each step.
  void AdvanceMs(int ms);

  ManualClock& clock() { return clock_; }
  long long NowMs() const { return clock_.Ms(); }

  // Every datagram written by anybody, in order, as "MACHINE>SERVER/SLOT:bytes".
  std::vector<std::string> wire;

 private:
  friend class SimTransport;
  void Enqueue(SimMachine& from, const std::string& server, const std::string& slot,
               const std::string& bytes);
  void DeliverOne(const std::string& server, const std::string& slot, const std::string& bytes);

  struct InFlight {
    std::string server, slot, bytes;
  };
  ManualClock clock_;
  std::vector<std::unique_ptr<SimMachine>> machines_;
  std::deque<InFlight> inFlight_;
  std::uint32_t nextSeed_ = 1;
};

}  // namespace pelmora::testing
