#include "app/Startup.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "messaging/Variables.h"
#include "widgets/DesktopPlatform.h"

namespace pelmora::startup {
namespace {

// Qt's own options (QGuiApplication, QApplication and the xcb plugin). The application object
// takes them out of argv later; here they only have to be let through, with their value.
constexpr std::array<std::string_view, 18> kQtOptionsWithValue = {"platform",
                                                                  "platformpluginpath",
                                                                  "platformtheme",
                                                                  "plugin",
                                                                  "qwindowgeometry",
                                                                  "qwindowicon",
                                                                  "qwindowtitle",
                                                                  "session",
                                                                  "display",
                                                                  "geometry",
                                                                  "style",
                                                                  "stylesheet",
                                                                  "name",
                                                                  "title",
                                                                  "visual",
                                                                  "fontengine",
                                                                  "dialogs",
                                                                  "qmljsdebugger"};
constexpr std::array<std::string_view, 6> kQtFlags = {"reverse", "widgetcount", "nograb",
                                                      "dograb",  "sync",        "testability"};

template <std::size_t N>
bool OneOf(const std::array<std::string_view, N>& names, std::string_view name) {
  for (const auto n : names)
    if (n == name) return true;
  return false;
}

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool Set(const std::optional<std::string>& value) { return value && !value->empty(); }

std::string Quoted(std::string_view value) {
  // Built up piece by piece: GCC 12 warns falsely (-Wrestrict) on "\"" + std::string&&.
  std::string quoted(1, '"');
  quoted += Printable(value);
  quoted += '"';
  return quoted;
}

// The platforms named by a QT_QPA_PLATFORM value or a -platform argument: a list separated by
// ';', each entry possibly followed by ":options".
std::vector<std::string> PlatformNames(const std::string& value) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= value.size()) {
    auto end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    std::string entry = value.substr(start, end - start);
    entry = entry.substr(0, entry.find(':'));
    if (!entry.empty()) names.push_back(entry);
    start = end + 1;
  }
  return names;
}

bool IsWaylandPlatform(const std::string& name) { return name.rfind("wayland", 0) == 0; }

// Platforms that draw on no display at all (or on hardware of their own): nothing to check.
bool NeedsNoDisplay(const std::string& name) { return name != "xcb" && !IsWaylandPlatform(name); }

std::string Advice(const std::string& why) {
  return "pelmora: Pelmora is a desktop program and needs an X11 or Wayland session; none can be "
         "reached here (" +
         why +
         ").\npelmora: to see it without one, run it on a private virtual display from the source "
         "tree: sudo scripts/try-lan --xvfb\n";
}

constexpr const char* kWaylandFeaturesOff =
    "the global hot key and the banner's placement are off (Wayland lets no program do them)";

// The X part of the explanation: which display was tried and what went wrong.
std::string XFailure(const std::optional<std::string>& display, const ProbeFailure& failure,
                     bool fromCommandLine) {
  const std::string source = fromCommandLine ? "-display" : "DISPLAY";
  if (!Set(display)) return source + " is not set";
  return source + " " + Quoted(*display) + ": " + failure.value_or("cannot be opened");
}

}  // namespace

std::string Printable(std::string_view text, std::size_t limit) {
  std::string out;
  std::size_t shown = 0;
  for (const char c : text) {
    if (shown == limit) {
      out += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
    ++shown;
  }
  return out;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h" || arg == "-help") {
      line.help = true;
      continue;
    }
    if (arg == "--version" || arg == "-version") {
      line.version = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-' || arg == "--") {
      line.error = "unexpected argument " + Quoted(arg) + " (Pelmora takes no file or name)";
      return line;
    }
    // Qt takes its options with one dash or two, and a value either after '=' or as the next
    // argument.
    std::string_view name(arg);
    name.remove_prefix(arg[1] == '-' ? 2 : 1);
    std::optional<std::string> value;
    if (const auto eq = name.find('='); eq != std::string_view::npos) {
      value = std::string(name.substr(eq + 1));
      name = name.substr(0, eq);
    }
    if (OneOf(kQtFlags, name) && !value) continue;
    if (!OneOf(kQtOptionsWithValue, name)) {
      line.error = "unknown option " + Quoted(arg);
      return line;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        line.error = "option " + Quoted(arg) + " needs a value";
        return line;
      }
      value = args[++i];
    }
    if (name == "platform") line.platform = *value;
    if (name == "display") line.display = *value;
  }
  return line;
}

