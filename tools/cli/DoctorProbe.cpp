// The examination of this machine for pelmora-cli doctor. Everything here only reads: files, the
// interface list, /proc, the firewall tools' listings; the one socket it binds is closed again
// at once and never sends.

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "Doctor.h"
#include "text/CodePage.h"
#include "transport/MachineIdentity.h"
#include "transport/SlotPlatform.h"
#include "transport/linux/LocalSlot.h"

namespace pelmora::cli::doctor {
namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The identity as the program loads it; the files are read again, as the program reads them,
// only to say where each value came from.
MachineIdentity FillSettings(Report& r) {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  const char* env = std::getenv(kMachineConfVariable);
  const bool fromEnv = env != nullptr && *env != '\0';
  const std::string confPath = MachineConfPath();
  const auto conf = ReadConfigFile(confPath);
  const auto samba = ReadConfigFile(kSambaConfPath);
  const MachineIdentity id = LoadMachineIdentity();

  const std::string confName =
      confPath + (fromEnv ? std::string(" (named by ") + kMachineConfVariable + ")" : "");
  // The identity holds names in Windows-1252, as they travel; the report is UTF-8.
  const std::string computerName = text::AnsiToUtf8(id.computerName);
  const std::string workgroupName = text::AnsiToUtf8(id.workgroup);
  r.computerName = {computerName, "host name " + Quoted(host)};
  if (!conf) {
    r.computerName.source += "; " + confName + " does not exist or cannot be read";
  }

  const auto fromConf = [&](const char* key) -> std::optional<std::string> {
    if (!conf) return std::nullopt;
    return IniValue(*conf, "RED", key);
  };
  // Each value: from the file when the file's text gives the value in effect, else the default
  // (and then a text that was not accepted is named, so a typing error is found).
  const auto workgroup = fromConf("GRUPO_TRABAJO");
  if (workgroup && !workgroup->empty()) {
    r.workgroup = {workgroupName, confName + ", [RED] GRUPO_TRABAJO"};
  } else if (samba && IniValue(*samba, "global", "workgroup") &&
             !IniValue(*samba, "global", "workgroup")->empty()) {
    r.workgroup = {workgroupName, std::string(kSambaConfPath) + ", [global] workgroup"};
  } else {
    r.workgroup = {workgroupName, "default"};
  }
  const auto port = fromConf("PUERTO");
  if (port && *port == std::to_string(id.port)) {
    r.port = {std::to_string(id.port), confName + ", [RED] PUERTO"};
  } else {
    r.port = {std::to_string(id.port), port ? "default; [RED] PUERTO = " + Quoted(*port) + " in " +
                                                  confName + " is not a port number"
                                            : "default"};
  }
  const auto sessionPort = fromConf("PUERTO_SESION");
  if (sessionPort && *sessionPort == std::to_string(id.sessionPort)) {
    r.session.port = {std::to_string(id.sessionPort), confName + ", [RED] PUERTO_SESION"};
  } else {
    r.session.port = {std::to_string(id.sessionPort),
                      sessionPort ? "default; [RED] PUERTO_SESION = " + Quoted(*sessionPort) +
                                        " in " + confName + " is not a port number"
                                  : "default"};
  }
  const int oem = static_cast<int>(id.oem);
  const auto oemText = fromConf("OEM");
  if (oemText && *oemText == std::to_string(oem)) {
    r.oem = {std::to_string(oem), confName + ", [RED] OEM"};
  } else {
    r.oem = {std::to_string(oem), oemText ? "default; [RED] OEM = " + Quoted(*oemText) + " in " +
                                                confName + " is not 850 or 437"
                                          : "default"};
  }
  return id;
}

// Each listed address with the route the frames to it take; routing only, nothing is sent.
void FillListed(Report& r, const MachineIdentity& id) {
  r.listedRejected = id.rejectedAddresses;
  const auto routes = ReadWholeFile("/proc/net/route");
  for (const std::uint32_t address : id.extraAddresses) {
    ListedAddress l;
    l.address = Ipv4Text(address);
    for (const Interface& i : r.interfaces) {
      if (i.carries && i.broadcast == l.address) {
        l.localBroadcast = true;
        l.device = i.name;
      }
    }
    if (!l.localBroadcast && routes) {
      if (const auto route = RouteTo(*routes, address)) {
        l.device = route->device;
        if (route->gateway != 0) l.gateway = Ipv4Text(route->gateway);
      }
    }
    r.listed.push_back(l);
  }
}

// Every socket inode that a process we may look at holds, with that process.
std::map<unsigned long, Holder> SocketOwners(bool& complete) {
  std::map<unsigned long, Holder> out;
  complete = true;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) {
    complete = false;
    return out;
  }
  while (dirent* e = readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    const std::string base = std::string("/proc/") + e->d_name;
    DIR* fds = opendir((base + "/fd").c_str());
    if (fds == nullptr) {
      complete = false;
      continue;
    }
    std::string command;
    if (auto c = ReadWholeFile(base + "/comm")) {
      command = *c;
      while (!command.empty() && command.back() == '\n') command.pop_back();
    }
    while (dirent* f = readdir(fds)) {
      if (f->d_name[0] == '.') continue;
      char target[128] = {};
      const ssize_t n = readlink((base + "/fd/" + f->d_name).c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      unsigned long inode = 0;
      if (std::sscanf(target, "socket:[%lu]", &inode) == 1)
        out.emplace(inode, Holder{static_cast<int>(pid), command});
    }
    closedir(fds);
  }
  closedir(proc);
  return out;
}

std::vector<Holder> HoldersOf(const std::vector<unsigned long>& inodes,
                              const std::map<unsigned long, Holder>& owners, bool& hidden) {
  std::vector<Holder> out;
  std::set<int> pids;
  hidden = false;
  for (const unsigned long inode : inodes) {
    const auto it = owners.find(inode);
    if (it == owners.end()) {
      hidden = true;
    } else if (pids.insert(it->second.pid).second) {
      out.push_back(it->second);
    }
  }
  return out;
}

void FillPort(Report& r, std::uint16_t port, const std::map<unsigned long, Holder>& owners) {
  const auto udp = ReadWholeFile("/proc/net/udp");
  const std::vector<unsigned long> inodes =
      udp ? UdpSocketInodes(*udp, port) : std::vector<unsigned long>{};
  r.portState.holders = HoldersOf(inodes, owners, r.portState.holdersHidden);

  // A trial bind as the program's receiver makes it, sharing the port with other copies; closed
  // at once, before anything could arrive.
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) {
    r.portState.state = PortState::Failed;
    r.portState.error = std::strerror(errno);
    return;
  }
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0) {
    r.portState.state = inodes.empty() ? PortState::Free : PortState::Shared;
  } else if (errno == EADDRINUSE) {
    r.portState.state = PortState::HeldByOther;
  } else if (errno == EACCES || errno == EPERM) {
    r.portState.state = PortState::NeedsPrivilege;
  } else {
    r.portState.state = PortState::Failed;
    r.portState.error = std::strerror(errno);
  }
  close(s);
}

