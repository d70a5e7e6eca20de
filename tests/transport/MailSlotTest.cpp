#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestMachine.h"
#include "transport/MachineIdentity.h"
#include "transport/MailSlot.h"
#include "transport/SlotPlatform.h"

namespace pelmora {
namespace {

std::string Unique(const std::string& base) {
  static int n = 0;
  return base + std::to_string(getpid()) + "x" + std::to_string(++n);
}

std::string RaisedText(const std::function<void()>& f) {
  try {
    f();
  } catch (const EmdMailSlot& e) {
    return e.what();
  }
  return "(nothing raised)";
}

class Endpoint : public ::testing::Test {
 protected:
  Endpoint() : slot(&loop) {
    slot.OnMessageAvail = [this](TmdCustomMailSlot&, const std::string& m) { texts.push_back(m); };
    slot.OnBinMessageAvail = [this](TmdCustomMailSlot&, const std::uint8_t* d, std::uint32_t n) {
      binaries.emplace_back(reinterpret_cast<const char*>(d), n);
      EXPECT_EQ(d[n], 0) << "the block ends with one zero byte";
    };
  }
  bool PumpFor(std::size_t count) {
    return testing::PumpUntil([this] { loop.WaitAndProcess(20); },
                              [&] { return binaries.size() >= count; });
  }
  EventLoopMailSlotDispatcher loop;
  TmdMailSlot slot;
  std::vector<std::string> texts;
  std::vector<std::string> binaries;
};

TEST(MailSlotNames, DefaultsAfterConstruction) {
  TmdMailSlot s;
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(s.Handle(), nullptr);
  EXPECT_EQ(s.Slot(), "mdMailSlot1");
  EXPECT_EQ(s.Server(), ".");
  EXPECT_EQ(s.MaxSize(), 0);
  EXPECT_FALSE(s.SlotNameSet());
}

TEST(MailSlotNames, CaseOnlyChangeOfSlotChangesNothing) {
  TmdMailSlot s;
  s.SetSlot("MDMAILSLOT1");
  EXPECT_EQ(s.Slot(), "mdMailSlot1");
  EXPECT_FALSE(s.SlotNameSet());
  s.SetSlot("seguro");
  EXPECT_TRUE(s.SlotNameSet());
  s.SetSlot("SEGURO");
  EXPECT_EQ(s.Slot(), "seguro");
}

TEST(MailSlotNames, RenamingFollowsOnlyAnUnassignedSlot) {
  TmdMailSlot s;
  s.SetName("MSUtils");
  EXPECT_EQ(s.Name(), "MSUtils");
  EXPECT_EQ(s.Slot(), "MSUtils");
  EXPECT_FALSE(s.SlotNameSet());
  s.SetSlot("Utils");
  s.SetName("Other");
  EXPECT_EQ(s.Slot(), "Utils");
}

TEST(MailSlotNames, CaseOnlyChangeOfServerChangesNothing) {
  TmdMailSlot s;
  const std::string me = ThisMachine().computerName;
  s.SetServer(me);
  s.SetServer(text::LowerAscii(me));
  EXPECT_EQ(s.Server(), me);
}

TEST_F(Endpoint, OpenFailuresRaiseTheFixedTextsAndLeaveItInactive) {
  const std::string name = Unique("held");
  slot.SetSlot(name);
  slot.SetActive(true);
  ASSERT_TRUE(slot.Active());

  TmdMailSlot second(&loop);
  second.SetSlot(text::UpperAscii(name));  // slot names ignore letter case
  EXPECT_EQ(RaisedText([&] { second.SetActive(true); }), "Mailslot already exists");
  EXPECT_FALSE(second.Active());
  EXPECT_EQ(second.Handle(), nullptr);

  for (const std::string& bad :
       {std::string(), std::string("a/b"), std::string("a\\b"), std::string(200, 'n')}) {
    TmdMailSlot s(&loop);
    s.SetSlot(bad);
    EXPECT_EQ(RaisedText([&] { s.Open(); }), "Bad mailslot name") << bad;
    EXPECT_FALSE(s.Active());
  }
  TmdMailSlot remote(&loop);
  remote.SetSlot(Unique("remote"));
  remote.SetServer("SOMEOTHERPC");
  EXPECT_EQ(RaisedText([&] { remote.Open(); }), "Bad mailslot name");

  // Closing frees the name for the next holder.
  slot.SetActive(false);
  EXPECT_NO_THROW(second.SetActive(true));
  EXPECT_TRUE(second.Active());
}

TEST_F(Endpoint, QueriesOnAnInactiveEndpointRaise) {
  MailSlotBuffer buffer;
  EXPECT_EQ(RaisedText([&] { slot.CheckMessages(); }), "Not active");
  EXPECT_EQ(RaisedText([&] { slot.ReadMessage(buffer); }), "Not active");
  EXPECT_NO_THROW(slot.ReadAndDispatch());  // swallowed
  slot.SetSlot(Unique("q"));
  slot.SetActive(true);
  slot.CheckMessages();
  EXPECT_EQ(slot.MessageCount(), 0u);
  EXPECT_EQ(RaisedText([&] { slot.ReadMessage(buffer); }), "No messages waiting");
}

TEST_F(Endpoint, DeliversTextUpToTheFirstZeroAndAllBytesToTheBinaryEvent) {
  slot.SetSlot(Unique("data"));
  slot.SetActive(true);
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), "hola"));
  EXPECT_TRUE(WriteSlotString(".", text::UpperAscii(slot.Slot()), std::string("ab\0cd", 5)));
  EXPECT_TRUE(WriteSlotString(ThisMachine().computerName, slot.Slot(), ""));
  ASSERT_TRUE(PumpFor(3));
  EXPECT_EQ(texts, (std::vector<std::string>{"hola", "ab", ""}));
  EXPECT_EQ(binaries, (std::vector<std::string>{"hola", std::string("ab\0cd", 5), ""}));
}

