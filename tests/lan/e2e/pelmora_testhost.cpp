// The program as the end-to-end runs see it: the same start-up, window and endpoints as
// `pelmora`, plus a report on standard output of every conversation entry the window appends,
// so a test observes what the user would read without reaching into the program.
//
// Standard output, one line each, fields escaped like pelmora-cli's (no tab or line break
// inside a field), UTF-8:
//   READY <tab> pid                          the event loop runs, the endpoints are open
//   LINE <tab> steady-ns <tab> palette <tab> time <tab> first <tab> second <tab> text
//   TEXT <tab> control <tab> text            a caption of the window once it is built (the
//                                            language it came up in); "StatusBar0" and
//                                            "StatusBar1" are the status panels
// The entries start-up itself put into the view (lost messages shown again) are reported as
// LINE too, before READY.
// steady-ns is CLOCK_MONOTONIC at the moment the entry was appended (the line itself is printed
// once the handling of that arrival is over), so latencies between hosts of one machine are
// differences of these stamps.
//
// PELMORA_TESTHOST_GROUP="NAME=MEMBER,MEMBER" adds that group to the address book the copy starts
// with, after whatever the settings gave it (the group scenario needs one without going through
// the options dialog).
//
// PELMORA_TESTHOST_REFILL=1 makes the conversation panes fill their display afresh for every
// redraw, the reference their normal redraw is held against; bench/lan runs with it to put the
// two side by side.
//
// Standard input: the line "quit" ends the program through the tray menu's close entry, so the
// run also goes through the real shutdown (and the leak check of the test build).

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "app/DOzuZe.h"
#include "app/Program.h"
#include "messaging/TextTable.h"
#include "text/CodePage.h"
#include "widgets/AnsiText.h"
#include "widgets/ScrollRichEdit.h"

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

std::string Field(const std::string& ansi) { return EscapeField(pelmora::text::AnsiToUtf8(ansi)); }

void ReportEntry(long long stamp, const std::string& time, const std::string& first,
                 const std::string& second, const std::string& text, int paletteIndex) {
  PrintLine("LINE\t" + std::to_string(stamp) + "\t" + std::to_string(paletteIndex) + "\t" +
            Field(time) + "\t" + Field(first) + "\t" + Field(second) + "\t" + Field(text));
}

void ReportCaptions(pelmora::TDOzuZe& window) {
  const auto& ui = window.Ui();
  auto report = [](const char* name, const QString& text) {
    PrintLine(std::string("TEXT\t") + name + "\t" + EscapeField(text.toStdString()));
  };
  report("BOpciones", ui.BOpciones->text());
  report("BBorrar", ui.BBorrar->text());
  report("BReceptor", ui.Destination->BReceptor->text());
  report("ChBGrupos", ui.Destination->ChBGrupos->text());
  report("BTexto", ui.Destination->BTexto->text());
  report("Restaurar1", ui.Restaurar1->text());
  report("Cerrar1", ui.Cerrar1->text());
  report("StatusBar0", window.StatusText(0));
  report("StatusBar1", window.StatusText(1));
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

// PELMORA_TESTHOST_OPTIONS="RESTORE=YES,PREVIEW=YES,..." sets those options after the settings
// were read, whatever the store held (the arrival scenarios need the banner without going
// through the options dialog).
void SetOptionsFromEnvironment(pelmora::Variables& vars) {
  const char* value = std::getenv("PELMORA_TESTHOST_OPTIONS");
  if (value == nullptr) return;
  std::stringstream list{std::string(value)};
  for (std::string item; std::getline(list, item, ',');) {
    const auto eq = item.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = item.substr(0, eq);
    const bool on = item.substr(eq + 1) == "YES";
    if (key == "RESTORE") vars.OptRestore = on;
    if (key == "PREVIEW") vars.OptPreview = on;
    if (key == "BEEP") vars.OptBeep = on;
    if (key == "RECUPERAR_MENSAJES") vars.OptRecoverLost = on;
    if (key == "CAMBIO_DESTIN") vars.OptAutoDestination = on;
  }
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
  hooks.adjustServices = [](pelmora::WindowServices& services) {
    auto load = std::move(services.loadSettings);
    services.loadSettings = [load](pelmora::Variables& vars) {
      if (load) load(vars);
      AddGroupFromEnvironment(vars);
      SetOptionsFromEnvironment(vars);
    };
    // Every entry, those start-up recovers included: the observer is in place before the window
    // is built. An arrival's line is appended first and the arrival handled right after, in the
    // same call (a new sender is written to the settings then). The line is stamped now but
    // printed once that call is over, so what a test finds after reading it is what the user
    // would find once the window shows it.
    services.entryAppended = [](const std::string& time, const std::string& first,
                                const std::string& second, const std::string& text,
                                int paletteIndex) {
      const long long stamp = SteadyNanoseconds();
      QMetaObject::invokeMethod(
          qApp, [=] { ReportEntry(stamp, time, first, second, text, paletteIndex); },
          Qt::QueuedConnection);
    };
  };
  hooks.windowCreated = [](pelmora::TDOzuZe& window) {
    if (const char* refill = std::getenv("PELMORA_TESTHOST_REFILL"); refill && *refill == '1') {
      for (pelmora::TScrollRichEdit* pane :
           {window.Ui().SRTime, window.Ui().SRCab, window.Ui().SRChat}) {
        pane->SetAlwaysRefill(true);
      }
    }
    ReportCaptions(window);
    WatchStandardInput(window);
    QTimer::singleShot(0, &window, [] { PrintLine("READY\t" + std::to_string(::getpid())); });
  };
  return pelmora::RunPelmora(argc, argv, hooks);
}
