// Figures of the mailslot transport.
//
//   transport_bench [benchmark options]    the benchmarks; the two-machine ones need
//                                          PELMORA_BENCH_PEER=<computer name of the echo machine>
//   transport_bench --echo REPLY_MACHINE   the echo side: every datagram on "benchin" goes back to
//                                          "benchout" on REPLY_MACHINE with its arrival time
//
// Both machines of a test LAN share one kernel and so one monotonic clock, which makes the time
// of one datagram from writer to handler measurable on one side.

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "transport/MailSlot.h"

using namespace pelmora;

namespace {

std::uint64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

std::string Stamp(std::uint64_t ns, std::size_t size) {
  std::string s(std::max<std::size_t>(size, 8), 'p');
  std::memcpy(s.data(), &ns, 8);
  return s;
}

std::uint64_t Unstamp(const std::uint8_t* d, std::size_t offset = 0) {
  std::uint64_t ns;
  std::memcpy(&ns, d + offset, 8);
  return ns;
}

// A writer thread floods one local endpoint; each iteration is one datagram handled.
void BM_LocalThroughput(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  EventLoopMailSlotDispatcher loop;
  TmdMailSlot slot(&loop);
  std::uint64_t handled = 0;
  slot.OnBinMessageAvail = [&](TmdCustomMailSlot&, const std::uint8_t*, std::uint32_t) {
    ++handled;
  };
  slot.SetSlot("benchlocal" + std::to_string(getpid()));
  slot.SetActive(true);
  std::atomic<bool> stop{false};
  const std::string payload(size, 'x');
  std::thread writer([&] {
    while (!stop.load()) WriteSlotString(".", slot.Slot(), payload);
  });
  for (auto _ : state) {
    const std::uint64_t before = handled;
    while (handled == before) loop.WaitAndProcess(100);
  }
  stop = true;
  slot.SetActive(false);  // a writer waiting for room gives up at once now
  writer.join();
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_LocalThroughput)->Arg(16)->Arg(512)->Arg(4096)->UseRealTime();

struct Echoed {
  std::uint64_t sent;
  std::uint64_t arrived;
};

class LanPeer {
 public:
  LanPeer() : slot_(&loop_) {
    slot_.SetSlot("benchout");
    slot_.OnBinMessageAvail = [this](TmdCustomMailSlot&, const std::uint8_t* d, std::uint32_t n) {
      if (n >= 16) echoes_.push_back({Unstamp(d), Unstamp(d, n - 8)});
    };
    slot_.SetActive(true);
  }
  // Waits up to `ms` for echoes; returns those that came.
  std::vector<Echoed> Collect(int ms) {
    echoes_.clear();
    loop_.WaitAndProcess(ms);
    return echoes_;
  }

 private:
  EventLoopMailSlotDispatcher loop_;
  TmdMailSlot slot_;
  std::vector<Echoed> echoes_;
};

const char* Peer() { return std::getenv("PELMORA_BENCH_PEER"); }

// One datagram at a time to the other machine: the time from the write to its handler there.
void BM_LanOneDatagram(benchmark::State& state) {
  if (!Peer()) {
    state.SkipWithError("PELMORA_BENCH_PEER not set (run through lan_bench.sh)");
    return;
  }
  LanPeer peer;
  std::vector<double> samples;
  for (auto _ : state) {
    const std::uint64_t t0 = NowNs();
    WriteSlotString(Peer(), "benchin", Stamp(t0, 64));
    std::vector<Echoed> got;
    for (int tries = 0; tries < 20 && got.empty(); ++tries) got = peer.Collect(50);
    for (const Echoed& e : got)
      if (e.sent == t0) samples.push_back((e.arrived - e.sent) / 1000.0);
  }
  std::sort(samples.begin(), samples.end());
  if (!samples.empty()) {
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p99_us"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    state.counters["lost"] = static_cast<double>(state.iterations() - samples.size());
  }
}
BENCHMARK(BM_LanOneDatagram)->Iterations(2000)->UseRealTime();

// A window of datagrams in flight to the other machine; each iteration is one echo back.
void BM_LanThroughput(benchmark::State& state) {
  if (!Peer()) {
    state.SkipWithError("PELMORA_BENCH_PEER not set (run through lan_bench.sh)");
    return;
  }
  const int window = static_cast<int>(state.range(0));
  LanPeer peer;
  int inFlight = 0;
  std::vector<Echoed> got;
  std::size_t next = 0;
  std::int64_t lost = 0;
  for (auto _ : state) {
    while (next >= got.size()) {
      while (inFlight < window) {
        WriteSlotString(Peer(), "benchin", Stamp(NowNs(), 64));
        ++inFlight;
      }
      got = peer.Collect(200);
      next = 0;
      if (got.empty()) {  // the window got lost on the way: start a new one
        lost += inFlight;
        inFlight = 0;
      }
      inFlight -= static_cast<int>(got.size());
    }
    ++next;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["lost"] = static_cast<double>(lost);
}
BENCHMARK(BM_LanThroughput)->Arg(1)->Arg(8)->UseRealTime()->MinTime(2.0);

int Echo(const char* replyTo) {
  EventLoopMailSlotDispatcher loop;
  TmdMailSlot slot(&loop);
  slot.SetSlot("benchin");
  const std::string reply = replyTo;
  slot.OnBinMessageAvail = [&](TmdCustomMailSlot&, const std::uint8_t* d, std::uint32_t n) {
    const std::uint64_t arrived = NowNs();
    std::string back(reinterpret_cast<const char*>(d), n);
    back.append(reinterpret_cast<const char*>(&arrived), 8);
    WriteSlotString(reply, "benchout", back);
  };
  slot.SetActive(true);
  std::printf("READY\n");
  std::fflush(stdout);
  for (;;) loop.WaitAndProcess(1000);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--echo") == 0) return Echo(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