TEST_F(Endpoint, CheckMessagesReportsTheNextSize) {
  slot.SetSlot(Unique("size"));
  slot.SetActive(true);
  // Nobody pumps the loop, so the datagram stays waiting.
  ASSERT_TRUE(WriteSlotString(".", slot.Slot(), "12345"));
  // The carrier hands a local write to the slot's queue on a thread of its own (on Windows it is
  // in neither the mailslot nor the queue for a moment): look again until it is there.
  for (int i = 0; i < 500; ++i) {
    slot.CheckMessages();
    if (slot.MessageCount() != 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(slot.MessageCount(), 1u);
  EXPECT_EQ(slot.NextSize(), 5u);
  ASSERT_TRUE(PumpFor(1));
  slot.CheckMessages();
  EXPECT_EQ(slot.MessageCount(), 0u);
}

TEST_F(Endpoint, AHandlerThatRaisesDropsOnlyItsDatagram) {
  slot.SetSlot(Unique("raise"));
  int calls = 0;
  slot.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& m) {
    ++calls;
    if (m == "bad") throw std::runtime_error("handler failed");
    if (m == "worse") throw 42;
    texts.push_back(m);
  };
  slot.SetActive(true);
  for (const char* m : {"bad", "worse", "good"}) ASSERT_TRUE(WriteSlotString(".", slot.Slot(), m));
  ASSERT_TRUE(PumpFor(1));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(texts, std::vector<std::string>{"good"});
  EXPECT_EQ(binaries, std::vector<std::string>{"good"});  // not raised for the failed ones
  EXPECT_TRUE(slot.Active());
}

TEST_F(Endpoint, OversizedDatagramsAreDroppedOnce) {
  slot.SetSlot(Unique("big"));
  slot.SetActive(true);
  const std::string big(kMailSlotLargestDatagram + 1, 'b');
  const std::string largest(kMailSlotLargestDatagram, 'l');
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), big));
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), largest));
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), "after"));
  ASSERT_TRUE(PumpFor(2));
  loop.WaitAndProcess(50);
  ASSERT_EQ(binaries.size(), 2u);
  EXPECT_EQ(binaries[0].size(), largest.size());
  EXPECT_EQ(binaries[1], "after");
}

// The extremes a writer can put into a slot: 0 bytes is a datagram like any other; 65,535 bytes
// is above what an endpoint reads (65,532) and is dropped once, without holding up the next.
TEST_F(Endpoint, DatagramsOfZeroAndOfTheLargestSize) {
  slot.SetSlot(Unique("extremes"));
  slot.SetActive(true);
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), std::string(65535, '\xFF')));
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), ""));
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), std::string(65535, '\0')));
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), "fin"));
  ASSERT_TRUE(PumpFor(2));
  loop.WaitAndProcess(50);
  EXPECT_EQ(binaries, (std::vector<std::string>{"", "fin"}));
  EXPECT_EQ(slot.DroppedCount(), 0u) << "dropped for its size, not for want of room";
}

TEST_F(Endpoint, MaxSizeLimitsWhatIsDispatched) {
  slot.SetSlot(Unique("max"));
  slot.SetMaxSize(4);
  slot.SetActive(true);
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), "12345"));
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), "1234"));
  ASSERT_TRUE(PumpFor(1));
  loop.WaitAndProcess(50);
  EXPECT_EQ(binaries, std::vector<std::string>{"1234"});
}

