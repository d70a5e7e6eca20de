// A headless copy of the program for the test LAN: the messaging core on the three real
// endpoints, with a window that prints what it is asked to show. The companion's ping and query
// are checked against it.
//
//   cli_core_peer [--no-messenger] [--master] [--timeout SECONDS] [--send TARGET TEXT]
//
// Prints "ready" once its slots are open, then one line per conversation entry:
// "line<TAB>first<TAB>second<TAB>text<TAB>palette" (UTF-8). --no-messenger leaves "messngr" to
// somebody else, so channel queries are answered "NO". --send queues one message after start.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "messaging/MessagingCore.h"
#include "messaging/SlotTransport.h"
#include "text/CodePage.h"
#include "transport/MachineIdentity.h"
#include "transport/MailSlot.h"
#include "transport/WinPopup.h"

namespace {

using namespace pelmora;

class PrintingHost : public MessagingHost {
 public:
  void AppendLine(const std::string& first, const std::string& second, const std::string& text,
                  int paletteIndex) override {
    std::printf("line\t%s\t%s\t%s\t%d\n", text::AnsiToUtf8(first).c_str(),
                text::AnsiToUtf8(second).c_str(), text::AnsiToUtf8(text).c_str(), paletteIndex);
    std::fflush(stdout);
  }
  void NotifyArrival(std::string& sender, const std::string&, const std::string&, int) override {
    sender = text::UpperAscii(sender);
  }
  void SetStatusText(int, const std::string&) override {}
  std::string LongTimeText(DateTime) override { return {}; }
  bool GroupsTicked() override { return false; }
  int SelectedGroupIndex() override { return -1; }
  void RestNormalCompose() override {}
  void RestHardwayCompose() override {}
  void AddToOptionsNameLists(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  bool messenger = true;
  bool master = false;
  double timeout = 30.0;
  std::string sendTarget, sendText;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-messenger") {
      messenger = false;
    } else if (a == "--master") {
      master = true;
    } else if (a == "--timeout" && i + 1 < argc) {
      timeout = std::atof(argv[++i]);
    } else if (a == "--send" && i + 2 < argc) {
      sendTarget = text::Utf8ToAnsi(argv[++i]);
      sendText = text::Utf8ToAnsi(argv[++i]);
    } else {
      std::fprintf(stderr, "cli_core_peer: bad argument %s\n", a.c_str());
      return 2;
    }
  }

  EventLoopMailSlotDispatcher loop;
  TmdWinPopup winPopup(&loop);
  TmdMailSlot secure(&loop);
  TmdMailSlot utils(&loop);
  secure.SetSlot("seguro");
  utils.SetSlot("Utils");

  Variables vars;
  vars.OwnName = ThisMachine().computerName;
  vars.WorkgroupName = ThisMachine().workgroup;
  vars.OptMaster = master;
  vars.Destination = vars.Text(kRowNinguno);
  PrintingHost host;
  MailSlotTransport transport(winPopup);
  SystemClock clock;
  MessagingCore core(vars, host, transport, clock);
  ConnectEndpoints(core, winPopup, secure, utils);
  try {
    if (messenger) winPopup.SetActive(true);
    secure.SetActive(true);
    utils.SetActive(true);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cli_core_peer: %s\n", e.what());
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  if (!sendTarget.empty()) {
    vars.Destination = sendTarget;
    core.MTextoKeyPress(MessagingCore::kKeyEnter, sendText);
  }

  using Steady = std::chrono::steady_clock;
  const auto end =
      Steady::now() + std::chrono::milliseconds(static_cast<long long>(timeout * 1000));
  auto nextTick = Steady::now() + std::chrono::milliseconds(200);
  while (Steady::now() < end) {
    loop.WaitAndProcess(20);
    if (Steady::now() >= nextTick) {
      core.TimerTimer();
      nextTick += std::chrono::milliseconds(200);
    }
  }
  utils.SetActive(false);
  secure.SetActive(false);
  winPopup.SetActive(false);
  loop.Shutdown();
  return 0;
}
