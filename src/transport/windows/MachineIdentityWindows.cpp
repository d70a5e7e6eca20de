// Where this machine's identity comes from on Windows: the computer name, the machine
// configuration file beside the program or in %ProgramData%\Pelmora (the same file as
// /etc/pelmora.conf on Linux, or the one PELMORA_MACHINE_CONF names), and the machine keys.

#include <windows.h>

#include <cstdlib>

#include "text/CodePage.h"
#include "transport/MachineIdentity.h"

namespace pelmora {
namespace {

// A string value under HKEY_LOCAL_MACHINE; empty when the key or the value is missing. Only
// read: an ordinary user may not create keys there.
std::string MachineKeyValue(const char* key, const char* value) {
  HKEY h;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return {};
  char buffer[256] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  const LONG r = RegQueryValueExA(h, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(h);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  return std::string(buffer);  // up to the first zero byte
}

std::string ProgramFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string s(path, n);
  const auto slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

}  // namespace

std::string MachineConfPath() {
  if (const char* named = std::getenv(kMachineConfVariable); named != nullptr && *named != '\0')
    return named;
  const std::string beside = ProgramFolder() + "pelmora.conf";
  if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  const char* programData = std::getenv("ProgramData");
  return std::string(programData != nullptr && *programData != '\0' ? programData
                                                                    : "C:\\ProgramData") +
         "\\Pelmora\\pelmora.conf";
}

MachineIdentity LoadMachineIdentity() {
  char name[256] = {};
  DWORD size = sizeof name;
  std::string computerName = GetComputerNameA(name, &size) ? std::string(name) : std::string();
  if (computerName.empty())
    computerName = MachineKeyValue("System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                                   "ComputerName");
  const std::optional<std::string> conf = ReadConfigFile(MachineConfPath());
  // The computer name is ANSI text, not UTF-8; the file is read as on Linux.
  MachineIdentity id = MakeMachineIdentity(text::AnsiToUtf8(computerName), conf, std::nullopt);

  const auto configured = [&](const char* key) {
    const auto v = conf ? IniValue(*conf, "RED", key) : std::nullopt;
    return v && !v->empty();
  };
  if (!configured("GRUPO_TRABAJO")) {
    const std::string workgroup =
        MachineKeyValue("System\\CurrentControlSet\\Services\\VxD\\VNETSUP", "Workgroup");
    if (!workgroup.empty()) id.workgroup = text::UpperAscii(workgroup);
  }
  if (!configured("OEM")) {
    // The console code page of this Windows, when the messenger datagram can use it.
    text::OemCodePage cp;
    if (text::OemCodePageFromNumber(static_cast<int>(GetOEMCP()), cp)) id.oem = cp;
  }
  return id;
}

}  // namespace pelmora
