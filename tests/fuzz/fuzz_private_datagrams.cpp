// The secure ("seguro") and utility ("Utils") datagrams as the messaging core receives them: the
// splitters, the id parser, and the handlers behind them (duplicate filter, id list, ping and
// channel answers) with a window and a network that only count. The first input byte picks the
// channel, so one corpus covers both.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "messaging/Formats.h"
#include "messaging/MessagingCore.h"
#include "text/CodePage.h"

namespace {

using namespace pelmora;

class CountingHost : public MessagingHost {
 public:
  void AppendLine(const std::string&, const std::string&, const std::string&, int) override {}
  void NotifyArrival(std::string& sender, const std::string&, const std::string&, int) override {
    sender = text::UpperAscii(sender);
  }
  void SetStatusText(int, const std::string&) override {}
  std::string LongTimeText(DateTime) override { return "10:00:00"; }
  bool GroupsTicked() override { return false; }
  int SelectedGroupIndex() override { return -1; }
  void RestNormalCompose() override {}
  void RestHardwayCompose() override {}
  void AddToOptionsNameLists(const std::string&) override {}
};

class CountingTransport : public MessagingTransport {
 public:
  bool WriteSlotString(const std::string&, const std::string&, const std::string&) override {
    return true;
  }
  bool SendMessengerMessage(const std::string&, const std::string&, const std::string&,
                            const std::string&) override {
    return true;
  }
  bool MessengerActive() override { return true; }
};

class SteppingClock : public Clock {
 public:
  DateTime Now() override { return 46000.5 + static_cast<double>(ms_) / 86400000.0; }
  std::int64_t MonotonicMs() override { return ms_ += 300; }

 private:
  std::int64_t ms_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Variables* vars = [] {
    auto* v = new Variables;
    v->OwnName = "TEJO";
    v->WorkgroupName = "PRUEBAS";
    return v;
  }();
  static CountingHost host;
  static CountingTransport transport;
  static SteppingClock clock;
  static MessagingCore core(*vars, host, transport, clock);
  if (size == 0) return 0;
  const std::string datagram(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    const SecureDatagram d = SplitSecureDatagram(datagram);
    if (d.sender.size() + d.label.size() + d.text.size() > datagram.size()) std::abort();
    core.MailSlotMessageAvail(datagram);
  } else {
    const UtilityDatagram d = SplitUtilityDatagram(datagram);
    if (const auto id = ParseUtilityId(d.id); id && *id < 0) std::abort();
    core.MSUtilsMessageAvail(datagram);
  }
  core.TimerTimer();
  return 0;
}
