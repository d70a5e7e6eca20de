// Where this machine's identity comes from on Linux: the host name, the machine configuration
// file (or the one PELMORA_MACHINE_CONF names) and Samba's configuration.

#include <unistd.h>

#include <cstdlib>

#include "transport/MachineIdentity.h"

namespace pelmora {

std::string MachineConfPath() {
  const char* named = std::getenv(kMachineConfVariable);
  return named != nullptr && *named != '\0' ? named : kMachineConfPath;
}

MachineIdentity LoadMachineIdentity() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return MakeMachineIdentity(host, ReadConfigFile(MachineConfPath()),
                             ReadConfigFile(kSambaConfPath));
}

}  // namespace pelmora
