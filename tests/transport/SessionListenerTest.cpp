// The session form over real TCP connections, on the loopback of the test's own network
// namespace (never on the machine's interfaces): the listener alone, and the messenger slot that
// owns it.
#ifdef __linux__

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "transport/MachineIdentity.h"
#include "transport/WinPopup.h"
#include "transport/linux/SessionListener.h"

namespace pelmora {
namespace {

using platform::SessionLimits;
using platform::SessionListener;

// How long a test waits for something that must happen; only a failure ever waits that long.
constexpr int kPatienceMs = 10000;

// One client connection to the loopback.
class Client {
 public:
  // From 127.0.0.`from`: the loopback answers for the whole 127/8, so one test has many hosts.
  explicit Client(std::uint16_t port, int from = 1)
      : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(0x7F000000u | static_cast<std::uint32_t>(from));
    bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~Client() { close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool Connected() const { return connected_; }
  // Says "no more from me", as a client does after its last request.
  void Done() { shutdown(fd_, SHUT_WR); }
  bool Send(const std::string& bytes) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  // Reads until `count` replies arrived or the server closed; the replies read.
  std::vector<SessionReply> Replies(std::size_t count) {
    std::vector<SessionReply> out;
    bool bad = false;
    while (out.size() < count) {
      while (auto r = TakeSessionReply(received_, bad)) out.push_back(*r);
      if (out.size() >= count || bad || !ReadSome()) break;
    }
    return out;
  }
  // Waits until the server closes the connection; false if it stays open for kPatienceMs.
  bool ClosedByServer() {
    while (ReadSome()) {
    }
    return closed_;
  }

 private:
  bool ReadSome() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, kPatienceMs) <= 0) return false;
    char buffer[512];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closed_ = true;
      return false;
    }
    received_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  int fd_;
  bool connected_ = false;
  bool closed_ = false;
  std::string received_;
};

class Listener : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::LoopbackUp()) GTEST_SKIP() << "no network namespace of our own";
  }
  void Start(SessionLimits limits = {}) {
    listener_ = std::make_unique<SessionListener>(
        0, "TEJO",
        [this](const SessionMessage& m, std::uint32_t) {
          std::lock_guard<std::mutex> lock(mutex_);
          taken_.push_back(m);
          return true;
        },
        limits);
    ASSERT_TRUE(listener_->Listening());
  }
  std::vector<SessionMessage> Taken() {
    std::lock_guard<std::mutex> lock(mutex_);
    return taken_;
  }
  static std::string Message(const std::string& text) {
    return BuildStartMessage("ANA", "TEJO") + BuildTextBlock(1, text) + BuildEndMessage(1);
  }

  std::mutex mutex_;
  std::vector<SessionMessage> taken_;
  std::unique_ptr<SessionListener> listener_;
};

TEST_F(Listener, SlowAndGarbageClientsDoNotStopAGoodOne) {
  Start();
  const std::uint16_t port = listener_->Port();
  // A client that stops half-way through a packet, and one that sends noise.
  Client slow(port);
  ASSERT_TRUE(slow.Send(BuildStartMessage("LENTO", "TEJO").substr(0, 20)));
  Client garbage(port);
  ASSERT_TRUE(garbage.Send(std::string("GET / HTTP/1.0\r\n\r\n")));
  EXPECT_TRUE(garbage.ClosedByServer());

  Client good(port);
  ASSERT_TRUE(good.Send(Message("hola")));
  const auto replies = good.Replies(3);
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[2].status, 0u);
  EXPECT_EQ(Taken(), (std::vector<SessionMessage>{{"ANA", "TEJO", "hola"}}));
  // The slow one is still being waited for, until its deadline.
  EXPECT_EQ(listener_->GetCounts().expired, 0u);
}

TEST_F(Listener, AStalledSessionIsDroppedAtItsDeadline) {
  SessionLimits limits;
  limits.deadlineMs = 200;
  Start(limits);
  Client stalled(listener_->Port());
  ASSERT_TRUE(stalled.Send(BuildStartMessage("LENTO", "TEJO")));
  EXPECT_EQ(stalled.Replies(1).size(), 1u);
  EXPECT_TRUE(stalled.ClosedByServer());
  EXPECT_EQ(listener_->GetCounts().expired, 1u);
  EXPECT_TRUE(Taken().empty());
}