std::string HelpText() {
  return "Usage: pelmora [OPTION]...\n"
         "A pop-up messenger for small offices: every machine of the local network runs\n"
         "it, with no server. It starts in the notification area (tray); click its icon\n"
         "to open the window, pick a destination with \"Destino\", type the text and\n"
         "press Enter.\n"
         "\n"
         "Options:\n"
         "  -h, --help       show this help and end\n"
         "      --version    show the version and end\n"
         "  Qt's own options are taken too (-platform NAME, -display NAME, -style NAME).\n"
         "\n"
         "It needs an X11 or Wayland session; under Wayland it uses XWayland when it can.\n"
         "Without a display it ends with status 2; to see it on a machine without one,\n"
         "run \"sudo scripts/try-lan --xvfb\" from the source tree.\n"
         "\n"
         "Environment:\n"
         "  PELMORA_MACHINE_CONF  the machine configuration (default /etc/pelmora.conf):\n"
         "                        [RED] GRUPO_TRABAJO, PUERTO (UDP, default 13138), OEM\n"
         "  QT_QPA_PLATFORM       the display platform (xcb, wayland, ...)\n"
         "\n"
         "Settings are kept in $XDG_CONFIG_HOME/pelmora (~/.config/pelmora).\n"
         "Exit status: 0 when closed from its menu, 1 when another copy already runs,\n"
         "2 on bad use or without a display.\n";
}

std::string VersionText() { return "pelmora " + std::string(ProgramVersion) + "\n"; }

Environment ReadEnvironment() {
  Environment env;
  env.qpaPlatform = Env("QT_QPA_PLATFORM");
  env.display = Env("DISPLAY");
  env.waylandDisplay = Env("WAYLAND_DISPLAY");
  env.sessionType = Env("XDG_SESSION_TYPE");
  env.runtimeDir = Env("XDG_RUNTIME_DIR");
  return env;
}

std::optional<std::string> WaylandSocketPath(const Environment& env) {
  const std::string name = Set(env.waylandDisplay) ? *env.waylandDisplay : "wayland-0";
  if (name.front() == '/') return name;
  if (!Set(env.runtimeDir)) return std::nullopt;
  return *env.runtimeDir + "/" + name;
}

