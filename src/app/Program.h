#pragma once
// The program entry: the application, the main window in the tray, the message loop.

#include <functional>

#include "app/DOzuZe.h"

class QApplication;

namespace pelmora {

// Ways for a test host to watch the real program without changing its start-up.
struct ProgramHooks {
  // Called before the window is built; may adjust its services (for example wrap loadSettings
  // to put a group into the address book).
  std::function<void(WindowServices&)> adjustServices;
  // Called once the window is built and titled, before the message loop; not called when
  // start-up refused to run.
  std::function<void(TDOzuZe&)> windowCreated;
};

// Runs Pelmora; returns the process exit status.
int RunPelmora(int argc, char** argv, const ProgramHooks& hooks = {});

// The part after the application exists: builds the window on `services`, runs the message loop
// unless start-up refused to run (then 1, without showing anything), and returns the status.
int RunMainWindow(QApplication& app, WindowServices services, const ProgramHooks& hooks = {});

}  // namespace pelmora
