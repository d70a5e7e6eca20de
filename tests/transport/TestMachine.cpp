#include "TestMachine.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace pelmora::testing {
namespace {

// Runs during static initialisation, while the process has a single thread (unshare of the
// network namespace needs that with a user namespace).
std::string g_confPath;

void RemoveConf() { std::remove(g_confPath.c_str()); }

bool SetUpTestMachine() {
  std::string& path = g_confPath;
  path = "/tmp/pelmora-transport-test-" + std::to_string(getpid()) + ".conf";
  if (FILE* f = std::fopen(path.c_str(), "w")) {
    std::fputs("[RED]\nGRUPO_TRABAJO = pruebas\nPUERTO = 13139\nOEM = 850\n", f);
    std::fclose(f);
    setenv("PELMORA_MACHINE_CONF", path.c_str(), 1);
    std::atexit(RemoveConf);
  }
  if (unshare(CLONE_NEWNET) == 0) return true;
  return unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0;
}

const bool g_isolated = SetUpTestMachine();

}  // namespace

bool NetworkIsolated() { return g_isolated; }

bool LoopbackUp() {
  if (!g_isolated) return false;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (up && !(request.ifr_flags & IFF_UP)) {
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  close(fd);
  return up;
}

}  // namespace pelmora::testing
