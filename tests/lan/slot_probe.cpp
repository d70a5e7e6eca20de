// A small program for the tests on the test LAN: it holds slots and prints what arrives, writes
// datagrams, and sends raw UDP datagrams to the carrier's port.
//
//   slot_probe hold [--count N] [--timeout-ms T] [--stall-ms S [--stalled SLOT]] SLOT...
//                      prints READY, then per datagram "GOT <slot> <length> <payload>" (bytes
//                      outside 0x21..0x7E as \xNN), at the end "DROPPED <n>" (what the slots
//                      dropped above their memory cap) and "DONE <n>". With --stall-ms the reader
//                      of SLOT (of every slot without --stalled) takes nothing for S ms.
//   slot_probe flood SERVER SLOT N [--garbage-per K ADDRESS PORT]
//                      writes N datagrams "000000".."N-1" as fast as it can (and K datagrams of
//                      random bytes to ADDRESS:PORT after each); prints "SENT n FAILED f RATE r"
//   slot_probe write SERVER SLOT TEXT           prints true/false, exits 0/1
//   slot_probe frame SOURCE DEST SLOT TEXT      prints a frame as hex (as a writer builds it)
//   slot_probe raw ADDRESS PORT HEX             sends HEX as one UDP datagram (broadcast allowed)
//   slot_probe identity                         prints computer name, workgroup and port

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "transport/MachineIdentity.h"
#include "transport/MailSlot.h"
#include "transport/NetbiosFrame.h"

using namespace pelmora;

namespace {

std::string Escape(const std::uint8_t* d, std::uint32_t n) {
  std::string out;
  char hex[8];
  for (std::uint32_t i = 0; i < n; ++i) {
    if (d[i] > 0x20 && d[i] < 0x7F && d[i] != '\\') {
      out.push_back(static_cast<char>(d[i]));
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", d[i]);
      out += hex;
    }
  }
  return out;
}

int Hold(int argc, char** argv) {
  long count = -1, timeoutMs = 30000, stallMs = 0;
  std::string stalledSlot;
  std::vector<std::string> slots;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--count" && i + 1 < argc)
      count = std::atol(argv[++i]);
    else if (a == "--timeout-ms" && i + 1 < argc)
      timeoutMs = std::atol(argv[++i]);
    else if (a == "--stall-ms" && i + 1 < argc)
      stallMs = std::atol(argv[++i]);
    else if (a == "--stalled" && i + 1 < argc)
      stalledSlot = argv[++i];
    else
      slots.push_back(a);
  }
  // The stalled slots hand their datagrams to a loop nobody runs until the stall is over.
  EventLoopMailSlotDispatcher loop, stalledLoop;
  std::vector<std::unique_ptr<TmdMailSlot>> endpoints;
  long got = 0;
  for (const std::string& name : slots) {
    const bool stalled = stallMs > 0 && (stalledSlot.empty() || stalledSlot == name);
    auto s = std::make_unique<TmdMailSlot>(stalled ? &stalledLoop : &loop);
    s->SetSlot(name);
    s->OnBinMessageAvail = [&got](TmdCustomMailSlot& e, const std::uint8_t* d, std::uint32_t n) {
      std::printf("GOT %s %u %s\n", e.Slot().c_str(), n, Escape(d, n).c_str());
      std::fflush(stdout);
      ++got;
    };
    try {
      s->SetActive(true);
    } catch (const EmdMailSlot& e) {
      std::printf("ERROR %s %s\n", name.c_str(), e.what());
      std::fflush(stdout);
      return 3;
    }
    endpoints.push_back(std::move(s));
  }
  std::printf("READY\n");
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  const auto stallEnd = start + std::chrono::milliseconds(stallMs);
  while ((count < 0 || got < count) && std::chrono::steady_clock::now() < deadline) {
    if (std::chrono::steady_clock::now() < stallEnd) {
      loop.WaitAndProcess(20);
    } else {
      // Each hand-off brings one datagram; wait on the loop that has the backlog.
      stalledLoop.WaitAndProcess(1);
      loop.ProcessPending();
    }
  }
  std::uint64_t dropped = 0;
  for (const auto& e : endpoints) dropped += e->DroppedCount();
  std::printf("DROPPED %llu\n", static_cast<unsigned long long>(dropped));
  std::printf("DONE %ld\n", got);
  std::fflush(stdout);
  return 0;
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
  return out;
}

int Raw(const char* address, const char* port, const std::string& hex) {
  const std::vector<std::uint8_t> bytes = FromHex(hex);
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(std::atoi(port)));
  if (inet_pton(AF_INET, address, &to.sin_addr) != 1) return 2;
  const ssize_t n =
      sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  close(fd);
  return n == static_cast<ssize_t>(bytes.size()) ? 0 : 1;
}

int Flood(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string server = argv[0], slot = argv[1];
  const long n = std::atol(argv[2]);
  long garbagePer = 0;
  sockaddr_in to{};
  if (argc == 7 && std::string(argv[3]) == "--garbage-per") {
    garbagePer = std::atol(argv[4]);
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[6])));
    if (inet_pton(AF_INET, argv[5], &to.sin_addr) != 1) return 2;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  std::uint32_t seed = static_cast<std::uint32_t>(getpid());
  std::vector<std::uint8_t> junk(1500);
  long failed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < n; ++i) {
    char text[24];
    std::snprintf(text, sizeof text, "%06ld", i);
    if (!WriteSlotString(server, slot, text)) ++failed;
    for (long k = 0; k < garbagePer; ++k) {
      // Lengths from 0 to 1499, bytes from a small generator: cheap and never the same twice.
      seed = seed * 1103515245u + 12345u;
      const std::size_t len = (seed >> 8) % junk.size();
      for (std::size_t j = 0; j < len; ++j) {
        seed = seed * 1103515245u + 12345u;
        junk[j] = static_cast<std::uint8_t>(seed >> 24);
      }
      sendto(fd, junk.data(), len, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  close(fd);
  std::printf("SENT %ld FAILED %ld RATE %.0f\n", n - failed, failed,
              seconds > 0 ? n / seconds : 0.0);
  return failed == 0 ? 0 : 1;
}

int Frame(const char* source, const char* dest, const char* slot, const char* text) {
  MailslotFrame f;
  f.sourceName = NetbiosNameOf(source);
  f.destinationName = NetbiosNameOf(dest);
  f.mailslotPath = std::string(kMailslotPrefix) + slot;
  f.payload = text;
  for (std::uint8_t b : BuildMailslotFrame(f)) std::printf("%02X", b);
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "hold") return Hold(argc - 2, argv + 2);
  if (cmd == "write" && argc == 5) {
    const bool ok = WriteSlotString(argv[2], argv[3], argv[4]);
    std::printf("%s\n", ok ? "true" : "false");
    return ok ? 0 : 1;
  }
  if (cmd == "flood") return Flood(argc - 2, argv + 2);
  if (cmd == "frame" && argc == 6) return Frame(argv[2], argv[3], argv[4], argv[5]);
  if (cmd == "raw" && argc == 5) return Raw(argv[2], argv[3], argv[4]);
  if (cmd == "identity") {
    const MachineIdentity& me = ThisMachine();
    std::printf("%s %s %u\n", me.computerName.c_str(), me.workgroup.c_str(), me.port);
    return 0;
  }
  std::fprintf(stderr, "usage: slot_probe hold|write|flood|frame|raw|identity ...\n");
  return 2;
}
