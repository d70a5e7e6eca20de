// The cost of one entry of the conversation view with 100, 10,000 and 100,000 lines already
// stored. The panes only ever show a window of lines, so the figure must not grow with the
// conversation. Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
// BM_AppendLine is the view as it runs. BM_AppendLineRefill is the same view with panes that
// empty and fill their display again for every redraw, for comparison in the same run.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "app/DOzuZe.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;

namespace {

class FixedClock : public Clock {
 public:
  DateTime Now() override { return 46000.5; }
};

FixedClock clock_;

std::unique_ptr<TDOzuZe> MakeWindow(bool refill) {
  WindowServices env;
  env.clock = &clock_;
  env.trayIcon = false;
  auto w = std::make_unique<TDOzuZe>(std::move(env));
  for (TScrollRichEdit* pane : {w->Ui().SRTime, w->Ui().SRCab, w->Ui().SRChat}) {
    pane->SetAlwaysRefill(refill);
  }
  w->show();
  return w;
}

// The running program returns to its event loop after every arrival; a loop that never does lets
// the scroll bars' queued notifications pile up, which is not what the window costs.
void DrainEvents(long n) {
  if (n % 128 == 0) QCoreApplication::processEvents();
}

// One window per size and kind, filled once and kept, so the fill is not timed. main owns them
// after its application object, so they go first: a window that outlives the application crashes
// at exit.
using Windows = std::map<std::pair<int, bool>, std::unique_ptr<TDOzuZe>>;
Windows* windows = nullptr;

TDOzuZe& WindowWithLines(int lines, bool refill = false) {
  auto& w = (*windows)[{lines, refill}];
  if (!w) {
    w = MakeWindow(refill);
    while (w->Ui().SRChat->LineCount() < lines) {
      w->AppendLine("MIRLO", "TEJO", "un mensaje corto de prueba", kPaletteReceived);
      DrainEvents(w->Ui().SRChat->LineCount());
    }
  }
  return *w;
}

void BM_AppendLine(benchmark::State& state) {
  TDOzuZe& w = WindowWithLines(static_cast<int>(state.range(0)));
  long n = 0;
  for (auto _ : state) {
    // A text of its own each time, as messages are; the heading and the time repeat.
    w.AppendLine("TEJO", "MIRLO", "otro mensaje de prueba " + std::to_string(n), kPaletteSent);
    state.PauseTiming();
    DrainEvents(++n);
    state.ResumeTiming();
  }
  state.counters["stored"] = w.Ui().SRChat->LineCount();
}
BENCHMARK(BM_AppendLine)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_AppendLineRefill(benchmark::State& state) {
  TDOzuZe& w = WindowWithLines(static_cast<int>(state.range(0)), true);
  long n = 0;
  for (auto _ : state) {
    // A text of its own each time, as messages are; the heading and the time repeat.
    w.AppendLine("TEJO", "MIRLO", "otro mensaje de prueba " + std::to_string(n), kPaletteSent);
    state.PauseTiming();
    DrainEvents(++n);
    state.ResumeTiming();
  }
  state.counters["stored"] = w.Ui().SRChat->LineCount();
}
BENCHMARK(BM_AppendLineRefill)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// An entry and the repaint of the window that follows it, as the event loop does it next.
void BM_AppendLineAndPaint(benchmark::State& state) {
  TDOzuZe& w = WindowWithLines(static_cast<int>(state.range(0)));
  QCoreApplication::processEvents();
  long n = 0;
  for (auto _ : state) {
    w.AppendLine("TEJO", "MIRLO", "otro mensaje de prueba " + std::to_string(++n), kPaletteSent);
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_AppendLineAndPaint)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_AppendWrappedLine(benchmark::State& state) {
  TDOzuZe& w = WindowWithLines(static_cast<int>(state.range(0)));
  const std::string text =
      "Un mensaje bastante mas largo que se parte en varias lineas de la columna de texto";
  long n = 0;
  for (auto _ : state) {
    w.AppendLine("TEJO", "MIRLO", text + " " + std::to_string(n), kPaletteSent);
    state.PauseTiming();
    DrainEvents(++n);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AppendWrappedLine)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Windows kept;
  windows = &kept;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  windows = nullptr;
  return 0;
}
