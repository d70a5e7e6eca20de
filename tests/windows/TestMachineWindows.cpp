// The Windows side of tests/transport/TestMachine.h. A Windows process cannot move itself into a
// network namespace: scripts/test-windows runs the whole Wine session inside one. Here the test
// machine gets its configuration file and checks that no interface could carry a broadcast.

// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../transport/TestMachine.h"

namespace pelmora::testing {
namespace {

std::string g_confPath;

void RemoveConf() { std::remove(g_confPath.c_str()); }

bool NoInterfaceBroadcasts() {
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer(size);
  if (GetAdaptersAddresses(AF_INET, 0, nullptr,
                           reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                           &size) != NO_ERROR)
    return false;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr;
       a = a->Next) {
    if (a->IfType != IF_TYPE_SOFTWARE_LOOPBACK && a->OperStatus == IfOperStatusUp &&
        a->FirstUnicastAddress != nullptr)
      return false;
  }
  return true;
}

bool SetUpTestMachine() {
  g_confPath = (std::filesystem::temp_directory_path() /
                ("pelmora-transport-test-" + std::to_string(_getpid()) + ".conf"))
                   .string();
  if (FILE* f = std::fopen(g_confPath.c_str(), "w")) {
    std::fputs("[RED]\nGRUPO_TRABAJO = pruebas\nPUERTO = 13139\nOEM = 850\n", f);
    std::fclose(f);
    _putenv_s("PELMORA_MACHINE_CONF", g_confPath.c_str());
    std::atexit(RemoveConf);
  }
  return NoInterfaceBroadcasts();
}

const bool g_isolated = SetUpTestMachine();

}  // namespace

bool NetworkIsolated() { return g_isolated; }

}  // namespace pelmora::testing

int gethostname(char* name, std::size_t length) {
  DWORD size = static_cast<DWORD>(length);
  return GetComputerNameA(name, &size) ? 0 : -1;
}
