#include "SimLan.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "messaging/Formats.h"
#include "text/CodePage.h"

namespace pelmora::testing {

void RecordingHost::AppendLine(const std::string& first, const std::string& second,
                               const std::string& text, int paletteIndex) {
  if (throwOnNextAppend) {
    throwOnNextAppend = false;
    throw std::runtime_error("window failed");
  }
  lines.push_back({first, second, text, paletteIndex});
}

void RecordingHost::NotifyArrival(std::string& sender, const std::string& receiver,
                                  const std::string& text, int paletteIndex) {
  sender = text::UpperAscii(sender);
  arrivals.push_back({sender, receiver, text, paletteIndex});
}

void RecordingHost::SetStatusText(int panel, const std::string& text) {
  if (panel >= 0 && panel < 3) status[panel] = text;
}

std::string RecordingHost::LongTimeText(DateTime when) {
  int h = 0, m = 0, s = 0;
  DecodeTime(when, h, m, s);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, m, s);
  return buf;
}

void RecordingHost::AddToOptionsNameLists(const std::string& name) {
  for (const auto& n : optionsNames) {
    if (text::EqualsIgnoreAsciiCase(n, name)) return;
  }
  optionsNames.push_back(name);
}

void RecordingHost::DeliveryStarted(DeliveryId id, const std::string& label,
                                    const std::vector<std::string>& targets) {
  deliveries.insert_or_assign(id, DeliveryTally(label, targets));
}

void RecordingHost::DeliveryResult(DeliveryId id, const std::string& target,
                                   DeliveryOutcome outcome) {
  static const char* const kNames[] = {"pending", "shown", "secure", "none", "late-no"};
  std::string line = std::to_string(id) + " " + target + " " + kNames[static_cast<int>(outcome)];
  if (clock != nullptr) line += "@" + std::to_string(clock->Ms());
  results.push_back(line);
  const auto it = deliveries.find(id);
  // A result for a message never announced, or for a target it does not have, is a fault.
  if (it == deliveries.end() || !it->second.Record(target, outcome)) {
    results.push_back("unexpected " + std::to_string(id) + " " + target);
  }
}

// The machine's side of the network: its writes go onto the LAN.
class SimTransport : public MessagingTransport {
 public:
  SimTransport(SimLan& lan, SimMachine& machine) : lan_(lan), machine_(machine) {}

  bool WriteSlotString(const std::string& server, const std::string& slot,
                       const std::string& bytes) override {
    lan_.Enqueue(machine_, server, slot, bytes);
    return true;
  }
  bool SendMessengerMessage(const std::string& server, const std::string& sender,
                            const std::string& recipient, const std::string& text) override {
    lan_.Enqueue(machine_, server, std::string(kMessengerSlot),
                 BuildMessengerDatagram(sender, recipient, text));
    return true;
  }
  bool MessengerActive() override {
    return machine_.runsProgram && machine_.messenger == MessengerHolder::Program;
  }

 private:
  SimLan& lan_;
  SimMachine& machine_;
};

namespace {

// The operating system's messenger shows what the datagram holds.
OsPopup SplitMessenger(const std::string& bytes) {
  const MessengerFields f = ParseMessengerDatagram(bytes);
  return {f.sender, f.recipient, f.text};
}

// The endpoint swallows whatever goes wrong while a datagram is handled.
template <typename F>
void Dispatch(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace

SimLan::SimLan() = default;
SimLan::~SimLan() = default;

SimMachine& SimLan::Add(const MachineSetup& setup) {
  auto m = std::make_unique<SimMachine>();
  m->name = setup.name;
  m->workgroup = setup.workgroup;
  m->runsProgram = setup.runsProgram;
  m->messenger = setup.messenger;
  m->timerPhaseMs = setup.timerPhaseMs;
  m->vars.OwnName = setup.name;
  m->vars.WorkgroupName = setup.workgroup;
  m->vars.Destination = m->vars.Text(kRowNinguno);
  m->host.clock = &clock_;
  m->transport = std::make_unique<SimTransport>(*this, *m);
  m->core = std::make_unique<MessagingCore>(
      m->vars, m->host, *m->transport, clock_,
      UtilityIdGenerator(setup.idSeed != 0 ? setup.idSeed : nextSeed_++));
  SimMachine* raw = m.get();
  m->winPopup = std::make_unique<TmdWinPopup>();
  m->winPopup->SetOemCodePage(text::OemCodePage::Cp850);
  m->winPopup->SetTickSource([this] { return static_cast<std::uint32_t>(clock_.Ms()); });
  m->winPopup->OnMessage = [raw](TmdCustomWinPopup&, const std::string& receiver,
                                 const std::string& sender, const std::string& msg) {
    raw->core->WinPopupMessage(receiver, sender, msg);
  };
  machines_.push_back(std::move(m));
  return *raw;
}

SimMachine& SimLan::operator[](const std::string& name) {
  for (auto& m : machines_) {
    if (m->name == name) return *m;
  }
  throw std::out_of_range("no machine " + name);
}

void SimLan::Enqueue(SimMachine& from, const std::string& server, const std::string& slot,
                     const std::string& bytes) {
  from.written.push_back({NowMs(), server, slot, bytes});
  wire.push_back(from.name + ">" + server + "/" + slot + ":" + bytes);
  inFlight_.push_back({server, slot, bytes});
}

void SimLan::DeliverOne(const std::string& server, const std::string& slot,
                        const std::string& bytes) {
  for (auto& mp : machines_) {
    SimMachine& m = *mp;
    if (!text::EqualsIgnoreAsciiCase(server, m.name) &&
        !text::EqualsIgnoreAsciiCase(server, m.workgroup)) {
      continue;
    }
    // The text event sees the datagram up to its first zero byte.
    const std::string asText = bytes.substr(0, bytes.find('\0'));
    if (text::EqualsIgnoreAsciiCase(slot, kMessengerSlot)) {
      if (m.runsProgram && m.messenger == MessengerHolder::Program) {
        Dispatch([&] {
          m.winPopup->DoBinMessageAvail(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                        static_cast<std::uint32_t>(bytes.size()));
        });
      } else if (m.messenger == MessengerHolder::OsMessenger) {
        m.osPopups.push_back(SplitMessenger(bytes));
      }
    } else if (!m.runsProgram) {
      continue;
    } else if (text::EqualsIgnoreAsciiCase(slot, kSecureSlotName)) {
      Dispatch([&] { m.core->MailSlotMessageAvail(asText); });
    } else if (text::EqualsIgnoreAsciiCase(slot, kUtilsSlotName)) {
      Dispatch([&] { m.core->MSUtilsMessageAvail(asText); });
    }
  }
}

void SimLan::Run() {
  // Bounded so a protocol loop shows up as a failing test instead of a hang.
  for (int guard = 0; !inFlight_.empty(); ++guard) {
    if (guard > 100000) throw std::runtime_error("datagrams keep coming");
    InFlight d = std::move(inFlight_.front());
    inFlight_.pop_front();
    DeliverOne(d.server, d.slot, d.bytes);
  }
}

void SimLan::AdvanceMs(int ms) {
  Run();
  for (int i = 0; i < ms; ++i) {
    clock_.AdvanceMs(1);
    for (auto& m : machines_) {
      if (m->runsProgram && (clock_.Ms() - m->timerPhaseMs) % 200 == 0) {
        m->core->TimerTimer();
      }
    }
    Run();
  }
}

}  // namespace pelmora::testing