TEST_F(Listener, ConnectionsAreCappedInAllAndPerAddress) {
  SessionLimits limits;
  limits.connections = 3;
  limits.connectionsPerAddress = 2;
  Start(limits);
  const std::uint16_t port = listener_->Port();
  // Served while there is room (a reply proves it), closed at once beyond.
  const auto served = [](Client& c) {
    return c.Send(BuildStartMessage("A", "TEJO")) && c.Replies(1).size() == 1;
  };
  Client first(port, 1), second(port, 1);
  ASSERT_TRUE(served(first));
  ASSERT_TRUE(served(second));
  Client thirdFromThere(port, 1);
  EXPECT_TRUE(thirdFromThere.ClosedByServer());
  Client fromElsewhere(port, 2);
  ASSERT_TRUE(served(fromElsewhere));
  Client oneTooMany(port, 3);
  EXPECT_TRUE(oneTooMany.ClosedByServer());
  EXPECT_EQ(listener_->GetCounts().refused, 2u);

  // When one of them has finished, there is room again.
  first.Done();
  ASSERT_TRUE(first.ClosedByServer());
  Client later(port, 3);
  EXPECT_TRUE(served(later));
}

TEST_F(Listener, MessagesFromOneAddressAreCappedPerSecond) {
  SessionLimits limits;
  limits.messagesPerSecond = 2;
  Start(limits);
  Client flood(listener_->Port());
  // Three messages in one write: the third comes within the same second and is refused.
  std::string three;
  for (const char* t : {"uno", "dos", "tres"}) {
    const std::string data = std::string(
                                 "\x04"
                                 "A\0\x04"
                                 "B\0\x01",
                                 7) +
                             static_cast<char>(std::strlen(t)) + '\0' + t;
    three += BuildSessionSmb(kSmbSendMessage, {}, data);
  }
  ASSERT_TRUE(flood.Send(three));
  const auto replies = flood.Replies(3);
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0].status, 0u);
  EXPECT_EQ(replies[1].status, 0u);
  EXPECT_NE(replies[2].status, 0u);
  EXPECT_TRUE(flood.ClosedByServer());
  ASSERT_EQ(Taken().size(), 2u);
  EXPECT_EQ(Taken()[1].text, "dos");
  EXPECT_EQ(listener_->GetCounts().overRate, 1u);
}

TEST_F(Listener, APortThatIsHeldIsNotListenedOn) {
  Start();
  SessionListener second(listener_->Port(), "TEJO", nullptr);
  EXPECT_FALSE(second.Listening());
}

// The process that holds the messenger slot hears the session form: its messages come through
// the slot's own reader, filter and event, marked as session messages.
TEST_F(Listener, TheMessengerSlotHoldsTheSessionPort) {
  const std::uint16_t port = ThisMachine().sessionPort;
  ASSERT_EQ(port, kDefaultSessionPort);
  EventLoopMailSlotDispatcher loop;
  TmdWinPopup winPopup(&loop);
  struct Arrived {
    std::string receiver, sender, text;
    bool session;
  };
  std::vector<Arrived> arrived;
  winPopup.OnMessage = [&](TmdCustomWinPopup& self, const std::string& receiver,
                           const std::string& sender, const std::string& text) {
    arrived.push_back({receiver, sender, text, self.DispatchingSessionMessage()});
  };
  {
    Client before(port);
    EXPECT_FALSE(before.Connected());  // nobody holds the slot: nobody listens
  }
  winPopup.SetTickSource([] { return 5000u; });  // all within one moment
  winPopup.SetActive(true);
  Client smbclient(port);
  ASSERT_TRUE(smbclient.Connected());
  ASSERT_TRUE(smbclient.Send(BuildStartMessage("PEPE", "TEJO") +
                             BuildTextBlock(1, "\xA8qu\x82\r\n") + BuildEndMessage(1)));
  EXPECT_EQ(smbclient.Replies(3).size(), 3u);
  ASSERT_TRUE(testing::PumpUntil([&] { loop.WaitAndProcess(50); }, [&] { return !arrived.empty(); },
                                 kPatienceMs));
  // The same message again as a written datagram (Windows sends both forms) is the datagram's
  // duplicate and is dropped; another one is raised, not marked.
  ASSERT_TRUE(WriteSlotString(".", kMessengerSlot, std::string("PEPE\0TEJO\0\xA8qu\x82", 14)));
  ASSERT_TRUE(WriteSlotString(".", kMessengerSlot, std::string("ANA\0TEJO\0luego", 14)));
  ASSERT_TRUE(testing::PumpUntil([&] { loop.WaitAndProcess(50); },
                                 [&] { return arrived.size() == 2; }, kPatienceMs));
  EXPECT_EQ(arrived[0].receiver, "TEJO");
  EXPECT_EQ(arrived[0].sender, "PEPE");
  EXPECT_EQ(arrived[0].text, "\xBFqu\xE9");
  EXPECT_TRUE(arrived[0].session);
  EXPECT_EQ(arrived[1].text, "luego");
  EXPECT_FALSE(arrived[1].session);
  EXPECT_FALSE(winPopup.DispatchingSessionMessage());

  // Giving the slot back gives the port back.
  winPopup.SetActive(false);
  Client after(port);
  EXPECT_FALSE(after.Connected());
}

}  // namespace
}  // namespace pelmora

#endif  // __linux__
