// pelmora-cli: the command-line companion. It speaks the same datagrams as the program, for
// scripts and for testing against machines that do not run it.
//
// Exit status: 0 success, 1 nothing answered or the network refused, 2 bad usage, 3 the target
// of send --confirm did not answer.

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "ConfirmedSend.h"
#include "Doctor.h"
#include "SessionSend.h"
#include "messaging/Formats.h"
#include "messaging/IntegerList.h"
#include "messaging/MessagingCore.h"
#include "messaging/SlotTransport.h"
#include "messaging/UtilityIds.h"
#include "text/CodePage.h"
#include "transport/MachineIdentity.h"
#include "transport/MailSlot.h"
#include "transport/NetbiosFrame.h"
#include "transport/SlotPlatform.h"
#include "transport/WinPopup.h"

namespace pelmora::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitNothing = 1;
constexpr int kExitUsage = 2;

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

void PrintLine(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "pelmora-cli: %s\n", message.c_str());
}

using Clock = std::chrono::steady_clock;

// Runs the endpoints' hand-offs on this thread until `until` or until `done` says so.
template <typename Done>
void Pump(EventLoopMailSlotDispatcher& loop, Clock::time_point until, Done done) {
  while (!done() && !g_stop) {
    const auto now = Clock::now();
    if (now >= until) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
    loop.WaitAndProcess(static_cast<int>(std::min<long long>(left + 1, 100)));
  }
}

Clock::time_point After(double seconds) {
  return Clock::now() + std::chrono::microseconds(static_cast<long long>(seconds * 1e6));
}

// Opens a slot of this machine; on failure explains which slot is held by whom.
bool OpenSlot(TmdCustomMailSlot& slot, const std::string& name, const std::string& holder) {
  try {
    slot.SetActive(true);
    return true;
  } catch (const EmdMailSlot& e) {
    if (std::string(e.what()) == kMailSlotAlreadyExists) {
      PrintError("the slot \"" + name + "\" is taken on this machine (" + holder + ")");
    } else {
      PrintError("cannot open the slot \"" + name + "\": " + e.what());
    }
    return false;
  }
}

int RunConfirmedSend(const Options& o, const std::string& from, const std::string& message);
// One message in the session form to one machine: named by TARGET, reached at --address or at
// what the resolver finds for TARGET, on --port or the configured session port.
int RunSendSession(const Options& o, const std::string& from, const std::string& target,
                   const std::string& message) {
  const MachineIdentity& me = ThisMachine();
  SessionSend r;
  r.target = NetbiosWireName(target, me.oem);
  if (r.target.empty()) {
    PrintError("\"" + o.target + "\" cannot be a machine name");
    return kExitUsage;
  }
  r.address = o.address.empty() ? o.target : o.address;
  r.port = static_cast<std::uint16_t>(o.port ? *o.port : me.sessionPort);
  if (r.port == 0) {
    PrintError(
        "the session form is off in the machine configuration (PUERTO_SESION = 0); "
        "give --port");
    return kExitUsage;
  }
  r.callingName = NetbiosWireName(me.computerName, me.oem);
  r.sender = text::AnsiToOem(from, me.oem);
  r.recipient = text::AnsiToOem(target, me.oem);
  r.text = text::AnsiToOem(message, me.oem);
  const std::string error = SendInSessionForm(r);
  if (!error.empty()) {
    PrintError(error);
    return kExitNothing;
  }
  return kExitOk;
}