void FillSlots(Report& r, const std::map<unsigned long, Holder>& owners) {
  const auto unixSockets = ReadWholeFile("/proc/net/unix");
  for (const std::string& name : ProgramSlots()) {
    Slot slot;
    slot.name = name;
    // Connecting does not disturb the holder: nothing is written.
    slot.held = platform::ConnectLocalSlot(name) != nullptr;
    if (slot.held && unixSockets) {
      bool hidden = false;
      slot.holders = HoldersOf(UnixSocketInodes(*unixSockets, platform::SlotAddressText(name)),
                               owners, hidden);
    }
    r.slots.push_back(slot);
  }
}

// Who listens on the session port, and a trial connection to it at this machine's first LAN
// address (the loopback when it has none), closed at once: the listener takes it for a session
// that ended before it said anything.
void FillSession(Report& r, const std::map<unsigned long, Holder>& owners) {
  SessionPort& s = r.session;
  const auto port = static_cast<std::uint16_t>(std::stoul(s.port.value));
  if (port == 0) return;
  const auto tcp = ReadWholeFile("/proc/net/tcp");
  const auto inodes = tcp ? TcpListenInodes(*tcp, port) : std::vector<unsigned long>{};
  bool hidden = false;
  s.holders = HoldersOf(inodes, owners, hidden);
  s.listening = !inodes.empty();
  if (!s.listening) return;
  s.address = "127.0.0.1";
  for (const Interface& i : r.interfaces) {
    if (i.carries) {
      s.address = i.address;
      break;
    }
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, s.address.c_str(), &to.sin_addr);
  s.address += ":" + s.port.value;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    s.error = std::strerror(errno);
    return;
  }
  int error = 0;
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) error = errno;
  if (error == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    socklen_t length = sizeof error;
    if (poll(&p, 1, 2000) <= 0) {
      error = ETIMEDOUT;
    } else {
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    }
  }
  close(fd);
  s.reachable = error == 0;
  if (!s.reachable) s.error = std::strerror(error);
}

// Runs a listing tool (never one that changes anything) and returns its output, or nullopt with
// the reason when it is missing or refuses.
std::optional<std::string> RunListing(const std::vector<std::string>& argv, std::string& why) {
  std::string path;
  for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
    if (access((dir + argv[0]).c_str(), X_OK) == 0) {
      path = dir + argv[0];
      break;
    }
  }
  if (path.empty()) {
    why = argv[0] + " is not installed";
    return std::nullopt;
  }
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    why = std::strerror(errno);
    return std::nullopt;
  }
  const pid_t child = fork();
  if (child < 0) {
    why = std::strerror(errno);
    close(pipeFds[0]);
    close(pipeFds[1]);
    return std::nullopt;
  }
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(path.c_str(), args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  std::string out;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    why = argv[0] + " could not list the rules" +
          (geteuid() != 0 ? std::string(" (reading them needs root)") : std::string());
    return std::nullopt;
  }
  return out;
}

void FillFirewall(Report& r, std::uint16_t port) {
  Firewall& f = r.firewall;
  f.result.state = FirewallState::NotReadable;
  bool read = false;
  std::string why;
  if (const auto nft = RunListing({"nft", "list", "ruleset"}, why)) {
    f.result = Stricter(f.result, JudgeNftRuleset(*nft, port));
    read = true;
  } else {
    f.notes.push_back(why);
  }
  if (const auto ipt = RunListing({"iptables", "-S"}, why)) {
    f.result = Stricter(f.result, JudgeIptablesRules(*ipt, port));
    read = true;
  } else {
    f.notes.push_back(why);
  }
  if (read && f.result.state == FirewallState::NotReadable) f.result.state = FirewallState::NoRules;
}

}  // namespace

Report Examine() {
  Report r;
  const MachineIdentity id = FillSettings(r);
  r.interfaces = InterfacesOf(platform::LocalAddresses());
  FillListed(r, id);
  bool complete = false;
  const auto owners = SocketOwners(complete);
  const std::uint16_t port = static_cast<std::uint16_t>(std::stoul(r.port.value));
  FillPort(r, port, owners);
  FillSlots(r, owners);
  FillFirewall(r, port);
  FillSession(r, owners);
  return r;
}

}  // namespace pelmora::cli::doctor
