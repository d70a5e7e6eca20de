// A burst of arrivals from senders the address book does not know, through the whole window:
// 5,000 distinct senders in 5 s (one a millisecond), with the settings in a real file. Figures:
// how many times the file was saved, the longest the GUI thread was busy at once (the longest
// gap between two ticks of the burst that should come 1 ms apart), and how long a channel query
// waited for its answer when it came in during the burst (posted every 50 ms from a thread, as
// the utility slot's wait thread does, and answered on the GUI thread).
//
//   settings_burst_bench [ARRIVALS] [SECONDS]      (offscreen platform unless QT_QPA_PLATFORM)

#include <QApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/DOzuZe.h"
#include "app/SettingsIO.h"
#include "messaging/Formats.h"
#include "model/SettingsStore.h"
#include "widgets/DesktopNotifier.h"

using namespace pelmora;

namespace {

class QuietNotifier : public ArrivalNotifier {
 public:
  void Notify(const QString&, const QString&) override {}
  void SetOpenLabel(const QString&) override {}
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const int arrivals = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;

  std::string folder = (std::filesystem::temp_directory_path() / "pelmora-burst-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 1;
  const std::string path = folder + "/pelmora.ini";
  {
    // An address book of 1,000 names to start from, as an office's would be after a while.
    FileSettingsStore seed(path);
    for (int i = 0; i < 1000; ++i) seed.WriteString("NOMBRES", "PUESTO" + std::to_string(i), "N");
    if (!seed.Save()) return 1;
  }
  FileSettingsStore store(path);
  QuietNotifier notifier;
  WindowServices env;
  env.settingsStore = &store;
  env.notifier = &notifier;
  env.trayIcon = false;
  TDOzuZe window(std::move(env));
  window.Vars().OwnName = "TEJO";
  // The copy waits in the tray, as a receiving copy does; the figures are those of the settings
  // and the view, not of bringing a window forward 5,000 times.
  window.Vars().OptRestore = false;
  window.Vars().OptBeep = false;

  const double tickMs = 1000.0 * seconds / arrivals;
  QElapsedTimer clock;
  clock.start();
  int sent = 0;
  double lastTick = 0, longestGap = 0, longestArrival = 0;
  QTimer burst;
  burst.setTimerType(Qt::PreciseTimer);
  burst.setInterval(std::max(1, static_cast<int>(tickMs)));
  QObject::connect(&burst, &QTimer::timeout, [&] {
    const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (sent > 0) longestGap = std::max(longestGap, now - lastTick);
    // As many arrivals as the schedule owes (at most a few at once, so a slow build still
    // gives the event loop its turns), so the rate holds even when a tick comes late.
    const int due = std::min({arrivals, static_cast<int>(now / tickMs) + 1, sent + 5});
    while (sent < due) {
      const double start = static_cast<double>(clock.nsecsElapsed()) / 1e6;
      window.Core().WinPopupMessage("TEJO", "REMITENTE" + std::to_string(sent), "hola");
      longestArrival =
          std::max(longestArrival, static_cast<double>(clock.nsecsElapsed()) / 1e6 - start);
      ++sent;
    }
    longestGap = std::max(longestGap, static_cast<double>(clock.nsecsElapsed()) / 1e6 - now);
    lastTick = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (sent >= arrivals) {
      burst.stop();
      std::fflush(stdout);
      QTimer::singleShot(SettingsIO::kSenderSaveDelayMs * 2, &app, &QCoreApplication::quit);
    }
  });

  std::atomic<bool> running{true};
  std::atomic<bool> queriesDone{false};
  std::vector<double> answers;
  std::thread queries([&] {
    std::int32_t id = 1;
    while (running) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const auto posted = std::chrono::steady_clock::now();
      QMetaObject::invokeMethod(
          &window,
          [&, datagram = BuildUtilityDatagram(id++, "MIRLO", kCmdChannelQuery, "")] {
            window.Core().MSUtilsMessageAvail(datagram);
          },
          Qt::BlockingQueuedConnection);
      answers.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - posted)
              .count());
    }
    queriesDone = true;
  });

  burst.start();
  app.exec();
  running = false;
  // The thread may be waiting for its last answer, which only the event loop gives.
  while (!queriesDone) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  queries.join();
  const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e6;

  std::printf("arrivals from distinct senders: %d in %.0f ms (burst %.1f s asked)\n", sent,
              elapsed - SettingsIO::kSenderSaveDelayMs * 2, static_cast<double>(seconds));
  std::printf("settings saves: %d (file %ju bytes at the end)\n", store.SavesWritten(),
              static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
  std::printf(
      "longest arrival: %.2f ms; longest GUI-thread busy stretch (a tick's work, or the time "
      "between ticks): %.2f ms\n",
      longestArrival, longestGap);
  std::printf("channel query answered after: median %.2f ms, p95 %.2f ms, max %.2f ms (%zu)\n",
              Percentile(answers, 0.5), Percentile(answers, 0.95), Percentile(answers, 1.0),
              answers.size());
  std::filesystem::remove_all(folder);
  return 0;
}