int RunSend(const Options& o) {
  const std::string from = o.from.empty() ? ThisMachine().computerName : text::Utf8ToAnsi(o.from);
  const std::string target = text::Utf8ToAnsi(o.target);
  const std::string message = text::Utf8ToAnsi(o.text);
  if (message.size() > kMaxTextLength) {
    PrintError("the text has " + std::to_string(message.size()) + " characters; at most " +
               std::to_string(kMaxTextLength) + " can be sent");
    return kExitUsage;
  }
  if (o.confirm) return RunConfirmedSend(o, from, message);
  if (o.session) return RunSendSession(o, from, target, message);
  bool sent = false;
  if (o.secure) {
    // The secure format has no escape: a "&" in a name would shift the fields.
    if (from.find('&') != std::string::npos || target.find('&') != std::string::npos) {
      PrintError("a name sent on the secure channel cannot contain \"&\"");
      return kExitUsage;
    }
    sent = WriteSlotString(target, std::string(kSecureSlotWrite),
                           BuildSecureDatagram(from, target, message));
  } else {
    TmdWinPopup winPopup;  // never opened: only its writer and code page are used
    sent = winPopup.SendMessengerMessage(target, from, target, message.empty() ? " " : message);
  }
  if (!sent) {
    PrintError("could not send to " + o.target +
               " (nobody holds the slot on this machine, or no network interface carried it)");
    return kExitNothing;
  }
  return kExitOk;
}

// send --confirm: the messaging core delivers as the program does, and this machine's "Utils"
// brings the answer back to it. The target is upper-cased as the program holds typed names: the
// answer comes under the name in that form.
int RunConfirmedSend(const Options& o, const std::string& from, const std::string& message) {
  const std::string target = text::UpperAscii(text::Utf8ToAnsi(o.target));
  // A "NO" sends on the secure channel, whose format has no escape for "&" in a name.
  if (from.find('&') != std::string::npos || target.find('&') != std::string::npos) {
    PrintError("with --confirm a name cannot contain \"&\" (it may go on the secure channel)");
    return kExitUsage;
  }
  Variables vars;
  vars.OwnName = ThisMachine().computerName;  // the answer is addressed to this machine
  vars.WorkgroupName = text::UpperAscii(ThisMachine().workgroup);
  OutcomeRecorder host;
  TmdWinPopup winPopup;  // never opened: only its writer and code page are used
  MailSlotTransport slots(winPopup);
  CheckedTransport transport(slots);
  SystemClock clock;
  MessagingCore core(vars, host, transport, clock);
  core.SetAnswerTimeoutMs(std::llround(o.waitSeconds * 1000.0));
  if (!core.FollowsDelivery(target)) {
    PrintError("--confirm needs a machine name: every copy of a workgroup answers for itself");
    return kExitUsage;
  }

  EventLoopMailSlotDispatcher loop;
  TmdMailSlot utils(&loop);
  utils.SetSlot(std::string(kUtilsSlotName));
  // Only answers go to the core: this is no copy of the program and answers no query itself.
  utils.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& datagram) {
    if (SplitUtilityDatagram(datagram).command == kCmdChannelAnswer) {
      core.MSUtilsMessageAvail(datagram);
    }
  };
  if (!OpenSlot(utils, std::string(kUtilsSlotName), "Pelmora or another companion is running")) {
    return kExitNothing;
  }
  const DeliveryId id = core.StartDelivery(target, {target});
  core.QueueForDelivery(target, from, target, message, id);
  auto decided = [&] { return !host.results.empty() || transport.Failed(); };
  while (!decided() && !g_stop) {
    Pump(loop, After(0.05), decided);
    core.CheckDeadlines();
  }
  utils.SetActive(false);
  loop.Shutdown();
  if (transport.Failed()) {
    PrintError("could not send to " + o.target +
               " (nobody holds the port on this machine, or no network interface carried it)");
    return kExitNothing;
  }
  if (host.results.empty()) {
    PrintError("interrupted before " + o.target + " answered: nothing was sent");
    return kExitNothing;
  }
  const OutcomeRecorder::Result& result = host.results.front();
  PrintLine(ConfirmLine(result.target, result.outcome));
  return ConfirmExitStatus(result.outcome);
}

