#pragma once
// The machine configuration file in effect on Windows: the one PELMORA_MACHINE_CONF names, else
// pelmora.conf beside the program when it is there, else %ProgramData%\Pelmora\pelmora.conf.

#include <string>

namespace pelmora {

std::string MachineConfPath();

}  // namespace pelmora
