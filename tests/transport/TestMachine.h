#pragma once
// Every transport test process runs in a network namespace of its own when the system allows it,
// so a write that broadcasts can never reach a real network, and the machine identity comes from
// a configuration file of the test's own (workgroup PRUEBAS).

#include <chrono>
#include <functional>

namespace pelmora::testing {

// True when this process got its own, empty network namespace.
bool NetworkIsolated();

// Brings the namespace's loopback up (it starts down), for tests that connect to this machine
// over TCP. False outside a namespace of our own: nothing is changed on the real machine.
bool LoopbackUp();

// Calls `pump` until `done` holds or `timeoutMs` passed; returns `done()`.
inline bool PumpUntil(const std::function<void()>& pump, const std::function<bool()>& done,
                      int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pump();
  }
  return true;
}

inline constexpr const char* kTestWorkgroup = "PRUEBAS";

}  // namespace pelmora::testing