// Ping and query: hold "Utils" so the replies, addressed to this machine, reach us. With
// `repliers`, a ping only collects who answered (for doctor) and prints nothing.
int RunUtility(const Options& o, std::vector<std::string>* repliers = nullptr) {
  EventLoopMailSlotDispatcher loop;
  TmdMailSlot utils(&loop);
  utils.SetSlot(std::string(kUtilsSlotName));
  SeenUtilityIds seen;
  UtilityIdGenerator ids;
  const std::string own = ThisMachine().computerName;
  const std::string target = text::Utf8ToAnsi(o.target);
  const bool ping = o.command == Command::Ping;

  int replies = 0;
  bool answered = false;
  utils.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& datagram) {
    const UtilityDatagram d = SplitUtilityDatagram(datagram);
    const auto id = ParseUtilityId(d.id);
    if (!id || seen.Contains(d.sender, *id)) return;
    seen.Add(d.sender, *id);
    if (ping && d.command == kCmdIdentifying) {
      if (repliers)
        repliers->push_back(d.sender);
      else
        PrintLine(text::AnsiToUtf8(d.sender) + " " + text::AnsiToUtf8(d.argument));
      ++replies;
    } else if (!ping && d.command == kCmdChannelAnswer && !answered) {
      PrintLine(text::AnsiToUtf8(d.argument));
      answered = true;
    }
  };
  if (!OpenSlot(utils, std::string(kUtilsSlotName), "Pelmora or another companion is running")) {
    return kExitNothing;
  }
  const std::string request =
      ping ? BuildUtilityDatagram(ids.Next(), own, kCmdIdentify, target)
           : BuildUtilityDatagram(ids.Next(), own, kCmdChannelQuery, kChannelQueryArgument);
  if (!WriteSlotString(target, std::string(kUtilsSlotWrite), request)) {
    PrintError("could not send to " + o.target);
    utils.SetActive(false);
    return kExitNothing;
  }
  // A ping collects every reply until the wait ends; a query ends with its first answer.
  Pump(loop, After(o.waitSeconds), [&] { return !ping && answered; });
  utils.SetActive(false);
  loop.Shutdown();
  if (ping ? replies > 0 : answered) return kExitOk;
  if (!repliers) PrintError("no answer");
  return kExitNothing;
}

