#pragma once
// What happens before the application object exists: the command line (--help, --version,
// unknown options) and the choice of a display. Qt aborts with a core dump when no platform
// plugin can connect, so the program makes sure a display can be reached first and otherwise
// says what it needs and ends with status 2.
//
// The decisions are plain functions of the command line, the environment and what the probes
// found, so that the tests can try every combination without a display.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::startup {

// Exit status for bad use and for "cannot run here".
inline constexpr int kStatusUsage = 2;

// How long the X probe waits for a server to answer: a display over TCP to a host that drops the
// packets would otherwise keep the connect waiting for minutes.
inline constexpr int kProbeSeconds = 10;

struct CommandLine {
  bool help = false;
  bool version = false;
  std::string error;                    // bad use; said with a pointer to --help
  std::optional<std::string> platform;  // Qt's -platform NAME
  std::optional<std::string> display;   // Qt's -display NAME (X11)
};

// Our own options, and Qt's (which the application object takes later; a session manager restarts
// the program with "-session ID"). Anything else is an error.
CommandLine ParseCommandLine(const std::vector<std::string>& args);  // without argv[0]

std::string HelpText();
std::string VersionText();

// The environment variables that decide the display; nullopt when unset.
struct Environment {
  std::optional<std::string> qpaPlatform;     // QT_QPA_PLATFORM
  std::optional<std::string> display;         // DISPLAY
  std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY
  std::optional<std::string> sessionType;     // XDG_SESSION_TYPE
  std::optional<std::string> runtimeDir;      // XDG_RUNTIME_DIR
};

Environment ReadEnvironment();

// The answer of a probe: nullopt when it could connect, else why not, in a few words.
using ProbeFailure = std::optional<std::string>;

struct Probes {
  std::function<ProbeFailure(const std::string& xDisplay)> x;
  std::function<ProbeFailure(const std::string& socketPath)> wayland;
  std::function<bool()> waylandPluginInstalled;
};

// The real probes: a connection to the X server, a connect on the Wayland socket, Qt's plugin
// folder. The X probe keeps a connection that succeeded until
// desktop::ReleaseProbedXDisplay() (widgets/DesktopPlatform.h).
Probes SystemProbes();
ProbeFailure ProbeWaylandSocket(const std::string& path);

struct DisplayPlan {
  bool run = false;
  std::string setPlatform;  // when not empty, the value to put into QT_QPA_PLATFORM
  std::string message;      // lines for standard error (a note when running, advice when not)
};

DisplayPlan PlanDisplay(const Environment& env, const CommandLine& commandLine,
                        const Probes& probes);

// The Wayland socket a client connects to: WAYLAND_DISPLAY (default "wayland-0") in
// XDG_RUNTIME_DIR, or WAYLAND_DISPLAY itself when it is an absolute path; nullopt without a folder.
std::optional<std::string> WaylandSocketPath(const Environment& env);

// A value from the environment or the command line as it may be printed: control characters and
// bytes beyond ASCII shown as \xNN, cut after `limit` characters.
std::string Printable(std::string_view text, std::size_t limit = 60);

// While it lives, a fatal message from Qt (its platform plugin failing while the application
// object is made: a display that went away after the check, a plugin that cannot load) ends the
// process with Qt's words, the advice and status 2 instead of an abort and a core dump. Other
// messages go where they went before.
class PlatformFailureGuard {
 public:
  PlatformFailureGuard();
  ~PlatformFailureGuard();
  PlatformFailureGuard(const PlatformFailureGuard&) = delete;
  PlatformFailureGuard& operator=(const PlatformFailureGuard&) = delete;
};

// Everything above for this process: prints what there is to print and returns the exit status
// when the program must end here, or nullopt to go on (QT_QPA_PLATFORM may have been set).
std::optional<int> CheckBeforeApplication(int argc, char** argv);

}  // namespace pelmora::startup