TEST_F(Endpoint, ReactivatingLeavesExactlyOneWaitThread) {
  const int before = TmdMailSlotWaitThread::RunningCount();
  slot.SetSlot(Unique("thread"));
  slot.SetActive(true);
  EXPECT_EQ(TmdMailSlotWaitThread::RunningCount(), before + 1);
  for (int i = 0; i < 20; ++i) {
    slot.SetActive(false);
    slot.SetActive(true);
  }
  EXPECT_EQ(TmdMailSlotWaitThread::RunningCount(), before + 1);
  // Changing what the slot is reopens it, still with one thread, and it still receives.
  slot.SetSlot(Unique("thread"));
  slot.SetMaxSize(100);
  EXPECT_TRUE(slot.Active());
  EXPECT_EQ(TmdMailSlotWaitThread::RunningCount(), before + 1);
  EXPECT_TRUE(WriteSlotString(".", slot.Slot(), "still here"));
  ASSERT_TRUE(PumpFor(1));
  slot.SetActive(false);
  // The thread may still be on its way back from the hand-off it just made; then it is left to
  // end by itself, a moment later.
  EXPECT_TRUE(testing::PumpUntil(
      [] {}, [before] { return TmdMailSlotWaitThread::RunningCount() == before; }));
}

TEST_F(Endpoint, CloseWhileAHandOffWaitsDoesNotHang) {
  slot.SetSlot(Unique("pending"));
  slot.SetActive(true);
  ASSERT_TRUE(WriteSlotString(".", slot.Slot(), "queued"));
  // Let the wait thread queue its hand-off, then close without ever running it.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  slot.SetActive(false);
  loop.ProcessPending();  // the stale hand-off finds no endpoint
  EXPECT_TRUE(binaries.empty());
  ASSERT_TRUE(testing::PumpUntil([] {}, [] { return TmdMailSlotWaitThread::RunningCount() == 0; }));
}

TEST_F(Endpoint, AHandlerMayCloseOrReopenItsOwnEndpoint) {
  const std::string first = Unique("self"), second = Unique("self");
  slot.SetSlot(first);
  slot.OnMessageAvail = [&](TmdCustomMailSlot& s, const std::string& m) {
    texts.push_back(m);
    if (m == "move") s.SetSlot(second);
    if (m == "stop") s.SetActive(false);
  };
  slot.SetActive(true);
  ASSERT_TRUE(WriteSlotString(".", first, "move"));
  ASSERT_TRUE(PumpFor(1));
  EXPECT_TRUE(slot.Active());
  EXPECT_FALSE(WriteSlotString(".", first, "gone"));
  ASSERT_TRUE(WriteSlotString(".", second, "stop"));
  ASSERT_TRUE(PumpFor(2));
  EXPECT_FALSE(slot.Active());
  EXPECT_EQ(texts, (std::vector<std::string>{"move", "stop"}));
  ASSERT_TRUE(testing::PumpUntil([&] { loop.WaitAndProcess(10); },
                                 [] { return TmdMailSlotWaitThread::RunningCount() == 0; }));
}

TEST_F(Endpoint, OpenAndCloseEventsAndDestructionWhileActive) {
  int opened = 0, closed = 0;
  {
    EventLoopMailSlotDispatcher own;
    TmdMailSlot s(&own);
    s.OnOpen = [&](TmdCustomMailSlot&) { ++opened; };
    s.OnClose = [&](TmdCustomMailSlot&) { ++closed; };
    s.SetSlot(Unique("ev"));
    s.SetActive(true);
    s.SetActive(true);  // already active: nothing happens
    EXPECT_EQ(opened, 1);
    s.SetMaxSize(10);  // reopens
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(closed, 1);
    ASSERT_TRUE(WriteSlotString(".", s.Slot(), "left waiting"));
  }  // destroyed while active and with a datagram waiting, then its dispatcher
  EXPECT_EQ(closed, 2);
  ASSERT_TRUE(testing::PumpUntil([] {}, [] { return TmdMailSlotWaitThread::RunningCount() == 0; }));
}

