// The scrolling banner's CPU cost: the process's CPU time over a stretch of wall time, first with
// an idle window of the banner's size, then with the program's banner scrolling, in the same run
// and on the same display. Prints % of one core for each.
//
//   widgets_banner_bench [SECONDS]      (10 by default; run it under Xvfb or a real X display
//                                        to include painting through the window system; with
//                                        no display it paints offscreen)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "widgets/ALScrollingText.h"

using namespace pelmora;

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Runs the event loop for `seconds` and returns the CPU used in % of one core.
double MeasureLoad(int seconds) {
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  QElapsedTimer wall;
  wall.start();
  const double cpu0 = CpuSeconds();
  loop.exec();
  const double cpu = CpuSeconds() - cpu0;
  return 100.0 * cpu / (static_cast<double>(wall.elapsed()) / 1000.0);
}

QWidget* BannerWindow() {
  auto* w = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  w->setAttribute(Qt::WA_ShowWithoutActivating);
  w->resize(73, 17);
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  // Without a display the figures are those of painting alone, as the other benchmarks measure.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY") &&
      !qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

  QWidget* idle = BannerWindow();
  idle->show();
  QApplication::processEvents();
  const double idleLoad = MeasureLoad(seconds);
  idle->hide();
  delete idle;

  QWidget* window = BannerWindow();
  auto* banner = new TALScrollingText(window);
  // The main window's instance.
  banner->resize(73, 17);
  banner->SetSpeed(1);
  banner->SetBackgroundColor(clBlack);
  banner->SetTextDirection(TTextDirection::tdRightToLeft);
  banner->SetPixelJump(2);
  QFont f = banner->font();
  f.setPixelSize(11);
  banner->setFont(f);
  banner->SetFontColor(clAqua);
  banner->Loaded();
  banner->SetText("12 mensajes nuevos   ");
  banner->SetEnabled(true);
  window->show();
  QElapsedTimer wall;
  wall.start();
  const double bannerLoad = MeasureLoad(seconds);
  const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
  const int interval = banner->TimerIntervalMs();
  delete window;

  std::printf("platform %s, %d s each\n", qPrintable(QGuiApplication::platformName()), seconds);
  std::printf("idle window          %6.2f %% of one core\n", idleLoad);
  std::printf(
      "scrolling banner     %6.2f %% of one core (timer %d ms, about %.0f pixels/s over %.1f s)\n",
      bannerLoad, interval, 2.0 * 1000.0 / interval, elapsed);
  std::printf("banner minus idle    %6.2f %% of one core\n", bannerLoad - idleLoad);
  std::fflush(stdout);
  return 0;
}
