// Resident memory of the program's window with a long conversation: the whole main window (three
// panes, selectors, messaging core) on the offscreen platform, before and after storing 100,000
// lines (or the count given as the first argument). Also the longest single entry of that burst,
// which is the longest the GUI thread is held, and the entries of awkward input after it.

#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/DOzuZe.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;

namespace {

// CPU time of this thread: on a shared machine the wall time of an entry includes the time the
// thread waited for a core, which says nothing of what the entry costs.
qint64 ThreadCpuNanoseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;

  WindowServices env;
  env.trayIcon = false;
  TDOzuZe window(std::move(env));
  window.show();
  QCoreApplication::processEvents();
  const long before = ResidentKiB();

  QElapsedTimer timer;
  timer.start();
  QElapsedTimer entry;
  qint64 longest = 0;
  int longestAt = 0;
  qint64 longestCpu = 0;
  int longestCpuAt = 0;
  std::vector<qint64> slow;  // entries over 5 ms: which ones, to tell growth from preemption
  int n = 0;
  while (window.Ui().SRChat->LineCount() < lines) {
    entry.start();
    const qint64 cpu = ThreadCpuNanoseconds();
    window.AppendLine("MIRLO", "TEJO", "mensaje numero " + std::to_string(n++), kPaletteReceived);
    const qint64 took = entry.nsecsElapsed();
    const qint64 tookCpu = ThreadCpuNanoseconds() - cpu;
    if (tookCpu > longestCpu) {
      longestCpu = tookCpu;
      longestCpuAt = n;
    }
    if (took > longest) {
      longest = took;
      longestAt = n;
    }
    if (took > 5000000) slow.push_back(n);
    // The running program returns to its event loop after every arrival; without that, the
    // scroll bars' queued range notifications would pile up here and be counted as memory.
    if (n % 100 == 0) QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
  const double seconds = timer.elapsed() / 1000.0;
  const long after = ResidentKiB();

  std::printf("stored lines per pane: %d (%d entries)\n", window.Ui().SRChat->LineCount(), n);
  std::printf("resident memory: %ld KiB at start, %ld KiB with the lines (+%ld KiB)\n", before,
              after, after - before);
  std::printf("filling took %.2f s (%.1f us per entry), longest entry %.2f ms (entry %d)\n",
              seconds, seconds * 1e6 / n, longest / 1e6, longestAt);
  std::printf("longest entry in CPU time of the thread %.2f ms (entry %d)\n", longestCpu / 1e6,
              longestCpuAt);
  std::printf("entries over 5 ms of wall time: %zu", slow.size());
  for (std::size_t i = 0; i < slow.size() && i < 12; ++i) std::printf(" %lld", slow[i]);
  std::printf("\n");

  // Awkward input on top of the long conversation: the largest message without a blank, a
  // message of nothing but line breaks, and a heading long enough to wrap.
  const std::string noBlanks(409, 'W');
  std::string breaks;
  for (int i = 0; i < 204; ++i) breaks += "\r\n";
  const std::string longGroup(120, 'G');
  struct Case {
    const char* name;
    std::string second, text;
  };
  for (const Case& c : {Case{"409 characters, no blank", "TEJO", noBlanks},
                        Case{"408 characters of line breaks", "TEJO", breaks},
                        Case{"heading of 120 characters", longGroup, "hola"}}) {
    const int linesBefore = window.Ui().SRChat->LineCount();
    entry.start();
    window.AppendLine("MIRLO", c.second, c.text, kPaletteReceived);
    const double ms = entry.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    std::printf("%-32s %7.2f ms, %d lines\n", c.name, ms,
                window.Ui().SRChat->LineCount() - linesBefore);
  }
  std::printf("resident memory after them: %ld KiB\n", ResidentKiB());
  return 0;
}