TEST_F(Endpoint, DirectDispatcherRunsHandlersOnTheWaitThread) {
  DirectMailSlotDispatcher direct;
  TmdMailSlot s(&direct);
  std::atomic<int> got{0};
  std::thread::id handlerThread;
  s.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string&) {
    handlerThread = std::this_thread::get_id();
    ++got;
  };
  s.SetSlot(Unique("direct"));
  s.SetActive(true);
  ASSERT_TRUE(WriteSlotString(".", s.Slot(), "x"));
  ASSERT_TRUE(testing::PumpUntil([] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); },
                                 [&] { return got.load() == 1; }));
  EXPECT_NE(handlerThread, std::this_thread::get_id());
  s.SetActive(false);
}

TEST_F(Endpoint, AnIdleEndpointUsesNoProcessorTime) {
  slot.SetSlot(Unique("idle"));
  slot.SetActive(true);
  timespec a{}, b{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
  const double used = (b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) / 1e9;
  EXPECT_LT(used, 0.05);
}

// A dispatcher that stops running calls (one shutting down) must not turn a waiting datagram
// into a busy loop of the wait thread.
TEST_F(Endpoint, ADispatcherThatDropsCallsCausesNoBusyLoop) {
  slot.SetSlot(Unique("dropped"));
  slot.SetActive(true);
  loop.Shutdown();
  ASSERT_TRUE(WriteSlotString(".", slot.Slot(), "never handled"));
  timespec a{}, b{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
  EXPECT_LT((b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) / 1e9, 0.25);
  slot.SetActive(false);
  EXPECT_TRUE(binaries.empty());
}

TEST(SlotWriters, LocalWriteToAnUnheldSlotIsFalse) {
  EXPECT_FALSE(WriteSlotString(".", "nobody-holds-this-slot", "x"));
  EXPECT_FALSE(WriteSlotString(".", "", "x"));
  EXPECT_FALSE(WriteSlotString(".", "bad/name", "x"));
  EXPECT_FALSE(OpenSlotForWrite(".", "nobody-holds-this-slot").Valid());
  EXPECT_FALSE(WriteSlot(".", "x", nullptr, 3));
}

TEST(SlotWriters, TargetsThatAreNoNetbiosNameAreFalse) {
  EXPECT_FALSE(WriteSlotString("", "Utils", "x"));
  EXPECT_FALSE(WriteSlotString("who?", "Utils", "x"));
  EXPECT_FALSE(WriteSlotString("a\\b", "Utils", "x"));
  EXPECT_FALSE(OpenSlotForWrite("   ", "Utils").Valid());
}

// In a namespace of its own the process has no interface that can broadcast: nothing can leave.
TEST(SlotWriters, AWriteThatCannotLeaveTheMachineIsFalse) {
  if (!testing::NetworkIsolated()) GTEST_SKIP() << "no network namespace of our own";
  EXPECT_FALSE(WriteSlotString("NOSUCHMACHINE", "Utils", "x"));
  EXPECT_TRUE(OpenSlotForWrite("NOSUCHMACHINE", "Utils").Valid());
}

TEST(SlotWriters, AWriteToTheWorkgroupReachesThisMachineToo) {
  if (!testing::NetworkIsolated()) GTEST_SKIP() << "no network namespace of our own";
  EventLoopMailSlotDispatcher loop;
  TmdMailSlot s(&loop);
  std::vector<std::string> got;
  s.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& m) { got.push_back(m); };
  s.SetSlot(Unique("group"));
  s.SetActive(true);
  EXPECT_EQ(ThisMachine().workgroup, testing::kTestWorkgroup);
  EXPECT_TRUE(WriteSlotString("pruebas", s.Slot(), "to all"));
  ASSERT_TRUE(testing::PumpUntil([&] { loop.WaitAndProcess(20); }, [&] { return !got.empty(); }));
  EXPECT_EQ(got, std::vector<std::string>{"to all"});
  s.SetActive(false);
  EXPECT_FALSE(WriteSlotString("PRUEBAS", s.Slot(), "nobody here, nothing leaves"));
}

// A reader that does not read (the GUI thread busy, a listener writing to a stalled pipe) must
// neither make writers wait nor lose what they wrote: the slot keeps every datagram, in order,
// until it is read. The socket alone holds only 10.
TEST(SlotBuffering, AStalledReaderLosesNothingAndNoWriterWaits) {
  EventLoopMailSlotDispatcher loop;  // not pumped until every write is done
  TmdMailSlot s(&loop);
  s.SetSlot(Unique("stalled"));
  std::vector<std::string> got;
  s.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& m) { got.push_back(m); };
  s.SetActive(true);
  constexpr int kWrites = 3000;
  // A writer that waited for the reader would wait for ever here: the loop is pumped only after.
  // How long a write takes is bench/transport's stall_bench figure.
  for (int i = 0; i < kWrites; ++i) {
    ASSERT_TRUE(WriteSlotString(".", s.Slot(), std::to_string(i))) << "write " << i;
  }
  ASSERT_TRUE(testing::PumpUntil([&] { loop.WaitAndProcess(20); },
                                 [&] { return got.size() >= kWrites; }, 20000));
  for (int i = 0; i < kWrites; ++i) ASSERT_EQ(got[static_cast<std::size_t>(i)], std::to_string(i));
  EXPECT_EQ(s.DroppedCount(), 0u);
  s.SetActive(false);
}

