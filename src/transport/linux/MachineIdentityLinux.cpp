// Where this machine's identity comes from on Linux: the host name, the machine configuration
// file (or the one PELMORA_MACHINE_CONF names) and Samba's configuration.

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "transport/MachineIdentity.h"

namespace pelmora {
namespace {

// The whole file, or nothing when it cannot be read. The configuration files are small; a
// larger one is not ours, so it is read only up to kLargestConfigFile.
constexpr std::size_t kLargestConfigFile = 1 << 20;

std::optional<std::string> ReadSmallFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string content(kLargestConfigFile, '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<std::size_t>(in.gcount()));
  return content;
}

}  // namespace

MachineIdentity LoadMachineIdentity() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  const char* confPath = std::getenv(kMachineConfVariable);
  if (confPath == nullptr || *confPath == '\0') confPath = kMachineConfPath;
  return MakeMachineIdentity(host, ReadSmallFile(confPath), ReadSmallFile(kSambaConfPath));
}

}  // namespace pelmora
