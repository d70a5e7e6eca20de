// The checks before the application object exists: the command line and the choice of display,
// with probes that answer as the test says (and the real probes where they need no display).

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "app/Startup.h"
#include "widgets/DesktopPlatform.h"

using namespace pelmora::startup;
namespace desktop = pelmora::desktop;

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Probes with fixed answers; counts the calls so that a test can see nothing was probed in vain.
struct FakeDesktop {
  std::map<std::string, bool> xUp;        // display name -> answers
  std::map<std::string, bool> waylandUp;  // socket path -> listens
  bool plugin = true;
  int xCalls = 0;
  int waylandCalls = 0;

  Probes probes() {
    Probes p;
    p.x = [this](const std::string& d) -> ProbeFailure {
      ++xCalls;
      if (xUp.count(d) != 0 && xUp[d]) return std::nullopt;
      return std::string("no X server answers there");
    };
    p.wayland = [this](const std::string& path) -> ProbeFailure {
      ++waylandCalls;
      if (waylandUp.count(path) != 0 && waylandUp[path]) return std::nullopt;
      return std::string("nothing listens on ") + path;
    };
    p.waylandPluginInstalled = [this] { return plugin; };
    return p;
  }
};

Environment WaylandSession() {
  Environment env;
  env.waylandDisplay = "wayland-1";
  env.sessionType = "wayland";
  env.runtimeDir = "/run/user/1000";
  return env;
}

}  // namespace

TEST(StartupCommandLine, OwnOptionsQtOptionsAndBadUse) {
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"-h"}).help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
  EXPECT_TRUE(ParseCommandLine({}).error.empty());

  // Qt's options pass, with their values in both forms; a session manager's restart too.
  const CommandLine qt = ParseCommandLine(
      {"-platform", "xcb", "--display=:3", "-session", "1234_5", "-reverse", "-style=Fusion"});
  EXPECT_TRUE(qt.error.empty()) << qt.error;
  EXPECT_EQ(qt.platform, "xcb");
  EXPECT_EQ(qt.display, ":3");

  EXPECT_TRUE(
      Contains(ParseCommandLine({"--frobnicate"}).error, "unknown option \"--frobnicate\""));
  EXPECT_TRUE(Contains(ParseCommandLine({"MIRLO"}).error, "unexpected argument \"MIRLO\""));
  EXPECT_TRUE(Contains(ParseCommandLine({"-"}).error, "unexpected argument"));
  EXPECT_TRUE(Contains(ParseCommandLine({"-platform"}).error, "needs a value"));
  // A flag of Qt's with a value is not a flag of Qt's.
  EXPECT_FALSE(ParseCommandLine({"-reverse=yes"}).error.empty());
  // --help after a bad option still fails: the bad option is reported, not hidden.
  EXPECT_FALSE(ParseCommandLine({"--bad", "--help"}).error.empty());
}

TEST(StartupCommandLine, HelpAndVersionText) {
  EXPECT_EQ(VersionText(), "pelmora 0.31b\n");
  const std::string help = HelpText();
  for (const char* part : {"--help", "--version", "X11 or Wayland", "scripts/try-lan --xvfb",
                           "PELMORA_MACHINE_CONF", "tray"})
    EXPECT_TRUE(Contains(help, part)) << part;
  // Every line fits an 80-column terminal.
  std::size_t start = 0;
  while (start < help.size()) {
    const auto end = help.find('\n', start);
    EXPECT_LE(end - start, 80U) << help.substr(start, end - start);
    start = end + 1;
  }
}

