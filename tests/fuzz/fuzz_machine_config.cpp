// The machine configuration (and Samba's, read the same way): any text, as the files may hold.
// The identity made from it must keep its promises: a computer name of at most 15 characters,
// a workgroup that is never empty and is upper case, a port that is never 0.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/CodePage.h"
#include "transport/MachineIdentity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora;
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The host name is taken from the input too, up to its first line break.
  const std::string host = text.substr(0, text.find('\n'));
  const MachineIdentity a = MakeMachineIdentity(host, text, std::nullopt);
  const MachineIdentity b = MakeMachineIdentity(host, std::nullopt, text);
  for (const MachineIdentity& id : {a, b}) {
    if (id.workgroup.empty() || id.port == 0 || id.computerName.size() > 15) std::abort();
    if (text::UpperAscii(id.workgroup) != id.workgroup) std::abort();
  }
  (void)IniValue(text, "RED", "PUERTO");
  return 0;
}