TEST(SlotBuffering, CountsWhatIsWaitingAndDropsOnlyAboveTheCap) {
  EventLoopMailSlotDispatcher loop;
  TmdMailSlot s(&loop);
  s.SetSlot(Unique("cap"));
  std::vector<std::string> got;
  s.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& m) {
    got.push_back(m.substr(0, 8));
  };
  s.SetActive(true);
  // Datagrams of 60,000 bytes: the cap holds this many of them, and no more.
  constexpr std::size_t kSize = 60000;
  const std::size_t fits = platform::kSlotMemoryCap / (kSize + platform::kSlotDatagramOverhead);
  const std::size_t written = fits + 25;
  for (std::size_t i = 0; i < written; ++i) {
    char head[9];
    std::snprintf(head, sizeof head, "%08zu", i);
    std::string d(kSize, 'x');
    d.replace(0, 8, head);
    EXPECT_TRUE(WriteSlotString(".", s.Slot(), d))
        << "a datagram over the cap still left its writer";
  }
  // The drain thread may still be moving the last ones off the socket.
  ASSERT_TRUE(testing::PumpUntil([] {},
                                 [&] {
                                   s.CheckMessages();
                                   return s.MessageCount() + s.DroppedCount() == written;
                                 }));
  EXPECT_EQ(s.MessageCount(), fits);
  EXPECT_EQ(s.DroppedCount(), written - fits);
  EXPECT_EQ(s.NextSize(), kSize);
  ASSERT_TRUE(
      testing::PumpUntil([&] { loop.WaitAndProcess(20); }, [&] { return got.size() >= fits; }));
  for (std::size_t i = 0; i < fits; ++i) {
    char head[9];
    std::snprintf(head, sizeof head, "%08zu", i);
    ASSERT_EQ(got[i], head) << "the oldest are kept, in order";
  }
  // Read, the room is there again.
  ASSERT_TRUE(WriteSlotString(".", s.Slot(), "again"));
  ASSERT_TRUE(
      testing::PumpUntil([&] { loop.WaitAndProcess(20); }, [&] { return got.size() == fits + 1; }));
  EXPECT_EQ(got.back(), "again");
  s.SetActive(false);
  EXPECT_EQ(s.DroppedCount(), 0u) << "inactive";
}

TEST(SlotBuffering, AStalledSlotNeverHoldsUpAnother) {
  EventLoopMailSlotDispatcher stalledLoop, liveLoop;
  TmdMailSlot stalled(&stalledLoop), live(&liveLoop);
  stalled.SetSlot(Unique("stuck"));
  live.SetSlot(Unique("live"));
  std::vector<std::string> got;
  live.OnMessageAvail = [&](TmdCustomMailSlot&, const std::string& m) { got.push_back(m); };
  stalled.SetActive(true);
  live.SetActive(true);
  const std::string big(60000, 's');
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(WriteSlotString(".", stalled.Slot(), big));
  ASSERT_TRUE(WriteSlotString(".", live.Slot(), "through"));
  ASSERT_TRUE(
      testing::PumpUntil([&] { liveLoop.WaitAndProcess(20); }, [&] { return !got.empty(); }, 1000));
  EXPECT_EQ(got, std::vector<std::string>{"through"});
  // Closing a slot that still holds megabytes frees the name at once.
  stalled.SetActive(false);
  stalled.SetActive(true);
  EXPECT_TRUE(stalled.Active());
}

TEST(Dispatchers, EventLoopRunsCallsOnTheOwnerThreadAndReleasesOnShutdown) {
  EventLoopMailSlotDispatcher loop;
  std::thread::id ranOn;
  std::thread waiter([&] { loop.RunAndWait([&] { ranOn = std::this_thread::get_id(); }); });
  ASSERT_TRUE(testing::PumpUntil([&] { loop.WaitAndProcess(20); },
                                 [&] { return ranOn != std::thread::id(); }));
  waiter.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  bool ran = false;
  std::thread blocked([&] { loop.RunAndWait([&] { ran = true; }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  loop.Shutdown();
  blocked.join();  // released without running
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace pelmora