DisplayPlan PlanDisplay(const Environment& env, const CommandLine& commandLine,
                        const Probes& probes) {
  DisplayPlan plan;
  const bool displayFromCommandLine = commandLine.display.has_value();
  const std::optional<std::string> xDisplay =
      displayFromCommandLine ? commandLine.display : env.display;
  // Probed at most once each, and only when the answer matters.
  std::optional<ProbeFailure> xAnswer;
  auto xFailure = [&]() -> const ProbeFailure& {
    if (!xAnswer) {
      xAnswer = Set(xDisplay) ? probes.x(*xDisplay) : ProbeFailure("not set");
    }
    return *xAnswer;
  };
  const std::optional<std::string> waylandPath = WaylandSocketPath(env);
  std::optional<ProbeFailure> waylandAnswer;
  auto waylandFailure = [&]() -> const ProbeFailure& {
    if (!waylandAnswer) {
      waylandAnswer =
          waylandPath ? probes.wayland(*waylandPath) : ProbeFailure("XDG_RUNTIME_DIR is not set");
    }
    return *waylandAnswer;
  };
  auto waylandWhy = [&]() {
    if (!Set(env.waylandDisplay) && env.sessionType != "wayland")
      return std::string("WAYLAND_DISPLAY is not set");
    const std::string shown = Set(env.waylandDisplay) ? *env.waylandDisplay : "wayland-0";
    return "WAYLAND_DISPLAY " + Quoted(shown) + ": " +
           waylandFailure().value_or("cannot be opened");
  };
  auto nativeWayland = [&](std::string setPlatform) {
    if (probes.waylandPluginInstalled && !probes.waylandPluginInstalled()) {
      plan.message = Advice(XFailure(xDisplay, xFailure(), displayFromCommandLine) +
                            "; a Wayland session is there, but Qt's Wayland platform plugin (the "
                            "Debian package qt6-wayland) is not installed");
      return;
    }
    plan.run = true;
    plan.setPlatform = std::move(setPlatform);
    plan.message = std::string("pelmora: running natively on Wayland, without an X display: ") +
                   kWaylandFeaturesOff + ".\n";
  };

  // A platform asked for by name: check only what it needs.
  const std::optional<std::string> asked =
      commandLine.platform ? commandLine.platform
                           : (Set(env.qpaPlatform) ? env.qpaPlatform : std::nullopt);
  if (asked) {
    const std::vector<std::string> names = PlatformNames(*asked);
    const std::string source = commandLine.platform ? "-platform " : "QT_QPA_PLATFORM=";
    std::string why;
    for (const std::string& name : names) {
      if (NeedsNoDisplay(name)) {
        plan.run = true;  // offscreen, vnc, eglfs, ...: Qt knows what they need
        return plan;
      }
      if (name == "xcb") {
        if (!xFailure()) {
          plan.run = true;
          return plan;
        }
        why += (why.empty() ? "" : "; ") + XFailure(xDisplay, xFailure(), displayFromCommandLine);
      } else {
        if (!waylandFailure()) {
          plan.run = true;
          plan.message =
              std::string("pelmora: running natively on Wayland: ") + kWaylandFeaturesOff + ".\n";
          return plan;
        }
        why += (why.empty() ? "" : "; ") + waylandWhy();
      }
    }
    if (names.empty()) {
      plan.run = true;  // an empty list: Qt's default, as if unset
      return plan;
    }
    plan.message = Advice(source + Printable(*asked) + " was asked for; " + why);
    return plan;
  }

  const bool waylandSession = Set(env.waylandDisplay) || env.sessionType == "wayland";
  if (waylandSession) {
    // The tray, the global hot key and the banner's placement are X11 services; XWayland gives
    // them all, so it is the first choice.
    if (!xFailure()) {
      plan.run = true;
      plan.setPlatform = "xcb";
      plan.message =
          "pelmora: Wayland session: running through XWayland (X11), where the global hot key "
          "and the banner's placement work.\n";
      return plan;
    }
    if (!waylandFailure()) {
      nativeWayland("wayland");
      return plan;
    }
    plan.message =
        Advice(XFailure(xDisplay, xFailure(), displayFromCommandLine) + "; " + waylandWhy());
    return plan;
  }

  if (!xFailure()) {
    plan.run = true;
    return plan;
  }
  plan.message =
      Advice(XFailure(xDisplay, xFailure(), displayFromCommandLine) + "; " + waylandWhy());
  return plan;
}

ProbeFailure ProbeWaylandSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return "the socket path is too long";
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::string("no socket: ") + std::strerror(errno);
  const int rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = errno;
  close(fd);
  if (rc == 0) return std::nullopt;
  return "nothing listens on " + Printable(path) + " (" + std::strerror(error) + ")";
}

Probes SystemProbes() {
  Probes probes;
  probes.x = [](const std::string& display) {
    return desktop::ProbeXDisplay(display, kProbeSeconds, true);
  };
  probes.wayland = ProbeWaylandSocket;
  probes.waylandPluginInstalled = [] {
    // QT_PLUGIN_PATH adds folders we do not search: then let Qt try.
    if (std::getenv("QT_PLUGIN_PATH") != nullptr) return true;
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty();
  };
  return probes;
}

namespace {

QtMessageHandler previousHandler = nullptr;

void HandleStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    if (previousHandler != nullptr) {
      previousHandler(type, context, text);
    } else {
      std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    return;
  }
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  std::fputs(Advice("Qt could not open its display platform, as said above").c_str(), stderr);
  std::_Exit(kStatusUsage);
}

}  // namespace

PlatformFailureGuard::PlatformFailureGuard() {
  previousHandler = qInstallMessageHandler(HandleStartMessage);
}

PlatformFailureGuard::~PlatformFailureGuard() { qInstallMessageHandler(previousHandler); }

std::optional<int> CheckBeforeApplication(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const CommandLine line = ParseCommandLine(args);
  if (!line.error.empty()) {
    std::fprintf(stderr, "pelmora: %s\nTry \"pelmora --help\" for more information.\n",
                 line.error.c_str());
    return kStatusUsage;
  }
  if (line.help || line.version) {
    const std::string text = line.help ? HelpText() : VersionText();
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  const DisplayPlan plan = PlanDisplay(ReadEnvironment(), line, SystemProbes());
  if (!plan.message.empty()) std::fputs(plan.message.c_str(), stderr);
  if (!plan.run) return kStatusUsage;
  if (!plan.setPlatform.empty()) setenv("QT_QPA_PLATFORM", plan.setPlatform.c_str(), 1);
  return std::nullopt;
}

}  // namespace pelmora::startup