int RunListen(const Options& o) {
  EventLoopMailSlotDispatcher loop;
  TmdWinPopup winPopup(&loop);
  TmdMailSlot secure(&loop);
  TmdMailSlot utils(&loop);
  secure.SetSlot(std::string(kSecureSlotName));
  utils.SetSlot(std::string(kUtilsSlotName));
  SeenUtilityIds seen;
  UtilityIdGenerator ids;
  const std::string own = ThisMachine().computerName;
  long printed = 0;

  winPopup.OnMessage = [&](TmdCustomWinPopup&, const std::string& receiver,
                           const std::string& sender, const std::string& msg) {
    // A message of the session form (smbclient -M, net send to one machine) comes through the
    // same slot; its channel says how it came.
    PrintLine(ListenLine(winPopup.DispatchingSessionMessage() ? "session" : "messenger", sender,
                         receiver, msg));
    ++printed;
  };
  secure.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& datagram) {
    const SecureDatagram d = SplitSecureDatagram(datagram);
    PrintLine(ListenLine("secure", d.sender, d.label, d.text));
    ++printed;
  };
  // With --utils the companion answers channel queries like the program: "YES" while it holds
  // the messenger slot, so a sender picks the messenger channel at once instead of waiting.
  utils.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& datagram) {
    const UtilityDatagram d = SplitUtilityDatagram(datagram);
    const auto id = ParseUtilityId(d.id);
    if (!id || seen.Contains(d.sender, *id)) return;
    seen.Add(d.sender, *id);
    if (d.command == kCmdChannelQuery) {
      WriteSlotString(d.sender, std::string(kUtilsSlotWrite),
                      BuildUtilityDatagram(ids.Next(), own, kCmdChannelAnswer,
                                           winPopup.Active() ? "YES" : "NO"));
    }
  };

  if (!OpenSlot(winPopup, kMessengerSlot, "the system's messenger or Pelmora holds it")) {
    return kExitNothing;
  }
  if (o.secure && !OpenSlot(secure, std::string(kSecureSlotName), "Pelmora is running")) {
    return kExitNothing;
  }
  if (o.utils && !OpenSlot(utils, std::string(kUtilsSlotName), "Pelmora is running")) {
    return kExitNothing;
  }
  // On stderr, so that stdout carries nothing but messages: scripts wait for this line.
  std::fprintf(stderr, "pelmora-cli: listening\n");
  std::fflush(stderr);
  const auto until = o.timeoutSeconds ? After(*o.timeoutSeconds) : Clock::time_point::max();
  Pump(loop, until, [&] { return o.count && printed >= *o.count; });
  // What the slots had to drop because this listener fell behind by more than their memory cap
  // (a stalled pipe on stdout, say): on stderr, like the other notes, and always, so a script
  // can tell "nothing lost" from "not counted".
  const std::uint64_t dropped =
      winPopup.DroppedCount() + secure.DroppedCount() + utils.DroppedCount();
  std::fprintf(stderr, "pelmora-cli: %llu datagrams dropped (slot full)\n",
               static_cast<unsigned long long>(dropped));
  std::fflush(stderr);
  utils.SetActive(false);
  secure.SetActive(false);
  winPopup.SetActive(false);
  loop.Shutdown();
  if (g_stop) return kExitOk;
  if (o.count ? printed >= *o.count : printed > 0) return kExitOk;
  PrintError(printed == 0 ? "nothing arrived" : "fewer messages arrived than --count asked");
  return kExitNothing;
}

// Prints what it found about this machine; exit 0 when it can send and receive (and, with a
// NAME, when NAME answered a ping).
int RunDoctor(const Options& o) {
  doctor::Report report = doctor::Examine();
  if (!o.target.empty()) {
    doctor::NameProbe probe;
    probe.name = o.target;
    Options ping = o;
    ping.command = Command::Ping;
    ping.waitSeconds = 1.5;
    std::vector<std::string> repliers;
    if (!platform::ConnectLocalSlot(std::string(kUtilsSlotName))) {
      RunUtility(ping, &repliers);
    } else {
      probe.notPinged = "\"Utils\" is taken on this machine (a running Pelmora); end it to ping";
    }
    // The receiver of this process learnt where each answer came from.
    for (const std::string& name : repliers) {
      const auto far = platform::FarSourceOf(name);
      probe.replies.push_back({text::AnsiToUtf8(name), far ? Ipv4Text(*far) : std::string()});
    }
    report.probe = probe;
  }
  const doctor::Verdict verdict = doctor::Judge(report);
  const std::string text = doctor::FormatReport(report, verdict);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return verdict.canSend && verdict.canReceive && verdict.canReachName ? kExitOk : kExitNothing;
}

}  // namespace
}  // namespace pelmora::cli

int main(int argc, char** argv) {
  using namespace pelmora::cli;
  const std::vector<std::string> args = Utf8Arguments(argc, argv);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    std::fputs(HelpText().c_str(), stdout);
    return kExitOk;
  }
  const ParseResult parsed = ParseArguments(args);
  if (!parsed.options) {
    std::fprintf(stderr, "pelmora-cli: %s; %s\n", parsed.error.c_str(), UsageLine().c_str());
    return kExitUsage;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  try {
    switch (parsed.options->command) {
      case Command::Send:
        return RunSend(*parsed.options);
      case Command::Ping:
      case Command::Query:
        return RunUtility(*parsed.options);
      case Command::Listen:
        return RunListen(*parsed.options);
      case Command::Doctor:
        return RunDoctor(*parsed.options);
    }
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kExitNothing;
  }
  return kExitUsage;
}
