// The program as the end-to-end runs see it: the same start-up, window and endpoints as
// `pelmora`, plus a report on standard output of every conversation entry the window appends,
// so a test observes what the user would read without reaching into the program.
//
// Standard output, one line each, fields escaped like pelmora-cli's (no tab or line break
// inside a field), UTF-8:
//   READY <tab> pid                          the event loop runs, the endpoints are open
//   LINE <tab> steady-ns <tab> palette <tab> time <tab> first <tab> second <tab> text
// steady-ns is CLOCK_MONOTONIC at the moment the entry was appended, so latencies between hosts
// of one machine are differences of these stamps.
//
// PELMORA_TESTHOST_GROUP="NAME=MEMBER,MEMBER" adds that group to the address book the copy starts
// with, after whatever the settings gave it (the group scenario needs one without going through
// the options dialog).
//
// Standard input: the line "quit" ends the program through the tray menu's close entry, so the
// run also goes through the real shutdown (and the leak check of the test build).

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "CliSupport.h"
#include "app/DOzuZe.h"
#include "app/Program.h"
#include "text/CodePage.h"

namespace {

using pelmora::cli::EscapeField;

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

long long SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Field(const std::string& ansi) {
  return EscapeField(pelmora::text::AnsiToUtf8(ansi));
}

void ReportEntry(const std::string& time, const std::string& first, const std::string& second,
                 const std::string& text, int paletteIndex) {
  PrintLine("LINE\t" + std::to_string(SteadyNanoseconds()) + "\t" +
            std::to_string(paletteIndex) + "\t" + Field(time) + "\t" + Field(first) + "\t" +
            Field(second) + "\t" + Field(text));
}

void AddGroupFromEnvironment(pelmora::Variables& vars) {
  const char* value = std::getenv("PELMORA_TESTHOST_GROUP");
  if (value == nullptr) return;
  const std::string text = value;
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return;
  std::vector<std::string> members;
  std::stringstream list(text.substr(eq + 1));
  for (std::string m; std::getline(list, m, ',');) {
    if (!m.empty()) members.push_back(m);
  }
  vars.GroupList.SetGroup(text.substr(0, eq), members);
}

// Reads "quit" from standard input on the GUI thread.
void WatchStandardInput(pelmora::TDOzuZe& window) {
  auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [notifier, &window] {
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      notifier->setEnabled(false);  // the driver went away; keep running until killed
      return;
    }
    if (std::string(buffer, static_cast<std::size_t>(n)).find("quit") != std::string::npos) {
      window.Cerrar1Click();
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  pelmora::ProgramHooks hooks;
  hooks.adjustServices = [](pelmora::WindowServices& env) {
    auto load = std::move(env.loadSettings);
    env.loadSettings = [load](pelmora::Variables& vars) {
      if (load) load(vars);
      AddGroupFromEnvironment(vars);
    };
  };
  hooks.windowCreated = [](pelmora::TDOzuZe& window) {
    QObject::connect(&window, &pelmora::TDOzuZe::lineAppended, &window,
                     [](const std::string& time, const std::string& first,
                        const std::string& second, const std::string& text, int paletteIndex) {
                       ReportEntry(time, first, second, text, paletteIndex);
                     });
    WatchStandardInput(window);
    QTimer::singleShot(0, &window, [] { PrintLine("READY\t" + std::to_string(::getpid())); });
  };
  return pelmora::RunPelmora(argc, argv, hooks);
}
