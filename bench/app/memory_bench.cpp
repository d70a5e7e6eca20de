// Resident memory of the program's window with a long conversation: the whole main window (three
// panes, selectors, messaging core) on the offscreen platform, before and after storing 100,000
// lines (or the count given as the first argument).

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/DOzuZe.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;

namespace {

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
  int n = 0;
  while (window.Ui().SRChat->LineCount() < lines) {
    window.AppendLine("MIRLO", "TEJO", "mensaje numero " + std::to_string(n++), kPaletteReceived);
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
  std::printf("filling took %.2f s (%.1f us per entry)\n", seconds, seconds * 1e6 / n);
  return 0;
}