TEST(StartupDisplay, NoDisplayAtAllGivesTheAdviceWithoutProbing) {
  FakeDesktop desk;
  const DisplayPlan plan = PlanDisplay({}, {}, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_TRUE(Contains(plan.message, "desktop program"));
  EXPECT_TRUE(Contains(plan.message, "X11 or Wayland session"));
  EXPECT_TRUE(Contains(plan.message, "scripts/try-lan --xvfb"));
  EXPECT_TRUE(Contains(plan.message, "DISPLAY is not set"));
  EXPECT_EQ(desk.xCalls, 0);
  // At most two lines.
  EXPECT_LE(std::count(plan.message.begin(), plan.message.end(), '\n'), 2);
}

TEST(StartupDisplay, X11SessionRunsAsItIsOrSaysWhichDisplayFailed) {
  FakeDesktop desk;
  desk.xUp[":0"] = true;
  Environment env;
  env.display = ":0";
  DisplayPlan plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_TRUE(plan.run);
  EXPECT_TRUE(plan.setPlatform.empty());
  EXPECT_TRUE(plan.message.empty());
  EXPECT_EQ(desk.waylandCalls, 0);

  env.display = ":7";
  plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_TRUE(Contains(plan.message, "DISPLAY \":7\": no X server answers there"));

  // -display on the command line is the one Qt would open.
  CommandLine line;
  line.display = ":0";
  plan = PlanDisplay(env, line, desk.probes());
  EXPECT_TRUE(plan.run);
  line.display = ":9";
  env.display = ":0";
  plan = PlanDisplay(env, line, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_TRUE(Contains(plan.message, "-display \":9\""));
}

TEST(StartupDisplay, WaylandSessionPrefersXWaylandThenNativeThenAdvice) {
  FakeDesktop desk;
  Environment env = WaylandSession();
  env.display = ":1";
  desk.xUp[":1"] = true;
  desk.waylandUp["/run/user/1000/wayland-1"] = true;

  DisplayPlan plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_TRUE(plan.run);
  EXPECT_EQ(plan.setPlatform, "xcb");
  EXPECT_TRUE(Contains(plan.message, "XWayland"));
  EXPECT_EQ(std::count(plan.message.begin(), plan.message.end(), '\n'), 1);

  // No XWayland: natively, saying what is off.
  desk.xUp[":1"] = false;
  plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_TRUE(plan.run);
  EXPECT_EQ(plan.setPlatform, "wayland");
  EXPECT_TRUE(Contains(plan.message, "global hot key"));
  EXPECT_TRUE(Contains(plan.message, "banner"));

  // ... but not without Qt's Wayland plugin: Qt would abort.
  desk.plugin = false;
  plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_TRUE(Contains(plan.message, "qt6-wayland"));
  EXPECT_TRUE(Contains(plan.message, "scripts/try-lan --xvfb"));

  // The compositor gone too (a stale WAYLAND_DISPLAY after logging out).
  desk.plugin = true;
  desk.waylandUp.clear();
  plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_TRUE(Contains(plan.message,
                       "WAYLAND_DISPLAY \"wayland-1\": nothing listens on "
                       "/run/user/1000/wayland-1"));

  // Only XDG_SESSION_TYPE says Wayland: the compositor's default socket.
  Environment bare;
  bare.sessionType = "wayland";
  bare.runtimeDir = "/run/user/5";
  desk.waylandUp["/run/user/5/wayland-0"] = true;
  plan = PlanDisplay(bare, {}, desk.probes());
  EXPECT_TRUE(plan.run);
  EXPECT_EQ(plan.setPlatform, "wayland");
}

TEST(StartupDisplay, AskedPlatformIsCheckedForWhatItNeeds) {
  FakeDesktop desk;
  Environment env = WaylandSession();
  desk.waylandUp["/run/user/1000/wayland-1"] = true;

  // The user chose: nothing is changed, only checked.
  env.qpaPlatform = "wayland";
  DisplayPlan plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_TRUE(plan.run);
  EXPECT_TRUE(plan.setPlatform.empty());
  EXPECT_TRUE(Contains(plan.message, "global hot key"));

  env.qpaPlatform = "xcb";
  plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_TRUE(Contains(plan.message, "QT_QPA_PLATFORM=xcb was asked for"));
  EXPECT_TRUE(Contains(plan.message, "DISPLAY is not set"));

  // A list: the first that can be had.
  env.qpaPlatform = "xcb;wayland-egl";
  plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_TRUE(plan.run);

  // Platforms without a display are Qt's business; options after ':' are not part of the name.
  desk.waylandUp.clear();
  for (const char* p : {"offscreen", "minimal", "vnc:size=800x600", "eglfs"}) {
    env.qpaPlatform = p;
    EXPECT_TRUE(PlanDisplay(env, {}, desk.probes()).run) << p;
  }
  env.qpaPlatform = "xcb:nograb";
  EXPECT_FALSE(PlanDisplay(env, {}, desk.probes()).run);

  // -platform wins over the variable; an empty variable is as if unset.
  CommandLine line;
  line.platform = "offscreen";
  env.qpaPlatform = "xcb";
  EXPECT_TRUE(PlanDisplay(env, line, desk.probes()).run);
  Environment empty;
  empty.qpaPlatform = "";
  plan = PlanDisplay(empty, {}, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_FALSE(Contains(plan.message, "asked for"));
}

TEST(StartupDisplay, HostileValuesArePrintedHarmlessly) {
  EXPECT_EQ(Printable("\x1b[31mred"), "\\x1B[31mred");
  EXPECT_EQ(Printable("caf\xC3\xA9"), "caf\\xC3\\xA9");
  EXPECT_EQ(Printable(std::string(100, 'a'), 10), std::string(10, 'a') + "...");

  FakeDesktop desk;
  Environment env;
  env.display = "\x1b]0;owned\x07:0";
  const DisplayPlan plan = PlanDisplay(env, {}, desk.probes());
  EXPECT_FALSE(plan.run);
  EXPECT_EQ(plan.message.find('\x1b'), std::string::npos);
  EXPECT_EQ(plan.message.find('\x07'), std::string::npos);
}

TEST(StartupDisplay, WaylandSocketPath) {
  Environment env;
  EXPECT_EQ(WaylandSocketPath(env), std::nullopt);
  env.runtimeDir = "/run/user/7";
  EXPECT_EQ(WaylandSocketPath(env), "/run/user/7/wayland-0");
  env.waylandDisplay = "wayland-2";
  EXPECT_EQ(WaylandSocketPath(env), "/run/user/7/wayland-2");
  env.waylandDisplay = "/tmp/elsewhere";
  EXPECT_EQ(WaylandSocketPath(env), "/tmp/elsewhere");
}

TEST(StartupProbes, WaylandSocketIsReallyConnected) {
  char dir[] = "/tmp/pelmora-wl-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/wayland-test";
  EXPECT_TRUE(ProbeWaylandSocket(path).has_value());

  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(server, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  // A socket file nobody listens on (a compositor that died) is not a display.
  EXPECT_TRUE(ProbeWaylandSocket(path).has_value());
  ASSERT_EQ(listen(server, 4), 0);
  EXPECT_EQ(ProbeWaylandSocket(path), std::nullopt);
  close(server);
  unlink(path.c_str());
  rmdir(dir);

  EXPECT_TRUE(Contains(ProbeWaylandSocket(std::string(200, 'x')).value_or(""), "too long"));
}

TEST(StartupProbes, XProbeRefusesBadAndAbsentDisplays) {
  EXPECT_EQ(desktop::ProbeXDisplay("garbage", kProbeSeconds),
            std::optional<std::string>("not a display name"));
  EXPECT_TRUE(desktop::ProbeXDisplay(":", kProbeSeconds).has_value());
  // A display number no server has (its socket file is absent).
  int n = 6000;
  while (access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0) ++n;
  EXPECT_TRUE(desktop::ProbeXDisplay(":" + std::to_string(n), kProbeSeconds).has_value());
}
